#include "core/SmartPtr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Node : core::IRefCount {
    static int live;
    static std::vector<std::string> released;

    explicit Node(const char* name) : mName(name) { ++live; }
    ~Node() override { --live; }

    std::string mName;
    core::SmartPtr<Node> mNext;
};
int Node::live = 0;
std::vector<std::string> Node::released;

struct Derived : Node {
    Derived() : Node("derived") {}
};

void recordRelease(core::IRefCount* object) {
    Node* node = static_cast<Node*>(object);
    Node::released.push_back(node->mName);
    delete node;
}

class SmartPtrTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Node::live = 0;
        Node::released.clear();
    }
};

TEST_F(SmartPtrTest, CountsReferencesAndDeletesWithTheLastOne) {
    Node* raw = new Node("a");
    EXPECT_EQ(raw->getRefCount(), 0);
    {
        core::SmartPtr<Node> first(raw);
        EXPECT_EQ(raw->getRefCount(), 1);
        core::SmartPtr<Node> copy(first);
        core::SmartPtr<Node> assigned;
        assigned = copy;
        EXPECT_EQ(raw->getRefCount(), 3);

        core::SmartPtr<Node> moved(std::move(copy));
        EXPECT_EQ(copy, nullptr);
        EXPECT_EQ(raw->getRefCount(), 3);

        first = nullptr;
        assigned.release();
        EXPECT_EQ(Node::live, 1);
        EXPECT_EQ(raw->getRefCount(), 1);
        EXPECT_EQ(moved.get(), raw);
    }
    EXPECT_EQ(Node::live, 0);
}

TEST_F(SmartPtrTest, SelfAssignmentAndNullKeepEverythingAsItWas) {
    core::SmartPtr<Node> ptr(new Node("a"));
    core::SmartPtr<Node>& alias = ptr;
    ptr = alias;
    ptr = std::move(alias);
    ptr = ptr.get();
    EXPECT_EQ(Node::live, 1);
    EXPECT_EQ(ptr->getRefCount(), 1);
    EXPECT_EQ(ptr->mName, "a");

    core::SmartPtr<Node> other(ptr);
    ptr = other;  // different holders of the same object
    EXPECT_EQ(ptr->getRefCount(), 2);

    {
        core::SmartPtr<Node> empty(static_cast<Node*>(nullptr));
        core::SmartPtr<Node> alsoEmpty(empty);
        EXPECT_FALSE(empty);
        EXPECT_EQ(alsoEmpty, nullptr);
    }
    EXPECT_EQ(Node::live, 1);
}

TEST_F(SmartPtrTest, AssignmentTakesTheNewObjectBeforeReleasingTheOld) {
    // The old object holds the only other reference to the new one: releasing
    // the old one first would destroy the new one too.
    core::SmartPtr<Node> ptr(new Node("outer"));
    ptr->mNext = new Node("inner");
    ptr = ptr->mNext;
    ASSERT_EQ(Node::live, 1);
    EXPECT_EQ(ptr->mName, "inner");
    EXPECT_EQ(ptr->getRefCount(), 1);

    ptr->mNext = new Node("next");
    ptr = ptr->mNext.get();
    EXPECT_EQ(Node::live, 1);
    EXPECT_EQ(ptr->mName, "next");
}

TEST_F(SmartPtrTest, ReleaseCallbackReplacesDelete) {
    Node* node = new Node("watched");
    node->setReleaseCallback(recordRelease);
    core::SmartPtr<Node> first(node);
    core::SmartPtr<Node> second(first);
    first = nullptr;
    EXPECT_TRUE(Node::released.empty());
    second = nullptr;
    EXPECT_EQ(Node::released, std::vector<std::string>{"watched"});
    EXPECT_EQ(Node::live, 0);
}

TEST_F(SmartPtrTest, ComparesWithRawPointersOfAnyConstnessAndDerivedType) {
    Derived* derived = new Derived;
    core::SmartPtr<Node> ptr(derived);
    Node* raw = derived;
    const Node* constRaw = derived;
    Node other("other");

    EXPECT_TRUE(ptr == raw);
    EXPECT_TRUE(raw == ptr);
    EXPECT_TRUE(ptr == constRaw);
    EXPECT_TRUE(ptr == derived);
    EXPECT_FALSE(ptr != raw);
    EXPECT_TRUE(ptr != &other);
    EXPECT_TRUE(&other != ptr);
    EXPECT_TRUE(ptr != nullptr);
    EXPECT_TRUE(ptr == core::SmartPtr<Node>(ptr));

    core::SmartPtr<Derived> typed(derived);
    core::SmartPtr<Node> widened(typed);
    EXPECT_EQ(widened, ptr);
    EXPECT_EQ(derived->getRefCount(), 3);
}

}  // namespace
