// NumberFormat and Decimal: numbers as CLDR's locales write them. Every
// expected text below is what ICU 72 writes for the same locale, value and
// options, unless its comment says why CLDR 41 (which the library carries)
// differs from ICU 72's CLDR 42.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i18n/Decimal.h"
#include "i18n/NumberFormat.h"

namespace {

using kavri::i18n::Decimal;
using kavri::i18n::NumberFormat;

// Options spelt compactly for the tables.
struct Opt {
    NumberFormat::Options options;

    Opt& style(NumberFormat::Style style) { return options.style = style, *this; }
    Opt& currency(const char* code,
                  NumberFormat::CurrencyDisplay display = NumberFormat::CURRENCY_SYMBOL) {
        options.style = NumberFormat::CURRENCY;
        options.currency = code;
        options.currencyDisplay = display;
        return *this;
    }
    Opt& fraction(int minimum, int maximum) {
        options.minimumFractionDigits = minimum;
        options.maximumFractionDigits = maximum;
        return *this;
    }
    Opt& significant(int minimum, int maximum) {
        options.minimumSignificantDigits = minimum;
        options.maximumSignificantDigits = maximum;
        return *this;
    }
    Opt& integers(int minimum) { return options.minimumIntegerDigits = minimum, *this; }
    Opt& sign(NumberFormat::SignDisplay sign) { return options.signDisplay = sign, *this; }
    Opt& grouping(NumberFormat::Grouping grouping) { return options.grouping = grouping, *this; }
    Opt& system(const char* name) { return options.numberingSystem = name, *this; }
};

struct Row {
    const char* locale;
    const char* value;
    Opt options;
    const char* expected;
};

Decimal decimal(const char* text) {
    Decimal out;
    EXPECT_TRUE(Decimal::parse(text, out)) << text;
    return out;
}

void expectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        NumberFormat format(row.locale, row.options.options);
        std::string out = "[";
        format.format(decimal(row.value), out);
        EXPECT_EQ(out, std::string("[") + row.expected) << row.locale << " " << row.value;
    }
}

TEST(NumberFormat, WritesEachLocalesSymbolsGroupingSizesAndDigits) {
    expectRows({
        {"en", "1234567.891", {}, "1,234,567.891"},
        {"de", "1234567.891", {}, "1.234.567,891"},
        {"fr", "1234567.891", {}, "1\u202F234\u202F567,891"},
        {"de-CH", "1234567.891", {}, "1\u2019234\u2019567.891"},
        {"de_AT", "1234567.5", {}, "1\u00A0234\u00A0567,5"},
        {"hi", "1234567.891", {}, "12,34,567.891"},
        {"en-IN", "1234567.5", {}, "12,34,567.5"},
        {"ar",
         "1234567.891",
         {},
         "\u0661\u066C\u0662\u0663\u0664\u066C\u0665\u0666\u0667"
         "\u066B\u0668\u0669\u0661"},
        {"ar-EG", "-1234.5", {}, "\u061C-\u0661\u066C\u0662\u0663\u0664\u066B\u0665"},
        {"fa",
         "1234567.891",
         {},
         "\u06F1\u066C\u06F2\u06F3\u06F4\u066C\u06F5\u06F6\u06F7"
         "\u066B\u06F8\u06F9\u06F1"},
        {"bn",
         "1234567.891",
         {},
         "\u09E7\u09E8,\u09E9\u09EA,\u09EB\u09EC\u09ED.\u09EE\u09EF"
         "\u09E7"},
        {"mr", "1234.5", {}, "\u0967,\u0968\u0969\u096A.\u096B"},
        {"ru", "1234567.891", {}, "1\u00A0234\u00A0567,891"},
        {"ja", "1234567.891", {}, "1,234,567.891"},
        {"sv", "-1234567.891", {}, "\u22121\u00A0234\u00A0567,891"},
        {"pt-PT", "1234567.891", {}, "1\u00A0234\u00A0567,891"},
        {"zh-Hant", "1234.5", {}, "1,234.5"},
        {"he", "-5", {}, "\u200E-5"},
        {"fa", "-5", {}, "\u200E\u2212\u06F5"},
        // Sixty digits, far more than a number usually writes at once.
        {"de",
         "123456789012345678901234567890123456789012345678901234567890.5",
         {},
         "123.456.789.012.345.678.901.234.567.890.123.456.789.012.345.678.901.234.567.890,5"},
    });
}

// Spanish, Polish and European Portuguese leave a four-digit number whole.
TEST(NumberFormat, GroupsByTheLocalesMinimumOrTheCallersChoice) {
    using G = NumberFormat::Grouping;
    expectRows({
        {"es", "1234.5", {}, "1234,5"},
        {"es", "12345.5", {}, "12.345,5"},
        {"pl", "1234.5", {}, "1234,5"},
        {"pl", "12345.5", {}, "12\u00A0345,5"},
        {"pt-PT", "1234.5", {}, "1234,5"},
        {"es", "1234", Opt().grouping(G::GROUPING_ALWAYS), "1.234"},
        {"en", "1234", Opt().grouping(G::GROUPING_MIN2), "1234"},
        {"en", "12345", Opt().grouping(G::GROUPING_MIN2), "12,345"},
        {"hi", "1234567", Opt().grouping(G::GROUPING_NEVER), "1234567"},
    });
}

TEST(NumberFormat, RoundsHalfToEvenOnTheDigitsAsWritten) {
    expectRows({
        {"en", "0.5", Opt().fraction(-1, 0), "0"},
        {"en", "1.5", Opt().fraction(-1, 0), "2"},
        {"en", "2.5", Opt().fraction(-1, 0), "2"},
        {"en", "-2.5", Opt().fraction(-1, 0), "-2"},
        {"en", "2.500001", Opt().fraction(-1, 0), "3"},
        {"en", "0.125", Opt().fraction(-1, 2), "0.12"},
        {"en", "0.135", Opt().fraction(-1, 2), "0.14"},
        // 1.015 is below 1.015 as a double and would round down.
        {"en", "1.015", Opt().fraction(-1, 2), "1.02"},
        {"en", "1.005", Opt().fraction(-1, 2), "1"},
        {"en", "0.9995", {}, "1"},
        {"en", "999.9999", Opt().fraction(-1, 2), "1,000"},
        {"en", "1.23456", Opt().fraction(-1, 1), "1.2"},
        {"en", "1", Opt().fraction(2, -1), "1.00"},
        {"en", "1.50", {}, "1.5"},
        {"en", "1.23e-20", {}, "0"},
        {"en", "-0.0001", {}, "-0"},
    });
}

TEST(NumberFormat, CountsSignificantAndIntegerDigits) {
    expectRows({
        {"en", "1.23e-20", Opt().significant(0, 2), "0.000000000000000000012"},
        {"en", "123456", Opt().significant(0, 2), "120,000"},
        {"en", "99.97", Opt().significant(0, 3), "100"},
        {"en", "1", Opt().significant(3, 0), "1.00"},
        {"en", "0", Opt().significant(3, 0), "0.00"},
        {"en", "5", Opt().integers(4), "0,005"},
        {"en", "12345", Opt().integers(7), "0,012,345"},
        {"de", "0.5", Opt().integers(3), "000,5"},
    });
}

TEST(NumberFormat, ShowsSignsAsAsked) {
    using S = NumberFormat::SignDisplay;
    expectRows({
        {"en", "5", Opt().sign(S::SIGN_ALWAYS), "+5"},
        {"en", "0", Opt().sign(S::SIGN_ALWAYS), "+0"},
        {"en", "0", Opt().sign(S::SIGN_EXCEPT_ZERO), "0"},
        {"en", "-0.0001", Opt().sign(S::SIGN_EXCEPT_ZERO), "0"},
        {"en", "-0.001", Opt().sign(S::SIGN_EXCEPT_ZERO), "-0.001"},
        {"en", "-0.0001", Opt().sign(S::SIGN_NEGATIVE), "0"},
        {"en", "-0.001", Opt().sign(S::SIGN_NEGATIVE), "-0.001"},
        {"en", "-5", Opt().sign(S::SIGN_NEVER), "5"},
        {"ar", "5", Opt().sign(S::SIGN_ALWAYS), "\u061C+\u0665"},
        {"en", "-5", Opt().currency("USD").sign(S::SIGN_ALWAYS), "-$5.00"},
        {"en", "5", Opt().currency("USD").sign(S::SIGN_ALWAYS), "+$5.00"},
    });
}

TEST(NumberFormat, WritesPercentsWithTheLocalesSignAndPlace) {
    auto percent = Opt().style(NumberFormat::PERCENT);
    expectRows({
        {"en", "0.256", percent, "26%"},
        {"de", "0.256", percent, "26\u00A0%"},
        {"fr", "-0.256", percent, "-26\u00A0%"},
        {"tr", "0.256", percent, "%26"},
        {"ar", "0.256", percent, "\u0662\u0666\u066A\u061C"},
        {"en", "0.2567", Opt(percent).fraction(1, 1), "25.7%"},
        {"en", "12.5", percent, "1,250%"},
    });
}

TEST(NumberFormat, WritesCurrenciesWithTheirSymbolsDigitsAndSpacing) {
    using D = NumberFormat::CurrencyDisplay;
    expectRows({
        {"en", "1234.5", Opt().currency("USD"), "$1,234.50"},
        {"en", "1234.5", Opt().currency("usd"), "$1,234.50"},
        {"en", "1234.5", Opt().currency("CHF"), "CHF\u00A01,234.50"},
        {"en", "-1234.5", Opt().currency("JPY"), "-\u00A51,234"},
        {"en", "3.5", Opt().currency("BHD"), "BHD\u00A03.500"},
        {"en", "1234.5", Opt().currency("CAD"), "CA$1,234.50"},
        {"en", "1234.5", Opt().currency("CAD", D::CURRENCY_NARROW_SYMBOL), "$1,234.50"},
        {"en", "1234.5", Opt().currency("USD", D::CURRENCY_CODE), "USD\u00A01,234.50"},
        // Italian writes the rupee "INR" but inherits root's narrow "₹".
        {"it", "1234.5", Opt().currency("INR", D::CURRENCY_NARROW_SYMBOL), "1.234,50\u00A0\u20B9"},
        {"es-MX", "400", Opt().currency("EUR", D::CURRENCY_NARROW_SYMBOL), "\u20AC400.00"},
        {"en-GB", "5", Opt().currency("GBP"), "\u00A35.00"},
        {"de", "-1234.5", Opt().currency("USD"), "-1.234,50\u00A0$"},
        {"de-CH", "1234.5", Opt().currency("CHF"), "CHF\u00A01\u2019234.50"},
        {"it-CH", "-1234.5", Opt().currency("CHF"), "CHF-1\u2019234.50"},
        // Austrian German groups amounts of money with "." and other numbers with a space.
        {"de-AT", "-1234.5", Opt().currency("EUR"), "-\u20AC\u00A01.234,50"},
        {"fr-CH", "1234.5", Opt().currency("EUR"), "1\u202F234.50\u00A0\u20AC"},
        {"fr", "1234.5", Opt().currency("EUR"), "1\u202F234,50\u00A0\u20AC"},
        {"nl", "-1234.5", Opt().currency("EUR"), "\u20AC\u00A0-1.234,50"},
        {"ja", "1234.5", Opt().currency("JPY"), "\uFFE51,234"},
        {"hi", "1234567.5", Opt().currency("INR"), "\u20B912,34,567.50"},
        {"ru", "1234.5", Opt().currency("RUB"), "1\u00A0234,50\u00A0\u20BD"},
        {"pl", "1234.5", Opt().currency("PLN"), "1234,50\u00A0z\u0142"},
        {"sr-Latn", "1234.5", Opt().currency("RSD"), "1.234\u00A0RSD"},
        // CLDR 42 puts a right-to-left mark before the number; CLDR 41 has none.
        {"ar-EG", "1234.5", Opt().currency("EGP"),
         "\u0661\u066C\u0662\u0663\u0664\u066B\u0665\u0660\u00A0\u062C.\u0645.\u200F"},
    });
}

TEST(NumberFormat, UsesTheNumberingSystemAsked) {
    expectRows({
        {"en", "1234.5", Opt().system("arab"), "\u0661\u066C\u0662\u0663\u0664\u066B\u0665"},
        {"ar-EG", "1234.5", Opt().system("latn"), "1,234.5"},
        {"hi", "1234.5", Opt().system("deva"), "\u0967,\u0968\u0969\u096A.\u096B"},
        {"de", "1234.5", Opt().system("thai"), "\u0E51.\u0E52\u0E53\u0E54,\u0E55"},
        // ICU refuses a system it does not know; NumberFormat keeps the locale's.
        {"de", "1234.5", Opt().system("nonesuch"), "1.234,5"},
    });
}

TEST(NumberFormat, WritesHugeAndTinyValuesInFull) {
    expectRows({
        {"en", "1e30", {}, "1,000,000,000,000,000,000,000,000,000,000"},
        {"de",
         "-123456789012345678901234567890.5",
         {},
         "-123.456.789.012.345.678.901.234.567.890,5"},
    });
    std::string tiny = "0." + std::string(999, '0') + "1";
    EXPECT_EQ(NumberFormat("en", Opt().significant(0, 1).options).format(decimal("1e-1000")), tiny);
}

TEST(NumberFormat, FindsLocalesByCldrsFallbackInAnyCase) {
    struct {
        const char* asked;
        const char* found;
    } rows[] = {
        {"pt-pt", "pt_PT"},
        {"PT_PT.UTF-8", "pt_PT"},
        {"sr-latn-zz", "sr_Latn"},
        {"de-CH-u-nu-arab", "de_CH"},
        {"de-XX", "de"},
        {"xx", "root"},
        {"", "root"},
        {nullptr, "root"},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(NumberFormat(row.asked, {}).locale(), row.found) << row.asked;
    }
    // en_AU's parent is en_001, which writes the US dollar as "US$".
    Opt usd = Opt().currency("USD");
    expectRows({{"en-AU", "5", usd, "USD\u00A05.00"}, {"en-150", "5", usd, "5.00\u00A0US$"}});
}

TEST(NumberFormat, RoundedKeepsTheZerosItShows) {
    struct {
        const char* value;
        Opt options;
        const char* rounded;
    } rows[] = {
        {"1.5", Opt().fraction(2, 2), "1.50"},
        {"1.015", Opt().fraction(-1, 2), "1.02"},
        {"0.256", Opt().style(NumberFormat::PERCENT), "26"},
        {"-2.5", Opt().fraction(-1, 0), "-2"},
        {"7", Opt().currency("EUR"), "7.00"},
        {"7", Opt().currency("JPY"), "7"},
        {"123456", Opt().significant(0, 2), "120000"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(NumberFormat("de", row.options.options).rounded(decimal(row.value)).toString(),
                  row.rounded)
            << row.value;
    }
}

TEST(Decimal, ParsesJsonNumbersOnly) {
    struct {
        const char* text;
        const char* shown;  // null: refused
    } rows[] = {
        {"0", "0"},           {"-0", "-0"},      {"1.50", "1.50"},
        {"1e3", "1000"},      {"1.5E+2", "150"}, {"1.50e1", "15.0"},
        {"12e-4", "0.0012"},  {"0.00", "0.00"},  {"-1234.5", "-1234.5"},
        {"", nullptr},        {"01", nullptr},   {"1.", nullptr},
        {".5", nullptr},      {"+1", nullptr},   {"1e", nullptr},
        {"1 ", nullptr},      {"0x10", nullptr}, {"1e1001", nullptr},
        {"1e-1001", nullptr},
    };
    for (const auto& row : rows) {
        Decimal value = Decimal::fromInteger(42);
        bool parsed = Decimal::parse(row.text, value);
        EXPECT_EQ(parsed, row.shown != nullptr) << row.text;
        EXPECT_EQ(value.toString(), parsed ? row.shown : "42") << row.text;
    }
}

TEST(Decimal, AddsComparesAndConvertsExactly) {
    EXPECT_EQ(decimal("1.50").plus(decimal("1")).toString(), "2.50");
    EXPECT_EQ(decimal("0.1").plus(decimal("0.2")).toString(), "0.3");
    EXPECT_EQ(decimal("5").plus(decimal("-7.25")).toString(), "-2.25");
    EXPECT_EQ(decimal("1e20").plus(decimal("-1")).toString(), "99999999999999999999");
    EXPECT_EQ(decimal("2.5").plus(decimal("-2.5")).compare(decimal("0")), 0);
    EXPECT_EQ(decimal("2.5").negated().scaled(2).toString(), "-250");

    EXPECT_EQ(decimal("1.0").compare(decimal("1")), 0);
    EXPECT_EQ(decimal("-0").compare(decimal("0")), 0);
    EXPECT_EQ(decimal("-3").compare(decimal("2")), -1);
    EXPECT_EQ(decimal("-3").compare(decimal("-20")), 1);
    EXPECT_EQ(decimal("0.09").compare(decimal("0.1")), -1);
    EXPECT_TRUE(decimal("2.00").isInteger());
    EXPECT_FALSE(decimal("2.01").isInteger());

    EXPECT_EQ(Decimal::fromDouble(0.1).toString(), "0.1");
    EXPECT_EQ(Decimal::fromDouble(-1234.5).toString(), "-1234.5");
    EXPECT_EQ(Decimal::fromDouble(1e21).toString(), "1000000000000000000000");
    EXPECT_EQ(Decimal::fromInteger(-9223372036854775807LL - 1).toString(), "-9223372036854775808");
}

}  // namespace
