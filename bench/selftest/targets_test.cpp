// Verdicts on the performance targets, as bench/RESULTS.md states them.
#include "bench/Targets.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const bench::Target& tableEntry(bench::Measure measure, const char* peer) {
    for (const bench::Target& target : bench::targetTable()) {
        if (target.measure == measure && std::strcmp(target.peer, peer) == 0) {
            return target;
        }
    }
    throw std::logic_error(std::string("no target against ") + peer);
}

bench::TargetOutcome outcome(const bench::Target& target,
                             std::vector<std::pair<std::string, double>> values) {
    return bench::TargetOutcome{target, std::move(values), {}};
}

TEST(BenchTargets, TheTableHoldsTheGoalsOfTheCurrentWork) {
    std::vector<std::string> titles;
    for (const bench::Target& target : bench::targetTable()) {
        titles.push_back(bench::title(target));
    }
    EXPECT_EQ(titles,
              (std::vector<std::string>{
                  "Parse ≥ 1.5 × tinyxml2",
                  "Parse ≥ 1.2 × expat (events)",
                  "Parse ≥ 0.4 × pugixml (geometric mean)",
                  "Write compact ≥ 0.9 × pugixml raw",
                  "Heap per input byte ≤ 1.3 × pugixml",
                  "Fresh process: check ≥ 2.5 × xmllint --noout",
                  "Fresh process: format ≥ 2.0 × xmllint --format",
                  "Fresh process: edit one attribute ≥ 3.0 × xmlstarlet ed -P -u",
                  "Bundle::getText < 150 ns",
                  "Bundle::resolve, 3 references < 1000 ns",
                  "Plural category of an integer < 50 ns",
                  "Bundle::getPluralText ≤ 2.0 × bundle/getText_formatted_same_length",
                  "MessageFormat: one :number, ours ÷ ICU ≤ 0.5 × message/icu_format_number",
                  "MessageFormat: two selectors, ours ÷ ICU ≤ 0.5 × "
                  "message/icu_format_select2",
                  "MessageFormat: compile a typical message < 5000 ns",
                  "XPath query time ≤ 1.5 × pugixml",
                  "XPath query time ≤ 0.2 × libxml2",
                  "Lossless parse time ≤ 1.25 × parse_lenient/",
                  "Lossless heap beyond lenient, per input byte ≤ 1.1 × "
                  "extra_heap_per_input_byte",
                  "Compact write time ≥ 3.0 × write_lossless/",
              }));
}

TEST(BenchTargets, EveryDocumentTargetNamesTheWorstDocumentAndTheShortfall) {
    const bench::Target& parse = tableEntry(bench::Measure::PARSE, "tinyxml2");
    const bench::TargetOutcome missed =
        outcome(parse, {{"text", 3.1}, {"deep", 1.2}, {"mime", 1.4}, {"cdata", 1.5}});
    ASSERT_NE(missed.worst(), nullptr);
    EXPECT_EQ(missed.worst()->first, "deep");
    EXPECT_DOUBLE_EQ(missed.judged(), 1.2);
    // "at least 1.5": 1.5 itself meets it; 1.2 falls short by a fifth.
    EXPECT_EQ(bench::verdict(missed), "missed on 2 of 4; worst deep by 20 %");
    EXPECT_EQ(bench::verdict(outcome(parse, {{"a", 1.5}, {"b", 7.0}})), "met on all 2");
    EXPECT_EQ(bench::figure(parse, 1.2), "1.20 ×");
}

TEST(BenchTargets, LimitTargetsNameTheLargestFigureAndHonourStrictness) {
    // "at most 1.3 x pugixml's heap": 1.3 meets, 1.95 misses by half.
    const bench::Target& heap = tableEntry(bench::Measure::HEAP, "pugixml");
    EXPECT_EQ(bench::verdict(outcome(heap, {{"deep", 1.3}, {"text", 0.7}})), "met on all 2");
    EXPECT_EQ(bench::verdict(outcome(heap, {{"deep", 1.95}, {"text", 0.7}})),
              "missed on 1 of 2; worst deep by 50 %");
    // "below 150 ns": 150 itself misses.
    const bench::Target& getText = tableEntry(bench::Measure::BUNDLE, "bundle/getText");
    EXPECT_EQ(bench::verdict(outcome(getText, {{"10,000 keys", 150}})),
              "missed on 1 of 1; worst 10,000 keys by 0 %");
    EXPECT_EQ(bench::verdict(outcome(getText, {{"10,000 keys", 143}})), "met on all 1");
    EXPECT_EQ(bench::figure(getText, 143.4), "143 ns");
}

TEST(BenchTargets, GeometricMeanTargetIsJudgedByTheMeanNotTheWorstDocument) {
    const bench::Target& pugixml = tableEntry(bench::Measure::PARSE, "pugixml");
    // 0.2 and 0.8 average to 0.4 geometrically: met, though one document is far below.
    const bench::TargetOutcome met = outcome(pugixml, {{"attributes", 0.2}, {"text", 0.8}});
    EXPECT_NEAR(met.judged(), 0.4, 1e-12);
    EXPECT_EQ(bench::verdict(met), "met over 2");
    EXPECT_EQ(bench::verdict(outcome(pugixml, {{"attributes", 0.3}, {"text", 0.3}})),
              "missed over 2 by 25 %");
}

TEST(BenchTargets, NothingMeasuredIsNeitherMetNorMissed) {
    for (const bench::Target& target : bench::targetTable()) {
        const bench::TargetOutcome empty = outcome(target, {});
        EXPECT_EQ(empty.worst(), nullptr);
        EXPECT_EQ(empty.judged(), 0.0);
        EXPECT_EQ(bench::verdict(empty), "not measured") << bench::title(target);
    }
}

}  // namespace
