// IRefCount is the base of every reference-counted object: nodes, documents,
// bundles, parameters, files and JSON values. It only keeps the count; whoever
// brings the count to zero disposes of the object (core::SmartPtr does), through
// the release callback when one is set and by delete otherwise.
//
//   core::SmartPtr<XNode> keep(node);   // count 1
//   keep = nullptr;                     // count 0: the node is deleted
//
// The count is not atomic: an object is used by one thread at a time.
#ifndef KAVRIXML_FRAMEWORK_PLINTH_IREFCOUNT_H
#define KAVRIXML_FRAMEWORK_PLINTH_IREFCOUNT_H

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

    void setReleaseCallback(ReleaseCallback callback) { mReleaseCallback = callback; }
    ReleaseCallback getReleaseCallback() const { return mReleaseCallback; }

    // Disposes of an object whose count has reached zero: the release callback
    // if one is set, delete otherwise.
    static void dispose(IRefCount* object) {
        if (object->mReleaseCallback != nullptr) {
            object->mReleaseCallback(object);
        } else {
            delete object;
        }
    }

protected:
    void resetRefCount() { mRefCount = 0; }

private:
    long mRefCount = 0;
    ReleaseCallback mReleaseCallback = nullptr;
};

}  // namespace core

#endif  // KAVRIXML_FRAMEWORK_PLINTH_IREFCOUNT_H
