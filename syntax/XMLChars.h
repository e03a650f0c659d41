// The character classes of XML 1.0 (fifth edition) over code points, and the
// UTF-8 decoding the lenient reader checks them with: Char (what a document
// may hold at all), NameStartChar and NameChar (what names are made of), and
// the blanks. ASCII is answered from a table; the rest by ranges.
//
//   uint32_t c;
//   size_t n = syntax::decodeUTF8(p, end, c);  // 0: no UTF-8 there
//   if (n == 0 || !syntax::isChar(c)) ...
#ifndef KAVRIXML_SYNTAX_XMLCHARS_H
#define KAVRIXML_SYNTAX_XMLCHARS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kavri {
namespace xml {
namespace syntax {

constexpr bool isChar(uint32_t c) {
    return c < 0xD800 ? (c >= 0x20 || c == 0x9 || c == 0xA || c == 0xD)
                      : (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

constexpr bool isNameStartChar(uint32_t c) {
    if (c < 0x80) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    }
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

constexpr bool isNameChar(uint32_t c) {
    if (c < 0x80) {
        return isNameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }
    return isNameStartChar(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
           (c >= 0x203F && c <= 0x2040);
}

constexpr bool isSpace(char c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

// A character of a public identifier (PubidChar): letters, digits, blank,
// line feed, carriage return and -'()+,./:=?;!*#@$_%.
inline bool isPubidChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr(" \n\r-'()+,./:=?;!*#@$_%", c) != nullptr);
}

// The code point of the UTF-8 sequence at `p` in `c`, and its length; 0 for
// bytes that are no shortest-form UTF-8 of a code point (surrogates too).
inline size_t decodeUTF8(const char* p, const char* end, uint32_t& c) {
    const unsigned char b = static_cast<unsigned char>(*p);
    if (b < 0x80) {
        c = b;
        return 1;
    }
    size_t length;
    uint32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2, c = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3, c = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4, c = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (static_cast<size_t>(end - p) < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        const unsigned char t = static_cast<unsigned char>(p[i]);
        if ((t & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (t & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// Appends the UTF-8 form of a code point (one isChar accepts).
template <typename String>
void appendUTF8(String& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// True when [p, p + length) is an XML Name: a NameStartChar, then
// NameChars, in UTF-8 (colons included, as XML 1.0's Name has them).
inline bool isName(const char* p, size_t length) {
    const char* const end = p + length;
    for (bool first = true; p < end; first = false) {
        uint32_t c = 0;
        const size_t n = decodeUTF8(p, end, c);
        if (n == 0 || !(first ? isNameStartChar(c) : isNameChar(c))) {
            return false;
        }
        p += n;
    }
    return length != 0;
}

// UTF-8 counted in characters, as text functions count them: a character
// is a byte that is no continuation byte (10xxxxxx) with the continuation
// bytes after it, so that a stray byte counts as one character.
inline bool startsCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

inline size_t countCharacters(const char* text, size_t length) {
    size_t count = 0;
    for (size_t i = 0; i < length; ++i) {
        count += startsCharacter(text[i]) ? 1 : 0;
    }
    return count;
}

// The length in bytes of the character at text[at] (at < length).
inline size_t characterLength(const char* text, size_t length, size_t at) {
    size_t end = at + 1;
    while (end < length && !startsCharacter(text[end])) {
        ++end;
    }
    return end - at;
}

}  // namespace syntax
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_SYNTAX_XMLCHARS_H
