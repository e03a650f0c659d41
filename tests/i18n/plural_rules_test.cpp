// PluralRules: CLDR's own samples, the operands of shown numbers, the
// fallback of language codes and the faults of rule texts.
#include <gtest/gtest.h>

#include <string>

#include "framework/plinth/Exception.h"
#include "i18n/PluralExpression.h"
#include "i18n/PluralRules.h"

namespace {

using kavri::i18n::PluralRules;

const char* name(PluralRules::Category category) {
    return PluralRules::categoryName(category);
}

// Every @integer and @decimal sample of every locale's rules lands in the
// category that lists it.
TEST(PluralRules, EverySampleOfEveryLocaleLandsInItsOwnCategory) {
    size_t checked = 0;
    for (PluralRules::Type type : {PluralRules::CARDINAL, PluralRules::ORDINAL}) {
        for (const std::string& locale : PluralRules::locales(type)) {
            const PluralRules& rules = PluralRules::forLanguage(locale.c_str(), type);
            for (int k = 0; k < PluralRules::CATEGORY_COUNT; ++k) {
                auto expected = static_cast<PluralRules::Category>(k);
                for (bool decimals : {false, true}) {
                    for (const std::string& sample : rules.samples(expected, decimals, 100000)) {
                        PluralRules::Category got = PluralRules::OTHER;
                        ASSERT_TRUE(rules.select(sample.c_str(), got)) << locale << " " << sample;
                        EXPECT_EQ(got, expected)
                            << (type == PluralRules::ORDINAL ? "ordinal " : "") << locale << ": "
                            << sample << " is " << name(got) << ", CLDR says " << name(expected);
                        ++checked;
                    }
                }
            }
        }
    }
    EXPECT_GT(checked, 10000u);
    EXPECT_EQ(PluralRules::locales(PluralRules::CARDINAL).size(), 218u);
    EXPECT_EQ(PluralRules::locales(PluralRules::ORDINAL).size(), 102u);
    EXPECT_STREQ(PluralRules::cldrVersion(), "41");
}

TEST(PluralRules, NumbersKeepTheFractionDigitsTheyShow) {
    const PluralRules& en = PluralRules::forLanguage("en");
    const PluralRules& ru = PluralRules::forLanguage("ru");
    const PluralRules& fr = PluralRules::forLanguage("fr");
    const struct {
        const PluralRules& rules;
        const char* number;
        PluralRules::Category category;
    } cases[] = {
        {en, "1", PluralRules::ONE},
        {en, "1.0", PluralRules::OTHER},
        {en, "1.00", PluralRules::OTHER},
        {en, "-1", PluralRules::ONE},
        {ru, "1", PluralRules::ONE},
        {ru, "21", PluralRules::ONE},
        {ru, "22", PluralRules::FEW},
        {ru, "11", PluralRules::MANY},
        {ru, "1.5", PluralRules::OTHER},
        {fr, "1.5", PluralRules::ONE},
        {fr, "1000000", PluralRules::MANY},
        {fr, "1.2c6", PluralRules::MANY},
        {fr, "1c3", PluralRules::OTHER},
        {fr, "1.5e0", PluralRules::ONE},
        {en, "12345678901234567890123", PluralRules::OTHER},
    };
    for (const auto& c : cases) {
        PluralRules::Category got = PluralRules::ZERO;
        ASSERT_TRUE(c.rules.select(c.number, got)) << c.number;
        EXPECT_EQ(got, c.category) << c.number;
    }
    EXPECT_EQ(ru.select(PluralRules::Operands::fromDouble(1.0, 1)), PluralRules::OTHER);
    EXPECT_EQ(en.select(PluralRules::Operands::fromDouble(1.0, 0)), PluralRules::ONE);
    EXPECT_EQ(en.select(PluralRules::Operands::fromDouble(1.0 / 0.0, 2)), PluralRules::OTHER);
    EXPECT_EQ(ru.select(-22LL), PluralRules::FEW);
    EXPECT_EQ(ru.select(static_cast<long long>(-9223372036854775807LL - 1)), PluralRules::MANY);
    PluralRules::Category unchanged = PluralRules::TWO;
    for (const char* bad : {"", "1.", ".5", "1,5", "1e", "1c1234", "x", "1 ", "--1"}) {
        EXPECT_FALSE(en.select(bad, unchanged)) << bad;
    }
    EXPECT_EQ(unchanged, PluralRules::TWO);
}

TEST(PluralRules, LanguageCodesFallBackAsCLDRDoes) {
    const PluralRules& pt = PluralRules::forLanguage("pt");
    const PluralRules& ptPT = PluralRules::forLanguage("pt_PT");
    EXPECT_NE(&pt, &ptPT);  // a locale of its own
    EXPECT_EQ(&PluralRules::forLanguage("pt-BR"), &pt);
    EXPECT_EQ(&PluralRules::forLanguage("pt_pt"), &ptPT);  // BCP 47 ignores case
    EXPECT_EQ(&PluralRules::forLanguage("PT-pt"), &ptPT);
    EXPECT_EQ(&PluralRules::forLanguage("de_AT"), &PluralRules::forLanguage("de"));
    EXPECT_EQ(&PluralRules::forLanguage("DE_at.UTF-8"), &PluralRules::forLanguage("de"));
    EXPECT_EQ(&PluralRules::forLanguage("sr@latin"), &PluralRules::forLanguage("sr"));
    const PluralRules& unknown = PluralRules::forLanguage("xx_YY");
    EXPECT_EQ(&unknown, &PluralRules::forLanguage("root"));
    EXPECT_EQ(&PluralRules::forLanguage(""), &unknown);
    EXPECT_EQ(&PluralRules::forLanguage(nullptr), &unknown);
    EXPECT_FALSE(unknown.has(PluralRules::ONE));
    EXPECT_EQ(unknown.select(1LL), PluralRules::OTHER);
    // Ordinals: English has four, a language without ordinal rules only other.
    const PluralRules& enOrdinal = PluralRules::forLanguage("en_GB", PluralRules::ORDINAL);
    EXPECT_EQ(enOrdinal.select(22LL), PluralRules::TWO);
    EXPECT_EQ(enOrdinal.select(13LL), PluralRules::OTHER);
    EXPECT_EQ(PluralRules::forLanguage("ru", PluralRules::ORDINAL).select(3LL), PluralRules::OTHER);
}

TEST(PluralRules, ParsesRuleTextsAndNamesTheirFaults) {
    PluralRules rules(
        "one: n % 10 = 1 and n mod 100 != 11 or v = 2 @integer 1, 21~23, …; "
        "few: i = 2..4,7 @decimal 2.0~2.2; other:");
    EXPECT_EQ(rules.select(21LL), PluralRules::ONE);
    EXPECT_EQ(rules.select(111LL), PluralRules::OTHER);
    EXPECT_EQ(rules.select(7LL), PluralRules::FEW);
    PluralRules::Category got = PluralRules::OTHER;
    ASSERT_TRUE(rules.select("5.25", got));
    EXPECT_EQ(got, PluralRules::ONE);  // v = 2 in the second group
    EXPECT_EQ(rules.samples(PluralRules::ONE, false, 10),
              (std::vector<std::string>{"1", "21", "22", "23"}));
    EXPECT_EQ(rules.samples(PluralRules::FEW, true, 2), (std::vector<std::string>{"2.0", "2.1"}));
    EXPECT_EQ(rules.describe(),
              "one: n % 10 = 1 and n mod 100 != 11 or v = 2 @integer 1, 21~23, …;\n"
              "few: i = 2..4,7 @decimal 2.0~2.2;\nother:\n");
    EXPECT_TRUE(rules.reachedByIntegers(PluralRules::ONE));
    EXPECT_FALSE(rules.reachedByIntegers(PluralRules::FEW));

    const struct {
        const char* text;
        const char* message;
    } faults[] = {
        {"une: n = 1",
         "plural rules, position 1: a category expected (zero, one, two, few, many, other)"},
        {"one n = 1", "plural rules, position 5: \":\" expected after the category"},
        {"one: x = 1", "plural rules, position 6: an operand expected (n i v w f t c e)"},
        {"one: n < 1", "plural rules, position 8: \"=\" or \"!=\" expected"},
        {"one: n = 2..1", "plural rules, position 14: a range that ends below its start"},
        {"one: n % 0 = 1", "plural rules, position 11: a remainder by 0"},
        {"one: n = 1; one: n = 2", "plural rules, position 13: a category given twice"},
        {"one:", "plural rules, position 5: a condition expected"},
        {"other: n = 1", "plural rules, position 8: \"other\" takes no condition"},
        {"one: n = 1 2", "plural rules, position 12: \";\" or the end expected"},
        {"one: n = 1234567890123456789",
         "plural rules, position 10: a number of more than 18 digits"},
        {"one: n = 1 @decimal 1.0 @integer 1",
         "plural rules, position 25: samples given twice or out of order"},
    };
    for (const auto& fault : faults) {
        try {
            PluralRules bad(fault.text);
            ADD_FAILURE() << fault.text << " was taken";
        } catch (const core::Exception& e) {
            EXPECT_STREQ(e.getMessage(), fault.message) << fault.text;
        }
    }
}

}  // namespace

namespace {

using kavri::i18n::PluralExpression;

// What a PO file's header says for a language: the categories whole numbers
// reach, in CLDR's order, chosen by a chain of their conditions.
PluralExpression chainFor(const PluralRules& rules, std::vector<PluralRules::Category>& order) {
    order.clear();
    for (int k = 0; k < PluralRules::CATEGORY_COUNT; ++k) {
        if (rules.reachedByIntegers(static_cast<PluralRules::Category>(k))) {
            order.push_back(static_cast<PluralRules::Category>(k));
        }
    }
    std::string chain;
    for (size_t k = 0; k + 1 < order.size(); ++k) {
        chain += "(" + rules.integerExpression(order[k]) + ") ? " + std::to_string(k) + " : ";
    }
    return PluralExpression((chain + std::to_string(order.size() - 1)).c_str());
}

// The integer expressions of every locale's categories choose, for every n
// from 0 to 10,000 and for 100,000 and 1,000,000, the category of the rules.
TEST(PluralExpression, IntegerExpressionsOfEveryLocaleAgreeWithTheRules) {
    for (PluralRules::Type type : {PluralRules::CARDINAL, PluralRules::ORDINAL}) {
        for (const std::string& locale : PluralRules::locales(type)) {
            const PluralRules& rules = PluralRules::forLanguage(locale.c_str(), type);
            std::vector<PluralRules::Category> order;
            PluralExpression chain = chainFor(rules, order);
            for (uint64_t n = 0; n <= 1000000; n = n < 10000 ? n + 1 : n * 10) {
                uint64_t index = chain.evaluate(n);
                ASSERT_LT(index, order.size()) << locale << " " << n;
                ASSERT_EQ(order[index], rules.select(static_cast<long long>(n)))
                    << locale << " " << n << ": " << name(order[index]);
            }
        }
    }
    EXPECT_EQ(PluralRules::forLanguage("fr").integerExpression(PluralRules::MANY),
              "n != 0 && n % 1000000 == 0");
    EXPECT_EQ(PluralRules::forLanguage("ru").integerExpression(PluralRules::FEW),
              "n % 10 >= 2 && n % 10 <= 4 && !(n % 100 >= 12 && n % 100 <= 14)");
    EXPECT_EQ(PluralRules::forLanguage("en").integerExpression(PluralRules::ONE), "n == 1");
    EXPECT_EQ(PluralRules::forLanguage("ja").integerExpression(PluralRules::OTHER), "1");
}

TEST(PluralExpression, ReadsGettextsSubsetAndNamesFaults) {
    const struct {
        const char* text;
        uint64_t n;
        uint64_t value;
    } cases[] = {
        {"n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2", 23, 1},
        {"n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2", 13, 2},
        {"(n != 1)", 1, 0},
        {"!n + 2 * 3 - 1", 0, 6},
        {"n / 0 + n % 0", 7, 0},
        {"0", 5, 0},
        {"n > 2 ? n < 5 ? 1 : 2 : 0", 3, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PluralExpression(c.text).evaluate(c.n), c.value) << c.text << " at " << c.n;
    }
    const struct {
        const char* text;
        const char* message;
    } faults[] = {
        {"", "plural expression, position 1: n, a number, \"!\" or \"(\" expected"},
        {"n == 1 ? 0", "plural expression, position 11: \":\" expected"},
        {"(n", "plural expression, position 3: \")\" expected"},
        {"n = 1", "plural expression, position 3: an operator or the end expected"},
        {"n & 1", "plural expression, position 3: an operator or the end expected"},
        {"1234567890123456789", "plural expression, position 19: a number of more than 18 digits"},
    };
    for (const auto& fault : faults) {
        try {
            PluralExpression bad(fault.text);
            ADD_FAILURE() << fault.text << " was taken";
        } catch (const core::Exception& e) {
            EXPECT_STREQ(e.getMessage(), fault.message) << fault.text;
        }
    }
    EXPECT_THROW(PluralExpression((std::string(200, '(') + "n" + std::string(200, ')')).c_str()),
                 core::Exception);
    unsigned count = 0;
    std::string expression;
    EXPECT_TRUE(
        PluralExpression::splitHeader("nplurals=3; plural=(n==1 ? 0 : 2);", count, expression));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(expression, "(n==1 ? 0 : 2)");
    EXPECT_FALSE(PluralExpression::splitHeader("nplurals=0; plural=0;", count, expression));
    EXPECT_FALSE(PluralExpression::splitHeader("plural=n;", count, expression));
}

}  // namespace
