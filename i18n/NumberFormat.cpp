// NumberFormat: choosing a locale's record, rounding on the value's own
// digits, and writing digits, separators and affixes straight into the
// caller's string.
#include "i18n/NumberFormat.h"

#include <algorithm>
#include <cstring>

#include "i18n/LocaleCode.h"
#include "i18n/NumberData.h"
#include "syntax/XMLChars.h"

namespace kavri {
namespace i18n {

struct NumberFormat::Shown {
    const char* digits;  // the value's own digits, or "1" after carrying past them all
    int count;           // how many of them show; 0 for zero
    bool raised;         // the last one shows one higher
    int exponent;        // the power of ten of the last
    bool negative;

    // The digit at power of ten `power`.
    int at(int power) const {
        int k = count - 1 - (power - exponent);
        if (k < 0 || k >= count) {
            return 0;
        }
        return digits[k] - '0' + (raised && k == count - 1 ? 1 : 0);
    }
    int integerDigits() const { return count == 0 ? 0 : std::max(0, count + exponent); }
    int fractionDigits() const { return count == 0 ? 0 : std::max(0, -exponent); }
    // The power of ten of the first digit; 0 for zero, as CLDR counts it.
    int magnitude() const { return count == 0 ? 0 : count + exponent - 1; }
};

// A number's characters on their way to the output, gathered so that they
// are appended a run at a time rather than one by one.
class NumberFormat::Run {
  public:
    explicit Run(std::string& out) : mOut(out) {}
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    void add(char c) {
        if (mLength == sizeof mBuffer) {
            flush();
        }
        mBuffer[mLength++] = c;
    }
    void add(const char* text, size_t length) {
        if (mLength + length > sizeof mBuffer) {
            flush();
        }
        if (length > sizeof mBuffer) {
            mOut.append(text, length);
            return;
        }
        std::memcpy(mBuffer + mLength, text, length);
        mLength += length;
    }
    // Appends what is gathered; called once at the end, and never from a
    // destructor, as appending may throw.
    void flush() {
        mOut.append(mBuffer, mLength);
        mLength = 0;
    }

  private:
    std::string& mOut;
    char mBuffer[64];
    size_t mLength = 0;
};

namespace {

const char NO_BREAK_SPACE[] = "\xC2\xA0";

const NumberLocaleData* findLocale(const std::string& name) {
    const NumberLocaleData* end = NUMBER_LOCALES + NUMBER_LOCALES_COUNT;
    const NumberLocaleData* found = std::lower_bound(
        NUMBER_LOCALES, end, name,
        [](const NumberLocaleData& a, const std::string& b) { return b.compare(a.name) > 0; });
    return found != end && name == found->name ? found : nullptr;
}

// By CLDR's fallback: the code, then shorter codes, then root.
const NumberLocaleData* localeFor(const char* code) {
    for (std::string candidate = LocaleCode::cldr(code); !candidate.empty();
         candidate = LocaleCode::parent(candidate)) {
        if (const NumberLocaleData* found = findLocale(candidate)) {
            return found;
        }
    }
    return findLocale("root");
}

const NumberingSystemData* systemNamed(const std::string& name) {
    for (size_t k = 0; k < NUMBERING_SYSTEMS_COUNT; ++k) {
        if (name == NUMBERING_SYSTEMS[k].name) {
            return &NUMBERING_SYSTEMS[k];
        }
    }
    return nullptr;
}

int currencyDigits(const std::string& code) {
    const CurrencyDigitsData* end = CURRENCY_DIGITS + CURRENCY_DIGITS_COUNT;
    const CurrencyDigitsData* found = std::lower_bound(
        CURRENCY_DIGITS, end, code,
        [](const CurrencyDigitsData& a, const std::string& b) { return b.compare(a.code) > 0; });
    return found != end && code == found->code ? found->digits : 2;
}

// The symbol a locale or its nearest ancestor gives a currency; null when
// none does. `narrow` asks for the narrow symbol.
const char* currencySymbol(const NumberLocaleData* locale, const std::string& code, bool narrow) {
    for (; locale != nullptr;
         locale = locale->parent < 0 ? nullptr : &NUMBER_LOCALES[locale->parent]) {
        const CurrencySymbolsData* begin = CURRENCY_SYMBOLS + locale->firstCurrency;
        const CurrencySymbolsData* end = begin + locale->currencyCount;
        const CurrencySymbolsData* found = std::lower_bound(
            begin, end, code, [](const CurrencySymbolsData& a, const std::string& b) {
                return b.compare(a.code) > 0;
            });
        const char* symbol = found == end || code != found->code
                                 ? nullptr
                                 : (narrow ? found->narrow : found->symbol);
        if (symbol != nullptr) {
            return symbol;
        }
    }
    return nullptr;
}

// CLDR's currency spacing matches a symbol's end that is no currency sign
// (Unicode's Sc) and no space; letters, digits and punctuation ask for it.
bool wantsSpace(const std::string& symbol, bool atEnd) {
    if (symbol.empty()) {
        return false;
    }
    size_t start = 0;
    if (atEnd) {
        start = symbol.size() - 1;
        while (start > 0 && !xml::syntax::startsCharacter(symbol[start])) {
            --start;
        }
    }
    const size_t length = xml::syntax::characterLength(symbol.data(), symbol.size(), start);
    static const char* const SIGNS[] = {"$",
                                        " ",
                                        "\xC2\xA0",
                                        "\xC2\xA2",
                                        "\xC2\xA3",
                                        "\xC2\xA4",
                                        "\xC2\xA5",
                                        "\xD6\x8F",
                                        "\xD8\x8B",
                                        "\xE0\xA7\xB3",
                                        "\xE0\xB8\xBF",
                                        "\xE1\x9F\x9B",
                                        "\xEF\xB7\xBC",
                                        "\xEF\xB9\xA9",
                                        "\xEF\xBC\x84",
                                        "\xEF\xBF\xA0",
                                        "\xEF\xBF\xA1",
                                        "\xEF\xBF\xA5",
                                        "\xEF\xBF\xA6",
                                        "\xE2\x80\xAF"};
    std::string edge = symbol.substr(start, length);
    // U+20A0 to U+20CF, the block of currency signs.
    if (length == 3 && edge[0] == '\xE2' && (edge[1] == '\x82' || edge[1] == '\x83')) {
        return false;
    }
    for (const char* sign : SIGNS) {
        if (edge == sign) {
            return false;
        }
    }
    return true;
}

int clamped(int value, int low, int high) {
    return std::min(std::max(value, low), high);
}

}  // namespace

NumberFormat::NumberFormat(const char* locale, const Options& options)
    : mLocale(localeFor(locale)), mStyle(options.style), mSignDisplay(options.signDisplay) {
    mFormats = &NUMBER_FORMATS[mLocale->defaultFormats];
    const NumberingSystemData* system = &NUMBERING_SYSTEMS[mFormats->system];
    if (!options.numberingSystem.empty() && options.numberingSystem != system->name) {
        const NumberFormatsData* latn = mFormats;
        for (uint16_t k = 0; k < mLocale->formatsCount; ++k) {
            const NumberFormatsData* candidate =
                &NUMBER_FORMATS[NUMBER_LOCALE_FORMATS[mLocale->firstFormats + k]];
            const char* name = NUMBERING_SYSTEMS[candidate->system].name;
            latn = std::strcmp(name, "latn") == 0 ? candidate : latn;
            if (options.numberingSystem == name) {
                mFormats = candidate;
                system = &NUMBERING_SYSTEMS[candidate->system];
            }
        }
        // A system the locale has no record of uses its Latin symbols.
        if (const NumberingSystemData* other = systemNamed(options.numberingSystem)) {
            mFormats = system == other ? mFormats : latn;
            system = other;
        }
    }
    mSymbols = &NUMBER_SYMBOLS[mFormats->symbols];
    mSystemName = system->name;
    bool currency = options.style == CURRENCY;
    mDecimal = currency ? mSymbols->currencyDecimal : mSymbols->decimal;
    mGroup = currency ? mSymbols->currencyGroup : mSymbols->group;
    mDecimalLength = std::strlen(mDecimal);
    mGroupLength = std::strlen(mGroup);
    mDigits = std::strcmp(system->digits, "0123456789") == 0 ? nullptr : system->digits;
    mDigitLength = mDigits == nullptr ? 1 : static_cast<int>(std::strlen(mDigits) / 10);
    uint16_t pattern = options.style == PERCENT
                           ? mFormats->percent
                           : (options.style == CURRENCY ? mFormats->currency : mFormats->decimal);
    mPattern = &NUMBER_PATTERNS[pattern];
    mPrimaryGrouping = mPattern->primaryGrouping;
    mSecondaryGrouping =
        mPattern->secondaryGrouping != 0 ? mPattern->secondaryGrouping : mPrimaryGrouping;
    mMinimumGrouping = options.grouping == GROUPING_AUTO
                           ? mLocale->minimumGroupingDigits
                           : (options.grouping == GROUPING_MIN2 ? 2 : 1);
    mPrimaryGrouping = options.grouping == GROUPING_NEVER ? 0 : mPrimaryGrouping;
    if (options.style == CURRENCY) {
        resolveCurrency(options);
    }
    resolveDigits(options);
}

void NumberFormat::resolveCurrency(const Options& options) {
    std::string code = options.currency;
    for (char& c : code) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    const char* symbol = nullptr;
    if (options.currencyDisplay == CURRENCY_NARROW_SYMBOL) {
        symbol = currencySymbol(mLocale, code, true);
    }
    if (symbol == nullptr && options.currencyDisplay != CURRENCY_CODE) {
        symbol = currencySymbol(mLocale, code, false);
    }
    mCurrencySymbol = symbol != nullptr ? symbol : code;
    mSpaceAfterSymbol = wantsSpace(mCurrencySymbol, true);
    mSpaceBeforeSymbol = wantsSpace(mCurrencySymbol, false);
    mCurrencyDigits = currencyDigits(code);
}

void NumberFormat::resolveDigits(const Options& options) {
    bool currency = options.style == CURRENCY;
    int defaultMinimum = currency ? mCurrencyDigits : mPattern->minimumFractionDigits;
    int defaultMaximum = currency ? mCurrencyDigits : mPattern->maximumFractionDigits;
    int minimum = options.minimumFractionDigits;
    int maximum = options.maximumFractionDigits;
    if (minimum < 0 && maximum < 0) {
        minimum = defaultMinimum, maximum = defaultMaximum;
    } else if (maximum < 0) {
        maximum = std::max(minimum, defaultMaximum);
    } else if (minimum < 0) {
        minimum = std::min(defaultMinimum, maximum);
    }
    mMaximumFraction = clamped(maximum, 0, MAX_FRACTION_DIGITS);
    mMinimumFraction = clamped(minimum, 0, mMaximumFraction);
    mMinimumInteger = clamped(options.minimumIntegerDigits, 1, MAX_INTEGER_DIGITS);
    if (options.minimumSignificantDigits > 0 || options.maximumSignificantDigits > 0) {
        int most = options.maximumSignificantDigits > 0 ? options.maximumSignificantDigits : 21;
        mMaximumSignificant = clamped(most, 1, MAX_SIGNIFICANT_DIGITS);
        mMinimumSignificant =
            clamped(std::max(options.minimumSignificantDigits, 1), 1, mMaximumSignificant);
    }
}

// Half to even at the last power of ten the options keep, on the value's
// own digits: the result is a prefix of them, perhaps with its last digit
// raised, so that rounding needs no room of its own.
NumberFormat::Shown NumberFormat::round(const Decimal& value) const {
    const std::string& digits = value.digits();
    Shown shown{digits.data(), static_cast<int>(digits.size()), false,
                value.exponent() + (mStyle == PERCENT ? 2 : 0), value.isNegative()};
    int lowest =
        mMaximumSignificant > 0 ? shown.magnitude() - mMaximumSignificant + 1 : -mMaximumFraction;
    if (shown.count > 0 && shown.exponent < lowest) {
        int keep = shown.count - (lowest - shown.exponent);
        bool up = false;
        if (keep >= 0) {
            int first = digits[keep] - '0';
            bool beyond = digits.find_first_not_of('0', keep + 1) != std::string::npos;
            bool odd = keep > 0 && (digits[keep - 1] - '0') % 2 == 1;
            up = first > 5 || (first == 5 && (beyond || odd));
        }
        shown.count = std::max(keep, 0);
        shown.exponent = lowest;
        while (up && shown.count > 0 && digits[shown.count - 1] == '9') {
            --shown.count, ++shown.exponent;
        }
        if (up && shown.count == 0) {
            shown.digits = "1", shown.count = 1;
        } else {
            shown.raised = up;
        }
    }
    while (!shown.raised && shown.count > 0 && shown.digits[shown.count - 1] == '0') {
        --shown.count, ++shown.exponent;
    }
    return shown;
}

std::string NumberFormat::format(const Decimal& value) const {
    std::string out;
    format(value, out);
    return out;
}

void NumberFormat::format(const Decimal& value, std::string& out) const {
    Shown shown = round(value);
    bool negative = false;
    bool sign = showsSign(shown, negative);
    const char* signSymbol = negative ? mSymbols->minus : mSymbols->plus;
    appendAffix(sign ? mPattern->negativePrefix : mPattern->positivePrefix, signSymbol, true, out);
    appendNumber(shown, out);
    appendAffix(sign ? mPattern->negativeSuffix : mPattern->positiveSuffix, signSymbol, false, out);
}

// Whether a sign shows, and whether it is the minus.
bool NumberFormat::showsSign(const Shown& shown, bool& negative) const {
    bool zero = shown.count == 0;
    negative = shown.negative;
    switch (mSignDisplay) {
        case SIGN_AUTO:
            return negative;
        case SIGN_ALWAYS:
            return true;
        case SIGN_EXCEPT_ZERO:
            return !zero;
        case SIGN_NEGATIVE:
            return negative && !zero;
        case SIGN_NEVER:
            break;
    }
    return false;
}

// A pattern's affix with its symbols; `sign` stands where the pattern's
// negative part puts its minus.
void NumberFormat::appendAffix(const char* affix, const char* sign, bool prefix,
                               std::string& out) const {
    if (!prefix && affix[0] == AFFIX_CURRENCY && mSpaceBeforeSymbol) {
        out += NO_BREAK_SPACE;
    }
    for (const char* p = affix; *p != '\0'; ++p) {
        switch (*p) {
            case AFFIX_PERCENT:
                out += mSymbols->percent;
                break;
            case AFFIX_MINUS:
                out += sign;
                break;
            case AFFIX_PLUS:
                out += mSymbols->plus;
                break;
            case AFFIX_CURRENCY:
                out += mCurrencySymbol;
                break;
            default:
                out += *p;
        }
    }
    size_t length = std::strlen(affix);
    if (prefix && length > 0 && affix[length - 1] == AFFIX_CURRENCY && mSpaceAfterSymbol) {
        out += NO_BREAK_SPACE;
    }
}

// The fraction digits that show: the value's own after rounding, and zeros
// up to the minimum fraction or significant digits.
int NumberFormat::shownFractions(const Shown& shown) const {
    int least =
        mMaximumSignificant > 0 ? mMinimumSignificant - 1 - shown.magnitude() : mMinimumFraction;
    return std::max(shown.fractionDigits(), least);
}

void NumberFormat::appendNumber(const Shown& shown, std::string& out) const {
    const int integers = std::max(shown.integerDigits(), mMinimumInteger);
    const int fractions = shownFractions(shown);
    const bool grouped = mPrimaryGrouping > 0 && integers >= mPrimaryGrouping + mMinimumGrouping;
    Run run(out);
    for (int power = integers - 1; power >= 0; --power) {
        appendDigit(shown.at(power), run);
        if (grouped && power >= mPrimaryGrouping &&
            (power - mPrimaryGrouping) % mSecondaryGrouping == 0) {
            run.add(mGroup, mGroupLength);
        }
    }
    if (fractions > 0) {
        run.add(mDecimal, mDecimalLength);
    }
    for (int power = -1; power >= -fractions; --power) {
        appendDigit(shown.at(power), run);
    }
    run.flush();
}

void NumberFormat::appendDigit(int digit, Run& run) const {
    if (mDigits == nullptr) {
        run.add(static_cast<char>('0' + digit));
    } else {
        run.add(mDigits + digit * mDigitLength, static_cast<size_t>(mDigitLength));
    }
}

Decimal NumberFormat::rounded(const Decimal& value) const {
    Shown shown = round(value);
    std::string text = shown.negative ? "-" : "";
    int integers = std::max(shown.integerDigits(), 1);
    int fractions = shownFractions(shown);
    for (int power = integers - 1; power >= 0; --power) {
        text += static_cast<char>('0' + shown.at(power));
    }
    text += fractions > 0 ? "." : "";
    for (int power = -1; power >= -fractions; --power) {
        text += static_cast<char>('0' + shown.at(power));
    }
    Decimal out;
    Decimal::parse(text.c_str(), out);
    return out;
}

const char* NumberFormat::locale() const {
    return mLocale->name;
}

const char* NumberFormat::decimalSymbol() const {
    return mDecimal;
}

const char* NumberFormat::groupSymbol() const {
    return mGroup;
}

const char* NumberFormat::numberingSystem() const {
    return mSystemName;
}

}  // namespace i18n
}  // namespace kavri
