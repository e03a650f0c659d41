// The replacements of operator new and delete; see failing_allocator.h.
#include "failing_allocator.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace failing {

namespace {

std::atomic<bool> gArmed{false};
std::atomic<bool> gFailing{false};  // FROM_THEN_ON after the Nth
std::atomic<unsigned long> gCount{0};
std::atomic<unsigned long> gTarget{0};
std::atomic<long> gLive{0};
Mode gMode = Mode::ONCE;

bool shouldFail() {
    if (!gArmed.load(std::memory_order_relaxed)) {
        return false;
    }
    const unsigned long count = gCount.fetch_add(1, std::memory_order_relaxed) + 1;
    if (gFailing.load(std::memory_order_relaxed)) {
        return true;
    }
    if (count != gTarget.load(std::memory_order_relaxed)) {
        return false;
    }
    if (gMode == Mode::FROM_THEN_ON) {
        gFailing.store(true, std::memory_order_relaxed);
    }
    return true;
}

void* allocate(std::size_t size, std::size_t alignment) {
    if (shouldFail()) {
        throw std::bad_alloc();
    }
    if (size == 0) {
        size = 1;
    }
    void* block = nullptr;
    if (alignment <= alignof(std::max_align_t)) {
        block = std::malloc(size);
    } else if (posix_memalign(&block, alignment, size) != 0) {
        block = nullptr;
    }
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    gLive.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void* allocateOrNull(std::size_t size, std::size_t alignment) noexcept {
    try {
        return allocate(size, alignment);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void release(void* block) noexcept {
    if (block != nullptr) {
        gLive.fetch_sub(1, std::memory_order_relaxed);
        std::free(block);
    }
}

const std::size_t PLAIN = alignof(std::max_align_t);

}  // namespace

void arm(unsigned long n, Mode mode) {
    gMode = mode;
    gCount.store(0, std::memory_order_relaxed);
    gTarget.store(n, std::memory_order_relaxed);
    gFailing.store(false, std::memory_order_relaxed);
    gArmed.store(true, std::memory_order_relaxed);
}

unsigned long disarm() {
    gArmed.store(false, std::memory_order_relaxed);
    gFailing.store(false, std::memory_order_relaxed);
    return gCount.load(std::memory_order_relaxed);
}

long liveBlocks() {
    return gLive.load(std::memory_order_relaxed);
}

}  // namespace failing

// --- The replacements -------------------------------------------------------------------

void* operator new(std::size_t size) {
    return failing::allocate(size, failing::PLAIN);
}
void* operator new[](std::size_t size) {
    return failing::allocate(size, failing::PLAIN);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return failing::allocateOrNull(size, failing::PLAIN);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return failing::allocateOrNull(size, failing::PLAIN);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return failing::allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return failing::allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return failing::allocateOrNull(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return failing::allocateOrNull(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept {
    failing::release(block);
}
void operator delete[](void* block) noexcept {
    failing::release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    failing::release(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    failing::release(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    failing::release(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    failing::release(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    failing::release(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    failing::release(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    failing::release(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    failing::release(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    failing::release(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    failing::release(block);
}
