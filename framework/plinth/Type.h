// Type is a static run-time type descriptor, one per class, linked to the
// descriptor of its parent class. instanceOf walks that chain.
//
//   static const core::Type TYPE("Document", kavri::core::Object::TYPE);
//   doc->getType().instanceOf(kavri::core::Object::TYPE);   // true
//
// A Type does not own its name: it is a string literal with static storage.
// The constructors are constexpr so that static descriptors are constant-
// initialised: a Type in one file may name a parent defined in another without
// any concern for the order of static initialisation.
#ifndef KAVRIXML_FRAMEWORK_PLINTH_TYPE_H
#define KAVRIXML_FRAMEWORK_PLINTH_TYPE_H

namespace core {

class Type {
  public:
    constexpr explicit Type(const char* name) : mName(name), mParent(nullptr) {}
    constexpr Type(const char* name, const Type& parent) : mName(name), mParent(&parent) {}
    Type(const Type&) = delete;
    Type& operator=(const Type&) = delete;

    const char* getName() const { return mName; }
    const Type* getParent() const { return mParent; }

    // True when this type is `other` or has it among its ancestors.
    bool instanceOf(const Type& other) const {
        for (const Type* type = this; type != nullptr; type = type->mParent) {
            if (type == &other) {
                return true;
            }
        }
        return false;
    }

  private:
    const char* mName;
    const Type* mParent;
};

}  // namespace core

#endif  // KAVRIXML_FRAMEWORK_PLINTH_TYPE_H
