// Feeds whole documents to the DOM reader in lenient mode. Besides surviving
// every input without a crash, leak or undefined behaviour, the reader must
// keep its promises: a parse returns a document with a root or throws a
// core::Exception that says where, the byte-level scanner reads exactly as
// the tokens alone do, a second parse gives the same answer, and what it
// reads is plain data: written back compactly, the tree reads again (strictly)
// as the same tree.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "fuzz/FuzzSupport.h"
#include "xml/DOMParser.h"
#include "xml/DOMParserPaths.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"

using kavri::xml::Document;
using kavri::xml::DOMParser;

namespace {

struct Outcome {
    std::unique_ptr<Document> doc;
    std::string text;   // the tree as text, or "!" and the failure's message
    std::string place;  // line:column of a failure
};

Outcome outcome(DOMParser& parser, const std::string& input) {
    kavri::stream::MemoryInputStream in(input);
    Outcome result;
    try {
        result.doc.reset(parser.parse(&in));
        FUZZ_CHECK(result.doc != nullptr && result.doc->getRootNode() != nullptr,
                   "a document with a root");
        FUZZ_CHECK(parser.getLine() == 0 && parser.getColumn() == 0, "no failure position");
        result.doc->getRootNode()->dump(result.text);
    } catch (const ::core::Exception& e) {
        FUZZ_CHECK(parser.getLine() >= 1 && parser.getColumn() >= 1, "failure position");
        result.text = std::string("!") + e.getMessage();
        result.place = std::to_string(parser.getLine()) + ":" + std::to_string(parser.getColumn());
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = kavrixml::fuzz::asText(data, size);
    DOMParser parser;
    parser.setLenient(true);
    const Outcome first = outcome(parser, input);
    FUZZ_CHECK(outcome(parser, input).text == first.text, "a second parse gives the same result");

    DOMParser tokensOnly;
    tokensOnly.setLenient(true);
    kavri::xml::DOMParserPaths::setScanning(tokensOnly, false);
    const bool wide = kavri::xml::DOMParserPaths::setWideText(false);
    const Outcome tokens = outcome(tokensOnly, input);
    kavri::xml::DOMParserPaths::setWideText(wide);
    FUZZ_CHECK(tokens.text == first.text && tokens.place == first.place,
               "the scanner and the tokens read alike, texts sixteen bytes at a time too");

    if (first.doc == nullptr) {
        return 0;
    }
    kavri::stream::MemoryOutputStream written;
    kavri::xml::XMLWriter(false, false).write(first.doc.get(), &written);
    DOMParser strict;
    const Outcome again = outcome(strict, written.str());
    FUZZ_CHECK(again.doc != nullptr, "the tree written back reads strictly");
    FUZZ_CHECK(kavrixml::fuzz::firstDifference(first.doc->getRootNode(), again.doc->getRootNode(),
                                               false) == nullptr,
               "the tree written back reads as the same tree");
    return 0;
}
