#include "bench/SystemInfo.h"

#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace bench {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

}  // namespace

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

std::string packageVersion(const std::string& package) {
    const std::string version =
        commandOutput("dpkg-query -W -f='${Version}' " + quoted(package) + " 2>/dev/null");
    return version.empty() ? "?" : version;
}

std::string now() {
    char text[32];
    std::time_t seconds = std::time(nullptr);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", std::gmtime(&seconds));
    return text;
}

std::string kernel() {
    struct utsname system;
    if (uname(&system) != 0) {
        return "unknown";
    }
    return std::string(system.sysname) + " " + system.release + " " + system.machine;
}

std::string compiler() {
#if defined(__clang__)
    return std::string("Clang ") + __clang_version__;
#elif defined(__GNUC__)
    return std::string("GCC ") + __VERSION__;
#else
    return "unknown";
#endif
}

std::string revision(const std::string& sourceDir) {
    const std::string git = "git -C " + quoted(sourceDir) + " ";
    std::string text = commandOutput(git + "rev-parse --short HEAD 2>/dev/null");
    if (text.empty()) {
        return "unknown";
    }
    if (std::system(
            (git + "diff --quiet HEAD -- core framework xml i18n tools 2>/dev/null").c_str()) !=
        0) {
        text += ", with uncommitted changes to the library or the tool";
    }
    return text;
}

std::string programVersion(const std::string& program, const std::string& arguments) {
    const std::string all = commandOutput(quoted(program) + " " + arguments + " 2>&1");
    const std::string first = all.substr(0, all.find('\n'));
    return first.empty() ? "?" : first;
}

}  // namespace bench
