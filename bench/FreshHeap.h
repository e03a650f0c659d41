// FreshHeap measures the heap that one library's tree of one document keeps,
// each in a process of its own: kavrixml_compare starts itself again with
// "--heap-only LIBRARY DOCUMENT", and that process parses the document once
// with the heap counter on and prints one line. No pool, cache or free list
// kept from an earlier parse, ours or a peer's, can then hide a cost or lend
// one to the library measured next.
//
//   bench::HeapReading r = bench::measureHeapInFreshProcess(corpus, "pugixml", "mime");
//   if (r.measured) { use(r.bytes); } else { log << r.problem; }
//
// The line is "heap BYTES RESIDUAL" (see heap::Footprint) or "refused
// REASON" when the library refuses the document.
#ifndef KAVRIXML_BENCH_FRESHHEAP_H
#define KAVRIXML_BENCH_FRESHHEAP_H

#include <cerrno>
#include <cstdlib>
#include <string>

#include "bench/HeapCounter.h"

namespace bench {

struct HeapReading {
    bool measured = false;  // the process printed a footprint
    long long bytes = 0;
    long long residual = 0;
    std::string problem;  // the library's refusal, or what went wrong with the process
};

// The line a --heap-only process prints for a tree it built.
inline std::string heapLine(const heap::Footprint& footprint) {
    return "heap " + std::to_string(footprint.bytes) + " " + std::to_string(footprint.residual) +
           "\n";
}

// The line a --heap-only process prints when the library refuses the document.
inline std::string refusalLine(const std::string& reason) {
    std::string line = "refused " + reason;
    for (char& c : line) {
        c = c == '\n' || c == '\r' ? ' ' : c;
    }
    return line + "\n";
}

// Reads the last line of a --heap-only process's output into `reading`.
// Returns false, with the reason in reading.problem, when it is neither a
// footprint nor a refusal: a process that crashed prints nothing.
inline bool parseHeapLine(const std::string& output, HeapReading& reading) {
    reading = HeapReading();
    std::string line = output;
    while (!line.empty() && line.back() == '\n') {
        line.pop_back();
    }
    line = line.substr(line.rfind('\n') == std::string::npos ? 0 : line.rfind('\n') + 1);
    if (line.compare(0, 8, "refused ") == 0) {
        reading.problem = line.substr(8);
        return true;
    }
    if (line.compare(0, 5, "heap ") == 0) {
        const char* text = line.c_str() + 5;
        char* end = nullptr;
        errno = 0;
        const long long bytes = std::strtoll(text, &end, 10);
        const bool bytesRead = end != text && *end == ' ' && bytes >= 0;
        const char* rest = end;
        const long long residual = bytesRead ? std::strtoll(rest + 1, &end, 10) : 0;
        if (bytesRead && end != rest + 1 && *end == '\0' && errno == 0) {
            reading.measured = true;
            reading.bytes = bytes;
            reading.residual = residual;
            return true;
        }
    }
    reading.problem = line.empty() ? "printed no figure" : "printed \"" + line + "\"";
    return false;
}

// The --heap-only mode: parses `document` of the corpus in `corpus` with the
// library named `library`, prints its line on standard output and returns
// the process's exit code (0 for a footprint or a refusal).
int runHeapOnly(const std::string& corpus, const std::string& library, const std::string& document);

// Starts this program again in the --heap-only mode and reads its line.
HeapReading measureHeapInFreshProcess(const std::string& corpus, const std::string& library,
                                      const std::string& document);

}  // namespace bench

#endif  // KAVRIXML_BENCH_FRESHHEAP_H
