#include "xml/internal/AttributeMap.h"

#include <cstring>
#include <new>

namespace kavri {
namespace xml {
namespace internal {

using ::core::internal::BlockPool;

namespace {

// The array a node takes for its second attribute holds four: most elements
// have fewer, and a released block's room is not reused before its pool
// chunk is free, so growing by small steps would leave every step behind.
const uint32_t FIRST_CAPACITY = 4;

// Two names of a sorted run, most often different from the first byte on.
bool sameFiledName(const Attribute* a, const Attribute* b) {
    const char* x = a->filedName();
    const char* y = b->filedName();
    return *x == *y && std::strcmp(x, y) == 0;
}

}  // namespace

// No map of this library has a null value other than null, so the array
// spares the field.
void AttributeMap::growWithNullValue(Attribute* nullValue) {
    void* memory = BlockPool::allocate(sizeof(Grown));
    setLayout(new (memory) Grown{nullValue, Tree()}, GROWN);
}

AttributeMap::~AttributeMap() {
    releaseLayout();
}

void AttributeMap::releaseLayout() noexcept {
    if (grown()) {
        Grown* layout = tree();
        layout->~Grown();
        BlockPool::release(layout, sizeof(Grown));
    } else if (!holdsOnlyOne() && flat() != nullptr) {
        BlockPool::release(flat(), Flat::bytesFor(flat()->capacity));
    }
    mStore &= OWNS;
}

Attribute* AttributeMap::getNullValue(const char* /*key*/) const {
    return grown() ? tree()->nullValue : nullptr;
}

inline Attribute* const* AttributeMap::items(uint32_t& count, Attribute*& scratch) const {
    if (holdsOnlyOne()) {
        scratch = only();
        count = 1;
        return &scratch;
    }
    const Flat* layout = flat();
    count = layout != nullptr ? layout->count : 0;
    return layout != nullptr ? layout->items : nullptr;
}

size_t AttributeMap::size() const {
    if (grown()) {
        return tree()->tree.size();
    }
    uint32_t count = 0;
    Attribute* scratch = nullptr;
    items(count, scratch);
    return count;
}

AttributeMap::const_iterator AttributeMap::begin() const {
    if (grown()) {
        return const_iterator(tree()->tree.cbegin());
    }
    if (holdsOnlyOne()) {
        return const_iterator(only(), false);
    }
    const Flat* layout = flat();
    return const_iterator(layout != nullptr ? layout->items : nullptr);
}

AttributeMap::const_iterator AttributeMap::end() const {
    if (grown()) {
        return const_iterator(tree()->tree.cend());
    }
    if (holdsOnlyOne()) {
        return const_iterator(only(), true);
    }
    const Flat* layout = flat();
    return const_iterator(layout != nullptr ? layout->items + layout->count : nullptr);
}

__attribute__((always_inline)) inline uint32_t AttributeMap::search(Attribute* const* items,
                                                                    uint32_t count, const char* key,
                                                                    bool& found) {
    const ::core::less_str less;
    uint32_t low = 0;
    uint32_t high = count;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        if (less(items[middle]->filedName(), key)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    // items[low] is not before `key`: it is `key` unless `key` is before it.
    found = low < count && !less(key, items[low]->filedName());
    return low;
}

AttributeMap::Slot AttributeMap::locate(const char* key) const {
    uint32_t count = 0;
    Attribute* scratch = nullptr;
    Attribute* const* entries = items(count, scratch);
    bool found = false;
    const uint32_t at = search(entries, count, key, found);
    return Slot{at, count, found ? entries[at] : nullptr};
}

// An iterator at `index` of a map that is not grown.
AttributeMap::const_iterator AttributeMap::iteratorAt(uint32_t index) const {
    if (holdsOnlyOne()) {
        return const_iterator(only(), index != 0);
    }
    const Flat* layout = flat();
    return const_iterator(layout != nullptr ? layout->items + index : nullptr);
}

AttributeMap::const_iterator AttributeMap::lower_bound(const char* key) const {
    if (grown()) {
        return const_iterator(tree()->tree.lower_bound(key));
    }
    return iteratorAt(locate(key).index);
}

AttributeMap::const_iterator AttributeMap::find(const char* key) const {
    if (grown()) {
        return const_iterator(tree()->tree.find(key));
    }
    const Slot slot = locate(key);
    return slot.found != nullptr ? iteratorAt(slot.index) : end();
}

Attribute* AttributeMap::get(const char* key) const {
    if (grown()) {
        const Tree& entries = tree()->tree;
        const auto it = entries.find(key);
        return it != entries.end() ? *it : getNullValue(key);
    }
    Attribute* found = locate(key).found;
    return found != nullptr ? found : getNullValue(key);
}

// Makes room first, so that a failed allocation changes nothing.
inline void AttributeMap::insertFlat(uint32_t at, Attribute* value) {
    if ((mStore & ~OWNS) == 0) {
        setLayout(value, ONLY);
        return;
    }
    if (holdsOnlyOne()) {
        // The second attribute: the pair moves into an array.
        Attribute* first = only();
        auto* layout = static_cast<Flat*>(BlockPool::allocate(Flat::bytesFor(FIRST_CAPACITY)));
        layout->count = 2;
        layout->capacity = FIRST_CAPACITY;
        layout->items[at == 0 ? 0 : 1] = value;
        layout->items[at == 0 ? 1 : 0] = first;
        setLayout(layout, 0);
        return;
    }
    Flat* layout = flat();
    const uint32_t count = layout->count;
    const uint32_t capacity = layout->capacity;
    if (count == capacity) {
        const uint32_t grownCapacity = 2 * capacity;
        auto* larger = static_cast<Flat*>(BlockPool::allocate(Flat::bytesFor(grownCapacity)));
        larger->count = count;
        larger->capacity = grownCapacity;
        std::memcpy(larger->items, layout->items, count * sizeof(Attribute*));
        BlockPool::release(layout, Flat::bytesFor(capacity));
        setLayout(larger, 0);
        layout = larger;
    }
    // A plain loop: the few items of an element move faster than a call.
    Attribute** entries = layout->items;
    for (uint32_t i = count; i > at; --i) {
        entries[i] = entries[i - 1];
    }
    entries[at] = value;
    ++layout->count;
}

// Moves the array's attributes into a tree; throws, changing nothing, when
// memory runs out.
void AttributeMap::growIntoTree() {
    Flat* layout = flat();
    void* memory = BlockPool::allocate(sizeof(Grown));
    Grown* grownLayout = nullptr;
    try {
        grownLayout = new (memory) Grown{nullptr, Tree()};
        for (uint32_t i = 0; i < layout->count; ++i) {
            grownLayout->tree.insert(grownLayout->tree.end(), layout->items[i]);
        }
    } catch (...) {
        if (grownLayout != nullptr) {
            grownLayout->~Grown();
        }
        BlockPool::release(memory, sizeof(Grown));
        throw;
    }
    BlockPool::release(layout, Flat::bytesFor(layout->capacity));
    setLayout(grownLayout, GROWN);
}

bool AttributeMap::put(const char* key, Attribute* const& value) {
    // The map's key is the attribute's filed name; filed first, so that a
    // failure leaves at worst a renamed-looking attribute that the caller
    // still holds.
    value->fileUnder(key);
    if ((mStore & ~OWNS) == 0) {
        setLayout(value, ONLY);  // the first: nothing to look up
        return false;
    }
    if (!grown()) {
        const Slot slot = locate(key);
        if (slot.found != nullptr) {
            Attribute* replaced = slot.found;
            if (holdsOnlyOne()) {
                setLayout(value, ONLY);
            } else {
                flat()->items[slot.index] = value;
            }
            // Storing the value that is already there must not dispose of it.
            if (ownsValues() && replaced != value) {
                deleteValue(replaced);
            }
            return true;
        }
        if (slot.count < MAX_FLAT) {
            insertFlat(slot.index, value);
            return false;
        }
        growIntoTree();
    }
    Tree& entries = tree()->tree;
    const auto it = entries.lower_bound(key);
    if (it != entries.end() && std::strcmp((*it)->filedName(), key) == 0) {
        Attribute* replaced = *it;
        // The same key: the new value takes the node's place in the order.
        const auto hint = entries.erase(it);
        entries.insert(hint, value);
        if (ownsValues() && replaced != value) {
            deleteValue(replaced);
        }
        return true;
    }
    entries.insert(it, value);
    return false;
}

bool AttributeMap::ascending(Attribute* const* attributes, uint32_t count) {
    const ::core::less_str less;
    for (uint32_t i = 1; i < count; ++i) {
        if (!less(attributes[i - 1]->filedName(), attributes[i]->filedName())) {
            return false;
        }
    }
    return true;
}

void AttributeMap::fileParsed(Attribute** attributes, uint32_t count, AttributeOrders* orders) {
    // The array is made first: once it is there nothing can fail.
    Flat* layout = nullptr;
    if (count > 1) {
        layout = static_cast<Flat*>(BlockPool::allocate(Flat::bytesFor(count)));
        layout->capacity = count;
    }
    // Names in ascending order already (the way many documents write them)
    // are filed as they stand: no order to look up, sort or remember.
    if (ascending(attributes, count)) {
        fileSorted(attributes, count, layout);
        return;
    }
    const bool remembering = orders != nullptr && count <= AttributeOrders::MAX;
    AttributeOrders::Order* const remembered =
        remembering ? &orders->slot(attributes[0]->filedName(), count) : nullptr;
    bool same = remembering && remembered->count == count;
    for (uint32_t i = 0; same && i < count; ++i) {
        same = remembered->names[i] == attributes[i]->filedName();
    }
    uint8_t order[AttributeOrders::MAX];
    Attribute* sorted[AttributeOrders::MAX];
    if (same) {
        // Names all different, as when they were first filed.
        for (uint32_t i = 0; i < count; ++i) {
            sorted[i] = attributes[remembered->order[i]];
        }
        std::memcpy(attributes, sorted, count * sizeof(Attribute*));
        fileSorted(attributes, count, layout);
        return;
    }
    // Only kept names are remembered: an own copy's address may be another
    // name's later.
    bool kept = remembering;
    if (remembering) {
        for (uint32_t i = 0; i < count; ++i) {
            remembered->names[i] = attributes[i]->filedName();
            kept = kept && attributes[i]->hasKeptName();
            order[i] = static_cast<uint8_t>(i);
        }
    }
    // Insertion sort, stable, so that of equal names the last comes last.
    const ::core::less_str less;
    for (uint32_t i = 1; i < count; ++i) {
        Attribute* moving = attributes[i];
        const uint8_t movingIndex = remembering ? order[i] : 0;
        uint32_t at = i;
        while (at > 0 && less(moving->filedName(), attributes[at - 1]->filedName())) {
            attributes[at] = attributes[at - 1];
            if (remembering) {
                order[at] = order[at - 1];
            }
            --at;
        }
        attributes[at] = moving;
        if (remembering) {
            order[at] = movingIndex;
        }
    }
    uint32_t distinct = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (i + 1 < count && sameFiledName(attributes[i], attributes[i + 1])) {
            if (ownsValues()) {
                deleteValue(attributes[i]);
            }
            continue;
        }
        attributes[distinct++] = attributes[i];
    }
    if (remembering) {
        // An order that drops a repeated name is not reused either.
        remembered->count = kept && distinct == count ? count : 0;
        std::memcpy(remembered->order, order, count);
    }
    fileSorted(attributes, distinct, layout);
}

// The `kept` sorted attributes of one tag into this map, in `layout` (null
// for a tag of one).
void AttributeMap::fileSorted(Attribute** attributes, uint32_t kept, Flat* layout) {
    if (kept == 1) {
        if (layout != nullptr) {
            BlockPool::release(layout, Flat::bytesFor(layout->capacity));
        }
        setLayout(attributes[0], ONLY);
        return;
    }
    if (layout != nullptr) {
        layout->count = kept;
        std::memcpy(layout->items, attributes, kept * sizeof(Attribute*));
        setLayout(layout, 0);
    }
}

bool AttributeMap::remove(const char* key) {
    Attribute* removed = nullptr;
    if (grown()) {
        Tree& entries = tree()->tree;
        const auto it = entries.find(key);
        if (it == entries.end()) {
            return false;
        }
        removed = *it;
        entries.erase(it);
    } else {
        const Slot slot = locate(key);
        if (slot.found == nullptr) {
            return false;
        }
        removed = slot.found;
        if (holdsOnlyOne()) {
            mStore &= OWNS;
        } else {
            Attribute** held = flat()->items + slot.index;
            --flat()->count;
            std::memmove(held, held + 1, (slot.count - 1 - slot.index) * sizeof(Attribute*));
        }
    }
    if (ownsValues()) {
        deleteValue(removed);
    }
    return true;
}

void AttributeMap::deleteAll() noexcept {
    if (grown()) {
        clear();
    } else {
        emptyArray(true);
    }
}

void AttributeMap::clear() {
    if (!grown()) {
        emptyArray(false);
        return;
    }
    Tree& entries = tree()->tree;
    while (!entries.empty()) {
        Attribute* first = *entries.begin();
        entries.erase(entries.begin());
        if (ownsValues()) {
            deleteValue(first);
        }
    }
}

// Each entry leaves before its value goes, so nothing sees an attribute
// being deleted.
void AttributeMap::emptyArray(bool deleteDirectly) {
    uint32_t count = 0;
    Attribute* scratch = nullptr;
    Attribute* const* entries = items(count, scratch);
    if (holdsOnlyOne()) {
        mStore &= OWNS;
    } else if (Flat* layout = flat()) {
        layout->count = 0;
    }
    if (!ownsValues()) {
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (deleteDirectly) {
            delete entries[i];
        } else {
            deleteValue(entries[i]);
        }
    }
}

}  // namespace internal
}  // namespace xml
}  // namespace kavri
