// DOMParser's lenient mode: encodings, the prolog's forms, processing
// instructions and comments in content, line ends and attribute white space,
// internal-subset entities and the limits that refuse blow-ups quickly and
// cleanly (the sanitizer build checks for leaks); and that the default stays
// strict.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

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

// Inputs and the outcomes their lenient parses must give.
struct Case {
    std::string input;
    std::string outcome;
};
void expectOutcomes(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(lenient(c.input), c.outcome) << c.input;
    }
}

std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string out;
    for (char c : ascii) {
        out += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    return out;
}

const char LATIN1_DECLARATION[] = "<?xml version='1.0' encoding='ISO-8859-1'?>";

// Strict reading stays the default (reader_test pins its refusals of what
// lenient reading takes).
TEST(LenientReading, IsOffByDefaultAndTranscodesToUTF8) {
    EXPECT_FALSE(DOMParser().isLenient());
    expectOutcomes({
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
    });
}

TEST(LenientReading, WritesBackAsUTF8) {
    DOMParser parser;
    parser.setLenient(true);
    kavri::stream::MemoryInputStream in(std::string(LATIN1_DECLARATION) + "<a>\xE9t\xE9</a>");
    std::unique_ptr<Document> doc(parser.parse(&in));
    kavri::stream::MemoryOutputStream out;
    kavri::xml::XMLWriter(true, false).write(doc.get(), &out);
    EXPECT_EQ(out.str(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xC3\xA9t\xC3\xA9</a>");
}

TEST(LenientReading, PrologForms) {
    expectOutcomes({
        {"<?xml version='1.1'?><a/>", "<xml version='1.0'/>||||<a/>"},
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
    });
}

TEST(LenientReading, CommentsAndInstructionsInContentJoinTheText) {
    expectOutcomes({
        {"<a>x<!-- c -->y</a>", "||||<a>xy</a>"},
        {"<a><!-- c -->\n  <b/>\n</a>", "||||<a>\n  \n<b/></a>"},
        {"<a>one<?pi two?>three<![CDATA[c]]>four</a>", "||||<a>onethreefour<![CDATA[c]]></a>"},
        {"<a><b>1<!--x-->2</b><!--y--></a>", "||||<a><b>12</b></a>"},
    });
}

TEST(LenientReading, LineEndsAndAttributeWhiteSpace) {
    expectOutcomes({
        {"<a>1\r\n2\r3\n</a>", "||||<a>1\n2\n3\n</a>"},
        {"<a><![CDATA[x\r\ny]]></a>", "||||<a><![CDATA[x\ny]]></a>"},
        {"<a x='1\t2\n3\r\n4' y=\"&#9;&#10;&#13;\"/>", "||||<a x='1 2 3 4' y='\t\n\r'/>"},
        {"<a\r\n x='a&amp;\tb'\r\n/>", "||||<a x='a& b'/>"},
    });
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

// --- Entities ---------------------------------------------------------------

std::string withSubset(const std::string& subset, const std::string& root) {
    return "<!DOCTYPE r [" + subset + "]>" + root;
}

// Entities that nest `levels` deep, each referring `width` times to the next.
std::string laughs(int levels, int width) {
    std::string subset = "<!ENTITY e0 'lol'>";
    for (int level = 1; level < levels; ++level) {
        subset += "<!ENTITY e" + std::to_string(level) + " '";
        for (int i = 0; i < width; ++i) {
            subset += "&e" + std::to_string(level - 1) + ";";
        }
        subset += "'>";
    }
    return withSubset(subset, "<r>&e" + std::to_string(levels - 1) + ";</r>");
}

TEST(LenientEntities, Expanded) {
    expectOutcomes({
        // Nested, in text and in attribute values, next to the predefined ones.
        {withSubset("<!ENTITY n 'Ann'><!ENTITY full '&n; &amp; Bob'>",
                    "<r who='&full;!'>&full;&lt;</r>"),
         "|r|||<r who='Ann & Bob!'>Ann & Bob<</r>"},
        // Markup in a value is read as markup where it is referenced.
        {withSubset("<!ENTITY b '<b x=\"1\">bold &#38;#60;</b>'>", "<r>a&b;c</r>"),
         "|r|||<r>ac<b x='1'>bold <</b></r>"},
        {withSubset("<!ENTITY lt2 '&#38;#60;'>", "<r>&lt2;</r>"), "|r|||<r><</r>"},
        {withSubset("<!ENTITY c '&#x41;&#0065;&# 65;&#x0x41;'>", "<r>&c;</r>"),
         "|r|||<r>AA&# 65;&#x0x41;</r>"},
        // A quote or "<" from an entity in an attribute value is kept.
        {withSubset("<!ENTITY q 'say \"hi\" &apos;'>", "<r a=\"&q;\" b='&q;'/>"),
         "|r|||<r a='say \"hi\" '' b='say \"hi\" ''/>"},
        // Not expanded: comments, CDATA, instructions, undeclared and external
        // entities, redeclared predefined ones; the first declaration binds.
        {withSubset("<!ENTITY e 'E'><!ENTITY e 'F'><!ENTITY lt 'X'>"
                    "<!ENTITY ext SYSTEM 'file:///etc/passwd'><!ENTITY % pe 'p'> %pe;"
                    "<!-- <!ENTITY c 'C'> --><?pi?>",
                    "<r><!-- &e; --><![CDATA[&e;]]>&e;&lt;&ext;&nope;</r>"),
         "|r|||<r>E<&ext;&nope;<![CDATA[&e;]]></r>"},
    });
}

// Each attack is refused after a bounded amount of work: unbounded, the first
// would take a minute and the others hours. The bound on time is generous
// (sanitizer builds, a busy machine); it only tells bounded from unbounded.
TEST(LenientEntities, BlowUpsRefusedQuickly) {
    const std::string attacks[] = {
        laughs(8, 10),  // 3 x 10^7 bytes
        laughs(8, 30),  // 6 x 10^11 bytes
        withSubset("<!ENTITY e0 ''><!ENTITY e1 '&e0;&e0;&e0;&e0;&e0;&e0;&e0;&e0;'>"
                   "<!ENTITY e2 '&e1;&e1;&e1;&e1;&e1;&e1;&e1;&e1;'>"
                   "<!ENTITY e3 '&e2;&e2;&e2;&e2;&e2;&e2;&e2;&e2;'>"
                   "<!ENTITY e4 '&e3;&e3;&e3;&e3;&e3;&e3;&e3;&e3;'>"
                   "<!ENTITY e5 '&e4;&e4;&e4;&e4;&e4;&e4;&e4;&e4;'>"
                   "<!ENTITY e6 '&e5;&e5;&e5;&e5;&e5;&e5;&e5;&e5;'>"
                   "<!ENTITY e7 '&e6;&e6;&e6;&e6;&e6;&e6;&e6;&e6;'>",
                   "<r>&e7;</r>"),  // empty, 2 x 10^6 times
        withSubset(
            "<!ENTITY big '" + std::string(100000, 'x') + "'>", "<r>" +
                                                                    [] {
                                                                        std::string refs;
                                                                        for (int i = 0; i < 2000;
                                                                             ++i) {
                                                                            refs += "&big;";
                                                                        }
                                                                        return refs;
                                                                    }() +
                                                                    "</r>"),  // quadratic
    };
    for (const std::string& attack : attacks) {
        const auto start = std::chrono::steady_clock::now();
        const std::string result = lenient(attack);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(result.rfind("!Entity expansion exceeds the limit of ", 0), 0u) << result;
        EXPECT_LT(seconds, 10.0);
    }
    // The limit grows with the input: ten times a large input may expand.
    const std::string large = withSubset("<!ENTITY big '" + std::string(200000, 'x') + "'>",
                                         "<r>&big;&big;&big;&big;&big;&big;&big;&big;</r>");
    EXPECT_EQ(lenient(large).size(), std::string("|r|||<r></r>").size() + 1600000);
}

// What lenient reading still refuses, with the message and the place.
TEST(LenientReading, RefusalsNameTheFaultAndItsPlace) {
    expectOutcomes({
        // Encodings: columns count characters, not bytes; a sequence cut short
        // at the end.
        {"<?xml version='1.0' encoding='X-NOPE'?><a/>", "!Unsupported encoding X-NOPE at 1:31"},
        {"<?xml version='1.0' encoding='UTF-8//IGNORE'?><a/>",
         "!Unsupported encoding UTF-8//IGNORE at 1:31"},
        {"<?xml version='1.0' encoding='US-ASCII'?>\n<a>\n  x\xFFy</a>",
         "!Invalid byte sequence in encoding US-ASCII at line 3, column 4 at 3:4"},
        {"<?xml version='1.0' encoding='EUC-JP'?><a>\xA4\xA2\xA4",
         "!Invalid byte sequence in encoding EUC-JP at line 1, column 44 at 1:44"},
        {"\xFF\xFE" + utf16("<a>", false) + std::string("\0\xDC", 2),
         "!Invalid byte sequence in encoding UTF-16LE at line 1, column 4 at 1:4"},
        // The prolog.
        {"<?xml version='2.0'?><a/>", "!Only XML 1.0 supported at 1:15"},
        {"<!DOCTYPE a SYSTEM><a/>", "!Invalid DOCTYPE declaration at 1:13"},
        {"<!DOCTYPE a 'x'><a/>", "!Invalid DOCTYPE declaration at 1:13"},
        {"<!DOCTYPE a [ <!ELEMENT a ANY> ", "!Unterminated internal subset in DOCTYPE at 1:32"},
        {"<!DOCTYPE a [ junk ]><a/>", "!Invalid internal subset in DOCTYPE at 1:15"},
        // Content; places count in the text as read: LF line ends.
        {"<a>x<!-- never ends", "!Unexpected end of input (expected '<') at 1:20"},
        {"<a>\r\n\r\n<b></a>", "!Unclosed node b at 3:6"},
        // Entities: the nesting limit, self reference, malformed declarations.
        {laughs(8, 1), "|r|||<r>lol</r>"},
        {laughs(9, 1), "!Entity references nested deeper than 8 levels at &e0; at 1:189"},
        {withSubset("<!ENTITY a 'x&b;'><!ENTITY b '&a;'>", "<r>&a;</r>"),
         "!Entity a refers to itself at 1:54"},
        {withSubset("<!ENTITY e>", "<r/>"), "!Invalid entity declaration e at 1:23"},
        {withSubset("<!ENTITY 'x'>", "<r/>"), "!Invalid entity declaration  at 1:23"},
        {"<!DOCTYPE r [<!ENTITY e 'x]><r/>", "!Unterminated declaration in DOCTYPE at 1:14"},
        {"<!DOCTYPE r [<!-- ]><r/>", "!Unterminated declaration in DOCTYPE at 1:14"},
    });
}

}  // namespace
