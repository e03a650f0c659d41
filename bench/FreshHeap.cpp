#include "bench/FreshHeap.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/Process.h"
#include "bench/Subject.h"

namespace bench {

namespace {

// The one subject named `library`; the others are destroyed before anything
// is measured, so that nothing of theirs stays in this process.
std::unique_ptr<Subject> takeSubject(const std::string& library) {
    for (std::unique_ptr<Subject>& subject : makeSubjects()) {
        if (subject->name() == library) {
            return std::move(subject);
        }
    }
    return nullptr;
}

}  // namespace

int runHeapOnly(const std::string& corpus, const std::string& library,
                const std::string& document) {
    std::unique_ptr<Subject> subject = takeSubject(library);
    if (!subject || subject->kind() != Subject::TREE) {
        std::fprintf(stderr, "--heap-only: no tree library named \"%s\"\n", library.c_str());
        return 2;
    }
    std::vector<CorpusDocument> documents;
    try {
        documents = loadCorpus(corpus, [&](const std::string& name) { return name == document; });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "--heap-only %s: %s\n", document.c_str(), e.what());
        return 1;
    }
    const std::string& bytes = documents.front().bytes;
    std::string error;
    bool parsed = false;
    const heap::Footprint footprint =
        heap::measure([&] { parsed = subject->parse(bytes, error); }, [&] { subject->release(); },
                      [&] { return subject->pooledFreeBytes(); });
    const std::string line =
        parsed ? heapLine(footprint) : refusalLine(error.empty() ? "refused" : error);
    std::fputs(line.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

HeapReading measureHeapInFreshProcess(const std::string& corpus, const std::string& library,
                                      const std::string& document) {
    const ProcessResult run = runProcess(
        {ownProgramPath(), "--corpus", corpus, "--heap-only", library, document}, Output::CAPTURE);
    HeapReading reading;
    if (!parseHeapLine(run.output, reading) && !run.ok()) {
        reading.problem = "the measuring process ended with " + run.failure();
    }
    return reading;
}

}  // namespace bench
