// kavrixml_compare: the peer comparison. Parses, writes and measures the heap
// of every corpus document with our library and each peer in the same run,
// pairs the libraries within each repetition, and writes RESULTS.md and the
// chart. `make bench` runs it after kavrixml_bench.
//
//   kavrixml_compare [--repetitions N] [--budget SECONDS] [--ours-json FILE] ...
//
// Exits with 1 when our reader rejects a corpus document (after writing the
// report, which says so) or when the report cannot be written.
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "bench/BenchSupport.h"
#include "bench/Comparison.h"
#include "bench/Report.h"
#include "bench/Subject.h"

namespace {

struct Options {
    std::string corpus = KAVRIXML_BENCH_CORPUS;
    std::string only;
    int repetitions = 11;
    double budget = 300;
    int cpu = 1;
    bench::ReportSettings report;
};

void usage(const char* program) {
    std::cerr << "usage: " << program
              << " [--corpus DIR] [--repetitions N] [--budget SECONDS] [--cpu N]\n"
                 "       [--only NAME,NAME] [--results FILE] [--chart FILE] [--work DIR] "
                 "[--ours-json FILE]"
                 " [--notes FILE]\n";
}

bool parseOptions(int argc, char** argv, Options& options) {
    options.report.resultsPath = KAVRIXML_SOURCE_DIR "/bench/RESULTS.md";
    options.report.chartPath = KAVRIXML_SOURCE_DIR "/bench/chart.svg";
    options.report.notesPath = KAVRIXML_SOURCE_DIR "/bench/NOTES.md";
    options.report.workFolder = KAVRIXML_BENCH_WORK;
    options.report.flags = KAVRIXML_BENCH_FLAGS;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        const std::string value = argv[++i];
        if (option == "--corpus") {
            options.corpus = value;
        } else if (option == "--repetitions") {
            options.repetitions = std::atoi(value.c_str());
        } else if (option == "--budget") {
            options.budget = std::atof(value.c_str());
        } else if (option == "--cpu") {
            options.cpu = std::atoi(value.c_str());
        } else if (option == "--only") {
            options.only = "," + value + ",";
        } else if (option == "--results") {
            options.report.resultsPath = value;
        } else if (option == "--chart") {
            options.report.chartPath = value;
        } else if (option == "--work") {
            options.report.workFolder = value;
        } else if (option == "--ours-json") {
            options.report.oursJsonPath = value;
        } else if (option == "--notes") {
            options.report.notesPath = value;
        } else {
            return false;
        }
    }
    return options.repetitions > 0;
}

void keepOnly(std::vector<bench::CorpusDocument>& documents, const std::string& only) {
    if (only.empty()) {
        return;
    }
    std::vector<bench::CorpusDocument> kept;
    for (bench::CorpusDocument& document : documents) {
        if (only.find("," + document.name + ",") != std::string::npos) {
            kept.push_back(std::move(document));
        }
    }
    documents.swap(kept);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        usage(argv[0]);
        return 2;
    }
    options.report.cpu = bench::settleProcess(options.cpu);
    options.report.maxRounds = options.repetitions;
    options.report.budgetSeconds = options.budget;

    std::vector<bench::CorpusDocument> documents;
    try {
        documents = bench::loadCorpus(options.corpus);
    } catch (const std::exception& e) {
        std::cerr << "kavrixml_compare: " << e.what() << std::endl;
        return 1;
    }
    keepOnly(documents, options.only);

    std::vector<std::unique_ptr<bench::Subject>> subjects = bench::makeSubjects();
    std::cerr << "libraries:";
    for (const auto& subject : subjects) {
        std::cerr << " [" << subject->name() << "]";
    }
    std::cerr << "\n"
              << documents.size() << " documents, up to " << options.repetitions << " rounds, CPU "
              << options.report.cpu << std::endl;

    bench::Comparison comparison(subjects, documents);
    comparison.run(options.repetitions, options.budget, std::cerr);

    bench::Report report(comparison, subjects, options.report);
    const bool complete = report.write(std::cerr);
    for (const bench::TargetOutcome& target : report.targets()) {
        std::cout << target.what << ": " << bench::verdict(target) << "\n";
    }
    return complete ? 0 : 1;
}
