#include "framework/kavrimain/NamedObject.h"

namespace kavri {
namespace core {

const ::core::Type NamedObject::TYPE("NamedObject", Object::TYPE);

std::string NamedObject::toString() const {
    return mName.str();
}

}  // namespace core
}  // namespace kavri
