// XMLSyntax is the one place where this library writes down XML's rules:
// blanks, quotes, markers and the comparison of names (the scans over them
// are XMLScan's and XMLTags'), the comments and processing instructions
// that are passed over unread, the references (the five
// predefined entities and character references, written out as UTF-8), and
// the escaping of text, attribute values and CDATA sections, and the names
// of encodings. The reader and its fast path, lenient reading, the
// transcoder, the writer and StringUtil's escaping all call it, so that a
// reference decodes the same wherever it is allowed and a byte is escaped
// the same by every writer.
//
// Depends on the standard library alone, like XMLBytes (the byte classes)
// and XMLScan (the scans): it sits below every other folder. The scans and
// the escaping are inline, because the reader and the writer call them once
// per tag, name or value.
//
//   std::string out;
//   syntax::decodeReferences("a &amp; &#xE9;", 14, out);   // "a & é"
//   syntax::putCData(data, size, [&](const char* bytes, size_t n) { out.append(bytes, n); });
#ifndef KAVRIXML_SYNTAX_XMLSYNTAX_H
#define KAVRIXML_SYNTAX_XMLSYNTAX_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "syntax/XMLBytes.h"
#include "syntax/XMLChars.h"
#include "syntax/XMLScan.h"

namespace kavri {
namespace xml {
namespace syntax {

// --- Scans over the input -------------------------------------------------------------

// Bytes 0 to 32: white space between the pieces of markup.
inline bool isBlank(char c) {
    return XMLBytes::is(c, XMLBytes::BLANK);
}

// A double quote or an apostrophe: the two quotes of a literal.
inline bool isQuote(char c) {
    return XMLBytes::is(c, XMLBytes::QUOTE);
}

// Drops the blanks (bytes 0 to 32) at both ends of `text`: a trimmed body.
inline void trimBlanks(std::string& text) {
    size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1])) {
        --end;
    }
    size_t begin = 0;
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    text.erase(end);
    text.erase(0, begin);
}

inline bool startsWith(const char* p, const char* end, const char* prefix) {
    const size_t length = std::strlen(prefix);
    return static_cast<size_t>(end - p) >= length && std::memcmp(p, prefix, length) == 0;
}

// The place just after the next `marker` from `p`, or null when none comes.
inline const char* past(const char* p, const char* end, const char* marker) {
    const size_t length = std::strlen(marker);
    const char* const found = findMarker(p, end, marker, length);
    return found != end ? found + length : nullptr;
}

// --- Names --------------------------------------------------------------------------------

// Names compare as exact bytes. Equality of two names of `length` bytes, read
// as a few words (never past either end) rather than byte by byte: names are
// short, and a call to memcmp would cost more than the compare.
inline bool sameName(const char* a, const char* b, size_t length) {
    auto load64 = [](const char* bytes) {
        uint64_t word;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    };
    auto load32 = [](const char* bytes) {
        uint32_t word;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    };
    if (length >= 8) {
        for (size_t at = 0; at + 8 < length; at += 8) {
            if (load64(a + at) != load64(b + at)) {
                return false;
            }
        }
        return load64(a + length - 8) == load64(b + length - 8);
    }
    if (length >= 4) {
        return load32(a) == load32(b) && load32(a + length - 4) == load32(b + length - 4);
    }
    for (size_t at = 0; at < length; ++at) {
        if (a[at] != b[at]) {
            return false;
        }
    }
    return true;
}

// The same for two NUL-terminated names.
inline bool sameName(const char* a, const char* b) {
    return std::strcmp(a, b) == 0;
}

// --- Markup that is passed over -----------------------------------------------------------

inline constexpr const char COMMENT_START[] = "<!--";
inline constexpr const char COMMENT_END[] = "-->";
inline constexpr const char INSTRUCTION_START[] = "<?";
inline constexpr const char INSTRUCTION_END[] = "?>";
inline constexpr const char CDATA_START[] = "<![CDATA[";
inline constexpr const char CDATA_END[] = "]]>";

enum Markup { MARKUP_NONE, MARKUP_COMMENT, MARKUP_INSTRUCTION };

// Whether a comment or a processing instruction begins at `p`.
inline Markup markupAt(const char* p, const char* end) {
    if (startsWith(p, end, COMMENT_START)) {
        return MARKUP_COMMENT;
    }
    return startsWith(p, end, INSTRUCTION_START) ? MARKUP_INSTRUCTION : MARKUP_NONE;
}

// The place after the comment or processing instruction (`kind`) that
// begins at `p`; null when it never ends.
inline const char* markupEnd(Markup kind, const char* p, const char* end) {
    return kind == MARKUP_COMMENT ? past(p + sizeof COMMENT_START - 1, end, COMMENT_END)
                                  : past(p + sizeof INSTRUCTION_START - 1, end, INSTRUCTION_END);
}

// --- References ----------------------------------------------------------------------------

// The character one of the five predefined entities stands for, from its
// name (without '&' and ';'); 0 for any other name.
inline char predefinedEntity(const char* name, size_t length) {
    switch (length) {
        case 2:
            if (name[1] == 't' && (name[0] == 'l' || name[0] == 'g')) {
                return name[0] == 'l' ? '<' : '>';
            }
            return 0;
        case 3:
            return std::memcmp(name, "amp", 3) == 0 ? '&' : 0;
        case 4:
            if (std::memcmp(name, "apos", 4) == 0) {
                return '\'';
            }
            return std::memcmp(name, "quot", 4) == 0 ? '"' : 0;
        default:
            return 0;
    }
}

// A character reference read from its '&': the bytes it takes (0: no
// reference stands there) and the code point it names, which may be no
// character at all (0, a surrogate half; above U+10FFFF it reads 0x110000).
struct CharacterReference {
    size_t length;
    uint32_t code;
};

// The character reference at `p` (its '&'), read up to `end`: "&#" decimal
// digits ";" or "&#x" hexadecimal digits ";", any number of them, leading
// zeros included. XML writes the marker "x"; `capitalX` takes "X" too, as
// strict reading always has. The scan stops at the first byte that is no
// digit, so a text full of unfinished references stays linear.
inline CharacterReference readCharacterReference(const char* p, const char* end, bool capitalX) {
    const CharacterReference none{0, 0};
    if (end - p < 3 || p[1] != '#') {
        return none;
    }
    const char* digits = p + 2;
    uint32_t base = 10;
    if (*digits == 'x' || (capitalX && *digits == 'X')) {
        base = 16;
        ++digits;
    }
    uint32_t code = 0;
    const char* d = digits;
    for (; d < end; ++d) {
        uint32_t v;
        if (*d >= '0' && *d <= '9') {
            v = static_cast<uint32_t>(*d - '0');
        } else if (base == 16 && (*d | 0x20) >= 'a' && (*d | 0x20) <= 'f') {
            v = static_cast<uint32_t>((*d | 0x20) - 'a' + 10);
        } else {
            break;
        }
        // Stays above the range however many digits follow.
        code = code > 0x10FFFF ? 0x110000 : code * base + v;
    }
    if (d == digits || d == end || *d != ';') {
        return none;
    }
    return {static_cast<size_t>(d + 1 - p), code > 0x10FFFF ? 0x110000 : code};
}

// Appends [text, text + length) to `out` with every reference to a
// predefined entity and every character reference ("x" or "X") that names a
// character replaced by what it stands for; any other '&' is kept as written.
void decodeReferences(const char* text, size_t length, std::string& out);

// Where the '&'s of a text stand, as findTextEnd notes them, in order:
// the first CAPACITY of them; `count` counts them all.
struct Ampersands {
    static constexpr size_t CAPACITY = 64;
    const char* at[CAPACITY];
    size_t count = 0;

    void note(const char* amp) {
        if (count < CAPACITY) {
            at[count] = amp;
        }
        ++count;
    }
};

// Where the text at `p` stops: its first '<' or NUL, or `end`; notes the
// text's '&'s after those noted already (a reference never holds '<' or
// NUL). One pass, thirty-two
// bytes at a time where the processor has AVX2 and `wide` allows it,
// sixteen otherwise.
const char* findTextEnd(const char* p, const char* end, Ampersands& ampersands, bool wide = true);
// decodeReferences of a text whose '&'s findTextEnd noted.
void decodeReferences(const char* text, size_t length, const Ampersands& ampersands,
                      std::string& out);

// --- Encoding names --------------------------------------------------------------------

// Whether [name, name + length) is an encoding name as XML writes one
// (EncName): a letter, then letters, digits, '.', '_' and '-'. Nothing else
// reaches iconv, which reads suffixes such as "//IGNORE" as options.
bool isEncodingName(const char* name, size_t length);

// --- Escaping --------------------------------------------------------------------------------

// The predefined entity's reference for one of the five bytes XML reserves
// (& < > " '), or null for any other byte.
inline const char* predefinedReference(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        case '\'':
            return "&apos;";
        default:
            return nullptr;
    }
}

// What the writer writes for a byte it escapes: the predefined reference, or
// a character reference for the white space that readers would change.
inline const char* referenceFor(char c) {
    switch (c) {
        case '\t':
            return "&#9;";
        case '\n':
            return "&#10;";
        case '\r':
            return "&#13;";
        default:
            return predefinedReference(c);
    }
}

// Hands the NUL-terminated `text` to `put` with each byte of `specials`
// (XMLBytes::TEXT_ESCAPES or ATTRIBUTE_ESCAPES) replaced by its reference:
// runs of plain bytes go in one piece as put(bytes, length), references as
// put(reference), NUL-terminated. Returns the text's length.
template <class Put>
size_t putEscaped(const char* text, const char* specials, Put&& put) {
    const char* p = text;
    for (;;) {
        const size_t run = std::strcspn(p, specials);
        put(p, run);
        p += run;
        if (*p == '\0') {
            return static_cast<size_t>(p - text);
        }
        put(referenceFor(*p));
        ++p;
    }
}

// Appends [text, text + length), NUL bytes included, to `out` with the five
// reserved bytes written as their predefined references.
void appendEscapedReserved(const char* text, size_t length, std::string& out);

// Hands the bytes of `size` to `put(bytes, length)` as CDATA: one section,
// byte for byte, unless the bytes hold "]]>", which ends a section; each is
// then cut between "]]" and ">", so that "x]]>y" goes out as
// <![CDATA[x]]]]><![CDATA[>y]]>, which every reader takes as the same bytes.
template <class Put>
void putCData(const char* data, size_t size, Put&& put) {
    static const char SPLIT[] = "]]><![CDATA[";
    put(CDATA_START, sizeof CDATA_START - 1);
    size_t run = 0;
    const char* const end = data + size;
    for (const char* found; (found = findMarker(data + run, end, CDATA_END, 3)) != end;) {
        const size_t cut = static_cast<size_t>(found - data) + 2;
        put(data + run, cut - run);
        put(SPLIT, sizeof SPLIT - 1);
        run = cut;
    }
    put(data + run, size - run);
    put(CDATA_END, sizeof CDATA_END - 1);
}

}  // namespace syntax
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_SYNTAX_XMLSYNTAX_H
