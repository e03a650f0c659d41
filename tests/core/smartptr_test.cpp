#include "core/SmartPtr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Node : core::IRefCount {
    static int live;
    explicit Node(const char* name) : mName(name) { ++live; }
    ~Node() override { --live; }
    std::string mName;
    core::SmartPtr<Node> mNext;
};
int Node::live = 0;

struct Derived : Node {
    Derived() : Node("derived") {}
};

std::vector<std::string> released;
void recordRelease(core::IRefCount* object) {
    released.push_back(static_cast<Node*>(object)->mName);
    delete object;
}

TEST(SmartPtr, CountsReferencesAndDisposesWithTheLastOne) {
    Node::live = 0;
    Node* raw = new Node("a");
    EXPECT_EQ(raw->getRefCount(), 0);
    core::SmartPtr<Node> first(raw);
    core::SmartPtr<Node> copy(first);
    core::SmartPtr<Node> assigned;
    assigned = copy;
    EXPECT_EQ(raw->getRefCount(), 3);

    // Assigning to itself, directly or through another holder, keeps it.
    core::SmartPtr<Node>& alias = first;
    first = alias;
    first = first.get();
    first = copy;
    EXPECT_EQ(raw->getRefCount(), 3);

    // Swapping trades the holders and leaves the counts alone.
    core::SmartPtr<Node> other(new Node("b"));
    swap(first, other);
    EXPECT_EQ(first->mName, "b");
    EXPECT_EQ(other, raw);
    EXPECT_EQ(first->getRefCount(), 1);
    EXPECT_EQ(raw->getRefCount(), 3);
    swap(first, other);
    other.release();
    core::SmartPtr<Node> moved(std::move(copy));
    EXPECT_EQ(copy, nullptr);
    first = nullptr;
    assigned.release();
    EXPECT_EQ(Node::live, 1);
    moved = nullptr;
    EXPECT_EQ(Node::live, 0);

    core::SmartPtr<Node> empty(static_cast<Node*>(nullptr));
    core::SmartPtr<Node> alsoEmpty(empty);
    EXPECT_FALSE(alsoEmpty);
}

TEST(SmartPtr, AssignmentTakesTheNewObjectBeforeReleasingTheOld) {
    // The old object holds the only other reference to the new one.
    Node::live = 0;
    core::SmartPtr<Node> ptr(new Node("outer"));
    ptr->mNext = new Node("inner");
    ptr = ptr->mNext;
    EXPECT_EQ(Node::live, 1);
    EXPECT_EQ(ptr->mName, "inner");
    ptr->mNext = new Node("next");
    ptr = ptr->mNext.get();
    EXPECT_EQ(ptr->mName, "next");
    EXPECT_EQ(ptr->getRefCount(), 1);
}

TEST(SmartPtr, ReleaseCallbackReplacesDelete) {
    Node* node = new Node("watched");
    node->setReleaseCallback(recordRelease);
    core::SmartPtr<Node> first(node);
    core::SmartPtr<Node> second(first);
    first = nullptr;
    EXPECT_TRUE(released.empty());
    second = nullptr;
    EXPECT_EQ(released, std::vector<std::string>{"watched"});
}

TEST(SmartPtr, ComparesWithRawPointersOfAnyConstnessAndDerivedType) {
    Derived* derived = new Derived;
    core::SmartPtr<Node> ptr(derived);
    Node* raw = derived;
    const Node* constRaw = derived;
    Node other("other");
    EXPECT_TRUE(ptr == raw);
    EXPECT_TRUE(raw == ptr);
    EXPECT_TRUE(ptr == constRaw);
    EXPECT_TRUE(ptr == derived);
    EXPECT_TRUE(ptr != &other);
    EXPECT_TRUE(&other != ptr);
    core::SmartPtr<Node> widened(core::SmartPtr<Derived>{derived});
    EXPECT_EQ(widened, ptr);
    EXPECT_EQ(derived->getRefCount(), 2);
}

}  // namespace
