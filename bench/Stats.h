// Statistics of the paired comparison: every repetition times each library
// once on the same document, the ratio ours/peer is taken within that
// repetition, and the median over repetitions is reported. Pairing cancels
// the slow drifts of a shared machine that would swamp separate medians.
//
//   std::vector<double> ratios = bench::pairedRatios(oursRates, peerRates);
//   double typical = bench::median(ratios);
//   double overall = bench::geometricMean(typicalPerDocument);
#ifndef KAVRIXML_BENCH_STATS_H
#define KAVRIXML_BENCH_STATS_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace bench {

// Median of the values; the mean of the two middle ones for an even count;
// 0 for none.
inline double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1) {
        return upper;
    }
    const double lower = *std::max_element(values.begin(), values.begin() + middle);
    return (lower + upper) / 2.0;
}

// Geometric mean of positive values; 0 when there are none or one is not
// positive (a ratio of 0 means a missing measurement, not a fast one).
inline double geometricMean(const std::vector<double>& values) {
    if (values.empty()) {
        return 0.0;
    }
    double logSum = 0.0;
    for (double value : values) {
        if (!(value > 0.0)) {
            return 0.0;
        }
        logSum += std::log(value);
    }
    return std::exp(logSum / static_cast<double>(values.size()));
}

// ours[i] / theirs[i] for each repetition i where both were measured (> 0).
// Rates (bytes per second) give "how many times faster we are"; for sizes
// the same quotient gives "how many times larger".
inline std::vector<double> pairedRatios(const std::vector<double>& ours,
                                        const std::vector<double>& theirs) {
    std::vector<double> ratios;
    const size_t count = std::min(ours.size(), theirs.size());
    for (size_t i = 0; i < count; ++i) {
        if (ours[i] > 0.0 && theirs[i] > 0.0) {
            ratios.push_back(ours[i] / theirs[i]);
        }
    }
    return ratios;
}

// The order in which `count` libraries run in one repetition: a rotation by
// `round`, so that over `count` rounds each library runs once in each place
// and none always profits from a warm cache left by the one before.
inline std::vector<size_t> rotatedOrder(size_t count, size_t round) {
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i) {
        order[i] = (i + round) % count;
    }
    return order;
}

}  // namespace bench

#endif  // KAVRIXML_BENCH_STATS_H
