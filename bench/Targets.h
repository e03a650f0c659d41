// Targets are the performance goals that bench/RESULTS.md judges, kept as a
// table of named fields (targetTable()) rather than as code: what is measured,
// against which peer, the threshold and its direction, and whether it must
// hold on every document or for the geometric mean over them. A
// TargetOutcome is one target with the figure found on each document; its
// verdict says met, or missed and by how much.
//
//   bench::TargetOutcome parse{bench::targetTable()[0], {}, {}};
//   parse.values.emplace_back("attributes", 1.7);
//   std::string text = bench::verdict(parse);     // "met on all 1"
#ifndef KAVRIXML_BENCH_TARGETS_H
#define KAVRIXML_BENCH_TARGETS_H

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "bench/Format.h"
#include "bench/Stats.h"

namespace bench {

// Where a target's figure comes from; every figure is ours ÷ peer except for
// a BUNDLE target without `ours`, which is our own time per call.
enum class Measure {
    PARSE,          // paired parse rates of the in-memory comparison
    WRITE,          // paired write rates; `ours` names our writer
    HEAP,           // heap per input byte, each measured in a fresh process
    FRESH_COMMAND,  // the tool against another program, each run a new process
    BUNDLE,         // kavrixml_bench's JSON: ns per call, or the ratio of two calls
    QUERY,          // paired XPath query times (Queries.h), ours ÷ peer
};

enum class Direction { AT_LEAST, AT_MOST, BELOW };
enum class Scope { EVERY_DOCUMENT, GEOMETRIC_MEAN };

struct Target {
    const char* what;  // "Parse"
    Measure measure;
    const char* ours;  // our writer or command; "" where there is only one of ours
    const char* peer;  // library, writer, program, or the Google Benchmark name
    double threshold;
    Direction direction;
    Scope scope;
};

// The goals of the current work, in the order the report lists them. A
// FRESH_COMMAND ratio is the peer's time over ours: how many times as fast.
inline const std::vector<Target>& targetTable() {
    static const std::vector<Target> table = {
        {"Parse", Measure::PARSE, "", "tinyxml2", 1.5, Direction::AT_LEAST, Scope::EVERY_DOCUMENT},
        {"Parse", Measure::PARSE, "", "expat (events)", 1.2, Direction::AT_LEAST,
         Scope::EVERY_DOCUMENT},
        {"Parse", Measure::PARSE, "", "pugixml", 0.4, Direction::AT_LEAST, Scope::GEOMETRIC_MEAN},
        {"Write compact", Measure::WRITE, "kavrixml compact", "pugixml raw", 0.9,
         Direction::AT_LEAST, Scope::EVERY_DOCUMENT},
        {"Heap per input byte", Measure::HEAP, "", "pugixml", 1.3, Direction::AT_MOST,
         Scope::EVERY_DOCUMENT},
        {"Fresh process: check", Measure::FRESH_COMMAND, "kavrixml check", "xmllint --noout", 2.5,
         Direction::AT_LEAST, Scope::EVERY_DOCUMENT},
        {"Fresh process: format", Measure::FRESH_COMMAND, "kavrixml format", "xmllint --format",
         2.0, Direction::AT_LEAST, Scope::EVERY_DOCUMENT},
        {"Fresh process: edit one attribute", Measure::FRESH_COMMAND, "kavrixml edit -u",
         "xmlstarlet ed -P -u", 3.0, Direction::AT_LEAST, Scope::EVERY_DOCUMENT},
        {"Bundle::getText", Measure::BUNDLE, "", "bundle/getText", 150, Direction::BELOW,
         Scope::EVERY_DOCUMENT},
        {"Bundle::resolve, 3 references", Measure::BUNDLE, "", "bundle/resolve_3_references", 1000,
         Direction::BELOW, Scope::EVERY_DOCUMENT},
        {"Plural category of an integer", Measure::BUNDLE, "", "bundle/plural_category_integer", 50,
         Direction::BELOW, Scope::EVERY_DOCUMENT},
        {"Bundle::getPluralText", Measure::BUNDLE, "bundle/getPluralText",
         "bundle/getText_formatted_same_length", 2.0, Direction::AT_MOST, Scope::EVERY_DOCUMENT},
        {"MessageFormat: one :number, ours ÷ ICU", Measure::BUNDLE, "message/format_number",
         "message/icu_format_number", 0.5, Direction::AT_MOST, Scope::EVERY_DOCUMENT},
        {"MessageFormat: two selectors, ours ÷ ICU", Measure::BUNDLE, "message/format_select2",
         "message/icu_format_select2", 0.5, Direction::AT_MOST, Scope::EVERY_DOCUMENT},
        {"MessageFormat: compile a typical message", Measure::BUNDLE, "", "message/compile_typical",
         5000, Direction::BELOW, Scope::EVERY_DOCUMENT},
        {"XPath query time", Measure::QUERY, "", "pugixml", 1.5, Direction::AT_MOST,
         Scope::EVERY_DOCUMENT},
        {"XPath query time", Measure::QUERY, "", "libxml2", 0.2, Direction::AT_MOST,
         Scope::EVERY_DOCUMENT},
        // Per document, from kavrixml_bench: `ours` and `peer` are benchmark
        // names without the document; a peer without '/' is a counter of ours.
        {"Lossless parse time", Measure::BUNDLE, "parse_lossless/", "parse_lenient/", 1.25,
         Direction::AT_MOST, Scope::EVERY_DOCUMENT},
        {"Lossless heap beyond lenient, per input byte", Measure::BUNDLE, "parse_lossless/",
         "extra_heap_per_input_byte", 1.1, Direction::AT_MOST, Scope::EVERY_DOCUMENT},
        {"Compact write time", Measure::BUNDLE, "write_compact/", "write_lossless/", 3.0,
         Direction::AT_LEAST, Scope::EVERY_DOCUMENT},
    };
    return table;
}

inline bool higherIsBetter(const Target& target) {
    return target.direction == Direction::AT_LEAST;
}

// A time per call rather than a ratio of two figures.
inline bool perCallTime(const Target& target) {
    return target.measure == Measure::BUNDLE && target.ours[0] == '\0';
}

// A figure of the target's kind: "1.52 ×", or "143 ns" for a time.
inline std::string figure(const Target& target, double value) {
    return perCallTime(target) ? fixed(value, 0) + " ns" : ratio(value);
}

// "Parse ≥ 1.5 × tinyxml2", "Bundle::getText < 150 ns".
inline std::string title(const Target& target) {
    const char* sign = target.direction == Direction::AT_LEAST  ? " ≥ "
                       : target.direction == Direction::AT_MOST ? " ≤ "
                                                                : " < ";
    if (perCallTime(target)) {
        return target.what + std::string(sign) + fixed(target.threshold, 0) + " ns";
    }
    const bool hundredths =
        std::fabs(target.threshold * 10 - std::round(target.threshold * 10)) > 1e-9;
    std::string text =
        target.what + std::string(sign) + fixed(target.threshold, hundredths ? 2 : 1) + " × ";
    text += target.peer;
    return target.scope == Scope::GEOMETRIC_MEAN ? text + " (geometric mean)" : text;
}

struct TargetOutcome {
    Target target;
    std::vector<std::pair<std::string, double>> values;  // document, figure
    std::vector<std::string> notApplicable;              // documents, with the reason

    bool meets(double value) const {
        switch (target.direction) {
            case Direction::AT_LEAST:
                return value >= target.threshold;
            case Direction::AT_MOST:
                return value <= target.threshold;
            case Direction::BELOW:
                return value < target.threshold;
        }
        return false;
    }

    // The figure furthest on the wrong side, or null when nothing was measured.
    const std::pair<std::string, double>* worst() const {
        const std::pair<std::string, double>* found = nullptr;
        for (const auto& value : values) {
            if (found == nullptr || (higherIsBetter(target) ? value.second < found->second
                                                            : value.second > found->second)) {
                found = &value;
            }
        }
        return found;
    }

    // The figure that is judged: the geometric mean of the documents' for a
    // GEOMETRIC_MEAN target, the worst document's otherwise; 0 when none.
    double judged() const {
        if (target.scope == Scope::GEOMETRIC_MEAN) {
            std::vector<double> figures;
            for (const auto& value : values) {
                figures.push_back(value.second);
            }
            return geometricMean(figures);
        }
        const std::pair<std::string, double>* found = worst();
        return found == nullptr ? 0 : found->second;
    }
};

// How far `value` lies from the threshold on the wrong side, in per cent of
// the threshold: "20" for 1.2 against "at least 1.5".
inline std::string shortfall(const Target& target, double value) {
    const double gap = higherIsBetter(target) ? target.threshold - value : value - target.threshold;
    return fixed(std::fabs(100.0 * gap / target.threshold), 0);
}

// "met on all 12", "missed on 3 of 12; worst deep by 8 %", or for a
// geometric mean "met over 12" and "missed over 12 by 25 %".
inline std::string verdict(const TargetOutcome& outcome) {
    if (outcome.values.empty()) {
        return "not measured";
    }
    const std::string count = std::to_string(outcome.values.size());
    if (outcome.target.scope == Scope::GEOMETRIC_MEAN) {
        const double mean = outcome.judged();
        return outcome.meets(mean)
                   ? "met over " + count
                   : "missed over " + count + " by " + shortfall(outcome.target, mean) + " %";
    }
    size_t missed = 0;
    for (const auto& value : outcome.values) {
        missed += outcome.meets(value.second) ? 0 : 1;
    }
    if (missed == 0) {
        return "met on all " + count;
    }
    const std::pair<std::string, double>* worst = outcome.worst();
    return "missed on " + std::to_string(missed) + " of " + count + "; worst " + worst->first +
           " by " + shortfall(outcome.target, worst->second) + " %";
}

}  // namespace bench

#endif  // KAVRIXML_BENCH_TARGETS_H
