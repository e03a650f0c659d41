#include "xml/XNode.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/plinth/StringUtil.h"
#include "tests/xml/node_tracking.h"
#include "xml/Document.h"

namespace kavri {
namespace xml {
namespace {

using ::core::SmartPtr;
using testing::disposedNodes;
using testing::watched;

class XNodeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        disposedNodes().clear();
        root = doc.createNode("root", nullptr);
        doc.setRootNode(root);
    }

    Document doc;
    XNode* root = nullptr;
};

// --- Tree and lifetimes ---------------------------------------------------------

TEST_F(XNodeTest, AddChildLinksParentAndDocument) {
    XNode* a = root->addChild("a");
    XNode* b = root->addChild(std::string("b\0ignored", 9));
    XNode* a2 = root->addChild("a");
    EXPECT_EQ(root->getFirstChild("a"), a);
    EXPECT_EQ(root->getFirstChild("A"), nullptr);
    EXPECT_STREQ(b->getName(), "b");
    EXPECT_EQ(root->getChildren()[2], a2);
    EXPECT_EQ(b->getParent(), root);
    EXPECT_EQ(b->getDocument(), &doc);
    EXPECT_EQ(b->getRefCount(), 1);

    SmartPtr<testing::FreeNode> loose(new testing::FreeNode("loose"));
    EXPECT_EQ(loose->addChild("x")->getDocument(), nullptr);

    // An existing node gets this document, its descendants keep theirs.
    Document other;
    SmartPtr<XNode> top(other.createNode("top", nullptr));
    XNode* below = top->addChild("below");
    root->addChild(top.get());
    EXPECT_EQ(top->getParent(), root);
    EXPECT_EQ(top->getDocument(), &doc);
    EXPECT_EQ(below->getDocument(), &other);
    EXPECT_EQ(top->getRefCount(), 2);
}

TEST_F(XNodeTest, RemoveChildWorksByIdentityAndReleasesTheListReference) {
    XNode* first = watched(root->addChild("x"));
    XNode* second = root->addChild("x");
    SmartPtr<XNode> stranger(doc.createNode("x", root));  // parent link only
    EXPECT_FALSE(root->removeChild(stranger));
    EXPECT_FALSE(second->removeChild(first));
    EXPECT_EQ(root->getChildCount(), 2u);

    SmartPtr<XNode> keep(second);
    EXPECT_TRUE(root->removeChild(second));
    EXPECT_EQ(second->getParent(), nullptr);
    EXPECT_EQ(second->getDocument(), &doc);
    EXPECT_EQ(second->getRefCount(), 1);

    EXPECT_TRUE(root->removeChild(first));  // the list held the last reference
    EXPECT_EQ(disposedNodes(), std::vector<std::string>{"x"});
    EXPECT_EQ(root->getChildCount(), 0u);
}

TEST_F(XNodeTest, RemoveChildrenOrphansTheChildrenHeldElsewhere) {
    SmartPtr<XNode> kept(root->addChild("kept"));
    XNode* grandchild = kept->addChild("grandchild");
    watched(root->addChild("dropped"))->addChild("inner");
    root->removeChildren();
    EXPECT_EQ(root->getChildCount(), 0u);
    EXPECT_EQ(disposedNodes(), std::vector<std::string>{"dropped"});
    EXPECT_EQ(kept->getParent(), nullptr);
    EXPECT_EQ(grandchild->getParent(), kept.get());
}

TEST_F(XNodeTest, DestroyingAParentLeavesChildrenHeldElsewhereAlive) {
    SmartPtr<XNode> parent(doc.createNode("parent", nullptr));
    SmartPtr<XNode> held(parent->addChild("held"));
    XNode* heldChild = watched(held->addChild("heldChild"));
    watched(parent->addChild("other"))->addChild("otherChild");

    parent = nullptr;
    EXPECT_EQ(disposedNodes(), std::vector<std::string>{"other"});
    EXPECT_EQ(held->getParent(), nullptr);
    EXPECT_EQ(held->getFirstChild(), heldChild);
    held = nullptr;
    EXPECT_EQ(disposedNodes(), (std::vector<std::string>{"other", "heldChild"}));
}

// The list holds an only child inline and moves into an array for a second
// one; order, counts and identity must survive every change of layout, and
// a swap or move hands references over without touching the counts.
TEST_F(XNodeTest, ChildListKeepsOrderAndCountsThroughEveryLayout) {
    auto names = [](const XNode::ChildList& list) {
        std::string seen;
        for (const auto& child : list) {
            seen += child->getName();
        }
        return seen;
    };
    const XNode::ChildList& children = root->getChildren();
    EXPECT_TRUE(children.empty());
    EXPECT_EQ(children.begin(), children.end());
    XNode* a = root->addChild("a");
    EXPECT_EQ(children.front(), a);
    EXPECT_EQ(&children.back(), children.data());
    for (const char* name : {"b", "c", "d", "e", "f", "g", "h", "i"}) {
        root->addChild(name);
    }
    EXPECT_EQ(names(children), "abcdefghi");
    EXPECT_EQ(std::string(children.rbegin()->get()->getName()), "i");
    EXPECT_THROW(children.at(9), std::out_of_range);
    EXPECT_TRUE(root->removeChild(children[4]));  // e
    EXPECT_TRUE(root->removeChild(children[0]));  // a, the first
    EXPECT_TRUE(root->removeChild(children.back()));
    EXPECT_EQ(names(children), "bcdfgh");
    for (const auto& child : children) {
        EXPECT_EQ(child->getRefCount(), 1);
    }

    SmartPtr<XNode> only(new testing::FreeNode("only"));
    SmartPtr<XNode> x(new testing::FreeNode("x"));
    SmartPtr<XNode> y(new testing::FreeNode("y"));
    XNode::ChildList inlineList;
    inlineList.emplace_back(only);
    XNode::ChildList arrayList;
    arrayList.emplace_back(x);
    arrayList.emplace_back(y);
    inlineList.swap(arrayList);
    EXPECT_EQ(names(inlineList), "xy");
    EXPECT_EQ(names(arrayList), "only");
    EXPECT_EQ(only->getRefCount(), 2);
    EXPECT_EQ(x->getRefCount(), 2);
    XNode::ChildList moved(std::move(arrayList));
    EXPECT_TRUE(arrayList.empty());
    EXPECT_EQ(names(moved), "only");
    moved = std::move(inlineList);
    EXPECT_EQ(names(moved), "xy");
    EXPECT_EQ(only->getRefCount(), 1);  // the list it was in let go of it
    moved.erase(moved.begin());
    EXPECT_EQ(x->getRefCount(), 1);
    EXPECT_EQ(names(moved), "y");

    // A heap array settled into an exact pool block keeps its entries and
    // references, and later changes grow out of the block or reuse it.
    XNode::ChildList settled;
    std::vector<SmartPtr<XNode>> held;
    for (const char* name : {"p", "q", "r", "s", "t", "u"}) {
        held.emplace_back(new testing::FreeNode(name));
        settled.emplace_back(held.back());
    }
    settled.settle();
    EXPECT_EQ(names(settled), "pqrstu");
    EXPECT_EQ(settled.capacity(), 6u);
    EXPECT_EQ(held[0]->getRefCount(), 2);
    settled.erase(settled.begin());
    settled.emplace_back(held[0]);
    EXPECT_EQ(settled.capacity(), 6u);
    settled.emplace_back(only);
    EXPECT_GE(settled.capacity(), 7u);
    EXPECT_EQ(names(settled), "qrstuponly");
    settled.settle();
    settled.clear();
    EXPECT_EQ(held[0]->getRefCount(), 1);
}

TEST_F(XNodeTest, AMillionLevelChainIsDestroyedWithoutRecursion) {
    SmartPtr<XNode> top(doc.createNode("n", nullptr));
    SmartPtr<XNode> middle;
    XNode* node = top;
    for (int level = 1; level < 1000000; ++level) {
        node = node->addChild("n");
        if (level == 500000) {
            middle = node;
        }
    }
    watched(node);

    top = nullptr;  // the upper half dies; the lower half lives on
    EXPECT_TRUE(disposedNodes().empty());
    EXPECT_EQ(middle->getParent(), nullptr);
    EXPECT_EQ(node->getParent()->getParent()->getChildCount(), 1u);
    middle = nullptr;
    EXPECT_EQ(disposedNodes(), std::vector<std::string>{"n"});
}

// --- Attributes -------------------------------------------------------------------

TEST_F(XNodeTest, AttributesAreReplacedByNameAndChangedInPlace) {
    root->addAttribute("a", "1");
    Attribute* replacement = root->addAttribute("a", "2");  // ASan: the first is gone
    root->addAttribute("A", "upper");
    root->addAttribute(std::string("k\0tail", 6), std::string("v\0tail", 6));
    EXPECT_EQ(root->getAttributeCount(), 3u);
    EXPECT_EQ(root->getAttribute("a"), replacement);
    EXPECT_STREQ(replacement->getValue(), "2");
    EXPECT_EQ(root->getAttribute(std::string("k"))->getValueString(), "v");

    root->setAttributeChar("a", "3");
    EXPECT_EQ(root->getAttribute("a"), replacement);
    EXPECT_STREQ(replacement->getValue(), "3");
    root->setAttributeChar("b", "new");
    EXPECT_EQ(root->getAttributeCount(), 4u);

    // Renaming does not refile.
    replacement->setName("z");
    EXPECT_EQ(root->getAttribute("a"), replacement);
    EXPECT_FALSE(root->hasAttribute("z"));
    EXPECT_FALSE(root->removeAttribute("z"));
    EXPECT_TRUE(root->removeAttribute("a"));
    root->removeAttributes();
    EXPECT_EQ(root->getAttributeCount(), 0u);
}

// getAttributes() is the node's own map: a reference taken before the first
// attribute sees every later add, replacement, removal and rename, also
// while the attributes outgrow the array and move into the tree, and
// whatever holds them, lookups, order and identity stay the same.
TEST_F(XNodeTest, AttributeMapIsTheNodesOwnAndFollowsEveryChange) {
    auto names = [](const XNode::AttributeMap& map) {
        std::string seen;
        for (const auto& entry : map) {
            seen += entry.first;
            seen += ' ';
        }
        return seen;
    };
    XNode* few = root->addChild("few");
    XNode* other = root->addChild("other");
    const XNode::AttributeMap& map = few->getAttributes();
    EXPECT_TRUE(map.empty());
    EXPECT_NE(&map, &other->getAttributes());  // no map shared between nodes
    EXPECT_EQ(map.begin(), map.end());

    few->addAttribute("b", "2");
    Attribute* a = few->addAttribute("a", "1");
    few->addAttribute("\xC3\xA9", "high byte sorts last");
    EXPECT_EQ(names(map), "a b \xC3\xA9 ");
    EXPECT_EQ(map.begin()->second, a);
    a->setName("renamed");  // still filed, walked and cloned as "a"
    EXPECT_STREQ(map.begin()->first, "a");
    EXPECT_EQ(map.get("a"), a);
    std::string dumped;
    SmartPtr<XNode> copy(few->cloneNode(false));
    copy->dump(dumped);
    EXPECT_EQ(dumped, "<few a='1' b='2' \xC3\xA9='high byte sorts last'/>");
    few->addAttribute("c", "3");
    EXPECT_TRUE(few->removeAttribute("b"));
    EXPECT_EQ(names(map), "a c \xC3\xA9 ");
    EXPECT_EQ(map.find("b"), map.end());
    EXPECT_EQ(&few->getAttributes(), &map);
    few->removeAttributes();
    EXPECT_TRUE(map.empty());

    // Past the array's size, in scrambled order, then back down.
    std::vector<Attribute*> added;
    for (int i = 0; i < 200; ++i) {
        const int n = (i * 77) % 200;  // every number once, out of order
        const std::string name =
            std::string(1, static_cast<char>('A' + n / 10)) + static_cast<char>('0' + n % 10);
        added.push_back(few->addAttribute(name, std::to_string(n)));
    }
    EXPECT_EQ(map.size(), 200u);
    EXPECT_EQ(names(map).substr(0, 12), "A0 A1 A2 A3 ");
    EXPECT_EQ(few->getAttribute("B3")->getValueString(), "13");
    EXPECT_EQ(few->getAttribute(added[1]->getName()), added[1]);
    Attribute* replaced = few->addAttribute("D9", "again");
    EXPECT_EQ(map.size(), 200u);
    EXPECT_EQ(map.get("D9"), replaced);
    replaced->setName("zz");
    EXPECT_TRUE(few->hasAttribute("D9"));
    EXPECT_FALSE(few->hasAttribute("zz"));
    auto last = map.end();
    --last;
    EXPECT_STREQ(last->first, "T9");
    for (int n = 0; n < 200; n += 2) {
        const std::string name =
            std::string(1, static_cast<char>('A' + n / 10)) + static_cast<char>('0' + n % 10);
        EXPECT_TRUE(few->removeAttribute(name));
    }
    EXPECT_EQ(map.size(), 100u);
    EXPECT_EQ(names(map).substr(0, 9), "A1 A3 A5 ");
    EXPECT_EQ(few->getAttributeCount(), 100u);
}

TEST_F(XNodeTest, AttributeGettersFallBackToTheDefaultOnlyWhenAbsent) {
    const std::string fallback = "fallback";
    EXPECT_TRUE(root->getAttributes().empty());
    EXPECT_EQ(root->getAttribute("x"), nullptr);
    EXPECT_EQ(root->getAttributeChar("x", nullptr), nullptr);
    EXPECT_EQ(root->getAttributeString("x", &fallback), &fallback);
    EXPECT_EQ(root->getAttributeInt("x", 7), 7);
    EXPECT_TRUE(root->getAttributeBool("x", true));
    EXPECT_FLOAT_EQ(root->getAttributeFloat("x", 1.5f), 1.5f);
    EXPECT_DOUBLE_EQ(root->getAttributeDouble("x", 2.5), 2.5);

    root->addAttribute("n", "12");
    root->addAttribute("bad", "abc");
    root->addAttribute("flag", "true");
    root->addAttribute("f", "2.25");
    EXPECT_EQ(*root->getAttributeString("bad", &fallback), "abc");
    EXPECT_EQ(root->getAttributeInt("n", 7), 12);
    EXPECT_EQ(root->getAttributeInt("bad", 7), text::StringUtil::parseInt("abc"));
    EXPECT_NE(root->getAttributeInt("bad", 7), 7);
    EXPECT_TRUE(root->getAttributeBool("flag", false));
    EXPECT_EQ(root->getAttributeBool("bad", true), text::StringUtil::parseBool("abc"));
    EXPECT_FLOAT_EQ(root->getAttributeFloat("f", 0.0f), 2.25f);
    EXPECT_DOUBLE_EQ(root->getAttributeDouble("bad", 9.0), text::StringUtil::parseDouble("abc"));
}

// --- Body and CDATA -----------------------------------------------------------------

// The body stays whole when the first CDATA makes room for itself.
TEST_F(XNodeTest, BodyAccumulatesAndCDataIsCopiedByByteCount) {
    unsigned size = 99;
    root->addBody("p", true);
    root->addBody("r", false);
    root->addBody(std::string("e\0d", 3));
    EXPECT_EQ(root->getCData(size), nullptr);
    EXPECT_EQ(size, 0u);
    root->addCData("ab", 2);
    root->addBody("post");
    EXPECT_STREQ(root->getBody(), "prepost");
    EXPECT_EQ(root->getBodySize(), 7u);
    root->addCData("cd", 2);
    root->addCData(nullptr, 5);
    root->addCData("ef", 0);
    EXPECT_STREQ(root->getCData(size), "abcd");
    EXPECT_EQ(size, 4u);

    root->setCData(std::string("x\0y\0", 4).data(), 4);
    root->addCData("\0z", 2);
    const char* data = root->getCData(size);
    EXPECT_EQ(std::string(data, size + 1), std::string("x\0y\0\0z\0", 7));

    root->setCData("abc", 0);
    EXPECT_EQ(root->getCData(size), nullptr);
    EXPECT_EQ(size, 0u);
}

}  // namespace
}  // namespace xml
}  // namespace kavri
