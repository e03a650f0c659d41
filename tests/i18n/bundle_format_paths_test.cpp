// Bundle formatting takes shortcuts for texts without conversions and for
// short results; these cases pin that each path gives what printf gives.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "i18n/Bundle.h"

using kavri::i18n::Bundle;

namespace {

std::string printfOf(const char* format, const char* word, int number) {
    int length = std::snprintf(nullptr, 0, format, word, number);
    std::string out(static_cast<size_t>(length), '\0');
    std::snprintf(&out[0], out.size() + 1, format, word, number);
    return out;
}

TEST(BundleFormatPaths, ResultsOnEitherSideOfTheShortBufferMatchPrintf) {
    Bundle bundle("b", "b.xml");
    std::string out;
    for (size_t padding : {0u, 200u, 240u, 245u, 246u, 247u, 300u, 5000u}) {
        std::string format = std::string(padding, '.') + "[%s|%d]";
        std::string expected = printfOf(format.c_str(), "word", 42);
        bundle.setText("k", format.c_str());
        EXPECT_EQ(bundle.getText("k", out, false, "word", 42), expected) << padding;
        EXPECT_EQ(out.size(), expected.size());
        EXPECT_EQ(bundle.resolve(format.c_str(), out, false, "word", 42), expected) << padding;
    }
}

TEST(BundleFormatPaths, TextsWithoutConversionsComeBackAsTheyAre) {
    Bundle bundle("b", "b.xml");
    bundle.setText("name", "Ada");
    bundle.setText("long", std::string(600, 'x').c_str());
    std::string out = "stale";
    EXPECT_STREQ(bundle.resolve("Hello ${name}, ${long}!", out, false, 1, 2),
                 ("Hello Ada, " + std::string(600, 'x') + "!").c_str());
    EXPECT_STREQ(bundle.getText("name", out, false), "Ada");
    // A reference that brings in a conversion is formatted.
    bundle.setText("count", "%d files");
    EXPECT_STREQ(bundle.resolve("${count} of ${name}", out, false, 3), "3 files of Ada");
    // A conversion that prints nothing leaves an empty result.
    EXPECT_STREQ(bundle.resolve("%s", out, false, ""), "");
}

}  // namespace
