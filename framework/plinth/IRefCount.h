// IRefCount is the base of every reference-counted object: nodes, documents,
// bundles, parameters, files and JSON values. It only keeps the count; whoever
// brings the count to zero disposes of the object (core::SmartPtr does), through
// the release callback when one is set and by delete otherwise.
//
//   core::SmartPtr<XNode> keep(node);   // count 1
//   keep = nullptr;                     // count 0: the node is deleted
//
// The count is not atomic: an object is used by one thread at a time.
//
// Documents hold millions of counted nodes, so the header beside the virtual
// table is 8 bytes: a 32-bit count (2^31 references to one object would take
// 16 GiB of pointers) and the number of the release callback in a process-wide
// table of the callbacks ever set. Programs set few distinct callbacks; the
// table has room for MAX_RELEASE_CALLBACKS of them, is filled without a lock
// and is never emptied, and setReleaseCallback throws std::length_error for
// one more.
#ifndef KAVRIXML_FRAMEWORK_PLINTH_IREFCOUNT_H
#define KAVRIXML_FRAMEWORK_PLINTH_IREFCOUNT_H

#include <cstdint>

namespace core {

class IRefCount {
  public:
    using ReleaseCallback = void (*)(IRefCount*);

    IRefCount() = default;
    // Copies count and callback, as the framework always has; a copied object
    // that should start unshared resets its count with resetRefCount().
    IRefCount(const IRefCount& other) = default;
    IRefCount& operator=(const IRefCount& other) = default;
    virtual ~IRefCount() = default;

    long addRef() { return ++mRefCount; }
    long decRef() { return --mRefCount; }
    long getRefCount() const { return mRefCount; }

    static constexpr uint32_t MAX_RELEASE_CALLBACKS = 1024;

    void setReleaseCallback(ReleaseCallback callback) { mCallback = numberOf(callback); }
    ReleaseCallback getReleaseCallback() const {
        return mCallback != 0 ? callbackNumbered(mCallback) : nullptr;
    }

    // Disposes of an object whose count has reached zero: the release callback
    // if one is set, delete otherwise.
    static void dispose(IRefCount* object) {
        if (object->mCallback != 0) {
            callbackNumbered(object->mCallback)(object);
        } else {
            delete object;
        }
    }

  protected:
    void resetRefCount() { mRefCount = 0; }

  private:
    // 0 for null; otherwise the callback's number in the table, added there
    // the first time it is set.
    static uint32_t numberOf(ReleaseCallback callback);
    static ReleaseCallback callbackNumbered(uint32_t number);

    int32_t mRefCount = 0;
    uint32_t mCallback = 0;
};

}  // namespace core

#endif  // KAVRIXML_FRAMEWORK_PLINTH_IREFCOUNT_H
