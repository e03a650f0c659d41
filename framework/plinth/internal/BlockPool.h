// BlockPool hands out small memory blocks (up to MAX_BLOCK bytes, aligned to
// 8 bytes) for the many small objects of a document tree: nodes, attributes,
// the attribute maps' entries and key copies. Each thread cuts its blocks one
// after the other from a chunk of its own, so that a tree built by one thread
// lies in memory in the order it was built (which is the order it is walked
// and freed in), and the common allocation is a pointer bump with no lock.
//
// A thread cuts two streams of blocks from two chunks: MAIN for what a walk
// over a tree's structure visits (nodes, child arrays, attributes), ASIDE
// for what such a walk passes by (texts). Kept apart, the structure of a
// tree lies densely in memory, and a walk over it reads fewer bytes.
//
// Ownership: a chunk counts its live blocks; it becomes free again once it is
// full and every block cut from it has been released, and free chunks are
// kept for reuse by any thread (the lowest address first), never handed back
// to the system. A released
// block's room is not reused before its whole chunk is free, so a few
// long-lived blocks keep their chunks (64 KiB each) in use. Chunks are
// taken from the system 16 MiB at a time with the aligned operator new (so a
// replaced operator new sees them, and a refusal throws std::bad_alloc and
// leaves the pool as it was), with transparent huge pages asked for. A block may be
// released by any thread, not only the one that took it, and must be given
// back with the size it was allocated with.
//
//   void* p = core::internal::BlockPool::allocate(sizeof(Node));
//   core::internal::BlockPool::release(p, sizeof(Node));
//   std::map<K, V, Less, core::internal::PoolAllocator<std::pair<const K, V>>> pooled;
//
// Built with AddressSanitizer or MemorySanitizer the pool passes every
// request to operator new and delete, so that the sanitizers see each block
// on its own (overflows, use after free, leaks). ThreadSanitizer keeps the
// pool: chunks travel between threads through atomic counts and locked
// maps of free chunks, which it understands.
#ifndef KAVRIXML_FRAMEWORK_PLINTH_INTERNAL_BLOCKPOOL_H
#define KAVRIXML_FRAMEWORK_PLINTH_INTERNAL_BLOCKPOOL_H

#include <cstddef>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define KAVRIXML_BLOCKPOOL_PASS_THROUGH 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define KAVRIXML_BLOCKPOOL_PASS_THROUGH 1
#endif
#endif

namespace core {
namespace internal {

class BlockPool {
  public:
    static constexpr size_t MAX_BLOCK = 256;
    enum Stream : unsigned { MAIN = 0, ASIDE = 1 };

    // Larger requests (and every request in a sanitizer build) go to
    // operator new; allocate throws std::bad_alloc as it does. allocate
    // cuts from the MAIN stream, allocateAside from the ASIDE one.
    static void* allocate(size_t size);
    static void* allocateAside(size_t size);
    static void release(void* block, size_t size) noexcept;

    struct Statistics {
        size_t reserved;  // bytes of the chunks taken from the system
        size_t free;      // bytes of the free chunks and of the calling
                          // thread's chunks not cut into blocks yet
    };
    // Released blocks of chunks that still hold live blocks count as in
    // use (their room is not reused yet); so does the rest of the chunks of
    // other threads.
    static Statistics statistics();

    // Whether blocks come from the pool (false with AddressSanitizer or
    // MemorySanitizer).
    static bool isPooling();
};

// A standard allocator over BlockPool for node-based containers and small
// arrays: requests up to LIMIT bytes come from the pool, larger ones from
// operator new. A container that grows through many sizes wants a low limit:
// the pool does not reuse the room of a released block before its whole
// chunk is free, while the heap reuses it at once.
template <class T, size_t LIMIT = BlockPool::MAX_BLOCK>
struct PoolAllocator {
    using value_type = T;
    static_assert(alignof(T) <= 8, "pool blocks are aligned to 8 bytes");
    static_assert(LIMIT <= BlockPool::MAX_BLOCK, "larger blocks are not pooled");
    template <class U>
    struct rebind {
        using other = PoolAllocator<U, LIMIT>;
    };

    PoolAllocator() noexcept = default;
    template <class U>
    PoolAllocator(const PoolAllocator<U, LIMIT>&) noexcept {}

    T* allocate(size_t count) {
        if (count > LIMIT / sizeof(T)) {
            return static_cast<T*>(::operator new(count * sizeof(T)));
        }
        return static_cast<T*>(BlockPool::allocate(count * sizeof(T)));
    }
    void deallocate(T* block, size_t count) noexcept {
        if (count > LIMIT / sizeof(T)) {
            ::operator delete(block);
        } else {
            BlockPool::release(block, count * sizeof(T));
        }
    }

    template <class U>
    bool operator==(const PoolAllocator<U, LIMIT>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const PoolAllocator<U, LIMIT>&) const noexcept {
        return false;
    }
};

}  // namespace internal
}  // namespace core

#endif  // KAVRIXML_FRAMEWORK_PLINTH_INTERNAL_BLOCKPOOL_H
