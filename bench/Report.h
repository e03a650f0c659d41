// Report turns the figures of a Comparison into bench/RESULTS.md and a chart
// (gnuplot SVG): the machine and build, the method, a summary per library, the
// targets with met or missed, our own Google Benchmark figures, and a table
// per document. It reads the comparison and never changes it.
//
//   bench::ReportSettings settings;           // paths, flags, repetitions ...
//   bench::Report report(comparison, subjects, settings);
//   bool allMet = report.write(std::cerr);
#ifndef KAVRIXML_BENCH_REPORT_H
#define KAVRIXML_BENCH_REPORT_H

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bench/Comparison.h"
#include "bench/Subject.h"
#include "bench/Targets.h"

namespace bench {

struct ReportSettings {
    std::string resultsPath;   // RESULTS.md
    std::string chartPath;     // chart.svg
    std::string workFolder;    // gnuplot's data and script
    std::string oursJsonPath;  // Google Benchmark JSON of kavrixml_bench; may be empty
    std::string notesPath;     // hand-written notes appended to the report; may be absent
    std::string flags;         // compiler flags of this build
    int maxRounds = 0;         // the cap on timed rounds ...
    double budgetSeconds = 0;  // ... and the time after which no new round starts
    int cpu = -1;
};

class Report {
  public:
    Report(const Comparison& comparison, const std::vector<std::unique_ptr<Subject>>& subjects,
           ReportSettings settings);

    // Writes the report and the chart; returns false when a document was
    // rejected by our reader or the chart could not be drawn.
    bool write(std::ostream& log);

    // Exposed for the summary on the terminal.
    std::vector<TargetOutcome> targets() const;

  private:
    std::string machineSection() const;
    std::string methodSection() const;
    std::string summarySection() const;
    std::string targetSection(const std::vector<TargetOutcome>& outcomes) const;
    std::string oursSection() const;
    std::string documentSection(const DocumentFigures& figures) const;
    bool drawChart(std::ostream& log) const;

    // Median paired ratio ours/peer of parse rates on one document; 0 when
    // either was not measured.
    double parseRatio(const DocumentFigures& figures, size_t subject) const;
    double writeRatio(const DocumentFigures& figures, size_t ours, size_t writer) const;
    // Live heap bytes per input byte; 0 when not measured.
    double heapPerByte(const DocumentFigures& figures, size_t subject) const;
    int findSubject(const char* name) const;
    int findWriter(const std::string& label) const;
    std::vector<const DocumentFigures*> reported() const;

    const Comparison& mComparison;
    const std::vector<std::unique_ptr<Subject>>& mSubjects;
    ReportSettings mSettings;
};

}  // namespace bench

#endif  // KAVRIXML_BENCH_REPORT_H
