#include "framework/plinth/IRefCount.h"

#include <atomic>
#include <stdexcept>

namespace core {

namespace {

// Slot n - 1 holds callback number n. Slots fill from the front and are never
// cleared, so a reader that sees a number finds its callback in place.
std::atomic<IRefCount::ReleaseCallback> gCallbacks[IRefCount::MAX_RELEASE_CALLBACKS];

}  // namespace

uint32_t IRefCount::numberOf(ReleaseCallback callback) {
    if (callback == nullptr) {
        return 0;
    }
    for (uint32_t slot = 0; slot < MAX_RELEASE_CALLBACKS; ++slot) {
        ReleaseCallback held = gCallbacks[slot].load(std::memory_order_acquire);
        if (held == nullptr &&
            gCallbacks[slot].compare_exchange_strong(held, callback, std::memory_order_acq_rel)) {
            return slot + 1;
        }
        // Taken (now or by another thread just before): by this callback?
        if (held == callback) {
            return slot + 1;
        }
    }
    throw std::length_error("IRefCount: too many distinct release callbacks");
}

IRefCount::ReleaseCallback IRefCount::callbackNumbered(uint32_t number) {
    return gCallbacks[number - 1].load(std::memory_order_acquire);
}

}  // namespace core
