#include "xml/Document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/xml/node_tracking.h"
#include "xml/XMLException.h"

namespace kavri {
namespace xml {
namespace {

using ::core::SmartPtr;
using testing::disposedNodes;
using testing::watched;

class DocumentTest : public ::testing::Test {
  protected:
    void SetUp() override { disposedNodes().clear(); }
};

TEST_F(DocumentTest, CreateNodeMakesAnUnattachedNodeOfThisDocument) {
    Document doc;
    XNode* parent = doc.createNode("p", nullptr);
    doc.setRootNode(parent);
    SmartPtr<XNode> node(doc.createNode(std::string("a"), parent));
    ASSERT_EQ(node->getRefCount(), 1);  // only ours
    EXPECT_EQ(node->getParent(), parent);
    EXPECT_EQ(node->getDocument(), &doc);
    EXPECT_EQ(parent->getChildCount(), 0u);
    EXPECT_EQ(doc.getRootNode(), parent);
    EXPECT_STREQ(node->getName(), "a");
    // A document is an object of its own type.
    EXPECT_EQ(&doc.getType(), &Document::TYPE);
    EXPECT_EQ(Document::TYPE.getParent(), &kavri::core::Object::TYPE);
    EXPECT_STREQ(Document::TYPE.getName(), "Document");
}

TEST_F(DocumentTest, RootAndDeclarationAreCountedReferences) {
    Document doc;
    XNode* first = watched(doc.createNode("first", nullptr));
    doc.setRootNode(first);
    doc.setRootNode(first);
    EXPECT_EQ(first->getRefCount(), 1);
    EXPECT_TRUE(disposedNodes().empty());

    SmartPtr<XNode> kept(doc.createNode("kept", nullptr));
    doc.setRootNode(kept);
    EXPECT_EQ(disposedNodes(), std::vector<std::string>{"first"});
    EXPECT_EQ(kept->getRefCount(), 2);
    // Setting the root touches neither the node's parent nor its document.
    Document other;
    other.setRootNode(kept);
    EXPECT_EQ(kept->getDocument(), &doc);
    other.setRootNode(nullptr);

    doc.setRootNode(nullptr);
    EXPECT_EQ(doc.getRootNode(), nullptr);
    EXPECT_EQ(kept->getRefCount(), 1);

    XNode* declaration = watched(doc.createNode("xml", nullptr));
    doc.setXmlDeclaration(declaration);
    doc.setXmlDeclaration(declaration);
    EXPECT_EQ(doc.getXmlDeclaration(), declaration);
    doc.setXmlDeclaration(nullptr);
    EXPECT_EQ(disposedNodes(), (std::vector<std::string>{"first", "xml"}));
}

TEST_F(DocumentTest, DestructionReleasesTheRootBeforeTheDeclaration) {
    SmartPtr<XNode> survivor;
    {
        SmartPtr<Document> doc(new Document());
        XNode* root = watched(doc->createNode("root", nullptr));
        doc->setRootNode(root);
        watched(root->addChild("child"));
        survivor = root->addChild("survivor");
        doc->setXmlDeclaration(watched(doc->createNode("xml", nullptr)));
        doc->setDocType("root");
    }
    EXPECT_EQ(disposedNodes(), (std::vector<std::string>{"root", "child", "xml"}));
    EXPECT_EQ(survivor->getParent(), nullptr);
    EXPECT_EQ(survivor->getRefCount(), 1);
}

TEST_F(DocumentTest, StringSettersCopyTheWholeStringAndCharSettersUpToTheNul) {
    Document doc;
    doc.setPublicID(std::string("-//A\0B", 6));
    doc.setDTD("x.dtd\0y");
    EXPECT_EQ(doc.getPublicID(), std::string("-//A\0B", 6));
    EXPECT_EQ(doc.getDTD(), "x.dtd");
}

TEST_F(DocumentTest, ImportNodeRefusesAnAttachedNode) {
    Document source;
    XNode* root = source.createNode("root", nullptr);
    source.setRootNode(root);
    XNode* child = root->addChild("child");
    Document target;
    try {
        target.importNode(child);
        FAIL() << "importNode of an attached node did not throw";
    } catch (const ::core::Exception& e) {
        EXPECT_STREQ(e.getMessage(), "Trying to import an attached XNode");
        EXPECT_NE(dynamic_cast<const XMLException*>(&e), nullptr);
    }
    EXPECT_EQ(child->getDocument(), &source);
    EXPECT_EQ(child->getParent(), root);
    EXPECT_EQ(target.getRootNode(), nullptr);
}

TEST_F(DocumentTest, ImportNodeMovesAWholeDetachedSubtreeIntoTheDocument) {
    Document source;
    SmartPtr<XNode> top(source.createNode("top", nullptr));
    XNode* middle = top->addChild("middle");
    XNode* leaf = middle->addChild("leaf");
    XNode* leaf2 = middle->addChild("leaf2");
    XNode* sibling = top->addChild("sibling");

    Document target;
    XNode* targetRoot = target.createNode("r", nullptr);
    target.setRootNode(targetRoot);
    target.importNode(top);
    for (XNode* node : {top.get(), middle, leaf, leaf2, sibling}) {
        EXPECT_EQ(node->getDocument(), &target) << node->getName();
    }
    EXPECT_EQ(target.getRootNode(), targetRoot);
    EXPECT_EQ(targetRoot->getChildCount(), 0u);
    EXPECT_EQ(top->getParent(), nullptr);
    EXPECT_EQ(top->getRefCount(), 1);

    // The test is on the parent link only: another document's root passes.
    source.setRootNode(top);
    Document third;
    third.importNode(top);
    EXPECT_EQ(leaf->getDocument(), &third);
    EXPECT_EQ(source.getRootNode(), top.get());
}

}  // namespace
}  // namespace xml
}  // namespace kavri
