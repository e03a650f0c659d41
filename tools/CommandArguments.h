// How the tool reads a message's arguments from its command line, the same
// way for every command that formats messages: `--arg NAME=VALUE`, where
// VALUE is a JSON string, number or boolean and any other text a string, and
// a JSON object of such values.
//
//   MessageArguments arguments;
//   std::string error;
//   readNamedArgument("count=1234.50", arguments, error);  // an exact decimal
#ifndef KAVRIXML_TOOLS_COMMANDARGUMENTS_H
#define KAVRIXML_TOOLS_COMMANDARGUMENTS_H

#include <string>

#include "i18n/MessageFormat.h"

namespace kavri {
namespace json {
class JSObject;
}
}  // namespace kavri

namespace kavrixml_tool {

// A JSON scalar as an argument: strings and booleans as they are, numbers as
// exact decimals. False for anything else.
bool argumentOf(const kavri::json::JSObject& value, kavri::i18n::MessageArgument& out);
// The value of `--arg NAME=VALUE`: a number keeps its text, so that no digit
// is lost on the way through a double.
kavri::i18n::MessageArgument readArgumentValue(const std::string& text);
// Sets the argument of one "NAME=VALUE"; false with `error` set when there
// is no name or no "=".
bool readNamedArgument(const std::string& nameValue, kavri::i18n::MessageArguments& arguments,
                       std::string& error);

}  // namespace kavrixml_tool

#endif  // KAVRIXML_TOOLS_COMMANDARGUMENTS_H
