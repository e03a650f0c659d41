// kavrixml: the command-line face of the library. Subcommands register
// themselves (Command.h); this file dispatches and keeps every failure to one
// line on standard error.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>

#include "framework/kavrimain/FileInputStream.h"
#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/plinth/Exception.h"
#include "tools/Command.h"
#include "xml/DOMParser.h"

namespace kavrixml_tool {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> all;
    return all;
}

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

void registerCommand(const Command& command) {
    registry().push_back(command);
}

const std::vector<Command>& commands() {
    std::vector<Command>& all = registry();
    std::sort(all.begin(), all.end(),
              [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    return all;
}

bool wantsHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "-h" || arg == "--help") {
            return true;
        }
    }
    return false;
}

int report(const char* command, int code, const char* format, ...) {
    std::fprintf(stderr, "kavrixml %s: ", command);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    return code;
}

std::unique_ptr<kavri::stream::InputStream> openInput(const std::string& path) {
    if (path == "-") {
        return std::make_unique<kavri::stream::StdInputStream>();
    }
    return std::make_unique<kavri::stream::FileInputStream>(path.c_str());
}

std::string readInput(const std::string& path) {
    std::unique_ptr<kavri::stream::InputStream> in = openInput(path);
    std::string bytes;
    in->readAll(bytes);
    in->close();
    if (bytes.empty()) {
        throw core::Exception("%s: empty input", displayName(path));
    }
    return bytes;
}

const char* displayName(const std::string& path) {
    return path == "-" ? "<stdin>" : path.c_str();
}

std::unique_ptr<kavri::xml::Document> readDocument(const std::string& path, std::string& error,
                                                   bool trimBodies) {
    return parseDocument(readInput(path), path, error, trimBodies);
}

std::unique_ptr<kavri::xml::Document> parseDocument(const std::string& bytes,
                                                    const std::string& path, std::string& error,
                                                    bool trimBodies) {
    kavri::stream::MemoryInputStream in(bytes);
    kavri::xml::DOMParser parser;
    parser.setTrimBodies(trimBodies);
    try {
        return std::unique_ptr<kavri::xml::Document>(parser.parse(&in));
    } catch (const core::Exception& e) {
        error = std::string(displayName(path)) + ":" + std::to_string(parser.getLine()) + ":" +
                std::to_string(parser.getColumn()) + ": " + e.getMessage();
        return nullptr;
    }
}

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
