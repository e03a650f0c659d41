// Comparison runs every subject (Subject.h) on every corpus document and
// keeps the raw figures: one parse rate and one write rate per subject,
// document and repetition, and one heap footprint per subject and document
// from the HeapProbe it is given (FreshHeap.h measures each in a process of
// its own). It owns nothing but its figures; the subjects and documents belong to the
// caller and must outlive it.
//
//   bench::Comparison comparison(subjects, documents, probe);
//   comparison.run(11, 300, std::cerr);  // checks and memory, then up to 11 rounds
//   const bench::DocumentFigures& f = comparison.figures()[0];
//
// Within a repetition every library runs once per document, in an order
// rotated from one repetition and document to the next, so that ratios can be
// taken between libraries measured minutes, not hours, apart.
#ifndef KAVRIXML_BENCH_COMPARISON_H
#define KAVRIXML_BENCH_COMPARISON_H

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/FreshHeap.h"
#include "bench/Subject.h"

namespace bench {

// One serialiser: a subject and one of its write styles.
struct Writer {
    size_t subject;
    size_t style;
    std::string label;  // "pugixml raw"
};

struct SubjectFigures {
    bool accepted = false;  // parsed the document and read every element
    std::string refusal;    // the library's reason, or the count mismatch
    size_t elements = 0;
    std::vector<double> parseRates;  // input bytes per second, one per repetition
    long long heapBytes = -1;        // live heap of the tree; -1 when not measured
    long long heapResidual = 0;      // counted bytes left after freeing the tree
    std::string heapProblem;         // why the heap was not measured
};

struct WriterFigures {
    bool valid = false;  // the output reads back with the same elements
    std::string problem;
    size_t outputBytes = 0;
    std::vector<double> rates;  // output bytes per second, one per repetition
};

struct DocumentFigures {
    const CorpusDocument* document = nullptr;
    size_t referenceElements = 0;
    // Our reader refused the document: nothing is reported for it.
    bool rejectedByOurs = false;
    std::string oursError;
    std::vector<SubjectFigures> subjects;  // in the order of the subjects
    std::vector<WriterFigures> writers;    // in the order of writers()
};

// Measures the heap of one library's tree of one document, in whatever
// process it chooses (see FreshHeap.h).
using HeapProbe =
    std::function<HeapReading(const Subject& subject, const CorpusDocument& document)>;

class Comparison {
  public:
    // Without a probe, no heap is measured.
    Comparison(const std::vector<std::unique_ptr<Subject>>& subjects,
               const std::vector<CorpusDocument>& documents, HeapProbe heapProbe = {});

    // The whole measurement: checks and memory, then timed rounds until
    // `maxRounds` are done or, after at least 3, `budgetSeconds` have passed.
    // Progress goes to `log`.
    void run(int maxRounds, double budgetSeconds, std::ostream& log);
    // Timed rounds completed by run().
    int rounds() const { return mRounds; }
    // The share of the timed wall-clock time that this thread spent on the
    // CPU: near 1 on a quiet machine, lower when other processes took turns.
    double cpuShare() const { return mWallSeconds > 0 ? mCpuSeconds / mWallSeconds : 0; }

    const std::vector<Writer>& writers() const { return mWriters; }
    const std::vector<DocumentFigures>& figures() const { return mFigures; }
    // Index of our subject, or -1 when it is not compiled in.
    int oursIndex() const { return mOurs; }
    // Parses of a document in one timed sample: small documents are parsed
    // several times so that a sample lasts long enough to time well.
    static size_t samplesFor(size_t bytes);

  private:
    // Parses the document with every subject, measuring each accepted
    // tree's heap through the probe, counting its elements and reading back each of its writers'
    // output. The trees stay alive together until the end, as in a timed round, so the heap reaches
    // its peak here and no timed round pays page faults.
    void check(DocumentFigures& figures);
    void checkSubject(DocumentFigures& figures, size_t subject);
    void checkWriter(DocumentFigures& figures, size_t writer);
    void timeParses(DocumentFigures& figures, size_t round);
    void timeWrites(DocumentFigures& figures, size_t round);
    // Seconds of steady_clock for `work`, adding to the CPU share's totals.
    template <class Work>
    double timed(Work work);
    // Elements in `bytes` as read by the checking subject; 0 without one.
    size_t countWithChecker(const std::string& bytes);

    const std::vector<std::unique_ptr<Subject>>& mSubjects;
    HeapProbe mHeapProbe;
    std::vector<Writer> mWriters;
    std::vector<DocumentFigures> mFigures;
    int mOurs = -1;
    int mChecker = -1;
    int mRounds = 0;
    double mWallSeconds = 0;
    double mCpuSeconds = 0;
};

}  // namespace bench

#endif  // KAVRIXML_BENCH_COMPARISON_H
