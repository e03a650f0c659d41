// XMLTags reads the forms of a tag straight from the input bytes, for both
// readers: a start tag's "<name", an attribute's name="value", a tag's end
// ">" or "/>", and an end tag "</name>". Each form is written once, over the
// bytes as one reading sees them (its blanks and its names):
// - StrictTagBytes, the strict reader's: blanks are the bytes 0 to 32, a
//   name is a run of bytes that are neither blanks, quotes nor the first
//   byte of markup (what its lexer makes a word of).
// - XMLTagBytes, the conforming reader's: XML's white space, and names of
//   XML's ASCII name characters; a name that goes on outside ASCII is left
//   to the reader, which decodes and checks it.
// A form that is not there, or not plainly there, yields null and leaves the
// bytes to the reader's own path, which reports the faults in its words.
// Values are found by XMLScan's one loop.
//
// Depends on the standard library alone, like the rest of syntax/. Inline:
// the readers call the forms once per tag and attribute.
//
//   syntax::Span name;
//   const char* p = syntax::startTagAt<syntax::StrictTagBytes>(text, end, name);
//   syntax::ScannedAttribute attribute;
//   while (p != nullptr && (q = syntax::attributeAt<syntax::StrictTagBytes>(p, end, attribute)))
//   ...
#ifndef KAVRIXML_SYNTAX_XMLTAGS_H
#define KAVRIXML_SYNTAX_XMLTAGS_H

#include <cstddef>

#include "syntax/XMLBytes.h"
#include "syntax/XMLScan.h"
#include "syntax/XMLSyntax.h"

namespace kavri {
namespace xml {
namespace syntax {

// Bytes of the input.
struct Span {
    const char* data = nullptr;
    size_t size = 0;
};

struct ScannedAttribute {
    Span name;
    Span value;       // between the quotes, not decoded
    bool references;  // the value holds '&': it needs decoding
};

enum TagEnd { TAG_END_NONE, TAG_END_CONTENT /* ">" */, TAG_END_EMPTY /* "/>" */ };

// The strict reader's bytes. Its input ends with a NUL (a std::string's
// terminator), which ends every name: a name's scan needs no bound.
struct StrictTagBytes {
    static bool isBlank(char c) { return syntax::isBlank(c); }
    // No bound: the NUL at the end is no name byte.
    static const char* nameEnd(const char* p, const char*) {
        while (XMLBytes::is(*p, XMLBytes::NAME)) {
            ++p;
        }
        return p;
    }
    // Whether `c`, right after a name, surely ends it.
    static bool endsName(char c) { return !XMLBytes::is(c, XMLBytes::NAME); }
    // The closing `quote` of a value from `p`, or null where a NUL comes
    // first; `references` is set when the value holds '&'. No bound, as for
    // names: most values are a few bytes, passed by a table look-up each.
    static const char* valueEnd(const char* p, const char*, char quote, bool& references) {
        for (;; ++p) {
            while (!XMLBytes::is(*p, XMLBytes::VALUE_STOP)) {
                ++p;
            }
            if (*p == quote) {
                return p;
            }
            if (*p == '\0') {
                return nullptr;
            }
            references = references || *p == '&';
        }
    }
};

// The conforming reader's bytes.
struct XMLTagBytes {
    static bool isBlank(char c) { return XMLBytes::is(c, XMLBytes::SPACE); }
    // The end of the ASCII name at `p`; `p` itself when none begins there.
    // A name may go on at a byte from 0x80 on, which the reader decodes.
    static const char* nameEnd(const char* p, const char* end) {
        if (p == end || !XMLBytes::is(*p, XMLBytes::NAME_START_CHAR)) {
            return p;
        }
        ++p;
        while (p < end && XMLBytes::is(*p, XMLBytes::NAME_CHAR)) {
            ++p;
        }
        return p;
    }
    static bool endsName(char c) {
        return static_cast<unsigned char>(c) < 0x80 && !XMLBytes::is(c, XMLBytes::NAME_CHAR);
    }
    static const char* valueEnd(const char* p, const char* end, char quote, bool& references) {
        return findValueEnd(p, end, quote, references);
    }
};

template <class Bytes>
inline const char* skipBlanksOf(const char* p, const char* end) {
    while (p < end && Bytes::isBlank(*p)) {
        ++p;
    }
    return p;
}

// "<name" followed by a blank, ">" or "/": the place after "<name".
template <class Bytes>
inline const char* startTagAt(const char* p, const char* end, Span& name) {
    if (end - p < 3 || *p != '<') {
        return nullptr;
    }
    const char* const first = p + 1;
    const char* const last = Bytes::nameEnd(first, end);
    // The name must end here for certain: at a blank, or where ">" or "/"
    // begins.
    if (last == first || last == end || !(Bytes::isBlank(*last) || *last == '>' || *last == '/')) {
        return nullptr;
    }
    name.data = first;
    name.size = static_cast<size_t>(last - first);
    return last;
}

// "</name>" (blanks allowed before ">") for the open element's `name` of
// `size` bytes: the place after it.
template <class Bytes>
inline const char* endTagAt(const char* p, const char* end, const char* name, size_t size) {
    if (static_cast<size_t>(end - p) < size + 3 || p[0] != '<' || p[1] != '/') {
        return nullptr;
    }
    // The name compared whole, then a byte that ends a name: the name read
    // would be the same (a name never holds the byte that ends it), without
    // a second scan over its bytes.
    const char* const first = p + 2;
    const char* const last = first + size;
    if (!sameName(first, name, size)) {
        return nullptr;
    }
    if (*last == '>') {
        return last + 1;  // the usual end tag, without blanks
    }
    if (!Bytes::endsName(*last)) {
        return nullptr;
    }
    p = skipBlanksOf<Bytes>(last, end);
    if (p == end || *p != '>') {
        return nullptr;
    }
    return p + 1;
}

// ">" or "/>" right at `p`: TAG_END_NONE, or the form with `after` set past it.
inline TagEnd tagCloseAt(const char* p, const char* end, const char*& after) {
    if (p < end && *p == '>') {
        after = p + 1;
        return TAG_END_CONTENT;
    }
    if (end - p >= 2 && p[0] == '/' && p[1] == '>') {
        after = p + 2;
        return TAG_END_EMPTY;
    }
    return TAG_END_NONE;
}

// Blanks, then ">" or "/>".
template <class Bytes>
inline TagEnd tagEndAt(const char* p, const char* end, const char*& after) {
    return tagCloseAt(skipBlanksOf<Bytes>(p, end), end, after);
}

// After an attribute's name: blanks, "=", blanks and a quote. The place of
// the quote, or null.
template <class Bytes>
inline const char* valueQuoteAt(const char* p, const char* end) {
    p = skipBlanksOf<Bytes>(p, end);
    if (p == end || *p != '=') {
        return nullptr;
    }
    p = skipBlanksOf<Bytes>(p + 1, end);
    return p != end && isQuote(*p) ? p : nullptr;
}

// Blanks, then name="value" or name='value' (blanks allowed around "="), in
// the strict reader's bytes: the place after the closing quote.
// Inline in each reader's tag loop: as a call it cost a sixth more than the
// loop it replaced.
template <class Bytes>
__attribute__((always_inline)) inline const char* attributeAt(const char* p, const char* end,
                                                              ScannedAttribute& found) {
    const char* const name = skipBlanksOf<Bytes>(p, end);
    const char* const nameEnd = Bytes::nameEnd(name, end);
    if (nameEnd == name) {
        return nullptr;
    }
    const char* const quote = valueQuoteAt<Bytes>(nameEnd, end);
    if (quote == nullptr) {
        return nullptr;
    }
    bool references = false;
    const char* const close = Bytes::valueEnd(quote + 1, end, *quote, references);
    if (close == nullptr) {
        return nullptr;
    }
    found.name.data = name;
    found.name.size = static_cast<size_t>(nameEnd - name);
    found.value.data = quote + 1;
    found.value.size = static_cast<size_t>(close - quote - 1);
    found.references = references;
    return close + 1;
}

}  // namespace syntax
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_SYNTAX_XMLTAGS_H
