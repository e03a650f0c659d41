// TargetOutcome is one performance target evaluated on every document where
// it applies: the figure per document, and whether the worst of them is on
// the right side of the threshold. The report and the terminal summary both
// read it through verdict().
//
//   bench::TargetOutcome parse{"Parse ≥ 1.5 × tinyxml2", 1.5, true, false, {}, {}};
//   parse.values.emplace_back("attributes", 1.7);
//   std::string text = bench::verdict(parse);     // "met on all 1"
#ifndef KAVRIXML_BENCH_TARGETS_H
#define KAVRIXML_BENCH_TARGETS_H

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct TargetOutcome {
    std::string what;  // "Parse ≥ 1.5 × tinyxml2"
    double threshold = 0.0;
    bool higherIsBetter = true;  // ratios of speed; false for memory and times
    bool strict = false;         // "below", "under": the threshold itself misses
    std::vector<std::pair<std::string, double>> values;  // document, figure
    std::vector<std::string> notApplicable;              // documents, with the reason

    bool meets(double value) const {
        if (higherIsBetter) {
            return strict ? value > threshold : value >= threshold;
        }
        return strict ? value < threshold : value <= threshold;
    }

    // The figure furthest on the wrong side, or null when nothing was measured.
    const std::pair<std::string, double>* worst() const {
        const std::pair<std::string, double>* found = nullptr;
        for (const auto& value : values) {
            if (found == nullptr ||
                (higherIsBetter ? value.second < found->second : value.second > found->second)) {
                found = &value;
            }
        }
        return found;
    }
};

// "met on all 12", or "missed on 3 of 12; worst deep by 8 %", where the
// percentage is how far the worst figure is from the threshold, relative to it.
inline std::string verdict(const TargetOutcome& target) {
    const std::pair<std::string, double>* worst = target.worst();
    if (worst == nullptr) {
        return "not measured";
    }
    size_t missed = 0;
    for (const auto& value : target.values) {
        missed += target.meets(value.second) ? 0 : 1;
    }
    const std::string count = std::to_string(target.values.size());
    if (missed == 0) {
        return "met on all " + count;
    }
    const double gap =
        target.higherIsBetter ? target.threshold - worst->second : worst->second - target.threshold;
    char percent[32];
    std::snprintf(percent, sizeof percent, "%.0f", 100.0 * gap / target.threshold);
    return "missed on " + std::to_string(missed) + " of " + count + "; worst " + worst->first +
           " by " + percent + " %";
}

}  // namespace bench

#endif  // KAVRIXML_BENCH_TARGETS_H
