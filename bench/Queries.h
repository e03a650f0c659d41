// QueryComparison times the XPath queries of queryTable() (Query.h) on the
// large corpus documents with every subject that has XPath, paired per
// round like the parse comparison: within a round each library runs each
// query once, in an order rotated from one query to the next. Before the
// rounds it checks that the libraries agree on every result.
//
//   bench::QueryComparison queries(subjects, documents);
//   queries.run(5, std::cerr);
//   for (const bench::QueryFigures& f : queries.figures()) { ... }
#ifndef KAVRIXML_BENCH_QUERIES_H
#define KAVRIXML_BENCH_QUERIES_H

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Subject.h"

namespace bench {

// One query on one document.
struct QueryFigures {
    std::string document;
    size_t query = 0;                          // index into queryTable()
    std::vector<size_t> subjects;              // the subjects that ran it
    std::vector<double> results;               // per subject: the result as a number
    std::vector<std::vector<double>> seconds;  // per subject, one per round
    std::string problem;                       // a refusal or a disagreement; no timing then
};

class QueryComparison {
  public:
    // Documents smaller than this are left out: the queries are judged on
    // the large ones.
    static constexpr size_t MIN_BYTES = 10 * 1000 * 1000;

    QueryComparison(const std::vector<std::unique_ptr<Subject>>& subjects,
                    const std::vector<CorpusDocument>& documents)
        : mSubjects(subjects), mDocuments(documents) {}

    void run(int rounds, std::ostream& log);
    const std::vector<QueryFigures>& figures() const { return mFigures; }

  private:
    void runDocument(const CorpusDocument& document, int rounds, std::ostream& log);

    const std::vector<std::unique_ptr<Subject>>& mSubjects;
    const std::vector<CorpusDocument>& mDocuments;
    std::vector<QueryFigures> mFigures;
};

}  // namespace bench

#endif  // KAVRIXML_BENCH_QUERIES_H
