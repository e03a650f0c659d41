// FormatCheck: the argument types a printf format reads, as the translation
// check compares them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i18n/FormatCheck.h"

using kavri::i18n::FormatCheck;
using Types = std::vector<std::string>;

namespace {

TEST(FormatCheck, ReadsTheArgumentTypesOfEveryKindOfConversion) {
    FormatCheck check("%-5.2f%% of %'lu, %hhd %lld %zu %Lg %c %p %*.*s %m %ls");
    ASSERT_TRUE(check.isValid()) << check.getError();
    EXPECT_EQ(check.getArguments(),
              (Types{"double", "unsigned long", "signed char", "long long", "size_t", "long double",
                     "char", "void*", "int", "int", "char*", "wchar_t*"}));
    EXPECT_EQ(check.describe(), "%-5.2f %'lu %hhd %lld %zu %Lg %c %p %*.*s %ls");
    EXPECT_EQ(FormatCheck("50%% off").describe(), "none");
    EXPECT_EQ(FormatCheck("%i").getArguments(), FormatCheck("%d").getArguments());
}

TEST(FormatCheck, NumberedArgumentsMayBeReorderedButNotRetyped) {
    FormatCheck base("%s has %d photos");
    EXPECT_TRUE(base.sameArguments(FormatCheck("%2$d Fotos hat %1$s")));
    EXPECT_TRUE(base.sameArguments(FormatCheck("%1$s: %2$d (%1$s)")));
    EXPECT_FALSE(base.sameArguments(FormatCheck("%d photos for %s")));
    EXPECT_FALSE(base.sameArguments(FormatCheck("%s")));
}

TEST(FormatCheck, RefusesTextsNoFormatterCanUseSafely) {
    const char* bad[][2] = {
        {"50 % Rabatt", "unknown conversion % R"},
        {"100%", "incomplete conversion % at the end"},
        {"%1$s %d", "numbered and unnumbered arguments mixed"},
        {"%2$s", "argument 1 is never used"},
        {"%1$s %1$d", "argument 1 read as char* by %1$s and as int by %1$d"},
        {"%hs", "unknown conversion %hs"},
        {"%999999999999$s", "argument number too large in %999999999999$s"},
    };
    for (const auto& entry : bad) {
        FormatCheck check(entry[0]);
        EXPECT_FALSE(check.isValid()) << entry[0];
        EXPECT_EQ(check.getError(), entry[1]);
    }
    EXPECT_TRUE(FormatCheck(nullptr).isValid());
}

TEST(FormatCheck, OnlyPlainStringConversionsCanBeFilledFromStrings) {
    std::string offending;
    EXPECT_TRUE(FormatCheck("%s, %-10.3s%%").takesOnlyStrings(offending));
    EXPECT_FALSE(FormatCheck("%s has %d").takesOnlyStrings(offending));
    EXPECT_EQ(offending, "%d");
    EXPECT_FALSE(FormatCheck("%*s").takesOnlyStrings(offending));
    EXPECT_EQ(offending, "%*s");
    EXPECT_FALSE(FormatCheck("%ls").takesOnlyStrings(offending));
    EXPECT_EQ(offending, "%ls");
}

}  // namespace
