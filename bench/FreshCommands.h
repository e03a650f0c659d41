// FreshCommands times whole programs on the large corpus documents, as a
// user runs them: `kavrixml check FILE` against `xmllint --noout FILE`, and
// `kavrixml format -o /dev/null FILE` against `xmllint --format FILE`, and
// `kavrixml edit -u` of one attribute against `xmlstarlet ed -u` (when
// xmlstarlet is installed), each
// run a new process that reads the file itself, so page faults on new
// memory and the start of the program are part of every time.
//
//   bench::FreshCommands commands({toolPath, "xmllint", 7, 10000000});
//   if (commands.unavailable().empty()) { commands.run(documents, std::cerr); }
//   double speedup = commands.figures()[0].speedup();   // xmllint's time ÷ ours
//
// The two programs of a pair run alternately, one pair of runs after the
// other, and the first of a pair alternates too; the figure is the median
// over the pairs of the ratio within each pair. One untimed run of each
// comes first, so that both find the file in the page cache.
#ifndef KAVRIXML_BENCH_FRESHCOMMANDS_H
#define KAVRIXML_BENCH_FRESHCOMMANDS_H

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Stats.h"

namespace bench {

struct FreshCommandSettings {
    std::string tool;                       // our kavrixml program; empty when not built
    std::string xmllint = "xmllint";        // looked up in PATH
    int runs = 7;                           // pairs of timed runs per document and pair
    size_t minBytes = 10 * 1000 * 1000;     // documents smaller than this are left out
    std::string xmlstarlet = "xmlstarlet";  // looked up in PATH; its pair is left out without it
};

struct CommandFigures {
    std::string ours;      // "kavrixml check"
    std::string peer;      // "xmllint --noout"
    std::string document;  // the corpus name
    size_t bytes = 0;
    std::vector<double> oursSeconds;  // one per pair of runs
    std::vector<double> peerSeconds;
    std::string problem;  // why it was not timed: a program that failed on it

    // How many times as fast ours is: the median over the pairs of the
    // peer's time ÷ ours; 0 when not timed.
    double speedup() const { return median(pairedRatios(peerSeconds, oursSeconds)); }
};

class FreshCommands {
  public:
    explicit FreshCommands(FreshCommandSettings settings);

    // Why the programs cannot be timed here ("" when they can), as found
    // when this was made.
    const std::string& unavailable() const { return mUnavailable; }
    // Times every pair on every document of at least settings().minBytes;
    // nothing when unavailable().
    void run(const std::vector<CorpusDocument>& documents, std::ostream& log);

    const FreshCommandSettings& settings() const { return mSettings; }
    const std::vector<CommandFigures>& figures() const { return mFigures; }
    // The figures of the pair whose ours is `ours`, document by document.
    std::vector<const CommandFigures*> figuresOf(const std::string& ours) const;

  private:
    struct Pair {
        std::string ours;
        std::string peer;
        std::vector<std::string> oursArgv;  // "FILE" stands for the document's path
        std::vector<std::string> peerArgv;
    };

    std::string findUnavailable() const;
    void race(const Pair& pair, const CorpusDocument& document, std::ostream& log);

    FreshCommandSettings mSettings;
    std::string mUnavailable;
    std::vector<Pair> mPairs;
    std::vector<CommandFigures> mFigures;
};

}  // namespace bench

#endif  // KAVRIXML_BENCH_FRESHCOMMANDS_H
