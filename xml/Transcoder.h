// Transcoder brings a document's bytes to UTF-8 before the lenient reader
// reads them: a UTF-8 byte-order mark is dropped, UTF-32 and UTF-16 (found by
// their byte-order marks or by "<" in their first four bytes) are converted,
// and so is
// every encoding named in the declaration that the C library's iconv knows
// (ISO-8859-x, Windows-125x, KOI8-R, EUC-JP, Shift_JIS, GB2312, Big5, ...).
// Bytes of a document that names no encoding, or UTF-8, are kept as they are.
//
// Internal to the reader: DOMParser is its only user (the header is not
// installed).
//
//   Transcoder::Place failedAt;
//   std::string from = Transcoder::toUTF8(bytes, failedAt);  // "" if UTF-8
#ifndef KAVRIXML_XML_TRANSCODER_H
#define KAVRIXML_XML_TRANSCODER_H

#include <cstddef>
#include <string>

namespace kavri {
namespace xml {

class Transcoder {
  public:
    // 1-based line and column, in characters, of the first character that
    // does not convert; line 0 when no conversion failed.
    struct Place {
        unsigned line = 0;
        unsigned column = 0;
    };

    // Converts `bytes` to UTF-8 in place. Returns the encoding converted from,
    // or "" when the bytes were UTF-8 already (a byte-order mark is dropped
    // either way). Throws XMLException "Unsupported encoding %s" for a name
    // iconv does not know, and "Invalid byte sequence in encoding %s at line
    // %u, column %u" for bytes that are not text in the encoding; `failedAt`
    // then says where.
    static std::string toUTF8(std::string& bytes, Place& failedAt);

    // The encoding named by an <?xml ...?> declaration at the start of
    // `bytes` (read as ASCII), or "" when there is none; `offset` is where
    // the name begins.
    static std::string declaredEncoding(const std::string& bytes, size_t& offset);

    // Converts the UTF-8 `text` into `encoding` in place (no byte-order
    // mark). A character the encoding lacks goes out as a character
    // reference ("&#xE9;"), when the encoding writes ASCII as ASCII; throws
    // XMLException "Character U+%04X cannot be written in %s" otherwise.
    static void fromUTF8(std::string& text, const std::string& encoding);

  private:
    // convert, for UTF-16 and UTF-32 found by their first bytes, and a check
    // that the declaration names no other encoding.
    static std::string convertWide(std::string& bytes, size_t from, const char* encoding,
                                   Place& failedAt);
    // [bytes + from, end) in `encoding` into `converted` as UTF-8.
    static void convert(const std::string& bytes, size_t from, const std::string& encoding,
                        std::string& converted, Place& failedAt);
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_TRANSCODER_H
