// The tool's shared pieces: the command registry, reporting, and reading
// inputs and documents the same way in every command.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

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

bool isOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-';
}

int unknownOption(const char* command, const std::string& option) {
    return report(command, EXIT_USAGE, "unknown option '%s' (see kavrixml %s --help)",
                  option.c_str(), command);
}

void appendEscaped(const std::string& text, size_t from, size_t to, std::string& out) {
    for (size_t i = from; i < to; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        const char* escape = c == '"'    ? "\\\""
                             : c == '\\' ? "\\\\"
                             : c == '\n' ? "\\n"
                             : c == '\t' ? "\\t"
                             : c == '\r' ? "\\r"
                                         : nullptr;
        if (escape != nullptr) {
            out += escape;
        } else if (c < 0x20 || c == 0x7f) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
    }
}

const char* displayName(const std::string& path) {
    return path == "-" ? "<stdin>" : path.c_str();
}

bool readingOption(const std::string& arg, ReadOptions& options) {
    if (arg != "--lenient" && arg != "--strict") {
        return false;
    }
    options.lenient = arg == "--lenient";
    options.lossless = false;
    return true;
}

namespace {

// Whether the bytes that a strict reading refused read leniently: the
// failure's line then says so.
bool readsLeniently(const std::string& bytes) {
    kavri::stream::MemoryInputStream in(bytes);
    kavri::xml::DOMParser parser;
    parser.setLenient(true);
    try {
        std::unique_ptr<kavri::xml::Document>(parser.parse(&in));
        return true;
    } catch (const core::Exception&) {
        return false;
    }
}

// The message on one line: a control character (a quoted token may hold a
// line break) is shown as its escape.
std::string oneLine(const char* message) {
    std::string line;
    for (const char* p = message; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != 0x7F) {
            line += *p;
        } else if (c == '\n') {
            line += "\\n";
        } else if (c == '\t') {
            line += "\\t";
        } else if (c == '\r') {
            line += "\\r";
        } else {
            static const char HEX[] = "0123456789ABCDEF";
            line += "\\x";
            line += HEX[c >> 4];
            line += HEX[c & 15];
        }
    }
    return line;
}

}  // namespace

std::unique_ptr<kavri::xml::Document> readDocument(const std::string& path, std::string& error,
                                                   const ReadOptions& options) {
    return parseDocument(readInput(path), path, error, options);
}

std::unique_ptr<kavri::xml::Document> parseDocument(std::string bytes, const std::string& path,
                                                    std::string& error,
                                                    const ReadOptions& options) {
    kavri::stream::MemoryInputStream in(std::move(bytes));
    kavri::xml::DOMParser parser;
    parser.setTrimBodies(options.trimBodies);
    parser.setLenient(options.lenient);
    parser.setLossless(options.lossless);
    try {
        return std::unique_ptr<kavri::xml::Document>(parser.parse(&in));
    } catch (const core::Exception& e) {
        error = std::string(displayName(path)) + ":" + std::to_string(parser.getLine()) + ":" +
                std::to_string(parser.getColumn()) + ": " + oneLine(e.getMessage());
        // The strict reader keeps the bytes it was given as its input.
        if (!options.lenient && !options.lossless &&
            readsLeniently(parser.getLexer()->getInput())) {
            error += " (reads with --lenient)";
        }
        return nullptr;
    }
}

void keepUntilExit(std::unique_ptr<kavri::xml::Document> document) {
    // Still reachable at exit, so leak checkers count it as in use.
    static kavri::xml::Document* kept = nullptr;
    std::unique_ptr<kavri::xml::Document> previous(kept);
    kept = document.release();
}

}  // namespace kavrixml_tool
