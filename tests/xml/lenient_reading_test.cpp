// DOMParser's lenient mode: encodings, the prolog's forms, processing
// instructions and comments in content, line ends and attribute white space;
// and that the default stays strict. Entities: lenient_entities_test.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "xml/XMLWriter.h"
#include "xml_io_support.h"

namespace {

using kavri::xml::Document;
using kavri::xml::DOMParser;

// The outcome of a lenient parse (xmlio::outcome's form), checked to be the
// same with the tokens alone.
std::string lenient(const std::string& text) {
    DOMParser parser;
    parser.setLenient(true);
    DOMParser tokensOnly;
    tokensOnly.setLenient(true);
    kavri::xml::DOMParserPaths::setScanning(tokensOnly, false);
    const std::string result = xmlio::outcome(parser, text);
    EXPECT_EQ(result, xmlio::outcome(tokensOnly, text)) << "paths differ on: " << text;
    return result;
}

std::string strict(const std::string& text) {
    DOMParser parser;
    return xmlio::outcome(parser, text);
}

std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string out;
    for (char c : ascii) {
        out += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    return out;
}

const char LATIN1_DECLARATION[] = "<?xml version='1.0' encoding='ISO-8859-1'?>";

TEST(LenientReading, IsOffByDefault) {
    DOMParser parser;
    EXPECT_FALSE(parser.isLenient());
    EXPECT_EQ(strict(std::string(LATIN1_DECLARATION) + "<a/>"),
              "!Only UTF-8 encoding supported at 1:30");
    EXPECT_EQ(strict("<?xml version='1.1'?><a/>"), "!Only XML 1.0 supported at 1:15");
    EXPECT_EQ(strict("<!DOCTYPE a SYSTEM 'x'><a/>"),
              "!Invalid DOCTYPE declaration. Expecting PUBLIC keyword, found SYSTEM at 1:13");
    EXPECT_EQ(strict("<a>x<!-- c -->y</a>"),
              "!Unexpected token found while parsing node a at 1:15");
}

TEST(LenientReading, TranscodesToUTF8) {
    const struct {
        std::string input;
        const char* outcome;
    } cases[] = {
        // Declared single-byte and multi-byte encodings.
        {std::string(LATIN1_DECLARATION) + "<a t='caf\xE9'>\xC0 la</a>",
         "<xml encoding='UTF-8' version='1.0'/>||||<a t='caf\xC3\xA9'>\xC3\x80 la</a>"},
        {"<?xml version='1.0' encoding='windows-1252'?><a>\x80</a>",
         "<xml encoding='UTF-8' version='1.0'/>||||<a>\xE2\x82\xAC</a>"},
        {"<?xml version='1.0' encoding='KOI8-R'?><a>\xF0\xD2</a>",
         "<xml encoding='UTF-8' version='1.0'/>||||<a>\xD0\x9F\xD1\x80</a>"},
        {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>\x82\xA0</a>",
         "<xml encoding='UTF-8' version='1.0'/>||||<a>\xE3\x81\x82</a>"},
        // UTF-8 as it is, with or without its byte-order mark, in any case.
        {"\xEF\xBB\xBF<a>\xC3\xA9</a>", "||||<a>\xC3\xA9</a>"},
        {"<?xml version='1.0' encoding='utf-8'?><a/>",
         "<xml encoding='UTF-8' version='1.0'/>||||<a/>"},
        // UTF-16 by byte-order mark or by its first bytes.
        {"\xFF\xFE" + utf16("<a>hi</a>", false), "||||<a>hi</a>"},
        {"\xFE\xFF" + utf16("<a x='1'/>", true), "||||<a x='1'/>"},
        {utf16("<?xml version='1.0' encoding='UTF-16'?><a/>", false),
         "<xml encoding='UTF-8' version='1.0'/>||||<a/>"},
        {utf16("<?xml version='1.0'?><a>\xE9</a>", true),
         "<xml version='1.0'/>||||<a>\xC3\xA9</a>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lenient(c.input), c.outcome) << c.input;
    }
}

TEST(LenientReading, EncodingFaultsNameTheEncodingAndPlace) {
    EXPECT_EQ(lenient("<?xml version='1.0' encoding='X-NOPE'?><a/>"),
              "!Unsupported encoding X-NOPE at 1:31");
    EXPECT_EQ(lenient("<?xml version='1.0' encoding='UTF-8//IGNORE'?><a/>"),
              "!Unsupported encoding UTF-8//IGNORE at 1:31");
    EXPECT_EQ(lenient("<?xml version='1.0' encoding='US-ASCII'?>\n<a>\n  x\xFFy</a>"),
              "!Invalid byte sequence in encoding US-ASCII at line 3, column 4 at 3:4");
    // Columns count characters, not bytes; a sequence cut short at the end.
    EXPECT_EQ(lenient("<?xml version='1.0' encoding='EUC-JP'?><a>\xA4\xA2\xA4"),
              "!Invalid byte sequence in encoding EUC-JP at line 1, column 44 at 1:44");
    EXPECT_EQ(lenient("\xFF\xFE" + utf16("<a>", false) + std::string("\0\xDC", 2)),
              "!Invalid byte sequence in encoding UTF-16LE at line 1, column 4 at 1:4");
}

TEST(LenientReading, WritesBackAsUTF8) {
    DOMParser parser;
    parser.setLenient(true);
    kavri::stream::MemoryInputStream in(std::string(LATIN1_DECLARATION) + "<a>\xE9t\xE9</a>");
    std::unique_ptr<Document> doc(parser.parse(&in));
    kavri::stream::MemoryOutputStream out;
    kavri::xml::XMLWriter(true, false).write(doc.get(), &out);
    EXPECT_EQ(out.str(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xC3\xA9t\xC3\xA9</a>");
}

TEST(LenientReading, PrologForms) {
    const struct {
        const char* input;
        const char* outcome;
    } cases[] = {
        {"<?xml version='1.1'?><a/>", "<xml version='1.1'/>||||<a/>"},
        {"<!DOCTYPE svg SYSTEM 'svg.dtd'><svg/>", "|svg||svg.dtd|<svg/>"},
        {"<!DOCTYPE html PUBLIC '-//W3C//DTD XHTML 1.0//EN' \"x.dtd\"><html/>",
         "|html|-//W3C//DTD XHTML 1.0//EN|x.dtd|<html/>"},
        {"<!DOCTYPE a PUBLIC 'p'><a/>", "|a|p||<a/>"},
        {"<!DOCTYPE a><a/>", "|a|||<a/>"},
        {"<!DOCTYPE\n  other [ <!ELEMENT a ANY> <!ATTLIST a x CDATA '>'> ]\n><a/>",
         "|other|||<a/>"},
        // Processing instructions and comments anywhere around the declaration,
        // the DOCTYPE and the root.
        {"<!-- c --><?xml version='1.0'?><?xml-stylesheet href='s.xsl'?>\n<!DOCTYPE a>"
         "<?pi?><!-- d --><a/>",
         "<xml version='1.0'/>|a|||<a/>"},
        {"<?target data?><a><?pi x?><b/><?other?></a>", "||||<a><b/></a>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lenient(c.input), c.outcome) << c.input;
    }
    EXPECT_EQ(lenient("<?xml version='2.0'?><a/>"), "!Only XML 1.0 supported at 1:15");
    EXPECT_EQ(lenient("<!DOCTYPE a SYSTEM><a/>"), "!Invalid DOCTYPE declaration at 1:13");
    EXPECT_EQ(lenient("<!DOCTYPE a 'x'><a/>"), "!Invalid DOCTYPE declaration at 1:13");
    EXPECT_EQ(lenient("<!DOCTYPE a [ <!ELEMENT a ANY> "),
              "!Unterminated internal subset in DOCTYPE at 1:32");
    EXPECT_EQ(lenient("<!DOCTYPE a [ junk ]><a/>"), "!Invalid internal subset in DOCTYPE at 1:15");
}

TEST(LenientReading, CommentsAndInstructionsInContentJoinTheText) {
    const struct {
        const char* input;
        const char* outcome;
    } cases[] = {
        {"<a>x<!-- c -->y</a>", "||||<a>xy</a>"},
        {"<a><!-- c -->\n  <b/>\n</a>", "||||<a>\n  \n<b/></a>"},
        {"<a>one<?pi two?>three<![CDATA[c]]>four</a>", "||||<a>onethreefour<![CDATA[c]]></a>"},
        {"<a><b>1<!--x-->2</b><!--y--></a>", "||||<a><b>12</b></a>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lenient(c.input), c.outcome) << c.input;
    }
    EXPECT_EQ(lenient("<a>x<!-- never ends"), "!Unexpected end of input (expected '<') at 1:20");
}

TEST(LenientReading, LineEndsAndAttributeWhiteSpace) {
    const struct {
        const char* input;
        const char* outcome;
    } cases[] = {
        {"<a>1\r\n2\r3\n</a>", "||||<a>1\n2\n3\n</a>"},
        {"<a><![CDATA[x\r\ny]]></a>", "||||<a><![CDATA[x\ny]]></a>"},
        {"<a x='1\t2\n3\r\n4' y=\"&#9;&#10;&#13;\"/>", "||||<a x='1 2 3 4' y='\t\n\r'/>"},
        {"<a\r\n x='a&amp;\tb'\r\n/>", "||||<a x='a& b'/>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lenient(c.input), c.outcome) << c.input;
    }
    // Places count in the text as read: LF line ends.
    EXPECT_EQ(lenient("<a>\r\n\r\n<b></a>"), "!Unclosed node b at 3:6");
}

// Every sample reads leniently the same way on both paths, and the strict
// reading of the samples is unchanged (they have their own strict tests).
TEST(LenientReading, Samples) {
    const struct {
        const char* file;
        const char* root;
    } samples[] = {
        {"latin1.xml", "settings"},        {"utf16.xml", "catalogue"},
        {"system-doctype.svg", "svg"},     {"entities.xml", "book"},
        {"instructions.xml", "catalogue"}, {"catalogue.xml", "catalogue"},
    };
    for (const auto& sample : samples) {
        const std::string result = lenient(xmlio::readSample(sample.file));
        EXPECT_NE(result.find(std::string("|<") + sample.root), std::string::npos)
            << sample.file << ": " << result;
    }
}

}  // namespace
