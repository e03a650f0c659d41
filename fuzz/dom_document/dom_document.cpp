// Feeds whole documents to the DOM reader. Besides surviving every input
// without a crash, leak or undefined behaviour, the reader must keep its
// promises: a parse returns a document with a root or throws a
// core::Exception, a failure says where it happened, the tree's parent and
// document links are consistent, and a parser used again on the same input
// gives the same answer (no state is left behind by a failed parse).
#include <cstddef>
#include <cstdint>
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

// Every node below the root points to its parent and to the document.
void checkLinks(const Document* doc) {
    std::vector<const XNode*> pending{doc->getRootNode()};
    FUZZ_CHECK(pending.back()->getParent() == nullptr, "the root has no parent");
    while (!pending.empty()) {
        const XNode* node = pending.back();
        pending.pop_back();
        FUZZ_CHECK(node->getDocument() == doc, "node in its document");
        for (const auto& child : node->getChildren()) {
            FUZZ_CHECK(child->getParent() == node, "child points to its parent");
            pending.push_back(child.get());
        }
    }
}

// The tree as text, or "!" and the message of the failure.
std::string outcome(kavri::xml::DOMParser& parser, const std::string& input) {
    kavri::stream::MemoryInputStream in(input);
    try {
        std::unique_ptr<Document> doc(parser.parse(&in));
        FUZZ_CHECK(doc != nullptr && doc->getRootNode() != nullptr, "a document with a root");
        FUZZ_CHECK(parser.getLine() == 0 && parser.getColumn() == 0, "no failure position");
        checkLinks(doc.get());
        std::string text;
        doc->getRootNode()->dump(text);
        return text;
    } catch (const ::core::Exception& e) {
        FUZZ_CHECK(parser.getLine() >= 1 && parser.getColumn() >= 1, "failure position");
        return std::string("!") + e.getMessage();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = kavrixml::fuzz::asText(data, size);
    kavri::xml::DOMParser parser;
    const std::string first = outcome(parser, input);
    FUZZ_CHECK(outcome(parser, input) == first, "a second parse gives the same result");
    return 0;
}
