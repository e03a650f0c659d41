// Verdicts on the performance targets, as bench/RESULTS.md states them.
#include "bench/Targets.h"

#include <gtest/gtest.h>

namespace {

bench::TargetOutcome target(double threshold, bool higherIsBetter, bool strict,
                            std::vector<std::pair<std::string, double>> values) {
    return bench::TargetOutcome{"t", threshold, higherIsBetter, strict, std::move(values), {}};
}

TEST(BenchTargets, SpeedTargetNamesTheSlowestDocumentAndTheShortfall) {
    const bench::TargetOutcome parse =
        target(2.0, true, false, {{"text", 3.1}, {"deep", 1.5}, {"mime", 1.9}, {"cdata", 2.0}});
    ASSERT_NE(parse.worst(), nullptr);
    EXPECT_EQ(parse.worst()->first, "deep");
    // "at least 2": 2.0 itself meets it; 1.5 falls short by a quarter.
    EXPECT_EQ(bench::verdict(parse), "missed on 2 of 4; worst deep by 25 %");
    EXPECT_EQ(bench::verdict(target(2.0, true, false, {{"a", 2.0}, {"b", 7.0}})), "met on all 2");
}

TEST(BenchTargets, LimitTargetsNameTheLargestFigureAndHonourStrictness) {
    // "below libxml2": a ratio of exactly 1 misses; "at most 2 x": 2 meets.
    EXPECT_EQ(bench::verdict(target(1.0, false, true, {{"deep", 1.0}, {"text", 0.7}})),
              "missed on 1 of 2; worst deep by 0 %");
    EXPECT_EQ(bench::verdict(target(2.0, false, false, {{"deep", 2.0}, {"text", 0.7}})),
              "met on all 2");
    const bench::TargetOutcome resolve = target(1000, false, true, {{"10,000 keys", 1199}});
    EXPECT_EQ(resolve.worst()->first, "10,000 keys");
    EXPECT_EQ(bench::verdict(resolve), "missed on 1 of 1; worst 10,000 keys by 20 %");
}

TEST(BenchTargets, NothingMeasuredIsNeitherMetNorMissed) {
    const bench::TargetOutcome empty = target(1.5, true, false, {});
    EXPECT_EQ(empty.worst(), nullptr);
    EXPECT_EQ(bench::verdict(empty), "not measured");
}

}  // namespace
