// NameRef holds a name for an object that has one (an element, an attribute):
// either the object's own copy, or a name shared with many objects that
// outlives them all (one the reader keeps once for every element and
// attribute that bears it, see xml/NameTable.h). Either way it is one
// pointer, and getting the text is one load.
//
//   core::NameRef own = core::NameRef::copyOf("id", 2);   // its own copy
//   core::NameRef shared = core::NameRef::sharing(kept);  // no copy
//   own.str();                                            // "id"
//
// Own copies come from core::BlockPool and die with their NameRef; shared
// names are never written or freed through a NameRef, so any number of
// threads may read objects that share them. A null NameRef reads as "".
#ifndef KAVRIXML_CORE_NAMEREF_H
#define KAVRIXML_CORE_NAMEREF_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "core/BlockPool.h"

namespace core {

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
    static NameRef sharing(const std::string* kept) noexcept {
        NameRef name;
        name.mBits = reinterpret_cast<uintptr_t>(kept) | SHARED;
        return name;
    }
    // The same name: shared names are shared again, own ones copied.
    NameRef duplicate() const {
        if (isNull() || (mBits & SHARED) != 0) {
            NameRef name;
            name.mBits = mBits;
            return name;
        }
        const std::string& text = str();
        return copyOf(text.data(), text.size());
    }

    bool isNull() const { return mBits == 0; }
    const std::string& str() const {
        return isNull() ? empty() : *reinterpret_cast<const std::string*>(mBits & ~SHARED);
    }
    const char* c_str() const {
        return isNull() ? "" : reinterpret_cast<const std::string*>(mBits & ~SHARED)->c_str();
    }

  private:
    static constexpr uintptr_t SHARED = 1;

    static const std::string& empty() {
        static const std::string none;
        return none;
    }
    void reset() noexcept {
        if (mBits != 0 && (mBits & SHARED) == 0) {
            auto* own = reinterpret_cast<std::string*>(mBits);
            own->~basic_string();
            BlockPool::release(own, sizeof(std::string));
        }
        mBits = 0;
    }

    uintptr_t mBits = 0;
};

}  // namespace core

#endif  // KAVRIXML_CORE_NAMEREF_H
