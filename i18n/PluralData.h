// The plural rules of CLDR's locales as the library carries them: per group
// of locales that share rules, the rules as CLDR writes them. The table is
// generated from CLDR's plurals.xml and ordinals.xml (PluralData.cpp, made
// by scripts/generate-plural-rules.sh); PluralRules parses it at first use.
#ifndef KAVRIXML_I18N_PLURALDATA_H
#define KAVRIXML_I18N_PLURALDATA_H

#include <cstddef>

namespace kavri {
namespace i18n {

struct PluralData {
    int type;             // PluralRules::Type
    const char* locales;  // separated by one blank
    const char* rules;    // "CATEGORY: CONDITION @integer ... @decimal ...; ..."
};

extern const char* const PLURAL_CLDR_VERSION;
extern const PluralData PLURAL_DATA[];
extern const size_t PLURAL_DATA_COUNT;

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_PLURALDATA_H
