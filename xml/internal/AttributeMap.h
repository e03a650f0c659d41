// AttributeMap is the layout of core::CKHashMap<Attribute*>, the map an XNode
// files its attributes in. Internal: applications use it as
// core::CKHashMap<Attribute*> (through XNode::getAttributes), never by this
// name; it is installed because XNode's inline accessors need it.
//
// The attribute map is the CKHashMap family's own interface (put, get,
// remove, contains, clear, find, begin/end in byte order of the keys, size,
// empty) laid out for elements, which are many and carry few attributes:
//
//   - an empty map is one pointer, and a node's map lives inside the node, so
//     getAttributes() hands out the node's own map, alive as long as the node
//     and always current (later adds, removals and renames show through an
//     earlier reference);
//   - an only attribute is held in that pointer itself: elements with one
//     attribute are common and need no block for it;
//   - from two to MAX_FLAT attributes sit in one sorted array of pointers in one
//     pool block; past that they move into a balanced tree, so that an
//     element with a hundred thousand attributes in random order still files
//     each in logarithmic time (the array would move half of itself per
//     insertion). The two layouts hold the same pointers and iterate alike;
//     the array is there because it costs 8 bytes per attribute where a tree
//     node costs 40;
//   - the key of an entry is its attribute's filed name: the name it had when
//     it was filed. An attribute renamed later keeps that first name beside
//     its new one (core::internal::NameRef), so the map never holds a key buffer of its
//     own and the attribute still answers to the name it was added with.
//
// Reading a map changes nothing in it: any number of threads may read one
// map (and so one tree) at the same time. Changing it needs the one thread.
//
//   core::CKHashMap<Attribute*> attributes(true, nullptr);   // owning
//   attributes.put("id", new Attribute("id", "7"));
//   for (const auto& entry : attributes) { entry.first; entry.second; }
//
// core::CKHashMap finds this layout through ckHashMapBase(Attribute**),
// declared beside Attribute.
#ifndef KAVRIXML_XML_INTERNAL_ATTRIBUTEMAP_H
#define KAVRIXML_XML_INTERNAL_ATTRIBUTEMAP_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <set>
#include <type_traits>

#include "core/CKHashMap.h"
#include "framework/plinth/internal/BlockPool.h"
#include "xml/Attribute.h"

namespace kavri {
namespace xml {
namespace internal {

// The orders in which a reader filed its tags of several attributes: a tag
// whose names are the same kept names in the same sequence as a tag filed
// before (compared by address, since the names the NameTable keeps are
// shared) is filed in that order without comparing names again. Documents
// repeat a few attribute sequences, so most tags are filed so. A few
// sequences are remembered, by their count and first name. One per reading.
class AttributeOrders {
  public:
    static constexpr uint32_t MAX = 16;
    struct Order {
        uint32_t count = 0;  // 0 while nothing is remembered
        const char* names[MAX];
        uint8_t order[MAX];  // the i-th filed is the attribute at order[i]
    };
    // Where a sequence of `count` names beginning with `first` is remembered.
    Order& slot(const char* first, uint32_t count) {
        return mOrders[(count + (reinterpret_cast<uintptr_t>(first) >> 3)) % SLOTS];
    }

  private:
    static constexpr size_t SLOTS = 16;
    Order mOrders[SLOTS];
};

class AttributeMap {
    // Tree order: by filed name, and searchable by a plain key.
    struct FiledNameOrder {
        using is_transparent = void;
        bool operator()(const Attribute* a, const Attribute* b) const {
            return ::core::less_str()(a->filedName(), b->filedName());
        }
        bool operator()(const Attribute* a, const char* key) const {
            return ::core::less_str()(a->filedName(), key);
        }
        bool operator()(const char* key, const Attribute* b) const {
            return ::core::less_str()(key, b->filedName());
        }
    };
    using Tree = std::set<Attribute*, FiledNameOrder, ::core::internal::PoolAllocator<Attribute*>>;

  public:
    // Past this many attributes the array becomes a tree.
    static constexpr uint32_t MAX_FLAT = 32;

    using key_type = const char*;
    using mapped_type = Attribute*;
    using size_type = size_t;
    // What iteration yields: the filed name and the attribute.
    struct value_type {
        const char* first;
        Attribute* second;
    };

    class const_iterator {
      public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = AttributeMap::value_type;
        using difference_type = std::ptrdiff_t;
        using pointer = const value_type*;
        using reference = value_type;
        // Lets it->first work on an entry made on the fly.
        struct Arrow {
            value_type entry;
            const value_type* operator->() const { return &entry; }
        };

        const_iterator() = default;
        value_type operator*() const {
            Attribute* attribute = mInTree ? *mNode : mItem != nullptr ? *mItem : mOnly;
            return value_type{attribute->filedName(), attribute};
        }
        Arrow operator->() const { return Arrow{**this}; }
        const_iterator& operator++() {
            if (mInTree) {
                ++mNode;
            } else if (mItem != nullptr) {
                ++mItem;
            } else {
                mPast = true;
            }
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        const_iterator& operator--() {
            if (mInTree) {
                --mNode;
            } else if (mItem != nullptr) {
                --mItem;
            } else {
                mPast = false;
            }
            return *this;
        }
        const_iterator operator--(int) {
            const_iterator before = *this;
            --*this;
            return before;
        }
        bool operator==(const const_iterator& other) const {
            return mInTree ? mNode == other.mNode
                           : mItem == other.mItem && mOnly == other.mOnly && mPast == other.mPast;
        }
        bool operator!=(const const_iterator& other) const { return !(*this == other); }

      private:
        friend class AttributeMap;
        explicit const_iterator(Attribute* const* item) : mItem(item) {}
        explicit const_iterator(Tree::const_iterator node) : mNode(node), mInTree(true) {}
        // At (or past) a map's only attribute.
        const_iterator(Attribute* only, bool past) : mOnly(only), mPast(past) {}

        Attribute* const* mItem = nullptr;  // in the array
        Tree::const_iterator mNode{};       // in the tree
        Attribute* mOnly = nullptr;         // the only attribute (mItem null)
        bool mPast = false;                 // past the only attribute
        bool mInTree = false;
    };
    using iterator = const_iterator;

    AttributeMap(bool ownsValues, Attribute* nullValue) : mStore(ownsValues ? OWNS : 0) {
        if (nullValue != nullptr) {
            growWithNullValue(nullValue);
        }
    }
    // Maps own their layout (and maybe their values): no copies.
    AttributeMap(const AttributeMap&) = delete;
    AttributeMap& operator=(const AttributeMap&) = delete;
    // Releases the layout; values are disposed of by clear() only.
    virtual ~AttributeMap();

    static void* operator new(size_t size) { return ::core::internal::BlockPool::allocate(size); }
    static void operator delete(void* block, size_t size) {
        ::core::internal::BlockPool::release(block, size);
    }

    virtual Attribute* getNullValue(const char* key) const;
    virtual void deleteValue(Attribute* value) = 0;
    virtual Attribute* get(const char* key) const;

    // Files `value` under `key`; true when the key was there (its old value
    // replaced, and disposed of in an owning map). An attribute whose name is
    // not `key` keeps `key` as its filed name.
    bool put(const char* key, Attribute* const& value);
    bool remove(const char* key);
    bool contains(const char* key) const { return find(key) != end(); }
    // Erases every entry in ascending key order, disposing of owned values.
    void clear();
    // Files the `count` attributes of one start tag, each under its own name,
    // into this empty map at once: what `put` of each in turn would leave
    // (of attributes with one name, the last stays and the earlier ones are
    // disposed of), in an array made to measure. Throws std::bad_alloc
    // before it takes any of them over; `attributes` is reordered.
    // With `orders`, the order of a tag of the same names filed with them
    // before is reused, and this tag's order is kept there.
    void fileParsed(Attribute** attributes, uint32_t count, AttributeOrders* orders = nullptr);
    // clear() for a map whose disposal is delete (CKHashMap's), without a
    // virtual call per value: what a dying node does with its attributes.
    void deleteAll() noexcept;
    bool ownsValues() const { return (mStore & OWNS) != 0; }

    // Calls visit(filedName, attribute) for each entry in the order of
    // begin()/end(), without the iterator's steps for the usual layouts.
    template <class Visit>
    void forEach(Visit visit) const {
        if (holdsOnlyOne()) {
            Attribute* attribute = only();
            visit(attribute->filedName(), attribute);
        } else if (!grown()) {
            if (const Flat* layout = flat()) {
                for (uint32_t i = 0; i < layout->count; ++i) {
                    visit(layout->items[i]->filedName(), layout->items[i]);
                }
            }
        } else {
            for (const value_type entry : *this) {
                visit(entry.first, entry.second);
            }
        }
    }

    const_iterator find(const char* key) const;
    const_iterator lower_bound(const char* key) const;
    size_t count(const char* key) const { return contains(key) ? 1 : 0; }
    const_iterator begin() const;
    const_iterator end() const;
    size_t size() const;
    bool empty() const { return size() == 0; }

  private:
    struct Flat {
        uint32_t count;
        uint32_t capacity;
        Attribute* items[1];

        static size_t bytesFor(uint32_t capacity) {
            return offsetof(Flat, items) + capacity * sizeof(Attribute*);
        }
    };
    struct Grown {
        Attribute* nullValue;
        Tree tree;
    };
    // mStore: the only attribute's address with ONLY set, or the layout's
    // address with GROWN set for the tree; OWNS beside either (attributes
    // and both layouts are aligned to 8). Null, but for OWNS, for an empty
    // map whose null value is null.
    static constexpr uintptr_t OWNS = 1;
    static constexpr uintptr_t GROWN = 2;
    static constexpr uintptr_t ONLY = 4;
    static constexpr uintptr_t FLAGS = OWNS | GROWN | ONLY;

    bool grown() const { return (mStore & GROWN) != 0; }
    bool holdsOnlyOne() const { return (mStore & ONLY) != 0; }
    Attribute* only() const { return reinterpret_cast<Attribute*>(mStore & ~FLAGS); }
    Flat* flat() const { return reinterpret_cast<Flat*>(mStore & ~FLAGS); }
    Grown* tree() const { return reinterpret_cast<Grown*>(mStore & ~FLAGS); }
    void fileSorted(Attribute** attributes, uint32_t kept, Flat* layout);
    // Whether each of the `count` names comes strictly after the one before.
    static bool ascending(Attribute* const* attributes, uint32_t count);
    void setLayout(void* layout, uintptr_t layoutFlag) {
        mStore = reinterpret_cast<uintptr_t>(layout) | (mStore & OWNS) | layoutFlag;
    }
    // The attributes when not grown: the array's items, or the only one as
    // a one-item array in `scratch`.
    Attribute* const* items(uint32_t& count, Attribute*& scratch) const;
    // Where `key` is, or would go, in a map that is not grown: the index of
    // the first attribute not before it, the number of attributes, and the
    // attribute filed under `key` (or null).
    struct Slot {
        uint32_t index;
        uint32_t count;
        Attribute* found;
    };
    Slot locate(const char* key) const;
    const_iterator iteratorAt(uint32_t index) const;
    // Index of the first item of `items` (of `count`) not before `key`;
    // `found` when it is `key`.
    static uint32_t search(Attribute* const* items, uint32_t count, const char* key, bool& found);
    void insertFlat(uint32_t at, Attribute* value);
    void growIntoTree();
    // Empties the array, disposing of owned values by delete or deleteValue.
    void emptyArray(bool deleteDirectly);
    void releaseLayout() noexcept;
    // Starts the map as a tree: only the tree holds a null value other than
    // null.
    void growWithNullValue(Attribute* nullValue);

    uintptr_t mStore;
};

}  // namespace internal

// The map an XNode holds is laid out by AttributeMap.
static_assert(std::is_base_of<internal::AttributeMap, ::core::CKHashMap<Attribute*>>::value,
              "core::CKHashMap<Attribute*> must find its layout through ckHashMapBase");

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_INTERNAL_ATTRIBUTEMAP_H
