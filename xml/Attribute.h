// Attribute is an element's name/value pair. Elements own their attributes
// (XNode::addAttribute makes them, XNode::removeAttribute deletes them) and
// file them in a core::CKHashMap<Attribute*>, under the name each had when it
// was filed: a renamed attribute still answers to that name.
//
//   Attribute* id = node->addAttribute("id", "7");
//   id->getValueString();            // "7"
//   id->setValue("8");
#ifndef KAVRIXML_XML_ATTRIBUTE_H
#define KAVRIXML_XML_ATTRIBUTE_H

#include <cstddef>
#include <cstring>
#include <string>

#include "framework/plinth/internal/BlockPool.h"
#include "framework/plinth/internal/NameRef.h"
#include "xml/internal/EditCount.h"

namespace kavri {
namespace xml {

class TreeBuilder;
class XNode;
namespace internal {
class AttributeMap;
}

// Attributes are made by their nodes only, hence final: deleting one needs no
// virtual call.
class Attribute final {
  public:
    Attribute(const std::string& name, const std::string& value)
        : mName(::core::internal::NameRef::copyOf(name.data(), name.size())), mValue(value) {}
    explicit Attribute(const std::string& name)
        : mName(::core::internal::NameRef::copyOf(name.data(), name.size())) {}
    // C strings are copied straight into the members (no temporaries).
    Attribute(const char* name, const char* value)
        : mName(::core::internal::NameRef::copyOf(name, std::strlen(name))), mValue(value) {}
    // A copy is an attribute of no node: it is filed under nothing.
    Attribute(const Attribute& other) : mName(other.mName.duplicate()), mValue(other.mValue) {}
    Attribute& operator=(const Attribute& other);
    virtual ~Attribute() = default;

    // Documents hold many attributes: they come from the block pool.
    static void* operator new(size_t size) { return ::core::internal::BlockPool::allocate(size); }
    static void operator delete(void* block, size_t size) {
        ::core::internal::BlockPool::release(block, size);
    }

    const char* getName() const { return mName.c_str(); }
    const char* getValue() const { return mValue.c_str(); }
    const std::string& getNameString() const { return mName.str(); }
    const std::string& getValueString() const { return mValue; }

    // The std::string forms take the text up to its first NUL, as the
    // const char* forms do. Renaming does not refile the attribute: its node
    // still finds it under the name it was added with.
    void setName(const char* name);
    void setName(const std::string& name) { setName(name.c_str()); }
    void setValue(const char* value) {
        internal::EditCount::note();
        mValue = value;
    }
    void setValue(const std::string& value) {
        internal::EditCount::note();
        mValue = value.c_str();
    }

    // The name its map files it under: the first name it had.
    const char* filedName() const { return mName.firstCStr(); }
    // Whether that name is one the NameTable keeps for the life of the
    // process (and so the same address wherever it stands).
    bool hasKeptName() const { return mName.isShared(); }

  private:
    friend class TreeBuilder;
    friend class XNode;
    friend class internal::AttributeMap;

    // What the reader found, the value still to be decoded when `decode`; the
    // name is shared through the reader's NameTable (so: under its lock).
    Attribute(const char* name, size_t nameLength, const char* value, size_t valueLength,
              bool decode);

    // Takes `name` as the name, the old one staying the filed name.
    void rename(::core::internal::NameRef name);
    // Files the attribute under `key` from now on, whatever its name.
    void fileUnder(const char* key) {
        if (key != filedName()) {
            fileUnderOther(key);
        }
    }
    void fileUnderOther(const char* key);

    // The name, and once renamed or filed under another name, the filed name
    // as its earlier name.
    ::core::internal::NameRef mName;
    std::string mValue;
};

// The layout core::CKHashMap takes for attributes (xml/internal/AttributeMap.h):
// found by argument-dependent lookup wherever core::CKHashMap<Attribute*> is
// named, so that no include order can give a map another layout.
internal::AttributeMap* ckHashMapBase(Attribute**);

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_ATTRIBUTE_H
