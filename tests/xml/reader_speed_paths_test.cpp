// The reader's and the writer's fast paths against their slow ones where the
// two meet: the writer's output buffer filling up in the middle of a tag, an
// attribute or an end tag, and the reader's scanner handing a tag over to the
// tokens half-way.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/kavrimain/MemoryOutputStream.h"
#include "xml/XMLWriter.h"
#include "xml_io_support.h"

namespace {

using kavri::xml::Document;
using kavri::xml::XMLWriter;

// A compact document of many elements whose names, attribute values and
// bodies have lengths that run through their cycles at different paces, so
// that the writer's 64 KiB buffer fills up at every byte of a start tag, a
// plain attribute, an escaped attribute, a body and an end tag somewhere.
// It is written in the form the writer gives back: attributes in byte order,
// apostrophes around a value holding a double quote, the reserved bytes as
// references, "/>" for elements without content.
std::string manyTags(size_t bytes) {
    std::string text = "<root>";
    for (size_t i = 0; text.size() < bytes; ++i) {
        const std::string name = "e" + std::string(i % 7, 'n');
        text += "<" + name + " a=\"" + std::string(i % 23, 'v') + "\"";
        if (i % 5 == 0) {
            text += " b='say &quot;" + std::to_string(i) + "&quot;'";
        }
        if (i % 3 == 0) {
            text += " c=\"x &amp; y &lt; " + std::string(i % 11, 'z') + "\"";
        }
        if (i % 4 == 0) {
            text += "/>";
            continue;
        }
        text += ">" + std::string(1 + i % 13, 't') + (i % 6 == 0 ? "&gt;" : "") + "</" + name + ">";
    }
    return text + "</root>";
}

// Where two long texts part, rather than both texts whole.
std::string firstDifference(const std::string& written, const std::string& expected) {
    size_t at = 0;
    while (at < written.size() && at < expected.size() && written[at] == expected[at]) {
        ++at;
    }
    if (at == written.size() && at == expected.size()) {
        return "";
    }
    const size_t from = at < 40 ? 0 : at - 40;
    return "at byte " + std::to_string(at) + ": written ..." + written.substr(from, 80) +
           "... expected ..." + expected.substr(from, 80) + "...";
}

std::string writeCompact(Document* doc) {
    kavri::stream::MemoryOutputStream out;
    XMLWriter writer(false, false, false);
    writer.write(doc, &out);
    return out.str();
}

TEST(WriterBuffer, TagsCutByTheBufferAnywhereComeOutWhole) {
    const std::string text = manyTags(3 * 64 * 1024 + 4096);
    std::unique_ptr<Document> doc(xmlio::parse(text));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(firstDifference(writeCompact(doc.get()), text), "");
    // And after a declaration, which moves every boundary by its length.
    kavri::stream::MemoryOutputStream out;
    XMLWriter writer(true, false, false);
    writer.write(doc.get(), &out);
    EXPECT_EQ(firstDifference(out.str(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + text), "");
}

TEST(WriterBuffer, PiecesLongerThanTheBufferGoStraightThrough) {
    const std::string longName(70 * 1024, 'n');
    const std::string longValue(70 * 1024, 'v');
    const std::string text = "<r><" + longName + " a=\"" + longValue + "\">" +
                             std::string(70 * 1024, 't') + "</" + longName + "></r>";
    std::unique_ptr<Document> doc(xmlio::parse(text));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(firstDifference(writeCompact(doc.get()), text), "");
}

// Every form at which the scanner gives a tag over to the tokens, at the
// start, after the name and after each plain attribute: the tree, the
// message and the place are those of the tokens alone (xmlio::parse checks
// that), whatever the scanner read before.
TEST(ReaderHandOver, TagsTheScannerLeavesHalfWayReadAsByTheTokens) {
    const char* const forms[] = {
        "<r><a x=\"1\" y=\"2\"/>t</r>",
        "<r><a x=\"1\" y = '2' z=\"3\">b</a></r>",
        "<r><a x=\"1\"\ty=\"&amp;\"\n/>t</r>",
        "<r><a x=\"1\" y=\"2\" ></a ></r>",
        "<r><a x=\"1\"<!-- c -->/></r>",
        "<r><a x=\"1\" y=\"2\" z></a></r>",
        "<r><a x=\"1\" y=\"un terminated/></r>",
        "<r><a x=\"1\" y=\"2\"></b></r>",
        "<r><a x=\"1\" y=\"2\"",
        "<r><a x=\"1\" y=\"2\" /",
        "<r><a x=\"1\"y=\"2\"/></r>",
        "<r><a x=\"1\" =\"2\"/></r>",
        "<r>text<a/>more<b x=\"1\"/>end</r>",
        "<r>\n  <a/>\n  <b>\n    <c/>\n  </b>\n</r>",
    };
    for (const char* form : forms) {
        SCOPED_TRACE(form);
        kavri::xml::DOMParser tokensOnly;
        kavri::xml::DOMParserPaths::setScanning(tokensOnly, false);
        kavri::xml::DOMParser parser;
        EXPECT_EQ(xmlio::outcome(parser, form), xmlio::outcome(tokensOnly, form));
    }
}

// Text between tags is found by its one-byte search up to the next "<",
// whether it is empty, blanks, holds a NUL or a reference, or runs to the
// end of the input.
TEST(ReaderText, TextBetweenTagsIsReadUpToTheNextTag) {
    const std::string withNul("<r>a\0b<c/>d</r>", 15);
    const std::string forms[] = {
        "<r><a/><b/></r>", "<r> <a/>  </r>", "<r>x&amp;y<a/>z</r>", withNul, "<r>open",
    };
    for (const std::string& form : forms) {
        SCOPED_TRACE(form);
        kavri::xml::DOMParser tokensOnly;
        kavri::xml::DOMParserPaths::setScanning(tokensOnly, false);
        kavri::xml::DOMParser parser;
        EXPECT_EQ(xmlio::outcome(parser, form), xmlio::outcome(tokensOnly, form));
    }
    std::unique_ptr<Document> doc(xmlio::parse("<r> x <a/>&lt;y<b/></r>"));
    EXPECT_EQ(std::string(doc->getRootNode()->getBody()), " x <y");
}

}  // namespace
