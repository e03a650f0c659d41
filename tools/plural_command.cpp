// kavrixml plural: the plural category of numbers in a language, and the
// language's rules, as translators and developers look them up.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "i18n/LocaleCode.h"
#include "i18n/PluralRules.h"
#include "tools/Command.h"

namespace kavrixml_tool {

namespace {

using kavri::i18n::LocaleCode;
using kavri::i18n::PluralRules;

const char* const PLURAL_USAGE =
    "usage: kavrixml plural [--ordinal] LANG NUMBER...\n"
    "       kavrixml plural --rules [--ordinal] LANG\n"
    "\n"
    "Prints the plural category of each NUMBER in language LANG by CLDR's rules,\n"
    "one line per number: NUMBER, a tab, the category (zero, one, two, few, many\n"
    "or other). A number keeps the fraction digits it shows: in English \"1\" is\n"
    "one and \"1.0\" is other. NUMBER is a decimal text (-3, 1.50) and may carry\n"
    "the compact exponent (1.2c6 for 1.2 million). A language without rules of\n"
    "its own uses those of its parent (de_AT uses de), an unknown one \"root\"\n"
    "(with a warning: a typo is likely).\n"
    "\n"
    "  --ordinal   the ordinal categories (1st, 2nd, 3rd, 4th in English)\n"
    "  --rules     print the rules of LANG as CLDR writes them, with sample\n"
    "              numbers of each category\n"
    "\n"
    "Exit status: 0 success, 1 a NUMBER that is no decimal number, 2 usage error.\n";

const size_t INTEGER_SAMPLES = 8;
const size_t DECIMAL_SAMPLES = 4;

void printRules(const PluralRules& rules, const std::string& language, bool ordinal) {
    std::printf("%s rules of %s (CLDR %s):\n", ordinal ? "ordinal" : "cardinal", language.c_str(),
                PluralRules::cldrVersion());
    for (int k = 0; k < PluralRules::CATEGORY_COUNT; ++k) {
        auto category = static_cast<PluralRules::Category>(k);
        if (!rules.has(category)) {
            continue;
        }
        const std::string& condition = rules.condition(category);
        std::printf("%s:%s%s\n", PluralRules::categoryName(category), condition.empty() ? "" : " ",
                    condition.c_str());
        std::string samples;
        for (bool decimals : {false, true}) {
            for (const std::string& sample :
                 rules.samples(category, decimals, decimals ? DECIMAL_SAMPLES : INTEGER_SAMPLES)) {
                samples += samples.empty() ? "" : ", ";
                samples += sample;
            }
        }
        std::printf("    %s\n", samples.c_str());
    }
}

// Whether CLDR has rules for the language or one of its parents: root's
// rules for an unknown code are most likely a typo's.
bool knownLanguage(const std::string& code, PluralRules::Type type) {
    std::vector<std::string> locales = PluralRules::locales(type);
    for (std::string candidate = LocaleCode::cldr(code.c_str()); !candidate.empty();
         candidate = LocaleCode::parent(candidate)) {
        if (candidate != "root" && std::binary_search(locales.begin(), locales.end(), candidate)) {
            return true;
        }
    }
    return false;
}

int runPlural(const std::vector<std::string>& args) {
    bool ordinal = false;
    bool showRules = false;
    std::vector<std::string> words;
    for (const std::string& arg : args) {
        if (arg == "--ordinal") {
            ordinal = true;
        } else if (arg == "--rules") {
            showRules = true;
        } else if (isOption(arg) && !(arg.size() > 1 && arg[1] >= '0' && arg[1] <= '9')) {
            return unknownOption("plural", arg);
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty() || (showRules && words.size() != 1) || (!showRules && words.size() < 2)) {
        return report("plural", EXIT_USAGE,
                      showRules
                          ? "--rules expects one LANG (see kavrixml plural --help)"
                          : "expects LANG and at least one NUMBER (see kavrixml plural --help)");
    }
    PluralRules::Type type = ordinal ? PluralRules::ORDINAL : PluralRules::CARDINAL;
    const PluralRules& rules = PluralRules::forLanguage(words[0].c_str(), type);
    if (!knownLanguage(words[0], type)) {
        std::fprintf(stderr,
                     "kavrixml plural: warning: CLDR has no %s rules for '%s'; using root's, "
                     "which answer other for every number\n",
                     ordinal ? "ordinal" : "cardinal", words[0].c_str());
    }
    if (showRules) {
        printRules(rules, words[0], ordinal);
        return EXIT_OK;
    }
    int status = EXIT_OK;
    for (size_t i = 1; i < words.size(); ++i) {
        PluralRules::Category category;
        if (!rules.select(words[i].c_str(), category)) {
            std::fflush(stdout);
            status = report("plural", EXIT_FAULT, "'%s' is no decimal number", words[i].c_str());
            continue;
        }
        std::printf("%s\t%s\n", words[i].c_str(), PluralRules::categoryName(category));
    }
    return status;
}

const CommandRegistrar kPlural({"plural", "the plural category of numbers in a language (CLDR)",
                                PLURAL_USAGE, &runPlural});

}  // namespace

}  // namespace kavrixml_tool
