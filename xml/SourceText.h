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

#include "core/SmartPtr.h"
#include "xml/ContentItem.h"

namespace kavri {
namespace xml {

class XNode;

class SourceText {
  public:
    // A reference in content to an entity whose replacement text made
    // elements (or other markup), in the element it stands in. The text
    // keeps the reference as written; while what it made is as read, the
    // reference is written as read, and once an edit has changed that, as
    // the tree now has it. In the element's content in order the reference
    // is a text item of its own, the elements it made after it.
    struct Reference {
        uint32_t start = 0;  // the '&'
        uint32_t end = 0;    // after the ';'
        // What the replacement text made there, in order: its texts, CDATA
        // sections, comments and instructions holding their text, and its
        // elements (an element they hold keeps its own content in order).
        std::vector<ContentItem> made;
        // The elements among them, held: one removed from the tree can
        // still be asked where it stands.
        std::vector<::core::SmartPtr<XNode>> elements;
        // `made` as the writer writes it out, when it was read.
        size_t writtenSize = 0;
        size_t writtenHash = 0;
    };
    // What goes with an item of an element's content in order (`items`
    // of `parent`, as edited) that a reference made or stands for. A
    // reference's own item brings the parts of `made` up to the first of
    // its elements still in `parent`, or all of them (`whole`) when those
    // elements follow it in order: the `skip` items after it. An element
    // it made brings the parts after it up to the next one still there.
    // Parts of a reference whose item is gone go with it.
    struct MadeAt {
        const Reference* reference = nullptr;
        uint32_t from = 0;  // the parts [from, to) of reference->made
        uint32_t to = 0;
        uint32_t skip = 0;
        bool whole = false;
    };

    SourceText() = default;
    SourceText(const SourceText&) = delete;
    SourceText& operator=(const SourceText&) = delete;
    ~SourceText();

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

    // The reference whose text is [start, end), or null.
    const Reference* referenceAt(uint32_t start, uint32_t end) const;
    // What goes with each of `items` (into `out`, one per item).
    void madeIn(const std::vector<ContentItem>& items, const XNode* parent,
                std::vector<MadeAt>& out) const;
    // `items` no longer tied to the input, each reference's item and
    // elements replaced by what it made as madeIn places it.
    void detachContent(const std::vector<ContentItem>& items, const XNode* parent,
                       std::vector<ContentItem>& out) const;
    // The characters of `item`, a text read from the input, with the
    // references to entities that made text alone replaced by that text.
    void appendText(const ContentItem& item, std::string& out) const;

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
    // The references that made elements, ascending.
    std::vector<Reference> references;
    // The text of each entity a reference to which made text alone.
    std::unordered_map<std::string, std::string> entityTexts;

  private:
    static bool isUTF7(const std::string& name);
    static void encodeUTF7(std::string& out);
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_SOURCETEXT_H
