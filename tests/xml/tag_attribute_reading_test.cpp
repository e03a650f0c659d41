// Tags and attributes as the reader files them: plain ones and every
// neighbour of them that the token path handles (comments between
// attributes, brackets, blanks inside tags, NUL bytes, wrong end tags,
// cut-off input, the depth limit), with the fault and its place where the
// input is refused. Expected texts are the element's dump. Every case is
// read with the scanner and with the tokens alone: the two paths agree.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/plinth/Exception.h"
#include "xml/DOMParser.h"
#include "xml/DOMParserPaths.h"
#include "xml/Document.h"

namespace {

struct AttributeCase {
    std::string input;
    const char* expected;
};

std::string readOrFault(const std::string& text, bool scanning) {
    kavri::xml::DOMParser parser;
    kavri::xml::DOMParserPaths::setScanning(parser, scanning);
    parser.setMaxDepth(3);
    kavri::stream::MemoryInputStream in(text);
    std::string out;
    try {
        std::unique_ptr<kavri::xml::Document> doc(parser.parse(&in));
        doc->getRootNode()->dump(out);
    } catch (const ::core::Exception& e) {
        out = std::string("error ") + e.getMessage() + " at " + std::to_string(parser.getLine()) +
              ":" + std::to_string(parser.getColumn());
    }
    return out;
}

const AttributeCase kCases[] = {
    {"<a x = '1'  y=\"2&amp;3\" z='say \"hi\"'/>", "<a x='1' y='2&3' z='say \"hi\"'/>"},
    {"<a x='1' <!-- c --> y='2'/>", "<a x='1' y='2'/>"},
    {"<a x=<!--c-->'1'/>", "<a x='1'/>"},
    {"<a x[1]='1'/>", "<a x[1]='1'/>"},
    {"<a x]]y='1'/>", "error Unexpected token ']]' (expected '=') at 1:5"},
    {"<a x='1'y='2'/>", "<a x='1' y='2'/>"},
    {"<a x='1' x='2'/>", "<a x='2'/>"},
    {std::string("<a x='a\0b'/>", 12),
     "error Unexpected token ''a' (expected quoted string) at 1:6"},
    {"<a x='unterminated/>",
     "error Unexpected token ''unterminated/>' (expected quoted string) at 1:6"},
    {"<a x= />", "error Unexpected token '/' (expected quoted string) at 1:7"},
    {"<a \xc3\xa9t\xc3\xa9='\xc3\xa9'/>", "<a \xc3\xa9t\xc3\xa9='\xc3\xa9'/>"},
    {"<a x='1'\n  y='2' z/>", "error Unexpected token '/' (expected '=') at 2:10"},
    {"<a x='1' ='2'/>", "error Invalid token (=)  at 1:10"},
    {"<a x\t=\n'1'/>", "<a x='1'/>"},
    {"<a x='&lt;&#65;&unknown;'>t</a>", "<a x='<A&unknown;'>t</a>"},
    {"<a x='1' y='2'>\n<b c='3' d='4'/><b c='5' />\n</a>",
     "<a x='1' y='2'>\n\n<b c='3' d='4'/><b c='5'/></a>"},
    {"<a x='1' y='2'", "error Invalid token (end of input)  at 1:15"},
    {"<a x='1' y=", "error Unexpected end of input (expected quoted string) at 1:12"},
    {"<a x='1' y", "error Unexpected end of input (expected '=') at 1:11"},
    {"<a x='1' ?>", "error Invalid token (?)  at 1:10"},
    {"<?xml version='1.0' encoding='UTF-8'?><a v='x'/>", "<a v='x'/>"},
    {"<?xml version='1.1'?><a/>", "error Only XML 1.0 supported at 1:15"},
    {"<a x='1' 'y'='2'/>", "error Invalid token (<!string!>)  at 1:10"},
    {"<a x='1' y='2'/ >", "<a x='1' y='2'/>"},
    {"<a x='1' y='2'></b>", "error Unclosed node a at 1:18"},
    {"<a>< b>t</b></a>", "<a><b>t</b></a>"},
    {"<a><b>t</ b></a>", "<a><b>t</b></a>"},
    {"<a><b>t</b ></a>", "<a><b>t</b></a>"},
    {"<a><b></c></a>", "error Unclosed node b at 1:9"},
    {"<a><b/ ></a>", "<a><b/></a>"},
    {"<a/b>", "error Unexpected token 'b' (expected '>') at 1:4"},
    {"<a><!-- c --><b/><!-- d --></a>", "<a><b/></a>"},
    {"<a><b x='1'/><c></c>tail</a>", "<a>tail<b x='1'/><c/></a>"},
    {"<a><b", "error Invalid token (end of input)  at 1:6"},
    {"<a><b x='1'", "error Invalid token (end of input)  at 1:12"},
    {"<a><b></b", "error Unexpected end of input (expected '>') at 1:10"},
    {"<a><b>t</b>", "error Unexpected end of input (expected '<') at 1:12"},
    {"<a>\n  <b>\n    <c>x</c>\n  </b>\n</a>", "<a>\n  \n<b>\n    \n  <c>x</c></b></a>"},
    {"<a><b><![CDATA[x]]></b></a>", "<a><b><![CDATA[x]]></b></a>"},
    {"<a><b>1</b><b>2</b></a>trailing", "<a><b>1</b><b>2</b></a>"},
    {"<a><b>t</bb></a>", "error Unclosed node b at 1:10"},
    {"<a><bb>t</b></a>", "error Unclosed node bb at 1:11"},
    {"<a><b><c/></b></a>", "<a><b><c/></b></a>"},
    {"<a><b><c><d/></c></b></a>", "error Maximum nesting depth of 3 exceeded in node d at 1:11"},
    {"<a><b><c>< d/></c></b></a>", "error Maximum nesting depth of 3 exceeded in node d at 1:12"},
};

TEST(TagAndAttributeReading, EveryCaseGivesItsElementOrItsFault) {
    for (const AttributeCase& c : kCases) {
        EXPECT_EQ(readOrFault(c.input, true), c.expected) << c.input;
        EXPECT_EQ(readOrFault(c.input, false), c.expected) << "tokens alone: " << c.input;
    }
}

// Values longer than any buffer the reader keeps, and many attributes on one
// element, come back whole and in name order.
TEST(TagAndAttributeReading, LongValuesAndManyAttributesComeBackWhole) {
    std::string value(100000, 'v');
    value[50000] = '&';
    std::string text = "<a";
    for (int i = 0; i < 300; ++i) {
        text += " k" + std::to_string(1000 + i) + "='" + std::to_string(i) + "'";
    }
    text += " long=\"" + std::string(value).replace(50000, 1, "&amp;") + "\"/>";
    kavri::xml::DOMParser parser;
    kavri::stream::MemoryInputStream in(text);
    std::unique_ptr<kavri::xml::Document> doc(parser.parse(&in));
    const kavri::xml::XNode* root = doc->getRootNode();
    ASSERT_EQ(root->getAttributeCount(), 301u);
    EXPECT_EQ(root->getAttributeString("long", nullptr)->size(), value.size());
    EXPECT_EQ(*root->getAttributeString("long", nullptr), value);
    EXPECT_STREQ(root->getAttributeChar("k1299", ""), "299");
    EXPECT_STREQ(root->getAttributes().begin()->first, "k1000");
}

}  // namespace
