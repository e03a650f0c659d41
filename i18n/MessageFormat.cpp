#include "i18n/MessageFormat.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "i18n/MessageFormatter.h"
#include "i18n/MessageModel.h"
#include "i18n/MessageNormalizer.h"
#include "i18n/MessageNumber.h"
#include "i18n/MessageParser.h"

namespace kavri {
namespace i18n {

namespace {

const char* const ERROR_NAMES[] = {
    "syntax-error",
    "variant-key-mismatch",
    "missing-fallback-variant",
    "missing-selector-annotation",
    "duplicate-declaration",
    "duplicate-option-name",
    "duplicate-variant",
    "unresolved-variable",
    "unknown-function",
    "bad-selector",
    "bad-operand",
    "bad-option",
    "bad-variant-key",
    "unsupported-operation",
};

// Languages written right to left, unless a script subtag says otherwise.
const char* const RTL_LANGUAGES[] = {"ar", "arc", "ckb", "dv", "fa", "he", "iw",   "ks",
                                     "ps", "sd",  "syr", "ug", "ur", "yi", nullptr};
const char* const RTL_SCRIPTS[] = {"arab", "hebr", "thaa", "syrc", "nkoo", "adlm", "rohg", nullptr};

bool inList(const std::string& word, const char* const* list) {
    for (size_t i = 0; list[i] != nullptr; ++i) {
        if (word == list[i]) {
            return true;
        }
    }
    return false;
}

// The subtags of a BCP 47 or POSIX-style tag, lower-cased; a ".charset"
// or "@modifier" tail ends it.
std::vector<std::string> subtags(const std::string& locale) {
    std::vector<std::string> tags(1);
    for (char c : locale) {
        if (c == '.' || c == '@') {
            break;
        }
        if (c == '-' || c == '_') {
            tags.emplace_back();
        } else {
            tags.back() += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return tags;
}

bool rightToLeft(const std::string& locale) {
    const std::vector<std::string> tags = subtags(locale);
    for (size_t i = 1; i < tags.size(); ++i) {
        if (tags[i].size() == 4) {
            return inList(tags[i], RTL_SCRIPTS);
        }
    }
    return inList(tags[0], RTL_LANGUAGES);
}

bool isIdentifierByte(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' ||
           c == '+' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

// --- Errors ------------------------------------------------------------------------

const char* MessageError::name(Type type) {
    return ERROR_NAMES[type];
}

MessageFormatException::MessageFormatException(MessageError::Type type, size_t offset,
                                               const std::string& reason)
    : ::core::Exception("%s: %s (at offset %zu)", MessageError::name(type), reason.c_str(), offset),
      mType(type),
      mOffset(offset),
      mReason(reason) {}

// --- Arguments -----------------------------------------------------------------------

MessageArgument MessageArgument::decimal(std::string text) {
    MessageArgument argument;
    argument.mType = DECIMAL;
    argument.mText = std::move(text);
    return argument;
}

std::string MessageArgument::toString() const {
    switch (mType) {
        case INTEGER:
            return std::to_string(mInteger);
        case DOUBLE: {
            char buffer[32];
            for (int precision = 1; precision <= 17; ++precision) {
                std::snprintf(buffer, sizeof buffer, "%.*g", precision, mDouble);
                if (std::strtod(buffer, nullptr) == mDouble) {
                    break;
                }
            }
            return buffer;
        }
        case BOOLEAN:
            return mInteger != 0 ? "true" : "false";
        default:
            return mText;
    }
}

MessageArguments::MessageArguments(
    std::initializer_list<std::pair<std::string, MessageArgument>> values) {
    for (const auto& value : values) {
        set(value.first, value.second);
    }
}

// Names compare as the message's own variable names do, in form C. A name
// in form C already (any ASCII name) replaces its value without a copy of
// the name, as a caller setting the same argument call after call does.
void MessageArguments::set(const std::string& name, MessageArgument value) {
    if (message::isNFC(name)) {
        for (auto& entry : mValues) {
            if (entry.first == name) {
                entry.second = std::move(value);
                return;
            }
        }
        mValues.emplace_back(name, std::move(value));
        return;
    }
    std::string key = message::normalizeNFC(name);
    for (auto& entry : mValues) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return;
        }
    }
    mValues.emplace_back(std::move(key), std::move(value));
}

const MessageArgument* MessageArguments::get(const char* name, size_t length) const {
    for (const auto& entry : mValues) {
        if (entry.first.size() == length && std::memcmp(entry.first.data(), name, length) == 0) {
            return &entry.second;
        }
    }
    return nullptr;
}

// --- Application functions -------------------------------------------------------------

bool MessageCustomValue::match(const std::string&, bool& error) const {
    error = true;
    return false;
}

bool MessageCustomValue::betterThan(const std::string&, const std::string&) const {
    return false;
}

bool MessageCustomValue::toString(std::string&) const {
    return false;
}

const MessageFunctionCall::Option* MessageFunctionCall::option(const char* name) const {
    for (const Option& option : mOptions) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

void MessageFunctions::add(const std::string& name, Function function) {
    static const char* const BUILT_IN[] = {"string",   "number", "integer", "percent",
                                           "currency", "offset", nullptr};
    bool valid = !name.empty() && name[0] != ':' && name.back() != ':' &&
                 !std::isdigit(static_cast<unsigned char>(name[0])) && name[0] != '-' &&
                 name[0] != '.' && name.find(':') == name.rfind(':');
    for (char c : name) {
        valid = valid && isIdentifierByte(c);
    }
    if (!valid || inList(name, BUILT_IN)) {
        throw MessageFormatException(MessageError::SYNTAX_ERROR, 0,
                                     "'" + name + "' cannot name an application function");
    }
    for (auto& entry : mEntries) {
        if (entry.first == name) {
            entry.second = std::move(function);
            return;
        }
    }
    mEntries.emplace_back(name, std::move(function));
}

const MessageFunctions::Function* MessageFunctions::find(const char* name, size_t length) const {
    for (const auto& entry : mEntries) {
        if (entry.first.size() == length && std::memcmp(entry.first.data(), name, length) == 0) {
            return &entry.second;
        }
    }
    return nullptr;
}

// --- The message -----------------------------------------------------------------------

MessageFormat::MessageFormat(const std::string& text, const std::string& locale,
                             const MessageFunctions* functions) {
    auto model = std::make_shared<message::Model>();
    model->locale = locale.empty() ? "und" : locale;
    model->rightToLeft = rightToLeft(locale);
    if (functions != nullptr) {
        model->functions = *functions;
    }
    message::MessageParser(text, *model).parse();
    message::MessageNumber::prepare(*model);
    mModel = std::move(model);
}

MessageFormat::~MessageFormat() = default;

std::string MessageFormat::format(const MessageArguments& arguments,
                                  std::vector<MessageError>* errors,
                                  BidiIsolation isolation) const {
    std::string out;
    std::vector<MessageError> ignored;
    format(arguments, out, errors != nullptr ? *errors : ignored, isolation);
    return out;
}

void MessageFormat::format(const MessageArguments& arguments, std::string& out,
                           std::vector<MessageError>& errors, BidiIsolation isolation) const {
    message::Formatter(*mModel, arguments, errors).formatToString(out, isolation == BIDI_DEFAULT);
}

std::vector<MessagePart> MessageFormat::formatToParts(const MessageArguments& arguments,
                                                      std::vector<MessageError>* errors,
                                                      BidiIsolation isolation) const {
    std::vector<MessagePart> parts;
    std::vector<MessageError> ignored;
    message::Formatter(*mModel, arguments, errors != nullptr ? *errors : ignored)
        .formatToParts(parts, isolation == BIDI_DEFAULT);
    return parts;
}

const std::string& MessageFormat::locale() const {
    return mModel->locale;
}

bool MessageFormat::isRightToLeft() const {
    return mModel->rightToLeft;
}

}  // namespace i18n
}  // namespace kavri
