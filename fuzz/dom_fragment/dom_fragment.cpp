// Feeds fragments (content without declaration or enclosing element) to the
// DOM reader, strict and lenient, in both forms: into a new element named by
// the caller, and into an element of the caller's own document that already
// has a child.
// The caller's element must survive a failure with its earlier child first in
// place and every node it keeps pointing back to the caller's document; on
// success it is the new document's root.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/plinth/Exception.h"
#include "fuzz/FuzzSupport.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"

using kavri::xml::Document;
using kavri::xml::XNode;

namespace {

// Every node of the subtree points to its parent and to `doc`.
void checkSubtree(const XNode* top, const Document* doc) {
    std::vector<const XNode*> pending{top};
    while (!pending.empty()) {
        const XNode* node = pending.back();
        pending.pop_back();
        FUZZ_CHECK(node->getDocument() == doc, "node in the expected document");
        for (const auto& child : node->getChildren()) {
            FUZZ_CHECK(child->getParent() == node, "child points to its parent");
            pending.push_back(child.get());
        }
    }
}

void parseNamed(const std::string& input, bool lenient) {
    kavri::stream::MemoryInputStream in(input);
    kavri::xml::DOMParser parser;
    parser.setLenient(lenient);
    try {
        std::unique_ptr<Document> doc(parser.parse(&in, "fragment"));
        FUZZ_CHECK(doc != nullptr, "a document");
        XNode* root = doc->getRootNode();
        FUZZ_CHECK(root != nullptr && std::strcmp(root->getName(), "fragment") == 0,
                   "the named element is the root");
        checkSubtree(root, doc.get());
    } catch (const ::core::Exception&) {
        FUZZ_CHECK(parser.getLine() >= 1, "failure position");
    }
}

void parseIntoNode(const std::string& input, bool lenient) {
    std::unique_ptr<Document> owner(new Document());
    XNode* node = owner->createNode("holder", nullptr);
    owner->setRootNode(node);
    XNode* kept = node->addChild("kept");
    kept->addAttribute("id", "1");
    kavri::stream::MemoryInputStream in(input);
    kavri::xml::DOMParser parser;
    parser.setLenient(lenient);
    try {
        std::unique_ptr<Document> doc(parser.parse(&in, node));
        FUZZ_CHECK(doc != nullptr && doc->getRootNode() == node, "the node is the root");
        FUZZ_CHECK(node->getChildCount() >= 1 && node->getChildren()[0].get() == kept,
                   "the earlier child stays first");
        // The node itself and the new children belong to the new document;
        // the earlier child keeps its own.
        FUZZ_CHECK(node->getDocument() == doc.get(), "the node moved to the new document");
        FUZZ_CHECK(kept->getDocument() == owner.get(), "the earlier child stays");
        for (unsigned i = 1; i < node->getChildCount(); ++i) {
            checkSubtree(node->getChildren()[i].get(), doc.get());
        }
    } catch (const ::core::Exception&) {
        FUZZ_CHECK(node->getChildCount() >= 1 && node->getChildren()[0].get() == kept,
                   "the earlier child survives a failure");
        checkSubtree(node, owner.get());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = kavrixml::fuzz::asText(data, size);
    for (bool lenient : {false, true}) {
        parseNamed(input, lenient);
        parseIntoNode(input, lenient);
    }
    return 0;
}
