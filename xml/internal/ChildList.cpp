#include "xml/internal/ChildList.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "framework/plinth/internal/BlockPool.h"
#include "xml/XNode.h"

namespace kavri {
namespace xml {
namespace internal {

namespace {

// The first array holds four: most elements with children have few, and a
// pool block's room is not reused before its whole chunk is free, so
// growing by smaller steps would leave each step behind. Larger arrays come
// from the heap, which does reuse them as they grow.
const uint32_t FIRST_CAPACITY = ChildList::FIRST_CAPACITY;
const uint32_t POOLED = ChildList::POOLED;

using Entry = ChildList::value_type;

// The largest array that settle() moves into the pool.
const uint32_t LARGEST_SETTLED = ::core::internal::BlockPool::MAX_BLOCK / sizeof(Entry);

Entry* allocateEntries(uint32_t capacity) {
    const size_t bytes = capacity * sizeof(Entry);
    return static_cast<Entry*>(capacity <= FIRST_CAPACITY
                                   ? ::core::internal::BlockPool::allocate(bytes)
                                   : ::operator new(bytes));
}

// `capacity` as the list holds it, with the POOLED bit.
void releaseEntries(Entry* entries, uint32_t capacity) noexcept {
    if (capacity <= FIRST_CAPACITY || (capacity & POOLED) != 0) {
        ::core::internal::BlockPool::release(entries, (capacity & ~POOLED) * sizeof(Entry));
    } else {
        ::operator delete(entries);
    }
}

}  // namespace

ChildList::ChildList(ChildList&& other) noexcept : mOne(), mCount(0), mCapacity(0) {
    swap(other);
}

ChildList& ChildList::operator=(ChildList&& other) noexcept {
    if (this != &other) {
        ChildList taken(std::move(other));
        swap(taken);
    }
    return *this;
}

void ChildList::releaseItems() noexcept {
    releaseEntries(mItems, mCapacity);
    new (&mOne) Entry();
    mCapacity = 0;
}

void ChildList::reserve(size_type count) {
    if (count <= capacity()) {
        return;
    }
    if (count > UINT32_MAX / 2) {
        throw std::bad_alloc();
    }
    const uint32_t newCapacity = std::max<uint32_t>(static_cast<uint32_t>(count), FIRST_CAPACITY);
    Entry* entries = allocateEntries(newCapacity);
    // SmartPtr moves cannot fail: from here on nothing throws.
    Entry* old = data();
    for (uint32_t i = 0; i < mCount; ++i) {
        new (entries + i) Entry(std::move(old[i]));
        old[i].~Entry();
    }
    // An inline list's mOne is null now: the array takes its place.
    if (mCapacity != 0) {
        releaseEntries(mItems, mCapacity);
    }
    mItems = entries;
    mCapacity = newCapacity;
}

void ChildList::appendGrowing(XNode* node) {
    reserve(mCount < FIRST_CAPACITY ? FIRST_CAPACITY : 2 * static_cast<size_t>(mCount));
    new (mItems + mCount) Entry(node);
    ++mCount;
}

void ChildList::push_back(value_type&& node) {
    if (mCount == capacity()) {
        reserve(mCount < FIRST_CAPACITY ? FIRST_CAPACITY : 2 * static_cast<size_t>(mCount));
    }
    if (mCapacity == 0) {
        mOne = std::move(node);
    } else {
        new (mItems + mCount) Entry(std::move(node));
    }
    ++mCount;
}

ChildList::iterator ChildList::erase(const_iterator first, const_iterator last) {
    Entry* items = data();
    const size_t from = static_cast<size_t>(first - items);
    const size_t to = static_cast<size_t>(last - items);
    if (from == to) {
        return items + from;
    }
    // The erased references move to the end and are released there, after
    // the list is whole again.
    std::rotate(items + from, items + to, items + mCount);
    const size_t erased = to - from;
    for (size_t i = 0; i < erased; ++i) {
        pop_back();
    }
    return data() + from;
}

void ChildList::swap(ChildList& other) noexcept {
    if (this == &other) {
        return;
    }
    // Each list's storage is one pointer (the array, or the only child):
    // take both out, keeping their references, and put them back swapped.
    XNode* const ownOne = mCapacity == 0 ? mOne.detach() : nullptr;
    XNode* const otherOne = other.mCapacity == 0 ? other.mOne.detach() : nullptr;
    Entry* const ownItems = mCapacity == 0 ? nullptr : mItems;
    Entry* const otherItems = other.mCapacity == 0 ? nullptr : other.mItems;
    std::swap(mCount, other.mCount);
    std::swap(mCapacity, other.mCapacity);
    takeStorage(otherOne, otherItems);
    other.takeStorage(ownOne, ownItems);
}

void ChildList::settleInPool() noexcept {
    if (mCount > LARGEST_SETTLED || mCount == 0) {
        return;
    }
    Entry* entries;
    try {
        entries =
            static_cast<Entry*>(::core::internal::BlockPool::allocate(mCount * sizeof(Entry)));
    } catch (const std::bad_alloc&) {
        return;
    }
    // The entries are moved bitwise: a SmartPtr is its pointer, and the old
    // array is given back without destroying them.
    std::memcpy(static_cast<void*>(entries), static_cast<const void*>(mItems),
                mCount * sizeof(Entry));
    ::operator delete(mItems);
    mItems = entries;
    mCapacity = mCount | POOLED;
}

void ChildList::takeStorage(XNode* one, Entry* items) noexcept {
    if (mCapacity != 0) {
        mItems = items;
        return;
    }
    // The detached reference is handed over: constructing takes one more,
    // which is given back at once (the count stays above zero).
    new (&mOne) Entry(one);
    if (one != nullptr) {
        one->decRef();
    }
}

}  // namespace internal
}  // namespace xml
}  // namespace kavri
