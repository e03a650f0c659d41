// The live-heap counter behind the memory columns of bench/RESULTS.md. It
// replaces malloc for the whole program; the self-test links it like every
// benchmark program does, and the benchmark is never built with sanitizers.
#include "bench/HeapCounter.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cerrno>
#include <cstdlib>

namespace {

// Called through volatile pointers, so that the compiler cannot pair an
// allocation with its release and drop both.
void* (*volatile allocate)(size_t) = malloc;
void* (*volatile reallocate)(void*, size_t) = realloc;
void* (*volatile allocateZeroed)(size_t, size_t) = calloc;
void (*volatile release)(void*) = free;

long long counted(void* block) {
    return static_cast<long long>(malloc_usable_size(block));
}

TEST(HeapCounter, CountsLiveBytesOnlyWhileCounting) {
    void* before = allocate(100);  // not counted, and never subtracted below
    heap::setCounting(true);
    const long long start = heap::liveBytes();
    void* block = allocate(1000);
    void* zeroed = allocateZeroed(10, 30);
    EXPECT_EQ(heap::liveBytes() - start, counted(block) + counted(zeroed));
    release(block);
    release(zeroed);
    EXPECT_EQ(heap::liveBytes(), start);
    heap::setCounting(false);
    void* uncounted = allocate(5000);
    EXPECT_EQ(heap::liveBytes(), start);
    release(uncounted);
    release(before);
}

TEST(HeapCounter, ReallocMovesTheCountFromTheOldBlockToTheNew) {
    heap::setCounting(true);
    const long long start = heap::liveBytes();
    void* block = allocate(24);
    block = reallocate(block, 1 << 20);  // grows, most likely moving
    EXPECT_EQ(heap::liveBytes() - start, counted(block));
    block = reallocate(block, 8);  // shrinks in place
    EXPECT_EQ(heap::liveBytes() - start, counted(block));
    void* fresh = reallocate(nullptr, 64);  // realloc of null allocates
    EXPECT_EQ(heap::liveBytes() - start, counted(block) + counted(fresh));
    release(block);
    release(fresh);
    EXPECT_EQ(heap::liveBytes(), start);
    heap::setCounting(false);
}

TEST(HeapCounter, AlignedAllocationsAreCountedAndBadAlignmentsRefused) {
    heap::setCounting(true);
    const long long start = heap::liveBytes();
    void* block = nullptr;
    EXPECT_EQ(posix_memalign(&block, 3, 64), EINVAL);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(heap::liveBytes(), start);
    ASSERT_EQ(posix_memalign(&block, 256, 100), 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 256, 0u);
    void* aligned = aligned_alloc(64, 128);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 64, 0u);
    EXPECT_EQ(heap::liveBytes() - start, counted(block) + counted(aligned));
    release(block);
    release(aligned);
    release(nullptr);
    EXPECT_EQ(heap::liveBytes(), start);
    heap::setCounting(false);
}

TEST(HeapCounter, MeasureGivesWhatABuildLeavesAndWhatItsDestroyLeaks) {
    void* kept = nullptr;
    void* leaked = nullptr;
    long long keptSize = 0;
    long long leakedSize = 0;
    heap::Footprint footprint = heap::measure(
        [&] {
            kept = allocate(4000);
            leaked = allocate(300);
            keptSize = counted(kept);
            leakedSize = counted(leaked);
            void* scratch = allocate(50000);  // freed within the build: not counted
            release(scratch);
        },
        [&] { release(kept); });
    EXPECT_EQ(footprint.bytes, keptSize + leakedSize);
    EXPECT_EQ(footprint.residual, leakedSize);
    release(leaked);
}

// A library pool's spare room is not part of the tree: a chunk taken from the
// heap counts only as far as it was handed out, and blocks handed back to
// the pool count as freed.
TEST(HeapCounter, MeasureLeavesOutWhatALibraryPoolHoldsFree) {
    void* chunk = nullptr;
    long long chunkSize = 0;
    long long poolFree = 0;
    heap::Footprint footprint = heap::measure(
        [&] {
            chunk = allocate(8000);
            chunkSize = counted(chunk);
            poolFree = chunkSize - 3000;  // 3000 bytes of it handed out
        },
        [&] { poolFree = chunkSize; },  // handed back, the chunk stays
        [&] { return poolFree; });
    EXPECT_EQ(footprint.bytes, 3000);
    EXPECT_EQ(footprint.residual, 0);
    release(chunk);
}

}  // namespace
