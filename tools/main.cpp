// kavrixml: the command-line face of the library. Subcommands register
// themselves (Command.h); this file dispatches and keeps every failure to one
// line on standard error.
#include <cstdio>
#include <cstring>
#include <exception>

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
}  // namespace

}  // namespace kavrixml_tool

int main(int argc, char** argv) {
    using namespace kavrixml_tool;
    if (argc < 2) {
        printOverview(stderr);
        return EXIT_USAGE;
    }
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
