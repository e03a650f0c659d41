// Object is the base of the framework's counted objects (nodes, documents):
// a core::IRefCount first, a Serializable second, with a run-time type.
// Serializable is the framework's persistence interface; objects of this
// library write their text form (toString) and cannot be read back, so
// deserialize throws.
//
//   kavri::core::Object* o = ...;
//   if (o->getType().instanceOf(kavri::core::Object::TYPE)) { ... }
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_OBJECT_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_OBJECT_H

#include <string>

#include "framework/plinth/IRefCount.h"
#include "framework/plinth/Type.h"

namespace kavri {
namespace stream {
class InputStream;
class OutputStream;
}  // namespace stream

namespace core {

// What a clone copies: the whole subtree (deep) or the object alone.
struct CloningOptions {
    bool deep = true;
};

class Serializable {
  public:
    virtual ~Serializable() = default;
    // Writes the object's text form (toString of the Object) to the stream.
    virtual void serialize(stream::OutputStream* out) const;
    // Objects of this library are not read back from streams: these throw
    // core::Exception naming the type.
    virtual void deserialize(stream::InputStream* in);
    virtual void deserializeLegacy0(stream::InputStream* in);
    virtual void deserializeLegacy1(stream::InputStream* in);
    virtual const ::core::Type& getType() const = 0;
    // Serial version of the class layout.
    virtual unsigned long getSUID() const { return 1; }

  protected:
    virtual std::string serializedText() const = 0;
};

class Object : public ::core::IRefCount, public Serializable {
  public:
    static const ::core::Type TYPE;
    static const ::core::Type& type() { return TYPE; }

    Object() = default;
    Object(const Object& other) : ::core::IRefCount(), Serializable(other) {}
    Object& operator=(const Object&) { return *this; }
    ~Object() override = default;

    // "<type name>@<address>" unless a subclass knows better.
    virtual std::string toString() const;
    // A new object (count 0) that the caller owns; throws core::Exception for
    // classes that cannot be cloned this way.
    virtual Object* clone(const CloningOptions& options) const { return _clone(options); }
    const ::core::Type& getType() const override { return TYPE; }

  protected:
    virtual Object* _clone(const CloningOptions& options) const;
    std::string serializedText() const override { return toString(); }
};

}  // namespace core
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_OBJECT_H
