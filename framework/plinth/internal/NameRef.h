// NameRef holds a name for an object that has one (an element, an attribute):
// either the object's own copy, or a name shared with many objects that
// outlives them all (one the reader keeps once for every element and
// attribute that bears it, see xml/NameTable.h). Either way it is one
// pointer, and getting the text is one load.
//
//   core::internal::NameRef own = core::internal::NameRef::copyOf("id", 2);   // its own copy
//   core::internal::NameRef shared = core::internal::NameRef::sharing(kept);  // no copy
//   own.str();                                            // "id"
//
// Own copies come from core::internal::BlockPool and die with their NameRef; shared
// names are never written or freed through a NameRef, so any number of
// threads may read objects that share them. A null NameRef reads as "".
//
// A renamed object may need its first name too (an attribute stays filed
// under it): rename() keeps the earlier name beside the new one, in a block
// made then, so that objects never renamed pay nothing for it.
#ifndef KAVRIXML_FRAMEWORK_PLINTH_INTERNAL_NAMEREF_H
#define KAVRIXML_FRAMEWORK_PLINTH_INTERNAL_NAMEREF_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "framework/plinth/internal/BlockPool.h"

namespace core {
namespace internal {

class NameRef {
  public:
    NameRef() noexcept = default;
    NameRef(NameRef&& other) noexcept : mBits(other.mBits) { other.mBits = 0; }
    NameRef& operator=(NameRef&& other) noexcept {
        if (this != &other) {
            reset();
            mBits = other.mBits;
            other.mBits = 0;
        }
        return *this;
    }
    NameRef(const NameRef&) = delete;
    NameRef& operator=(const NameRef&) = delete;
    ~NameRef() { reset(); }

    // An own copy of `length` bytes (throws std::bad_alloc, leaving nothing).
    static NameRef copyOf(const char* text, size_t length) {
        void* memory = BlockPool::allocate(sizeof(std::string));
        NameRef name;
        try {
            name.mBits = reinterpret_cast<uintptr_t>(new (memory) std::string(text, length));
        } catch (...) {
            BlockPool::release(memory, sizeof(std::string));
            throw;
        }
        return name;
    }
    // A name that outlives every object that will share it.
    // (Kept strings are aligned to 8, so two low bits are free for tags.)
    static NameRef sharing(const std::string* kept) noexcept {
        NameRef name;
        name.mBits = reinterpret_cast<uintptr_t>(kept) | SHARED;
        return name;
    }
    // The same (current) name: shared names are shared again, own ones
    // copied.
    NameRef duplicate() const;

    bool isNull() const { return mBits == 0; }
    // A name shared as it was made (sharing), not renamed since.
    bool isShared() const { return (mBits & TAGS) == SHARED; }
    const std::string& str() const;
    const char* c_str() const;

    // Takes `name` as the name; the name before the first rename stays
    // readable as earlier() (throws std::bad_alloc, changing nothing).
    void rename(NameRef name);
    // Keeps `name` as the earlier name from now on.
    void setEarlier(NameRef name);
    // The name before the first rename, or null when there was none.
    const NameRef* earlier() const;
    // The first name the object had: earlier() when renamed, else the name.
    const char* firstCStr() const {
        if ((mBits & RENAMED) != 0) {
            return firstOfRenamed();
        }
        return mBits != 0 ? reinterpret_cast<const std::string*>(mBits & ~SHARED)->c_str() : "";
    }

  private:
    struct Renamed;
    static constexpr uintptr_t SHARED = 1;
    static constexpr uintptr_t RENAMED = 2;
    static constexpr uintptr_t TAGS = SHARED | RENAMED;

    Renamed* renamed() const { return reinterpret_cast<Renamed*>(mBits & ~TAGS); }
    const std::string& plain() const {
        return isNull() ? empty() : *reinterpret_cast<const std::string*>(mBits & ~TAGS);
    }
    const char* firstOfRenamed() const;
    // Turns this into the renamed form, the name so far as its current one.
    void makeRenamed();

    static const std::string& empty() {
        static const std::string none;
        return none;
    }
    void reset() noexcept;

    uintptr_t mBits = 0;
};

// The renamed form: the current name and the one before the first rename.
struct NameRef::Renamed {
    NameRef current;
    NameRef earlier;
};

inline NameRef NameRef::duplicate() const {
    if ((mBits & RENAMED) != 0) {
        return renamed()->current.duplicate();
    }
    if (isNull() || (mBits & SHARED) != 0) {
        NameRef name;
        name.mBits = mBits;
        return name;
    }
    const std::string& text = str();
    return copyOf(text.data(), text.size());
}

inline const std::string& NameRef::str() const {
    return (mBits & RENAMED) != 0 ? renamed()->current.plain() : plain();
}

inline const char* NameRef::c_str() const {
    if ((mBits & RENAMED) != 0) {
        return renamed()->current.c_str();
    }
    return isNull() ? "" : reinterpret_cast<const std::string*>(mBits & ~TAGS)->c_str();
}

inline const char* NameRef::firstOfRenamed() const {
    return renamed()->earlier.c_str();
}

inline const NameRef* NameRef::earlier() const {
    return (mBits & RENAMED) != 0 ? &renamed()->earlier : nullptr;
}

inline void NameRef::makeRenamed() {
    if ((mBits & RENAMED) == 0) {
        void* memory = BlockPool::allocate(sizeof(Renamed));
        auto* record = new (memory) Renamed();
        record->current.mBits = mBits;
        mBits = reinterpret_cast<uintptr_t>(record) | RENAMED;
    }
}

inline void NameRef::rename(NameRef name) {
    if ((mBits & RENAMED) == 0) {
        makeRenamed();
        renamed()->earlier = std::move(renamed()->current);
    }
    renamed()->current = std::move(name);
}

inline void NameRef::setEarlier(NameRef name) {
    makeRenamed();
    renamed()->earlier = std::move(name);
}

inline void NameRef::reset() noexcept {
    if ((mBits & RENAMED) != 0) {
        Renamed* record = renamed();
        record->~Renamed();
        BlockPool::release(record, sizeof(Renamed));
    } else if (mBits != 0 && (mBits & SHARED) == 0) {
        auto* own = reinterpret_cast<std::string*>(mBits);
        own->~basic_string();
        BlockPool::release(own, sizeof(std::string));
    }
    mBits = 0;
}

}  // namespace internal
}  // namespace core

#endif  // KAVRIXML_FRAMEWORK_PLINTH_INTERNAL_NAMEREF_H
