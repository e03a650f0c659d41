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

#include "framework/kavrimain/InputStream.h"

namespace kavrixml_tool {

enum ExitCode { EXIT_OK = 0, EXIT_FAULT = 1, EXIT_USAGE = 2 };

struct Command {
    const char* name;
    const char* summary;  // one line for `kavrixml --help`
    const char* usage;    // the whole text of `kavrixml NAME --help`
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

}  // namespace kavrixml_tool

#endif  // KAVRIXML_TOOLS_COMMAND_H
