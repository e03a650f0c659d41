// Reads a document, writes it back and reads the output again. Whatever the
// first read accepts, the compact output must read back to the same tree
// (names, attributes, bodies, CDATA, children), and writing that tree again
// must give the same bytes. The tidy output must read back too, to the same
// tree once the layout around bodies is trimmed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "fuzz/FuzzSupport.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"

using kavri::xml::Document;

namespace {

std::string write(Document* doc, bool tidy) {
    kavri::xml::XMLWriter writer(true, tidy, false);
    kavri::stream::MemoryOutputStream out;
    writer.write(doc, &out);
    return out.str();
}

// The reread of writer output must not fail: a failure here is a finding.
std::unique_ptr<Document> reread(const std::string& text, bool trimBodies) {
    kavri::stream::MemoryInputStream in(text);
    kavri::xml::DOMParser parser;
    parser.setTrimBodies(trimBodies);
    try {
        return std::unique_ptr<Document>(parser.parse(&in));
    } catch (const ::core::Exception& e) {
        std::fprintf(stderr, "writer output refused: %s\n", e.getMessage());
        FUZZ_CHECK(false, "the writer's output reads back");
    }
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kavri::stream::MemoryInputStream in(kavrixml::fuzz::asText(data, size));
    kavri::xml::DOMParser parser;
    std::unique_ptr<Document> first;
    try {
        first.reset(parser.parse(&in));
    } catch (const ::core::Exception&) {
        return 0;  // refused input: the other targets look after failures
    }

    const std::string compact = write(first.get(), false);
    std::unique_ptr<Document> second = reread(compact, false);
    FUZZ_CHECK(kavrixml::fuzz::firstDifference(first->getRootNode(), second->getRootNode(),
                                               false) == nullptr,
               "the compact output reads back to the same tree");
    FUZZ_CHECK(write(second.get(), false) == compact, "writing again gives the same bytes");

    std::unique_ptr<Document> tidy = reread(write(first.get(), true), true);
    FUZZ_CHECK(
        kavrixml::fuzz::firstDifference(first->getRootNode(), tidy->getRootNode(), true) == nullptr,
        "the tidy output reads back to the same trimmed tree");
    return 0;
}
