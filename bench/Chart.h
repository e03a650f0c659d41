// Chart draws bench/chart.svg with gnuplot: parse and write throughput per
// library, as geometric means over the documents the report covers, ours in
// red. gnuplot's data and script are written to a work folder first, so a
// chart that looks wrong can be redrawn by hand.
//
//   bool drawn = bench::drawChart(figures, "bench/chart.svg", "build-bench/bench", std::cerr);
#ifndef KAVRIXML_BENCH_CHART_H
#define KAVRIXML_BENCH_CHART_H

#include <ostream>
#include <string>

#include "bench/Figures.h"

namespace bench {

// Returns false, saying why on `log`, when gnuplot failed.
bool drawChart(const Figures& figures, const std::string& chartPath, const std::string& workFolder,
               std::ostream& log);

}  // namespace bench

#endif  // KAVRIXML_BENCH_CHART_H
