// LocaleCode spells a language code the way CLDR names its locales, so that
// every table of CLDR data (plural rules, number formats) finds a locale by
// the same rule: "pt-pt", "PT_PT" and "pt_PT.UTF-8" are all "pt_PT",
// "sr-latn-rs" is "sr_Latn_RS". It holds no state.
//
//   LocaleCode::cldr("ru-RU.UTF-8");    // "ru_RU"
//   LocaleCode::parent("de_CH");        // "de"
//   LocaleCode::parent("de");           // ""
#ifndef KAVRIXML_I18N_LOCALECODE_H
#define KAVRIXML_I18N_LOCALECODE_H

#include <string>

namespace kavri {
namespace i18n {

class LocaleCode {
  public:
    // "-" becomes "_"; a ".charset" or "@modifier" tail and a BCP 47
    // extension ("-u-nu-arab" and all after it) are dropped; the language
    // goes to lower case, a four-letter script to title case ("Latn"), the
    // other parts (region, variant) to upper case. Null gives "".
    static std::string cldr(const char* code);
    // The code without its last part ("" for a bare language): CLDR's
    // fallback by truncation.
    static std::string parent(const std::string& code);
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_LOCALECODE_H
