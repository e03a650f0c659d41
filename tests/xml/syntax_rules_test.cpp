// XML's rules are written once (xml/syntax); these tests pin that every user
// agrees with them: a reference decodes the same in text, in attribute values
// (the scanner's path and the tokens'), in an entity's value and through
// StringUtil, and what the writer and StringUtil escape reads back the same.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "framework/plinth/StringUtil.h"
#include "xml/syntax/XMLSyntax.h"
#include "xml_io_support.h"

namespace {

using kavri::xml::Document;
using kavri::xml::DOMParser;
using kavri::xml::XNode;

std::string parsedBody(const std::string& text, bool lenient) {
    DOMParser parser;
    parser.setLenient(lenient);
    kavri::stream::MemoryInputStream in(text);
    std::unique_ptr<Document> doc(parser.parse(&in));
    return doc->getRootNode()->getBody();
}

std::string parsedValue(const std::string& text, bool lenient) {
    DOMParser parser;
    parser.setLenient(lenient);
    kavri::stream::MemoryInputStream in(text);
    std::unique_ptr<Document> doc(parser.parse(&in));
    return doc->getRootNode()->getAttribute("v")->getValue();
}

// Each reference and what it stands for; one that is kept stands for itself.
struct Reference {
    const char* written;
    const char* decoded;
};
const Reference REFERENCES[] = {
    {"&#233;", "\xC3\xA9"},
    {"&#xE9;", "\xC3\xA9"},
    {"&#XE9;", "\xC3\xA9"},
    {"&#x000000000000E9;", "\xC3\xA9"},
    {"&#000000000000000065;", "A"},
    {"&#x1F600;", "\xF0\x9F\x98\x80"},
    {"&#x10FFFF;", "\xF4\x8F\xBF\xBF"},
    {"&#x7FF;", "\xDF\xBF"},
    {"&#0;", "&#0;"},
    {"&#xD800;", "&#xD800;"},
    {"&#x110000;", "&#x110000;"},
    {"&#99999999999999999999;", "&#99999999999999999999;"},
    {"&#;", "&#;"},
    {"&#x;", "&#x;"},
    {"&#6 5;", "&#6 5;"},
    {"&#65", "&#65"},
    {"&#x4G;", "&#x4G;"},
    {"&amp;", "&"},
    {"&lt;", "<"},
    {"&gt;", ">"},
    {"&quot;", "\""},
    {"&apos;", "'"},
    {"&AMP;", "&AMP;"},
    {"&unknown;", "&unknown;"},
    {"& ", "& "},
};

TEST(SyntaxRules, AReferenceDecodesTheSameWhereverItIsAllowed) {
    for (const Reference& reference : REFERENCES) {
        const std::string written = reference.written;
        const std::string expected = reference.decoded;
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
            EXPECT_THROW(parsedBody(inText, true), ::core::Exception);
        } else {
            EXPECT_EQ(parsedBody(inText, true), expected);
        }
        if (written.find('"') == std::string::npos) {
            const std::string inValue = "<a v=\"" + written + "\"/>";
            EXPECT_EQ(xmlio::parse(inValue)->getRootNode()->getAttribute("v")->getValue(),
                      expected);
            if (kept) {
                EXPECT_THROW(parsedValue(inValue, true), ::core::Exception);
            } else {
                EXPECT_EQ(parsedValue(inValue, true), expected);
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
                EXPECT_THROW(parsedBody(declared + "<a>&e;</a>", true), ::core::Exception);
            } else {
                EXPECT_EQ(parsedBody(declared + "<a>&e;</a>", true), expected);
                EXPECT_EQ(parsedValue(declared + "<a v=\"&e;\"/>", true), expected);
            }
        }
    }
}

TEST(SyntaxRules, WhatIsEscapedReadsBackAsWritten) {
    const std::string reserved = "a&b<c>d\"e'f";
    // StringUtil and the writer write the same references for the five.
    EXPECT_EQ(std::string(text::StringUtil::encondeXML(reserved.c_str()).get()),
              "a&amp;b&lt;c&gt;d&quot;e&apos;f");
    for (char c : std::string("&<>\"'")) {
        EXPECT_STREQ(text::StringUtil::xmlEntityFor(c), kavri::xml::syntax::predefinedReference(c));
        EXPECT_TRUE(text::StringUtil::isXmlSpecial(c));
    }
    EXPECT_EQ(text::StringUtil::xmlEntityFor('\t'), nullptr);
    EXPECT_FALSE(text::StringUtil::isXmlSpecial('\n'));

    // The writer: white space another reader would change goes out as
    // references; every text reads back byte for byte, also through
    // StringUtil::decodeXML.
    const std::string value = reserved + " \t\n\r x";
    const std::string body = reserved + " \t\n\r x";
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
        std::string out;
        kavri::xml::syntax::putCData(c.data, std::strlen(c.data),
                                     [&](const char* bytes, size_t n) { out.append(bytes, n); });
        EXPECT_EQ(out, c.written);
        std::unique_ptr<Document> doc(xmlio::parse("<a/>"));
        doc->getRootNode()->addCData(c.data, static_cast<unsigned>(std::strlen(c.data)));
        const std::string written = xmlio::compact(doc.get());
        EXPECT_EQ(written, "<a>" + out + "</a>");
        unsigned size = 0;
        std::unique_ptr<Document> back(xmlio::parse(written));
        const char* data = back->getRootNode()->getCData(size);
        EXPECT_EQ(std::string(data, size), c.data);
    }
}

TEST(SyntaxRules, CommentsAndInstructionsArePassedOverAlike) {
    using namespace kavri::xml::syntax;
    const struct {
        const char* text;
        Markup kind;
        int endsAt;  // -1: never ends
    } cases[] = {
        {"<!-- a -->b", MARKUP_COMMENT, 10},
        {"<!---->", MARKUP_COMMENT, 7},
        {"<!-- a --", MARKUP_COMMENT, -1},
        {"<?pi x?>b", MARKUP_INSTRUCTION, 8},
        {"<?pi", MARKUP_INSTRUCTION, -1},
        {"<!DOCTYPE", MARKUP_NONE, 0},
        {"<a>", MARKUP_NONE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const char* end = c.text + std::strlen(c.text);
        EXPECT_EQ(markupAt(c.text, end), c.kind);
        if (c.kind != MARKUP_NONE) {
            const char* after = markupEnd(c.kind, c.text, end);
            EXPECT_EQ(after == nullptr ? -1 : static_cast<int>(after - c.text), c.endsAt);
        }
    }
    // The strict reader drops comments; the lenient one also instructions,
    // joining the text around them; an entity's value is not read inside them.
    std::unique_ptr<Document> strict(xmlio::parse("<a>x<!-- <b/> --></a>"));
    EXPECT_EQ(strict->getRootNode()->getChildCount(), 0u);
    EXPECT_STREQ(strict->getRootNode()->getBody(), "x");
    EXPECT_EQ(parsedBody("<a>x<!-- c -->y<?pi z?>w</a>", true), "xyw");
    const std::string subset = "<!DOCTYPE a [<!ENTITY e \"E\"><!-- <!ENTITY f \"F\"> -->]>";
    EXPECT_EQ(parsedBody(subset + "<a>&e;<!-- &e; --></a>", true), "E");
    EXPECT_THROW(parsedBody(subset + "<a>&f;</a>", true), ::core::Exception);
    const std::string declaration = "<?xml version", target = "<?xml-stylesheet";
    EXPECT_TRUE(isDeclaration(declaration.data(), declaration.data() + declaration.size()));
    EXPECT_FALSE(isDeclaration(target.data(), target.data() + target.size()));
}

}  // namespace
