// Message arguments from the command line.
#include "tools/CommandArguments.h"

#include "core/SmartPtr.h"
#include "framework/kavrimain/JSObject.h"
#include "framework/plinth/Exception.h"

namespace kavrixml_tool {

using kavri::i18n::MessageArgument;
using kavri::json::JSObject;

bool argumentOf(const JSObject& value, MessageArgument& out) {
    switch (value.getValueType()) {
        case JSObject::STRING:
            out = MessageArgument(std::string(value.asString("")));
            return true;
        case JSObject::NUMBER:
            out = MessageArgument::decimal(value.toJSON());
            return true;
        case JSObject::BOOLEAN:
            out = MessageArgument(value.toJSON() == "true");
            return true;
        default:
            return false;
    }
}

MessageArgument readArgumentValue(const std::string& text) {
    MessageArgument argument(text);
    try {
        const core::SmartPtr<JSObject> value(JSObject::parse(text));
        if (value->getValueType() == JSObject::NUMBER) {
            return MessageArgument::decimal(text);
        }
        argumentOf(*value, argument);
    } catch (const core::Exception&) {
        // Not JSON: the text itself.
    }
    return argument;
}

bool readNamedArgument(const std::string& nameValue, kavri::i18n::MessageArguments& arguments,
                       std::string& error) {
    const size_t equals = nameValue.find('=');
    if (equals == std::string::npos || equals == 0) {
        error = "--arg expects NAME=VALUE";
        return false;
    }
    arguments.set(nameValue.substr(0, equals), readArgumentValue(nameValue.substr(equals + 1)));
    return true;
}

}  // namespace kavrixml_tool
