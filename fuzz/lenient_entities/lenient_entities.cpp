// Feeds the lenient reader documents with an internal subset, in one of
// several encodings: the input is cut into an encoding choice, the subset's
// declarations and the root's content, and put together as
//   <?xml version="1.0" encoding="E"?><!DOCTYPE r [SUBSET]><r>CONTENT</r>
// (for UTF-16, every byte of that is widened to two). The reader must survive
// every input, read it with the scanner as with the tokens alone, and never
// let the entities make the text larger than its limit.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/plinth/Exception.h"
#include "fuzz/FuzzSupport.h"
#include "xml/DOMParser.h"
#include "xml/DOMParserPaths.h"
#include "xml/Document.h"

using kavri::xml::Document;
using kavri::xml::DOMParser;
using kavri::xml::XNode;

namespace {

const char* const ENCODINGS[] = {"UTF-8",     "ISO-8859-1", "windows-1252", "KOI8-R",
                                 "Shift_JIS", "EUC-JP",     "Big5",         "UTF-16"};

std::string document(const std::vector<std::string>& parts) {
    const size_t choice = parts[0].empty() ? 0 : static_cast<unsigned char>(parts[0][0]);
    const std::string encoding = ENCODINGS[choice % (sizeof ENCODINGS / sizeof ENCODINGS[0])];
    const std::string text = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?><!DOCTYPE r [" +
                             parts[1] + "]><r>" + parts[2] + "</r>";
    if (encoding != "UTF-16") {
        return text;
    }
    std::string wide = "\xFF\xFE";
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

// Bytes of names, values, bodies and CDATA in the tree.
size_t textSize(const XNode* root) {
    size_t total = 0;
    std::vector<const XNode*> pending{root};
    while (!pending.empty()) {
        const XNode* node = pending.back();
        pending.pop_back();
        total += node->getBodyString().size() + kavrixml::fuzz::cdataOf(node).size();
        for (const auto& attribute : node->getAttributes()) {
            total += attribute.second->getValueString().size();
        }
        for (const auto& child : node->getChildren()) {
            pending.push_back(child.get());
        }
    }
    return total;
}

std::string outcome(DOMParser& parser, const std::string& input, size_t& size) {
    kavri::stream::MemoryInputStream in(input);
    try {
        std::unique_ptr<Document> doc(parser.parse(&in));
        std::string text;
        doc->getRootNode()->dump(text);
        size = textSize(doc->getRootNode());
        return text;
    } catch (const ::core::Exception& e) {
        FUZZ_CHECK(parser.getLine() >= 1 && parser.getColumn() >= 1, "failure position");
        return std::string("!") + e.getMessage() + " at " + std::to_string(parser.getLine()) + ":" +
               std::to_string(parser.getColumn());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = document(kavrixml::fuzz::split(data, size, 3));
    DOMParser parser;
    parser.setLenient(true);
    size_t expanded = 0;
    const std::string first = outcome(parser, input, expanded);
    // UTF-8 text is at most three times as long as the bytes it came from.
    const size_t limit = std::max<size_t>(10 * 3 * input.size(), size_t(1) << 20);
    FUZZ_CHECK(expanded <= limit, "entities stay within the expansion limit");

    DOMParser tokensOnly;
    tokensOnly.setLenient(true);
    kavri::xml::DOMParserPaths::setScanning(tokensOnly, false);
    size_t ignored = 0;
    FUZZ_CHECK(outcome(tokensOnly, input, ignored) == first,
               "the scanner and the tokens read alike");
    return 0;
}
