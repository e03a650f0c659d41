// XML's rules are written once (syntax/); these tests pin that every user
// agrees with them: a reference decodes the same in text, in attribute values
// (the scanner's path and the tokens'), in an entity's value and through
// StringUtil, and what the writer and StringUtil escape reads back the same.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/plinth/StringUtil.h"
#include "xml/xml_io_support.h"

namespace {

using kavri::xml::Document;
using kavri::xml::DOMParser;
using kavri::xml::XNode;

// The body of the root read leniently, or the value of its attribute "v".
std::string lenient(const std::string& text, bool value = false) {
    DOMParser parser;
    parser.setLenient(true);
    kavri::stream::MemoryInputStream in(text);
    std::unique_ptr<Document> doc(parser.parse(&in));
    return value ? doc->getRootNode()->getAttribute("v")->getValue()
                 : doc->getRootNode()->getBody();
}

// References and what they stand for, and references that are kept as written.
const std::pair<const char*, const char*> DECODED[] = {{"&#233;", "\xC3\xA9"},
                                                       {"&#xE9;", "\xC3\xA9"},
                                                       {"&#XE9;", "\xC3\xA9"},
                                                       {"&#x000000000000E9;", "\xC3\xA9"},
                                                       {"&#000000000000000065;", "A"},
                                                       {"&#x1F600;", "\xF0\x9F\x98\x80"},
                                                       {"&#x10FFFF;", "\xF4\x8F\xBF\xBF"},
                                                       {"&#x7FF;", "\xDF\xBF"},
                                                       {"&#x80;", "\xC2\x80"},
                                                       {"&#x800;", "\xE0\xA0\x80"},
                                                       {"&#xFFFD;", "\xEF\xBF\xBD"},
                                                       {"&#x10000;", "\xF0\x90\x80\x80"},
                                                       {"&amp;", "&"},
                                                       {"&lt;", "<"},
                                                       {"&gt;", ">"},
                                                       {"&quot;", "\""},
                                                       {"&apos;", "'"}};
const char* const KEPT[] = {"&#0;",   "&#xD800;", "&#x110000;", "&#99999999999999999999;",
                            "&#;",    "&#x;",     "&#6 5;",     "&#65",
                            "&#x4G;", "&AMP;",    "&unknown;",  "& "};

TEST(SyntaxRules, AReferenceDecodesTheSameWhereverItIsAllowed) {
    std::vector<std::pair<const char*, const char*>> references(std::begin(DECODED),
                                                                std::end(DECODED));
    for (const char* kept : KEPT) {
        references.emplace_back(kept, kept);
    }
    for (const auto& reference : references) {
        const std::string written = reference.first;
        const std::string expected = reference.second;
        SCOPED_TRACE(written);
        // StringUtil, both forms.
        EXPECT_EQ(std::string(text::StringUtil::decodeXML(written.c_str()).get()), expected);
        std::string span = "x";
        text::StringUtil::decodeXML(written.data(), written.size(), span);
        EXPECT_EQ(span, "x" + expected);
        // The reader, in text and in attribute values, scanner and tokens
        // compared by xmlio::parse; strict and lenient.
        // Lenient reading refuses what strict reading keeps as written, and
        // the "X" that XML does not allow in a character reference.
        const bool kept = written == expected || written.compare(0, 3, "&#X") == 0;
        const std::string inText = "<a>" + written + "</a>";
        EXPECT_EQ(xmlio::parse(inText)->getRootNode()->getBody(), expected);
        if (kept) {
            EXPECT_THROW(lenient(inText), ::core::Exception);
        } else {
            EXPECT_EQ(lenient(inText), expected);
        }
        if (written.find('"') == std::string::npos) {
            const std::string inValue = "<a v=\"" + written + "\"/>";
            EXPECT_EQ(xmlio::parse(inValue)->getRootNode()->getAttribute("v")->getValue(),
                      expected);
            if (kept) {
                EXPECT_THROW(lenient(inValue, true), ::core::Exception);
            } else {
                EXPECT_EQ(lenient(inValue, true), expected);
            }
        }
        // In an entity's value: character references are resolved where the
        // entity is declared, the others where it is referenced. A character
        // that is markup ("<", "&") would be read again as markup, so those
        // stand only in the forms that name no character.
        const bool markup = expected == "<" || expected == "&";
        if (!markup && written.find('"') == std::string::npos) {
            const std::string declared = "<!DOCTYPE a [<!ENTITY e \"" + written + "\">]>";
            if (kept) {
                EXPECT_THROW(lenient(declared + "<a>&e;</a>"), ::core::Exception);
            } else {
                EXPECT_EQ(lenient(declared + "<a>&e;</a>"), expected);
                EXPECT_EQ(lenient(declared + "<a v=\"&e;\"/>", true), expected);
            }
        }
    }
}

TEST(SyntaxRules, WhatIsEscapedReadsBackAsWritten) {
    const std::string reserved = "a&b<c>d\"e'f";
    // StringUtil and the writer write the same references for the five.
    EXPECT_EQ(std::string(text::StringUtil::encondeXML(reserved.c_str()).get()),
              "a&amp;b&lt;c&gt;d&quot;e&apos;f");
    EXPECT_STREQ(text::StringUtil::xmlEntityFor('\''), "&apos;");
    EXPECT_EQ(text::StringUtil::xmlEntityFor('\t'), nullptr);

    // The writer: white space another reader would change goes out as
    // references; every text reads back byte for byte, also through
    // StringUtil::decodeXML.
    const std::string value = reserved + " \t\n\r x", body = value;
    std::unique_ptr<Document> doc(xmlio::parse("<a/>"));
    XNode* root = doc->getRootNode();
    root->addAttribute("v", value.c_str());
    root->addBody(body);
    const std::string written = xmlio::compact(doc.get());
    EXPECT_EQ(written,
              "<a v='a&amp;b&lt;c&gt;d&quot;e&apos;f &#9;&#10;&#13; x'>"
              "a&amp;b&lt;c&gt;d&quot;e&apos;f \t\n&#13; x</a>");
    std::unique_ptr<Document> back(xmlio::parse(written));
    EXPECT_EQ(back->getRootNode()->getAttribute("v")->getValueString(), value);
    EXPECT_EQ(back->getRootNode()->getBody(), body);
    EXPECT_EQ(std::string(
                  text::StringUtil::decodeXML(text::StringUtil::encondeXML(reserved.c_str()).get())
                      .get()),
              reserved);
}

TEST(SyntaxRules, CDataIsCutAtEveryEndMarkerAndReadsBackWhole) {
    const struct {
        const char* data;
        const char* written;
    } cases[] = {
        {"plain", "<![CDATA[plain]]>"},
        {"x]]>y", "<![CDATA[x]]]]><![CDATA[>y]]>"},
        {"]]>]]>", "<![CDATA[]]]]><![CDATA[>]]]]><![CDATA[>]]>"},
        {"]]]>>", "<![CDATA[]]]]]><![CDATA[>>]]>"},
        {"]]", "<![CDATA[]]]]>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        std::unique_ptr<Document> doc(xmlio::parse("<a/>"));
        doc->getRootNode()->addCData(c.data, static_cast<unsigned>(std::strlen(c.data)));
        const std::string written = xmlio::compact(doc.get());
        EXPECT_EQ(written, std::string("<a>") + c.written + "</a>");
        unsigned size = 0;
        std::unique_ptr<Document> back(xmlio::parse(written));
        const char* data = back->getRootNode()->getCData(size);
        EXPECT_EQ(std::string(data, size), c.data);
    }
}

// Comments and instructions are passed over by one rule wherever they stand.
TEST(SyntaxRules, CommentsAndInstructionsArePassedOverAlike) {
    std::unique_ptr<Document> strict(xmlio::parse("<a>x<!-- <b/> --></a>"));
    EXPECT_EQ(strict->getRootNode()->getChildCount(), 0u);
    EXPECT_STREQ(strict->getRootNode()->getBody(), "x");
    EXPECT_EQ(lenient("<?pi?><!-- <?xml version='1.0'?> --><a>x<!-- c -->y<?pi z?>w</a>"), "xyw");
    // No declaration of the subset and no reference of the content is read
    // inside one (an entity declared only there is undeclared).
    const std::string subset = "<!DOCTYPE a [<!ENTITY e \"E\"><!-- <!ENTITY f \"F\"> -->]>";
    EXPECT_EQ(lenient(subset + "<a>&e;<!-- &e; --></a>"), "E");
    EXPECT_THROW(lenient(subset + "<a>&f;</a>"), ::core::Exception);
    EXPECT_THROW(lenient("<a>x<!-- y</a>"), ::core::Exception);
}

// One rule for encoding names (XML's EncName), in the declaration the
// conforming reader checks and in the names the transcoder hands to iconv.
TEST(SyntaxRules, EncodingNamesAreXMLsEncName) {
    const char* const accepted[] = {"UTF-8", "utf-8", "ISO-8859-1", "Shift_JIS", "x.y", "A"};
    const char* const refused[] = {"",       "8859-1",        "-UTF",        "_x",  ".x",
                                   "UTF-8 ", "UTF-8//IGNORE", "caf\xC3\xA9", "a b", "a:b"};
    for (const char* name : accepted) {
        EXPECT_TRUE(kavri::xml::syntax::isEncodingName(name, std::strlen(name))) << name;
    }
    for (const char* name : refused) {
        EXPECT_FALSE(kavri::xml::syntax::isEncodingName(name, std::strlen(name))) << name;
    }
    // Through the reader: a name that is no EncName never reaches iconv, and
    // one that is reads as declared.
    EXPECT_EQ(lenient("<?xml version='1.0' encoding='US-ASCII'?><a>x</a>"), "x");
    for (const char* declared : {"8859-1", "UTF-8//IGNORE"}) {
        EXPECT_THROW(
            lenient(std::string("<?xml version='1.0' encoding='") + declared + "'?><a>x</a>"),
            ::core::Exception)
            << declared;
    }
}

}  // namespace
