// A message text and its arguments from the input (the message, then
// "=====", then NAME=VALUE lines): compiling either succeeds or throws
// MessageFormatException with an offset inside the text; formatting never
// throws, the parts join to the string output in both isolation modes, and
// formatting twice gives the same output and errors.
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "i18n/MessageFormat.h"

using namespace kavri::i18n;

namespace {

struct Echo : MessageCustomValue {
    std::string text;
    bool format(std::string& out, MessageError::Type& error) const override {
        if (text == "fail") {
            error = MessageError::BAD_OPERAND;
            return false;
        }
        out += text;
        return true;
    }
    bool selects() const override { return text != "noselect"; }
    bool match(const std::string& key, bool& error) const override {
        error = key == "error";
        return key == text;
    }
    bool toString(std::string& out) const override {
        out = text;
        return true;
    }
};

MessageFunctions functions() {
    MessageFunctions result;
    result.add("f:echo",
               [](const MessageFunctionCall& call,
                  MessageError::Type& error) -> std::shared_ptr<const MessageCustomValue> {
                   if (call.operandType() == MessageFunctionCall::NONE) {
                       error = MessageError::BAD_OPERAND;
                       return nullptr;
                   }
                   auto value = std::make_shared<Echo>();
                   value->text = call.operandCustom() != nullptr ? "custom" : call.operandText();
                   for (const MessageFunctionCall::Option& option : call.options()) {
                       value->text += option.value;
                   }
                   return value;
               });
    return result;
}

// VALUE: "i:" an integer, "d:" a double, "n:" a decimal text, "true" or
// "false", else a string.
MessageArguments arguments(const std::string& lines) {
    MessageArguments result;
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find('\n', start);
        end = end == std::string::npos ? lines.size() : end;
        const std::string line = lines.substr(start, end - start);
        start = end + 1;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string name = line.substr(0, equals), value = line.substr(equals + 1);
        const std::string kind = value.substr(0, 2), rest = value.size() > 2 ? value.substr(2) : "";
        if (kind == "i:") {
            result.set(name, MessageArgument(std::strtoll(rest.c_str(), nullptr, 10)));
        } else if (kind == "d:") {
            result.set(name, MessageArgument(std::strtod(rest.c_str(), nullptr)));
        } else if (kind == "n:") {
            result.set(name, MessageArgument::decimal(rest));
        } else if (value == "true" || value == "false") {
            result.set(name, MessageArgument(value == "true"));
        } else {
            result.set(name, MessageArgument(value));
        }
    }
    return result;
}

std::string joined(const std::vector<MessagePart>& parts) {
    std::string out;
    for (const MessagePart& part : parts) {
        out += part.value;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const MessageFunctions applicationFunctions = functions();
    static const char* const LOCALES[] = {"en", "ar-EG", "ru", "de", "hi"};
    const std::vector<std::string> parts = kavrixml::fuzz::split(data, size, 2);
    const std::string& text = parts[0];
    const char* locale = LOCALES[text.size() % 5];
    std::unique_ptr<MessageFormat> message;
    try {
        message.reset(new MessageFormat(text, locale, &applicationFunctions));
    } catch (const MessageFormatException& e) {
        FUZZ_CHECK(e.getOffset() <= text.size(), "compile offset inside the text");
        FUZZ_CHECK(e.getErrorType() <= MessageError::DUPLICATE_VARIANT, "a compile error type");
        return 0;
    }
    const MessageArguments args = arguments(parts[1]);
    for (auto isolation : {MessageFormat::BIDI_DEFAULT, MessageFormat::BIDI_NONE}) {
        std::vector<MessageError> errors, again;
        const std::string out = message->format(args, &errors, isolation);
        FUZZ_CHECK(message->format(args, &again, isolation) == out, "formatting is repeatable");
        FUZZ_CHECK(again.size() == errors.size(), "errors are repeatable");
        for (const MessageError& error : errors) {
            FUZZ_CHECK(!error.isCompileError(), "formatting reports no compile error");
            FUZZ_CHECK(error.offset <= text.size(), "error offset inside the text");
        }
        FUZZ_CHECK(joined(message->formatToParts(args, nullptr, isolation)) == out,
                   "the parts join to the string");
    }
    return 0;
}
