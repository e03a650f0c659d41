#include "bench/HeapCounter.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>

// glibc's own entry points, which the replacements below forward to.
extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* block);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
}

namespace {

std::atomic<bool> gCounting{false};
std::atomic<long long> gLive{0};

inline bool counting() {
    return gCounting.load(std::memory_order_relaxed);
}

inline void added(void* block) {
    if (block != nullptr && counting()) {
        gLive.fetch_add(static_cast<long long>(malloc_usable_size(block)),
                        std::memory_order_relaxed);
    }
}

inline void removed(void* block) {
    if (block != nullptr && counting()) {
        gLive.fetch_sub(static_cast<long long>(malloc_usable_size(block)),
                        std::memory_order_relaxed);
    }
}

bool validAlignment(size_t alignment) {
    return alignment != 0 && (alignment & (alignment - 1)) == 0 && alignment % sizeof(void*) == 0;
}

}  // namespace

namespace heap {

void setCounting(bool on) {
    gCounting.store(on, std::memory_order_relaxed);
}
long long liveBytes() {
    return gLive.load(std::memory_order_relaxed);
}

}  // namespace heap

extern "C" {

void* malloc(size_t size) noexcept {
    void* block = __libc_malloc(size);
    added(block);
    return block;
}

void free(void* block) noexcept {
    removed(block);
    __libc_free(block);
}

void* calloc(size_t count, size_t size) noexcept {
    void* block = __libc_calloc(count, size);
    added(block);
    return block;
}

void* realloc(void* block, size_t size) noexcept {
    // The old block is gone once realloc succeeds, so its size is taken first;
    // on failure it stays and stays counted.
    const long long oldSize =
        block != nullptr && counting() ? static_cast<long long>(malloc_usable_size(block)) : 0;
    void* moved = __libc_realloc(block, size);
    if (counting() && (moved != nullptr || size == 0)) {
        gLive.fetch_sub(oldSize, std::memory_order_relaxed);
        added(moved);
    }
    return moved;
}

void* memalign(size_t alignment, size_t size) noexcept {
    void* block = __libc_memalign(alignment, size);
    added(block);
    return block;
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    void* block = __libc_memalign(alignment, size);
    added(block);
    return block;
}

int posix_memalign(void** result, size_t alignment, size_t size) noexcept {
    if (!validAlignment(alignment)) {
        return EINVAL;
    }
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr) {
        return ENOMEM;
    }
    added(block);
    *result = block;
    return 0;
}

void* valloc(size_t size) noexcept {
    void* block = __libc_valloc(size);
    added(block);
    return block;
}

void* pvalloc(size_t size) noexcept {
    void* block = __libc_pvalloc(size);
    added(block);
    return block;
}

}  // extern "C"
