#include "framework/plinth/internal/BlockPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <thread>
#include <vector>

namespace {

// Pool chunks come from the aligned operator new; replaced here so that a
// test can make it fail.
std::atomic<bool> gFailAlignedNew{false};

}  // namespace

void* operator new(std::size_t size, std::align_val_t alignment) {
    void* memory = nullptr;
    const size_t align = std::max(static_cast<size_t>(alignment), sizeof(void*));
    if (gFailAlignedNew.load() || posix_memalign(&memory, align, size == 0 ? 1 : size) != 0) {
        throw std::bad_alloc();
    }
    return memory;
}
void operator delete(void* block, std::align_val_t) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    std::free(block);
}

namespace {

using core::internal::BlockPool;

// Blocks of every size class are distinct, writable over their whole size
// and reused after release, also when another thread released them.
TEST(BlockPoolTest, BlocksAreDistinctWritableAndSurviveCrossThreadRelease) {
    std::vector<std::pair<void*, size_t>> blocks;
    for (size_t size = 1; size <= BlockPool::MAX_BLOCK + 40; size += 7) {
        for (int i = 0; i < 300; ++i) {
            void* block = BlockPool::allocate(size);
            std::memset(block, static_cast<int>(size & 0xFF), size);
            blocks.emplace_back(block, size);
        }
    }
    for (const auto& entry : blocks) {
        const unsigned char* bytes = static_cast<const unsigned char*>(entry.first);
        for (size_t i = 0; i < entry.second; ++i) {
            ASSERT_EQ(bytes[i], entry.second & 0xFF) << "size " << entry.second;
        }
    }
    std::thread releaser([&blocks] {
        for (const auto& entry : blocks) {
            BlockPool::release(entry.first, entry.second);
        }
    });
    releaser.join();
    // The released blocks are at the process's disposal again.
    for (int i = 0; i < 1000; ++i) {
        void* block = BlockPool::allocate(48);
        std::memset(block, 0x5A, 48);
        BlockPool::release(block, 48);
    }
}

// Threads allocate and free concurrently, handing blocks to one another.
TEST(BlockPoolTest, ThreadsTradeBlocksWithoutCorruption) {
    const int THREADS = 4;
    const int ROUNDS = 20000;
    std::vector<std::vector<int*>> handedOver(THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([t, &handedOver] {
            std::vector<int*> mine;
            for (int i = 0; i < ROUNDS; ++i) {
                int* block = static_cast<int*>(BlockPool::allocate(sizeof(int) * 4));
                block[0] = t;
                block[3] = i;
                mine.push_back(block);
                if (mine.size() > 100) {
                    int* old = mine.front();
                    mine.erase(mine.begin());
                    EXPECT_EQ(old[0], t);
                    BlockPool::release(old, sizeof(int) * 4);
                }
            }
            handedOver[t] = mine;
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < THREADS; ++t) {
        for (int* block : handedOver[t]) {
            EXPECT_EQ(block[0], t);
            BlockPool::release(block, sizeof(int) * 4);
        }
    }
}

// Blocks of the two streams, cut and released in turn, are counted to the
// byte, and their chunks are all free again once every block is back.
TEST(BlockPoolTest, StatisticsCountReservedAndFreeBytes) {
    const BlockPool::Statistics before = BlockPool::statistics();
    std::vector<void*> blocks;
    for (int i = 0; i < 2500; ++i) {
        blocks.push_back(BlockPool::allocate(64));
        blocks.push_back(BlockPool::allocateAside(64));
    }
    if (BlockPool::isPooling()) {
        // Each stream is cut back to back, but where a chunk ends.
        size_t adjacent = 0;
        for (size_t i = 2; i < blocks.size(); ++i) {
            adjacent += static_cast<char*>(blocks[i]) - static_cast<char*>(blocks[i - 2]) == 64;
        }
        EXPECT_GE(adjacent, blocks.size() - 20);
    }
    const BlockPool::Statistics during = BlockPool::statistics();
    for (void* block : blocks) {
        BlockPool::release(block, 64);
    }
    const BlockPool::Statistics after = BlockPool::statistics();
    if (!BlockPool::isPooling()) {
        EXPECT_EQ(during.reserved, 0u);
        EXPECT_EQ(after.free, 0u);
        return;
    }
    const size_t inUseBefore = before.reserved - before.free;
    const size_t inUseDuring = during.reserved - during.free;
    const size_t inUseAfter = after.reserved - after.free;
    // Blocks are cut back to back; a chunk's head and the room at its end
    // too small for another block count as in use while it holds blocks.
    EXPECT_GE(inUseDuring - inUseBefore, 5000u * 64u);
    EXPECT_LE(inUseDuring - inUseBefore, 5000u * 64u + 2 * 6 * 64u * 2);
    EXPECT_EQ(inUseAfter, inUseBefore);
    EXPECT_GE(during.reserved, before.reserved);

    // Free chunks are cut again lowest first, whatever order they became
    // free in: a tree made after others died lies in ascending memory. The
    // blocks fill more than one region, and once they are all free again no
    // region is added.
    const auto backwards = [](const std::vector<void*>& cut) {
        size_t count = 0;
        for (size_t i = 2; i < cut.size(); ++i) {
            count += std::less<void*>()(cut[i], cut[i - 2]);
        }
        return count;
    };
    std::vector<void*> again;
    size_t reserved = 0;
    for (int round = 0; round < 3; ++round) {
        again.clear();
        for (int i = 0; i < 40000; ++i) {
            again.push_back(BlockPool::allocate(256));
            again.push_back(BlockPool::allocateAside(256));
        }
        // Chunks empty in a scrambled order: blocks go back 997 apart.
        for (size_t i = 0, at = 0; i < again.size(); ++i, at = (at + 997) % again.size()) {
            BlockPool::release(again[at], 256);
        }
        if (round == 0) {
            reserved = BlockPool::statistics().reserved;
            EXPECT_GT(reserved, during.reserved);  // a region more
        }
    }
    EXPECT_LE(backwards(again), 2u);
    EXPECT_EQ(BlockPool::statistics().reserved, reserved);
}

// Chunks cut by a thread that has ended and emptied by another thread are
// free again: the pool holds no more in use than before.
TEST(BlockPoolTest, ChunksEmptiedAcrossThreadsBecomeFree) {
    if (!BlockPool::isPooling()) {
        GTEST_SKIP() << "the pool passes through to operator new";
    }
    const BlockPool::Statistics before = BlockPool::statistics();
    std::vector<void*> blocks;
    std::thread([&blocks] {
        for (int i = 0; i < 5000; ++i) {
            blocks.push_back(BlockPool::allocate(100));
        }
    }).join();
    std::thread([&blocks] {
        for (void* block : blocks) {
            BlockPool::release(block, 100);
        }
    }).join();
    const BlockPool::Statistics after = BlockPool::statistics();
    EXPECT_EQ(after.reserved - after.free, before.reserved - before.free);
}

// A chunk the system refuses fails the allocation with std::bad_alloc and
// leaves the pool as it was: the next allocation takes a chunk and works.
TEST(BlockPoolTest, ARefusedChunkThrowsAndLeavesThePoolUsable) {
    if (!BlockPool::isPooling()) {
        GTEST_SKIP() << "the pool passes through to operator new";
    }
    std::thread([] {
        std::vector<void*> blocks;
        blocks.reserve(1 << 20);
        bool refused = false;
        gFailAlignedNew = true;
        // Free chunks are cut first; the first one taken from the system
        // fails.
        try {
            while (blocks.size() < blocks.capacity()) {
                blocks.push_back(BlockPool::allocate(256));
            }
        } catch (const std::bad_alloc&) {
            refused = true;
        }
        gFailAlignedNew = false;
        EXPECT_TRUE(refused);
        void* after = BlockPool::allocate(256);
        std::memset(after, 0x5A, 256);
        blocks.push_back(after);
        for (void* block : blocks) {
            BlockPool::release(block, 256);
        }
    }).join();
}

// Maps over the pool allocator behave as ordinary maps.
TEST(BlockPoolTest, PoolAllocatorBacksOrderedMaps) {
    std::map<int, int, std::less<int>, core::internal::PoolAllocator<std::pair<const int, int>>>
        map;
    for (int i = 0; i < 2000; ++i) {
        map[(i * 7919) % 2000] = i;
    }
    ASSERT_EQ(map.size(), 2000u);
    int expected = 0;
    for (const auto& entry : map) {
        EXPECT_EQ(entry.first, expected++);
    }
    for (int i = 0; i < 2000; i += 2) {
        map.erase(i);
    }
    EXPECT_EQ(map.size(), 1000u);
    EXPECT_EQ(map.begin()->first, 1);
}

}  // namespace
