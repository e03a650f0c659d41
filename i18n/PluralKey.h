// PluralKey is the one spelling of the keys under which a bundle keeps a
// text's plural forms: KEY_CATEGORY ("files_few"), KEY_ordinal_CATEGORY
// ("place_ordinal_two") and the exact values KEY_=N and KEY_ordinal_=N
// ("files_=0", "items_=-1", "place_ordinal_=1"). Bundles look forms up by
// it and the tool's commands recognise them by it. It holds no state.
//
//   char suffix[PluralKey::SUFFIX_SIZE];
//   PluralKey::categorySuffix(PluralRules::FEW, false, suffix);   // "_few", length 4
//   PluralKey::Form form;  PluralKey::parse("place_ordinal_=1", form);
#ifndef KAVRIXML_I18N_PLURALKEY_H
#define KAVRIXML_I18N_PLURALKEY_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "i18n/PluralRules.h"

namespace kavri {
namespace i18n {

class PluralKey {
  public:
    // Room for every suffix below and its NUL.
    static const size_t SUFFIX_SIZE = 40;

    // A key taken apart.
    struct Form {
        std::string base;
        bool ordinal = false;
        bool exact = false;  // KEY_=N or KEY_ordinal_=N
        std::string value;   // the exact value as written ("-1")
        PluralRules::Category category = PluralRules::OTHER;
    };

    // Writes "_few" or "_ordinal_few" with its NUL; returns its length.
    static size_t categorySuffix(PluralRules::Category category, bool ordinal, char* out);
    // Writes "_=12", "_=-1" or "_ordinal_=3" with its NUL; returns its length.
    static size_t exactSuffix(uint64_t magnitude, bool negative, bool ordinal, char* out);
    static std::string categoryKey(const std::string& base, PluralRules::Category category,
                                   bool ordinal);

    // True when `key` is spelt as a form: a base that is not empty, then a
    // category or "=" and an integer of at most 19 digits (with "-" for a
    // negative one), each after "_" or "_ordinal_".
    static bool parse(const std::string& key, Form& form);
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_PLURALKEY_H
