#include "bench/Queries.h"

#include <cmath>

namespace bench {

void QueryComparison::run(int rounds, std::ostream& log) {
    for (const CorpusDocument& document : mDocuments) {
        if (document.bytes.size() >= MIN_BYTES) {
            runDocument(document, rounds, log);
        }
    }
}

void QueryComparison::runDocument(const CorpusDocument& document, int rounds, std::ostream& log) {
    const std::vector<Query>& queries = queryTable();
    std::vector<size_t> ready;
    std::string refusal;
    for (size_t s = 0; s < mSubjects.size(); ++s) {
        Subject& subject = *mSubjects[s];
        if (!subject.hasXPath()) {
            continue;
        }
        std::string error;
        if (!subject.parse(document.bytes, error) || !subject.compileQueries(queries, error)) {
            refusal += std::string(subject.name()) + ": " + error + "; ";
            subject.release();
            continue;
        }
        ready.push_back(s);
    }
    log << "queries on " << document.name << std::endl;
    const size_t first = mFigures.size();
    for (size_t q = 0; q < queries.size(); ++q) {
        QueryFigures figures;
        figures.document = document.name;
        figures.query = q;
        figures.subjects = ready;
        figures.problem = refusal;
        figures.seconds.resize(ready.size());
        for (size_t s : ready) {
            figures.results.push_back(mSubjects[s]->runQuery(q));
            const double agreed = figures.results.front();
            const double result = figures.results.back();
            if (result != agreed && !(std::isnan(result) && std::isnan(agreed))) {
                figures.problem += std::string(mSubjects[s]->name()) + " gives " +
                                   std::to_string(result) + ", not " + std::to_string(agreed) +
                                   "; ";
            }
        }
        mFigures.push_back(figures);
    }
    for (int round = 0; round < rounds; ++round) {
        for (size_t q = 0; q < queries.size(); ++q) {
            QueryFigures& figures = mFigures[first + q];
            if (!figures.problem.empty()) {
                continue;
            }
            for (size_t i = 0; i < ready.size(); ++i) {
                const size_t at = (i + q + static_cast<size_t>(round)) % ready.size();
                const Clock::time_point start = Clock::now();
                mSubjects[ready[at]]->runQuery(q);
                figures.seconds[at].push_back(secondsSince(start));
            }
        }
    }
    for (size_t s : ready) {
        mSubjects[s]->release();
    }
}

}  // namespace bench
