// XMLBytes sorts the 256 byte values once for everything that reads or writes
// XML: the XML lexer answers its one-character questions from it, the
// reader's byte-level scanner finds names and blanks with it, and the writer
// and StringUtil's escaping find the bytes to write as references with it
// (through XMLSyntax, the rest of XML's rules).
// One table keeps them in step: a byte that ends a word for the lexer ends a
// plain name for the scanner, and what the writer escapes is what the
// escaping functions escape, plus the white space other readers would change.
//
//   if (syntax::XMLBytes::is(c, syntax::XMLBytes::BLANK)) { ... }
//
// Bytes 128 to 255 are ordinary text (UTF-8 sequences pass through whole).
// The conforming reader's classes (SPACE, NAME_START_CHAR, NAME_CHAR,
// PLAIN_TEXT) hold XML 1.0's own classes for ASCII bytes; a byte from 0x80
// on is in none of them and is decoded (XMLChars).
//
// Part of the syntax unit (syntax/), which depends on the standard
// library alone, so that every layer above may use it.
#ifndef KAVRIXML_SYNTAX_XMLBYTES_H
#define KAVRIXML_SYNTAX_XMLBYTES_H

#include <cstdint>

#include "syntax/XMLChars.h"

namespace kavri {
namespace xml {
namespace syntax {

namespace detail {

// The five bytes XML reserves (written as &amp; &lt; &gt; &quot; &apos;).
inline constexpr const char XML_RESERVED[] = "&<>\"'";
// What the writer writes as references: the reserved five and, because
// every conforming reader turns them into a line feed (in text) or a blank
// (in attribute values), the carriage return in text and the tab, line feed
// and carriage return in attribute values. In strcspn's form.
inline constexpr const char XML_TEXT_ESCAPES[] = "&<>\"'\r";
inline constexpr const char XML_ATTRIBUTE_ESCAPES[] = "&<>\"'\t\n\r";

// Bits of XMLBytes::Class per byte value, made at compile time.
struct XMLByteTable {
    uint16_t bits[256];
    constexpr void mark(const char* bytes, uint16_t bit) {
        for (; *bytes != '\0'; ++bytes) {
            bits[static_cast<unsigned char>(*bytes)] |= bit;
        }
    }
    constexpr XMLByteTable() : bits() {
        for (int byte = 0; byte < 256; ++byte) {
            bits[byte] = byte <= 32 ? 1 /* BLANK */ : 8 /* NAME */;
        }
        for (char c : {'"', '\''}) {
            bits[static_cast<unsigned char>(c)] = 2;  // QUOTE
        }
        for (char c : {'<', '>', '/', '?', '!', '=', '[', ']'}) {
            bits[static_cast<unsigned char>(c)] = 4;  // TOKEN
        }
        for (char c : {'"', '\'', '&', '\0'}) {
            bits[static_cast<unsigned char>(c)] |= 16;  // VALUE_STOP
        }
        mark(XML_RESERVED, 32);            // RESERVED
        mark(XML_TEXT_ESCAPES, 64);        // ESCAPE_IN_TEXT
        mark(XML_ATTRIBUTE_ESCAPES, 128);  // ESCAPE_IN_ATTRIBUTE
        for (uint32_t c = 0; c < 0x80; ++c) {
            if (isSpace(static_cast<char>(c))) {
                bits[c] |= 256;  // SPACE
            }
        }
        for (uint32_t c = 0x20; c < 0x80; ++c) {
            if (isNameStartChar(c)) {
                bits[c] |= 512;  // NAME_START_CHAR
            }
            if (isNameChar(c)) {
                bits[c] |= 1024;  // NAME_CHAR
            }
            if (c != '<' && c != '&' && c != ']') {
                bits[c] |= 2048;  // PLAIN_TEXT
            }
        }
        mark("\t\n\r", 2048);
    }
};
inline constexpr XMLByteTable XML_BYTE_TABLE{};

}  // namespace detail

class XMLBytes {
  public:
    enum Class : uint16_t {
        // Bytes 0 to 32: skipped between tokens, trimmed from bodies.
        BLANK = 1,
        // A double quote or an apostrophe: begins and ends a quoted string.
        QUOTE = 2,
        // The first byte of a registered token of the XML lexer:
        // "<" ">" "/" "?" "!" "=" "[CDATA[" "]]".
        TOKEN = 4,
        // Any other byte: it always continues a name. (A bracket may continue
        // one too, where no "[CDATA[" or "]]" begins; that case is left to the
        // lexer.)
        NAME = 8,
        // Ends a run of ordinary bytes inside a quoted value: a quote, '&'
        // (a reference to decode) or NUL.
        VALUE_STOP = 16,
        // & < > " ': what StringUtil::encodeXML writes as references.
        RESERVED = 32,
        // What the writer writes as references in text, and in attribute
        // values (see TEXT_ESCAPES and ATTRIBUTE_ESCAPES).
        ESCAPE_IN_TEXT = 64,
        ESCAPE_IN_ATTRIBUTE = 128,
        // XML's white space (S): blank, tab, line feed, carriage return.
        SPACE = 256,
        // ASCII bytes of XML's NameStartChar and NameChar.
        NAME_START_CHAR = 512,
        NAME_CHAR = 1024,
        // Text that needs no look of its own in content: a Char of ASCII
        // that neither begins markup or a reference nor may begin "]]>".
        PLAIN_TEXT = 2048,
    };

    // The ESCAPE_IN_TEXT and ESCAPE_IN_ATTRIBUTE bytes as strcspn takes them.
    static constexpr const char* TEXT_ESCAPES = detail::XML_TEXT_ESCAPES;
    static constexpr const char* ATTRIBUTE_ESCAPES = detail::XML_ATTRIBUTE_ESCAPES;

    static bool is(char c, Class kind) {
        return (detail::XML_BYTE_TABLE.bits[static_cast<unsigned char>(c)] & kind) != 0;
    }
};

}  // namespace syntax
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_SYNTAX_XMLBYTES_H
