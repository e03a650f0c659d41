#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <string>

#include "framework/plinth/StringUtil.h"

using text::CharPtrProxy;
using text::StringUtil;

namespace {

std::string decoded(const char* text) {
    CharPtrProxy proxy = StringUtil::decodeXML(text);
    return std::string(proxy.get(), proxy.size());
}

std::string encoded(const char* text) {
    CharPtrProxy proxy = StringUtil::encondeXML(text);
    return std::string(proxy.get(), proxy.size());
}

}  // namespace

TEST(StringUtil, ParseIntReadsLeadingNumberAndSaturates) {
    EXPECT_EQ(42, StringUtil::parseInt("42"));
    EXPECT_EQ(-17, StringUtil::parseInt(" \t\n-17"));
    EXPECT_EQ(12, StringUtil::parseInt("12abc"));
    EXPECT_EQ(0, StringUtil::parseInt("abc"));
    EXPECT_EQ(0, StringUtil::parseInt(""));
    EXPECT_EQ(0, StringUtil::parseInt(nullptr));
    EXPECT_EQ(INT_MAX, StringUtil::parseInt("2147483648"));
    EXPECT_EQ(INT_MAX, StringUtil::parseInt("99999999999999999999999"));
    EXPECT_EQ(INT_MIN, StringUtil::parseInt("-2147483649"));
    EXPECT_EQ(INT_MIN, StringUtil::parseInt("-99999999999999999999999"));
}

TEST(StringUtil, ParseFloatAndDoubleIgnoreTrailingGarbage) {
    EXPECT_DOUBLE_EQ(2.5, StringUtil::parseDouble("  2.5kg"));
    EXPECT_DOUBLE_EQ(-1e-3, StringUtil::parseDouble("-1e-3"));
    EXPECT_DOUBLE_EQ(0.0, StringUtil::parseDouble("x1"));
    EXPECT_DOUBLE_EQ(0.0, StringUtil::parseDouble(nullptr));
    EXPECT_FLOAT_EQ(0.25f, StringUtil::parseFloat("0.25"));
    EXPECT_FLOAT_EQ(0.0f, StringUtil::parseFloat(nullptr));
    EXPECT_GT(StringUtil::parseFloat("1e60"), FLT_MAX);  // out of range: +inf, never garbage
}

TEST(StringUtil, ParseBoolAcceptsWordsAndNonZeroNumbers) {
    for (const char* yes : {"true", "TRUE", " Yes ", "on", "1", "-3", "7 apples"}) {
        EXPECT_TRUE(StringUtil::parseBool(yes)) << yes;
    }
    for (const char* no : {"false", "no", "off", "0", "", "truthy", "y", "onion"}) {
        EXPECT_FALSE(StringUtil::parseBool(no)) << no;
    }
    EXPECT_FALSE(StringUtil::parseBool(nullptr));
}

TEST(StringUtil, CompareIgnoreCaseOrdersLikeStrcmp) {
    EXPECT_EQ(0, StringUtil::compareIgnoreCase("UTF-8", "utf-8"));
    EXPECT_EQ(0, StringUtil::compareIgnoreCase("", ""));
    EXPECT_LT(StringUtil::compareIgnoreCase("abc", "ABD"), 0);
    EXPECT_GT(StringUtil::compareIgnoreCase("abcd", "ABC"), 0);
    EXPECT_LT(StringUtil::compareIgnoreCase("ab", "abc"), 0);
    // Bytes above 127 compare unsigned and are not folded.
    EXPECT_GT(StringUtil::compareIgnoreCase("\xC3\xA9", "z"), 0);
    EXPECT_NE(0, StringUtil::compareIgnoreCase("\xC3\x89", "\xC3\xA9"));
    EXPECT_EQ(0, StringUtil::compareIgnoreCase(nullptr, nullptr));
    EXPECT_LT(StringUtil::compareIgnoreCase(nullptr, ""), 0);
    EXPECT_GT(StringUtil::compareIgnoreCase("", nullptr), 0);
}

TEST(StringUtil, RemoveAllRemovesEveryOccurrenceLeftToRight) {
    std::string s = "a--b--c--";
    StringUtil::removeAll(s, "--");
    EXPECT_EQ("abc", s);

    // Overlapping occurrences: the scan resumes after each removed one, and
    // text that only meets after a removal stays.
    s = "aaaaa";
    StringUtil::removeAll(s, std::string("aa"));
    EXPECT_EQ("a", s);
    s = "aabb";
    StringUtil::removeAll(s, "ab");
    EXPECT_EQ("ab", s);

    s = "unchanged";
    StringUtil::removeAll(s, "");
    EXPECT_EQ("unchanged", s);
    StringUtil::removeAll(s, static_cast<const char*>(nullptr));
    EXPECT_EQ("unchanged", s);
    StringUtil::removeAll(s, "unchanged");
    EXPECT_EQ("", s);

    std::string withNul("a\0b\0c", 5);
    StringUtil::removeAll(withNul, std::string("\0", 1));
    EXPECT_EQ("abc", withNul);
}

TEST(StringUtil, EncodeEscapesTheFiveReservedCharacters) {
    EXPECT_EQ("&lt;a href=&quot;x&quot;&gt;Tom &amp; Jerry&apos;s&lt;/a&gt;",
              encoded("<a href=\"x\">Tom & Jerry's</a>"));
    EXPECT_EQ("plain \xC3\xA9t\xC3\xA9", encoded("plain \xC3\xA9t\xC3\xA9"));
    EXPECT_EQ("", encoded(""));
    EXPECT_EQ("", encoded(nullptr));
}

// Each single reference, and each kept as written, is a row of the syntax
// rules' table (tests/syntax/syntax_rules_test.cpp); here, texts of several.
TEST(StringUtil, DecodeResolvesReferencesOnceAndKeepsBrokenOnesAsWritten) {
    EXPECT_EQ("<a> & \"b\" 'c'", decoded("&lt;a&gt; &amp; &quot;b&quot; &apos;c&apos;"));
    EXPECT_EQ("A\xC3\xA9\xE2\x82\xAC\x7F", decoded("&#65;&#xE9;&#x20AC;&#127;"));
    EXPECT_EQ("&amp;", decoded("&amp;amp;"));  // one level of escaping
    for (const char* kept :
         {"&nbsp;", "&amp", "& amp;", "&#12a;", "&#xG1;", "a & b", "&", "&&&;", "x&#65"}) {
        EXPECT_EQ(kept, decoded(kept)) << kept;
    }
    EXPECT_EQ("&&A", decoded("&&&#65;"));
    EXPECT_EQ("&lt<", decoded("&lt&lt;"));
}

TEST(StringUtil, SpanFormsHandleNulBytesAndAppend) {
    const std::string input("a\0<b>\0&amp;", 11);
    std::string out = "prefix:";
    StringUtil::encodeXML(input.data(), input.size(), out);
    EXPECT_EQ(std::string("prefix:a\0&lt;b&gt;\0&amp;amp;", 28), out);

    std::string back;
    StringUtil::decodeXML(out.data() + 7, out.size() - 7, back);
    EXPECT_EQ(input, back);

    EXPECT_TRUE(StringUtil::needsEncoding(input.data(), input.size()));
    EXPECT_FALSE(StringUtil::needsEncoding("a\0b", 3));
    EXPECT_TRUE(StringUtil::needsEncoding("a\0'", 3));

    // A reference cut by the end of the span is not resolved.
    std::string cut;
    StringUtil::decodeXML("x&amp;", 5, cut);
    EXPECT_EQ("x&amp", cut);
}

TEST(StringUtil, DecodeStaysLinearOnAmpersandsWithoutSemicolon) {
    // Quadratic scanning would make these take minutes.
    std::string input(4 * 1024 * 1024, '&');
    input += ";";
    std::string out;
    StringUtil::decodeXML(input.data(), input.size(), out);
    EXPECT_EQ(input, out);

    std::string digits;
    for (int i = 0; i < 2000; ++i) {
        digits += "&#" + std::string(2000, '0');
    }
    digits += ";";
    out.clear();
    StringUtil::decodeXML(digits.data(), digits.size(), out);
    EXPECT_EQ(digits, out);
}

TEST(StringUtil, NumberToTextIsShortestThatReadsBack) {
    EXPECT_EQ("-42", StringUtil::toString(-42));
    EXPECT_EQ("0.1", StringUtil::toString(0.1));
    EXPECT_EQ("1.5", StringUtil::toString(1.5));
    EXPECT_EQ("1e+300", StringUtil::toString(1e300));
    EXPECT_EQ("0.30000000000000004", StringUtil::toString(0.1 + 0.2));
    const double third = 1.0 / 3.0;
    EXPECT_EQ(third, StringUtil::parseDouble(StringUtil::toString(third).c_str()));
}
