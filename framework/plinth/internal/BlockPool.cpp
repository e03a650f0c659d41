#include "framework/plinth/internal/BlockPool.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#include "framework/plinth/internal/HugePages.h"

namespace core {
namespace internal {

#ifdef KAVRIXML_BLOCKPOOL_PASS_THROUGH

void* BlockPool::allocate(size_t size) {
    return ::operator new(size);
}

void* BlockPool::allocateAside(size_t size) {
    return ::operator new(size);
}

// Sized where the compiler offers it (GCC by default, clang with
// -fsized-deallocation), so that AddressSanitizer checks that each block
// comes back with the size it was taken with: the pool files a block by its
// size, and a wrong one would corrupt it in builds where the pool is on.
void BlockPool::release(void* block, size_t size) noexcept {
#if defined(__cpp_sized_deallocation)
    ::operator delete(block, size);
#else
    (void)size;
    ::operator delete(block);
#endif
}

BlockPool::Statistics BlockPool::statistics() {
    return Statistics{0, 0};
}

bool BlockPool::isPooling() {
    return false;
}

#else

namespace {

constexpr size_t GRAIN = 8;
constexpr size_t CHUNK = 64 * 1024;
// Chunks are taken from the system REGION bytes at a time: a fresh process
// that reads a large document then takes one page fault per huge page
// (2 MiB) of tree instead of one per 4 KiB page, where the system backs the
// region with huge pages (see askForHugePages); a region of eight huge pages
// aligned to a chunk holds at least seven whole ones. Every chunk of a
// region is used, so what the region costs beyond its chunks is only the
// allocator's own slack for an alignment of 64 KiB (asking for huge-page
// alignment would cost up to a huge page per region).
constexpr size_t REGION = 16 * 1024 * 1024;
// A chunk's count starts this high while a thread still cuts blocks from it,
// so that releases cannot bring it to zero before the thread is done; the
// thread then takes off the bias less the blocks it cut (see retire).
constexpr long BIAS = 1L << 40;

// The head of every chunk; chunks are aligned to their size, so a block's
// chunk is its address with the low bits cleared.
struct alignas(64) Chunk {
    std::atomic<long> live;
};
constexpr size_t FIRST_BLOCK = sizeof(Chunk);

Chunk* chunkOf(void* block) {
    return reinterpret_cast<Chunk*>(reinterpret_cast<uintptr_t>(block) & ~(CHUNK - 1));
}

// The free chunks of one region: a bit per chunk.
struct Region {
    char* base;
    uint64_t free[REGION / CHUNK / 64];
};

// Free chunks of all threads, and the count of chunks taken from the system.
// Made once and never destroyed: threads that end after the static objects
// of the process are gone still hand their chunks back here.
//
// The free chunk of lowest address is taken first. A tree is built in the
// chunks it takes, so it lies in ascending memory, as walks and the memory
// system expect, whatever order earlier trees' chunks became free in (a
// tree's node chunks and text chunks empty at different paces).
struct Shared {
    std::mutex lock;
    std::vector<Region> regions;  // in address order
    size_t firstFree = 0;         // no region before this one has a free chunk
    size_t freeCount = 0;
    size_t reserved = 0;
};

// For searches of the region that holds an address.
bool startsAfter(const char* address, const Region& region) {
    return reinterpret_cast<uintptr_t>(address) < reinterpret_cast<uintptr_t>(region.base);
}

Shared& shared() {
    static Shared* instance = new Shared();
    return *instance;
}

enum ThreadState : unsigned char {
    THREAD_NEW = 0,         // no Farewell yet: its chunk would stay cut at exit
    THREAD_REGISTERED = 1,  // the Farewell below will retire the chunk
    THREAD_ENDED = 2        // the chunk was retired: each block gets its own
};

// Where a thread cuts one stream of blocks: the chunk, the next block and the
// end of the chunk.
struct Cutter {
    char* cursor;  // the next block
    char* limit;   // the end of the chunk
    Chunk* chunk;
    long cut;  // blocks cut from the chunk since it was taken or emptied
};

// Plain data, so that using it needs no initialisation check.
struct ThreadChunk {
    Cutter cutters[2];  // BlockPool::MAIN and BlockPool::ASIDE
    // Releases into other chunks are counted here and taken off their
    // counts in one step: a tree dies chunk by chunk, one of each stream at a
    // time, so two chunks are counted, the one released into last first. A
    // chunk's count is taken off when releases into a third chunk push it
    // out, before a new chunk is taken, for the statistics and when the
    // thread ends.
    Chunk* releasing[2];
    long released[2];
    unsigned char state;
};

__attribute__((tls_model("initial-exec"))) thread_local ThreadChunk tChunk;

void recycle(Chunk* chunk) noexcept {
    Shared& pool = shared();
    std::lock_guard<std::mutex> guard(pool.lock);
    const char* at = reinterpret_cast<const char*>(chunk);
    const auto after = std::upper_bound(pool.regions.begin(), pool.regions.end(), at, startsAfter);
    Region& region = *(after - 1);
    const size_t index = static_cast<size_t>(at - region.base) / CHUNK;
    region.free[index / 64] |= uint64_t(1) << (index % 64);
    pool.firstFree =
        std::min(pool.firstFree, static_cast<size_t>(after - 1 - pool.regions.begin()));
    ++pool.freeCount;
}

// Takes `count` released blocks off the chunk's count; whoever takes the
// last ones makes the chunk free.
void takeOff(Chunk* chunk, long count) noexcept {
    if (chunk->live.fetch_sub(count, std::memory_order_acq_rel) == count) {
        recycle(chunk);
    }
}

// A hint: where transparent huge pages are offered on request, the huge
// pages inside the region are backed whole when first touched; elsewhere
// nothing changes.
void askForHugePages(void* memory) noexcept {
    HugePages::ask(memory, REGION);
}

// Under the pool's lock: the free chunk of lowest address, or null.
Chunk* lowestFree(Shared& pool) noexcept {
    for (; pool.firstFree < pool.regions.size(); ++pool.firstFree) {
        Region& region = pool.regions[pool.firstFree];
        for (uint64_t& word : region.free) {
            if (word != 0) {
                const size_t index = static_cast<size_t>(&word - region.free) * 64 +
                                     static_cast<size_t>(__builtin_ctzll(word));
                word &= word - 1;
                --pool.freeCount;
                return reinterpret_cast<Chunk*>(region.base + index * CHUNK);
            }
        }
    }
    return nullptr;
}

Chunk* takeChunk() {
    Shared& pool = shared();
    std::lock_guard<std::mutex> guard(pool.lock);
    if (Chunk* chunk = lowestFree(pool)) {
        return chunk;
    }
    // Room for the new region's map, then the region: the aligned operator
    // new, not mmap, which is what a program that replaces the allocator
    // sees. Either may throw std::bad_alloc; nothing has changed then, so
    // the next allocation simply tries again.
    pool.regions.reserve(pool.regions.size() + 1);
    char* base = static_cast<char*>(::operator new(REGION, std::align_val_t(CHUNK)));
    askForHugePages(base);
    // The first chunk is the caller's; the others become free.
    Region region{base, {}};
    std::fill(std::begin(region.free), std::end(region.free), ~uint64_t(0));
    region.free[0] &= ~uint64_t(1);
    const auto at = std::upper_bound(pool.regions.begin(), pool.regions.end(), base, startsAfter);
    pool.firstFree = std::min(pool.firstFree, static_cast<size_t>(at - pool.regions.begin()));
    pool.regions.insert(at, region);
    pool.freeCount += REGION / CHUNK - 1;
    pool.reserved += REGION;
    return reinterpret_cast<Chunk*>(base);
}

// The thread stops cutting from the cutter's chunk; whoever releases the
// chunk's last block (this thread, now, if none is left) makes it free.
void retire(Cutter& cutter) noexcept {
    Chunk* chunk = cutter.chunk;
    if (chunk == nullptr) {
        return;
    }
    takeOff(chunk, BIAS - cutter.cut);
    cutter.chunk = nullptr;
    cutter.cursor = nullptr;
    cutter.limit = nullptr;
    cutter.cut = 0;
}

void settleReleases() noexcept {
    for (int i = 0; i < 2; ++i) {
        if (tChunk.releasing[i] != nullptr) {
            takeOff(tChunk.releasing[i], tChunk.released[i]);
            tChunk.releasing[i] = nullptr;
            tChunk.released[i] = 0;
        }
    }
}

// Settles the thread's releases and retires its chunks when the thread ends.
struct Farewell {
    ~Farewell() {
        settleReleases();
        for (Cutter& cutter : tChunk.cutters) {
            retire(cutter);
        }
        tChunk.state = THREAD_ENDED;
    }
};

void registerThread() {
    static thread_local Farewell farewell;
    (void)farewell;
    if (tChunk.state == THREAD_NEW) {
        tChunk.state = THREAD_REGISTERED;
    }
}

void startChunk(Cutter& cutter, Chunk* chunk) {
    chunk->live.store(BIAS, std::memory_order_relaxed);
    cutter.chunk = chunk;
    cutter.cursor = reinterpret_cast<char*>(chunk) + FIRST_BLOCK;
    cutter.limit = reinterpret_cast<char*>(chunk) + CHUNK;
    cutter.cut = 0;
}

// The slow path of allocate: the cutter's chunk is full (or there is none).
void* allocateFromNewChunk(Cutter& cutter, size_t size) {
    if (tChunk.state == THREAD_NEW) {
        registerThread();
    }
    // A chunk this thread has just emptied is the best one to cut next.
    settleReleases();
    retire(cutter);
    Chunk* chunk = takeChunk();
    startChunk(cutter, chunk);
    char* block = cutter.cursor;
    cutter.cursor += size;
    ++cutter.cut;
    if (tChunk.state == THREAD_ENDED) {
        // Past the thread's Farewell nothing would retire the chunk later.
        retire(cutter);
    }
    return block;
}

// A release into the cutter's own chunk. That chunk emptied means no block
// of it is held anywhere, so nobody else can touch it, and cutting starts
// over.
void releaseOwn(Cutter& cutter) noexcept {
    Chunk* chunk = cutter.chunk;
    const long left = chunk->live.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == BIAS - cutter.cut) {
        startChunk(cutter, chunk);
    }
}

// The stream is fixed in each caller, so that finding its cutter costs
// nothing at run time.
template <unsigned STREAM>
void* cut(size_t size) {
    if (size == 0 || size > BlockPool::MAX_BLOCK) {
        return ::operator new(size);
    }
    const size_t rounded = (size + GRAIN - 1) & ~(GRAIN - 1);
    Cutter& cutter = tChunk.cutters[STREAM];
    if (static_cast<size_t>(cutter.limit - cutter.cursor) >= rounded) {
        char* block = cutter.cursor;
        cutter.cursor += rounded;
        ++cutter.cut;
        return block;
    }
    return allocateFromNewChunk(cutter, rounded);
}

}  // namespace

void* BlockPool::allocate(size_t size) {
    return cut<MAIN>(size);
}

void* BlockPool::allocateAside(size_t size) {
    return cut<ASIDE>(size);
}

void BlockPool::release(void* block, size_t size) noexcept {
    if (block == nullptr) {
        return;
    }
    if (size == 0 || size > MAX_BLOCK) {
        ::operator delete(block);
        return;
    }
    Chunk* chunk = chunkOf(block);
    // Most releases go to a chunk of the ones before (never one the thread
    // cuts from: they are settled before the thread takes a chunk).
    if (chunk == tChunk.releasing[0]) {
        ++tChunk.released[0];
        return;
    }
    if (chunk == tChunk.releasing[1]) {
        ++tChunk.released[1];
        return;
    }
    if (chunk == tChunk.cutters[MAIN].chunk) {
        releaseOwn(tChunk.cutters[MAIN]);
        return;
    }
    if (chunk == tChunk.cutters[ASIDE].chunk) {
        releaseOwn(tChunk.cutters[ASIDE]);
        return;
    }
    if (tChunk.state != THREAD_REGISTERED) {
        if (tChunk.state == THREAD_NEW) {
            registerThread();
        }
        if (tChunk.state == THREAD_ENDED) {
            // Nothing would settle a count kept from now on.
            takeOff(chunk, 1);
            return;
        }
    }
    if (tChunk.releasing[1] != nullptr) {
        takeOff(tChunk.releasing[1], tChunk.released[1]);
    }
    tChunk.releasing[1] = tChunk.releasing[0];
    tChunk.released[1] = tChunk.released[0];
    tChunk.releasing[0] = chunk;
    tChunk.released[0] = 1;
}

BlockPool::Statistics BlockPool::statistics() {
    settleReleases();
    Shared& pool = shared();
    std::lock_guard<std::mutex> guard(pool.lock);
    // A thread's chunk counts whole once no block of it is cut.
    size_t unused = 0;
    for (const Cutter& cutter : tChunk.cutters) {
        unused += cutter.chunk != nullptr && cutter.cut == 0
                      ? CHUNK
                      : static_cast<size_t>(cutter.limit - cutter.cursor);
    }
    return Statistics{pool.reserved, pool.freeCount * CHUNK + unused};
}

bool BlockPool::isPooling() {
    return true;
}

#endif

}  // namespace internal
}  // namespace core
