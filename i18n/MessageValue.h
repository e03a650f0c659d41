// MessageValue is what an expression resolves to while a message is
// formatted: a fallback (its source text), a string, a number with the
// options of the function that made it, or an application's value. It also
// carries the u:dir and u:id options of its expression.
//
//   MessageValue value;
//   value.setString(literal.text.data(), literal.text.size());
//
// Strings point into the compiled message or the call's arguments, which
// outlive one formatting call; a value owns text only when a function made
// it. Values live on one thread's stack, for one call.
#ifndef KAVRIXML_I18N_MESSAGEVALUE_H
#define KAVRIXML_I18N_MESSAGEVALUE_H

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>

#include "i18n/Decimal.h"
#include "i18n/MessageFormat.h"
#include "i18n/MessageModel.h"
#include "i18n/NumberFormat.h"

namespace kavri {
namespace i18n {
namespace message {

// The options of the number functions as resolved; -1 (or an empty
// currency) where the message did not set one.
struct NumberOptions {
    enum Select : int8_t { PLURAL, ORDINAL, EXACT };
    int8_t select = -1;
    int8_t signDisplay = -1;          // NumberFormat::SignDisplay
    int8_t grouping = -1;             // NumberFormat::Grouping
    int8_t currencyDisplay = -1;      // NumberFormat::CurrencyDisplay
    int8_t trailingZeroDisplay = -1;  // 1: stripIfInteger
    int16_t minimumIntegerDigits = -1;
    int16_t minimumFractionDigits = -1;
    int16_t maximumFractionDigits = -1;
    int16_t minimumSignificantDigits = -1;
    int16_t maximumSignificantDigits = -1;
    int16_t fractionDigits = -1;  // :currency
    int16_t offsetAdd = -1;       // :offset, while it resolves
    int16_t offsetSubtract = -1;
    char currency[4] = {0, 0, 0, 0};

    // Unsets every option, field by field: a value cleared in place takes
    // no temporary to copy from.
    void clear() {
        select = signDisplay = grouping = currencyDisplay = trailingZeroDisplay = -1;
        minimumIntegerDigits = minimumFractionDigits = maximumFractionDigits = -1;
        minimumSignificantDigits = maximumSignificantDigits = fractionDigits = -1;
        offsetAdd = offsetSubtract = -1;
        currency[0] = currency[1] = currency[2] = currency[3] = 0;
    }

    bool operator==(const NumberOptions& o) const {
        return std::tie(select, signDisplay, grouping, currencyDisplay, trailingZeroDisplay,
                        minimumIntegerDigits, minimumFractionDigits, maximumFractionDigits,
                        minimumSignificantDigits, maximumSignificantDigits, fractionDigits,
                        offsetAdd, offsetSubtract) ==
                   std::tie(o.select, o.signDisplay, o.grouping, o.currencyDisplay,
                            o.trailingZeroDisplay, o.minimumIntegerDigits, o.minimumFractionDigits,
                            o.maximumFractionDigits, o.minimumSignificantDigits,
                            o.maximumSignificantDigits, o.fractionDigits, o.offsetAdd,
                            o.offsetSubtract) &&
               std::char_traits<char>::compare(currency, o.currency, 4) == 0;
    }
};

enum class Direction : uint8_t { UNKNOWN, LTR, RTL };

class MessageValue {
  public:
    enum Kind : uint8_t { FALLBACK, STRING, NUMBER, CUSTOM };

    static MessageValue ownedString(std::string text) {
        MessageValue value;
        value.setOwnedString(std::move(text));
        return value;
    }
    static MessageValue numeric(FunctionId function, Decimal number) {
        MessageValue value;
        value.setNumber(function);
        value.number = std::move(number);
        return value;
    }

    // A value becomes another in place, as a function's result takes its
    // operand's place: the new kind and text, and nothing of what an
    // earlier function gave it (options, direction, id). setNumber keeps
    // `number`, which the caller sets.
    void setFallback(std::string source) {
        clearAnnotations();
        mKind = FALLBACK;
        mOwned = std::move(source);
        mOwnsText = true;
    }
    void setString(const char* text, size_t length) {
        clearAnnotations();
        mKind = STRING;
        mOwnsText = false;
        mText = text;
        mLength = length;
    }
    void setOwnedString(std::string text) {
        setFallback(std::move(text));
        mKind = STRING;
    }
    void setNumber(FunctionId made) {
        clearAnnotations();
        mKind = NUMBER;
        mOwnsText = false;
        function = made;
    }
    void setCustom(std::shared_ptr<const MessageCustomValue> made) {
        clearAnnotations();
        mKind = CUSTOM;
        mOwnsText = false;
        function = FunctionId::APPLICATION;
        custom = std::move(made);
    }
    // Keeps the kind, the text and the number; drops the rest.
    void clearAnnotations() {
        function = FunctionId::NONE;
        options.clear();
        numberFormat = nullptr;
        selectable = true;
        custom.reset();
        applicationName = nullptr;
        direction = Direction::UNKNOWN;
        isolate = false;
        dirName = "";
        id.clear();
    }

    // Copies and moves are member by member: a value that holds its text
    // finds it through the flag, not through a pointer into itself.
    MessageValue() = default;

    Kind kind() const { return mKind; }
    bool isFallback() const { return mKind == FALLBACK; }
    // STRING: the text; FALLBACK: the source ("$x", "|lit|", ":fn").
    const char* text() const { return mOwnsText ? mOwned.data() : mText; }
    size_t length() const { return mOwnsText ? mOwned.size() : mLength; }
    std::string textString() const { return std::string(text(), length()); }
    // Whether the text lives in this value (and goes with it).
    bool ownsText() const { return mOwnsText; }

    // NUMBER
    FunctionId function = FunctionId::NONE;  // which function made it (STRING: :string or none)
    Decimal number;
    NumberOptions options;
    // The format of these options for the message's locale when the compiled
    // message holds one (it outlives the value); null: made when needed.
    const NumberFormat* numberFormat = nullptr;
    bool selectable = true;  // false when `select` came from a variable or an operand
    // CUSTOM, and the name of the function that made it
    std::shared_ptr<const MessageCustomValue> custom;
    const std::string* applicationName = nullptr;
    // u:dir and u:id of the expression.
    Direction direction = Direction::UNKNOWN;
    bool isolate = false;
    const char* dirName = "";  // "ltr", "rtl", "auto" or "": static text
    std::string id;

  private:
    Kind mKind = FALLBACK;
    bool mOwnsText = false;
    const char* mText = "";  // when the text lives elsewhere
    size_t mLength = 0;
    std::string mOwned;  // the text when the value holds it
};

}  // namespace message
}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_MESSAGEVALUE_H
