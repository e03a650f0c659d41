#include "core/BlockPool.h"

#include <mutex>

namespace core {

#ifdef KAVRIXML_BLOCKPOOL_PASS_THROUGH

void* BlockPool::allocate(size_t size) {
    return ::operator new(size);
}

void BlockPool::release(void* block, size_t) noexcept {
    ::operator delete(block);
}

BlockPool::Statistics BlockPool::statistics() {
    return Statistics{0, 0};
}

bool BlockPool::isPooling() {
    return false;
}

#else

namespace {

constexpr size_t GRAIN = 16;
constexpr unsigned CLASSES = BlockPool::MAX_BLOCK / GRAIN;
// Blocks moved between a thread's list and the shared one at a time; a
// thread keeps at most twice as many free blocks of a class.
constexpr unsigned BATCH = 128;
constexpr size_t CHUNK = 64 * 1024;

struct FreeBlock {
    FreeBlock* next;
};

unsigned classOf(size_t size) {
    return static_cast<unsigned>((size - 1) / GRAIN);
}

size_t blockSize(unsigned sizeClass) {
    return (sizeClass + 1) * GRAIN;
}

// The lists shared by all threads. Made once and never destroyed: threads
// that end after the static objects of the process are gone still hand their
// blocks back here.
struct Shared {
    struct List {
        std::mutex lock;
        FreeBlock* head = nullptr;
        size_t count = 0;
    };
    List lists[CLASSES];
    std::mutex statisticsLock;
    size_t reserved = 0;
};

Shared& shared() {
    static Shared* instance = new Shared();
    return *instance;
}

enum ThreadState : unsigned char {
    THREAD_NEW = 0,         // no Farewell yet: its lists would be lost at exit
    THREAD_REGISTERED = 1,  // the Farewell below will hand the lists back
    THREAD_ENDED = 2        // the lists were handed back: use the shared ones
};

// Plain data, so that using it needs no initialisation check.
struct ThreadLists {
    FreeBlock* head[CLASSES];
    unsigned count[CLASSES];
    unsigned char state;
};

// Initial-exec: the lists are reached at a fixed offset from the thread
// pointer instead of through a call per use; the library asks for a few
// hundred bytes of the static TLS space that the loader keeps for this.
__attribute__((tls_model("initial-exec"))) thread_local ThreadLists tLists;

void pushShared(unsigned sizeClass, FreeBlock* first, FreeBlock* last, size_t count) {
    Shared::List& list = shared().lists[sizeClass];
    std::lock_guard<std::mutex> guard(list.lock);
    last->next = list.head;
    list.head = first;
    list.count += count;
}

// Hands the thread's free blocks to the shared lists when the thread ends.
struct Farewell {
    ~Farewell() {
        for (unsigned c = 0; c < CLASSES; ++c) {
            FreeBlock* first = tLists.head[c];
            if (first == nullptr) {
                continue;
            }
            FreeBlock* last = first;
            while (last->next != nullptr) {
                last = last->next;
            }
            pushShared(c, first, last, tLists.count[c]);
            tLists.head[c] = nullptr;
            tLists.count[c] = 0;
        }
        tLists.state = THREAD_ENDED;
    }
};

void registerThread() {
    static thread_local Farewell farewell;
    (void)farewell;
    if (tLists.state == THREAD_NEW) {
        tLists.state = THREAD_REGISTERED;
    }
}

// Cuts a new chunk into blocks of the class; returns the first and chains
// the others from it.
FreeBlock* carveChunk(unsigned sizeClass, size_t& count) {
    const size_t size = blockSize(sizeClass);
    char* chunk = static_cast<char*>(::operator new(CHUNK));
    {
        Shared& pool = shared();
        std::lock_guard<std::mutex> guard(pool.statisticsLock);
        pool.reserved += CHUNK;
    }
    count = CHUNK / size;
    for (size_t i = 0; i + 1 < count; ++i) {
        reinterpret_cast<FreeBlock*>(chunk + i * size)->next =
            reinterpret_cast<FreeBlock*>(chunk + (i + 1) * size);
    }
    reinterpret_cast<FreeBlock*>(chunk + (count - 1) * size)->next = nullptr;
    return reinterpret_cast<FreeBlock*>(chunk);
}

// The slow path of allocate: the thread's list of the class is empty.
void* refill(unsigned sizeClass) {
    if (tLists.state == THREAD_NEW) {
        registerThread();
    }
    const bool ended = tLists.state == THREAD_ENDED;
    FreeBlock* taken = nullptr;
    size_t count = 0;
    {
        Shared::List& list = shared().lists[sizeClass];
        std::lock_guard<std::mutex> guard(list.lock);
        if (list.head != nullptr) {
            // A whole batch, or one block for a thread that is ending.
            const size_t wanted = ended ? 1 : BATCH;
            taken = list.head;
            FreeBlock* last = taken;
            count = 1;
            while (count < wanted && last->next != nullptr) {
                last = last->next;
                ++count;
            }
            list.head = last->next;
            list.count -= count;
            last->next = nullptr;
        }
    }
    if (taken == nullptr) {
        taken = carveChunk(sizeClass, count);
        if (ended) {
            // Keep one, the rest go to the shared list.
            if (count > 1) {
                FreeBlock* last = taken->next;
                while (last->next != nullptr) {
                    last = last->next;
                }
                pushShared(sizeClass, taken->next, last, count - 1);
            }
            return taken;
        }
    }
    if (ended) {
        return taken;
    }
    tLists.head[sizeClass] = taken->next;
    tLists.count[sizeClass] = static_cast<unsigned>(count - 1);
    return taken;
}

// Gives a batch of the thread's free blocks of a class to the shared list.
void drainBatch(unsigned sizeClass) {
    FreeBlock* first = tLists.head[sizeClass];
    FreeBlock* last = first;
    for (unsigned i = 1; i < BATCH; ++i) {
        last = last->next;
    }
    tLists.head[sizeClass] = last->next;
    tLists.count[sizeClass] -= BATCH;
    pushShared(sizeClass, first, last, BATCH);
}

}  // namespace

void* BlockPool::allocate(size_t size) {
    if (size == 0 || size > MAX_BLOCK) {
        return ::operator new(size);
    }
    const unsigned sizeClass = classOf(size);
    FreeBlock* block = tLists.head[sizeClass];
    if (block != nullptr) {
        tLists.head[sizeClass] = block->next;
        --tLists.count[sizeClass];
        return block;
    }
    return refill(sizeClass);
}

void BlockPool::release(void* block, size_t size) noexcept {
    if (block == nullptr) {
        return;
    }
    if (size == 0 || size > MAX_BLOCK) {
        ::operator delete(block);
        return;
    }
    const unsigned sizeClass = classOf(size);
    FreeBlock* freed = static_cast<FreeBlock*>(block);
    if (tLists.state != THREAD_REGISTERED) {
        if (tLists.state == THREAD_NEW) {
            registerThread();
        }
    }
    if (tLists.state == THREAD_ENDED) {
        freed->next = nullptr;
        pushShared(sizeClass, freed, freed, 1);
        return;
    }
    freed->next = tLists.head[sizeClass];
    tLists.head[sizeClass] = freed;
    if (++tLists.count[sizeClass] >= 2 * BATCH) {
        drainBatch(sizeClass);
    }
}

BlockPool::Statistics BlockPool::statistics() {
    Shared& pool = shared();
    Statistics figures{0, 0};
    {
        std::lock_guard<std::mutex> guard(pool.statisticsLock);
        figures.reserved = pool.reserved;
    }
    for (unsigned c = 0; c < CLASSES; ++c) {
        std::lock_guard<std::mutex> guard(pool.lists[c].lock);
        figures.free += (pool.lists[c].count + tLists.count[c]) * blockSize(c);
    }
    return figures;
}

bool BlockPool::isPooling() {
    return true;
}

#endif

}  // namespace core
