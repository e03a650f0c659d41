// ChildList holds a node's children in document order, each entry a counted
// reference (core::SmartPtr<XNode>). It reads like a std::vector of them:
//
//   for (const core::SmartPtr<XNode>& child : node->getChildren()) { ... }
//   node->getChildren()[0]; node->getChildren().size();
//
// and is laid out for trees, where most elements have no child or one: the
// list is 16 bytes, an only child is held inside it, and an array is made
// when a second child comes (four entries from the block pool, larger ones
// from the heap, doubling, until a reader settles a complete list into the
// pool). Iterators and references stay valid until the list changes or is
// settled, as a vector's do until it changes.
//
// Changing a list is its node's business (XNode::addChild, removeChild and
// the others); users read it through XNode::getChildren().
#ifndef KAVRIXML_XML_INTERNAL_CHILDLIST_H
#define KAVRIXML_XML_INTERNAL_CHILDLIST_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <stdexcept>

#include "core/SmartPtr.h"

namespace kavri {
namespace xml {

class XNode;

namespace internal {

class ChildList {
  public:
    using value_type = ::core::SmartPtr<XNode>;
    using size_type = size_t;
    using difference_type = std::ptrdiff_t;
    using reference = value_type&;
    using const_reference = const value_type&;
    using pointer = value_type*;
    using const_pointer = const value_type*;
    using iterator = value_type*;
    using const_iterator = const value_type*;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    ChildList() noexcept : mOne(), mCount(0), mCapacity(0) {}
    ChildList(ChildList&& other) noexcept;
    ChildList& operator=(ChildList&& other) noexcept;
    ChildList(const ChildList&) = delete;
    ChildList& operator=(const ChildList&) = delete;
    ~ChildList() {
        clear();
        releaseArray();
    }

    const_pointer data() const { return mCapacity == 0 ? &mOne : mItems; }
    pointer data() { return mCapacity == 0 ? &mOne : mItems; }
    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + mCount; }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }
    iterator begin() { return data(); }
    iterator end() { return data() + mCount; }
    const_reverse_iterator rbegin() const { return const_reverse_iterator(end()); }
    const_reverse_iterator rend() const { return const_reverse_iterator(begin()); }
    reverse_iterator rbegin() { return reverse_iterator(end()); }
    reverse_iterator rend() { return reverse_iterator(begin()); }

    size_type size() const { return mCount; }
    bool empty() const { return mCount == 0; }
    size_type capacity() const { return mCapacity == 0 ? 1 : mCapacity & ~POOLED; }
    const_reference operator[](size_type index) const { return data()[index]; }
    reference operator[](size_type index) { return data()[index]; }
    const_reference at(size_type index) const {
        if (index >= mCount) {
            throw std::out_of_range("ChildList::at");
        }
        return data()[index];
    }
    const_reference front() const { return data()[0]; }
    const_reference back() const { return data()[mCount - 1]; }
    reference front() { return data()[0]; }
    reference back() { return data()[mCount - 1]; }

    // --- Changes ------------------------------------------------------------
    // Room for `count` entries; throws std::bad_alloc, changing nothing.
    void reserve(size_type count);
    // Appends a reference to `node` (null allowed); the list makes room first,
    // so a failed append takes no reference.
    void emplace_back(XNode* node);
    void push_back(value_type&& node);
    void pop_back() noexcept;
    iterator erase(const_iterator position) { return erase(position, position + 1); }
    iterator erase(const_iterator first, const_iterator last);
    // Releases every reference, in order; the array is kept.
    void clear() noexcept;
    void swap(ChildList& other) noexcept;
    // Moves an array that came from the heap into a pool block of the exact
    // size, cut now. A reader calls it when an element is complete: the
    // array then lies just after the element's descendants, where a walk in
    // document order finds it, rather than wherever the heap had room while
    // the list grew. Larger lists (and a pool that cannot grow) keep their
    // array; only iterators and references into the list are affected.
    void settle() noexcept {
        if (mCapacity > FIRST_CAPACITY && mCapacity < POOLED) {
            settleInPool();
        }
    }

    // A list whose array comes from the pool while larger than FIRST_CAPACITY
    // has this bit set in mCapacity. Smaller arrays always come from the
    // pool and larger ones from the heap, unless settle() moved them.
    static constexpr uint32_t POOLED = 0x80000000u;
    static constexpr uint32_t FIRST_CAPACITY = 4;

  private:
    void settleInPool() noexcept;
    void releaseArray() noexcept {
        if (mCapacity != 0) {
            releaseItems();
        }
    }
    void releaseItems() noexcept;
    // emplace_back when the list is full.
    void appendGrowing(XNode* node);
    // Takes `one` (whose reference the caller hands over) or `items` as the
    // storage that mCapacity now calls for.
    void takeStorage(XNode* one, value_type* items) noexcept;

    // mCapacity 0: the list is inline, mOne its only possible entry (null
    // when the list is empty). Otherwise mItems holds mCapacity entries (less
    // the POOLED bit) of which the first mCount are constructed.
    union {
        value_type* mItems;
        value_type mOne;
    };
    uint32_t mCount;
    uint32_t mCapacity;
};

}  // namespace internal
}  // namespace xml
}  // namespace kavri

// The members that add and drop references are defined inline at the end of
// xml/XNode.h, where XNode is complete.

#endif  // KAVRIXML_XML_INTERNAL_CHILDLIST_H
