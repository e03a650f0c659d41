#include "bench/BenchSupport.h"

#include <malloc.h>
#include <sched.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace bench {

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

bool pinTo(int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof(set), &set) == 0;
}

}  // namespace

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<CorpusDocument> loadCorpus(const std::string& folder,
                                       const std::function<bool(const std::string&)>& wanted) {
    std::istringstream manifest(readFile(folder + "/manifest.tsv"));
    std::vector<CorpusDocument> documents;
    std::string line;
    while (std::getline(manifest, line)) {
        std::vector<std::string> fields = splitTabs(line);
        if (fields.size() != 4) {
            throw std::runtime_error("bad manifest line: " + line);
        }
        if (wanted && !wanted(fields[0])) {
            continue;
        }
        CorpusDocument document;
        document.name = fields[0];
        document.kind = fields[2];
        document.source = fields[3];
        document.path = folder + "/" + fields[1];
        document.bytes = readFile(document.path);
        documents.push_back(std::move(document));
    }
    if (documents.empty()) {
        throw std::runtime_error("no document of the corpus in " + folder);
    }
    return documents;
}

int settleProcess(int cpu) {
    // Large blocks would otherwise come from mmap and go back to the system on
    // free, paying page faults again on every parse of a 20 MB document.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_TOP_PAD, 64 << 20);
    if (pinTo(cpu)) {
        return cpu;
    }
    return pinTo(0) ? 0 : -1;
}

std::string cpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 10, "model name") == 0) {
            size_t colon = line.find(':');
            if (colon != std::string::npos) {
                return line.substr(line.find_first_not_of(' ', colon + 1));
            }
        }
    }
    return "unknown";
}

}  // namespace bench
