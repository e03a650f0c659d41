// Plural keys among a bundle's texts.
#include "tools/PluralKeys.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "i18n/FormatCheck.h"

namespace kavrixml_tool {

bool parseFormKey(const std::string& key, PluralForm& form) {
    return kavri::i18n::PluralKey::parse(key, form);
}

std::string formKey(const std::string& base, PluralRules::Category category, bool ordinal) {
    return kavri::i18n::PluralKey::categoryKey(base, category, ordinal);
}

PluralKeys pluralKeys(const std::vector<std::string>& keys) {
    std::set<std::pair<std::string, bool>> others;
    std::set<std::pair<std::string, bool>> forms;
    for (const std::string& key : keys) {
        PluralForm form;
        if (!parseFormKey(key, form)) {
            continue;
        }
        std::pair<std::string, bool> id(form.base, form.ordinal);
        (!form.exact && form.category == PluralRules::OTHER ? others : forms).insert(id);
    }
    PluralKeys result;
    for (const auto& id : others) {
        if (forms.count(id) != 0) {
            result.push_back(id);
        }
    }
    return result;
}

bool isFormOf(const std::string& key, const PluralKeys& plurals, PluralForm& form) {
    PluralForm parsed;
    if (!parseFormKey(key, parsed) ||
        !std::binary_search(plurals.begin(), plurals.end(),
                            std::make_pair(parsed.base, parsed.ordinal))) {
        return false;
    }
    form = parsed;
    return true;
}

std::string sampleList(const PluralRules& rules, PluralRules::Category category, size_t count) {
    bool decimals = !rules.reachedByIntegers(category);
    std::vector<std::string> samples = rules.samples(category, decimals, count + 1);
    std::string out;
    for (size_t k = 0; k < samples.size() && k < count; ++k) {
        out += (k == 0 ? "" : ", ") + samples[k];
    }
    const std::string& written =
        decimals ? rules.decimalSamples(category) : rules.integerSamples(category);
    if (samples.size() > count || written.find("…") != std::string::npos) {
        out += ", …";
    }
    return out;
}

bool holdsOneInteger(const PluralRules& rules, PluralRules::Category category) {
    const std::string& written = rules.integerSamples(category);
    return rules.reachedByIntegers(category) && written.find_first_of(",~") == std::string::npos &&
           written.find("…") == std::string::npos;
}

std::string checkPluralForm(const char* original, const char* text, bool mayLeaveNumberOut) {
    using kavri::i18n::FormatCheck;
    std::string finding = FormatCheck::checkTranslation(original, text);
    if (finding.empty() || !mayLeaveNumberOut || original == nullptr) {
        return finding;
    }
    std::vector<std::string> expected = FormatCheck(original).getArguments();
    FormatCheck form(text);
    if (form.isValid() && !expected.empty() &&
        form.getArguments() == std::vector<std::string>(expected.begin() + 1, expected.end())) {
        return std::string();
    }
    return finding;
}

std::vector<PluralRules::Category> integerCategories(const PluralRules& rules) {
    std::vector<PluralRules::Category> order;
    for (int k = 0; k < PluralRules::CATEGORY_COUNT; ++k) {
        if (rules.reachedByIntegers(static_cast<PluralRules::Category>(k))) {
            order.push_back(static_cast<PluralRules::Category>(k));
        }
    }
    return order;
}

std::string pluralFormsHeader(const PluralRules& rules) {
    std::vector<PluralRules::Category> order = integerCategories(rules);
    std::string chain;
    for (size_t k = 0; k + 1 < order.size(); ++k) {
        chain += "(" + rules.integerExpression(order[k]) + ") ? " + std::to_string(k) + " : ";
    }
    chain += std::to_string(order.empty() ? 0 : order.size() - 1);
    return "nplurals=" + std::to_string(order.empty() ? 1 : order.size()) + "; plural=" + chain +
           ";";
}

}  // namespace kavrixml_tool
