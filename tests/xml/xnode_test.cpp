#include "xml/XNode.h"

#include <gtest/gtest.h>

#include <cstring>
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
using testing::FreeNode;
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

// --- Tree --------------------------------------------------------------------

TEST_F(XNodeTest, AddChildAppendsInOrderWithParentAndDocument) {
    XNode* a = root->addChild("a");
    XNode* b = root->addChild(std::string("b\0ignored", 9));
    XNode* a2 = root->addChild("a");

    EXPECT_EQ(root->getChildCount(), 3u);
    EXPECT_EQ(root->getFirstChild(), a);
    EXPECT_EQ(root->getFirstChild("a"), a);
    EXPECT_EQ(root->getFirstChild(std::string("b")), b);
    EXPECT_EQ(root->getFirstChild("A"), nullptr);
    EXPECT_EQ(root->getFirstChild("c"), nullptr);
    EXPECT_STREQ(b->getName(), "b");
    EXPECT_EQ(root->getChildren()[2], a2);
    for (XNode* child : {a, b, a2}) {
        EXPECT_EQ(child->getParent(), root);
        EXPECT_EQ(child->getDocument(), &doc);
        EXPECT_EQ(child->getRefCount(), 1);
        EXPECT_EQ(child->getFirstChild(), nullptr);
    }

    SmartPtr<FreeNode> loose(new FreeNode("loose"));
    XNode* orphanChild = loose->addChild("x");
    EXPECT_EQ(orphanChild->getDocument(), nullptr);
    EXPECT_EQ(orphanChild->getParent(), loose.get());
}

TEST_F(XNodeTest, AddChildNodeSetsTheDocumentOfThatNodeAlone) {
    Document other;
    SmartPtr<XNode> top(other.createNode("top", nullptr));
    XNode* below = top->addChild("below");
    ASSERT_EQ(below->getDocument(), &other);

    root->addChild(top.get());
    EXPECT_EQ(top->getParent(), root);
    EXPECT_EQ(top->getDocument(), &doc);
    EXPECT_EQ(below->getDocument(), &other);
    EXPECT_EQ(top->getRefCount(), 2);
    EXPECT_EQ(root->getFirstChild(), top.get());
}

TEST_F(XNodeTest, RemoveChildWorksByIdentityAndReleasesTheListReference) {
    XNode* first = watched(root->addChild("x"));
    XNode* second = root->addChild("x");
    SmartPtr<XNode> stranger(doc.createNode("x", root));  // parent link only

    EXPECT_FALSE(root->removeChild(stranger));
    EXPECT_FALSE(second->removeChild(first));
    EXPECT_EQ(root->getChildCount(), 2u);
    EXPECT_EQ(first->getParent(), root);

    // Kept by the caller: survives, detached, still in its document.
    SmartPtr<XNode> keep(second);
    EXPECT_TRUE(root->removeChild(second));
    EXPECT_EQ(second->getParent(), nullptr);
    EXPECT_EQ(second->getDocument(), &doc);
    EXPECT_EQ(second->getRefCount(), 1);
    EXPECT_EQ(root->getChildCount(), 1u);

    // The list held the last reference: the child dies.
    EXPECT_TRUE(root->removeChild(first));
    EXPECT_EQ(disposedNodes(), std::vector<std::string>{"x"});
    EXPECT_EQ(root->getChildCount(), 0u);
    EXPECT_EQ(root->getFirstChild(), nullptr);
}

TEST_F(XNodeTest, RemoveChildrenDetachesEveryChild) {
    SmartPtr<XNode> kept(root->addChild("kept"));
    XNode* grandchild = kept->addChild("grandchild");
    watched(root->addChild("dropped"))->addChild("inner");
    watched(root->addChild("dropped2"));

    root->removeChildren();
    EXPECT_EQ(root->getChildCount(), 0u);
    EXPECT_EQ(disposedNodes(), (std::vector<std::string>{"dropped", "dropped2"}));
    EXPECT_EQ(kept->getParent(), nullptr);
    EXPECT_EQ(kept->getRefCount(), 1);
    EXPECT_EQ(grandchild->getParent(), kept.get());
    root->removeChildren();  // nothing left: no effect
}

TEST_F(XNodeTest, DestroyingAParentLeavesChildrenHeldElsewhereAliveAndOrphaned) {
    SmartPtr<XNode> parent(doc.createNode("parent", nullptr));
    SmartPtr<XNode> held(parent->addChild("held"));
    XNode* heldChild = held->addChild("heldChild");
    watched(parent->addChild("other"))->addChild("otherChild");
    watched(heldChild);

    parent = nullptr;
    EXPECT_EQ(disposedNodes(), std::vector<std::string>{"other"});
    EXPECT_EQ(held->getParent(), nullptr);
    EXPECT_EQ(held->getFirstChild(), heldChild);
    EXPECT_EQ(heldChild->getParent(), held.get());

    held = nullptr;
    EXPECT_EQ(disposedNodes(), (std::vector<std::string>{"other", "heldChild"}));
}

TEST_F(XNodeTest, AMillionLevelChainIsDestroyedWithoutRecursion) {
    const int depth = 1000000;
    SmartPtr<XNode> top(doc.createNode("n", nullptr));
    SmartPtr<XNode> middle;
    XNode* node = top;
    for (int level = 1; level < depth; ++level) {
        node = node->addChild("n");
        if (level == depth / 2) {
            middle = node;
        }
    }
    XNode* bottom = node;
    watched(bottom);

    // The upper half dies; the lower half lives on below `middle`.
    top = nullptr;
    EXPECT_TRUE(disposedNodes().empty());
    EXPECT_EQ(middle->getParent(), nullptr);
    EXPECT_EQ(middle->getChildCount(), 1u);
    EXPECT_EQ(bottom->getParent()->getParent()->getChildCount(), 1u);

    middle = nullptr;
    EXPECT_EQ(disposedNodes(), std::vector<std::string>{"n"});
}

// --- Attributes ---------------------------------------------------------------

TEST_F(XNodeTest, AddAttributeReplacesAnAttributeOfTheSameName) {
    root->addAttribute("a", "1");
    Attribute* replacement = root->addAttribute("a", "2");
    root->addAttribute("A", "upper");
    root->addAttribute(std::string("k\0tail", 6), std::string("v\0tail", 6));

    EXPECT_EQ(root->getAttributeCount(), 3u);
    EXPECT_EQ(root->getAttribute("a"), replacement);
    EXPECT_STREQ(replacement->getValue(), "2");
    EXPECT_STREQ(root->getAttributeChar("A", nullptr), "upper");
    EXPECT_TRUE(root->hasAttribute("k"));
    EXPECT_EQ(root->getAttribute(std::string("k"))->getValueString(), "v");

    std::vector<std::string> names;
    for (const auto& entry : root->getAttributes()) {
        names.push_back(entry.first);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A", "a", "k"}));
}

TEST_F(XNodeTest, SetAttributeCharChangesTheValueInPlace) {
    Attribute* original = root->addAttribute("a", "1");
    root->setAttributeChar("a", "2");
    EXPECT_EQ(root->getAttribute("a"), original);
    EXPECT_STREQ(original->getValue(), "2");

    root->setAttributeChar(std::string("b"), std::string("3"));
    EXPECT_EQ(root->getAttributeCount(), 2u);
    EXPECT_STREQ(root->getAttributeChar(std::string("b"), nullptr), "3");
}

TEST_F(XNodeTest, RenamedAttributeStaysFiledUnderItsFirstName) {
    root->addAttribute("a", "v")->setName("b");
    ASSERT_NE(root->getAttribute("a"), nullptr);
    EXPECT_STREQ(root->getAttribute("a")->getName(), "b");
    EXPECT_EQ(root->getAttribute("b"), nullptr);
    EXPECT_FALSE(root->hasAttribute("b"));
    EXPECT_FALSE(root->removeAttribute("b"));
    EXPECT_TRUE(root->removeAttribute(std::string("a")));
    EXPECT_EQ(root->getAttributeCount(), 0u);
}

TEST_F(XNodeTest, AttributeLookupsFallBackToTheCallersDefault) {
    const std::string fallback = "fallback";
    EXPECT_EQ(root->getAttributeCount(), 0u);
    EXPECT_TRUE(root->getAttributes().empty());
    EXPECT_EQ(root->getAttribute("x"), nullptr);
    EXPECT_FALSE(root->hasAttribute("x"));
    EXPECT_FALSE(root->removeAttribute("x"));
    EXPECT_EQ(root->getAttributeChar("x", nullptr), nullptr);
    EXPECT_STREQ(root->getAttributeChar("x", "d"), "d");
    EXPECT_EQ(root->getAttributeString("x", &fallback), &fallback);
    EXPECT_EQ(root->getAttributeInt("x", 7), 7);
    EXPECT_TRUE(root->getAttributeBool("x", true));
    EXPECT_FLOAT_EQ(root->getAttributeFloat("x", 1.5f), 1.5f);
    EXPECT_DOUBLE_EQ(root->getAttributeDouble("x", 2.5), 2.5);

    root->addAttribute("s", "text");
    EXPECT_EQ(*root->getAttributeString(std::string("s"), &fallback), "text");
    EXPECT_EQ(root->getAttributeString("s", nullptr), &root->getAttribute("s")->getValueString());
    root->removeAttributes();
    EXPECT_EQ(root->getAttributeCount(), 0u);
    EXPECT_EQ(root->getAttributeString("s", nullptr), nullptr);
}

TEST_F(XNodeTest, TypedGettersConvertPresentValuesEvenWhenTheyDoNotParse) {
    root->addAttribute("n", "12");
    root->addAttribute("bad", "abc");
    root->addAttribute("flag", "true");
    root->addAttribute("off", "0");
    root->addAttribute("f", "2.25");

    EXPECT_EQ(root->getAttributeInt("n", 7), 12);
    EXPECT_EQ(root->getAttributeInt(std::string("n"), 7), 12);
    EXPECT_EQ(root->getAttributeInt("bad", 7), text::StringUtil::parseInt("abc"));
    EXPECT_NE(root->getAttributeInt("bad", 7), 7);
    EXPECT_TRUE(root->getAttributeBool("flag", false));
    EXPECT_FALSE(root->getAttributeBool("off", true));
    EXPECT_EQ(root->getAttributeBool("bad", true), text::StringUtil::parseBool("abc"));
    EXPECT_FLOAT_EQ(root->getAttributeFloat("f", 0.0f), 2.25f);
    EXPECT_DOUBLE_EQ(root->getAttributeDouble(std::string("f"), 0.0), 2.25);
    EXPECT_DOUBLE_EQ(root->getAttributeDouble("bad", 9.0), text::StringUtil::parseDouble("abc"));
}

// --- Body and CDATA -------------------------------------------------------------

TEST_F(XNodeTest, BodyAccumulatesWhateverTheFlag) {
    EXPECT_STREQ(root->getBody(), "");
    root->addBody("a", true);
    root->addBody("b", false);
    root->addBody(std::string("c\0d", 3));
    EXPECT_STREQ(root->getBody(), "abc");
    EXPECT_EQ(root->getBodySize(), 3u);
    EXPECT_EQ(root->getBodyString(), "abc");
}

TEST_F(XNodeTest, CDataIsCopiedByByteCount) {
    unsigned size = 99;
    EXPECT_EQ(root->getCData(size), nullptr);
    EXPECT_EQ(size, 0u);

    root->addCData("ab", 2);
    root->addCData("cd", 2);
    root->addCData(nullptr, 5);
    root->addCData("ef", 0);
    const char* data = root->getCData(size);
    EXPECT_EQ(size, 4u);
    EXPECT_STREQ(data, "abcd");

    root->setCData(std::string("x\0y\0", 4).data(), 4);
    data = root->getCData(size);
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(std::string(data, size + 1), std::string("x\0y\0\0", 5));
    root->addCData("\0z", 2);
    data = root->getCData(size);
    EXPECT_EQ(std::string(data, size), std::string("x\0y\0\0z", 6));

    root->setCData("abc", 0);
    EXPECT_EQ(root->getCData(size), nullptr);
    EXPECT_EQ(size, 0u);
    root->setCData("q", 1);
    root->setCData(nullptr, 3);
    EXPECT_EQ(root->getCData(size), nullptr);
    EXPECT_EQ(size, 0u);
}

}  // namespace
}  // namespace xml
}  // namespace kavri
