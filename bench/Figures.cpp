#include "bench/Figures.h"

#include <string>

#include "bench/Stats.h"

namespace bench {

Figures::Figures(const Comparison& comparison,
                 const std::vector<std::unique_ptr<Subject>>& subjects,
                 const FreshCommands& commands, const BenchmarkJson& ours,
                 const QueryComparison* queries)
    : mComparison(comparison),
      mSubjects(subjects),
      mCommands(commands),
      mOurs(ours),
      mQueries(queries) {}

int Figures::findSubject(const std::string& name) const {
    for (size_t i = 0; i < mSubjects.size(); ++i) {
        if (mSubjects[i]->name() == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int Figures::findWriter(const std::string& label) const {
    const std::vector<Writer>& writers = mComparison.writers();
    for (size_t i = 0; i < writers.size(); ++i) {
        if (writers[i].label == label) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<const DocumentFigures*> Figures::reported() const {
    std::vector<const DocumentFigures*> documents;
    for (const DocumentFigures& figures : mComparison.figures()) {
        if (!figures.rejectedByOurs) {
            documents.push_back(&figures);
        }
    }
    return documents;
}

double Figures::parseRatio(const DocumentFigures& figures, size_t subject) const {
    const int ours = mComparison.oursIndex();
    if (ours < 0) {
        return 0;
    }
    return median(pairedRatios(figures.subjects[static_cast<size_t>(ours)].parseRates,
                               figures.subjects[subject].parseRates));
}

double Figures::writeRatio(const DocumentFigures& figures, size_t ours, size_t writer) const {
    return median(pairedRatios(figures.writers[ours].rates, figures.writers[writer].rates));
}

double Figures::heapPerByte(const DocumentFigures& figures, size_t subject) const {
    const long long bytes = figures.subjects[subject].heapBytes;
    if (bytes < 0 || figures.document->bytes.empty()) {
        return 0;
    }
    return static_cast<double>(bytes) / static_cast<double>(figures.document->bytes.size());
}

TargetOutcome Figures::outcome(const Target& target) const {
    TargetOutcome outcome{target, {}, {}};
    switch (target.measure) {
        case Measure::PARSE:
            gatherParse(outcome);
            break;
        case Measure::WRITE:
            gatherWrite(outcome);
            break;
        case Measure::HEAP:
            gatherHeap(outcome);
            break;
        case Measure::FRESH_COMMAND:
            gatherCommand(outcome);
            break;
        case Measure::BUNDLE:
            gatherBundle(outcome);
            break;
        case Measure::QUERY:
            gatherQuery(outcome);
            break;
    }
    return outcome;
}

std::vector<TargetOutcome> Figures::outcomes() const {
    std::vector<TargetOutcome> all;
    for (const Target& target : targetTable()) {
        all.push_back(outcome(target));
    }
    return all;
}

// Benchmarks named by document ("parse_lossless/mime-20M"): the time of
// ours over the peer's for each document both ran, or, for a peer that
// names no benchmark ("extra_heap_per_input_byte"), that counter of ours.
void Figures::gatherPerDocument(TargetOutcome& outcome) const {
    const std::string ours = outcome.target.ours;
    const std::string peer = outcome.target.peer;
    const bool counter = peer.find('/') == std::string::npos;
    for (const std::string& document : mOurs.suffixes(ours)) {
        if (counter) {
            // Below zero where ours takes less than what it is measured
            // against: still a figure of the document.
            if (mOurs.hasCounter(ours + document, peer.c_str())) {
                outcome.values.emplace_back(document, mOurs.counter(ours + document, peer.c_str()));
            }
            continue;
        }
        const double mine = mOurs.nanoseconds(ours + document);
        const double theirs = mOurs.nanoseconds(peer + document);
        if (mine > 0 && theirs > 0) {
            outcome.values.emplace_back(document, mine / theirs);
        }
    }
}

void Figures::gatherParse(TargetOutcome& outcome) const {
    const std::string peer = outcome.target.peer;
    const int p = findSubject(peer);
    if (p < 0 || mComparison.oursIndex() < 0) {
        outcome.notApplicable.push_back((p < 0 ? peer : "kavrixml") + " not built");
        return;
    }
    for (const DocumentFigures* figures : reported()) {
        const SubjectFigures& theirs = figures->subjects[static_cast<size_t>(p)];
        if (!theirs.accepted) {
            outcome.notApplicable.push_back(figures->document->name + " (" + peer + " refuses it)");
            continue;
        }
        outcome.values.emplace_back(figures->document->name,
                                    parseRatio(*figures, static_cast<size_t>(p)));
    }
}

void Figures::gatherWrite(TargetOutcome& outcome) const {
    const int w = findWriter(outcome.target.ours);
    const int p = findWriter(outcome.target.peer);
    if (w < 0 || p < 0) {
        outcome.notApplicable.push_back(
            std::string(w < 0 ? outcome.target.ours : outcome.target.peer) + " not built");
        return;
    }
    for (const DocumentFigures* figures : reported()) {
        for (int writer : {w, p}) {
            const WriterFigures& checked = figures->writers[static_cast<size_t>(writer)];
            if (!checked.valid) {
                outcome.notApplicable.push_back(
                    figures->document->name + " (" +
                    mComparison.writers()[static_cast<size_t>(writer)].label + ": " +
                    checked.problem + ")");
                break;
            }
            if (writer == p) {
                outcome.values.emplace_back(
                    figures->document->name,
                    writeRatio(*figures, static_cast<size_t>(w), static_cast<size_t>(p)));
            }
        }
    }
}

void Figures::gatherHeap(TargetOutcome& outcome) const {
    const std::string peer = outcome.target.peer;
    const int p = findSubject(peer);
    const int ours = mComparison.oursIndex();
    if (p < 0 || ours < 0) {
        outcome.notApplicable.push_back((p < 0 ? peer : "kavrixml") + " not built");
        return;
    }
    for (const DocumentFigures* figures : reported()) {
        const double theirs = heapPerByte(*figures, static_cast<size_t>(p));
        const double mine = heapPerByte(*figures, static_cast<size_t>(ours));
        if (theirs <= 0 || mine <= 0) {
            const SubjectFigures& missing =
                figures->subjects[static_cast<size_t>(theirs <= 0 ? p : ours)];
            const std::string who = theirs <= 0 ? peer : "kavrixml";
            outcome.notApplicable.push_back(
                figures->document->name + " (" + who + ": " +
                (missing.accepted ? missing.heapProblem : "refuses it") + ")");
            continue;
        }
        outcome.values.emplace_back(figures->document->name, mine / theirs);
    }
}

void Figures::gatherCommand(TargetOutcome& outcome) const {
    if (!mCommands.unavailable().empty()) {
        outcome.notApplicable.push_back(mCommands.unavailable());
        return;
    }
    for (const CommandFigures* figures : mCommands.figuresOf(outcome.target.ours)) {
        if (!figures->problem.empty()) {
            outcome.notApplicable.push_back(figures->document + " (" + figures->problem + ")");
            continue;
        }
        outcome.values.emplace_back(figures->document, figures->speedup());
    }
}

void Figures::gatherBundle(TargetOutcome& outcome) const {
    const std::string oursName = outcome.target.ours;
    if (!oursName.empty() && oursName.back() == '/') {
        gatherPerDocument(outcome);
        return;
    }
    const double ns = mOurs.nanoseconds(outcome.target.peer);
    if (ns < 0) {
        return;
    }
    // Bundles are timed with 10,000 keys; messages one at a time, in German.
    const bool message = std::string(outcome.target.peer).compare(0, 8, "message/") == 0;
    const char* const setting = message ? "one German message" : "10,000 keys";
    if (perCallTime(outcome.target)) {
        outcome.values.emplace_back(setting, ns);
        return;
    }
    const double ours = mOurs.nanoseconds(outcome.target.ours);
    if (ours >= 0 && ns > 0) {
        outcome.values.emplace_back(setting, ours / ns);
    }
}

double Figures::queryRatio(const QueryFigures& figures, size_t subject) const {
    const int ours = mComparison.oursIndex();
    size_t mine = figures.subjects.size();
    size_t theirs = figures.subjects.size();
    for (size_t i = 0; i < figures.subjects.size(); ++i) {
        mine = static_cast<int>(figures.subjects[i]) == ours ? i : mine;
        theirs = figures.subjects[i] == subject ? i : theirs;
    }
    if (mine == figures.subjects.size() || theirs == figures.subjects.size()) {
        return 0;
    }
    return median(pairedRatios(figures.seconds[mine], figures.seconds[theirs]));
}

void Figures::gatherQuery(TargetOutcome& outcome) const {
    const std::string peer = outcome.target.peer;
    const int p = findSubject(peer);
    if (mQueries == nullptr || p < 0 || mComparison.oursIndex() < 0) {
        outcome.notApplicable.push_back(mQueries == nullptr ? std::string("queries not run")
                                        : p < 0             ? peer + " not built"
                                                            : std::string("kavrixml not built"));
        return;
    }
    for (const QueryFigures& figures : mQueries->figures()) {
        const std::string where = figures.document + ", " + queryTable()[figures.query].name;
        const double value =
            figures.problem.empty() ? queryRatio(figures, static_cast<size_t>(p)) : 0;
        if (value <= 0) {
            outcome.notApplicable.push_back(
                where + " (" + (figures.problem.empty() ? "not timed" : figures.problem) + ")");
            continue;
        }
        outcome.values.emplace_back(where, value);
    }
}

}  // namespace bench
