#include "core/BlockPool.h"

#include <mutex>
#include <vector>

namespace core {

#ifdef KAVRIXML_BLOCKPOOL_PASS_THROUGH

void* BlockPool::allocate(size_t size) {
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

constexpr size_t GRAIN = 16;
constexpr unsigned CLASSES = BlockPool::MAX_BLOCK / GRAIN;
// A thread that holds this many free blocks of a class hands them all to the
// shared list as one batch; a thread whose list runs dry takes one batch.
constexpr unsigned BATCH = 256;
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

// A chain of free blocks with its ends and length, so that it moves between
// the lists whole: no walk over its blocks (each one a likely cache miss).
struct Batch {
    FreeBlock* first;
    FreeBlock* last;
    size_t count;
};

// The lists shared by all threads: per class a stack of batches. Made once
// and never destroyed: threads that end after the static objects of the
// process are gone still hand their blocks back here.
struct Shared {
    struct List {
        std::mutex lock;
        std::vector<Batch> batches;
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
    FreeBlock* tail[CLASSES];  // the last block while head is not null
    unsigned count[CLASSES];
    unsigned char state;
};

// Initial-exec: the lists are reached at a fixed offset from the thread
// pointer instead of through a call per use; the library asks for a few
// hundred bytes of the static TLS space that the loader keeps for this.
__attribute__((tls_model("initial-exec"))) thread_local ThreadLists tLists;

// Never throws: a batch that finds no room in the stack (out of memory) is
// dropped, its blocks lost to the pool rather than handed out twice.
void pushShared(unsigned sizeClass, const Batch& batch) noexcept {
    Shared::List& list = shared().lists[sizeClass];
    std::lock_guard<std::mutex> guard(list.lock);
    try {
        list.batches.push_back(batch);
        list.count += batch.count;
    } catch (...) {
    }
}

// Hands the thread's free blocks to the shared lists when the thread ends.
struct Farewell {
    ~Farewell() {
        for (unsigned c = 0; c < CLASSES; ++c) {
            if (tLists.head[c] != nullptr) {
                pushShared(c, Batch{tLists.head[c], tLists.tail[c], tLists.count[c]});
            }
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

// Cuts a new chunk into blocks of the class.
Batch carveChunk(unsigned sizeClass) {
    const size_t size = blockSize(sizeClass);
    char* chunk = static_cast<char*>(::operator new(CHUNK));
    {
        Shared& pool = shared();
        std::lock_guard<std::mutex> guard(pool.statisticsLock);
        pool.reserved += CHUNK;
    }
    const size_t count = CHUNK / size;
    for (size_t i = 0; i + 1 < count; ++i) {
        reinterpret_cast<FreeBlock*>(chunk + i * size)->next =
            reinterpret_cast<FreeBlock*>(chunk + (i + 1) * size);
    }
    FreeBlock* last = reinterpret_cast<FreeBlock*>(chunk + (count - 1) * size);
    last->next = nullptr;
    return Batch{reinterpret_cast<FreeBlock*>(chunk), last, count};
}

// The slow path of allocate: the thread's list of the class is empty.
void* refill(unsigned sizeClass) {
    if (tLists.state == THREAD_NEW) {
        registerThread();
    }
    Batch batch{nullptr, nullptr, 0};
    {
        Shared::List& list = shared().lists[sizeClass];
        std::lock_guard<std::mutex> guard(list.lock);
        if (!list.batches.empty()) {
            batch = list.batches.back();
            list.batches.pop_back();
            list.count -= batch.count;
        }
    }
    if (batch.first == nullptr) {
        batch = carveChunk(sizeClass);
    }
    FreeBlock* taken = batch.first;
    if (batch.count > 1) {
        const Batch rest{taken->next, batch.last, batch.count - 1};
        if (tLists.state == THREAD_ENDED) {
            pushShared(sizeClass, rest);
        } else {
            tLists.head[sizeClass] = rest.first;
            tLists.tail[sizeClass] = rest.last;
            tLists.count[sizeClass] = static_cast<unsigned>(rest.count);
        }
    }
    return taken;
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
        if (tLists.state == THREAD_ENDED) {
            freed->next = nullptr;
            pushShared(sizeClass, Batch{freed, freed, 1});
            return;
        }
    }
    FreeBlock* head = tLists.head[sizeClass];
    if (head == nullptr) {
        tLists.tail[sizeClass] = freed;
        tLists.count[sizeClass] = 0;
    }
    freed->next = head;
    tLists.head[sizeClass] = freed;
    if (++tLists.count[sizeClass] >= BATCH) {
        pushShared(sizeClass, Batch{freed, tLists.tail[sizeClass], tLists.count[sizeClass]});
        tLists.head[sizeClass] = nullptr;
        tLists.count[sizeClass] = 0;
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
        const size_t mine = tLists.head[c] != nullptr ? tLists.count[c] : 0;
        figures.free += (pool.lists[c].count + mine) * blockSize(c);
    }
    return figures;
}

bool BlockPool::isPooling() {
    return true;
}

#endif

}  // namespace core
