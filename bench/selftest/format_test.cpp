// The wording of numbers and cells in bench/RESULTS.md.
#include "bench/Format.h"

#include <gtest/gtest.h>

namespace {

TEST(BenchFormat, NumbersKeepThreeSignificantDigitsAndRatiosTheirSign) {
    EXPECT_EQ(bench::significant(1234.4), "1234");
    EXPECT_EQ(bench::significant(312.6), "313");
    EXPECT_EQ(bench::significant(44.84), "44.8");
    EXPECT_EQ(bench::significant(3.14159), "3.14");
    EXPECT_EQ(bench::rate(81.6e6), "81.6");
    EXPECT_EQ(bench::ratio(1.594), "1.59 ×");
    EXPECT_EQ(bench::ratio(0.0553), "0.055 ×");  // the memchr floor needs a third decimal
    EXPECT_EQ(bench::ratio(0), "–");             // not measured, not infinitely slow
    EXPECT_EQ(bench::grouped(0), "0");
    EXPECT_EQ(bench::grouped(999), "999");
    EXPECT_EQ(bench::grouped(1000), "1,000");
    EXPECT_EQ(bench::grouped(1261263), "1,261,263");
}

TEST(BenchFormat, CellsKeepTheTableIntactAndVerdictsLeadInBold) {
    EXPECT_EQ(bench::tableText("a|b\nc\r\nd"), "a\\|b c  d");
    EXPECT_EQ(bench::emphasised("missed on 3 of 12; worst deep by 8 %"),
              "**missed** on 3 of 12; worst deep by 8 %");
    EXPECT_EQ(bench::emphasised("met over 12"), "**met** over 12");
    EXPECT_EQ(bench::emphasised("not measured"), "**not measured**");
}

}  // namespace
