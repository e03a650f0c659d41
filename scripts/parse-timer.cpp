// Parses one document repeatedly and prints the best time of a parse and
// free, in milliseconds. scripts/compare-revisions.sh builds it against the
// headers and library of each revision it compares, so that each library runs
// in a program made for it.
//
//   parse-timer FILE PARSES [lenient]
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "framework/kavrimain/MemoryInputStream.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: parse-timer FILE PARSES [lenient]\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary | std::ios::ate);
    std::string bytes(file ? static_cast<size_t>(file.tellg()) : 0, '\0');
    if (!file || !file.seekg(0).read(&bytes[0], static_cast<std::streamsize>(bytes.size()))) {
        std::fprintf(stderr, "parse-timer: cannot read %s\n", argv[1]);
        return 2;
    }
    const int parses = std::max(1, std::atoi(argv[2]));
    const bool lenient = argc > 3 && std::strcmp(argv[3], "lenient") == 0;
    // Freed memory is reused rather than handed back and faulted in again,
    // as in the benchmark's comparison.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    double best = 1e300;
    for (int i = 0; i < parses; ++i) {
        const auto start = std::chrono::steady_clock::now();
        kavri::stream::MemoryInputStream in{std::string(bytes)};
        kavri::xml::DOMParser parser;
        parser.setLenient(lenient);
        try {
            delete parser.parse(&in);
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "parse-timer: %s: %s\n", argv[1], failure.what());
            return 1;
        }
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    std::printf("%.3f\n", best);
    return 0;
}
