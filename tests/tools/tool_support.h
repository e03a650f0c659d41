// Runs the built kavrixml tool as a user would and collects what it printed.
// Scratch files carry the process id and the test's name, since CTest runs
// the cases of one program in parallel.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tooltest {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// Runs compare whole: the exit status and both outputs, as the user sees them.
inline bool operator==(const ToolRun& a, const ToolRun& b) {
    return a.status == b.status && a.out == b.out && a.err == b.err;
}
inline void PrintTo(const ToolRun& run, std::ostream* out) {
    *out << "exit " << run.status << ", stdout " << ::testing::PrintToString(run.out) << ", stderr "
         << ::testing::PrintToString(run.err);
}

inline std::string tmpPath(const std::string& name) {
    return std::string(KAVRIXML_TEST_TMP) + "/" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline std::string writeInput(const std::string& name, const std::string& bytes) {
    std::string path = tmpPath(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A fresh folder for one test, holding the given files (name, bytes).
inline std::string writeFolder(const std::vector<std::pair<std::string, std::string>>& files) {
    std::string folder = tmpPath("files");
    mkdir(folder.c_str(), 0755);
    for (const auto& file : files) {
        std::ofstream(folder + "/" + file.first, std::ios::binary) << file.second;
    }
    return folder;
}

// Runs `kavrixml ARGS` in `folder` (the current one when empty) with `input`
// on standard input, under the C locale so that no language leaks in.
inline ToolRun run(const std::string& args, const std::string& input = "",
                   const std::string& folder = "") {
    std::string in = writeInput("stdin.txt", input);
    std::string out = tmpPath("stdout.txt"), err = tmpPath("stderr.txt");
    std::string command = (folder.empty() ? "" : "cd '" + folder + "' && ") +
                          "LC_ALL=C LANG= LC_MESSAGES= '" + KAVRIXML_TOOL_PATH + "' " + args +
                          " <'" + in + "' >'" + out + "' 2>'" + err + "'";
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
}

}  // namespace tooltest
