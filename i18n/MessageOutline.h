// MessageOutline is what tools need to know of a message without formatting
// it: the arguments it reads and, for each selector of its .match, the
// function that selects and the keys its variants list. A translator check
// compares a translation's outline with the original's.
//
//   MessageOutline outline(".input {$n :integer} .match $n one {{a}} * {{b}}");
//   outline.arguments();                 // {"n"}
//   outline.selectors()[0].isPlural();   // true; keys {"one"}
//
// Ownership and threads: a plain value, immutable once made.
#ifndef KAVRIXML_I18N_MESSAGEOUTLINE_H
#define KAVRIXML_I18N_MESSAGEOUTLINE_H

#include <set>
#include <string>
#include <vector>

namespace kavri {
namespace i18n {

class MessageOutline {
  public:
    struct Selector {
        std::string variable;  // without "$"
        // The selecting function without ":" ("integer", "string", an
        // application's), found through the declarations; empty for none.
        std::string function;
        // A number function that selects (:number, :integer, :percent,
        // :offset): "plural", "ordinal" or "exact", as its literal select
        // option says ("plural" when none). Empty for other functions, and
        // for a number whose select option is a variable or came along
        // with its operand: MessageFormat 2 lets no such value select.
        std::string select;
        std::set<std::string> keys;  // the variants' keys here, "*" left out

        // Whether the selector chooses by CLDR's plural or ordinal rules.
        bool isPlural() const { return select == "plural" || select == "ordinal"; }
    };

    // Throws MessageFormatException for a syntax or data model error.
    explicit MessageOutline(const std::string& text);

    // The names of the arguments the message reads (.input declarations and
    // variables that no declaration gives), in byte order.
    const std::set<std::string>& arguments() const { return mArguments; }
    // The selectors of .match in order; empty for a message without one.
    const std::vector<Selector>& selectors() const { return mSelectors; }

  private:
    std::set<std::string> mArguments;
    std::vector<Selector> mSelectors;
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_MESSAGEOUTLINE_H
