#include "bench/BenchmarkJson.h"

#include <fstream>

namespace bench {

namespace {

// A time of an entry ("real_time" or "cpu_time") in nanoseconds.
double entryNanoseconds(const nlohmann::json& entry, const char* key) {
    const std::string unit = entry.value("time_unit", "ns");
    const double scale = unit == "ms" ? 1e6 : unit == "us" ? 1e3 : unit == "s" ? 1e9 : 1.0;
    return entry.value(key, 0.0) * scale;
}

}  // namespace

BenchmarkJson::BenchmarkJson(const std::string& path) {
    if (path.empty()) {
        return;
    }
    std::ifstream in(path);
    if (!in) {
        return;
    }
    nlohmann::json all = nlohmann::json::parse(in, nullptr, false);
    if (all.is_discarded() || !all.contains("benchmarks")) {
        return;
    }
    const std::string wallClockSuffix = "/real_time";
    for (const nlohmann::json& entry : all["benchmarks"]) {
        std::string name = entry.value("name", "");
        if (name.size() > wallClockSuffix.size() &&
            name.compare(name.size() - wallClockSuffix.size(), std::string::npos,
                         wallClockSuffix) == 0) {
            name.resize(name.size() - wallClockSuffix.size());
        }
        mByName[name] = entry;
    }
}

double BenchmarkJson::nanoseconds(const std::string& name) const {
    auto found = mByName.find(name);
    return found == mByName.end() ? -1 : entryNanoseconds(found->second, "real_time");
}

double BenchmarkJson::counter(const std::string& name, const char* key) const {
    return hasCounter(name, key) ? mByName.find(name)->second[key].get<double>() : -1;
}

bool BenchmarkJson::hasCounter(const std::string& name, const char* key) const {
    auto found = mByName.find(name);
    return found != mByName.end() && found->second.contains(key);
}

std::vector<std::string> BenchmarkJson::suffixes(const std::string& prefix) const {
    std::vector<std::string> found;
    for (auto entry = mByName.lower_bound(prefix);
         entry != mByName.end() && entry->first.compare(0, prefix.size(), prefix) == 0; ++entry) {
        found.push_back(entry->first.substr(prefix.size()));
    }
    return found;
}

double BenchmarkJson::cpuShare() const {
    double cpu = 0;
    double wall = 0;
    for (const auto& entry : mByName) {
        cpu += entryNanoseconds(entry.second, "cpu_time");
        wall += entryNanoseconds(entry.second, "real_time");
    }
    return wall > 0 ? cpu / wall : 0;
}

}  // namespace bench
