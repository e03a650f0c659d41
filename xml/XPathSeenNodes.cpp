#include "xml/XPathSeenNodes.h"

#include <algorithm>
#include <cstdint>

namespace kavri {
namespace xml {
namespace xpath {

namespace {

constexpr size_t FIRST_CAPACITY = 64;

}  // namespace

void SeenNodes::clear() {
    // Only the slots in use are cleared: a table grown large by one step
    // costs nothing to the small steps after it.
    for (size_t at : mUsed) {
        mSlots[at] = XPathNode();
    }
    mUsed.clear();
}

size_t SeenNodes::hash(const XPathNode& node) {
    // Nodes are pool blocks: their addresses differ in the middle bits.
    uint64_t key = reinterpret_cast<uintptr_t>(node.element()) ^
                   (reinterpret_cast<uintptr_t>(node.attribute()) << 1) ^ node.kind() ^
                   (static_cast<uint64_t>(node.index()) << 8);
    key ^= key >> 29;
    key *= 0xBF58476D1CE4E5B9ull;
    key ^= key >> 32;
    return static_cast<size_t>(key);
}

bool SeenNodes::insert(const XPathNode& node) {
    // At most half full, so that a probe ends soon at a free slot.
    if (2 * (mUsed.size() + 1) > mSlots.size()) {
        grow();
    }
    const size_t mask = mSlots.size() - 1;
    for (size_t at = hash(node) & mask;; at = (at + 1) & mask) {
        XPathNode& slot = mSlots[at];
        if (!slot) {
            mUsed.push_back(at);
            slot = node;
            return true;
        }
        if (slot == node) {
            return false;
        }
    }
}

void SeenNodes::grow() {
    std::vector<XPathNode> old(std::max(FIRST_CAPACITY, 2 * mSlots.size()));
    old.swap(mSlots);
    const size_t mask = mSlots.size() - 1;
    for (size_t& used : mUsed) {
        const XPathNode node = old[used];
        size_t at = hash(node) & mask;
        while (mSlots[at]) {
            at = (at + 1) & mask;
        }
        mSlots[at] = node;
        used = at;
    }
}

}  // namespace xpath
}  // namespace xml
}  // namespace kavri
