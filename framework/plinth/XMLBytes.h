// XMLBytes sorts the 256 byte values once for everything that reads XML: the
// XML lexer answers its one-character questions from it, and the reader's
// byte-level scanner finds names and blanks with it. One table keeps the two
// in step: a byte that ends a word for the lexer ends a plain name for the
// scanner.
//
//   if (text::XMLBytes::is(c, text::XMLBytes::BLANK)) { ... }
//
// Bytes 128 to 255 are ordinary text (UTF-8 sequences pass through whole).
#ifndef KAVRIXML_FRAMEWORK_PLINTH_XMLBYTES_H
#define KAVRIXML_FRAMEWORK_PLINTH_XMLBYTES_H

namespace text {

namespace detail {

// Bits of XMLBytes::Class per byte value, made at compile time.
struct XMLByteTable {
    unsigned char bits[256];
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
    }
};
inline constexpr XMLByteTable XML_BYTE_TABLE{};

}  // namespace detail

class XMLBytes {
  public:
    enum Class : unsigned char {
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
    };

    static bool is(char c, Class kind) {
        return (detail::XML_BYTE_TABLE.bits[static_cast<unsigned char>(c)] & kind) != 0;
    }
};

}  // namespace text

#endif  // KAVRIXML_FRAMEWORK_PLINTH_XMLBYTES_H
