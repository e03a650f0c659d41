#include "i18n/MessageNumber.h"

#include <cstring>

#include "i18n/PluralRules.h"

namespace kavri {
namespace i18n {
namespace message {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// digit-size-option = "0" / ("1"-"9") [DIGIT]
bool digitSize(const std::string& value, int16_t& out) {
    const size_t n = value.size();
    if (n == 0 || n > 2 || !isDigit(value[0]) ||
        (n == 2 && (value[0] == '0' || !isDigit(value[1])))) {
        return false;
    }
    out = static_cast<int16_t>(n == 1 ? value[0] - '0' : (value[0] - '0') * 10 + value[1] - '0');
    return true;
}

// The index of `value` in a null-terminated list of names, or -1.
int indexOf(const std::string& value, const char* const* names) {
    for (int i = 0; names[i] != nullptr; ++i) {
        if (value == names[i]) {
            return i;
        }
    }
    return -1;
}

const char* const SELECTS[] = {"plural", "ordinal", "exact", nullptr};
const char* const SIGNS[] = {"auto", "always", "exceptZero", "negative", "never", nullptr};
const char* const GROUPINGS[] = {"auto", "always", "min2", "never", nullptr};
const char* const TRAILING_ZEROS[] = {"auto", "stripIfInteger", nullptr};
const char* const CURRENCY_DISPLAYS[] = {"symbol", "narrowSymbol", "code",
                                         "name",   "never",        nullptr};
const char* const CURRENCY_SIGNS[] = {"standard", "accounting", nullptr};
const char* const ROUNDING_PRIORITIES[] = {"auto", "morePrecision", "lessPrecision", nullptr};
const char* const ROUNDING_MODES[] = {"halfEven", "ceil",      "floor",      "expand",    "trunc",
                                      "halfCeil", "halfFloor", "halfExpand", "halfTrunc", nullptr};
const char* const ROUNDING_INCREMENTS[] = {"1",    "2",    "5",    "10",   "20",  "25",
                                           "50",   "100",  "200",  "250",  "500", "1000",
                                           "2000", "2500", "5000", nullptr};

// Which options each function defines (a bit per option below).
enum OptionBit {
    SELECT = 1 << 0,
    SIGN = 1 << 1,
    GROUPING = 1 << 2,
    MIN_INTEGER = 1 << 3,
    MIN_FRACTION = 1 << 4,
    MAX_FRACTION = 1 << 5,
    MIN_SIGNIFICANT = 1 << 6,
    MAX_SIGNIFICANT = 1 << 7,
    TRAILING_ZERO = 1 << 8,
    ROUNDING = 1 << 9,  // roundingPriority, roundingMode
    INCREMENT = 1 << 10,
    CURRENCY = 1 << 11,  // currency, currencyDisplay, currencySign, fractionDigits
    OFFSET = 1 << 12,    // add, subtract
};

unsigned optionsOf(FunctionId function) {
    const unsigned digits = MIN_FRACTION | MAX_FRACTION | MIN_SIGNIFICANT | MAX_SIGNIFICANT;
    switch (function) {
        case FunctionId::NUMBER:
            return SELECT | SIGN | GROUPING | MIN_INTEGER | digits | TRAILING_ZERO | ROUNDING |
                   INCREMENT;
        case FunctionId::INTEGER:
            return SELECT | SIGN | GROUPING | MIN_INTEGER | MAX_SIGNIFICANT;
        case FunctionId::PERCENT:
            return SIGN | GROUPING | digits | TRAILING_ZERO | ROUNDING;
        case FunctionId::CURRENCY:
            return GROUPING | MIN_INTEGER | MIN_SIGNIFICANT | MAX_SIGNIFICANT | TRAILING_ZERO |
                   ROUNDING | INCREMENT | CURRENCY;
        case FunctionId::OFFSET:
            return OFFSET;
        default:
            return 0;
    }
}

using Result = MessageNumber::OptionResult;

Result choose(const std::string& value, const char* const* names, int8_t& out) {
    const int index = indexOf(value, names);
    if (index < 0) {
        return Result::BAD_OPTION;
    }
    out = static_cast<int8_t>(index);
    return Result::APPLIED;
}

Result digits(const std::string& value, int16_t& out) {
    return digitSize(value, out) ? Result::APPLIED : Result::BAD_OPTION;
}

// Options whose values are all accepted but only the default is carried out.
Result defaultOnly(const std::string& value, const char* const* names, const char* accepted) {
    if (indexOf(value, names) < 0) {
        return Result::BAD_OPTION;
    }
    return value == accepted ? Result::APPLIED : Result::UNSUPPORTED;
}

Result applyCurrencyOption(const std::string& name, const std::string& value,
                           NumberOptions& options) {
    if (name == "currency") {
        if (value.size() != 3) {
            return Result::BAD_OPTION;
        }
        for (size_t i = 0; i < 3; ++i) {
            const char c = value[i];
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
                return Result::BAD_OPTION;
            }
            options.currency[i] = static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
        }
        return Result::APPLIED;
    }
    if (name == "currencyDisplay") {
        int8_t display;
        if (choose(value, CURRENCY_DISPLAYS, display) != Result::APPLIED) {
            return Result::BAD_OPTION;
        }
        if (display > NumberFormat::CURRENCY_CODE) {
            return Result::UNSUPPORTED;
        }
        options.currencyDisplay = display;
        return Result::APPLIED;
    }
    if (name == "currencySign") {
        return defaultOnly(value, CURRENCY_SIGNS, "standard");
    }
    if (name == "fractionDigits") {
        if (value == "auto") {
            options.fractionDigits = -1;
            return Result::APPLIED;
        }
        return digits(value, options.fractionDigits);
    }
    return Result::IGNORED;
}

Result applyDigitOption(const std::string& name, const std::string& value, NumberOptions& options,
                        unsigned defined) {
    struct Entry {
        const char* name;
        unsigned bit;
        int16_t NumberOptions::*field;
    };
    static const Entry ENTRIES[] = {
        {"minimumIntegerDigits", MIN_INTEGER, &NumberOptions::minimumIntegerDigits},
        {"minimumFractionDigits", MIN_FRACTION, &NumberOptions::minimumFractionDigits},
        {"maximumFractionDigits", MAX_FRACTION, &NumberOptions::maximumFractionDigits},
        {"minimumSignificantDigits", MIN_SIGNIFICANT, &NumberOptions::minimumSignificantDigits},
        {"maximumSignificantDigits", MAX_SIGNIFICANT, &NumberOptions::maximumSignificantDigits},
        {"add", OFFSET, &NumberOptions::offsetAdd},
        {"subtract", OFFSET, &NumberOptions::offsetSubtract},
    };
    for (const Entry& entry : ENTRIES) {
        if (name == entry.name) {
            return (defined & entry.bit) == 0 ? Result::IGNORED
                                              : digits(value, options.*entry.field);
        }
    }
    return Result::IGNORED;
}

}  // namespace

bool MessageNumber::isNumberLiteral(const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    if (p < end && *p == '-') {
        ++p;
    }
    if (p == end || !isDigit(*p)) {
        return false;
    }
    if (*p++ == '0' && p < end && isDigit(*p)) {
        return false;
    }
    while (p < end && isDigit(*p)) {
        ++p;
    }
    if (p < end && *p == '.') {
        if (++p == end || !isDigit(*p)) {
            return false;
        }
        while (p < end && isDigit(*p)) {
            ++p;
        }
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        if (++p < end && (*p == '+' || *p == '-')) {
            ++p;
        }
        if (p == end || !isDigit(*p)) {
            return false;
        }
        while (p < end && isDigit(*p)) {
            ++p;
        }
    }
    return p == end;
}

bool MessageNumber::parse(const char* text, size_t length, Decimal& out) {
    if (!isNumberLiteral(text, length)) {
        return false;
    }
    return Decimal::parse(std::string(text, length).c_str(), out);
}

MessageNumber::OptionResult MessageNumber::applyOption(FunctionId function, const std::string& name,
                                                       const std::string& value, bool literal,
                                                       NumberOptions& options) {
    const unsigned defined = optionsOf(function);
    if (name == "select" && (defined & SELECT) != 0) {
        return literal ? choose(value, SELECTS, options.select) : Result::BAD_OPTION;
    }
    if (name == "signDisplay" && (defined & SIGN) != 0) {
        return choose(value, SIGNS, options.signDisplay);
    }
    if (name == "useGrouping" && (defined & GROUPING) != 0) {
        return choose(value, GROUPINGS, options.grouping);
    }
    if (name == "trailingZeroDisplay" && (defined & TRAILING_ZERO) != 0) {
        return choose(value, TRAILING_ZEROS, options.trailingZeroDisplay);
    }
    if (name == "roundingPriority" && (defined & ROUNDING) != 0) {
        return defaultOnly(value, ROUNDING_PRIORITIES, "auto");
    }
    if (name == "roundingMode" && (defined & ROUNDING) != 0) {
        return defaultOnly(value, ROUNDING_MODES, "halfEven");
    }
    if (name == "roundingIncrement" && (defined & INCREMENT) != 0) {
        return defaultOnly(value, ROUNDING_INCREMENTS, "1");
    }
    if ((defined & CURRENCY) != 0) {
        const Result result = applyCurrencyOption(name, value, options);
        if (result != Result::IGNORED) {
            return result;
        }
    }
    return applyDigitOption(name, value, options, defined);
}

NumberOptions MessageNumber::inherited(FunctionId function, const NumberOptions& operand) {
    NumberOptions options = operand;
    options.offsetAdd = options.offsetSubtract = -1;
    if (function == FunctionId::INTEGER) {
        options.minimumFractionDigits = options.maximumFractionDigits = -1;
        options.minimumSignificantDigits = -1;
    } else if (function == FunctionId::PERCENT) {
        options.minimumIntegerDigits = -1;
        options.select = -1;
    }
    if (function != FunctionId::CURRENCY) {
        options.currency[0] = 0;
        options.fractionDigits = -1;
        options.currencyDisplay = -1;
    }
    return options;
}

bool MessageNumber::finish(MessageValue& value, const Model& model, MessageError::Type& error) {
    NumberOptions& options = value.options;
    if (value.function == FunctionId::OFFSET) {
        if ((options.offsetAdd < 0) == (options.offsetSubtract < 0)) {
            error = MessageError::BAD_OPTION;
            return false;
        }
        const bool add = options.offsetAdd >= 0;
        const Decimal amount =
            Decimal::fromInteger(add ? options.offsetAdd : options.offsetSubtract);
        value.number = value.number.plus(add ? amount : amount.negated());
        options.offsetAdd = options.offsetSubtract = -1;
    } else if (value.function == FunctionId::CURRENCY && options.currency[0] == 0) {
        error = MessageError::BAD_OPERAND;
        return false;
    } else if (value.function == FunctionId::INTEGER && value.number.exponent() != 0) {
        // A number without fraction digits or trailing exponent is whole
        // already, and rounding would give back the same digits.
        value.number = model.wholeNumber->rounded(value.number);
    }
    return true;
}

void MessageNumber::prepare(Model& model) {
    const char* locale = model.locale.c_str();
    model.cardinal = &PluralRules::forLanguage(locale, PluralRules::CARDINAL);
    model.ordinal = &PluralRules::forLanguage(locale, PluralRules::ORDINAL);
    classifyKeys(model);
    MessageValue plain = MessageValue::numeric(FunctionId::NUMBER, Decimal());
    model.plainNumber = std::make_shared<const NumberFormat>(makeFormat(plain, locale));
    NumberFormat::Options whole;
    whole.maximumFractionDigits = 0;
    model.wholeNumber = std::make_shared<const NumberFormat>(locale, whole);
    for (Expression& expression : model.expressions) {
        if (expression.function < FunctionId::NUMBER || expression.function > FunctionId::OFFSET) {
            continue;
        }
        MessageValue value = MessageValue::numeric(expression.function, Decimal());
        bool literal = true;
        for (const Option& option : expression.options) {
            literal = literal && option.value.kind == Value::LITERAL;
            if (literal) {
                applyOption(expression.function, option.name, option.value.text, true,
                            value.options);
            }
        }
        if (literal) {
            expression.numberFormat =
                std::make_shared<const NumberFormat>(makeFormat(value, locale));
        }
    }
}

NumberFormat MessageNumber::makeFormat(const MessageValue& value, const char* locale) {
    const NumberOptions& o = value.options;
    NumberFormat::Options options;
    switch (value.function) {
        case FunctionId::INTEGER:
            options.maximumFractionDigits = 0;
            break;
        case FunctionId::PERCENT:
            options.style = NumberFormat::PERCENT;
            break;
        case FunctionId::CURRENCY:
            options.style = NumberFormat::CURRENCY;
            options.currency.assign(o.currency, 3);
            options.minimumFractionDigits = options.maximumFractionDigits = o.fractionDigits;
            break;
        default:
            break;
    }
    options.minimumIntegerDigits = o.minimumIntegerDigits >= 0 ? o.minimumIntegerDigits : 1;
    if (value.function != FunctionId::INTEGER && value.function != FunctionId::CURRENCY) {
        options.minimumFractionDigits = o.minimumFractionDigits;
        options.maximumFractionDigits = o.maximumFractionDigits;
    }
    options.minimumSignificantDigits =
        o.minimumSignificantDigits > 0 ? o.minimumSignificantDigits : 0;
    options.maximumSignificantDigits =
        o.maximumSignificantDigits > 0 ? o.maximumSignificantDigits : 0;
    if (o.signDisplay >= 0) {
        options.signDisplay = static_cast<NumberFormat::SignDisplay>(o.signDisplay);
    }
    if (o.grouping >= 0) {
        options.grouping = static_cast<NumberFormat::Grouping>(o.grouping);
    }
    if (o.currencyDisplay >= 0) {
        options.currencyDisplay = static_cast<NumberFormat::CurrencyDisplay>(o.currencyDisplay);
    }
    return NumberFormat(locale, options);
}

const NumberFormat& MessageNumber::formatOf(const MessageValue& value, const Model& model,
                                            std::unique_ptr<NumberFormat>& holder) {
    if (value.numberFormat != nullptr) {
        return *value.numberFormat;
    }
    if (value.function == FunctionId::NONE) {
        return *model.plainNumber;
    }
    holder.reset(new NumberFormat(makeFormat(value, model.locale.c_str())));
    return *holder;
}

// stripIfInteger drops the fraction digits of a value that rounds to an
// integer; otherwise the format's own digits show.
void MessageNumber::format(const MessageValue& value, const Model& model, std::string& out) {
    std::unique_ptr<NumberFormat> holder;
    const NumberFormat& numberFormat = formatOf(value, model, holder);
    if (value.options.trailingZeroDisplay == 1 && numberFormat.rounded(value.number).isInteger()) {
        MessageValue whole = value;
        whole.numberFormat = nullptr;
        whole.options.trailingZeroDisplay = -1;
        whole.options.minimumFractionDigits = whole.options.maximumFractionDigits = 0;
        whole.options.fractionDigits = 0;
        whole.options.minimumSignificantDigits = whole.options.maximumSignificantDigits = -1;
        makeFormat(whole, model.locale.c_str()).format(value.number, out);
        return;
    }
    numberFormat.format(value.number, out);
}

bool MessageNumber::selects(const MessageValue& value) {
    const FunctionId f = value.function;
    return value.kind() == MessageValue::NUMBER && value.selectable &&
           (f == FunctionId::NUMBER || f == FunctionId::INTEGER || f == FunctionId::PERCENT ||
            f == FunctionId::OFFSET);
}

bool MessageNumber::match(const std::string& exact, int8_t category, const Key& key, bool& badKey) {
    badKey = false;
    if (key.numberLiteral) {
        return key.value == exact;
    }
    if (key.category < 0) {
        badKey = true;
        return false;
    }
    return key.category == category;
}

void MessageNumber::classifyKeys(Model& model) {
    model.exactKeys.assign(model.selectors.size(), false);
    for (Variant& variant : model.variants) {
        for (size_t i = 0; i < variant.keys.size(); ++i) {
            Key& key = variant.keys[i];
            PluralRules::Category category;
            if (key.catchAll) {
                continue;
            }
            if (isNumberLiteral(key.value.data(), key.value.size())) {
                key.numberLiteral = true;
                if (i < model.exactKeys.size()) {
                    model.exactKeys[i] = true;
                }
            } else if (PluralRules::categoryOf(key.value.data(), key.value.size(), category)) {
                key.category = static_cast<int8_t>(category);
            }
        }
    }
}

// The exact form: an integer value without digit options reads as the
// integer itself ("1" for 1.0); other values as their options round them.
// The category is read from the value as shown.
void MessageNumber::selectionKeys(const MessageValue& value, const Model& model, bool needExact,
                                  std::string& exact, int8_t& category) {
    std::unique_ptr<NumberFormat> holder;
    const NumberFormat& numberFormat = formatOf(value, model, holder);
    const NumberOptions& o = value.options;
    const bool digitOptions = o.minimumFractionDigits >= 0 || o.minimumIntegerDigits >= 0 ||
                              o.minimumSignificantDigits >= 0 || o.maximumSignificantDigits >= 0;
    if (!digitOptions && numberFormat.keepsWholeNumbers() &&
        wholeSelectionKeys(value, model, needExact, exact, category)) {
        return;
    }
    const Decimal shown = numberFormat.rounded(value.number);
    if (needExact) {
        const Decimal number =
            value.function == FunctionId::PERCENT ? value.number.scaled(2) : value.number;
        if (digitOptions || !number.isInteger()) {
            exact = shown.isZero() ? "0" : shown.toString();
        } else {
            exact = number.isZero() ? "0" : number.toString();
            const size_t point = exact.find('.');
            exact.resize(point != std::string::npos ? point : exact.size());
        }
    }
    const int8_t select = value.function == FunctionId::PERCENT ? -1 : o.select;
    category = -1;
    if (select != NumberOptions::EXACT) {
        const PluralRules& rules =
            select == NumberOptions::ORDINAL ? *model.ordinal : *model.cardinal;
        PluralRules::Category found = PluralRules::OTHER;
        if (!rules.select(shown.toString().c_str(), found)) {
            found = PluralRules::OTHER;
        }
        category = static_cast<int8_t>(found);
    }
}

// The usual count: a whole number of at most 18 digits, shown as it is.
// Its exact form is its digits, and its category is read from the integer,
// with no text made for either.
bool MessageNumber::wholeSelectionKeys(const MessageValue& value, const Model& model,
                                       bool needExact, std::string& exact, int8_t& category) {
    const Decimal& number = value.number;
    const std::string& digits = number.digits();
    if (value.function == FunctionId::PERCENT || number.exponent() < 0 ||
        digits.size() + number.exponent() > 18) {
        return false;
    }
    long long whole = 0;
    for (char digit : digits) {
        whole = whole * 10 + (digit - '0');
    }
    for (int k = digits.empty() ? 0 : number.exponent(); k > 0; --k) {
        whole *= 10;
    }
    if (needExact) {
        exact.assign(number.isNegative() && !number.isZero() ? "-" : "");
        exact += digits.empty() ? "0" : digits.c_str();
        exact.append(static_cast<size_t>(digits.empty() ? 0 : number.exponent()), '0');
    }
    category = -1;
    if (value.options.select != NumberOptions::EXACT) {
        const PluralRules& rules =
            value.options.select == NumberOptions::ORDINAL ? *model.ordinal : *model.cardinal;
        category = static_cast<int8_t>(rules.select(whole));
    }
    return true;
}

}  // namespace message
}  // namespace i18n
}  // namespace kavri
