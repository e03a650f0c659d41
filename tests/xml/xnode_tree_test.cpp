// Walks, searches, removal by name, clones and dumps of XNode subtrees.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/xml/node_tracking.h"
#include "xml/Document.h"
#include "xml/XNode.h"

namespace kavri {
namespace xml {
namespace {

using ::core::SmartPtr;

std::string dumped(const XNode* node) {
    std::string out;
    node->dump(out);
    return out;
}

// root
//   a1 (c1, c2)
//   b
//   a2 (d)
class XNodeTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = doc.createNode("root", nullptr);
        doc.setRootNode(root);
        a1 = root->addChild("a1");
        a1->addChild("c1");
        a1->addChild("c2");
        b = root->addChild("b");
        a2 = root->addChild("a2");
        a2->addChild("d");
    }

    // Logs "name:depth " on enter and "/name " on exit; a node named `stopAt`
    // answers `stopWith` on enter (or on exit).
    XNode::VisitResult walk(XNode* start, int maxDepth = -1, const char* stopAt = "",
                            int stopWith = XNode::VISIT_STOP, bool stopOnExit = false) {
        auto answer = [=](XNode* node, bool onExit) {
            bool stop = onExit == stopOnExit && node->getNameString() == stopAt;
            return static_cast<XNode::VisitResult>(stop ? stopWith : 0);
        };
        XNode::VisitCallback enter([&](XNode* node, int depth, int) {
            log += node->getNameString() + ":" + std::to_string(depth) + " ";
            return answer(node, false);
        });
        XNode::VisitCallback exit([&](XNode* node, int, int) {
            log += "/" + node->getNameString() + " ";
            return answer(node, true);
        });
        return start->visit(&enter, &exit, maxDepth);
    }

    Document doc;
    XNode* root = nullptr;
    XNode* a1 = nullptr;
    XNode* b = nullptr;
    XNode* a2 = nullptr;
    std::string log;
};

// --- visit ---------------------------------------------------------------------

TEST_F(XNodeTreeTest, WalkEntersInPreOrderAndExitsInPostOrder) {
    EXPECT_EQ(walk(root), XNode::VISIT_CONTINUE);
    EXPECT_EQ(log, "root:0 a1:1 c1:2 /c1 c2:2 /c2 /a1 b:1 /b a2:1 d:2 /d /a2 /root ");

    // The public entry starts at depth 0 without limit, from any node.
    std::string entered;
    a1->visit([&](XNode* node, int depth, int maxDepth) {
        entered += node->getNameString() + std::to_string(depth) + std::to_string(maxDepth);
        return XNode::VISIT_CONTINUE;
    });
    EXPECT_EQ(entered, "a10-1c11-1c21-1");
}

TEST_F(XNodeTreeTest, AnyNonZeroAnswerEndsTheWalkAndIsReturned) {
    EXPECT_EQ(walk(root, -1, "b"), XNode::VISIT_STOP);
    EXPECT_EQ(log, "root:0 a1:1 c1:2 /c1 c2:2 /c2 /a1 b:1 ");
    log.clear();
    EXPECT_EQ(walk(root, -1, "a1"), XNode::VISIT_STOP);  // its children skipped too
    EXPECT_EQ(log, "root:0 a1:1 ");
    log.clear();
    EXPECT_EQ(static_cast<int>(walk(root, -1, "c1", 7)), 7);
    EXPECT_EQ(log, "root:0 a1:1 c1:2 ");
    // From an exit callback: the enclosing levels return it without exits.
    log.clear();
    EXPECT_EQ(static_cast<int>(walk(root, -1, "c1", 5, true)), 5);
    EXPECT_EQ(log, "root:0 a1:1 c1:2 /c1 ");
}

TEST_F(XNodeTreeTest, MaxDepthLimitsHowFarTheWalkDescends) {
    walk(root, 0);
    EXPECT_EQ(log, "root:0 /root ");
    log.clear();
    walk(root, 1);
    EXPECT_EQ(log, "root:0 a1:1 /a1 b:1 /b a2:1 /a2 /root ");

    // Children that the enter callback appends are walked.
    std::string entered;
    XNode::VisitCallback enter([&](XNode* node, int, int) {
        entered += node->getNameString() + " ";
        if (node == b) {
            node->addChild("late");
        }
        return XNode::VISIT_CONTINUE;
    });
    EXPECT_EQ(b->visit(&enter, nullptr, -1), XNode::VISIT_CONTINUE);
    EXPECT_EQ(entered, "b late ");
}

// --- Searches --------------------------------------------------------------------

TEST_F(XNodeTreeTest, FindBreadthFirstPrefersTheShallowestLeftmostMatch) {
    EXPECT_EQ(root->findBreadthFirst("root"), root);
    EXPECT_EQ(root->findBreadthFirst("missing"), nullptr);
    EXPECT_EQ(a1->findBreadthFirst("d"), nullptr);

    // "t" at depth 3 below the first child and at depth 2 below the last: a
    // depth-first search would find the deeper one first.
    XNode* deep = a1->getFirstChild("c1")->addChild("t");
    XNode* shallow = a2->addChild("t");
    EXPECT_EQ(root->findBreadthFirst(std::string("t")), shallow);
    EXPECT_EQ(a1->findBreadthFirst("t"), deep);
    XNode* left = a1->addChild("u");
    a2->addChild("u");
    EXPECT_EQ(root->findBreadthFirst("u"), left);
}

TEST_F(XNodeTreeTest, GetNextSiblingStepsToLaterNodesOfTheSameName) {
    XNode* first = b->addChild("a");
    XNode* middle = b->addChild("b");
    XNode* last = b->addChild("a");
    EXPECT_EQ(first->getNextSibling(), last);
    EXPECT_EQ(middle->getNextSibling(), nullptr);
    EXPECT_EQ(last->getNextSibling(), nullptr);
    EXPECT_EQ(root->getNextSibling(), nullptr);

    std::vector<XNode*> items;
    for (XNode* item = b->getFirstChild("a"); item != nullptr; item = item->getNextSibling()) {
        items.push_back(item);
    }
    EXPECT_EQ(items, (std::vector<XNode*>{first, last}));

    // A node whose parent link names a node that does not list it.
    SmartPtr<XNode> unlisted(doc.createNode("a", b));
    EXPECT_EQ(unlisted->getNextSibling(), nullptr);
}

TEST_F(XNodeTreeTest, GetChildByAttributeMatchesNameAttributeAndValueExactly) {
    b->addChild("item");                            // no id
    b->addChild("Item")->addAttribute("id", "7");   // other name
    b->addChild("item")->addAttribute("ID", "7");   // other attribute name
    b->addChild("item")->addAttribute("id", "7 ");  // other value
    XNode* match = b->addChild("item");
    match->addAttribute("id", "7");
    b->addChild("item")->addAttribute("id", "7");  // later match

    EXPECT_EQ(b->getChildByAttribute("item", "id", "7"), match);
    EXPECT_EQ(b->getChildByAttribute("item", "id", "8"), nullptr);
    EXPECT_EQ(b->getChildByAttribute("none", "id", "7"), nullptr);
    EXPECT_EQ(root->getChildByAttribute("item", "id", "7"), nullptr);  // not direct
}

TEST_F(XNodeTreeTest, RemoveChildrenByNameKeepsTheOthersInOrder) {
    SmartPtr<XNode> x1(b->addChild("x"));
    XNode* y = b->addChild("y");
    testing::watched(b->addChild("x"));
    XNode* z = b->addChild("z");
    testing::disposedNodes().clear();

    EXPECT_EQ(b->removeChildren("x"), 2u);
    EXPECT_EQ(b->getChildCount(), 2u);
    EXPECT_EQ(b->getChildren()[0], y);
    EXPECT_EQ(b->getChildren()[1], z);
    EXPECT_EQ(x1->getParent(), nullptr);
    EXPECT_EQ(x1->getRefCount(), 1);
    EXPECT_EQ(testing::disposedNodes(), std::vector<std::string>{"x"});
    EXPECT_EQ(b->removeChildren("x"), 0u);
    EXPECT_EQ(y->removeChildren("x"), 0u);
}

// --- Clones ------------------------------------------------------------------------

TEST_F(XNodeTreeTest, ShallowCloneCopiesTheNodeWithoutChildren) {
    a1->addBody("body");
    a1->addCData(std::string("c\0d", 3).data(), 3);
    a1->addAttribute("k", "v");
    a1->addAttribute("old", "w")->setName("new");

    SmartPtr<XNode> copy(a1->cloneNode(false));
    EXPECT_EQ(copy->getParent(), nullptr);
    EXPECT_EQ(copy->getDocument(), &doc);
    EXPECT_EQ(copy->getChildCount(), 0u);
    EXPECT_EQ(copy->getBodyString(), "body");
    unsigned size = 0;
    const char* data = copy->getCData(size);
    EXPECT_EQ(std::string(data, size), std::string("c\0d", 3));
    // Copied under the name it is filed under, which becomes its name.
    EXPECT_STREQ(copy->getAttributeChar("k", nullptr), "v");
    ASSERT_NE(copy->getAttribute("old"), nullptr);
    EXPECT_STREQ(copy->getAttribute("old")->getName(), "old");
    EXPECT_STREQ(copy->getAttribute("old")->getValue(), "w");

    copy->addAttribute("k", "changed");
    EXPECT_STREQ(a1->getAttributeChar("k", nullptr), "v");
    XNode* loose = b->cloneNode(false);
    EXPECT_EQ(loose->getRefCount(), 0);  // unreferenced: the caller's
    delete loose;
}

TEST_F(XNodeTreeTest, DeepCloneCopiesTheWholeSubtree) {
    a1->getFirstChild("c2")->addAttribute("n", "2");
    a1->getFirstChild("c2")->addBody("text");
    SmartPtr<XNode> copy(root->clone());
    EXPECT_EQ(dumped(copy), dumped(root));
    EXPECT_EQ(copy->getParent(), nullptr);
    EXPECT_EQ(copy->getDocument(), &doc);

    // Every copied child hangs below its copied parent, not the original.
    copy->visit([&](XNode* node, int, int) {
        for (const auto& child : node->getChildren()) {
            EXPECT_EQ(child->getParent(), node);
            EXPECT_EQ(child->getRefCount(), 1);
        }
        EXPECT_NE(root->findBreadthFirst(node->getName()), node);
        return XNode::VISIT_CONTINUE;
    });
}

// --- dump ---------------------------------------------------------------------------

TEST_F(XNodeTreeTest, DumpAppendsTheCompactFormUnescaped) {
    // Attributes in byte order of their filed names; nothing escaped; CDATA
    // bytes by count; the dump appends.
    SmartPtr<XNode> mixed(doc.createNode("m", nullptr));
    mixed->addAttribute("b", "<&>");
    mixed->addAttribute("a", "'");
    mixed->addAttribute("B", "");
    mixed->addAttribute("r", "1")->setName("renamed");
    mixed->addBody("x<y");
    mixed->addCData(std::string("p\0q", 3).data(), 3);
    mixed->addChild("c")->addChild("d")->addBody("e");
    std::string out = "before:";
    mixed->dump(out);
    std::string expected = "before:<m B='' a=''' b='<&>' r='1'>x<y<![CDATA[p";
    expected += '\0';
    expected += "q]]><c><d>e</d></c></m>";
    EXPECT_EQ(out, expected);
}

}  // namespace
}  // namespace xml
}  // namespace kavri
