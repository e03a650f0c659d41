#include "bench/Report.h"

#include <fstream>
#include <sstream>

#include "bench/BenchSupport.h"
#include "bench/Chart.h"
#include "bench/Format.h"
#include "bench/Stats.h"
#include "bench/SystemInfo.h"

namespace bench {

namespace {

std::string cell(double value, const std::string& text) {
    return value >= 0 ? text : "–";
}

std::string milliseconds(const std::vector<double>& seconds) {
    return seconds.empty() ? "–" : significant(1e3 * median(seconds));
}

}  // namespace

Report::Report(const Figures& figures, ReportSettings settings)
    : mFigures(figures), mSettings(std::move(settings)) {}

std::string Report::machineSection() const {
    const Comparison& comparison = mFigures.comparison();
    const FreshCommandSettings& commands = mFigures.commands().settings();
    std::ostringstream out;
    out << "## Machine and build\n\n"
        << "| | |\n|---|---|\n"
        << "| Date | " << now() << " |\n"
        << "| CPU | " << cpuModel() << ", pinned to CPU " << mSettings.cpu << " |\n"
        << "| System | " << kernel() << " |\n"
        << "| Compiler | " << compiler() << " |\n"
        << "| Flags | `" << mSettings.flags << "` (the peers are Debian's builds) |\n"
        << "| kavrixml | revision " << revision(mSettings.sourceDir) << " |\n";
    if (mFigures.commands().unavailable().empty()) {
        out << "| kavrixml tool | `" << commands.tool << "` ("
            << tableText(programVersion(commands.tool, "--version"))
            << "), built in this run from the same sources and flags |\n"
            << "| xmllint | libxml2-utils " << packageVersion("libxml2-utils") << " ("
            << tableText(programVersion(commands.xmllint, "--version")) << ") |\n"
            << "| xmlstarlet | xmlstarlet " << packageVersion("xmlstarlet") << " |\n";
    }
    for (const std::unique_ptr<Subject>& subject : mFigures.subjects()) {
        if (*subject->package() != '\0') {
            out << "| " << subject->name() << " | " << subject->package() << " "
                << packageVersion(subject->package()) << " |\n";
        }
    }
    out << "| CPU share | " << fixed(100.0 * comparison.cpuShare(), 0)
        << " % of the timed wall-clock time ran on the CPU (the rest, other processes had "
           "it; below about 90 % the figures are disturbed) |\n";
    out << "| Rounds | " << comparison.rounds() << " timed rounds (at most " << mSettings.maxRounds
        << "; after 3, no new round starts once " << fixed(mSettings.budgetSeconds, 0)
        << " s have passed) |\n\n";
    return out.str();
}

std::string Report::methodSection() const {
    std::ostringstream out;
    out << "## Method\n\n"
        << "- One program (`kavrixml_compare`) measures every library in the same run on the "
           "same bytes, held in memory. It pins itself to one CPU and sets "
           "`mallopt(M_MMAP_MAX, 0)` and a high `M_TRIM_THRESHOLD`, so that freed memory is "
           "reused instead of faulted in again. Before each timed sample one large block is "
           "allocated and freed, which makes glibc merge the small blocks that the previous "
           "library freed, so that no library pays for another's frees.\n"
        << "- **Parse**: the whole document into the library's tree, then free it, timed "
           "together with `std::chrono::steady_clock`. Throughput is input bytes per second "
           "(MB = 10^6 bytes). Every library starts from the same read-only bytes, so a copy "
           "it needs is part of its time: ours copies them into its memory stream, pugixml "
           "and tinyxml2 copy them into their documents, RapidXML parses in place and its "
           "copy of the buffer is included. expat runs with empty element and text handlers "
           "(events only, no tree). The memchr floor only searches for every `<`.\n"
        << "- **Write**: the tree of each library is built first, then serialised to a string "
           "in memory whose capacity is kept from one write to the next; throughput is output "
           "bytes per second. Ours writes with the declaration, tidy (tabs and line breaks) "
           "and compact; pugixml raw (`format_raw`) and indented; RapidXML without "
           "indentation; tinyxml2 compact; libxml2 `xmlDocDumpMemory`.\n"
        << "- **Memory**: measured in a fresh process for each library and document: "
           "`kavrixml_compare` starts itself again with `--heap-only LIBRARY DOCUMENT`, and "
           "that process parses the document once, so no pool, cache or free list kept from "
           "an earlier parse can hide a cost. malloc and its family are replaced in the "
           "benchmark programs only (never in the library), forwarding to glibc and counting "
           "live bytes with `malloc_usable_size`. The figure is the live heap after the parse "
           "minus before, with the document alive, divided by the input size; the input bytes "
           "themselves are not counted, but a copy that the tree needs (pugixml's, "
           "RapidXML's) is. Room that our block pool has taken from the heap but not yet "
           "handed out is not counted.\n"
        << "- **Fresh process**: on each corpus document of at least "
        << fixed(static_cast<double>(mFigures.commands().settings().minBytes) / kMB, 0)
        << " MB, the command-line tool and another program run as new processes that read "
           "the file themselves (`kavrixml check FILE` against `xmllint --noout FILE`, "
           "`kavrixml format -o /dev/null FILE` against `xmllint --format FILE` with its "
           "output sent to `/dev/null`, `kavrixml edit -u` of one attribute against "
           "`xmlstarlet ed -P -u` of the same); times are wall-clock, from the start of the "
           "process to its end, "
           "both pinned to the same CPU. One untimed run of each comes first; then "
        << mFigures.commands().settings().runs
        << " pairs of runs alternate the two commands, and the figure is the median over "
           "the pairs of the other program's time ÷ ours: how many times as fast the tool "
           "is.\n"
        << "- **Pairing**: each round runs every library once on each document, in an order "
           "rotated from round to round. The ratio ours ÷ library is taken within each round, "
           "and a table shows the median of those ratios over the rounds; MB/s columns are "
           "medians too. Small documents are parsed "
           "several times per sample (about 16 MB per sample). Summaries are geometric means "
           "over the documents where both were measured.\n"
        << "- **Checks**: before timing, every library's tree is checked to hold as many "
           "elements as expat reports, and every writer's output is read back by expat with "
           "the same count. A library that refuses a document is shown as refusing it. A "
           "document our reader rejects is reported loudly and left out. The checks keep all "
           "trees of a document alive at once, as the write phase of a round does, so the "
           "heap reaches its peak before the first timed round.\n"
        << "- Ratios greater than 1 mean we are faster (parse, write, fresh process) or, for "
           "memory, that we use more.\n\n";
    return out.str();
}

std::string Report::summarySection() const {
    std::ostringstream out;
    out << "## Summary\n\nGeometric means over the " << mFigures.reported().size()
        << " documents below.\n\n"
        << parseSummary() << writeSummary() << memorySummary();
    return out.str();
}

std::string Report::parseSummary() const {
    const std::vector<std::unique_ptr<Subject>>& subjects = mFigures.subjects();
    const int ours = mFigures.comparison().oursIndex();
    const int pugi = mFigures.findSubject("pugixml");
    std::ostringstream out;
    out << "### Parse\n\n| library | documents | MB/s | vs pugixml | kavrixml ÷ library |\n"
           "|---|---:|---:|---:|---:|\n";
    for (size_t i = 0; i < subjects.size(); ++i) {
        std::vector<double> rates;
        std::vector<double> vsPugi;
        std::vector<double> oursOver;
        for (const DocumentFigures* figures : mFigures.reported()) {
            const SubjectFigures& mine = figures->subjects[i];
            if (!mine.accepted || mine.parseRates.empty()) {
                continue;
            }
            rates.push_back(median(mine.parseRates));
            if (pugi >= 0 && figures->subjects[static_cast<size_t>(pugi)].accepted) {
                vsPugi.push_back(median(pairedRatios(
                    mine.parseRates, figures->subjects[static_cast<size_t>(pugi)].parseRates)));
            }
            if (ours >= 0) {
                oursOver.push_back(mFigures.parseRatio(*figures, i));
            }
        }
        out << "| " << subjects[i]->name() << " | " << rates.size() << " | "
            << rate(geometricMean(rates)) << " | " << ratio(geometricMean(vsPugi)) << " | "
            << (static_cast<int>(i) == ours ? "" : ratio(geometricMean(oursOver))) << " |\n";
    }
    return out.str();
}

std::string Report::writeSummary() const {
    const std::vector<Writer>& writers = mFigures.comparison().writers();
    const int tidy = mFigures.findWriter("kavrixml tidy");
    const int compact = mFigures.findWriter("kavrixml compact");
    const int pugiRaw = mFigures.findWriter("pugixml raw");
    std::ostringstream out;
    out << "\n### Write\n\n| writer | MB/s of output | vs pugixml raw | kavrixml tidy ÷ writer "
           "| kavrixml compact ÷ writer |\n|---|---:|---:|---:|---:|\n";
    for (size_t w = 0; w < writers.size(); ++w) {
        std::vector<double> rates;
        std::vector<double> vsRaw;
        std::vector<double> tidyOver;
        std::vector<double> compactOver;
        for (const DocumentFigures* figures : mFigures.reported()) {
            const WriterFigures& mine = figures->writers[w];
            if (!mine.valid || mine.rates.empty()) {
                continue;
            }
            rates.push_back(median(mine.rates));
            if (pugiRaw >= 0) {
                vsRaw.push_back(mFigures.writeRatio(*figures, w, static_cast<size_t>(pugiRaw)));
            }
            if (tidy >= 0) {
                tidyOver.push_back(mFigures.writeRatio(*figures, static_cast<size_t>(tidy), w));
            }
            if (compact >= 0) {
                compactOver.push_back(
                    mFigures.writeRatio(*figures, static_cast<size_t>(compact), w));
            }
        }
        out << "| " << writers[w].label << " | " << rate(geometricMean(rates)) << " | "
            << ratio(geometricMean(vsRaw)) << " | " << ratio(geometricMean(tidyOver)) << " | "
            << ratio(geometricMean(compactOver)) << " |\n";
    }
    return out.str();
}

std::string Report::memorySummary() const {
    const std::vector<std::unique_ptr<Subject>>& subjects = mFigures.subjects();
    const int ours = mFigures.comparison().oursIndex();
    std::ostringstream out;
    out << "\n### Memory (fresh process per library and document)\n\n"
           "| library | heap bytes per input byte | kavrixml ÷ library |\n|---|---:|---:|\n";
    for (size_t i = 0; i < subjects.size(); ++i) {
        if (subjects[i]->kind() != Subject::TREE) {
            continue;
        }
        std::vector<double> perByte;
        std::vector<double> oursOver;
        for (const DocumentFigures* figures : mFigures.reported()) {
            const double mine = mFigures.heapPerByte(*figures, i);
            if (mine <= 0) {
                continue;
            }
            perByte.push_back(mine);
            if (ours >= 0) {
                oursOver.push_back(mFigures.heapPerByte(*figures, static_cast<size_t>(ours)) /
                                   mine);
            }
        }
        out << "| " << subjects[i]->name() << " | " << fixed(geometricMean(perByte), 2) << " | "
            << (static_cast<int>(i) == ours ? "" : ratio(geometricMean(oursOver))) << " |\n";
    }
    out << "\n";
    return out.str();
}

std::string Report::targetSection(const std::vector<TargetOutcome>& outcomes) const {
    std::ostringstream out;
    out << "## Targets\n\nPaired within this run; a target on every document is judged by its "
           "worst document, one on the geometric mean by the mean over the documents. Where a "
           "target is missed, the verdict says by how much (relative to the threshold). The "
           "bundle targets come from the Google Benchmark run below.\n\n"
        << "| target | judged | figure | where | verdict | not applicable |\n"
        << "|---|---|---:|---|---|---|\n";
    for (const TargetOutcome& outcome : outcomes) {
        const bool mean = outcome.target.scope == Scope::GEOMETRIC_MEAN;
        const bool perCall = outcome.target.measure == Measure::BUNDLE;
        const std::pair<std::string, double>* worst = outcome.worst();
        std::string notApplicable;
        for (const std::string& reason : outcome.notApplicable) {
            notApplicable += (notApplicable.empty() ? "" : ", ") + tableText(reason);
        }
        out << "| " << title(outcome.target) << " | "
            << (perCall ? "per call"
                : mean  ? "geometric mean"
                        : "every document")
            << " | " << (worst ? figure(outcome.target, outcome.judged()) : "–") << " | "
            << (worst == nullptr ? "–"
                : mean           ? std::to_string(outcome.values.size()) + " documents"
                                 : worst->first)
            << " | " << emphasised(verdict(outcome)) << " | " << notApplicable << " |\n";
    }
    out << "\n";
    return out.str();
}

std::string Report::querySection() const {
    const QueryComparison* queries = mFigures.queries();
    if (queries == nullptr || queries->figures().empty()) {
        return std::string();
    }
    const std::vector<std::unique_ptr<Subject>>& subjects = mFigures.subjects();
    std::ostringstream out;
    out << "## XPath queries on the large documents\n\nEach library compiles each query once "
           "and evaluates it from the document's root on its own tree; median milliseconds per "
           "evaluation over the rounds, and the median of the paired ratios of our time ÷ the "
           "peer's (below 1: ours is faster). The first match asks for the first node only, "
           "which libxml2 cannot (it builds the whole set).\n\n";
    for (const Query& query : queryTable()) {
        out << "- " << query.name << ": `" << query.expression << "`\n";
    }
    out << "\n| document | query | result | library | ms | ours ÷ library |\n"
        << "|---|---|---:|---|---:|---:|\n";
    for (const QueryFigures& figures : queries->figures()) {
        const char* query = queryTable()[figures.query].name;
        if (!figures.problem.empty()) {
            out << "| " << figures.document << " | " << query << " | – | – | – | "
                << tableText(figures.problem) << " |\n";
            continue;
        }
        for (size_t i = 0; i < figures.subjects.size(); ++i) {
            const size_t subject = figures.subjects[i];
            const bool isOurs = static_cast<int>(subject) == mFigures.comparison().oursIndex();
            out << "| " << figures.document << " | " << query << " | "
                << fixed(figures.results[i], 0) << " | " << subjects[subject]->name() << " | "
                << milliseconds(figures.seconds[i]) << " | "
                << (isOurs ? std::string("–") : ratio(mFigures.queryRatio(figures, subject)))
                << " |\n";
        }
    }
    out << "\n";
    return out.str();
}

std::string Report::freshProcessSection() const {
    const FreshCommands& commands = mFigures.commands();
    std::ostringstream out;
    out << "## Fresh process: the tool against xmllint and xmlstarlet\n\n";
    if (!commands.unavailable().empty()) {
        out << "Not measured: " << commands.unavailable() << ".\n\n";
        return out.str();
    }
    out << "Median wall-clock milliseconds per run, and the median over the pairs of runs of "
           "the other program's time ÷ ours.\n\n"
        << "| document | MB | kavrixml | ms | other program | ms | kavrixml as fast |\n"
        << "|---|---:|---|---:|---|---:|---:|\n";
    for (const CommandFigures& figures : commands.figures()) {
        out << "| " << figures.document << " | "
            << fixed(static_cast<double>(figures.bytes) / kMB, 1) << " | `" << figures.ours
            << "` | " << milliseconds(figures.oursSeconds) << " | `" << figures.peer << "` | "
            << milliseconds(figures.peerSeconds) << " | "
            << (figures.problem.empty() ? ratio(figures.speedup()) : tableText(figures.problem))
            << " |\n";
    }
    out << "\n";
    return out.str();
}

std::string Report::oursSection() const {
    const BenchmarkJson& ours = mFigures.ours();
    std::ostringstream out;
    out << "## Our own figures (Google Benchmark, `kavrixml_bench`)\n\n";
    if (ours.empty()) {
        out << "Not available: `kavrixml_bench` did not run or wrote no JSON.\n\n";
        return out.str();
    }
    out << "Wall-clock times, pinned to one CPU; the process was on the CPU for "
        << fixed(100.0 * ours.cpuShare(), 0)
        << " % of them. Parse and write in MB/s (of input and of output); clone (copy and "
           "free), search and walk in milliseconds per call on the parsed document; the heap "
           "per input byte as measured by the same counter as above, but within the "
           "benchmark's process.\n\n"
        << "| document | parse MB/s | lenient parse MB/s | write tidy MB/s | write compact MB/s "
           "| deep clone ms | findBreadthFirst (missing) ms | visit ms | heap bytes per input "
           "byte |\n"
        << "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const DocumentFigures& document : mFigures.comparison().figures()) {
        const std::string& name = document.document->name;
        auto mbps = [&](const std::string& benchmark) {
            const double value = ours.counter(benchmark + "/" + name, "bytes_per_second");
            return cell(value, rate(value));
        };
        auto ms = [&](const std::string& benchmark) {
            const double value = ours.nanoseconds(benchmark + "/" + name);
            return cell(value, significant(value / 1e6));
        };
        const double heap = ours.counter("parse/" + name, "heap_per_input_byte");
        out << "| " << name << " | " << mbps("parse") << " | " << mbps("parse_lenient") << " | "
            << mbps("write_tidy") << " | " << mbps("write_compact") << " | " << ms("clone") << " | "
            << ms("find_missing") << " | " << ms("visit") << " | " << cell(heap, fixed(heap, 2))
            << " |\n";
    }
    out << "\n| bundle of 10,000 keys | ns per call |\n|---|---:|\n";
    for (const char* name :
         {"bundle/getText", "bundle/resolve_3_references", "bundle/plural_category_integer",
          "bundle/getPluralText", "bundle/getText_formatted_same_length", "message/format_number",
          "message/icu_format_number", "message/format_select2", "message/icu_format_select2",
          "message/compile_typical"}) {
        const double ns = ours.nanoseconds(name);
        out << "| `" << name << "` | " << cell(ns, fixed(ns, 0)) << " |\n";
    }
    out << "\n";
    return out.str();
}

std::string Report::documentSection(const DocumentFigures& figures) const {
    const CorpusDocument& document = *figures.document;
    const std::vector<std::unique_ptr<Subject>>& subjects = mFigures.subjects();
    std::ostringstream out;
    out << "### " << document.name << "\n\n"
        << document.kind << ", " << fixed(static_cast<double>(document.bytes.size()) / kMB, 2)
        << " MB, " << grouped(figures.referenceElements) << " elements";
    if (document.source != "generated") {
        out << ", from `" << document.source << "`";
    }
    out << ".\n\n";
    if (figures.rejectedByOurs) {
        out << "**Rejected by our reader:** " << tableText(figures.oursError)
            << ". No figures are reported for this document.\n\n";
        return out.str();
    }
    const int ours = mFigures.comparison().oursIndex();
    out << "| parse | MB/s | kavrixml ÷ library | heap bytes per input byte | kavrixml ÷ library "
           "|\n|---|---:|---:|---:|---:|\n";
    for (size_t i = 0; i < subjects.size(); ++i) {
        const SubjectFigures& mine = figures.subjects[i];
        out << "| " << subjects[i]->name() << " | ";
        if (!mine.accepted) {
            out << "refuses: " << tableText(mine.refusal) << " | | | |\n";
            continue;
        }
        const double perByte = mFigures.heapPerByte(figures, i);
        const bool isOurs = static_cast<int>(i) == ours;
        out << rate(median(mine.parseRates)) << " | "
            << (isOurs ? "" : ratio(mFigures.parseRatio(figures, i))) << " | "
            << (perByte > 0                ? fixed(perByte, 2)
                : mine.heapProblem.empty() ? "–"
                                           : tableText(mine.heapProblem))
            << " | ";
        if (!isOurs && perByte > 0 && ours >= 0) {
            out << ratio(mFigures.heapPerByte(figures, static_cast<size_t>(ours)) / perByte);
        }
        out << " |\n";
    }
    const std::vector<Writer>& writers = mFigures.comparison().writers();
    const int tidy = mFigures.findWriter("kavrixml tidy");
    const int compact = mFigures.findWriter("kavrixml compact");
    out << "\n| write | output MB | MB/s | kavrixml tidy ÷ writer | kavrixml compact ÷ writer "
           "|\n|---|---:|---:|---:|---:|\n";
    for (size_t w = 0; w < writers.size(); ++w) {
        const WriterFigures& mine = figures.writers[w];
        out << "| " << writers[w].label << " | ";
        if (!mine.valid) {
            out << tableText(mine.problem) << " | | | |\n";
            continue;
        }
        out << fixed(static_cast<double>(mine.outputBytes) / kMB, 2) << " | "
            << rate(median(mine.rates)) << " | "
            << (tidy >= 0 ? ratio(mFigures.writeRatio(figures, static_cast<size_t>(tidy), w)) : "–")
            << " | "
            << (compact >= 0 ? ratio(mFigures.writeRatio(figures, static_cast<size_t>(compact), w))
                             : "–")
            << " |\n";
    }
    bool residual = false;
    for (size_t i = 0; i < subjects.size(); ++i) {
        const long long bytes = figures.subjects[i].heapResidual;
        if (bytes == 0) {
            continue;
        }
        out << (residual ? "" : "\n") << "Note: " << subjects[i]->name() << ": ";
        if (bytes > 0) {
            out << bytes
                << " bytes allocated while parsing stayed live after the tree "
                   "was freed (kept for later parses).\n";
        } else {
            out << -bytes
                << " bytes more were freed than allocated while parsing and "
                   "freeing, so its heap figure may be low by as much.\n";
        }
        residual = true;
    }
    out << "\n";
    return out.str();
}

bool Report::write(std::ostream& log) const {
    std::ostringstream out;
    out << "# Benchmark results\n\n"
        << "Written by `make bench` (programs in `bench/`); rerun it rather than editing this "
           "file. Absolute MB/s on these shared virtual machines swing by 20–50 % between "
           "runs; the paired ratios are the figures to compare.\n\n"
        << "![Parse and write throughput per library](chart.svg)\n\n"
        << machineSection() << methodSection() << summarySection()
        << targetSection(mFigures.outcomes()) << querySection() << freshProcessSection()
        << oursSection() << "## Per document\n\n";
    bool allAccepted = true;
    for (const DocumentFigures& figures : mFigures.comparison().figures()) {
        out << documentSection(figures);
        allAccepted = allAccepted && !figures.rejectedByOurs;
    }
    if (mFigures.comparison().oursIndex() < 0) {
        out << "**Our reader and writer were not built**: only the peers were measured.\n\n";
    }
    std::ifstream notes(mSettings.notesPath);
    if (notes) {
        out << notes.rdbuf();
    }
    std::ofstream results(mSettings.resultsPath);
    results << out.str();
    results.close();
    if (!results) {
        log << "cannot write " << mSettings.resultsPath << std::endl;
        return false;
    }
    log << "wrote " << mSettings.resultsPath << std::endl;
    const bool charted = drawChart(mFigures, mSettings.chartPath, mSettings.workFolder, log);
    if (charted) {
        log << "wrote " << mSettings.chartPath << std::endl;
    }
    // Repeated at the end, where it cannot scroll out of sight.
    for (const DocumentFigures& figures : mFigures.comparison().figures()) {
        if (figures.rejectedByOurs) {
            log << "*** OUR READER REJECTS " << figures.document->name << ": " << figures.oursError
                << std::endl;
        }
    }
    return allAccepted && charted;
}

}  // namespace bench
