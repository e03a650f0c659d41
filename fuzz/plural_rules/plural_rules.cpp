// Parses fuzzed plural rules and evaluates them for fuzzed numbers. The
// input is three parts cut at the separator: a rule description in CLDR's
// syntax, numbers separated by blanks, and a gettext plural expression.
//
// Properties: a parsed description selects only categories it has; the text
// describe() gives back parses to rules that select the same category for
// every number; for whole numbers the integer expression of the selected
// category holds and those of the categories tried before it do not; sample
// lists stay within their limit. Faults of the texts must be exceptions.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "framework/plinth/Exception.h"
#include "fuzz/FuzzSupport.h"
#include "i18n/PluralExpression.h"
#include "i18n/PluralRules.h"

using kavri::i18n::PluralExpression;
using kavri::i18n::PluralRules;

namespace {

std::unique_ptr<PluralRules> parseRules(const std::string& text) {
    try {
        return std::unique_ptr<PluralRules>(new PluralRules(text.c_str()));
    } catch (const core::Exception&) {
        return nullptr;
    }
}

bool holdsFor(const PluralRules& rules, PluralRules::Category category, uint64_t n) {
    std::string expression = rules.integerExpression(category);
    try {
        return PluralExpression(expression.c_str()).evaluate(n) != 0;
    } catch (const core::Exception&) {
        FUZZ_CHECK(false, "an integer expression that does not parse");
    }
    return false;
}

void checkNumber(const PluralRules& rules, const PluralRules& again, const std::string& number) {
    PluralRules::Category category;
    if (!rules.select(number.c_str(), category)) {
        return;
    }
    FUZZ_CHECK(rules.has(category), "a category the rules do not have");
    PluralRules::Category reread;
    FUZZ_CHECK(again.select(number.c_str(), reread) && reread == category,
               "the described rules choose another category");
    PluralRules::Operands operands;
    FUZZ_CHECK(PluralRules::Operands::parse(number.c_str(), operands), "operands");
    // Whole numbers as gettext sees them: the expressions must agree.
    if (operands.v == 0 && operands.e == 0 && operands.i < 1000000000000000000ull) {
        for (int k = 0; k < category; ++k) {
            auto before = static_cast<PluralRules::Category>(k);
            FUZZ_CHECK(!rules.has(before) || !holdsFor(rules, before, operands.i),
                       "an earlier category's integer expression holds");
        }
        FUZZ_CHECK(category == PluralRules::OTHER || holdsFor(rules, category, operands.i),
                   "the selected category's integer expression does not hold");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts = kavrixml::fuzz::split(data, size, 3);
    std::unique_ptr<PluralRules> rules = parseRules(parts[0]);
    if (rules != nullptr) {
        std::unique_ptr<PluralRules> again = parseRules(rules->describe());
        FUZZ_CHECK(again != nullptr, "describe() gives a text that does not parse");
        std::istringstream numbers(parts[1]);
        std::string number;
        for (int count = 0; numbers >> number && count < 64; ++count) {
            checkNumber(*rules, *again, number);
        }
        for (int k = 0; k < PluralRules::CATEGORY_COUNT; ++k) {
            for (bool decimals : {false, true}) {
                FUZZ_CHECK(
                    rules->samples(static_cast<PluralRules::Category>(k), decimals, 50).size() <=
                        50,
                    "samples beyond their limit");
            }
        }
    }
    try {
        PluralExpression expression(parts[2].c_str());
        for (uint64_t n = 0; n < 200; ++n) {
            expression.evaluate(n);
        }
    } catch (const core::Exception&) {
    }
    return 0;
}
