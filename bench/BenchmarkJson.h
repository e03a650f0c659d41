// BenchmarkJson reads the JSON that kavrixml_bench (Google Benchmark) writes
// with --benchmark_out, so that the report can show our own figures and judge
// the targets measured there. A missing or unreadable file reads as empty:
// the report then says the figures are not available.
//
//   bench::BenchmarkJson ours("build-bench/bench/ours.json");
//   double ns = ours.nanoseconds("bundle/getText");       // -1 when absent
//   double mbps = ours.counter("parse/mime", "bytes_per_second");
#ifndef KAVRIXML_BENCH_BENCHMARKJSON_H
#define KAVRIXML_BENCH_BENCHMARKJSON_H

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace bench {

class BenchmarkJson {
  public:
    explicit BenchmarkJson(const std::string& path);

    bool empty() const { return mByName.empty(); }
    // Wall-clock nanoseconds of one iteration of `name`, or -1.
    double nanoseconds(const std::string& name) const;
    // A user counter of `name` ("bytes_per_second"), or -1.
    double counter(const std::string& name, const char* key) const;
    // Whether `name` has that counter: one that may be below zero (heap
    // saved) cannot say its absence by -1.
    bool hasCounter(const std::string& name, const char* key) const;
    // What follows `prefix` in the names that begin with it ("parse/" gives
    // the documents), in name order.
    std::vector<std::string> suffixes(const std::string& prefix) const;
    // The share of the wall-clock time the benchmarks spent on the CPU.
    double cpuShare() const;

  private:
    // Benchmark names without Google Benchmark's "/real_time" suffix.
    std::map<std::string, nlohmann::json> mByName;
};

}  // namespace bench

#endif  // KAVRIXML_BENCH_BENCHMARKJSON_H
