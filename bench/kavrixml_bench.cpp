// kavrixml_bench: our own figures with Google Benchmark, on every corpus
// document: parse from a memory stream (strictly and leniently), write tidy
// and compact, deep clone,
// (on the 20 MB documents, also lossless reading, its heap beyond lenient
// reading's, and writing the unchanged lossless document back),
// a breadth-first search for a missing name, a full walk, and the live heap
// per input byte; and look-ups and resolution on a bundle of 10,000 keys.
// The peer table comes from kavrixml_compare, which pairs libraries within
// each repetition (Google Benchmark cannot).
//
//   kavrixml_bench [--corpus DIR] [--cpu N] [Google Benchmark flags]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/HeapCounter.h"
#include "bench/Ours.h"

#ifdef KAVRIXML_BENCH_HAVE_OURS
#include "core/SmartPtr.h"
#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/internal/BlockPool.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"
#endif

#ifdef KAVRIXML_BENCH_HAVE_BUNDLE
#include "bench/MessageBenchmarks.h"
#include "i18n/Bundle.h"
#endif

namespace {

#ifdef KAVRIXML_BENCH_HAVE_OURS

using kavri::xml::Document;
using kavri::xml::XNode;

enum class Reading { STRICT, LENIENT, LOSSLESS };

Document* parseDocument(const std::string& bytes, Reading reading = Reading::STRICT) {
    kavri::stream::MemoryInputStream in{std::string(bytes)};
    kavri::xml::DOMParser parser;
    parser.setLenient(reading == Reading::LENIENT);
    parser.setLossless(reading == Reading::LOSSLESS);
    return parser.parse(&in);
}

// The benchmarks of one document run one after another, so the parsed tree is
// kept for the next one and replaced when the document changes: one tree in
// memory at a time, parsed once per document.
class ParsedCache {
  public:
    ~ParsedCache() { delete mDocument; }

    // The tree of `document`, or null (with the reader's message in `error`)
    // when the reader rejects it.
    Document* get(const bench::CorpusDocument& document, std::string& error) {
        if (mSource != &document) {
            delete mDocument;
            mDocument = nullptr;
            mError.clear();
            mSource = &document;
            try {
                mDocument = parseDocument(document.bytes);
            } catch (const ::core::Exception& e) {
                mError = e.getMessage();
            }
        }
        error = mError;
        return mDocument;
    }

  private:
    const bench::CorpusDocument* mSource = nullptr;
    Document* mDocument = nullptr;
    std::string mError;
};

ParsedCache gParsed;

// The parsed `document` for a benchmark, or null after marking the benchmark
// as failed when our reader rejects the document.
Document* parsedDocument(benchmark::State& state, const bench::CorpusDocument& document) {
    std::string error;
    Document* parsed = gParsed.get(document, error);
    if (parsed == nullptr) {
        state.SkipWithError(("our reader rejects it: " + error).c_str());
    }
    return parsed;
}

XNode* parsedRoot(benchmark::State& state, const bench::CorpusDocument& document) {
    Document* parsed = parsedDocument(state, document);
    return parsed != nullptr ? parsed->getRootNode() : nullptr;
}

size_t countElements(XNode* root) {
    size_t count = 0;
    root->visit([&count](XNode*, int, int) {
        ++count;
        return XNode::VISIT_CONTINUE;
    });
    return count;
}

// Live heap bytes per input byte of the parsed document, measured once per
// document (Google Benchmark may call a benchmark function several times).
double heapPerInputByte(const bench::CorpusDocument& document, Reading reading = Reading::STRICT) {
    static std::map<std::pair<const bench::CorpusDocument*, Reading>, double> measured;
    auto found = measured.find({&document, reading});
    if (found != measured.end()) {
        return found->second;
    }
    Document* probe = nullptr;
    heap::Footprint footprint = heap::measure(
        [&] { probe = parseDocument(document.bytes, reading); }, [&] { delete probe; },
        [] { return static_cast<long long>(::core::internal::BlockPool::statistics().free); });
    const double perByte =
        static_cast<double>(footprint.bytes) / static_cast<double>(document.bytes.size());
    measured[{&document, reading}] = perByte;
    return perByte;
}

void parseBenchmark(benchmark::State& state, const bench::CorpusDocument* document) {
    double perByte = 0;
    try {
        perByte = heapPerInputByte(*document);
    } catch (const ::core::Exception& e) {
        heap::setCounting(false);
        state.SkipWithError(e.getMessage());
        return;
    }
    for (auto _ : state) {
        Document* parsed = parseDocument(document->bytes);
        benchmark::DoNotOptimize(parsed);
        delete parsed;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(document->bytes.size()));
    state.counters["heap_per_input_byte"] = perByte;
}

// The same document read leniently (every well-formedness rule checked), or
// losslessly; for the latter, the heap it takes beyond lenient reading's.
void conformingParseBenchmark(benchmark::State& state, const bench::CorpusDocument* document,
                              Reading reading) {
    if (reading == Reading::LOSSLESS) {
        try {
            state.counters["extra_heap_per_input_byte"] =
                heapPerInputByte(*document, Reading::LOSSLESS) -
                heapPerInputByte(*document, Reading::LENIENT);
        } catch (const ::core::Exception& e) {
            state.SkipWithError(e.getMessage());
            return;
        }
    }
    for (auto _ : state) {
        try {
            Document* parsed = parseDocument(document->bytes, reading);
            benchmark::DoNotOptimize(parsed);
            delete parsed;
        } catch (const ::core::Exception& e) {
            state.SkipWithError(e.getMessage());
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(document->bytes.size()));
}

void writeBenchmark(benchmark::State& state, const bench::CorpusDocument* document, bool tidy) {
    Document* parsed = parsedDocument(state, *document);
    if (parsed == nullptr) {
        return;
    }
    kavri::stream::MemoryOutputStream out;
    // One untimed write first, so that the timed ones reuse the stream's
    // capacity instead of growing it (as kavrixml_compare's writes do).
    kavri::xml::XMLWriter(true, tidy, false).write(parsed, &out);
    size_t written = 0;
    for (auto _ : state) {
        out.clear();
        kavri::xml::XMLWriter writer(true, tidy, false);
        writer.write(parsed, &out);
        written += out.str().size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(written));
}

// The unchanged lossless document written back (its input, byte for byte).
void writeLosslessBenchmark(benchmark::State& state, const bench::CorpusDocument* document) {
    std::unique_ptr<Document> parsed;
    try {
        parsed.reset(parseDocument(document->bytes, Reading::LOSSLESS));
    } catch (const ::core::Exception& e) {
        state.SkipWithError(e.getMessage());
        return;
    }
    std::string out;
    parsed->writeLossless(out);
    if (out != document->bytes) {
        state.SkipWithError("the lossless round trip changed the document");
        return;
    }
    size_t written = 0;
    for (auto _ : state) {
        out.clear();
        parsed->writeLossless(out);
        written += out.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(written));
}

void cloneBenchmark(benchmark::State& state, const bench::CorpusDocument* document) {
    XNode* root = parsedRoot(state, *document);
    if (root == nullptr) {
        return;
    }
    for (auto _ : state) {
        // The copy is released in the same iteration: clone and free.
        ::core::SmartPtr<XNode> copy(root->clone());
        benchmark::DoNotOptimize(copy.get());
    }
    state.counters["elements"] = static_cast<double>(countElements(root));
}

void findMissingBenchmark(benchmark::State& state, const bench::CorpusDocument* document) {
    XNode* root = parsedRoot(state, *document);
    if (root == nullptr) {
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(root->findBreadthFirst("no-such-element"));
    }
}

void visitBenchmark(benchmark::State& state, const bench::CorpusDocument* document) {
    XNode* root = parsedRoot(state, *document);
    if (root == nullptr) {
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(countElements(root));
    }
}

// Registers a benchmark timed by the wall clock, as kavrixml_compare is.
template <class... Args>
void registerTimed(const std::string& name, Args... args) {
    benchmark::RegisterBenchmark(name.c_str(), args...)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

// The 20 MB documents of the corpus (each at least this size).
const size_t LARGE_DOCUMENT = 10000000;

void registerDocumentBenchmarks(const std::vector<bench::CorpusDocument>& documents) {
    for (const bench::CorpusDocument& document : documents) {
        const bench::CorpusDocument* d = &document;
        registerTimed("parse/" + document.name, parseBenchmark, d);
        registerTimed("parse_lenient/" + document.name, conformingParseBenchmark, d,
                      Reading::LENIENT);
        if (document.bytes.size() >= LARGE_DOCUMENT) {
            registerTimed("parse_lossless/" + document.name, conformingParseBenchmark, d,
                          Reading::LOSSLESS);
            registerTimed("write_lossless/" + document.name, writeLosslessBenchmark, d);
        }
        registerTimed("write_tidy/" + document.name, writeBenchmark, d, true);
        registerTimed("write_compact/" + document.name, writeBenchmark, d, false);
        registerTimed("clone/" + document.name, cloneBenchmark, d);
        registerTimed("find_missing/" + document.name, findMissingBenchmark, d);
        registerTimed("visit/" + document.name, visitBenchmark, d);
    }
}

#endif  // KAVRIXML_BENCH_HAVE_OURS

#ifdef KAVRIXML_BENCH_HAVE_BUNDLE

const int kBundleKeys = 10000;

std::string bundleKey(int i) {
    return "section" + std::to_string(i % 97) + ".key" + std::to_string(i);
}

// A bundle of 10,000 keys with texts of typical length.
void fillBundle(kavri::i18n::Bundle& bundle) {
    for (int i = 0; i < kBundleKeys; ++i) {
        const std::string text = "Text number " + std::to_string(i) + " of the user interface";
        bundle.setText(bundleKey(i).c_str(), text.c_str());
    }
}

void getTextBenchmark(benchmark::State& state) {
    kavri::i18n::Bundle bundle("bench", "bench.xml");
    fillBundle(bundle);
    // Keys in random order, so that successive look-ups do not walk the same
    // path of the map.
    std::vector<std::string> keys;
    for (int i = 0; i < kBundleKeys; ++i) {
        keys.push_back(bundleKey(i));
    }
    std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bundle.getText(keys[next].c_str(), true));
        next = next + 1 == keys.size() ? 0 : next + 1;
    }
}

void resolveBenchmark(benchmark::State& state) {
    kavri::i18n::Bundle bundle("bench", "bench.xml");
    fillBundle(bundle);
    const std::string text = "Dear ${" + bundleKey(17) + "}, you have ${" + bundleKey(4242) +
                             "} in ${" + bundleKey(9999) + "}.";
    std::string out;
    for (auto _ : state) {
        bundle.resolve(text.c_str(), out, true);
        benchmark::DoNotOptimize(out.data());
    }
}

// The category of an integer by rules already parsed: Russian's three
// conditions with remainders, over counts that reach each of them.
void pluralCategoryBenchmark(benchmark::State& state) {
    const kavri::i18n::PluralRules& rules = kavri::i18n::PluralRules::forLanguage("ru");
    long long count = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(rules.select(count));
        count = count == 1000 ? 0 : count + 1;
    }
}

// A plural look-up and a plain formatted getText of texts of the same
// length, in a bundle of 10,000 keys (Russian: exact value, then category).
const char* const kPluralText = "%d files of the user interface";
void fillPluralBundle(kavri::i18n::Bundle& bundle) {
    bundle.setLanguage("ru");
    fillBundle(bundle);
    for (const char* form : {"files_one", "files_few", "files_many", "files_other", "plain"}) {
        bundle.setText(form, kPluralText);
    }
}

void pluralTextBenchmark(benchmark::State& state) {
    kavri::i18n::Bundle bundle("bench", "bench.xml");
    fillPluralBundle(bundle);
    std::string out;
    int count = 0;
    for (auto _ : state) {
        bundle.getPluralText("files", count, out, true, count);
        benchmark::DoNotOptimize(out.data());
        count = count == 1000 ? 0 : count + 1;
    }
}

void formattedTextBenchmark(benchmark::State& state) {
    kavri::i18n::Bundle bundle("bench", "bench.xml");
    fillPluralBundle(bundle);
    std::string out;
    int count = 0;
    for (auto _ : state) {
        bundle.getText("plain", out, true, count);
        benchmark::DoNotOptimize(out.data());
        count = count == 1000 ? 0 : count + 1;
    }
}

void registerBundleBenchmarks() {
    benchmark::RegisterBenchmark("bundle/getText", getTextBenchmark)->UseRealTime();
    benchmark::RegisterBenchmark("bundle/resolve_3_references", resolveBenchmark)->UseRealTime();
    benchmark::RegisterBenchmark("bundle/plural_category_integer", pluralCategoryBenchmark)
        ->UseRealTime();
    benchmark::RegisterBenchmark("bundle/getPluralText", pluralTextBenchmark)->UseRealTime();
    benchmark::RegisterBenchmark("bundle/getText_formatted_same_length", formattedTextBenchmark)
        ->UseRealTime();
}

#endif  // KAVRIXML_BENCH_HAVE_BUNDLE

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string corpus = KAVRIXML_BENCH_CORPUS;
    int cpu = 1;
    // What Initialize left are our own options, each with a value.
    for (int i = 1; i < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--corpus" && i + 1 < argc) {
            corpus = argv[i + 1];
        } else if (option == "--cpu" && i + 1 < argc) {
            cpu = std::atoi(argv[i + 1]);
        } else {
            std::cerr << "usage: " << argv[0] << " [--corpus DIR] [--cpu N] [benchmark flags]\n";
            return 2;
        }
    }
    bench::settleProcess(cpu);

    std::vector<bench::CorpusDocument> documents;
    try {
        documents = bench::loadCorpus(corpus);
    } catch (const std::exception& e) {
        std::cerr << "kavrixml_bench: " << e.what() << std::endl;
        return 1;
    }
#ifdef KAVRIXML_BENCH_HAVE_OURS
    registerDocumentBenchmarks(documents);
#else
    std::cerr << "kavrixml_bench: the reader and writer are not built yet" << std::endl;
#endif
#ifdef KAVRIXML_BENCH_HAVE_BUNDLE
    registerBundleBenchmarks();
    bench::registerMessageBenchmarks();
#else
    std::cerr << "kavrixml_bench: the bundles are not built yet" << std::endl;
#endif
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
