// Hostile input for the reader: shapes and sizes that no real document has.
// Each case ends in a clean result or a core::Exception with its message;
// the sanitizer build checks on the way that nothing leaks, overflows the
// stack or is read out of bounds. Where a tree reads, the writer must give
// it back.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/plinth/Exception.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml_io_support.h"

namespace {

using kavri::stream::MemoryInputStream;
using kavri::xml::Document;
using kavri::xml::DOMParser;
using kavri::xml::XNode;
using xmlio::compact;

const int MILLION = 1000000;

std::string repeat(const std::string& piece, int count) {
    std::string text;
    text.reserve(piece.size() * static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

// The message of the failure, or "parsed" when the input reads.
std::string failureOf(DOMParser& parser, const std::string& text, const char* fragment = nullptr) {
    MemoryInputStream in(text);
    try {
        std::unique_ptr<Document> doc(fragment != nullptr ? parser.parse(&in, fragment)
                                                          : parser.parse(&in));
        return "parsed";
    } catch (const core::Exception& e) {
        return e.getMessage();
    }
}

std::string cdataOf(const XNode* node) {
    unsigned size = 0;
    const char* data = node->getCData(size);
    return std::string(data != nullptr ? data : "", size);
}

// --- Depth --------------------------------------------------------------------------------------

TEST(HostileNesting, AMillionLevelsStopAtTheDefaultLimit) {
    const std::string open = repeat("<a>", MILLION);
    DOMParser parser;
    EXPECT_EQ(failureOf(parser, open), "Maximum nesting depth of 1000 exceeded in node a");
    // The name of the 1001st element, after 1000 "<a>".
    EXPECT_EQ(parser.getLine(), 1u);
    EXPECT_EQ(parser.getColumn(), 3002u);

    EXPECT_EQ(failureOf(parser, open + repeat("</a>", MILLION)),
              "Maximum nesting depth of 1000 exceeded in node a");
    // In a fragment the named element is level 1.
    EXPECT_EQ(failureOf(parser, open, "fragment"),
              "Maximum nesting depth of 1000 exceeded in node a");
    EXPECT_EQ(parser.getColumn(), 2999u);
}

TEST(HostileNesting, WithoutALimitDeepTreesReadAndGoOnASmallStack) {
    const int levels = 200000;
    const std::string text = repeat("<a>", levels) + "x" + repeat("</a>", levels);
    // Reading and releasing the tree must not recurse per level: 256 KiB of
    // stack hold a few hundred frames at most.
    std::string error = xmlio::runOnStack(256 * 1024, [&text, levels] {
        DOMParser parser;
        parser.setMaxDepth(0);
        MemoryInputStream in(text);
        std::unique_ptr<Document> doc(parser.parse(&in));
        int depth = 1;
        const XNode* node = doc->getRootNode();
        for (; node->getChildCount() == 1; node = node->getFirstChild()) {
            ++depth;
        }
        EXPECT_EQ(depth, levels);
        EXPECT_STREQ(node->getBody(), "x");
    });
    EXPECT_EQ(error, "");
}

// --- Size -------------------------------------------------------------------------------------

TEST(HostileSize, AHundredMebibyteAttributeValueIsReadWholeOrRefusedWhenUnterminated) {
    const size_t size = size_t(100) << 20;
    std::string text = "<a v=\"&amp;";
    text.append(size, 'x');
    text += "&lt;\"/>";
    DOMParser parser;
    {
        MemoryInputStream in(std::move(text));
        std::unique_ptr<Document> doc(parser.parse(&in));
        const std::string& value = doc->getRootNode()->getAttribute("v")->getValueString();
        ASSERT_EQ(value.size(), size + 2);
        EXPECT_EQ(value.front(), '&');
        EXPECT_EQ(value.find_first_not_of('x', 1), size + 1);
        EXPECT_EQ(value.back(), '<');
    }
    std::string unterminated = "<a v=\"";
    unterminated.append(size, 'x');
    // The message shows the first 40 bytes of what was found.
    EXPECT_EQ(failureOf(parser, unterminated),
              "Unexpected token '\"" + std::string(39, 'x') + "...' (expected quoted string)");
}

TEST(HostileSize, AHundredThousandAttributesOnOneElement) {
    const int count = 100000;
    std::string distinct = "<a";
    std::string same = "<a";
    for (int i = 0; i < count; ++i) {
        distinct += " n" + std::to_string(i) + "='" + std::to_string(i) + "'";
        same += " n='" + std::to_string(i) + "'";
    }
    distinct += "/>";
    same += "/>";

    std::unique_ptr<Document> doc = xmlio::parse(distinct);
    XNode* root = doc->getRootNode();
    EXPECT_EQ(root->getAttributeCount(), static_cast<unsigned>(count));
    EXPECT_STREQ(root->getAttributeChar("n0", ""), "0");
    EXPECT_STREQ(root->getAttributeChar("n99999", ""), "99999");
    // Written back in byte order of the names, and read again whole.
    std::unique_ptr<Document> again = xmlio::parse(compact(doc.get()));
    EXPECT_EQ(again->getRootNode()->getAttributeCount(), static_cast<unsigned>(count));

    // One name given 100,000 times: the last value wins.
    doc = xmlio::parse(same);
    EXPECT_EQ(doc->getRootNode()->getAttributeCount(), 1u);
    EXPECT_STREQ(doc->getRootNode()->getAttributeChar("n", ""), "99999");
}

TEST(HostileSize, AMillionSiblingsReadAndWriteBackByteForByte) {
    const std::string text = "<r>" + repeat("<c/>", MILLION) + "</r>";
    std::unique_ptr<Document> doc = xmlio::parse(text);
    EXPECT_EQ(doc->getRootNode()->getChildCount(), static_cast<unsigned>(MILLION));
    EXPECT_TRUE(compact(doc.get()) == text);
}

// --- Bytes ---------------------------------------------------------------------------------------

TEST(HostileBytes, InvalidUtf8PassesThroughNamesValuesTextAndCData) {
    // Overlong forms, a lone continuation byte, a surrogate, bytes never used.
    const std::string text =
        "<\xFF\xFE x=\"\xC3\x28\">\x80\xC0\xAF<![CDATA[\xED\xA0\x80\xF8]]></\xFF\xFE>";
    std::unique_ptr<Document> doc = xmlio::parse(text);
    XNode* root = doc->getRootNode();
    EXPECT_STREQ(root->getName(), "\xFF\xFE");
    EXPECT_STREQ(root->getAttributeChar("x", ""), "\xC3\x28");
    EXPECT_STREQ(root->getBody(), "\x80\xC0\xAF");
    EXPECT_EQ(cdataOf(root), "\xED\xA0\x80\xF8");
    EXPECT_EQ(compact(doc.get()), text);
}

// Faults at NUL bytes, and constructs left open at the end of the input, are
// rows of reader_test's table, with their places.
TEST(HostileBytes, NulBytesEndTextButStayInCData) {
    using namespace std::string_literals;
    std::unique_ptr<Document> doc = xmlio::parse("<a>x\0y<![CDATA[c\0d]]>&#0;</a>"s);
    XNode* root = doc->getRootNode();
    EXPECT_EQ(root->getBodyString(), "x&#0;");
    EXPECT_EQ(cdataOf(root), "c\0d"s);
    EXPECT_EQ(compact(doc.get()), "<a>x&amp;#0;<![CDATA[c\0d]]></a>"s);
}

// As a document they hold nothing (reader_test); as a fragment they are an
// empty element, or one with a blank body.
TEST(HostileBytes, EmptyAndBlankStreamsAreEmptyFragments) {
    DOMParser parser;
    MemoryInputStream empty("");
    std::unique_ptr<Document> doc(parser.parse(&empty, "f"));
    EXPECT_EQ(doc->getRootNode()->getChildCount(), 0u);
    EXPECT_STREQ(doc->getRootNode()->getBody(), "");
    MemoryInputStream blank(" \t\r\n ");
    doc.reset(parser.parse(&blank, "f"));
    EXPECT_STREQ(doc->getRootNode()->getBody(), " \t\r\n ");
}

}  // namespace
