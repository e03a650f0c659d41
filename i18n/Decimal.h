// Decimal is an exact decimal number as a message or a program gives it: a
// sign, a run of decimal digits and a power of ten. It never passes through
// binary floating point, so "0.1" stays 0.1 and "1.50" keeps the zero it
// shows (which plural rules and formatting read). A Decimal is a value: it
// owns its digits, copies freely, and is immutable apart from assignment,
// so one may be read by many threads at once.
//
//   Decimal price;
//   Decimal::parse("1234.50", price);
//   price.plus(Decimal::fromInteger(1)).toString();   // "1235.50"
#ifndef KAVRIXML_I18N_DECIMAL_H
#define KAVRIXML_I18N_DECIMAL_H

#include <string>

namespace kavri {
namespace i18n {

class Decimal {
  public:
    // The largest power of ten a Decimal holds, either way: a number whose
    // digits reach beyond it is no quantity anyone writes out in full.
    static const int MAX_EXPONENT = 1000;

    // Zero, shown as "0".
    Decimal() = default;

    // JSON's number syntax (-?digits[.digits][(e|E)[+-]digits]), with the
    // value's digits within 10^±MAX_EXPONENT. False, leaving `out` as it
    // was, for anything else.
    static bool parse(const char* text, Decimal& out);
    static Decimal fromInteger(long long value);
    // The shortest decimal text that reads back as `value`; infinities and
    // NaN give zero.
    static Decimal fromDouble(double value);

    // The exact sum; it shows as many fraction digits as the operand that
    // shows more ("1.50" + "1" is "2.50").
    Decimal plus(const Decimal& other) const;
    Decimal negated() const;
    // The value times 10^powerOfTen (a percent is scaled(2)).
    Decimal scaled(int powerOfTen) const;

    // -1, 0 or 1 as this value is below, equal to or above the other; shown
    // zeros and the sign of zero do not count ("1.0" equals "1", "-0" "0").
    int compare(const Decimal& other) const;
    // The sign as written: "-0" is negative, and formats so unless the
    // caller's sign display says otherwise.
    bool isNegative() const { return mNegative; }
    bool isZero() const { return mDigits.empty(); }
    // No digit other than zero after the decimal point ("2.00" is one).
    bool isInteger() const;

    // Plain ASCII without exponent, keeping the zeros it shows: "-1234.50",
    // "1000" for 1e3, "0.00".
    std::string toString() const;

    // The significant digits, ASCII, without leading zeros (empty for zero),
    // and the power of ten of the last one: the value is
    // digits() * 10^exponent().
    const std::string& digits() const { return mDigits; }
    int exponent() const { return mExponent; }

  private:
    Decimal(bool negative, std::string digits, int exponent);

    bool mNegative = false;
    std::string mDigits;
    int mExponent = 0;
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_DECIMAL_H
