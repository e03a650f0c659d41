// The scanning layer both readers read with: every vector scan finds what
// its byte-by-byte fallback finds, and both find what a plain search finds,
// on inputs made of the bytes that matter (markers, quotes, controls,
// characters of two and three bytes) at every alignment; and the forms of a
// tag are read alike over the strict reader's bytes and the conforming
// reader's, up to where their names and blanks differ.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "syntax/XMLScan.h"
#include "syntax/XMLSyntax.h"
#include "syntax/XMLTags.h"

namespace {

namespace syntax = kavri::xml::syntax;

// Random texts of the bytes the scans stop at, and of plain text.
class Inputs {
  public:
    std::string next() {
        static const char* const PIECES[] = {"a",    "b c",  "<",       "&",        "]",
                                             "]]>",  "]>",   "-",       "--",       "-->",
                                             "?",    "?>",   "\"",      "'",        "" /* NUL */,
                                             "\t",   "\n",   "\r",      "\xC3\xA9", "\xE2\x82\xAC",
                                             "\x80", "\xC3", "x=\"v\"", "<a ",      "/>",
                                             ">",    "&lt;", "&#x41;",  "&#0;"};
        std::uniform_int_distribution<size_t> count(0, 40);
        std::uniform_int_distribution<size_t> piece(0, sizeof PIECES / sizeof PIECES[0] - 1);
        std::string text;
        for (size_t n = count(mRandom); n > 0; --n) {
            const size_t i = piece(mRandom);
            // The NUL piece: one byte, which strlen would not count.
            text += i == 14 ? std::string(1, '\0') : std::string(PIECES[i]);
        }
        return text;
    }

  private:
    std::mt19937 mRandom{20261206};
};

// Past the character at `at`: a whole UTF-8 sequence, or one byte.
const char* passCharacter(const char* at, const char* end) {
    const unsigned char lead = static_cast<unsigned char>(*at);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (static_cast<size_t>(end - at) < length) {
        length = 1;
    }
    return at + length;
}

size_t offsetOf(const char* found, const std::string& text) {
    return static_cast<size_t>(found - text.data());
}

TEST(Scan, VectorScansFindWhatTheirFallbacksAndAPlainSearchFind) {
    Inputs inputs;
    const char* const markers[] = {"]]>", "-->", "?>", "--", "\""};
    for (int round = 0; round < 3000; ++round) {
        const std::string text = inputs.next();
        SCOPED_TRACE(testing::PrintToString(text));
        // Every start, so that each byte falls at every place of a block.
        for (size_t from = 0; from <= text.size(); from += 1 + from / 8) {
            const char* const p = text.data() + from;
            const char* const end = text.data() + text.size();
            const size_t stop = text.find_first_of(std::string("<&\0", 3), from);
            const size_t expected = stop == std::string::npos ? text.size() : stop;
            EXPECT_EQ(offsetOf(syntax::findTextStop<true>(p, end), text), expected);
            EXPECT_EQ(offsetOf(syntax::findTextStop<false>(p, end), text), expected);
            // A text is read to '<' or NUL in one pass, which notes where
            // its '&'s stand.
            const size_t tag = text.find_first_of(std::string("<\0", 2), from);
            const size_t textEnd = tag == std::string::npos ? text.size() : tag;
            std::vector<size_t> amps;
            for (size_t at = text.find('&', from); at < textEnd; at = text.find('&', at + 1)) {
                amps.push_back(at);
            }
            for (const bool wide : {true, false}) {
                syntax::Ampersands noted;
                EXPECT_EQ(offsetOf(syntax::findTextEnd(p, end, noted, wide), text), textEnd);
                ASSERT_EQ(noted.count, amps.size());
                for (size_t i = 0; i < amps.size() && i < syntax::Ampersands::CAPACITY; ++i) {
                    EXPECT_EQ(offsetOf(noted.at[i], text), amps[i]);
                }
            }
            for (const char* marker : markers) {
                const size_t length = std::strlen(marker);
                const size_t at = text.find(marker, from, length);
                const size_t place = at == std::string::npos ? text.size() : at;
                EXPECT_EQ(offsetOf(syntax::findMarker<true>(p, end, marker, length), text), place);
                EXPECT_EQ(offsetOf(syntax::findMarker<false>(p, end, marker, length), text), place);
                // The checked run meets every character outside plain ASCII
                // that it does not pass over whole.
                const auto pass = [&](const char* c) { return passCharacter(c, end); };
                EXPECT_EQ(syntax::findMarkerChecking<true>(p, end, marker, length, pass),
                          syntax::findMarkerChecking<false>(p, end, marker, length, pass));
            }
            for (const char quote : {'"', '\''}) {
                // The closing quote, unless a NUL or the end comes first;
                // references are noted up to where the value stops.
                const size_t close = text.find_first_of(std::string(1, quote) + '\0', from);
                const char* const value = close != std::string::npos && text[close] == quote
                                              ? p + (close - from)
                                              : nullptr;
                const size_t stopAt = close == std::string::npos ? text.size() : close;
                const bool references = text.find('&', from) < stopAt;
                for (const bool vector : {true, false}) {
                    bool found = false;
                    EXPECT_EQ(vector ? syntax::findValueEnd<true>(p, end, quote, found)
                                     : syntax::findValueEnd<false>(p, end, quote, found),
                              value);
                    EXPECT_EQ(found, references);
                }
            }
        }
    }
}

// What the checked run hands to its look: every byte that is no plain ASCII
// text, except the characters of two bytes it may pass whole; a marker
// found ends the run before any byte after it is looked at.
TEST(Scan, ACheckedRunLooksAtEveryByteThatNeedsItUpToTheMarker) {
    const std::string text = std::string(20, 'a') + "\r\x01\xE2\x82\xAC\xC3\xA9" + "]]>" + "\x02";
    for (const bool vector : {true, false}) {
        std::string looked;
        const auto look = [&](const char* at) {
            looked += *at;
            return passCharacter(at, text.data() + text.size());
        };
        const char* const end = text.data() + text.size();
        const char* const found =
            vector ? syntax::findMarkerChecking<true>(text.data(), end, "]]>", 3, look)
                   : syntax::findMarkerChecking<false>(text.data(), end, "]]>", 3, look);
        EXPECT_EQ(offsetOf(found, text), text.find("]]>"));
        EXPECT_EQ(looked.substr(0, 3), "\r\x01\xE2");
        EXPECT_EQ(looked.find('\x02'), std::string::npos);
    }
}

template <class Bytes>
std::string readTag(const std::string& text) {
    const char* const end = text.data() + text.size();
    syntax::Span name;
    const char* p = syntax::startTagAt<Bytes>(text.data(), end, name);
    if (p == nullptr) {
        return "-";
    }
    std::string read(name.data, name.size);
    syntax::ScannedAttribute attribute;
    while (const char* after = syntax::attributeAt<Bytes>(p, end, attribute)) {
        read += " " + std::string(attribute.name.data, attribute.name.size) + "=" +
                std::string(attribute.value.data, attribute.value.size) +
                (attribute.references ? "&" : "");
        p = after;
    }
    const char* after = nullptr;
    switch (syntax::tagEndAt<Bytes>(p, end, after)) {
        case syntax::TAG_END_CONTENT:
            return read + ">" + std::string(after, end);
        case syntax::TAG_END_EMPTY:
            return read + "/>" + std::string(after, end);
        case syntax::TAG_END_NONE:
            break;
    }
    return read + " ?" + std::string(syntax::skipBlanksOf<Bytes>(p, end), end);
}

TEST(Tags, StartTagsAreReadUpToWhatNeedsTheReadersOwnLook) {
    const struct {
        const char* text;
        const char* strict;
        const char* conforming;
    } rows[] = {
        {"<a>t", "a>t", "a>t"},
        {"<a/>", "a/>", "a/>"},
        {"<a x=\"1\" y = '2'>", "a x=1 y=2>", "a x=1 y=2>"},
        {"<a x=\"&amp;\"/>", "a x=&amp;&/>", "a x=&amp;&/>"},
        {"<a\tx='1'\n/>", "a x=1/>", "a x=1/>"},
        // A control byte is a blank to the strict reader only.
        {"<a\x01x='1'>", "a x=1>", "-"},
        // Names outside ASCII or of other bytes are the strict reader's own.
        {"<\xC3\xA9 x='1'>", "\xC3\xA9 x=1>", "-"},
        {"<a x\xC3\xA9='1'>", "a x\xC3\xA9=1>", "a ?x\xC3\xA9='1'>"},
        {"<a b:c='1'>", "a b:c=1>", "a b:c=1>"},
        {"<1 x='1'>", "1 x=1>", "-"},
        // Values that end elsewhere than at their quote, and tags cut short.
        {"<a x='1\"/>", "a ?x='1\"/>", "a ?x='1\"/>"},
        {"<a x=1/>", "a ?x=1/>", "a ?x=1/>"},
        {"<a x='1'", "a x=1 ?", "a x=1 ?"},
        {"<a", "-", "-"},
        {"<a x>", "a ?x>", "a ?x>"},
        {"<a / >", "a ?/ >", "a ?/ >"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::string text(row.text);
        EXPECT_EQ(readTag<syntax::StrictTagBytes>(text), row.strict);
        EXPECT_EQ(readTag<syntax::XMLTagBytes>(text), row.conforming);
    }
    // A NUL ends a value short, as the strict reader's strings end there.
    const std::string withNul("<a x='1\0'/>", 11);
    EXPECT_EQ(readTag<syntax::StrictTagBytes>(withNul), "a ?" + withNul.substr(3));
}

TEST(Tags, EndTagsMatchTheOpenElementWhole) {
    const struct {
        const char* text;
        bool strict;
        bool conforming;
    } rows[] = {
        {"</ab>", true, true},      {"</ab  >", true, true},         {"</ab\n>", true, true},
        {"</abc>", false, false},   {"</a>", false, false},          {"</ab/>", false, false},
        {"</ab", false, false},     {"</ab >x", true, true},         {"<ab>", false, false},
        {"</ab\x01>", true, false}, {"</ab\xC3\xA9>", false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const std::string text(row.text);
        const char* const end = text.data() + text.size();
        const char* const strict =
            syntax::endTagAt<syntax::StrictTagBytes>(text.data(), end, "ab", 2);
        const char* const conforming =
            syntax::endTagAt<syntax::XMLTagBytes>(text.data(), end, "ab", 2);
        EXPECT_EQ(strict != nullptr, row.strict);
        EXPECT_EQ(conforming != nullptr, row.conforming);
        if (strict != nullptr) {
            EXPECT_EQ(strict[-1], '>');
        }
    }
}

}  // namespace
