// kavrixml: the command-line face of the library. Subcommands register
// themselves (Command.h); this file dispatches and keeps every failure to one
// line on standard error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#if defined(__linux__)
#include <unistd.h>
#endif

#include "framework/plinth/Exception.h"
#include "tools/Command.h"

namespace kavrixml_tool {

namespace {
void printOverview(std::FILE* out) {
    std::fprintf(out,
                 "usage: kavrixml COMMAND [ARGS...]\n"
                 "       kavrixml COMMAND --help\n"
                 "       kavrixml --version\n\n"
                 "XML documents and localised texts from the command line.\n\n"
                 "commands:\n");
    for (const Command& command : commands()) {
        std::fprintf(out, "  %-12s %s\n", command.name, command.summary);
    }
    std::fprintf(out, "\nFILE may be \"-\" for standard input.\n");
}
// A fresh process reading a large document spends much of its time on page
// faults: each 4 KiB page of the input and of the tree's texts is faulted in
// alone. glibc (2.35 and later) backs its heap with transparent huge pages,
// where the system offers them on request, when the tunable
// glibc.malloc.hugetlb asks for it, and reads its tunables only when a
// process starts: so the tool starts itself once more with the tunable
// added. Where that cannot be done, it goes on as it is.
void restartWithHugePages(char** argv) {
#if defined(__linux__) && defined(__GLIBC__) && \
    (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 35))
    static const char NAME[] = "glibc.malloc.hugetlb";
    const char* const tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables != nullptr && std::strstr(tunables, NAME) != nullptr) {
        return;  // set by the caller, or by this function in the parent
    }
    std::string value = tunables != nullptr && *tunables != '\0' ? tunables + std::string(":") : "";
    value += std::string(NAME) + "=1";
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) == 0) {
        execv("/proc/self/exe", argv);
    }
#else
    (void)argv;
#endif
}

}  // namespace

}  // namespace kavrixml_tool

int main(int argc, char** argv) {
    using namespace kavrixml_tool;
    if (argc < 2) {
        printOverview(stderr);
        return EXIT_USAGE;
    }
    restartWithHugePages(argv);
    std::string first = argv[1];
    if (first == "-h" || first == "--help" || first == "help") {
        printOverview(stdout);
        return EXIT_OK;
    }
    if (first == "--version" || first == "-V") {
        std::printf("kavrixml %s\n", KAVRIXML_VERSION);
        return EXIT_OK;
    }
    for (const Command& command : commands()) {
        if (first != command.name) {
            continue;
        }
        std::vector<std::string> args(argv + 2, argv + argc);
        if (wantsHelp(args)) {
            std::fputs(command.usage, stdout);
            return EXIT_OK;
        }
        try {
            return command.run(args);
        } catch (const core::Exception& e) {
            return report(command.name, EXIT_FAULT, "%s", e.getMessage());
        } catch (const std::bad_alloc&) {
            return report(command.name, EXIT_FAULT, "out of memory");
        } catch (const std::exception& e) {
            return report(command.name, EXIT_FAULT, "%s", e.what());
        }
    }
    std::fprintf(stderr, "kavrixml: unknown command '%s' (see kavrixml --help)\n", first.c_str());
    return EXIT_USAGE;
}
