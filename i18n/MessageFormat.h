// MessageFormat is one translatable message in Unicode MessageFormat 2
// syntax, compiled once from its text and a locale and formatted with named
// arguments as often as needed: a choice by several values at once, numbers
// as the locale writes them, markup kept apart from the text.
//
//   MessageFormat message(".input {$count :integer}\n.match $count\n"
//                         "one {{{$count} file}}\n* {{{$count} files}}", "en");
//   MessageArguments arguments;
//   arguments.set("count", 3);
//   std::string text = message.format(arguments);          // "3 files"
//
// The syntax is the whole of MessageFormat 2's (simple and complex
// messages, .input, .local, .match with any number of selectors, quoted and
// unquoted literals, markup, attributes, options, namespaces). The functions
// :string, :number, :integer, :percent, :currency and :offset are built in;
// an application adds its own through MessageFunctions, by name.
//
// Faults: compiling throws MessageFormatException for what MessageFormat 2
// calls syntax and data model errors, with the error's name and the byte
// offset of the fault. Formatting never throws for the message or its
// arguments: it returns the output with each failed part replaced by its
// fallback ("{$name}", "{|literal|}", "{:function}") and lists the errors in
// the order they occurred.
//
// Ownership and threads: a compiled message is immutable (copies share it)
// and may be formatted by any number of threads at once; it keeps its own
// copy of the application functions it was compiled with. Arguments are read
// during one call and may be changed or released after it.
//
// Bidirectional text: formatting to a string isolates each placeholder as
// MessageFormat 2's default strategy says (U+2066..U+2069 around it), unless
// the caller asks for no isolation; parts carry the isolation marks as parts of
// their own.
#ifndef KAVRIXML_I18N_MESSAGEFORMAT_H
#define KAVRIXML_I18N_MESSAGEFORMAT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/plinth/Exception.h"

namespace kavri {
namespace i18n {

namespace message {
struct Model;
class Formatter;
}  // namespace message

// One error of compiling or formatting, by MessageFormat 2's names.
struct MessageError {
    enum Type : uint8_t {
        SYNTAX_ERROR,
        VARIANT_KEY_MISMATCH,
        MISSING_FALLBACK_VARIANT,
        MISSING_SELECTOR_ANNOTATION,
        DUPLICATE_DECLARATION,
        DUPLICATE_OPTION_NAME,
        DUPLICATE_VARIANT,
        UNRESOLVED_VARIABLE,
        UNKNOWN_FUNCTION,
        BAD_SELECTOR,
        BAD_OPERAND,
        BAD_OPTION,
        BAD_VARIANT_KEY,
        UNSUPPORTED_OPERATION,
    };

    Type type;
    // Byte offset in the message text of the part at fault.
    size_t offset;

    // "syntax-error", "unresolved-variable", ...: the names that
    // MessageFormat 2's test suite uses.
    static const char* name(Type type);
    const char* name() const { return name(type); }
    // Syntax and data model errors are found by compiling.
    bool isCompileError() const { return type <= DUPLICATE_VARIANT; }
};

class MessageFormatException : public ::core::Exception {
  public:
    // The message reads "NAME: REASON (at offset OFFSET)".
    MessageFormatException(MessageError::Type type, size_t offset, const std::string& reason);
    MessageError::Type getErrorType() const { return mType; }
    size_t getOffset() const { return mOffset; }
    const std::string& getReason() const { return mReason; }

  private:
    MessageError::Type mType;
    size_t mOffset;
    std::string mReason;
};

// The value of one argument: a string, an integer, a double, a decimal given
// as text ("1234.50", kept exactly) or a boolean. Numbers may be formatted
// and selected with the number functions; strings that read as numbers may
// be too, as MessageFormat 2 allows.
class MessageArgument {
  public:
    enum Type : uint8_t { STRING, INTEGER, DOUBLE, DECIMAL, BOOLEAN };

    MessageArgument(const char* text) : mType(STRING), mText(text) {}                // NOLINT
    MessageArgument(std::string text) : mType(STRING), mText(std::move(text)) {}     // NOLINT
    MessageArgument(int value) : MessageArgument(static_cast<long long>(value)) {}   // NOLINT
    MessageArgument(long value) : MessageArgument(static_cast<long long>(value)) {}  // NOLINT
    MessageArgument(long long value) : mType(INTEGER), mInteger(value) {}            // NOLINT
    MessageArgument(double value) : mType(DOUBLE), mDouble(value) {}                 // NOLINT
    MessageArgument(bool value) : mType(BOOLEAN), mInteger(value ? 1 : 0) {}         // NOLINT
    // A decimal number in JSON's syntax; the caller checks it reads as one
    // (a text that does not is a bad operand where a number is needed).
    static MessageArgument decimal(std::string text);

    Type type() const { return mType; }
    const std::string& text() const { return mText; }  // STRING, DECIMAL
    long long integer() const { return mInteger; }     // INTEGER; BOOLEAN: 0 or 1
    double number() const { return mDouble; }          // DOUBLE
    // The value as a string operand sees it: the text, the integer's digits,
    // the double's shortest round-trip form, "true" or "false".
    std::string toString() const;

  private:
    MessageArgument() = default;

    Type mType = STRING;
    long long mInteger = 0;
    double mDouble = 0;
    std::string mText;
};

// The arguments of one formatting call, name -> value (names without "$").
class MessageArguments {
  public:
    MessageArguments() = default;
    MessageArguments(std::initializer_list<std::pair<std::string, MessageArgument>> values);
    // Replaces a value set earlier under the same name.
    void set(const std::string& name, MessageArgument value);
    // Null when the name has no value.
    const MessageArgument* get(const char* name, size_t length) const;
    const MessageArgument* get(const std::string& name) const {
        return get(name.data(), name.size());
    }

  private:
    std::vector<std::pair<std::string, MessageArgument>> mValues;
};

// A value an application function resolved: it formats itself, may take part
// in selection, and is what later expressions receive as their operand.
class MessageCustomValue {
  public:
    virtual ~MessageCustomValue() = default;
    // Appends the formatted text; false (with `error` set) when it cannot be
    // formatted, and the placeholder shows its fallback.
    virtual bool format(std::string& out, MessageError::Type& error) const = 0;
    // Selection: false when the value cannot select (a bad selector).
    virtual bool selects() const { return false; }
    // Whether `key` matches; false with `error` set on an error.
    virtual bool match(const std::string& key, bool& error) const;
    // Of two matching keys, whether `key1` is the better match.
    virtual bool betterThan(const std::string& key1, const std::string& key2) const;
    // The value as an option value or string operand; false when it has none.
    virtual bool toString(std::string& out) const;
    // The value as a number operand (JSON's number syntax); false when it is none.
    virtual bool toNumber(std::string& out) const { return toString(out); }
};

// What an application function is called with.
class MessageFunctionCall {
  public:
    // The operand: NONE for "{:f}", else a literal, an argument's value or a
    // value an earlier expression resolved to.
    enum OperandType : uint8_t { NONE, STRING, NUMBER, CUSTOM };
    struct Option {
        std::string name;
        std::string value;                 // its string form
        const MessageCustomValue* custom;  // set when a custom function made it
        bool literal;                      // written as a literal in the message
    };

    const char* locale() const { return mLocale; }
    OperandType operandType() const { return mOperandType; }
    // STRING: the text; NUMBER: JSON's number syntax.
    const std::string& operandText() const { return mOperandText; }
    const MessageCustomValue* operandCustom() const { return mOperandCustom; }
    const std::vector<Option>& options() const { return mOptions; }
    // Null when the option is not given.
    const Option* option(const char* name) const;
    // Reports an error that does not stop the function (an option it
    // ignores, say); the error goes to the caller's list, in its turn.
    void report(MessageError::Type type) const { mErrors->push_back(MessageError{type, mOffset}); }

  private:
    friend class message::Formatter;

    std::vector<MessageError>* mErrors = nullptr;
    size_t mOffset = 0;

    const char* mLocale = "";
    OperandType mOperandType = NONE;
    std::string mOperandText;
    const MessageCustomValue* mOperandCustom = nullptr;
    std::shared_ptr<const MessageCustomValue> mOperandHolder;
    std::vector<Option> mOptions;
};

// The application's own functions, known to the messages compiled with
// them. A function returns its value, or null with `error` set (usually
// BAD_OPERAND or BAD_OPTION), and the expression resolves to its fallback.
// Names are identifiers of the syntax, namespaced by convention ("app:upper").
class MessageFunctions {
  public:
    using Function = std::function<std::shared_ptr<const MessageCustomValue>(
        const MessageFunctionCall& call, MessageError::Type& error)>;

    // Throws MessageFormatException (offset 0) for a name that is no
    // identifier or one of the built-in functions.
    void add(const std::string& name, Function function);
    const Function* find(const char* name, size_t length) const;

  private:
    std::vector<std::pair<std::string, Function>> mEntries;
};

// One piece of a message formatted to parts.
struct MessagePart {
    enum Type : uint8_t {
        TEXT,         // value: the text
        MARKUP_OPEN,  // name, options, id
        MARKUP_STANDALONE,
        MARKUP_CLOSE,
        PLACEHOLDER,     // value: formatted; function ("number", "string", ...), id, dir, locale
        FALLBACK,        // source: "$name", "|literal|", ":function"; value is "{source}"
        BIDI_ISOLATION,  // value: U+2066, U+2067, U+2068 or U+2069
    };

    Type type;
    std::string value;
    std::string name;      // markup: its identifier
    std::string function;  // placeholder: its function without ":" (none: "string")
    std::string source;    // fallback: what failed
    std::string id;        // the u:id option
    std::string dir;       // placeholder: "ltr", "rtl", "auto" when u:dir set it
    std::string locale;    // placeholder: the locale it was formatted in
    std::vector<std::pair<std::string, std::string>> options;  // markup
};

class MessageFormat {
  public:
    // Nesting is flat in this syntax; these bound what one message may hold,
    // so that no input makes compiling or formatting unbounded.
    static constexpr size_t MAX_LENGTH = 1 << 20;
    static constexpr size_t MAX_SELECTORS = 64;
    static constexpr size_t MAX_VARIANTS = 4096;

    // The isolation strategy for string output.
    enum BidiIsolation : uint8_t { BIDI_DEFAULT, BIDI_NONE };

    // Throws MessageFormatException for a syntax or data model error. The
    // locale is a BCP 47 or POSIX-style tag ("de", "pt-PT", "ru_RU").
    MessageFormat(const std::string& text, const std::string& locale,
                  const MessageFunctions* functions = nullptr);
    MessageFormat(const MessageFormat&) = default;
    MessageFormat& operator=(const MessageFormat&) = default;
    ~MessageFormat();

    // Formats into a new string; `errors` (when given) receives the errors.
    std::string format(const MessageArguments& arguments,
                       std::vector<MessageError>* errors = nullptr,
                       BidiIsolation isolation = BIDI_DEFAULT) const;
    // Appends to `out` and to `errors`.
    void format(const MessageArguments& arguments, std::string& out,
                std::vector<MessageError>& errors, BidiIsolation isolation = BIDI_DEFAULT) const;
    // The parts of the formatted message; the isolation marks of the default
    // strategy are parts of their own unless `isolation` is BIDI_NONE.
    std::vector<MessagePart> formatToParts(const MessageArguments& arguments,
                                           std::vector<MessageError>* errors = nullptr,
                                           BidiIsolation isolation = BIDI_DEFAULT) const;

    const std::string& locale() const;
    // Whether text of the locale runs right to left (ar, he, fa, ur, ...).
    bool isRightToLeft() const;

  private:
    std::shared_ptr<const message::Model> mModel;
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_MESSAGEFORMAT_H
