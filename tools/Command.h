// The kavrixml tool's subcommands. Each subcommand lives in its own source
// file and registers itself with a static CommandRegistrar:
//
//   static const CommandRegistrar kCheck({"check", "check that files parse",
//                                         "usage: kavrixml check [-v] FILE...\n...", &runCheck});
//
// Exit codes: 0 success, 1 a fault in the input (or findings), 2 a usage error.
#ifndef KAVRIXML_TOOLS_COMMAND_H
#define KAVRIXML_TOOLS_COMMAND_H

#include <memory>
#include <string>
#include <vector>

#include "framework/kavrimain/FileOperations.h"
#include "framework/kavrimain/InputStream.h"
#include "xml/Document.h"

namespace kavrixml_tool {

enum ExitCode { EXIT_OK = 0, EXIT_FAULT = 1, EXIT_USAGE = 2 };

struct Command {
    const char* name;
    const char* summary;                               // one line for `kavrixml --help`
    const char* usage;                                 // the whole text of `kavrixml NAME --help`
    int (*run)(const std::vector<std::string>& args);  // the words after NAME
};

void registerCommand(const Command& command);
const std::vector<Command>& commands();

struct CommandRegistrar {
    explicit CommandRegistrar(const Command& command) { registerCommand(command); }
};

// True when the words ask for help (-h or --help anywhere).
bool wantsHelp(const std::vector<std::string>& args);

// Prints "kavrixml NAME: message" on standard error and returns `code`.
int report(const char* command, int code, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// Opens a file of the disk, or standard input for "-". Throws core::Exception
// with a clear message for a missing or unreadable file or a directory.
std::unique_ptr<kavri::stream::InputStream> openInput(const std::string& path);

// Reads the whole input of openInput; an empty input throws core::Exception
// ("PATH: empty input").
std::string readInput(const std::string& path);

// True for a word that looks like an option ("-x", "--xy"; "-" is a file).
bool isOption(const std::string& arg);

// Reports "unknown option 'OPTION' (see kavrixml COMMAND --help)" and
// returns EXIT_USAGE.
int unknownOption(const char* command, const std::string& option);

// Appends text[from, to) with C's escapes for the quotes, the backslash and
// control characters (\n \t \r, others as three octal digits), so that it
// fits between double quotes on one line.
void appendEscaped(const std::string& text, size_t from, size_t to, std::string& out);

// The name a path is shown under: "<stdin>" for "-".
const char* displayName(const std::string& path);

// How a command reads a document: with each element's body trimmed
// (DOMParser::setTrimBodies), and strictly, leniently (DOMParser::setLenient)
// or losslessly (DOMParser::setLossless, lenient reading that keeps the
// whole document).
struct ReadOptions {
    bool trimBodies = false;
    bool lenient = false;
    bool lossless = false;
};

// Takes the words "--lenient" and "--strict" into `options` (either turns
// lossless reading off); false for any other word.
bool readingOption(const std::string& arg, ReadOptions& options);

// Reads and parses one document from a file or standard input ("-"). On a
// fault of the XML, `error` receives FILE:LINE:COLUMN: MESSAGE, followed by
// " (reads with --lenient)" when a strict reading failed where a lenient one
// succeeds, and null is returned; unreadable and empty inputs throw
// core::Exception.
std::unique_ptr<kavri::xml::Document> readDocument(const std::string& path, std::string& error,
                                                   const ReadOptions& options);
// The same for bytes already read from `path`; the reader takes them over
// (a document is never copied on its way in).
std::unique_ptr<kavri::xml::Document> parseDocument(std::string bytes, const std::string& path,
                                                    std::string& error, const ReadOptions& options);
// Keeps `document` until the process ends and leaves its memory to the
// system then: a command's last document would otherwise be released node by
// node just before exit, work that nobody waits for (about a sixth of the
// instructions of checking a 20 MB document). A document kept earlier is
// released now.
void keepUntilExit(std::unique_ptr<kavri::xml::Document> document);

// A bundle's root file as the i18n commands take it: a DiskFileSystem is
// rooted at its folder, and the files beside it are shown with the folder as
// the user gave it.
struct RootFile {
    std::string folder;
    std::string name;

    explicit RootFile(const std::string& path)
        : folder(kavri::platform::FileOperations::getFolder(path.c_str())),
          name(kavri::platform::FileOperations::getFile(path.c_str())) {}

    std::string display(const std::string& file) const {
        return folder.empty() ? file : folder + "/" + file;
    }
    const char* root() const { return folder.empty() ? "." : folder.c_str(); }
};

}  // namespace kavrixml_tool

#endif  // KAVRIXML_TOOLS_COMMAND_H
