// Report writes bench/RESULTS.md from the figures of one benchmark run: the
// machine and build, the method, a summary per library, the targets with met
// or missed, the fresh-process runs of the tool, our own Google Benchmark
// figures, and a table per document; then the chart (Chart.h). It reads the
// figures and never changes them.
//
//   bench::ReportSettings settings;           // paths, flags, repetitions ...
//   bench::Report report(figures, settings);
//   bool complete = report.write(std::cerr);
#ifndef KAVRIXML_BENCH_REPORT_H
#define KAVRIXML_BENCH_REPORT_H

#include <ostream>
#include <string>
#include <vector>

#include "bench/Figures.h"
#include "bench/Targets.h"

namespace bench {

struct ReportSettings {
    std::string resultsPath;   // RESULTS.md
    std::string chartPath;     // chart.svg
    std::string workFolder;    // gnuplot's data and script
    std::string notesPath;     // hand-written notes appended to the report; may be absent
    std::string sourceDir;     // the library's sources, for their revision
    std::string flags;         // compiler flags of this build
    int maxRounds = 0;         // the cap on timed rounds ...
    double budgetSeconds = 0;  // ... and the time after which no new round starts
    int cpu = -1;
};

class Report {
  public:
    Report(const Figures& figures, ReportSettings settings);

    // Writes the report and the chart; returns false when a document was
    // rejected by our reader, or the report or the chart could not be written.
    bool write(std::ostream& log) const;

  private:
    std::string machineSection() const;
    std::string methodSection() const;
    std::string summarySection() const;
    std::string parseSummary() const;
    std::string writeSummary() const;
    std::string memorySummary() const;
    std::string targetSection(const std::vector<TargetOutcome>& outcomes) const;
    std::string freshProcessSection() const;
    std::string oursSection() const;
    std::string querySection() const;
    std::string documentSection(const DocumentFigures& document) const;

    const Figures& mFigures;
    ReportSettings mSettings;
};

}  // namespace bench

#endif  // KAVRIXML_BENCH_REPORT_H
