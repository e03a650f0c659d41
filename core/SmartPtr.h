// SmartPtr is the intrusive counted pointer over core::IRefCount. Counted
// references point down the trees of this library (parent to children,
// document to root, manager to bundles); plain pointers point back up.
//
//   core::SmartPtr<XNode> keep(parent->getFirstChild());
//   parent->removeChild(keep);   // the child lives on in `keep`
//
// The last SmartPtr to let go disposes of the object: through its release
// callback when one is set, by delete otherwise.
#ifndef KAVRIXML_CORE_SMARTPTR_H
#define KAVRIXML_CORE_SMARTPTR_H

#include <cstddef>
#include <utility>

#include "framework/plinth/IRefCount.h"

namespace core {

template <class T>
class SmartPtr {
  public:
    SmartPtr() : mPtr(nullptr) {}
    SmartPtr(std::nullptr_t) : mPtr(nullptr) {}
    SmartPtr(T* ptr) : mPtr(ptr) { acquire(); }
    SmartPtr(const SmartPtr& other) : mPtr(other.mPtr) { acquire(); }
    SmartPtr(SmartPtr&& other) noexcept : mPtr(other.mPtr) { other.mPtr = nullptr; }
    template <class U>
    SmartPtr(const SmartPtr<U>& other) : mPtr(other.get()) {
        acquire();
    }
    ~SmartPtr() { release(); }

    SmartPtr& operator=(const SmartPtr& other) {
        if (mPtr != other.mPtr) {
            T* old = mPtr;
            mPtr = other.mPtr;
            acquire();
            dispose(old);
        }
        return *this;
    }
    SmartPtr& operator=(SmartPtr&& other) noexcept {
        if (this != &other) {
            T* old = mPtr;
            mPtr = other.mPtr;
            other.mPtr = nullptr;
            dispose(old);
        }
        return *this;
    }
    SmartPtr& operator=(T* ptr) { return *this = SmartPtr(ptr); }

    T* get() const { return mPtr; }
    operator T*() const { return mPtr; }
    T* operator->() const { return mPtr; }
    T& operator*() const { return *mPtr; }
    explicit operator bool() const { return mPtr != nullptr; }

    // Templates, so that a raw pointer of any (const, derived) type matches
    // exactly; a plain `const T*` parameter would tie with the built-in pointer
    // comparison through operator T* and make `ptr == raw` ambiguous.
    template <class U>
    bool operator==(U* ptr) const {
        return mPtr == ptr;
    }
    template <class U>
    bool operator!=(U* ptr) const {
        return mPtr != ptr;
    }
    bool operator==(const SmartPtr& other) const { return mPtr == other.mPtr; }
    bool operator!=(const SmartPtr& other) const { return mPtr != other.mPtr; }
    bool operator==(std::nullptr_t) const { return mPtr == nullptr; }
    bool operator!=(std::nullptr_t) const { return mPtr != nullptr; }

    // Drops the reference (disposing of the object when it was the last one).
    void release() {
        T* old = mPtr;
        mPtr = nullptr;
        dispose(old);
    }

    // Hands the object over without releasing it: the count stays as it was
    // and the caller takes over this reference.
    T* detach() {
        T* ptr = mPtr;
        mPtr = nullptr;
        return ptr;
    }

    // Two references trade places: no count changes, nothing is disposed
    // of (std::swap would move through a temporary and test both).
    friend void swap(SmartPtr& a, SmartPtr& b) noexcept { std::swap(a.mPtr, b.mPtr); }

  private:
    void acquire() {
        if (mPtr != nullptr) {
            static_cast<IRefCount*>(mPtr)->addRef();
        }
    }
    static void dispose(T* ptr) {
        if (ptr != nullptr && static_cast<IRefCount*>(ptr)->decRef() == 0) {
            IRefCount::dispose(static_cast<IRefCount*>(ptr));
        }
    }

    T* mPtr;
};

template <class U, class T>
bool operator==(U* ptr, const SmartPtr<T>& smart) {
    return smart == ptr;
}
template <class U, class T>
bool operator!=(U* ptr, const SmartPtr<T>& smart) {
    return smart != ptr;
}

}  // namespace core

#endif  // KAVRIXML_CORE_SMARTPTR_H
