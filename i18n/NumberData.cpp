// clang-format off
#include "i18n/NumberData.h"

namespace kavri {
namespace i18n {

const char* const NUMBER_CLDR_VERSION = "0";
const NumberingSystemData NUMBERING_SYSTEMS[] = {{"latn", "0123456789"}};
const size_t NUMBERING_SYSTEMS_COUNT = 1;
const NumberSymbolsData NUMBER_SYMBOLS[] = {{".", ",", "-", "+", "%"}};
const NumberPatternData NUMBER_PATTERNS[] = {{"", "", "\002", "", 3, 0, 1, 0, 3}};
const NumberFormatsData NUMBER_FORMATS[] = {{0, 0, 0, 0, 0}};
const uint16_t NUMBER_LOCALE_FORMATS[] = {0};
const NumberLocaleData NUMBER_LOCALES[] = {{"root", -1, 1, 0, 0, 1, 0, 0}};
const size_t NUMBER_LOCALES_COUNT = 1;
const CurrencySymbolsData CURRENCY_SYMBOLS[] = {{"USD", "US$", "$"}};
const CurrencyDigitsData CURRENCY_DIGITS[] = {{"JPY", 0}};
const size_t CURRENCY_DIGITS_COUNT = 1;

}  // namespace i18n
}  // namespace kavri
