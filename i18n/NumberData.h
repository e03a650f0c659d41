// How CLDR's locales write numbers, as the library carries it: flat tables
// generated from CLDR's common/main and supplemental files (NumberData.cpp,
// made by scripts/generate-number-data.sh), with every value a locale
// inherits from its parents already filled in, and identical records shared.
// NumberFormat reads them; nothing is parsed at run time.
#ifndef KAVRIXML_I18N_NUMBERDATA_H
#define KAVRIXML_I18N_NUMBERDATA_H

#include <cstddef>
#include <cstdint>

namespace kavri {
namespace i18n {

// The bytes that stand for a symbol inside a pattern's affixes.
enum NumberAffixSymbol : char {
    AFFIX_PERCENT = '\001',
    AFFIX_MINUS = '\002',
    AFFIX_PLUS = '\003',
    AFFIX_CURRENCY = '\004',
};

struct NumberingSystemData {
    const char* name;    // "latn", "arab", ...
    const char* digits;  // zero to nine, UTF-8, each of the same length
};

struct NumberSymbolsData {
    const char* decimal;
    const char* group;
    const char* minus;
    const char* plus;
    const char* percent;
    const char* currencyDecimal;  // in currency amounts
    const char* currencyGroup;
};

// A pattern such as "#,##,##0.###" or "¤#,##0.00;(¤#,##0.00)", taken apart:
// affixes with quotes removed and symbols as NumberAffixSymbol bytes (a
// pattern without a negative part gets the minus before its prefix).
struct NumberPatternData {
    const char* positivePrefix;
    const char* positiveSuffix;
    const char* negativePrefix;
    const char* negativeSuffix;
    uint8_t primaryGrouping;  // 0: none
    uint8_t secondaryGrouping;
    uint8_t minimumIntegerDigits;
    uint8_t minimumFractionDigits;
    uint8_t maximumFractionDigits;
};

// What one locale uses with one numbering system.
struct NumberFormatsData {
    uint16_t system;   // NUMBERING_SYSTEMS
    uint16_t symbols;  // NUMBER_SYMBOLS
    uint16_t decimal;  // NUMBER_PATTERNS, each
    uint16_t percent;
    uint16_t currency;
};

struct NumberLocaleData {
    const char* name;  // as CLDR spells it: "de_CH", "sr_Latn", "root"
    int16_t parent;    // NUMBER_LOCALES; -1 for root
    uint8_t minimumGroupingDigits;
    uint16_t defaultFormats;  // NUMBER_FORMATS
    uint16_t firstFormats;    // NUMBER_LOCALE_FORMATS, one per numbering system it has
    uint16_t formatsCount;
    uint16_t firstCurrency;  // CURRENCY_SYMBOLS: those this locale sets itself
    uint16_t currencyCount;
};

struct CurrencySymbolsData {
    const char* code;
    const char* symbol;  // null: the parent's
    const char* narrow;  // null: the parent's
};

struct CurrencyDigitsData {
    const char* code;
    uint8_t digits;
};

extern const char* const NUMBER_CLDR_VERSION;
extern const NumberingSystemData NUMBERING_SYSTEMS[];
extern const size_t NUMBERING_SYSTEMS_COUNT;
extern const NumberSymbolsData NUMBER_SYMBOLS[];
extern const NumberPatternData NUMBER_PATTERNS[];
extern const NumberFormatsData NUMBER_FORMATS[];
extern const uint16_t NUMBER_LOCALE_FORMATS[];
// In byte order of their names.
extern const NumberLocaleData NUMBER_LOCALES[];
extern const size_t NUMBER_LOCALES_COUNT;
// Per locale, in byte order of the codes.
extern const CurrencySymbolsData CURRENCY_SYMBOLS[];
// In byte order of the codes; a currency not listed has 2.
extern const CurrencyDigitsData CURRENCY_DIGITS[];
extern const size_t CURRENCY_DIGITS_COUNT;

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_NUMBERDATA_H
