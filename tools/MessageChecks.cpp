// The checks of a translated MessageFormat text against its base text.
#include "tools/MessageChecks.h"

#include "i18n/MessageFormat.h"
#include "i18n/MessageOutline.h"
#include "tools/PluralKeys.h"

namespace kavrixml_tool {

using kavri::i18n::MessageOutline;

namespace {

std::string describeSelector(const MessageOutline::Selector& selector) {
    if (selector.function.empty()) {
        return "no function";
    }
    std::string text = ":" + selector.function;
    if (!selector.select.empty() && selector.select != "plural") {
        text += " select=" + selector.select;
    }
    return text;
}

// The arguments a translation reads against the base text's, and the
// functions of the selectors both have.
void compareOutlines(const MessageOutline& base, const MessageOutline& translation,
                     std::vector<std::string>& findings) {
    for (const std::string& name : translation.arguments()) {
        if (base.arguments().count(name) == 0) {
            findings.push_back("uses $" + name + ", which the base text lacks");
        }
    }
    for (const std::string& name : base.arguments()) {
        if (translation.arguments().count(name) == 0) {
            findings.push_back("drops $" + name + " of the base text");
        }
    }
    for (const auto& selector : translation.selectors()) {
        for (const auto& original : base.selectors()) {
            if (original.variable == selector.variable &&
                describeSelector(original) != describeSelector(selector)) {
                findings.push_back("selector $" + selector.variable + " is " +
                                   describeSelector(selector) + ", the base text's " +
                                   describeSelector(original));
            }
        }
    }
}

// The categories of language `code` that each plural selector's variants
// leave to "*", with numbers that would fall there.
void checkPluralVariants(const MessageOutline& outline, const std::string& code,
                         std::vector<std::string>& findings) {
    size_t plurals = 0;
    for (const auto& selector : outline.selectors()) {
        plurals += selector.isPlural() ? 1 : 0;
    }
    for (const auto& selector : outline.selectors()) {
        if (!selector.isPlural()) {
            continue;
        }
        const PluralRules& rules = PluralRules::forLanguage(
            code.c_str(),
            selector.select == "ordinal" ? PluralRules::ORDINAL : PluralRules::CARDINAL);
        // :integer only ever selects by whole numbers.
        const bool integers = selector.function == "integer";
        for (int k = 0; k < PluralRules::CATEGORY_COUNT; ++k) {
            auto category = static_cast<PluralRules::Category>(k);
            const char* name = PluralRules::categoryName(category);
            if (category == PluralRules::OTHER || !rules.has(category) ||
                (integers && !rules.reachedByIntegers(category)) || selector.keys.count(name)) {
                continue;
            }
            findings.push_back(std::string("missing plural form ") + name + " (" +
                               sampleList(rules, category, 4) + ")" +
                               (plurals > 1 ? " for $" + selector.variable : ""));
        }
    }
}

}  // namespace

std::string compileFault(const std::string& source, const std::string& code) {
    try {
        kavri::i18n::MessageFormat message(source, code.empty() ? "en" : code);
    } catch (const kavri::i18n::MessageFormatException& e) {
        return std::string("does not compile: ") + e.getMessage();
    }
    return std::string();
}

std::vector<std::string> checkMessage(const std::string* original, const std::string& translated,
                                      const std::string& code) {
    std::vector<std::string> findings;
    const std::string fault = compileFault(translated, code);
    if (!fault.empty()) {
        findings.push_back(fault);
        return findings;
    }
    const MessageOutline outline(translated);
    if (original != nullptr) {
        try {
            compareOutlines(MessageOutline(*original), outline, findings);
        } catch (const kavri::i18n::MessageFormatException&) {
            // The base text's own finding.
        }
    }
    checkPluralVariants(outline, code, findings);
    return findings;
}

}  // namespace kavrixml_tool
