// The statistics behind every ratio in bench/RESULTS.md.
#include "bench/Stats.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(BenchStats, MedianTakesTheMiddleOrTheMeanOfTheTwoMiddles) {
    EXPECT_DOUBLE_EQ(bench::median({5.0, 1.0, 3.0}), 3.0);
    EXPECT_DOUBLE_EQ(bench::median({4.0, 1.0, 3.0, 2.0}), 2.5);
    EXPECT_DOUBLE_EQ(bench::median({7.0}), 7.0);
    EXPECT_DOUBLE_EQ(bench::median({}), 0.0);
    // An outlier moves the mean, not the median.
    EXPECT_DOUBLE_EQ(bench::median({1.0, 1.1, 0.9, 1.0, 40.0}), 1.0);
}

TEST(BenchStats, GeometricMeanOfRatiosAndOfMissingMeasurements) {
    EXPECT_NEAR(bench::geometricMean({2.0, 8.0}), 4.0, 1e-12);
    // Ratios and their inverses cancel, which an arithmetic mean would not do.
    EXPECT_NEAR(bench::geometricMean({0.5, 2.0}), 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(bench::geometricMean({}), 0.0);
    EXPECT_DOUBLE_EQ(bench::geometricMean({3.0, 0.0}), 0.0);
}

TEST(BenchStats, PairedRatiosPairRepetitionsAndSkipUnmeasuredOnes) {
    // Round 2 ran on a slow moment for both: pairing keeps its ratio at 2.
    const std::vector<double> ours = {200.0, 100.0, 0.0, 210.0};
    const std::vector<double> theirs = {100.0, 50.0, 90.0, 100.0, 99.0};
    const std::vector<double> ratios = bench::pairedRatios(ours, theirs);
    ASSERT_EQ(ratios.size(), 3u);
    EXPECT_DOUBLE_EQ(ratios[0], 2.0);
    EXPECT_DOUBLE_EQ(ratios[1], 2.0);
    EXPECT_DOUBLE_EQ(ratios[2], 2.1);
    EXPECT_DOUBLE_EQ(bench::median(ratios), 2.0);
}

TEST(BenchStats, RotatedOrderPutsEveryLibraryInEveryPlace) {
    const size_t libraries = 5;
    std::vector<std::set<size_t>> seenAt(libraries);
    for (size_t round = 0; round < libraries; ++round) {
        std::vector<size_t> order = bench::rotatedOrder(libraries, round);
        ASSERT_EQ(order.size(), libraries);
        EXPECT_EQ(std::set<size_t>(order.begin(), order.end()).size(), libraries);
        for (size_t place = 0; place < libraries; ++place) {
            seenAt[place].insert(order[place]);
        }
    }
    for (const std::set<size_t>& libs : seenAt) {
        EXPECT_EQ(libs.size(), libraries);
    }
    EXPECT_EQ(bench::rotatedOrder(3, 4), (std::vector<size_t>{1, 2, 0}));
}

}  // namespace
