#include "bench/Report.h"

#include <sys/utsname.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "bench/BenchSupport.h"
#include "bench/Stats.h"

#ifndef KAVRIXML_BENCH_GNUPLOT
#define KAVRIXML_BENCH_GNUPLOT "gnuplot"
#endif

namespace bench {

namespace {

const double kMB = 1e6;

std::string fixed(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

// Three significant digits (all digits above 999), enough for figures that
// swing by 20 %.
std::string significant(double value) {
    return fixed(value, value >= 100 ? 0 : value >= 10 ? 1 : 2);
}

std::string rate(double bytesPerSecond) {
    return significant(bytesPerSecond / kMB);
}

// Two decimals, or three for ratios below 0.1 (against the memchr floor).
std::string ratio(double value) {
    return value > 0 ? fixed(value, value < 0.1 ? 3 : 2) + " ×" : "–";
}

std::string grouped(size_t value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<size_t>(at), ",");
    }
    return digits;
}

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

std::string packageVersion(const char* package) {
    std::string version =
        commandOutput(std::string("dpkg-query -W -f='${Version}' ") + package + " 2>/dev/null");
    return version.empty() ? "?" : version;
}

std::string today() {
    char text[32];
    std::time_t now = std::time(nullptr);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    return text;
}

std::string compiler() {
#if defined(__clang__)
    return std::string("Clang ") + __clang_version__;
#elif defined(__GNUC__)
    return std::string("GCC ") + __VERSION__;
#else
    return "unknown";
#endif
}

// Our Google Benchmark figures by benchmark name.
std::map<std::string, nlohmann::json> readOurFigures(const std::string& path) {
    std::map<std::string, nlohmann::json> byName;
    if (path.empty()) {
        return byName;
    }
    std::ifstream in(path);
    if (!in) {
        return byName;
    }
    nlohmann::json all = nlohmann::json::parse(in, nullptr, false);
    if (all.is_discarded() || !all.contains("benchmarks")) {
        return byName;
    }
    const std::string wallClockSuffix = "/real_time";
    for (const nlohmann::json& entry : all["benchmarks"]) {
        std::string name = entry.value("name", "");
        if (name.size() > wallClockSuffix.size() &&
            name.compare(name.size() - wallClockSuffix.size(), std::string::npos,
                         wallClockSuffix) == 0) {
            name.resize(name.size() - wallClockSuffix.size());
        }
        byName[name] = entry;
    }
    return byName;
}

// A time of a Google Benchmark entry ("real_time" or "cpu_time") in nanoseconds.
double entryNanoseconds(const nlohmann::json& entry, const char* key) {
    const std::string unit = entry.value("time_unit", "ns");
    const double scale = unit == "ms" ? 1e6 : unit == "us" ? 1e3 : unit == "s" ? 1e9 : 1.0;
    return entry.value(key, 0.0) * scale;
}

// Wall-clock time of one iteration in nanoseconds, or -1.
double nanoseconds(const std::map<std::string, nlohmann::json>& figures, const std::string& name) {
    auto found = figures.find(name);
    return found == figures.end() ? -1 : entryNanoseconds(found->second, "real_time");
}

double counter(const std::map<std::string, nlohmann::json>& figures, const std::string& name,
               const char* key) {
    auto found = figures.find(name);
    if (found == figures.end() || !found->second.contains(key)) {
        return -1;
    }
    return found->second[key].get<double>();
}

std::string cell(double value, const std::string& text) {
    return value >= 0 ? text : "–";
}

// A library's message made safe for a Markdown table cell: its bars would
// end the cell, and a line break the row.
std::string tableText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '|') {
            out += "\\|";
        } else {
            out += c == '\n' || c == '\r' ? ' ' : c;
        }
    }
    return out;
}

// A bar's label, saying when its mean covers fewer documents than the title.
std::string chartLabel(const std::string& name, size_t measured, size_t documents) {
    if (measured == documents) {
        return name;
    }
    return name + " (" + std::to_string(measured) + " docs)";
}

// "missed on 3 of 12; ..." with its first word in bold.
std::string emphasised(const std::string& verdict) {
    const size_t space = verdict.find(' ');
    if (space == std::string::npos) {
        return verdict;
    }
    return "**" + verdict.substr(0, space) + "**" + verdict.substr(space);
}

// The revision the library was built from, and whether its sources differed.
std::string revision() {
    const std::string git = "git -C '" KAVRIXML_SOURCE_DIR "' ";
    std::string text = commandOutput(git + "rev-parse --short HEAD 2>/dev/null");
    if (text.empty()) {
        return "unknown";
    }
    if (std::system((git + "diff --quiet HEAD -- core framework xml i18n 2>/dev/null").c_str()) !=
        0) {
        text += ", with uncommitted changes to the library";
    }
    return text;
}

}  // namespace

Report::Report(const Comparison& comparison, const std::vector<std::unique_ptr<Subject>>& subjects,
               ReportSettings settings)
    : mComparison(comparison), mSubjects(subjects), mSettings(std::move(settings)) {}

int Report::findSubject(const char* name) const {
    for (size_t i = 0; i < mSubjects.size(); ++i) {
        if (std::string(mSubjects[i]->name()) == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int Report::findWriter(const std::string& label) const {
    const std::vector<Writer>& writers = mComparison.writers();
    for (size_t i = 0; i < writers.size(); ++i) {
        if (writers[i].label == label) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<const DocumentFigures*> Report::reported() const {
    std::vector<const DocumentFigures*> documents;
    for (const DocumentFigures& figures : mComparison.figures()) {
        if (!figures.rejectedByOurs) {
            documents.push_back(&figures);
        }
    }
    return documents;
}

double Report::parseRatio(const DocumentFigures& figures, size_t subject) const {
    const int ours = mComparison.oursIndex();
    if (ours < 0) {
        return 0;
    }
    return median(pairedRatios(figures.subjects[static_cast<size_t>(ours)].parseRates,
                               figures.subjects[subject].parseRates));
}

double Report::writeRatio(const DocumentFigures& figures, size_t ours, size_t writer) const {
    return median(pairedRatios(figures.writers[ours].rates, figures.writers[writer].rates));
}

double Report::heapPerByte(const DocumentFigures& figures, size_t subject) const {
    const long long bytes = figures.subjects[subject].heapBytes;
    if (bytes < 0 || figures.document->bytes.empty()) {
        return 0;
    }
    return static_cast<double>(bytes) / static_cast<double>(figures.document->bytes.size());
}

std::vector<TargetOutcome> Report::targets() const {
    std::vector<TargetOutcome> outcomes;
    const int ours = mComparison.oursIndex();
    auto parseTarget = [&](const char* peer, double threshold) {
        TargetOutcome target{std::string("Parse ≥ ") + fixed(threshold, 1) + " × " + peer,
                             threshold,
                             true,
                             false,
                             {},
                             {}};
        const int p = findSubject(peer);
        for (const DocumentFigures* figures : reported()) {
            if (p < 0 || ours < 0) {
                break;
            }
            if (!figures->subjects[static_cast<size_t>(p)].accepted) {
                target.notApplicable.push_back(figures->document->name + " (" + peer +
                                               " refuses it)");
                continue;
            }
            target.values.emplace_back(figures->document->name,
                                       parseRatio(*figures, static_cast<size_t>(p)));
        }
        outcomes.push_back(target);
    };
    auto writeTarget = [&](const char* style, const char* peer, double threshold) {
        TargetOutcome target{
            std::string("Write ") + style + " ≥ " + fixed(threshold, 1) + " × " + peer,
            threshold,
            true,
            false,
            {},
            {}};
        const int w = findWriter(std::string("kavrixml ") + style);
        const int p = findWriter(peer);
        for (const DocumentFigures* figures : reported()) {
            if (w < 0 || p < 0) {
                break;
            }
            if (!figures->writers[static_cast<size_t>(p)].valid) {
                target.notApplicable.push_back(figures->document->name + " (" + peer + ": " +
                                               figures->writers[static_cast<size_t>(p)].problem +
                                               ")");
                continue;
            }
            target.values.emplace_back(
                figures->document->name,
                writeRatio(*figures, static_cast<size_t>(w), static_cast<size_t>(p)));
        }
        outcomes.push_back(target);
    };
    auto memoryTarget = [&](const char* what, const char* peer, double threshold, bool strict) {
        TargetOutcome target{
            std::string("Memory ") + what + " " + peer, threshold, false, strict, {}, {}};
        const int p = findSubject(peer);
        for (const DocumentFigures* figures : reported()) {
            if (p < 0 || ours < 0) {
                break;
            }
            const double theirs = heapPerByte(*figures, static_cast<size_t>(p));
            if (theirs <= 0) {
                target.notApplicable.push_back(figures->document->name + " (" + peer +
                                               " refuses it)");
                continue;
            }
            target.values.emplace_back(figures->document->name,
                                       heapPerByte(*figures, static_cast<size_t>(ours)) / theirs);
        }
        outcomes.push_back(target);
    };
    parseTarget("tinyxml2", 1.5);
    parseTarget("libxml2", 2.0);
    parseTarget("expat (events)", 1.0);
    writeTarget("tidy", "tinyxml2 compact", 1.5);
    writeTarget("compact", "tinyxml2 compact", 1.5);
    writeTarget("tidy", "pugixml raw", 0.7);
    writeTarget("compact", "pugixml raw", 0.7);
    memoryTarget("< 1.0 ×", "libxml2", 1.0, true);
    memoryTarget("≤ 2.0 ×", "tinyxml2", 2.0, false);

    const std::map<std::string, nlohmann::json> ourFigures = readOurFigures(mSettings.oursJsonPath);
    auto bundleTarget = [&](const char* what, const char* benchmark, double limit) {
        TargetOutcome target{what, limit, false, true, {}, {}};
        const double ns = nanoseconds(ourFigures, benchmark);
        if (ns >= 0) {
            target.values.emplace_back("10,000 keys", ns);
        }
        outcomes.push_back(target);
    };
    bundleTarget("Bundle::getText < 150 ns", "bundle/getText", 150);
    bundleTarget("Bundle::resolve, 3 references < 1000 ns", "bundle/resolve_3_references", 1000);
    return outcomes;
}

std::string Report::machineSection() const {
    struct utsname system;
    std::string kernel = uname(&system) == 0 ? std::string(system.sysname) + " " + system.release +
                                                   " " + system.machine
                                             : "unknown";
    std::ostringstream out;
    out << "## Machine and build\n\n"
        << "| | |\n|---|---|\n"
        << "| Date | " << today() << " |\n"
        << "| CPU | " << cpuModel() << ", pinned to CPU " << mSettings.cpu << " |\n"
        << "| System | " << kernel << " |\n"
        << "| Compiler | " << compiler() << " |\n"
        << "| Flags | `" << mSettings.flags << "` (the peers are Debian's builds) |\n"
        << "| kavrixml | revision " << revision() << " |\n";
    for (const std::unique_ptr<Subject>& subject : mSubjects) {
        if (*subject->package() != '\0') {
            out << "| " << subject->name() << " | " << subject->package() << " "
                << packageVersion(subject->package()) << " |\n";
        }
    }
    out << "| CPU share | " << fixed(100.0 * mComparison.cpuShare(), 0)
        << " % of the timed wall-clock time ran on the CPU (the rest, other processes had "
           "it; below about 90 % the figures are disturbed) |\n";
    out << "| Rounds | " << mComparison.rounds() << " timed rounds (at most " << mSettings.maxRounds
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
        << "- **Memory**: malloc and its family are replaced in the benchmark programs only "
           "(never in the library), forwarding to glibc and counting live bytes with "
           "`malloc_usable_size`. The figure is the live heap after the parse minus before, "
           "with the document alive, divided by the input size; the input bytes themselves "
           "are not counted, but a copy that the tree needs (pugixml's, RapidXML's) is. Our "
           "library keeps nodes and attributes in a block pool that never hands memory back: "
           "blocks it reuses from earlier parses count, spare room left in its chunks does "
           "not.\n"
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
        << "- Ratios greater than 1 mean we are faster (parse, write) or, for memory, that "
           "we use more.\n\n";
    return out.str();
}

std::string Report::summarySection() const {
    const std::vector<const DocumentFigures*> documents = reported();
    const int ours = mComparison.oursIndex();
    const int pugi = findSubject("pugixml");
    std::ostringstream out;
    out << "## Summary\n\nGeometric means over the " << documents.size() << " documents below.\n\n";

    out << "### Parse\n\n| library | documents | MB/s | vs pugixml | kavrixml ÷ library |\n"
           "|---|---:|---:|---:|---:|\n";
    for (size_t i = 0; i < mSubjects.size(); ++i) {
        std::vector<double> rates;
        std::vector<double> vsPugi;
        std::vector<double> oursOver;
        for (const DocumentFigures* figures : documents) {
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
                oursOver.push_back(parseRatio(*figures, i));
            }
        }
        out << "| " << mSubjects[i]->name() << " | " << rates.size() << " | "
            << rate(geometricMean(rates)) << " | " << ratio(geometricMean(vsPugi)) << " | "
            << (static_cast<int>(i) == ours ? "" : ratio(geometricMean(oursOver))) << " |\n";
    }

    const std::vector<Writer>& writers = mComparison.writers();
    const int tidy = findWriter("kavrixml tidy");
    const int compact = findWriter("kavrixml compact");
    const int pugiRaw = findWriter("pugixml raw");
    out << "\n### Write\n\n| writer | MB/s of output | vs pugixml raw | kavrixml tidy ÷ writer "
           "| kavrixml compact ÷ writer |\n|---|---:|---:|---:|---:|\n";
    for (size_t w = 0; w < writers.size(); ++w) {
        std::vector<double> rates;
        std::vector<double> vsRaw;
        std::vector<double> tidyOver;
        std::vector<double> compactOver;
        for (const DocumentFigures* figures : documents) {
            const WriterFigures& mine = figures->writers[w];
            if (!mine.valid || mine.rates.empty()) {
                continue;
            }
            rates.push_back(median(mine.rates));
            if (pugiRaw >= 0) {
                vsRaw.push_back(writeRatio(*figures, w, static_cast<size_t>(pugiRaw)));
            }
            if (tidy >= 0) {
                tidyOver.push_back(writeRatio(*figures, static_cast<size_t>(tidy), w));
            }
            if (compact >= 0) {
                compactOver.push_back(writeRatio(*figures, static_cast<size_t>(compact), w));
            }
        }
        out << "| " << writers[w].label << " | " << rate(geometricMean(rates)) << " | "
            << ratio(geometricMean(vsRaw)) << " | " << ratio(geometricMean(tidyOver)) << " | "
            << ratio(geometricMean(compactOver)) << " |\n";
    }

    out << "\n### Memory\n\n| library | heap bytes per input byte | kavrixml ÷ library |\n"
           "|---|---:|---:|\n";
    for (size_t i = 0; i < mSubjects.size(); ++i) {
        if (mSubjects[i]->kind() != Subject::TREE) {
            continue;
        }
        std::vector<double> perByte;
        std::vector<double> oursOver;
        for (const DocumentFigures* figures : documents) {
            const double mine = heapPerByte(*figures, i);
            if (mine <= 0) {
                continue;
            }
            perByte.push_back(mine);
            if (ours >= 0) {
                oursOver.push_back(heapPerByte(*figures, static_cast<size_t>(ours)) / mine);
            }
        }
        out << "| " << mSubjects[i]->name() << " | " << fixed(geometricMean(perByte), 2) << " | "
            << (static_cast<int>(i) == ours ? "" : ratio(geometricMean(oursOver))) << " |\n";
    }
    out << "\n";
    return out.str();
}

std::string Report::targetSection(const std::vector<TargetOutcome>& outcomes) const {
    std::ostringstream out;
    out << "## Targets\n\nEach target holds for every document (paired median ratios of one "
           "run); the bundle targets come from the Google Benchmark run below.\n\n"
        << "| target | worst document | worst | verdict | not applicable |\n"
        << "|---|---|---:|---|---|\n";
    for (const TargetOutcome& target : outcomes) {
        const std::pair<std::string, double>* worst = target.worst();
        const bool nanos = target.what.rfind("Bundle", 0) == 0;
        std::string notApplicable;
        for (const std::string& reason : target.notApplicable) {
            notApplicable += (notApplicable.empty() ? "" : ", ") + tableText(reason);
        }
        out << "| " << target.what << " | " << (worst ? worst->first : "–") << " | "
            << (worst ? (nanos ? fixed(worst->second, 0) + " ns" : ratio(worst->second)) : "–")
            << " | " << emphasised(verdict(target)) << " | " << notApplicable << " |\n";
    }
    out << "\n";
    return out.str();
}

std::string Report::oursSection() const {
    const std::map<std::string, nlohmann::json> figures = readOurFigures(mSettings.oursJsonPath);
    std::ostringstream out;
    out << "## Our own figures (Google Benchmark, `kavrixml_bench`)\n\n";
    if (figures.empty()) {
        out << "Not available: `kavrixml_bench` did not run or wrote no JSON.\n\n";
        return out.str();
    }
    double cpu = 0;
    double wall = 0;
    for (const auto& entry : figures) {
        cpu += entryNanoseconds(entry.second, "cpu_time");
        wall += entryNanoseconds(entry.second, "real_time");
    }
    out << "Wall-clock times, pinned to one CPU; the process was on the CPU for "
        << fixed(wall > 0 ? 100.0 * cpu / wall : 0.0, 0)
        << " % of them. Parse and write in MB/s (of input and of output); clone (copy and "
           "free), search and walk in milliseconds per call on the parsed document; the heap "
           "per input byte as measured by the same counter as above.\n\n"
        << "| document | parse MB/s | write tidy MB/s | write compact MB/s | deep clone ms "
           "| findBreadthFirst (missing) ms | visit ms | heap bytes per input byte |\n"
        << "|---|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const DocumentFigures& document : mComparison.figures()) {
        const std::string& name = document.document->name;
        auto mbps = [&](const std::string& benchmark) {
            const double value = counter(figures, benchmark + "/" + name, "bytes_per_second");
            return cell(value, rate(value));
        };
        auto ms = [&](const std::string& benchmark) {
            const double value = nanoseconds(figures, benchmark + "/" + name);
            return cell(value, significant(value / 1e6));
        };
        const double heap = counter(figures, "parse/" + name, "heap_per_input_byte");
        out << "| " << name << " | " << mbps("parse") << " | " << mbps("write_tidy") << " | "
            << mbps("write_compact") << " | " << ms("clone") << " | " << ms("find_missing") << " | "
            << ms("visit") << " | " << cell(heap, fixed(heap, 2)) << " |\n";
    }
    out << "\n| bundle of 10,000 keys | ns per call |\n|---|---:|\n";
    for (const char* name : {"bundle/getText", "bundle/resolve_3_references"}) {
        const double ns = nanoseconds(figures, name);
        out << "| `" << name << "` | " << cell(ns, fixed(ns, 0)) << " |\n";
    }
    out << "\n";
    return out.str();
}

std::string Report::documentSection(const DocumentFigures& figures) const {
    const CorpusDocument& document = *figures.document;
    std::ostringstream out;
    out << "### " << document.name << "\n\n"
        << document.kind << ", " << fixed(document.bytes.size() / kMB, 2) << " MB, "
        << grouped(figures.referenceElements) << " elements";
    if (document.source != "generated") {
        out << ", from `" << document.source << "`";
    }
    out << ".\n\n";
    if (figures.rejectedByOurs) {
        out << "**Rejected by our reader:** " << tableText(figures.oursError)
            << ". No figures are reported for this document.\n\n";
        return out.str();
    }
    const int ours = mComparison.oursIndex();
    out << "| parse | MB/s | kavrixml ÷ library | heap bytes per input byte | kavrixml ÷ library "
           "|\n|---|---:|---:|---:|---:|\n";
    for (size_t i = 0; i < mSubjects.size(); ++i) {
        const SubjectFigures& mine = figures.subjects[i];
        out << "| " << mSubjects[i]->name() << " | ";
        if (!mine.accepted) {
            out << "refuses: " << tableText(mine.refusal) << " | | | |\n";
            continue;
        }
        const double perByte = heapPerByte(figures, i);
        const bool isOurs = static_cast<int>(i) == ours;
        out << rate(median(mine.parseRates)) << " | "
            << (isOurs ? "" : ratio(parseRatio(figures, i))) << " | "
            << (perByte > 0 ? fixed(perByte, 2) : "–") << " | ";
        if (!isOurs && perByte > 0 && ours >= 0) {
            out << ratio(heapPerByte(figures, static_cast<size_t>(ours)) / perByte);
        }
        out << " |\n";
    }
    const std::vector<Writer>& writers = mComparison.writers();
    const int tidy = findWriter("kavrixml tidy");
    const int compact = findWriter("kavrixml compact");
    out << "\n| write | output MB | MB/s | kavrixml tidy ÷ writer | kavrixml compact ÷ writer "
           "|\n|---|---:|---:|---:|---:|\n";
    for (size_t w = 0; w < writers.size(); ++w) {
        const WriterFigures& mine = figures.writers[w];
        out << "| " << writers[w].label << " | ";
        if (!mine.valid) {
            out << tableText(mine.problem) << " | | | |\n";
            continue;
        }
        out << fixed(mine.outputBytes / kMB, 2) << " | " << rate(median(mine.rates)) << " | "
            << (tidy >= 0 ? ratio(writeRatio(figures, static_cast<size_t>(tidy), w)) : "–") << " | "
            << (compact >= 0 ? ratio(writeRatio(figures, static_cast<size_t>(compact), w)) : "–")
            << " |\n";
    }
    bool residual = false;
    for (size_t i = 0; i < mSubjects.size(); ++i) {
        if (figures.subjects[i].heapResidual != 0) {
            const long long bytes = figures.subjects[i].heapResidual;
            out << (residual ? "" : "\n") << "Note: " << mSubjects[i]->name() << ": ";
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
    }
    out << "\n";
    return out.str();
}

bool Report::drawChart(std::ostream& log) const {
    const std::vector<const DocumentFigures*> documents = reported();
    const int ours = mComparison.oursIndex();
    const std::string parseData = mSettings.workFolder + "/chart-parse.dat";
    const std::string writeData = mSettings.workFolder + "/chart-write.dat";
    const std::string script = mSettings.workFolder + "/chart.gp";
    const char* oursColour = "0xcc3311";
    const char* peerColour = "0x4477aa";
    {
        std::ofstream parse(parseData);
        for (size_t i = 0; i < mSubjects.size(); ++i) {
            if (mSubjects[i]->kind() == Subject::SCAN) {
                continue;  // the floor would flatten every other bar
            }
            std::vector<double> rates;
            for (const DocumentFigures* figures : documents) {
                if (figures->subjects[i].accepted && !figures->subjects[i].parseRates.empty()) {
                    rates.push_back(median(figures->subjects[i].parseRates) / kMB);
                }
            }
            parse << '"' << chartLabel(mSubjects[i]->name(), rates.size(), documents.size())
                  << "\" " << fixed(geometricMean(rates), 1) << ' '
                  << (static_cast<int>(i) == ours ? oursColour : peerColour) << "\n";
        }
        std::ofstream write(writeData);
        const std::vector<Writer>& writers = mComparison.writers();
        for (size_t w = 0; w < writers.size(); ++w) {
            std::vector<double> rates;
            for (const DocumentFigures* figures : documents) {
                if (figures->writers[w].valid && !figures->writers[w].rates.empty()) {
                    rates.push_back(median(figures->writers[w].rates) / kMB);
                }
            }
            write << '"' << chartLabel(writers[w].label, rates.size(), documents.size()) << "\" "
                  << fixed(geometricMean(rates), 1) << ' '
                  << (static_cast<int>(writers[w].subject) == ours ? oursColour : peerColour)
                  << "\n";
        }
    }
    std::ofstream gp(script);
    gp << "set terminal svg size 1000,460 dynamic font 'sans,12' background rgb 'white'\n"
       << "set output '" << mSettings.chartPath << "'\n"
       << "set multiplot layout 1,2 title 'Throughput in MB/s, geometric mean over "
       << documents.size() << " documents (kavrixml in red)'\n"
       << "set style fill solid 0.85 border -1\nset boxwidth 0.7\nset grid ytics\n"
       << "set yrange [0:*]\nset xtics rotate by -35 scale 0 nomirror\nunset key\n"
       << "set offsets 0.5, 0.5, graph 0.08, 0\n"
       << "set title 'Parse (MB/s of input)'\n"
       << "plot '" << parseData << "' using 0:2:3:xtic(1) with boxes lc rgb variable, \\\n"
       << "     '' using 0:2:(sprintf('%.0f', $2)) with labels offset 0,0.7\n"
       << "set title 'Write (MB/s of output)'\n"
       << "plot '" << writeData << "' using 0:2:3:xtic(1) with boxes lc rgb variable, \\\n"
       << "     '' using 0:2:(sprintf('%.0f', $2)) with labels offset 0,0.7\n"
       << "unset multiplot\n";
    gp.close();
    const std::string command = std::string(KAVRIXML_BENCH_GNUPLOT) + " '" + script + "'";
    if (std::system(command.c_str()) != 0) {
        log << "gnuplot failed: " << command << std::endl;
        return false;
    }
    return true;
}

bool Report::write(std::ostream& log) {
    const std::vector<TargetOutcome> outcomes = targets();
    std::ostringstream out;
    out << "# Benchmark results\n\n"
        << "Written by `make bench` (programs in `bench/`); rerun it rather than editing this "
           "file. Absolute MB/s on these shared virtual machines swing by 20–50 % between "
           "runs; the paired ratios are the figures to compare.\n\n"
        << "![Parse and write throughput per library](chart.svg)\n\n"
        << machineSection() << methodSection() << summarySection() << targetSection(outcomes)
        << oursSection() << "## Per document\n\n";
    bool allAccepted = true;
    for (const DocumentFigures& figures : mComparison.figures()) {
        out << documentSection(figures);
        allAccepted = allAccepted && !figures.rejectedByOurs;
    }
    if (mComparison.oursIndex() < 0) {
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
    const bool charted = drawChart(log);
    if (charted) {
        log << "wrote " << mSettings.chartPath << std::endl;
    }
    // Repeated at the end, where it cannot scroll out of sight.
    for (const DocumentFigures& figures : mComparison.figures()) {
        if (figures.rejectedByOurs) {
            log << "*** OUR READER REJECTS " << figures.document->name << ": " << figures.oursError
                << std::endl;
        }
    }
    return allAccepted && charted;
}

}  // namespace bench
