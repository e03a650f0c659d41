// NamedObject is an Object with a name, given at construction (an element's
// tag) and changed only by assigning another NamedObject, which tells the
// object through renamed().
//
//   node->getName();   // "PARAM"
//
// The name is the object's own copy, or, for objects made with a shared
// core::internal::NameRef (the reader's elements), a name many objects share: either way
// one pointer in the object.
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_NAMEDOBJECT_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_NAMEDOBJECT_H

#include <cstring>
#include <string>

#include "framework/kavrimain/Object.h"
#include "framework/plinth/internal/NameRef.h"

namespace kavri {
namespace core {

class NamedObject : public Object {
  public:
    static const ::core::Type TYPE;

    explicit NamedObject(const char* name)
        : mName(::core::internal::NameRef::copyOf(name != nullptr ? name : "",
                                                  name != nullptr ? std::strlen(name) : 0)) {}
    explicit NamedObject(const std::string& name) : NamedObject(name.c_str()) {}
    // `length` bytes, none of them NUL.
    NamedObject(const char* name, size_t length)
        : mName(::core::internal::NameRef::copyOf(name, length)) {}
    NamedObject(const NamedObject& other) : Object(other), mName(other.mName.duplicate()) {}
    NamedObject& operator=(const NamedObject& other) {
        if (this != &other) {
            Object::operator=(other);
            mName = other.mName.duplicate();
            renamed();
        }
        return *this;
    }
    ~NamedObject() override = default;

    const char* getName() const { return mName.c_str(); }
    const std::string& getNameString() const { return mName.str(); }

    // Access checks of the framework's object store; named objects of this
    // library may always be written and read.
    virtual bool checkWrite() const { return true; }
    virtual bool checkRead() const { return true; }

    std::string toString() const override;
    const ::core::Type& getType() const override { return TYPE; }

  protected:
    // Called after an assignment gave the object another name.
    virtual void renamed() {}
    // Takes the name over (shared or own).
    explicit NamedObject(::core::internal::NameRef name) noexcept : mName(std::move(name)) {}
    // The name as it is held, to be shared again by a copy of the object.
    const ::core::internal::NameRef& nameRef() const { return mName; }

  private:
    ::core::internal::NameRef mName;
};

}  // namespace core
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_NAMEDOBJECT_H
