// FormatCheck: the argument types a printf format reads, as the translation
// check compares them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i18n/FormatCheck.h"

using kavri::i18n::FormatCheck;

namespace {

TEST(FormatCheck, ReadsTheArgumentTypesAndAllowsNumberedReordering) {
    FormatCheck check("%-5.2f%% of %'lu, %hhd %zu %Lg %c %*.*s %m %ls");
    ASSERT_TRUE(check.isValid()) << check.getError();
    EXPECT_EQ(check.getArguments(),
              (std::vector<std::string>{"double", "unsigned long", "signed char", "size_t",
                                        "long double", "char", "int", "int", "char*", "wchar_t*"}));
    EXPECT_EQ(check.describe(), "%-5.2f %'lu %hhd %zu %Lg %c %*.*s %ls");
    EXPECT_EQ(FormatCheck("50%% off").describe(), "none");

    FormatCheck base("%s has %d photos");
    EXPECT_TRUE(base.sameArguments(FormatCheck("%2$i Fotos hat %1$s (%1$s)")));
    EXPECT_FALSE(base.sameArguments(FormatCheck("%d photos for %s")));
    EXPECT_FALSE(base.sameArguments(FormatCheck("%s has %u photos")));
}

TEST(FormatCheck, RefusesTextsNoFormatterCanUseSafely) {
    const char* bad[][2] = {
        {"50 % Rabatt", "unknown conversion % R"},
        {"100%", "incomplete conversion % at the end"},
        {"%1$s %d", "numbered and unnumbered arguments mixed"},
        {"%2$s", "argument 1 is never used"},
        {"%1$s %1$d", "argument 1 read as char* by %1$s and as int by %1$d"},
        {"%999999999999$s", "argument number too large in %999999999999$s"},
    };
    for (const auto& entry : bad) {
        EXPECT_EQ(FormatCheck(entry[0]).getError(), entry[1]) << entry[0];
    }
}

TEST(FormatCheck, OnlyPlainStringConversionsCanBeFilledFromStrings) {
    std::string offending;
    EXPECT_TRUE(FormatCheck("%s, %-10.3s%%").takesOnlyStrings(offending));
    for (const char* format : {"%s has %d", "%*s", "%ls"}) {
        EXPECT_FALSE(FormatCheck(format).takesOnlyStrings(offending)) << format;
    }
    EXPECT_EQ(offending, "%ls");
}

}  // namespace
