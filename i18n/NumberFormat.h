// NumberFormat writes a number as one locale writes it: "1.234.567,5" in
// German, "12,34,567.5" in Hindi, "١٬٢٣٤٬٥٦٧٫٥" in Egyptian Arabic. The
// symbols, grouping sizes, digits and patterns are CLDR's, carried by the
// library for every CLDR locale (NumberData.h), with CLDR's parent-locale
// fallback. Values are Decimals, rounded half to even as CLDR's formatters
// do; nothing passes through binary floating point.
//
// A NumberFormat is immutable after construction and may format from many
// threads at once; it points into the library's static tables and owns
// only the currency symbol it chose. Formatting appends to the caller's
// string and allocates nothing else.
//
//   NumberFormat::Options options;
//   options.style = NumberFormat::CURRENCY, options.currency = "EUR";
//   NumberFormat("de", options).format(Decimal::fromInteger(-1234));   // "-1.234,00 €"
#ifndef KAVRIXML_I18N_NUMBERFORMAT_H
#define KAVRIXML_I18N_NUMBERFORMAT_H

#include <string>

#include "i18n/Decimal.h"

namespace kavri {
namespace i18n {

struct NumberFormatsData;
struct NumberLocaleData;
struct NumberPatternData;
struct NumberSymbolsData;

class NumberFormat {
  public:
    enum Style { DECIMAL, PERCENT, CURRENCY };
    // Which signs show: AUTO a minus on negative numbers (also on a
    // negative zero), ALWAYS a plus on the others too, EXCEPT_ZERO a sign on
    // everything but a zero as rounded, NEGATIVE a minus on negative numbers
    // other than zero, NEVER none.
    enum SignDisplay { SIGN_AUTO, SIGN_ALWAYS, SIGN_EXCEPT_ZERO, SIGN_NEGATIVE, SIGN_NEVER };
    // AUTO groups as the locale does (Spanish and Polish leave 4 digits
    // alone), ALWAYS from the first full group, MIN2 only with at least two
    // digits before the first separator, NEVER not at all.
    enum Grouping { GROUPING_AUTO, GROUPING_ALWAYS, GROUPING_MIN2, GROUPING_NEVER };
    enum CurrencyDisplay { CURRENCY_SYMBOL, CURRENCY_NARROW_SYMBOL, CURRENCY_CODE };

    struct Options {
        Style style = DECIMAL;
        int minimumIntegerDigits = 1;
        // -1: the style's own (decimal 0 to 3, percent 0, currency the
        // currency's digits, as many as CLDR gives it). Setting only one of
        // the pair moves the other as far as needed.
        int minimumFractionDigits = -1;
        int maximumFractionDigits = -1;
        // 0: not set. When either is set the significant digits decide the
        // rounding and the fraction digits are not used.
        int minimumSignificantDigits = 0;
        int maximumSignificantDigits = 0;
        SignDisplay signDisplay = SIGN_AUTO;
        Grouping grouping = GROUPING_AUTO;
        std::string currency;  // ISO 4217 code, for CURRENCY
        CurrencyDisplay currencyDisplay = CURRENCY_SYMBOL;
        // "latn", "arab", ...; empty, or a system that is unknown or has
        // no decimal digits: the locale's default.
        std::string numberingSystem;
    };

    // Digit counts beyond these are taken as these.
    static const int MAX_INTEGER_DIGITS = 999;
    static const int MAX_FRACTION_DIGITS = 999;
    static const int MAX_SIGNIFICANT_DIGITS = 999;

    // Locale: BCP 47 or POSIX-style ("de", "de-CH", "pt_PT", "ar-EG",
    // "sr-Latn-RS", "ru_RU.UTF-8"), in any case; CLDR's parent locales, then
    // shorter codes, then root. An unknown locale formats as root does.
    NumberFormat(const char* locale, const Options& options);

    // PERCENT multiplies by 100 itself.
    std::string format(const Decimal& value) const;
    // Appends to `out`; allocates nothing but the room `out` needs.
    void format(const Decimal& value, std::string& out) const;
    // The value as the options round it (fraction or significant digits,
    // percent scaled), keeping the zeros the format shows ("1.50"): what
    // plural selection reads.
    Decimal rounded(const Decimal& value) const;

    // Whether rounded() gives every whole number back as it is: no
    // significant digits, no fraction digits that must show, no percent.
    bool keepsWholeNumbers() const {
        return mMaximumSignificant == 0 && mMinimumFraction == 0 && mStyle != PERCENT;
    }

    // The CLDR locale whose data this format uses ("de_CH", "root").
    const char* locale() const;
    // The separators this format writes (a currency format's may differ
    // from the locale's other numbers: Austrian German groups euros with ".").
    const char* decimalSymbol() const;
    const char* groupSymbol() const;
    const char* numberingSystem() const;

  private:
    // The digits a value shows after rounding: a prefix of its digits,
    // the last one raised by one when the rounding carried into it.
    struct Shown;
    class Run;

    void resolveDigits(const Options& options);
    void resolveCurrency(const Options& options);
    Shown round(const Decimal& value) const;
    bool showsSign(const Shown& shown, bool& negative) const;
    void appendAffix(const char* affix, const char* sign, bool prefix, std::string& out) const;
    int shownFractions(const Shown& shown) const;
    void appendNumber(const Shown& shown, std::string& out) const;
    void appendDigit(int digit, Run& run) const;

    const NumberLocaleData* mLocale;
    const NumberFormatsData* mFormats;
    const NumberSymbolsData* mSymbols;
    const NumberPatternData* mPattern;
    const char* mDigits;  // zero to nine, each mDigitLength bytes; null: ASCII
    int mDigitLength = 1;
    const char* mSystemName;
    const char* mDecimal;  // the style's: currency amounts may have their own
    const char* mGroup;
    size_t mDecimalLength = 1;
    size_t mGroupLength = 1;
    Style mStyle;
    SignDisplay mSignDisplay;
    int mMinimumInteger = 1;
    int mMinimumFraction = 0;
    int mMaximumFraction = 3;
    int mMinimumSignificant = 0;  // 0: fraction digits decide
    int mMaximumSignificant = 0;
    int mPrimaryGrouping = 0;  // 0: no grouping
    int mSecondaryGrouping = 0;
    int mMinimumGrouping = 1;
    std::string mCurrencySymbol;
    int mCurrencyDigits = 2;
    // CLDR's currency spacing: a no-break space between the currency symbol
    // and the digits when the symbol's end next to them is no symbol or
    // space ("CHF 5", but "$5"); for a symbol before and after the number.
    bool mSpaceAfterSymbol = false;
    bool mSpaceBeforeSymbol = false;
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_NUMBERFORMAT_H
