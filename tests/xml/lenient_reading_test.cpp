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

#include "core/SmartPtr.h"
#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "xml/XMLException.h"
#include "xml/XMLWriter.h"
#include "xml_io_support.h"

namespace {

using kavri::xml::Document;
using kavri::xml::DOMParser;

// A document that reads leniently reads losslessly too, and writes back
// unchanged as the very bytes it was read from.
void expectRoundTrip(const std::string& text) {
    DOMParser parser;
    parser.setLossless(true);
    kavri::stream::MemoryInputStream in(text);
    std::unique_ptr<Document> doc(parser.parse(&in));
    std::string written;
    doc->writeLossless(written);
    EXPECT_EQ(written, text) << "lossless round trip";
}

// The outcome of a lenient parse (xmlio::outcome's form), checked to be the
// same with the tokens alone and texts read sixteen bytes at a time, and
// the document to write back losslessly as it was read.
std::string lenient(const std::string& text) {
    DOMParser parser;
    parser.setLenient(true);
    DOMParser tokensOnly;
    tokensOnly.setLenient(true);
    kavri::xml::DOMParserPaths::setScanning(tokensOnly, false);
    const std::string result = xmlio::outcome(parser, text);
    const bool wide = kavri::xml::DOMParserPaths::setWideText(false);
    EXPECT_EQ(result, xmlio::outcome(tokensOnly, text)) << "paths differ on: " << text;
    kavri::xml::DOMParserPaths::setWideText(wide);
    if (result.compare(0, 1, "!") != 0) {
        expectRoundTrip(text);
    }
    return result;
}

// A fragment read leniently into a named list: the list in XNode::dump's
// form, or "!", the message and the place of the failure.
std::string lenientFragment(const std::string& text) {
    DOMParser parser;
    parser.setLenient(true);
    kavri::stream::MemoryInputStream in(text);
    try {
        std::unique_ptr<Document> doc(parser.parse(&in, "f"));
        std::string tree;
        doc->getRootNode()->dump(tree);
        return tree;
    } catch (const ::core::Exception& e) {
        return "!" + std::string(e.getMessage()) + " at " + std::to_string(parser.getLine()) + ":" +
               std::to_string(parser.getColumn());
    }
}

// Inputs and the outcomes their lenient parses must give, as documents or
// as fragments.
const bool FRAGMENT = true;
struct Case {
    std::string input;
    std::string outcome;
    bool fragment = false;
};
void expectOutcomes(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(c.fragment ? lenientFragment(c.input) : lenient(c.input), c.outcome) << c.input;
    }
}

std::string utf16(const std::string& ascii, bool bigEndian) {
    std::string out;
    for (char c : ascii) {
        out += bigEndian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    return out;
}

std::string utf32(const std::string& latin1, bool bigEndian) {
    std::string out;
    for (char c : latin1) {
        const std::string zeros(3, '\0');
        out += bigEndian ? zeros + c : c + zeros;
    }
    return out;
}

const char LATIN1_DECLARATION[] = "<?xml version='1.0' encoding='ISO-8859-1'?>";

// Strict reading stays the default (reader_test pins its refusals of what
// lenient reading takes).
TEST(LenientReading, IsOffByDefaultAndTranscodesToUTF8) {
    EXPECT_FALSE(DOMParser().isLenient());
    // A copy reads as the parser it was made from.
    DOMParser original;
    original.setLenient(true);
    DOMParser copy(original), assigned;
    assigned = original;
    for (DOMParser* parser : {&copy, &assigned}) {
        EXPECT_EQ(xmlio::outcome(*parser, std::string(LATIN1_DECLARATION) + "<a>\xE9</a>"),
                  "<xml encoding='UTF-8' version='1.0'/>||||<a>\xC3\xA9</a>");
    }
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
        {"\xFE\xFF" + utf16("<?xml version='1.0' encoding='UTF-16BE'?><a/>", true),
         "<xml encoding='UTF-8' version='1.0'/>||||<a/>"},
        {utf32("<?xml version='1.0' encoding='ISO-10646-UCS-4'?><a/>", false),
         "<xml encoding='UTF-8' version='1.0'/>||||<a/>"},
        {utf16("<?xml version='1.0'?><a>\xE9</a>", true),
         "<xml version='1.0'/>||||<a>\xC3\xA9</a>"},
        // UTF-32 by byte-order mark or by its first bytes.
        {std::string("\xFF\xFE\0\0", 4) + utf32("<a>\xE9</a>", false), "||||<a>\xC3\xA9</a>"},
        {utf32("<a x='1'/>", true), "||||<a x='1'/>"},
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
        {"<!DOCTYPE a PUBLIC 'p' ''><a/>", "|a|p||<a/>"},
        {"<!DOCTYPE a><a/>", "|a|||<a/>"},
        {"<!DOCTYPE\n  other [ <!ELEMENT a ANY> <!ATTLIST a x CDATA '>'> ]\n><a/>",
         "|other|||<a x='>'/>"},
        // Processing instructions and comments anywhere around the declaration,
        // the DOCTYPE and the root.
        {"<?xml version='1.0'?><!-- c --><?xml-stylesheet href='s.xsl'?>\n<!DOCTYPE a>"
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
        {withSubset("<!ENTITY c '&#x41;&#0065;'>", "<r>&c;</r>"), "|r|||<r>AA</r>"},
        // A quote or "<" from an entity in an attribute value is kept.
        {withSubset("<!ENTITY q 'say \"hi\" &apos;'>", "<r a=\"&q;\" b='&q;'/>"),
         "|r|||<r a='say \"hi\" '' b='say \"hi\" ''/>"},
        // Not expanded: comments, CDATA, instructions, external entities,
        // redeclared predefined ones; the first declaration binds.
        {withSubset("<!ENTITY e 'E'><!ENTITY e 'F'><!ENTITY lt 'X'>"
                    "<!ENTITY ext SYSTEM 'file:///etc/passwd'><!ENTITY % pe '<!ENTITY p \"P\">'>"
                    " %pe;<!-- <!ENTITY c 'C'> --><?pi?>",
                    "<r><!-- &e; --><![CDATA[&e;]]>&e;&lt;&ext;&p;</r>"),
         "|r|||<r>E<&ext;P<![CDATA[&e;]]></r>"},
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

// Not well-formed: each refusal names the rule, with the place.
TEST(LenientReading, RefusesWhatIsNotWellFormed) {
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
        {"\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?><a>\xE9</a>",
         "!Encoding ISO-8859-1 declared after a UTF-8 byte-order mark at 1:32"},
        // A declaration that names another encoding than the bytes are in.
        {"\xFF\xFE" + utf16("<?xml version='1.0' encoding='utf-8'?><a/>", false),
         "!Encoding utf-8 declared in a document encoded in UTF-16LE at 1:32"},
        {utf16("<?xml version='1.0' encoding='ISO-8859-1'?><a/>", true),
         "!Encoding ISO-8859-1 declared in a document encoded in UTF-16BE at 1:31"},
        {"<?xml version='1.0' encoding='UTF-16'?><a/>",
         "!Encoding UTF-16 declared in a document encoded in UTF-8 at 1:31"},
        {"<?xml version='1.0' encoding='ucs-4'?><a/>",
         "!Encoding ucs-4 declared in a document encoded in UTF-8 at 1:31"},
        {std::string("\xFF\xFE\0\0", 4) +
             utf32("<?xml version='1.0' encoding='UTF-16'?><a/>", false),
         "!Encoding UTF-16 declared in a document encoded in UTF-32LE at 1:32"},
        {"\xFF\xFE" + utf16("<a>", false) + std::string("\0\xDC", 2),
         "!Invalid byte sequence in encoding UTF-16LE at line 1, column 4 at 1:4"},
        // Places in the original file: columns count its characters.
        {std::string(LATIN1_DECLARATION) + "\n<a>\xE9\xE9<b></a>", "!Unclosed node b at 2:11"},
        {"\xFF\xFE" + utf16("<a>\n\xE9<b\xE9>", false) + std::string("\x3D\xD8\0\xDE", 4) +
             utf16("</a>", false),
         "!Unclosed node b\xC3\xA9 at 2:9"},
        {utf32("<a>\xE9&u;</a>", true), "!Entity u not declared [WFC: Entity Declared] at 1:5"},
        // Char, raw and through references, in every place text stands.
        {"<a>x\x01</a>", "!Character U+0001 not allowed in XML [Char] at 1:5"},
        {std::string("<a>\0</a>", 8), "!Character U+0000 not allowed in XML [Char] at 1:4"},
        {"<a>\xEF\xBF\xBE</a>", "!Character U+FFFE not allowed in XML [Char] at 1:4"},
        {"<a>\xED\xA0\x80</a>", "!Invalid UTF-8 byte sequence [Char] at 1:4"},
        {"<a>\xC0\xAF</a>", "!Invalid UTF-8 byte sequence [Char] at 1:4"},
        {"<a x='\x1F'/>", "!Character U+001F not allowed in XML [Char] at 1:7"},
        {"<a><![CDATA[\x0B]]></a>", "!Character U+000B not allowed in XML [Char] at 1:13"},
        {"<a><!-- \x0C --></a>", "!Character U+000C not allowed in XML [Char] at 1:9"},
        {"<?pi \x7F\x1B?><a/>", "!Character U+001B not allowed in XML [Char] at 1:7"},
        {"<a>&#0;</a>",
         "!Character reference &#0; to a character not allowed in XML [WFC: Legal Character] at "
         "1:4"},
        {"<a x='&#xD800;'/>",
         "!Character reference &#xD800; to a character not allowed in XML [WFC: Legal Character] "
         "at 1:7"},
        {"<a>&#xFFFF;</a>",
         "!Character reference &#xFFFF; to a character not allowed in XML [WFC: Legal Character] "
         "at 1:4"},
        {"<a>&#x110000;</a>",
         "!Character reference &#x110000; to a character not allowed in XML [WFC: Legal Character] "
         "at 1:4"},
        {withSubset("<!ENTITY e '&#x1;'>", "<r/>"),
         "!Character reference &#x1; to a character not allowed in XML [WFC: Legal Character] at "
         "1:26"},
        {"<a>&#x4G;</a>", "!Malformed character reference [CharRef] at 1:4"},
        {"<a>&#65</a>", "!Malformed character reference [CharRef] at 1:4"},
        {"<a>&# 65;</a>", "!Malformed character reference [CharRef] at 1:4"},
        // Names, of every kind.
        {"<1a/>", "!Invalid element name [Name] at 1:2"},
        {"<a\xC3\x97/>", "!Invalid character U+00D7 in element name [Name] at 1:3"},
        {"<IllegalNameChar(/>", "!White space required before an attribute [STag] at 1:17"},
        {"<a .x='1'/>", "!Invalid attribute name [Name] at 1:4"},
        {"<a>&1e;</a>", "!Invalid entity name [Name] at 1:5"},
        {"<?1pi?><a/>", "!Invalid processing instruction target name [Name] at 1:3"},
        {withSubset("<!ENTITY -e 'x'>", "<r/>"), "!Invalid entity name [Name] at 1:23"},
        {withSubset("<!NOTATION 1n SYSTEM 'n'>", "<r/>"), "!Invalid notation name [Name] at 1:25"},
        {"<a></a\xC3\x97>", "!Invalid character U+00D7 in element name [Name] at 1:7"},
        // The XML declaration: place, order, version, encoding, standalone.
        {" <?xml version='1.0'?><a/>",
         "!The target xml is reserved [PITarget] (an XML declaration must come first) at 1:2"},
        {"<?xml version='1.0'?><?xml version='1.0'?><a/>",
         "!The target xml is reserved [PITarget] (an XML declaration must come first) at 1:22"},
        {"<?xml encoding='UTF-8' version='1.0'?><a/>",
         "!No version attribute in XML declaration! [XMLDecl] at 1:1"},
        {"<?xml version='1.0' standalone='yes' encoding='UTF-8'?><a/>",
         "!Invalid XML declaration [XMLDecl] at 1:38"},
        {"<?xml version='2.0'?><a/>", "!Only XML 1.0 supported [VersionNum] at 1:15"},
        {"<?xml version='1.0' encoding='_x'?><a/>", "!Unsupported encoding _x at 1:31"},
        {"<?xml version='1.0' standalone='maybe'?><a/>",
         "!standalone must be 'yes' or 'no' [SDDecl] at 1:32"},
        {"<?xml version='1.0'encoding='UTF-8'?><a/>", "!Invalid XML declaration [XMLDecl] at 1:20"},
        {"<?xml version='1.0' other='x'?><a/>", "!Invalid XML declaration [XMLDecl] at 1:21"},
        {withSubset("<!ENTITY d '<?xml version=\"1.0\"?>'>", "<r>&d;</r>"),
         "!The target xml is reserved [PITarget] (an XML declaration must come first) at 1:54"},
        // Comments, instructions, CDATA, "]]>" in text.
        {"<a><!-- a -- b --></a>", "!'--' not allowed inside a comment [Comment] at 1:11"},
        {"<a><!-- a ---></a>", "!'--' not allowed inside a comment [Comment] at 1:11"},
        {"<a>x<!-- never ends", "!Unterminated comment [Comment] at 1:5"},
        {"<a><?XmL x?></a>", "!The target XmL is reserved [PITarget] at 1:4"},
        {"<a><?pi?x?></a>",
         "!White space required after the processing instruction target [PI] at 1:8"},
        {"<a><![CDATA[x]]</a>", "!Unterminated CDATA section [CDSect] at 1:4"},
        {"<a><![cdata[x]]></a>", "!Invalid markup in content [content] at 1:4"},
        {"<a>x]]>y</a>", "!']]>' not allowed in text [CharData] at 1:5"},
        // Tags and attributes.
        {"<a x='1' x='2'/>", "!Attribute x repeated in <a> [WFC: Unique Att Spec] at 1:10"},
        {"<a x='1'y='2'/>", "!White space required before an attribute [STag] at 1:9"},
        {"<a x='<'/>",
         "!'<' not allowed in an attribute value [WFC: No < in Attribute Values] at 1:7"},
        {"<a x=1/>", "!Quoted value expected for attribute x [AttValue] at 1:6"},
        {"<a x/>", "!'=' expected after attribute x [Attribute] at 1:5"},
        {"<a>\r\n\r\n<b></a>", "!Unclosed node b at 3:6"},
        {"<a>\n<b>", "!Unexpected end of input: element <b> not closed [element] at 2:4"},
        {"<a/ >", "!'>' expected after '/' [EmptyElemTag] at 1:3"},
        // One root element, then only comments, instructions and blanks.
        {"", "!No root element [document] at 1:1"},
        {"<!-- c -->", "!No root element [document] at 1:11"},
        {"x<a/>", "!Root element expected [document] at 1:1"},
        {"<a/><b/>", "!Second root element [document] at 1:5"},
        {"<a/>text", "!Content after the root element [document] at 1:5"},
        {"<a/>&amp;", "!Content after the root element [document] at 1:5"},
        {"<a/><![CDATA[x]]>", "!Content after the root element [document] at 1:5"},
        // The DOCTYPE and the declarations of the internal subset.
        {"<!DOCTYPE a SYSTEM><a/>",
         "!White space required in an external identifier [ExternalID] at 1:19"},
        {"<!DOCTYPE a 'x'><a/>", "!Invalid DOCTYPE declaration [doctypedecl] at 1:13"},
        {"<!DOCTYPE a PUBLIC 'p'><a/>",
         "!White space required in an external identifier [ExternalID] at 1:23"},
        {"<!DOCTYPE a PUBLIC 'a{b' 's'><a/>",
         "!Character not allowed in a public identifier [PubidChar] at 1:22"},
        {"<!DOCTYPE a [ <!ELEMENT a ANY> ",
         "!Unterminated internal subset in DOCTYPE [intSubset] at 1:32"},
        {"<!DOCTYPE a [ junk ]><a/>",
         "!Invalid markup declaration in the internal subset [markupdecl] at 1:15"},
        {"<!DOCTYPE a><!DOCTYPE a><a/>", "!Root element expected [document] at 1:13"},
        {"<a/><!DOCTYPE a>", "!Content after the root element [document] at 1:5"},
        {withSubset("<!ELEMENT r (a|b,c)>", "<r/>"),
         "!'|' and ',' mixed in one group [children] at 1:30"},
        {withSubset("<!ELEMENT r (#PCDATA|a)>", "<r/>"),
         "!Expected '*' in mixed content with elements [Mixed] at 1:37"},
        {withSubset("<!ELEMENT r (a,#PCDATA)*>", "<r/>"),
         "!#PCDATA must come first in mixed content [Mixed] at 1:29"},
        {withSubset("<!ELEMENT r EMPTY junk>", "<r/>"),
         "!'>' expected to end the declaration of element r [elementdecl] at 1:32"},
        {withSubset("<!ELEMENT r>", "<r/>"),
         "!White space required in an element declaration [elementdecl] at 1:25"},
        {withSubset("<!ATTLIST r x BOGUS #IMPLIED>", "<r/>"),
         "!Unknown attribute type BOGUS [AttType] at 1:28"},
        {withSubset("<!ATTLIST r x CDATA>", "<r/>"),
         "!White space required in an attribute definition [AttDef] at 1:33"},
        {withSubset("<!ATTLIST r x (a|) #IMPLIED>", "<r/>"),
         "!Invalid enumerated value [Nmtoken] at 1:31"},
        {withSubset("<!ATTLIST r x CDATA '<'>", "<r/>"),
         "!'<' not allowed in an attribute value [WFC: No < in Attribute Values] at 1:35"},
        {withSubset("<!ENTITY e>", "<r/>"),
         "!White space required in an entity declaration [EntityDecl] at 1:24"},
        {withSubset("<!ENTITY 'x'>", "<r/>"), "!Invalid entity name [Name] at 1:23"},
        {"<!DOCTYPE r [<!ENTITY e 'x]><r/>", "!Unterminated entity value [EntityValue] at 1:14"},
        {"<!DOCTYPE r [<!-- ]><r/>", "!Unterminated comment [Comment] at 1:14"},
        {withSubset("<!ENTITY e SYSTEM>", "<r/>"),
         "!White space required in an external identifier [ExternalID] at 1:31"},
        {withSubset("<!ENTITY % p SYSTEM 'p' NDATA n>", "<r/>"),
         "!A parameter entity cannot be unparsed [PEDecl] at 1:38"},
        {withSubset("<!ENTITY e 'x' junk>", "<r/>"),
         "!'>' expected to end the declaration of entity e [EntityDecl] at 1:29"},
        {withSubset("<!NOTATION n>", "<r/>"),
         "!White space required in a notation declaration [NotationDecl] at 1:26"},
        {withSubset("<!ELEMENT r ANY>]><!-- ", "<r/>"), "!Unterminated comment [Comment] at 1:32"},
        // Parameter-entity references only between declarations.
        {withSubset("<!ENTITY % p 'CDATA'><!ATTLIST r x %p; #IMPLIED>", "<r/>"),
         "!Parameter-entity reference inside a markup declaration [WFC: PEs in Internal Subset] at "
         "1:49"},
        {withSubset("<!ENTITY % p 'x'><!ENTITY e '%p;'>", "<r/>"),
         "!Parameter-entity reference in an entity value [WFC: PEs in Internal Subset] at 1:43"},
        {withSubset("<!ENTITY % p 'junk'>%p;", "<r/>"),
         "!Invalid markup declaration in the internal subset [markupdecl] at 1:34"},
        {withSubset("%p", "<r/>"),
         "!';' expected after a parameter-entity reference [PEReference] at 1:16"},
        // Entities: declared, not recursive, parsed, internal in values, no
        // "<" in values, replacement text well-formed; the limits.
        {"<a>&u;</a>", "!Entity u not declared [WFC: Entity Declared] at 1:4"},
        {"<a x='&u;'/>", "!Entity u not declared [WFC: Entity Declared] at 1:7"},
        {withSubset("<!ATTLIST r x CDATA '&e;'><!ENTITY e 'x'>", "<r/>"),
         "!Entity e not declared [WFC: Entity Declared] at 1:35"},
        {"<?xml version='1.0' standalone='yes'?><!DOCTYPE r SYSTEM 'r.dtd'><r>&u;</r>",
         "!Entity u not declared [WFC: Entity Declared] at 1:69"},
        {withSubset("<!ENTITY a 'x&b;'><!ENTITY b '&a;'>", "<r>&a;</r>"),
         "!Entity a refers to itself [WFC: No Recursion] at 1:54"},
        {withSubset("<!ENTITY a '&a;'>", "<r x='&a;'/>"),
         "!Entity a refers to itself [WFC: No Recursion] at 1:39"},
        {withSubset("<!ENTITY % p '%p;'>", "<r/>"),
         "!Parameter-entity reference in an entity value [WFC: PEs in Internal Subset] at 1:28"},
        {withSubset("<!NOTATION n SYSTEM 'n'><!ENTITY u SYSTEM 'u' NDATA n>", "<r>&u;</r>"),
         "!Reference to unparsed entity u [WFC: Parsed Entity] at 1:73"},
        {withSubset("<!ENTITY x SYSTEM 'x.xml'>", "<r v='&x;'/>"),
         "!Reference to external entity x in an attribute value [WFC: No External Entity "
         "References] at 1:48"},
        {withSubset("<!ENTITY l '&#60;'>", "<r v='&l;'/>"),
         "!'<' not allowed in an attribute value [WFC: No < in Attribute Values] at 1:41"},
        {withSubset("<!ENTITY e '<b>'>", "<r>&e;</b></r>"),
         "!Element <b> not closed inside the entity it began in [WFC: Parsed Entity] at 1:36"},
        {withSubset("<!ENTITY e '</r>'>", "<r>&e;"),
         "!End tag outside the entity its element began in [WFC: Parsed Entity] at 1:37"},
        {withSubset("<!ENTITY e '&#38;'>", "<r>&e;</r>"), "!Invalid entity name [Name] at 1:38"},
        {withSubset("<!ENTITY e 'a]]>b'>", "<r>&e;</r>"),
         "!']]>' not allowed in text [CharData] at 1:38"},
        {laughs(9, 1),
         "!Entity references nested deeper than 8 levels at &e0; [WFC: No Recursion] at 1:189"},
        // Fragments: content as an element's, without a DOCTYPE to declare
        // entities in.
        {"<a>x", "!Unexpected end of input: element <a> not closed [element] at 1:5", FRAGMENT},
        {"<a></b>", "!Unclosed node a at 1:6", FRAGMENT},
        {"t\n x\x01", "!Character U+0001 not allowed in XML [Char] at 2:3", FRAGMENT},
        {"x]]>", "!']]>' not allowed in text [CharData] at 1:2", FRAGMENT},
        {"&u;", "!Entity u not declared [WFC: Entity Declared] at 1:1", FRAGMENT},
        {"&#0;",
         "!Character reference &#0; to a character not allowed in XML [WFC: Legal "
         "Character] at 1:1",
         FRAGMENT},
        {"<a x='1' x='2'/>", "!Attribute x repeated in <a> [WFC: Unique Att Spec] at 1:10",
         FRAGMENT},
        {"<a x='<'/>",
         "!'<' not allowed in an attribute value [WFC: No < in Attribute Values] at 1:7", FRAGMENT},
        {"<!-- a -- b -->", "!'--' not allowed inside a comment [Comment] at 1:8", FRAGMENT},
        {"<?xml version='1.0'?>",
         "!The target xml is reserved [PITarget] (an XML declaration must come first) at 1:1",
         FRAGMENT},
        {"<![CDATA[x", "!Unterminated CDATA section [CDSect] at 1:1", FRAGMENT},
        {"<!DOCTYPE f>", "!Invalid markup in content [content] at 1:1", FRAGMENT},
        {"<\xC3\xA9 \xC3\xA9='\xC3\xA9'>\xC3\xA9\xFF",
         "!Invalid UTF-8 byte sequence [Char] at 1:11", FRAGMENT},
    });
}

// Text, character data, comments and values are checked many bytes at a
// time: a fault is found at its own place wherever it falls in that scan,
// after ASCII or after characters of two bytes, and characters of two to
// four bytes pass at any place.
TEST(LenientReading, ChecksEveryPlaceOfALongRun) {
    struct Place {
        const char* before;
        const char* after;
    };
    const Place places[] = {
        {"<a>", "</a>"}, {"<a><![CDATA[", "]]></a>"}, {"<a><!--", "--></a>"}, {"<a x='", "'/>"}};
    const Case faults[] = {{"\x01", "Character U+0001 not allowed in XML [Char]"},
                           {"\x1F", "Character U+001F not allowed in XML [Char]"},
                           {"\x80", "Invalid UTF-8 byte sequence [Char]"},
                           {"\xC3", "Invalid UTF-8 byte sequence [Char]"},
                           {"\xEF\xBF\xBE", "Character U+FFFE not allowed in XML [Char]"},
                           {"\xEF\xBF\xBF", "Character U+FFFF not allowed in XML [Char]"},
                           {"\xE0\x9F\xBF", "Invalid UTF-8 byte sequence [Char]"},
                           {"\xED\xA0\x80", "Invalid UTF-8 byte sequence [Char]"},
                           {"\xE4\xB8", "Invalid UTF-8 byte sequence [Char]"}};
    for (size_t length = 0; length < 40; ++length) {
        for (const char* lead : {"", "\xC3\xA9"}) {
            // `length` characters: ASCII, or one of two bytes and then ASCII.
            const std::string run = lead + std::string(length, 'x');
            const size_t characters = length + (*lead != '\0' ? 1 : 0);
            for (const Place& place : places) {
                const std::string before = place.before;
                for (const Case& fault : faults) {
                    const std::string column = std::to_string(before.size() + characters + 1);
                    EXPECT_EQ(lenient(before + run + fault.input + "yz" + place.after),
                              "!" + fault.outcome + " at 1:" + column);
                }
            }
            // Every form of three bytes that makes a Char, at its edges.
            const std::string wide =
                "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xE0\xA0\x80\xED\x9F\xBF"
                "\xEE\x80\x80\xEF\xBF\xBD\xE4\xB8\xAD";
            const std::string text = "<a>" + run + wide + run + "&amp;" + run + "</a>";
            EXPECT_EQ(lenient(text), "||||<a>" + run + wide + run + "&" + run + "</a>");
            EXPECT_EQ(
                lenient("<a>" + run + "]]>" + run + "</a>"),
                "!']]>' not allowed in text [CharData] at 1:" + std::to_string(characters + 4));
        }
    }
}

// A lenient fragment that fails deep down leaves the caller's node, and all
// that was read into it, with the document the node had.
TEST(LenientReading, FragmentFailingDeepDownKeepsTheNodesDocument) {
    Document home;
    ::core::SmartPtr<kavri::xml::XNode> node(home.createNode("box", nullptr));
    std::string deep;
    for (int i = 0; i < 200; ++i) {
        deep += "<d>";
    }
    DOMParser parser;
    parser.setLenient(true);
    kavri::stream::MemoryInputStream in(deep + "\x01");
    EXPECT_THROW(parser.parse(&in, node.get()), kavri::xml::XMLException);
    EXPECT_EQ(parser.getColumn(), 601u);
    int depth = 0;
    for (kavri::xml::XNode* at = node.get(); at != nullptr; at = at->getFirstChild("d")) {
        EXPECT_EQ(at->getDocument(), &home) << "at depth " << depth;
        ++depth;
    }
    EXPECT_EQ(depth, 201);
}

// Well-formed, however odd they look: each reads as XML 1.0 says.
TEST(LenientReading, ReadsWhatIsWellFormed) {
    expectOutcomes({
        // Fifth-edition names, characters at the edges of the ranges.
        {"<\xC3\x80\xCC\x80-.\xC2\xB7 _:x\xE2\x80\xBF='1'/>",
         "||||<\xC3\x80\xCC\x80-.\xC2\xB7 _:x\xE2\x80\xBF='1'/>"},
        {"<\xF0\x90\x80\x80 \xEF\xB7\xB0='\xEF\xBF\xBD'/>",
         "||||<\xF0\x90\x80\x80 \xEF\xB7\xB0='\xEF\xBF\xBD'/>"},
        {"<a>&#x9;&#xD7FF;&#xE000;&#xFFFD;&#x10000;&#x10FFFF;\xF4\x8F\xBF\xBF</a>",
         "||||<a>"
         "\t\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xF4\x8F\xBF\xBF</"
         "a>"},
        {"<a>&#13;&#x20;</a>", "||||<a>\r </a>"},
        // Markup-like text that is none.
        {"<a>]]x > ]] ></a>", "||||<a>]]x > ]] ></a>"},
        {"<a><!----><!-- - --><?xml-stylesheet x?><?xmlfoo?><?pi ?\?></a>", "||||<a/>"},
        {"<a x='>/=&quot;' y=\"'\"></a >", "||||<a x='>/=\"' y='''/>"},
        {"<?xml version='1.1' encoding='utf-8' standalone='no' ?><a/>",
         "<xml encoding='UTF-8' standalone='no' version='1.0'/>||||<a/>"},
        // Entities that expand to markup, defaults with entities in them.
        {withSubset("<!ENTITY e '<b x=\"&#38;amp;\">&#38;#60;&#38;lt;</b>'>", "<r>&e;&e;</r>"),
         "|r|||<r><b x='&'><<</b><b x='&'><<</b></r>"},
        {withSubset("<!ENTITY n 'Ann'><!ATTLIST r who CDATA 'by &n; &amp; co'"
                    " t NMTOKENS '  x   y ' f CDATA #FIXED 'F' i ID #IMPLIED>",
                    "<r/>"),
         "|r|||<r f='F' t='x y' who='by Ann & co'/>"},
        {withSubset("<!ATTLIST r t NMTOKENS #IMPLIED e (x|y) 'x' c CDATA #IMPLIED>"
                    "<!ATTLIST r t CDATA ' z '>",
                    "<r t=' p&#32; q ' e=' y ' c=' c '/>"),
         "|r|||<r c=' c ' e='y' t='p q'/>"},
        {withSubset("<!ENTITY % d '<!ENTITY e \"E\"><!ATTLIST r x CDATA \"d\">'>%d;", "<r>&e;</r>"),
         "|r|||<r x='d'>E</r>"},
        // After an unread parameter entity, later declarations are not used;
        // a reference only an unread subset could declare is kept as written.
        {withSubset("<!ENTITY % ext SYSTEM 'x.ent'>%ext;<!ENTITY e 'E'><!ATTLIST r x CDATA 'd'>",
                    "<r>&e;</r>"),
         "|r|||<r>&e;</r>"},
        {"<!DOCTYPE r SYSTEM 'r.dtd'><r a='&u;'>&u;</r>", "|r||r.dtd|<r a='&u;'>&u;</r>"},
        {"<!DOCTYPE a [<!ELEMENT a (#PCDATA|b)*><!ELEMENT b ((c,d?)|e+)*><!NOTATION n PUBLIC 'n'>"
         "<!ATTLIST b n NOTATION (n) #IMPLIED>]><b/>",
         "|a|||<b/>"},
        // A fragment ends at the end tag of the element it stands in.
        {"t<i n='&#x41;\t'/>&lt;<!--c--><?p?><![CDATA[d]]>\xC3\xA9</f><j/>",
         "<f>t<\xC3\xA9<![CDATA[d]]><i n='A '/></f>", FRAGMENT},
    });
}

}  // namespace
