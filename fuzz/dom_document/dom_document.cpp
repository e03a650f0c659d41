// Feeds whole documents to the DOM reader. Besides surviving every input
// without a crash, leak or undefined behaviour, the reader must keep its
// promises: a parse returns a document with a root or throws a
// core::Exception, a failure says where it happened, the tree's parent and
// document links are consistent, the byte-level scanner reads exactly as the
// tokens alone do, a parser used again on the same input gives
// the same answer (no state is left behind by a failed parse), and a nesting
// limit refuses exactly the documents that are too deep.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/plinth/Exception.h"
#include "fuzz/FuzzSupport.h"
#include "xml/DOMParser.h"
#include "xml/DOMParserPaths.h"
#include "xml/Document.h"

using kavri::xml::Document;
using kavri::xml::XNode;

namespace {

const int SHALLOW = 3;

struct Outcome {
    std::string text;   // the tree as text, or "!" and the failure's message
    int depth = 0;      // levels of elements, the root being level 1
    std::string place;  // line:column of a failure
};

// Every node below the root points to its parent and to the document.
// Returns the number of levels.
int checkLinks(const Document* doc) {
    std::vector<std::pair<const XNode*, int>> pending{{doc->getRootNode(), 1}};
    FUZZ_CHECK(doc->getRootNode()->getParent() == nullptr, "the root has no parent");
    int depth = 0;
    while (!pending.empty()) {
        const XNode* node = pending.back().first;
        const int level = pending.back().second;
        pending.pop_back();
        depth = std::max(depth, level);
        FUZZ_CHECK(node->getDocument() == doc, "node in its document");
        for (const auto& child : node->getChildren()) {
            FUZZ_CHECK(child->getParent() == node, "child points to its parent");
            pending.emplace_back(child.get(), level + 1);
        }
    }
    return depth;
}

Outcome outcome(kavri::xml::DOMParser& parser, const std::string& input) {
    kavri::stream::MemoryInputStream in(input);
    Outcome result;
    try {
        std::unique_ptr<Document> doc(parser.parse(&in));
        FUZZ_CHECK(doc != nullptr && doc->getRootNode() != nullptr, "a document with a root");
        FUZZ_CHECK(parser.getLine() == 0 && parser.getColumn() == 0, "no failure position");
        result.depth = checkLinks(doc.get());
        doc->getRootNode()->dump(result.text);
    } catch (const ::core::Exception& e) {
        FUZZ_CHECK(parser.getLine() >= 1 && parser.getColumn() >= 1, "failure position");
        result.text = std::string("!") + e.getMessage();
        result.place = std::to_string(parser.getLine()) + ":" + std::to_string(parser.getColumn());
    }
    return result;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = kavrixml::fuzz::asText(data, size);
    kavri::xml::DOMParser parser;
    const Outcome first = outcome(parser, input);
    FUZZ_CHECK(outcome(parser, input).text == first.text, "a second parse gives the same result");

    // The scanner (the fast path) reads as the tokens alone do: the same
    // tree, or the same fault at the same place.
    kavri::xml::DOMParser tokensOnly;
    kavri::xml::DOMParserPaths::setScanning(tokensOnly, false);
    const Outcome tokens = outcome(tokensOnly, input);
    FUZZ_CHECK(tokens.text == first.text && tokens.place == first.place,
               "the scanner and the tokens read alike");

    // With a limit of a few levels: the same tree when it is shallow enough,
    // otherwise the limit's failure, unless the input fails before the depth
    // is exceeded.
    kavri::xml::DOMParser shallow;
    shallow.setMaxDepth(SHALLOW);
    const std::string limited = outcome(shallow, input).text;
    const std::string tooDeep = "!Maximum nesting depth of 3 exceeded in node ";
    if (first.text[0] != '!' && first.depth <= SHALLOW) {
        FUZZ_CHECK(limited == first.text, "a shallow tree reads under the limit");
    } else if (first.text[0] != '!') {
        FUZZ_CHECK(startsWith(limited, tooDeep), "a deep tree fails at the limit");
    } else {
        FUZZ_CHECK(limited == first.text || startsWith(limited, tooDeep),
                   "a failure stays a failure under the limit");
    }
    return 0;
}
