// The fresh-process figures: starting programs (a failure must never pass
// for a fast run, and a talkative child must not stall the benchmark), the
// pairing of the tool against xmllint, and the line by which a --heap-only
// process hands its figure back (a figure misread there would be judged
// against a target).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "bench/FreshCommands.h"
#include "bench/FreshHeap.h"
#include "bench/Process.h"

namespace {

TEST(BenchProcess, ReportsOutputExitCodesAndSignals) {
    const bench::ProcessResult echo =
        bench::runProcess({"sh", "-c", "printf 'heap 1 0\\n'; exit 3"}, bench::Output::CAPTURE);
    EXPECT_TRUE(echo.started);
    EXPECT_EQ(echo.output, "heap 1 0\n");
    EXPECT_FALSE(echo.ok());
    EXPECT_EQ(echo.failure(), "exit code 3");
    EXPECT_GT(echo.seconds, 0.0);

    const bench::ProcessResult killed =
        bench::runProcess({"sh", "-c", "kill -SEGV $$"}, bench::Output::DISCARD);
    EXPECT_FALSE(killed.ok());
    EXPECT_EQ(killed.failure(), "killed by signal 11");

    const bench::ProcessResult missing =
        bench::runProcess({"no-such-program-anywhere"}, bench::Output::CAPTURE);
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.failure(), "could not start");

    EXPECT_TRUE(bench::runProcess({"true"}, bench::Output::DISCARD).ok());
    EXPECT_EQ(bench::runProcess({"true"}, bench::Output::DISCARD).failure(), "");
}

TEST(BenchProcess, CapturesMoreThanAPipeHoldsAndDiscardsWhatItIsToldTo) {
    // Far more than the 64 KiB a pipe buffers: the child would block forever
    // if the output were read only after waiting for it.
    const bench::ProcessResult big =
        bench::runProcess({"head", "-c", "1000000", "/dev/zero"}, bench::Output::CAPTURE);
    EXPECT_TRUE(big.ok());
    EXPECT_EQ(big.output.size(), 1000000u);

    const bench::ProcessResult quiet = bench::runProcess(
        {"sh", "-c", "echo out; echo err >&2"}, bench::Output::DISCARD, bench::Output::DISCARD);
    EXPECT_TRUE(quiet.ok());
    EXPECT_EQ(quiet.output, "");
}

// A stand-in program, made executable under the test's temporary folder.
std::string script(const std::string& name, const std::string& body) {
    const std::string path = KAVRIXML_TEST_TMP "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
    return path;
}

bench::CorpusDocument document(const std::string& name, size_t bytes) {
    bench::CorpusDocument d;
    d.name = name;
    d.path = "/dev/null";
    d.bytes.assign(bytes, 'x');
    return d;
}

TEST(BenchFreshCommands, PairsEveryRunAndLeavesOutSmallDocuments) {
    bench::FreshCommands commands({script("fast-tool", "exit 0"), script("slow-lint", "sleep 0.02"),
                                   5, 100, script("slow-starlet", "sleep 0.02")});
    ASSERT_EQ(commands.unavailable(), "");
    std::ostringstream log;
    commands.run({document("big", 100), document("small", 99)}, log);

    ASSERT_EQ(commands.figures().size(), 3u);  // check, format and edit, on "big" only
    for (const bench::CommandFigures& figures : commands.figures()) {
        EXPECT_EQ(figures.document, "big");
        EXPECT_EQ(figures.problem, "");
        EXPECT_EQ(figures.oursSeconds.size(), 5u);
        EXPECT_EQ(figures.peerSeconds.size(), 5u);
        EXPECT_GT(figures.speedup(), 1.0) << figures.ours;
    }
    EXPECT_EQ(commands.figuresOf("kavrixml check").size(), 1u);
    EXPECT_EQ(commands.figuresOf("kavrixml format").front()->peer, "xmllint --format");
    EXPECT_EQ(commands.figuresOf("kavrixml edit -u").front()->peer, "xmlstarlet ed -P -u");
}

TEST(BenchFreshCommands, AProgramThatFailsLeavesNoFigure) {
    // The tool fails on format only: its check is still timed.
    // Without xmlstarlet, edit is left out.
    bench::FreshCommands commands({script("half-tool", "[ \"$1\" = check ]"),
                                   script("lint", "exit 0"), 5, 0, "/no/xmlstarlet"});
    std::ostringstream log;
    commands.run({document("doc", 10)}, log);
    ASSERT_EQ(commands.figures().size(), 2u);
    const bench::CommandFigures& check = *commands.figuresOf("kavrixml check").front();
    const bench::CommandFigures& format = *commands.figuresOf("kavrixml format").front();
    EXPECT_EQ(check.problem, "");
    EXPECT_GT(check.speedup(), 0.0);
    EXPECT_EQ(format.problem, "kavrixml format: exit code 1");
    EXPECT_TRUE(format.oursSeconds.empty());
    EXPECT_EQ(format.speedup(), 0.0);
    EXPECT_NE(log.str().find("kavrixml format: exit code 1"), std::string::npos);

    EXPECT_EQ(bench::FreshCommands({"", "lint", 5, 0}).unavailable(),
              "the kavrixml tool was not built with the benchmarks");
    EXPECT_EQ(
        bench::FreshCommands({script("tool", "exit 0"), "no-such-xmllint", 5, 0}).unavailable(),
        "xmllint was not found (Debian package libxml2-utils)");
}

TEST(BenchFreshHeap, FootprintAndRefusalLinesReadBackAsWritten) {
    heap::Footprint footprint;
    footprint.bytes = 14142848;
    footprint.residual = -24;
    bench::HeapReading reading;
    ASSERT_TRUE(bench::parseHeapLine(bench::heapLine(footprint), reading));
    EXPECT_TRUE(reading.measured);
    EXPECT_EQ(reading.bytes, 14142848);
    EXPECT_EQ(reading.residual, -24);

    // Whatever a library printed before it, the last line counts.
    ASSERT_TRUE(bench::parseHeapLine("warning: something\nheap 10 0\n", reading));
    EXPECT_EQ(reading.bytes, 10);

    // A multi-line reason stays one line, so that it cannot pass for a figure.
    ASSERT_TRUE(bench::parseHeapLine(bench::refusalLine("too deep\nheap 1 0"), reading));
    EXPECT_FALSE(reading.measured);
    EXPECT_EQ(reading.problem, "too deep heap 1 0");
}

TEST(BenchFreshHeap, AnythingElseIsAProblemNotAFigure) {
    bench::HeapReading reading;
    for (const char* output :
         {"", "\n", "heap", "heap 12", "heap 12 ", "heap -5 0", "heap 12 x", "heap 12 0 7",
          "heap x 0", "heap 99999999999999999999 0", "Segmentation fault"}) {
        EXPECT_FALSE(bench::parseHeapLine(output, reading)) << output;
        EXPECT_FALSE(reading.measured) << output;
        EXPECT_FALSE(reading.problem.empty()) << output;
    }
}

}  // namespace
