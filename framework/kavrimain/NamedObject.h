// NamedObject is an Object with a name fixed at construction (an element's tag).
//
//   node->getName();   // "PARAM"
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_NAMEDOBJECT_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_NAMEDOBJECT_H

#include <string>

#include "framework/kavrimain/Object.h"

namespace kavri {
namespace core {

class NamedObject : public Object {
  public:
    static const ::core::Type TYPE;

    explicit NamedObject(const char* name) : mName(name != nullptr ? name : "") {}
    explicit NamedObject(const std::string& name) : mName(name.c_str()) {}
    // `length` bytes, none of them NUL.
    NamedObject(const char* name, size_t length) : mName(name, length) {}
    ~NamedObject() override = default;

    const char* getName() const { return mName.c_str(); }
    const std::string& getNameString() const { return mName; }

    // Access checks of the framework's object store; named objects of this
    // library may always be written and read.
    virtual bool checkWrite() const { return true; }
    virtual bool checkRead() const { return true; }

    std::string toString() const override;
    const ::core::Type& getType() const override { return TYPE; }

  private:
    std::string mName;
};

}  // namespace core
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_NAMEDOBJECT_H
