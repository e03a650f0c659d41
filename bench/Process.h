// Process runs another program the way a user's shell would, but without a
// shell: a new process from an argument vector, its standard output captured
// or thrown away, its standard error left on ours unless told otherwise, and
// the wall-clock time
// from the start of the process to its end. The fresh-process figures of the
// report are made with it.
//
//   bench::ProcessResult run = bench::runProcess({"xmllint", "--noout", path},
//                                                bench::Output::DISCARD);
//   if (run.ok()) { use(run.seconds); } else { log << run.failure(); }
#ifndef KAVRIXML_BENCH_PROCESS_H
#define KAVRIXML_BENCH_PROCESS_H

#include <string>
#include <vector>

namespace bench {

// CAPTURE is for standard output only.
enum class Output { CAPTURE, DISCARD, INHERIT };

struct ProcessResult {
    bool started = false;
    bool exited = false;  // ended by exit(), not by a signal
    int code = -1;        // exit code, or the signal's number
    std::string output;   // standard output, when captured
    double seconds = 0;   // from just before the start to just after the end

    bool ok() const { return started && exited && code == 0; }
    // "exit code 1", "killed by signal 11", "could not start"; "" when ok().
    std::string failure() const;
};

// Runs argv[0] (looked up in PATH when it has no slash) with the arguments
// that follow.
ProcessResult runProcess(const std::vector<std::string>& argv, Output output,
                         Output errors = Output::INHERIT);

// The path of the program running now, so that it can start itself again.
std::string ownProgramPath();

}  // namespace bench

#endif  // KAVRIXML_BENCH_PROCESS_H
