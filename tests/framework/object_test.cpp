#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "core/SmartPtr.h"
#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/kavrimain/NamedObject.h"
#include "framework/kavrimain/Object.h"
#include "framework/plinth/Exception.h"

using kavri::core::NamedObject;
using kavri::core::Object;

namespace {

const core::Type kWidgetType("Widget", NamedObject::TYPE);

class Widget : public NamedObject {
  public:
    explicit Widget(const char* name) : NamedObject(name) {}
    const core::Type& getType() const override { return kWidgetType; }
};

int gReleased = 0;
void countRelease(core::IRefCount* object) {
    ++gReleased;
    delete object;
}
int gReleasedOtherwise = 0;
void countOtherRelease(core::IRefCount* object) {
    ++gReleasedOtherwise;
    delete object;
}

}  // namespace

TEST(Type, InstanceOfFollowsTheParentChain) {
    EXPECT_STREQ("Object", Object::TYPE.getName());
    EXPECT_EQ(nullptr, Object::TYPE.getParent());
    EXPECT_EQ(&Object::TYPE, NamedObject::TYPE.getParent());
    EXPECT_TRUE(kWidgetType.instanceOf(kWidgetType));
    EXPECT_TRUE(kWidgetType.instanceOf(NamedObject::TYPE));
    EXPECT_TRUE(kWidgetType.instanceOf(Object::TYPE));
    EXPECT_FALSE(Object::TYPE.instanceOf(NamedObject::TYPE));
    EXPECT_FALSE(kWidgetType.instanceOf(core::Exception::TYPE));
}

TEST(IRefCount, CopyKeepsCountAndTheLastReleaseUsesTheCallback) {
    gReleased = 0;
    auto* widget = new Widget("w");
    widget->setReleaseCallback(&countRelease);
    {
        core::SmartPtr<Widget> first(widget);
        core::SmartPtr<Widget> second(first);
        EXPECT_EQ(2, widget->getRefCount());
        first = nullptr;
        EXPECT_EQ(0, gReleased);
    }
    EXPECT_EQ(1, gReleased);

    // Object's copy starts unshared, whatever the original's count.
    Widget original("o");
    original.addRef();
    Widget copy(original);
    EXPECT_EQ(0, copy.getRefCount());
    EXPECT_EQ(1, original.getRefCount());
    original.decRef();

    // Each object keeps its own callback, however often one is set again
    // (more often than the table has room for distinct callbacks), and a
    // null callback brings delete back.
    gReleased = 0;
    auto* one = new Widget("one");
    auto* other = new Widget("other");
    auto* plain = new Widget("plain");
    for (uint32_t i = 0; i <= core::IRefCount::MAX_RELEASE_CALLBACKS; ++i) {
        one->setReleaseCallback(&countRelease);
    }
    other->setReleaseCallback(&countOtherRelease);
    plain->setReleaseCallback(&countRelease);
    plain->setReleaseCallback(nullptr);
    EXPECT_EQ(plain->getReleaseCallback(), nullptr);
    EXPECT_EQ(other->getReleaseCallback(), &countOtherRelease);
    core::SmartPtr<Widget>(one).release();
    core::SmartPtr<Widget>(other).release();
    core::SmartPtr<Widget>(plain).release();
    EXPECT_EQ(1, gReleased);
    EXPECT_EQ(1, gReleasedOtherwise);
}

TEST(Object, TextFormAndSerializeWriteTypeOrName) {
    Widget widget("PARAM");
    EXPECT_EQ("PARAM", widget.toString());
    EXPECT_STREQ("PARAM", widget.getName());
    EXPECT_TRUE(widget.checkRead());
    EXPECT_TRUE(widget.checkWrite());

    kavri::stream::MemoryOutputStream out;
    widget.serialize(&out);
    EXPECT_EQ("PARAM", out.str());

    // The std::string form takes the text up to its first NUL.
    NamedObject cut(std::string("ab\0cd", 5));
    EXPECT_EQ("ab", cut.getNameString());
    EXPECT_STREQ("", NamedObject(static_cast<const char*>(nullptr)).getName());

    struct Plain : Object {};
    Plain plain;
    std::string text = plain.toString();
    EXPECT_EQ(0u, text.find("Object@")) << text;
    EXPECT_GT(text.size(), 7u);
}

TEST(Object, DeserializeAndCloneThrowNamingTheType) {
    Widget widget("w");
    kavri::stream::MemoryInputStream in("w");
    try {
        widget.deserialize(&in);
        FAIL() << "deserialize returned";
    } catch (const core::Exception& e) {
        EXPECT_NE(nullptr, std::strstr(e.getMessage(), "Widget")) << e.getMessage();
    }
    EXPECT_THROW(widget.deserializeLegacy0(&in), core::Exception);
    EXPECT_THROW(widget.deserializeLegacy1(&in), core::Exception);
    try {
        widget.clone(kavri::core::CloningOptions());
        FAIL() << "clone returned";
    } catch (const core::Exception& e) {
        EXPECT_NE(nullptr, std::strstr(e.getMessage(), "Widget")) << e.getMessage();
    }
}
