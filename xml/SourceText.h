// SourceText is what a lossless read keeps of its input: the text the reader
// read (UTF-8, LF line ends), the places where the input had a carriage
// return there, and, when the input was in another encoding or began with a
// byte-order mark, what it takes to give the bytes back as they were. The
// document's parts remember spans of it as 32-bit offsets into `text`.
//
// A Document read losslessly owns one; its nodes point into it through the
// document. Internal to the library (the header is not installed).
//
//   std::string out;
//   source.appendBytes(out, 0, source.size());   // the text with its CRs
//   source.encode(out);                           // in the input's encoding
#ifndef KAVRIXML_XML_SOURCETEXT_H
#define KAVRIXML_XML_SOURCETEXT_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "xml/ContentItem.h"

namespace kavri {
namespace xml {

class SourceText {
  public:
    // An offset or span that is not in the text (a part made by an edit).
    static constexpr uint32_t NONE = 0xFFFFFFFFu;
    // The largest input kept: offsets are 32 bits, NONE excepted.
    static constexpr size_t MAX_SIZE = 0xFFFFFFF0u;

    uint32_t size() const { return static_cast<uint32_t>(text.size()); }
    const char* at(uint32_t offset) const { return text.data() + offset; }

    // Appends [from, to) of the text with the carriage returns the reader
    // took out put back: the input's bytes, in UTF-8.
    void appendBytes(std::string& out, uint32_t from, uint32_t to) const;
    // Turns `out` from UTF-8 into the input's encoding, with the input's
    // byte-order mark before it. ISO-8859-1 writes characters it lacks as
    // character references. Throws XMLException for a character the
    // encoding cannot hold where no reference may stand.
    void encode(std::string& out) const;
    // Whether `out` holds what the input held after encode: the input's
    // own bytes then go out instead.
    bool keptOriginal() const { return !original.empty(); }

    // The value the reader gave the attribute whose value begins at
    // `offset`, when its bytes do not spell it (references, normalised
    // blanks); null when they do.
    const std::string* readValue(uint32_t offset) const {
        auto found = values.find(offset);
        return found != values.end() ? &found->second : nullptr;
    }

    std::string text;              // what the reader read: UTF-8, LF line ends
    std::vector<uint32_t> crlf;    // offsets of LFs that were CR LF, ascending
    std::vector<uint32_t> loneCR;  // offsets of LFs that were a lone CR, ascending
    std::string original;          // the input, when not UTF-8 without BOM
    std::string encoding;          // the encoding converted from ("" for UTF-8)
    bool byteOrderMark = false;    // a UTF-8 byte-order mark was dropped
    bool trimBodies = false;       // how the reader made bodies
    uint32_t rootStart = 0;        // the root element as read
    uint32_t rootEnd = 0;
    uint32_t declarationStart = NONE;  // the XML declaration, as written
    uint32_t declarationEnd = NONE;
    uint32_t docTypeStart = NONE;  // the DOCTYPE with its internal subset
    uint32_t docTypeEnd = NONE;
    std::unordered_map<uint32_t, std::string> values;
    uint64_t editsAtRead = 0;  // internal::EditCount when the reading ended
    // The content before and after the root once an edit has changed it.
    std::unique_ptr<std::vector<ContentItem>> beforeRoot;
    std::unique_ptr<std::vector<ContentItem>> afterRoot;

  private:
    static void encodeUTF7(std::string& out);
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_SOURCETEXT_H
