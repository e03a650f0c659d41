// The lenient reader's internal-subset entities: expansion in text and
// attribute values, what stays as written, and the limits that refuse
// blow-ups quickly and cleanly (the sanitizer build checks for leaks).
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "xml_io_support.h"

namespace {

using kavri::xml::DOMParser;

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
    const struct {
        std::string input;
        const char* outcome;
    } cases[] = {
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
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lenient(c.input), c.outcome) << c.input;
    }
}

TEST(LenientEntities, NestingLimit) {
    EXPECT_EQ(lenient(laughs(8, 1)), "|r|||<r>lol</r>");
    EXPECT_EQ(lenient(laughs(9, 1)),
              "!Entity references nested deeper than 8 levels at &e0; at 1:189");
    EXPECT_EQ(lenient(withSubset("<!ENTITY a 'x&b;'><!ENTITY b '&a;'>", "<r>&a;</r>")),
              "!Entity a refers to itself at 1:54");
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

TEST(LenientEntities, MalformedDeclarations) {
    EXPECT_EQ(lenient(withSubset("<!ENTITY e>", "<r/>")), "!Invalid entity declaration e at 1:23");
    EXPECT_EQ(lenient(withSubset("<!ENTITY 'x'>", "<r/>")), "!Invalid entity declaration  at 1:23");
    EXPECT_EQ(lenient("<!DOCTYPE r [<!ENTITY e 'x]><r/>"),
              "!Unterminated declaration in DOCTYPE at 1:14");
    EXPECT_EQ(lenient("<!DOCTYPE r [<!-- ]><r/>"), "!Unterminated declaration in DOCTYPE at 1:14");
}

}  // namespace
