// kavrixml_compare: the peer comparison. Parses, writes and measures the heap
// of every corpus document with our library and each peer in the same run,
// pairs the libraries within each repetition, times the command-line tool
// against xmllint in fresh processes, and writes RESULTS.md and the chart.
// `make bench` runs it after kavrixml_bench.
//
//   kavrixml_compare [--repetitions N] [--budget SECONDS] [--ours-json FILE] ...
//   kavrixml_compare --heap-only LIBRARY DOCUMENT   (started by itself; see FreshHeap.h)
//
// Exits with 1 when our reader rejects a corpus document (after writing the
// report, which says so) or when the report cannot be written.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

#include "bench/BenchSupport.h"
#include "bench/BenchmarkJson.h"
#include "bench/Comparison.h"
#include "bench/Figures.h"
#include "bench/FreshCommands.h"
#include "bench/FreshHeap.h"
#include "bench/Queries.h"
#include "bench/Report.h"
#include "bench/Stats.h"
#include "bench/Subject.h"

#ifndef KAVRIXML_BENCH_TOOL
#define KAVRIXML_BENCH_TOOL ""
#endif

namespace {

struct Options {
    std::string corpus = KAVRIXML_BENCH_CORPUS;
    std::string only;
    std::string oursJson;
    int repetitions = 11;
    double budget = 300;
    int cpu = 1;
    bool queriesOnly = false;  // --queries-only: time the XPath queries and print them
    std::string heapLibrary;   // with heapDocument: the --heap-only mode
    std::string heapDocument;
    bench::FreshCommandSettings commands;
    bench::ReportSettings report;
};

void usage(const char* program) {
    std::cerr << "usage: " << program
              << " [--corpus DIR] [--repetitions N] [--budget SECONDS] [--cpu N]\n"
                 "       [--only NAME,NAME] [--results FILE] [--chart FILE] [--work DIR]\n"
                 "       [--ours-json FILE] [--notes FILE] [--tool FILE] [--xmllint FILE]\n"
                 "       [--tool-runs N] [--queries-only]\n"
                 "   or: "
              << program << " [--corpus DIR] --heap-only LIBRARY DOCUMENT\n";
}

// Sets the option at argv[i] from the value after it; false for an unknown
// option or a missing value.
bool setOption(int argc, char** argv, int& i, Options& options) {
    const std::string option = argv[i];
    if (option == "--queries-only") {
        options.queriesOnly = true;
        return true;
    }
    if (i + 1 >= argc) {
        return false;
    }
    const std::string value = argv[++i];
    if (option == "--heap-only") {
        if (i + 1 >= argc) {
            return false;
        }
        options.heapLibrary = value;
        options.heapDocument = argv[++i];
    } else if (option == "--corpus") {
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
        options.oursJson = value;
    } else if (option == "--notes") {
        options.report.notesPath = value;
    } else if (option == "--tool") {
        options.commands.tool = value;
    } else if (option == "--xmllint") {
        options.commands.xmllint = value;
    } else if (option == "--tool-runs") {
        options.commands.runs = std::atoi(value.c_str());
    } else {
        return false;
    }
    return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
    options.report.resultsPath = KAVRIXML_SOURCE_DIR "/bench/RESULTS.md";
    options.report.chartPath = KAVRIXML_SOURCE_DIR "/bench/chart.svg";
    options.report.notesPath = KAVRIXML_SOURCE_DIR "/bench/NOTES.md";
    options.report.workFolder = KAVRIXML_BENCH_WORK;
    options.report.sourceDir = KAVRIXML_SOURCE_DIR;
    options.report.flags = KAVRIXML_BENCH_FLAGS;
    options.commands.tool = KAVRIXML_BENCH_TOOL;
    for (int i = 1; i < argc; ++i) {
        if (!setOption(argc, argv, i, options)) {
            return false;
        }
    }
    // Fewer than five pairs give no median worth judging a target by.
    return options.repetitions > 0 && options.commands.runs >= 5;
}

// One line per document, query and library: median milliseconds.
void printQueries(const bench::QueryComparison& queries,
                  const std::vector<std::unique_ptr<bench::Subject>>& subjects) {
    for (const bench::QueryFigures& figures : queries.figures()) {
        std::cout << figures.document << "\t" << bench::queryTable()[figures.query].name;
        if (!figures.problem.empty()) {
            std::cout << "\t" << figures.problem;
        }
        for (size_t i = 0; i < figures.subjects.size(); ++i) {
            std::cout << "\t" << subjects[figures.subjects[i]]->name() << " "
                      << 1e3 * bench::median(figures.seconds[i]) << " ms";
        }
        std::cout << "\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        usage(argv[0]);
        return 2;
    }
    options.report.cpu = bench::settleProcess(options.cpu);
    if (!options.heapLibrary.empty()) {
        return bench::runHeapOnly(options.corpus, options.heapLibrary, options.heapDocument);
    }
    options.report.maxRounds = options.repetitions;
    options.report.budgetSeconds = options.budget;

    std::vector<bench::CorpusDocument> documents;
    try {
        documents = bench::loadCorpus(options.corpus, [&](const std::string& name) {
            return options.only.empty() || options.only.find("," + name + ",") != std::string::npos;
        });
    } catch (const std::exception& e) {
        std::cerr << "kavrixml_compare: " << e.what() << std::endl;
        return 1;
    }

    std::vector<std::unique_ptr<bench::Subject>> subjects = bench::makeSubjects();
    std::cerr << "libraries:";
    for (const auto& subject : subjects) {
        std::cerr << " [" << subject->name() << "]";
    }
    std::cerr << "\n"
              << documents.size() << " documents, up to " << options.repetitions << " rounds, CPU "
              << options.report.cpu << std::endl;

    if (options.queriesOnly) {
        bench::QueryComparison queries(subjects, documents);
        queries.run(options.repetitions, std::cerr);
        printQueries(queries, subjects);
        return 0;
    }

    const std::string corpus = options.corpus;
    bench::Comparison comparison(
        subjects, documents,
        [&corpus](const bench::Subject& subject, const bench::CorpusDocument& document) {
            return bench::measureHeapInFreshProcess(corpus, subject.name(), document.name);
        });
    comparison.run(options.repetitions, options.budget, std::cerr);

    // The query rounds are fewer: a libxml2 query on a large document takes
    // about a second.
    bench::QueryComparison queries(subjects, documents);
    queries.run(std::min(options.repetitions, 5), std::cerr);

    std::cerr << "fresh-process runs of the tool" << std::endl;
    bench::FreshCommands commands(options.commands);
    commands.run(documents, std::cerr);

    const bench::BenchmarkJson ours(options.oursJson);
    const bench::Figures figures(comparison, subjects, commands, ours, &queries);
    const bench::Report report(figures, options.report);
    const bool complete = report.write(std::cerr);
    for (const bench::TargetOutcome& outcome : figures.outcomes()) {
        std::cout << bench::title(outcome.target) << ": " << bench::verdict(outcome) << "\n";
    }
    return complete ? 0 : 1;
}
