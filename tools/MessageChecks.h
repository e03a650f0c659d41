// What the tool checks of a translated MessageFormat text (a bundle file
// marked format="messageformat"): that it compiles in its language, reads
// the arguments of its base text, selects them by the same functions, and
// has a variant for every plural category its language needs. Texts come
// with their ${key} references already substituted.
//
//   std::string original = ".input {$n :integer} .match $n one {{a}} * {{b}}";
//   checkMessage(&original, russian, "ru");
//   // {"missing plural form few (2, 3, 4, 22, …)", ...}
#ifndef KAVRIXML_TOOLS_MESSAGECHECKS_H
#define KAVRIXML_TOOLS_MESSAGECHECKS_H

#include <string>
#include <vector>

namespace kavrixml_tool {

// "does not compile: ERROR" when `source` does not compile in language
// `code`; empty when it does.
std::string compileFault(const std::string& source, const std::string& code);

// The findings of `translated` in language `code` against `original` (null
// for a text the base file lacks), one line each, in a stable order.
std::vector<std::string> checkMessage(const std::string* original, const std::string& translated,
                                      const std::string& code);

}  // namespace kavrixml_tool

#endif  // KAVRIXML_TOOLS_MESSAGECHECKS_H
