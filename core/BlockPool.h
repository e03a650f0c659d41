// BlockPool hands out small memory blocks (up to MAX_BLOCK bytes) in size
// classes of 16 bytes, for the many small objects of a document tree: nodes,
// attributes, the attribute maps' entries and key copies. Each thread keeps a
// free list per class and trades blocks with a process-wide list in batches,
// so the common allocation and release take a few instructions and no lock.
//
// Ownership: memory is taken from the system in chunks that stay with the
// process; released blocks go back to the lists, never to the system. A block
// may be released by any thread, not only the one that took it. Released
// blocks must be given back with the size they were allocated with.
//
//   void* p = core::BlockPool::allocate(sizeof(Node));
//   core::BlockPool::release(p, sizeof(Node));
//   std::map<K, V, Less, core::PoolAllocator<std::pair<const K, V>>> pooled;
//
// Built with AddressSanitizer or MemorySanitizer the pool passes every
// request to operator new and delete, so that the sanitizers see each block
// on its own (overflows, use after free, leaks). ThreadSanitizer keeps the
// pool: blocks travel between threads only through the locked shared lists,
// which it understands, and the thread caches are what it has to check.
#ifndef KAVRIXML_CORE_BLOCKPOOL_H
#define KAVRIXML_CORE_BLOCKPOOL_H

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

class BlockPool {
  public:
    static constexpr size_t MAX_BLOCK = 256;

    // Larger requests (and every request in a sanitizer build) go to
    // operator new; allocate throws std::bad_alloc as it does.
    static void* allocate(size_t size);
    static void release(void* block, size_t size) noexcept;

    struct Statistics {
        size_t reserved;  // bytes of the chunks taken from the system
        size_t free;      // bytes of free blocks in the shared lists and
                          // in the calling thread's lists
    };
    // Exact for a pool used by the calling thread alone; blocks that other
    // threads hold free in their own lists count as in use.
    static Statistics statistics();

    // Whether blocks come from the pool (false with AddressSanitizer or
    // MemorySanitizer).
    static bool isPooling();
};

// A standard allocator over BlockPool for node-based containers: single
// objects come from the pool, arrays from operator new.
template <class T>
struct PoolAllocator {
    using value_type = T;

    PoolAllocator() noexcept = default;
    template <class U>
    PoolAllocator(const PoolAllocator<U>&) noexcept {}

    T* allocate(size_t count) {
        if (count == 1) {
            return static_cast<T*>(BlockPool::allocate(sizeof(T)));
        }
        return static_cast<T*>(::operator new(count * sizeof(T)));
    }
    void deallocate(T* block, size_t count) noexcept {
        if (count == 1) {
            BlockPool::release(block, sizeof(T));
        } else {
            ::operator delete(block);
        }
    }

    template <class U>
    bool operator==(const PoolAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const PoolAllocator<U>&) const noexcept {
        return false;
    }
};

}  // namespace core

#endif  // KAVRIXML_CORE_BLOCKPOOL_H
