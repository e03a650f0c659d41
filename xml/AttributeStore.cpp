#include "xml/AttributeStore.h"

#include <cstring>
#include <new>

#include "framework/plinth/StringUtil.h"
#include "xml/NameTable.h"

namespace kavri {
namespace xml {

Attribute::Attribute(const char* name, size_t nameLength, const char* value, size_t valueLength,
                     bool decode)
    : mName(NameTable::nameOf(name, nameLength)), mValue(value, decode ? 0 : valueLength) {
    if (decode) {
        text::StringUtil::decodeXML(value, valueLength, mValue);
    }
}

Attribute& Attribute::operator=(const Attribute& other) {
    if (this != &other) {
        std::string value = other.mValue;
        rename(other.mName.duplicate());
        mValue.swap(value);
    }
    return *this;
}

void Attribute::setName(const char* name) {
    rename(::core::NameRef::copyOf(name, std::strlen(name)));
}

// The first name moves over to the filed name: a rename copies nothing but
// the new name.
void Attribute::rename(::core::NameRef name) {
    if (mName.earlier() == nullptr && name.str() == mName.str()) {
        return;  // the same name: nothing to keep
    }
    mName.rename(std::move(name));
}

void Attribute::fileUnderOther(const char* key) {
    if (std::strcmp(key, filedName()) != 0) {
        mName.setEarlier(::core::NameRef::copyOf(key, std::strlen(key)));
    }
}

}  // namespace xml
}  // namespace kavri

namespace core {

using kavri::xml::Attribute;
using AttributeMapBase = CKHashMapBase<Attribute*>;

namespace {

// The first array a node takes holds four: most elements have fewer, and a
// released block's room is not reused before its pool chunk is free, so
// growing by small steps would leave every step behind.
const uint32_t FIRST_CAPACITY = 4;

}  // namespace

AttributeMapBase::CKHashMapBase(bool ownsValues, Attribute* nullValue)
    : mStore(ownsValues ? OWNS : 0) {
    if (nullValue != nullptr) {
        // Only the tree holds a null value other than null (no map of this
        // library has one, so the array spares the field).
        void* memory = BlockPool::allocate(sizeof(Grown));
        setLayout(new (memory) Grown{nullValue, Tree()}, GROWN);
    }
}

AttributeMapBase::~CKHashMapBase() {
    releaseLayout();
}

void AttributeMapBase::releaseLayout() noexcept {
    if (grown()) {
        Grown* layout = tree();
        layout->~Grown();
        BlockPool::release(layout, sizeof(Grown));
    } else if (Flat* layout = flat()) {
        BlockPool::release(layout, Flat::bytesFor(layout->capacity));
    }
    mStore &= OWNS;
}

Attribute* AttributeMapBase::getNullValue(const char* /*key*/) const {
    return grown() ? tree()->nullValue : nullptr;
}

size_t AttributeMapBase::size() const {
    if (grown()) {
        return tree()->tree.size();
    }
    const Flat* layout = flat();
    return layout != nullptr ? layout->count : 0;
}

AttributeMapBase::const_iterator AttributeMapBase::begin() const {
    if (grown()) {
        return const_iterator(tree()->tree.cbegin());
    }
    const Flat* layout = flat();
    return const_iterator(layout != nullptr ? layout->items : nullptr);
}

AttributeMapBase::const_iterator AttributeMapBase::end() const {
    if (grown()) {
        return const_iterator(tree()->tree.cend());
    }
    const Flat* layout = flat();
    return const_iterator(layout != nullptr ? layout->items + layout->count : nullptr);
}

__attribute__((always_inline)) inline uint32_t AttributeMapBase::search(const char* key,
                                                                        bool& found) const {
    const less_str less;
    const Flat* layout = flat();
    uint32_t low = 0;
    uint32_t high = layout != nullptr ? layout->count : 0;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        if (less(layout->items[middle]->filedName(), key)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    // items[low] is not before `key`: it is `key` unless `key` is before it.
    found = layout != nullptr && low < layout->count && !less(key, layout->items[low]->filedName());
    return low;
}

AttributeMapBase::const_iterator AttributeMapBase::lower_bound(const char* key) const {
    if (grown()) {
        return const_iterator(tree()->tree.lower_bound(key));
    }
    bool found = false;
    const uint32_t at = search(key, found);
    return const_iterator(flat() != nullptr ? flat()->items + at : nullptr);
}

AttributeMapBase::const_iterator AttributeMapBase::find(const char* key) const {
    if (grown()) {
        return const_iterator(tree()->tree.find(key));
    }
    bool found = false;
    const uint32_t at = search(key, found);
    return found ? const_iterator(flat()->items + at) : end();
}

Attribute* AttributeMapBase::get(const char* key) const {
    if (grown()) {
        const Tree& entries = tree()->tree;
        const auto it = entries.find(key);
        return it != entries.end() ? *it : getNullValue(key);
    }
    bool found = false;
    const uint32_t at = search(key, found);
    return found ? flat()->items[at] : getNullValue(key);
}

// Makes room first, so that a failed allocation changes nothing.
inline void AttributeMapBase::insertFlat(uint32_t at, Attribute* value) {
    Flat* layout = flat();
    const uint32_t count = layout != nullptr ? layout->count : 0;
    const uint32_t capacity = layout != nullptr ? layout->capacity : 0;
    if (count == capacity) {
        const uint32_t grownCapacity = capacity < FIRST_CAPACITY ? FIRST_CAPACITY : 2 * capacity;
        auto* larger = static_cast<Flat*>(BlockPool::allocate(Flat::bytesFor(grownCapacity)));
        larger->count = count;
        larger->capacity = grownCapacity;
        if (layout != nullptr) {
            std::memcpy(larger->items, layout->items, count * sizeof(Attribute*));
            BlockPool::release(layout, Flat::bytesFor(capacity));
        }
        setLayout(larger, 0);
        layout = larger;
    }
    // A plain loop: the few items of an element move faster than a call.
    Attribute** items = layout->items;
    for (uint32_t i = count; i > at; --i) {
        items[i] = items[i - 1];
    }
    items[at] = value;
    ++layout->count;
}

// Moves the array's attributes into a tree; throws, changing nothing, when
// memory runs out.
void AttributeMapBase::growIntoTree() {
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

bool AttributeMapBase::put(const char* key, Attribute* const& value) {
    // The map's key is the attribute's filed name; filed first, so that a
    // failure leaves at worst a renamed-looking attribute that the caller
    // still holds.
    value->fileUnder(key);
    if (!grown()) {
        bool found = false;
        const uint32_t at = search(key, found);
        if (found) {
            Attribute*& slot = flat()->items[at];
            Attribute* replaced = slot;
            slot = value;
            // Storing the value that is already there must not dispose of it.
            if (ownsValues() && replaced != value) {
                deleteValue(replaced);
            }
            return true;
        }
        if (flat() == nullptr || flat()->count < MAX_FLAT) {
            insertFlat(at, value);
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

bool AttributeMapBase::remove(const char* key) {
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
        bool found = false;
        const uint32_t at = search(key, found);
        if (!found) {
            return false;
        }
        Flat* layout = flat();
        Attribute** items = layout->items;
        removed = items[at];
        const uint32_t count = --layout->count;
        std::memmove(items + at, items + at + 1, (count - at) * sizeof(Attribute*));
    }
    if (ownsValues()) {
        deleteValue(removed);
    }
    return true;
}

void AttributeMapBase::deleteAll() noexcept {
    if (grown()) {
        clear();
    } else {
        emptyArray(true);
    }
}

void AttributeMapBase::clear() {
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
void AttributeMapBase::emptyArray(bool deleteDirectly) {
    Flat* layout = flat();
    if (layout == nullptr) {
        return;
    }
    const uint32_t count = layout->count;
    layout->count = 0;
    if (!ownsValues()) {
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (deleteDirectly) {
            delete layout->items[i];
        } else {
            deleteValue(layout->items[i]);
        }
    }
}

}  // namespace core
