// DOMParser: what it accepts, every failure with its message and position,
// tags and attributes with every neighbour the token path handles (comments
// between attributes, brackets, blanks inside tags, NUL bytes, wrong end
// tags, cut-off input, the depth limit), fragments, the nesting limit and
// truncated input (threads: thread_stress_test). Every case is read with the
// scanner and with the tokens alone: the two paths agree.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/kavrimain/LexerException.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "xml/XMLException.h"
#include "xml/XMLUtils.h"
#include "xml/XMLWriter.h"
#include "xml_io_support.h"

namespace {

using kavri::stream::MemoryInputStream;
using kavri::xml::Document;
using kavri::xml::DOMParser;
using kavri::xml::XMLException;
using kavri::xml::XNode;
using xmlio::parse;
using xmlio::readSample;

std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += "<n>";
    }
    for (int i = 0; i < depth; ++i) {
        text += "</n>";
    }
    return text;
}

// --- Accepted input ---------------------------------------------------------------

TEST(DOMParserAccepts, DeclarationAndDocTypeAreKeptOnTheDocument) {
    auto doc = parse("<a/>");
    EXPECT_EQ(doc->getXmlDeclaration(), nullptr);
    EXPECT_STREQ(doc->getDocType(), "");
    EXPECT_EQ(doc->getRootNode()->getDocument(), doc.get());

    doc = parse("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\n<a/>");
    EXPECT_STREQ(doc->getXmlDeclaration()->getName(), "xml");
    EXPECT_STREQ(doc->getXmlDeclaration()->getAttributeChar("standalone", ""), "yes");
    EXPECT_NE(parse("<?xml version='1.0'?><a/>")->getXmlDeclaration(), nullptr);

    doc = parse("<!DOCTYPE a PUBLIC 'p'><a/>");
    EXPECT_STREQ(doc->getDocType(), "a");
    EXPECT_EQ(doc->getPublicID(), "p");
    EXPECT_EQ(doc->getDTD(), "");
    doc = parse("<?xml version='1.0'?><!-- c --><!DOCTYPE a PUBLIC \"-//X//Y\" 'a.dtd'><a/>");
    EXPECT_EQ(doc->getPublicID(), "-//X//Y");
    EXPECT_EQ(doc->getDTD(), "a.dtd");
}

TEST(DOMParserAccepts, TrimmingDropsWhiteSpaceAroundEachBody) {
    DOMParser parser;
    parser.setTrimBodies(true);
    // In <d> the text comes in runs between children: only the ends of the
    // whole body go, decoded blanks included.
    MemoryInputStream in(
        "<a>\n\t<b>\n\t\thi there\n\t</b>\n\t<c> </c>\n"
        "<d> \n<e/>&#32;x <e/> \t<e/>y&#32;<e/> </d></a>");
    std::unique_ptr<Document> doc(parser.parse(&in));
    XNode* a = doc->getRootNode();
    EXPECT_EQ(a->getBodyString(), "");
    EXPECT_EQ(a->getFirstChild("b")->getBodyString(), "hi there");
    EXPECT_EQ(a->getFirstChild("c")->getBodyString(), "");
    EXPECT_EQ(a->getFirstChild("d")->getBodyString(), "x  \ty");

    // Copies take the options (and a lexer of their own).
    DOMParser copied(parser), assigned;
    assigned.setMaxDepth(1);
    assigned = copied;
    for (DOMParser* other : {&copied, &assigned}) {
        MemoryInputStream again("<a><b> x </b></a>");
        std::unique_ptr<Document> read(other->parse(&again));
        EXPECT_EQ(read->getRootNode()->getFirstChild("b")->getBodyString(), "x");
    }
}

// --- Failures ----------------------------------------------------------------------

struct Failure {
    std::string input;
    const char* message;
    unsigned line;
    unsigned column;
    bool xmlException;  // otherwise the base parser's LexerException
};

// Test names show where each case fails, not the bytes of the struct.
void PrintTo(const Failure& failure, std::ostream* out) {
    *out << failure.line << ":" << failure.column;
}

class DOMParserFails : public ::testing::TestWithParam<Failure> {};

// With the scanner and with the tokens alone: the same fault at the same place.
TEST_P(DOMParserFails, WithItsMessageAtTheOffendingToken) {
    const Failure& failure = GetParam();
    for (bool scanning : {true, false}) {
        DOMParser parser;
        kavri::xml::DOMParserPaths::setScanning(parser, scanning);
        MemoryInputStream in(failure.input);
        try {
            delete parser.parse(&in);
            ADD_FAILURE() << "parsed: " << failure.input;
        } catch (const kavri::parser::LexerException& e) {
            EXPECT_STREQ(e.getMessage(), failure.message) << "scanning " << scanning;
            EXPECT_EQ(dynamic_cast<const XMLException*>(&e) != nullptr, failure.xmlException);
        }
        EXPECT_EQ(parser.getLine(), failure.line) << "scanning " << scanning;
        EXPECT_EQ(parser.getColumn(), failure.column) << "scanning " << scanning;
    }
}

// Faults inside a start tag's attributes are in tag_attribute_reading_test.
INSTANTIATE_TEST_SUITE_P(
    EveryCase, DOMParserFails,
    ::testing::Values(
        Failure{"<?xsl version='1.0'?><a/>", "Invalid start declaration", 1, 3, true},
        Failure{"<?xml encoding='UTF-8'?><a/>", "No version attribute in XML declaration!", 1, 1,
                true},
        Failure{"\n  <?xml version=\"1.1\"?><a/>", "Only XML 1.0 supported", 2, 17, true},
        Failure{"<?xml version='1.0' encoding='ISO-8859-1'?><a/>", "Only UTF-8 encoding supported",
                1, 30, true},
        Failure{"<!ELEMENT a><a/>", "Invalid declaration. Expecting DOCTYPE, found ELEMENT", 1, 3,
                true},
        Failure{"<!DOCTYPE a SYSTEM 'x'><a/>",
                "Invalid DOCTYPE declaration. Expecting PUBLIC keyword, found SYSTEM", 1, 13, true},
        Failure{"<!DOCTYPE a PUBLIC 'p'>\n<b/>",
                "Root node do not match DOCTYPE declaration. It must be <a>, not <b>", 2, 2, true},
        Failure{"<!DOCTYPE a PUBLIC>", "Unexpected token '>' (expected quoted string)", 1, 19,
                false},
        Failure{"<!DOCTYPE a PUBLIC 'p' [<!ENTITY e 'x'>]><a/>",
                "Unexpected token '[' (expected '>')", 1, 24, false},
        Failure{"<a></b>", "Unclosed node a", 1, 6, true},
        Failure{"<a>\n  <b>\n</a>", "Unclosed node b", 3, 3, true},
        Failure{"<a", "Invalid token (end of input) ", 1, 3, true},
        Failure{"<a><!-- c -->text</a>", "Unexpected token found while parsing node a", 1, 14,
                true},
        Failure{"<a>", "Unexpected end of input (expected '<')", 1, 4, false},
        Failure{"<a><b>", "Unexpected end of input (expected '<')", 1, 7, false},
        Failure{"<a><![CDATA[x", "Unexpected end of input (expected ']]')", 1, 14, false},
        Failure{"<a></a x>", "Unexpected token 'x' (expected '>')", 1, 8, false},
        Failure{"", "Unexpected end of input (expected '<')", 1, 1, false},
        Failure{"text", "Unexpected token 'text' (expected '<')", 1, 1, false},
        // The reader skips no byte-order mark.
        Failure{"\xEF\xBB\xBF<a/>", "Unexpected token '\xEF\xBB\xBF' (expected '<')", 1, 1, false},
        Failure{"<?xml version='1.0'?>", "Unexpected end of input (expected '<')", 1, 22, false},
        // A thousand levels read (the deepest tree test below); the name of the
        // 1001st element is refused.
        Failure{nested(1001), "Maximum nesting depth of 1000 exceeded in node n", 1, 3002, true}));

// --- Tags and attributes ---------------------------------------------------------

using namespace std::string_literals;

struct AttributeCase {
    std::string input;
    std::string expected;
};

std::string readOrFault(const std::string& text, bool scanning) {
    DOMParser parser;
    kavri::xml::DOMParserPaths::setScanning(parser, scanning);
    parser.setMaxDepth(3);
    MemoryInputStream in(text);
    std::string out;
    try {
        std::unique_ptr<Document> doc(parser.parse(&in));
        doc->getRootNode()->dump(out);
    } catch (const ::core::Exception& e) {
        out = std::string("error ") + e.getMessage() + " at " + std::to_string(parser.getLine()) +
              ":" + std::to_string(parser.getColumn());
    }
    return out;
}

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

const AttributeCase kCases[] = {
    // Accepted input: attributes in name order, body, CDATA, children.
    {"<a/>", "<a/>"},
    {"<a x='1' y=\"2\" e='&lt;&amp;&#233;&#x41;' v='<b>/=' x='3'/>",
     "<a e='<&\xC3\xA9"
     "A' v='<b>/=' x='3' y='2'/>"},
    {"<a>x<b/>y &amp; z</a>", "<a>xy & z<b/></a>"},
    // More references than a text's first search notes.
    {"<a>" + repeated("&amp;&#65;", 40) + " &bad; & z</a>",
     "<a>" + repeated("&A", 40) + " &bad; & z</a>"},
    {"<a>\n\t<b>hi</b>\n</a>", "<a>\n\t\n<b>hi</b></a>"},
    {"<a><![CDATA[<raw> & ]]><![CDATA[<!-- kept -->]]></a>",
     "<a><![CDATA[<raw> & <!-- kept -->]]></a>"},
    {"<a><!x>t<![CDATA[c]]></a>", "<a><![CDATA[c]]></a>"},
    {"<!-- a -->\n<a><!-- b --><b/><!-- c --></a>\n<<< garbage &&&", "<a><b/></a>"},
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
    // Constructs left open at the end of the input.
    {"<a><!-- never closed", "error Unexpected end of input (expected '<') at 1:21"},
    {"<!-- only an open comment", "error Unexpected end of input (expected '<') at 1:26"},
    {"<a><![CDATA[never closed", "error Unexpected end of input (expected ']]') at 1:25"},
    {"<a><![CDATA[x]]", "error Unexpected end of input (expected ']]') at 1:16"},
    {"<a b='never closed",
     "error Unexpected token ''never closed' (expected quoted string) at 1:6"},
    {"<a b=\"never closed",
     "error Unexpected token '\"never closed' (expected quoted string) at 1:6"},
    {"<!DOCTYPE a PUBLIC 'never closed",
     "error Unexpected token ''never closed' (expected quoted string) at 1:20"},
    {"<a b", "error Unexpected end of input (expected '=') at 1:5"},
    {"<a b=", "error Unexpected end of input (expected quoted string) at 1:6"},
    {"<a/", "error Unexpected end of input (expected '>') at 1:4"},
    {"<a>text", "error Unexpected end of input (expected '<') at 1:8"},
    {"<a></", "error Unexpected end of input (expected identifier) at 1:6"},
    {"<a></a", "error Unexpected end of input (expected '>') at 1:7"},
    {"<?xml version='1.0'", "error Unexpected end of input (expected '?') at 1:20"},
    {" \t\r\n ", "error Unexpected end of input (expected '<') at 2:2"},
    {"\x01\x02\x1F", "error Unexpected end of input (expected '<') at 1:4"},
    // Between tokens a NUL is a blank like any control character; a quoted
    // value is handed on as a C string: cut at the NUL, it has lost its
    // closing quote. Nor can a quoted string cut at a NUL stand as a name:
    // written back, its opening quote would swallow the rest of the document.
    {"<a\0b/>"s, "error Unexpected token '/' (expected '=') at 1:5"},
    {"<a\0/>"s, "<a/>"},
    {"<a b='x\0y'/>"s, "error Unexpected token ''x' (expected quoted string) at 1:6"},
    {"<\"a\0\"/>"s, "error Unterminated quoted string \"a at 1:2"},
    {"<a 'b\0'='1'/>"s, "error Unterminated quoted string 'b at 1:4"},
    {"<r><\"c\0 d\"/></r>"s, "error Unterminated quoted string \"c at 1:5"},
    // Comments in content are refused unless reading leniently.
    {"<a>x<!-- c -->y</a>", "error Unexpected token found while parsing node a at 1:15"},
};

// The element each input gives (its dump), or its fault and place.
TEST(DOMParserReads, EveryCaseGivesItsElementOrItsFault) {
    for (const AttributeCase& c : kCases) {
        EXPECT_EQ(readOrFault(c.input, true), c.expected) << c.input;
        EXPECT_EQ(readOrFault(c.input, false), c.expected) << "tokens alone: " << c.input;
    }
}

// --- Fragments ------------------------------------------------------------------------

TEST(DOMParserFragment, NamedListCollectsContentUpToAStrayEndTag) {
    const struct {
        const char* input;
        const char* tree;
    } cases[] = {
        {"<i n='1'/>between<i n='2'>x</i>tail", "<list>betweentail<i n='1'/><i n='2'>x</i></list>"},
        {"<i/></x><j/>", "<list><i/></list>"},
    };
    for (const auto& c : cases) {
        DOMParser parser;
        MemoryInputStream in(c.input);
        std::unique_ptr<Document> doc(parser.parse(&in, "list"));
        std::string tree;
        doc->getRootNode()->dump(tree);
        EXPECT_EQ(tree, c.tree);
        EXPECT_EQ(doc->getRootNode()->getFirstChild()->getDocument(), doc.get());
    }
}

TEST(DOMParserFragment, ReadsIntoACallersNodeAndSurvivesAFailure) {
    Document home;
    ::core::SmartPtr<XNode> node(home.createNode("box", nullptr));
    node->addChild("old");

    DOMParser parser;
    MemoryInputStream good("<new/>");
    std::unique_ptr<Document> doc(parser.parse(&good, node.get()));
    EXPECT_EQ(doc->getRootNode(), node.get());
    EXPECT_EQ(node->getDocument(), doc.get());
    EXPECT_EQ(node->getFirstChild("old")->getDocument(), &home);  // existing children keep theirs
    EXPECT_EQ(node->getFirstChild("new")->getDocument(), doc.get());
    doc.reset();
    home.importNode(node.get());

    MemoryInputStream bad("<kept><inner/></kept><broken");
    EXPECT_THROW(parser.parse(&bad, node.get()), XMLException);
    // The node and what was read into it stay, pointing at the document the
    // node had before, not at the destroyed one.
    XNode* kept = node->getFirstChild("kept");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(node->getDocument(), &home);
    EXPECT_EQ(kept->getDocument(), &home);
    EXPECT_EQ(kept->getFirstChild("inner")->getDocument(), &home);
    EXPECT_EQ(node->getFirstChild("broken")->getDocument(), &home);
}

// --- Nesting -------------------------------------------------------------------------------

TEST(DOMParserNesting, LimitIsSettableAndCountsEmptyElementsAndFragments) {
    DOMParser parser;
    EXPECT_EQ(parser.getMaxDepth(), 1000);
    parser.setMaxDepth(2);
    MemoryInputStream two("<a><b/></a>");
    delete parser.parse(&two);
    MemoryInputStream three("<a><b><c/></b></a>");
    EXPECT_THROW(parser.parse(&three), XMLException);
    MemoryInputStream fragment("<b><c/></b>");
    EXPECT_THROW(parser.parse(&fragment, "a"), XMLException);

    parser.setMaxDepth(0);  // no limit: the reader itself does not recurse
    MemoryInputStream deep(nested(20000));
    std::unique_ptr<Document> doc(parser.parse(&deep));
    EXPECT_NE(doc->getRootNode(), nullptr);
}

TEST(DOMParserNesting, DeepestAllowedTreeIsReadWrittenDumpedClonedOnAOneMebibyteStack) {
    std::string error = xmlio::runOnStack(1 << 20, [] {
        const std::string text = nested(1000);
        auto doc = parse(text);

        kavri::xml::XMLWriter writer(false, false);
        kavri::stream::MemoryOutputStream compact;
        writer.write(doc.get(), &compact);
        // Every element is empty but the innermost, so it closes with "/>".
        std::string expected = text;
        expected.replace(999 * 3, 7, "<n/>");
        EXPECT_EQ(compact.str(), expected);

        // Tidy: one tab per level; the dump: three blanks per level.
        std::string expectedTidy, expectedDump;
        auto line = [&](int level, const char* tag) {
            expectedTidy += std::string(level, '\t') + tag;
            expectedDump += std::string(3 * level, ' ') + tag;
        };
        for (int level = 0; level < 1000; ++level) {
            line(level, level < 999 ? "<n>\n" : "<n/>\n");
        }
        for (int level = 998; level >= 0; --level) {
            line(level, "</n>\n");
        }
        writer.setTidyOutput(true);
        kavri::stream::MemoryOutputStream tidy;
        writer.write(doc.get(), &tidy);
        EXPECT_EQ(tidy.str(), expectedTidy);
        // A million pieces: collected by a light sink rather than LogCapture.
        std::string pieces;
        logging::Logger::mROOT_LOGGER->setSink(
            [&pieces](int, const char* text) { pieces += text; });
        kavri::xml::XMLUtils::dumpNode(doc->getRootNode());
        logging::Logger::mROOT_LOGGER->setSink(nullptr);
        EXPECT_EQ(pieces, expectedDump);

        ::core::SmartPtr<XNode> copy(doc->getRootNode()->clone());
        std::string dumped;
        copy->dump(dumped);
        EXPECT_EQ(dumped, expected);
        doc.reset();
        copy = nullptr;
    });
    EXPECT_EQ(error, "");
}

// --- Truncated input ---------------------------------------------------------------

TEST(DOMParserTruncated, EveryPrefixOfTheSampleParsesOrThrows) {
    const std::string sample = readSample("catalogue.xml");
    ASSERT_GT(sample.size(), 1000u);
    DOMParser parser;
    size_t parsed = 0;
    for (size_t length = 0; length <= sample.size(); ++length) {
        MemoryInputStream in(sample.substr(0, length));
        try {
            std::unique_ptr<Document> doc(parser.parse(&in));
            ++parsed;
        } catch (const core::Exception&) {
            EXPECT_GE(parser.getLine(), 1u);
        }
    }
    // Only prefixes that hold the root's end tag read: the whole file, and
    // the file without its final line break. The last parse succeeded and
    // left no position behind.
    EXPECT_EQ(parsed, 2u);
    EXPECT_EQ(parser.getLine(), 0u);
    EXPECT_EQ(parser.getColumn(), 0u);
}

}  // namespace
