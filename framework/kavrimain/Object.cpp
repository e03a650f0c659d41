#include "framework/kavrimain/Object.h"

#include <cstdio>

#include "framework/kavrimain/OutputStream.h"
#include "framework/plinth/Exception.h"

namespace kavri {
namespace core {

const ::core::Type Object::TYPE("Object");

void Serializable::serialize(stream::OutputStream* out) const {
    if (out == nullptr) {
        return;
    }
    std::string text = serializedText();
    out->write(text.data(), static_cast<unsigned>(text.size()));
}

void Serializable::deserialize(stream::InputStream*) {
    throw ::core::Exception("Cannot deserialize %s: objects of this type are not read from streams",
                            getType().getName());
}

void Serializable::deserializeLegacy0(stream::InputStream* in) {
    deserialize(in);
}

void Serializable::deserializeLegacy1(stream::InputStream* in) {
    deserialize(in);
}

std::string Object::toString() const {
    char address[32];
    std::snprintf(address, sizeof address, "@%p", static_cast<const void*>(this));
    return std::string(getType().getName()) + address;
}

Object* Object::_clone(const CloningOptions&) const {
    throw ::core::Exception("Cannot clone %s: the class does not support cloning",
                            getType().getName());
}

}  // namespace core
}  // namespace kavri
