// CKHashMap is the library's map from C-string keys to values. In spite of its
// name it is ordered: entries iterate in strcmp order of their keys (bytes as
// unsigned values, case-sensitive), which is why attributes are always written
// in byte order of their names. The map keeps its own copy of every key, may
// own its values (disposing of them when they are replaced, removed or
// cleared) and answers a missing key with its null value.
//
//   core::CKHashMap<Attribute*> attributes(true, nullptr);   // owning
//   attributes.put("id", new Attribute("id", "7"));
//   attributes.get("id");        // the attribute; get("ID") is null
//
// Destroying a map releases the key copies but does not dispose of owned
// values: holders that own their values call clear() first.
// CKHashMapValue holds values that manage themselves (SmartPtr): disposal is
// only the release of the entry's copy. Entries, key copies and the maps
// themselves come from core::internal::BlockPool: documents make one small map per
// element with attributes.
#ifndef KAVRIXML_CORE_CKHASHMAP_H
#define KAVRIXML_CORE_CKHASHMAP_H

#include <cstring>
#include <map>
#include <type_traits>
#include <utility>

#include "framework/plinth/internal/BlockPool.h"

namespace core {

// Key order: strcmp on unsigned bytes, inlined as a byte loop.
struct less_str {
    bool operator()(const char* a, const char* b) const {
        const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
        const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
        while (*x != 0 && *x == *y) {
            ++x;
            ++y;
        }
        return *x < *y;
    }
};

template <class T>
using CKHashMapStore =
    std::map<const char*, T, less_str, internal::PoolAllocator<std::pair<const char* const, T>>>;

// The std::map layout, which every value type gets unless it brings its own.
template <class T>
class CKHashMapStdBase : public CKHashMapStore<T> {
  public:
    using Map = CKHashMapStore<T>;
    using iterator = typename Map::iterator;
    using const_iterator = typename Map::const_iterator;

    CKHashMapStdBase(bool ownsValues, const T& nullValue)
        : mOwnsValues(ownsValues), mNullValue(nullValue) {}
    // Maps hold key buffers (and maybe values) of their own: no copies.
    CKHashMapStdBase(const CKHashMapStdBase&) = delete;
    CKHashMapStdBase& operator=(const CKHashMapStdBase&) = delete;

    virtual ~CKHashMapStdBase() {
        for (auto it = Map::begin(); it != Map::end();) {
            const char* key = it->first;
            it = Map::erase(it);
            releaseKey(key);
        }
    }

    static void* operator new(size_t size) { return internal::BlockPool::allocate(size); }
    static void operator delete(void* block, size_t size) {
        internal::BlockPool::release(block, size);
    }

    virtual T getNullValue(const char* /*key*/) const { return mNullValue; }
    virtual void deleteValue(T value) = 0;

    virtual T get(const char* key) const {
        const_iterator it = find(key);
        return it != Map::end() ? it->second : getNullValue(key);
    }

    // Stores `value` under `key`; true when the key was there (its old value
    // replaced, and disposed of in an owning map).
    bool put(const char* key, const T& value) {
        iterator it = Map::lower_bound(key);
        if (it != Map::end() && std::strcmp(it->first, key) == 0) {
            // Storing the value that is already there must not dispose of it.
            if (mOwnsValues && !(it->second == value)) {
                deleteValue(it->second);
            }
            // The entry keeps its place and its key buffer (an equal key has
            // the same length): only the value changes, so nothing allocates.
            it->second = value;
            return true;
        }
        size_t length = std::strlen(key);
        char* buffer = static_cast<char*>(internal::BlockPool::allocate(length + 1));
        std::memcpy(buffer, key, length + 1);
        try {
            Map::emplace_hint(it, buffer, value);
        } catch (...) {
            internal::BlockPool::release(buffer, length + 1);
            throw;
        }
        return false;
    }

    bool remove(const char* key) {
        iterator it = find(key);
        if (it == Map::end()) {
            return false;
        }
        const char* buffer = it->first;
        if (mOwnsValues) {
            deleteValue(it->second);
        }
        Map::erase(it);
        releaseKey(buffer);
        return true;
    }

    bool contains(const char* key) const { return find(key) != Map::end(); }

    // Erases every entry in ascending key order, disposing of owned values.
    void clear() {
        while (!Map::empty()) {
            iterator it = Map::begin();
            const char* buffer = it->first;
            if (mOwnsValues) {
                deleteValue(it->second);
            }
            Map::erase(it);
            releaseKey(buffer);
        }
    }

    bool ownsValues() const { return mOwnsValues; }

    iterator find(const char* key) {
        iterator it = Map::lower_bound(key);
        return (it != Map::end() && std::strcmp(it->first, key) == 0) ? it : Map::end();
    }
    const_iterator find(const char* key) const {
        const_iterator it = Map::lower_bound(key);
        return (it != Map::end() && std::strcmp(it->first, key) == 0) ? it : Map::end();
    }

  protected:
    // Key copies are released with the size they were taken with.
    static void releaseKey(const char* key) {
        internal::BlockPool::release(const_cast<char*>(key), std::strlen(key) + 1);
    }

    bool mOwnsValues;
    T mNullValue;
};

// The abstract base of a map of T values: CKHashMapStdBase<T>, unless T's
// own namespace declares a function ckHashMapBase(T*) that returns a pointer
// to the layout to use instead (one with the same members: attributes, which
// are many and few per element, have one, see xml/internal/AttributeMap.h).
// It is found by argument-dependent lookup where the map is instantiated,
// so a layout is chosen beside its value type, with no specialisation here.
template <class T>
CKHashMapStdBase<T>* ckHashMapBase(T*);

template <class T>
using CKHashMapBase = std::remove_pointer_t<decltype(ckHashMapBase(static_cast<T*>(nullptr)))>;

template <class T>
class CKHashMap : public CKHashMapBase<T> {
  public:
    CKHashMap(bool ownsValues, const T& nullValue) : CKHashMapBase<T>(ownsValues, nullValue) {}
    ~CKHashMap() override = default;

    // Deletes a non-null value: objects through their virtual destructor,
    // character buffers with delete[].
    void deleteValue(T value) override {
        if (value == nullptr) {
            return;
        }
        using Pointee = std::remove_cv_t<std::remove_pointer_t<T>>;
        if constexpr (std::is_same<Pointee, char>::value) {
            delete[] value;
        } else {
            delete value;
        }
    }
};

template <class T>
class CKHashMapValue : public CKHashMapBase<T> {
  public:
    explicit CKHashMapValue(const T& nullValue) : CKHashMapBase<T>(false, nullValue) {}
    ~CKHashMapValue() override = default;

    // Values manage themselves: the copy taken here is released on return.
    void deleteValue(T /*value*/) override {}
};

}  // namespace core

#endif  // KAVRIXML_CORE_CKHASHMAP_H
