#include "bench/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "bench/BenchSupport.h"

extern char** environ;

namespace bench {

namespace {

// The file actions of posix_spawn, released on every path out.
class FileActions {
  public:
    FileActions() { posix_spawn_file_actions_init(&mActions); }
    ~FileActions() { posix_spawn_file_actions_destroy(&mActions); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &mActions; }

  private:
    posix_spawn_file_actions_t mActions;
};

void closeIfOpen(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

std::string readAll(int fd) {
    std::string out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            return out;
        }
    }
}

}  // namespace

std::string ProcessResult::failure() const {
    if (!started) {
        return "could not start";
    }
    if (!exited) {
        return "killed by signal " + std::to_string(code);
    }
    return code == 0 ? "" : "exit code " + std::to_string(code);
}

ProcessResult runProcess(const std::vector<std::string>& argv, Output output, Output errors) {
    ProcessResult result;
    std::vector<char*> arguments;
    for (const std::string& argument : argv) {
        arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);

    int pipeEnds[2] = {-1, -1};
    FileActions actions;
    if (output == Output::CAPTURE) {
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
            return result;
        }
        posix_spawn_file_actions_adddup2(actions.get(), pipeEnds[1], STDOUT_FILENO);
    } else if (output == Output::DISCARD) {
        posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    if (errors == Output::DISCARD) {
        posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }

    const Clock::time_point start = Clock::now();
    pid_t pid = -1;
    result.started =
        posix_spawnp(&pid, arguments[0], actions.get(), nullptr, arguments.data(), environ) == 0;
    closeIfOpen(pipeEnds[1]);
    if (result.started && pipeEnds[0] >= 0) {
        // Read to the end before waiting, or a child that fills the pipe
        // would wait for us while we wait for it.
        result.output = readAll(pipeEnds[0]);
    }
    closeIfOpen(pipeEnds[0]);
    if (!result.started) {
        return result;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.seconds = secondsSince(start);
    result.exited = WIFEXITED(status);
    result.code = result.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    return result;
}

std::string ownProgramPath() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

}  // namespace bench
