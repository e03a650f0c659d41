// The line by which a --heap-only process hands its figure back to the
// comparison: a figure misread here would be judged against a target.
#include "bench/FreshHeap.h"

#include <gtest/gtest.h>

namespace {

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
