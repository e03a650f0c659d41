// Shared set-up of the benchmark programs: the corpus that make_corpus.py
// writes into the build folder, and the steps that make timings on a shared
// virtual machine repeatable (one CPU, no memory handed back to the system).
//
//   bench::settleProcess(1);                     // pin to CPU 1, keep freed memory
//   std::vector<bench::CorpusDocument> docs = bench::loadCorpus(folder);
//   for (const bench::CorpusDocument& d : docs) { use(d.bytes); }
#ifndef KAVRIXML_BENCH_BENCHSUPPORT_H
#define KAVRIXML_BENCH_BENCHSUPPORT_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct CorpusDocument {
    std::string name;    // e.g. "attributes", "mime-20M"
    std::string kind;    // "synthetic", "real" or "real, repeated"
    std::string source;  // the file of a Debian package it was made from
    std::string path;    // where the document lies, for programs that read it themselves
    std::string bytes;
};

// Reads manifest.tsv of `folder` and every document it lists that `wanted`
// takes (all without it), in its order. Throws std::runtime_error when the
// manifest or a document cannot be read, or when no document is left.
std::vector<CorpusDocument> loadCorpus(
    const std::string& folder, const std::function<bool(const std::string& name)>& wanted = {});

std::string readFile(const std::string& path);

// Pins the process to `cpu` (the CPUs of these machines differ in speed) and
// sets malloc to keep freed memory instead of returning it to the system, so
// that only the first run of a test pays for first-touch page faults.
// Returns the CPU actually used (another one when `cpu` is not available).
int settleProcess(int cpu);

// "AMD EPYC ..." from /proc/cpuinfo, or "unknown".
std::string cpuModel();

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace bench

#endif  // KAVRIXML_BENCH_BENCHSUPPORT_H
