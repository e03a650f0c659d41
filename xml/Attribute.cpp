#include "xml/Attribute.h"

#include <cstring>

#include "syntax/XMLSyntax.h"
#include "xml/NameTable.h"
#include "xml/internal/AttributeMap.h"

namespace kavri {
namespace xml {

Attribute::Attribute(const char* name, size_t nameLength, const char* value, size_t valueLength,
                     bool decode)
    : mName(NameTable::nameOf(name, nameLength)), mValue(value, decode ? 0 : valueLength) {
    if (decode) {
        syntax::decodeReferences(value, valueLength, mValue);
    }
}

Attribute& Attribute::operator=(const Attribute& other) {
    if (this != &other) {
        internal::EditCount::note();
        std::string value = other.mValue;
        rename(other.mName.duplicate());
        mValue.swap(value);
    }
    return *this;
}

void Attribute::setName(const char* name) {
    internal::EditCount::note();
    rename(::core::internal::NameRef::copyOf(name, std::strlen(name)));
}

// The first name moves over to the filed name: a rename copies nothing but
// the new name.
void Attribute::rename(::core::internal::NameRef name) {
    if (mName.earlier() == nullptr && name.str() == mName.str()) {
        return;  // the same name: nothing to keep
    }
    mName.rename(std::move(name));
}

void Attribute::fileUnderOther(const char* key) {
    if (std::strcmp(key, filedName()) != 0) {
        mName.setEarlier(::core::internal::NameRef::copyOf(key, std::strlen(key)));
    }
}

}  // namespace xml
}  // namespace kavri
