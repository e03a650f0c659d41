// How the tool's i18n commands recognise plural keys among a bundle's texts:
// a key KEY with the texts KEY_other and at least one more form (KEY_one,
// KEY_few, ..., KEY_=N) is a cardinal plural key; with KEY_ordinal_other and
// another form (KEY_ordinal_CATEGORY, KEY_ordinal_=N), an ordinal one. A key
// such as "menu_other" alone is an ordinary text. The spelling of a form's
// key is the library's (i18n/PluralKey.h).
//
//   PluralForm form;
//   parseFormKey("files_few", form);   // base "files", category FEW
//   PluralKeys keys = pluralKeys(baseTexts);
#ifndef KAVRIXML_TOOLS_PLURALKEYS_H
#define KAVRIXML_TOOLS_PLURALKEYS_H

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "i18n/PluralKey.h"
#include "i18n/PluralRules.h"

namespace kavrixml_tool {

using kavri::i18n::PluralRules;

using PluralForm = kavri::i18n::PluralKey::Form;

// True when `key` is spelt as a form: KEY_CATEGORY, KEY_ordinal_CATEGORY,
// KEY_=N or KEY_ordinal_=N with N an integer.
bool parseFormKey(const std::string& key, PluralForm& form);
std::string formKey(const std::string& base, PluralRules::Category category, bool ordinal);

// (base, ordinal) of each plural key, in byte order.
using PluralKeys = std::vector<std::pair<std::string, bool>>;
PluralKeys pluralKeys(const std::vector<std::string>& keys);

// The form's plural key when `key` is a form of one of `plurals`.
bool isFormOf(const std::string& key, const PluralKeys& plurals, PluralForm& form);

// "2, 3, 4, 22, …": the first `count` sample numbers of a category, whole
// numbers when it has any, with "…" when there are more.
std::string sampleList(const PluralRules& rules, PluralRules::Category category, size_t count);

// A category whose whole numbers are a single one (German one, Arabic
// zero): its form may leave the number out.
bool holdsOneInteger(const PluralRules& rules, PluralRules::Category category);

// The form `text` of a plural key whose base KEY_other is `original`: it
// reads the same arguments, or, for a single-number category, the same
// without the first (the number left out, as msgfmt allows). The finding
// of FormatCheck::checkTranslation, or empty when the form may be used.
std::string checkPluralForm(const char* original, const char* text, bool mayLeaveNumberOut);

// The categories whole numbers reach, in CLDR's order: a PO file's forms.
std::vector<PluralRules::Category> integerCategories(const PluralRules& rules);
// "nplurals=N; plural=EXPR;" choosing those forms.
std::string pluralFormsHeader(const PluralRules& rules);

}  // namespace kavrixml_tool

#endif  // KAVRIXML_TOOLS_PLURALKEYS_H
