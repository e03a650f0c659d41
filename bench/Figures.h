// Figures is what the report reads: the paired comparison, the fresh-process
// runs of the tool and our own Google Benchmark figures, with the ratios
// taken the one way the report states them (ours ÷ peer, medians of pairs)
// and the figures of each target of targetTable() gathered document by
// document. It reads and never changes them; all must outlive it.
//
//   bench::Figures figures(comparison, subjects, commands, oursJson);
//   for (const bench::TargetOutcome& t : figures.outcomes()) { print(bench::verdict(t)); }
#ifndef KAVRIXML_BENCH_FIGURES_H
#define KAVRIXML_BENCH_FIGURES_H

#include <memory>
#include <string>
#include <vector>

#include "bench/BenchmarkJson.h"
#include "bench/Comparison.h"
#include "bench/FreshCommands.h"
#include "bench/Queries.h"
#include "bench/Subject.h"
#include "bench/Targets.h"

namespace bench {

class Figures {
  public:
    // Without `queries`, the query targets are not measured.
    Figures(const Comparison& comparison, const std::vector<std::unique_ptr<Subject>>& subjects,
            const FreshCommands& commands, const BenchmarkJson& ours,
            const QueryComparison* queries = nullptr);

    const Comparison& comparison() const { return mComparison; }
    const std::vector<std::unique_ptr<Subject>>& subjects() const { return mSubjects; }
    const FreshCommands& commands() const { return mCommands; }
    const BenchmarkJson& ours() const { return mOurs; }
    const QueryComparison* queries() const { return mQueries; }
    // Median paired ratio of our time ÷ the subject's for one query; 0 when
    // either did not run it.
    double queryRatio(const QueryFigures& figures, size_t subject) const;

    // Indices into subjects() and comparison().writers(), or -1.
    int findSubject(const std::string& name) const;
    int findWriter(const std::string& label) const;
    // The documents our reader accepted: the only ones with figures.
    std::vector<const DocumentFigures*> reported() const;

    // Median paired ratio ours ÷ subject of parse rates on one document; 0
    // when either was not measured.
    double parseRatio(const DocumentFigures& figures, size_t subject) const;
    // The same for two writers.
    double writeRatio(const DocumentFigures& figures, size_t ours, size_t writer) const;
    // Live heap bytes per input byte; 0 when not measured.
    double heapPerByte(const DocumentFigures& figures, size_t subject) const;

    // The figures of one target, and of every target of targetTable().
    TargetOutcome outcome(const Target& target) const;
    std::vector<TargetOutcome> outcomes() const;

  private:
    void gatherParse(TargetOutcome& outcome) const;
    void gatherWrite(TargetOutcome& outcome) const;
    void gatherHeap(TargetOutcome& outcome) const;
    void gatherCommand(TargetOutcome& outcome) const;
    void gatherBundle(TargetOutcome& outcome) const;
    void gatherPerDocument(TargetOutcome& outcome) const;
    void gatherQuery(TargetOutcome& outcome) const;

    const Comparison& mComparison;
    const std::vector<std::unique_ptr<Subject>>& mSubjects;
    const FreshCommands& mCommands;
    const BenchmarkJson& mOurs;
    const QueryComparison* mQueries;
};

}  // namespace bench

#endif  // KAVRIXML_BENCH_FIGURES_H
