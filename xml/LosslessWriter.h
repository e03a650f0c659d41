// LosslessWriter writes a document read losslessly as its author wrote it
// (Document::writeLossless): every part that was not changed goes out with
// the bytes it was read from, and only what was edited is written anew.
//
// - An element whose name and attributes are as read keeps its start and
//   end tags byte for byte. Otherwise its start tag is written from the
//   input's pieces: an attribute as read keeps its bytes; one whose value
//   changed keeps its place, its white space and its quote character, and
//   gets the new value escaped; a removed one goes with the white space
//   before it; a new one goes at the end of the tag, as name="value". An
//   empty-element tag that gains content becomes a start and an end tag.
// - Content that was not edited is copied between the children; edited
//   content writes each part read from the input with its bytes and each
//   new or changed part anew: text escaped, comments, instructions and CDATA
//   in their markup. Elements made by edits or copied from elsewhere are
//   written whole: attributes in name order, content in order.
// - A reference to an entity whose replacement text made elements is
//   written as read while what it made is as read (the same when written
//   out); otherwise it is written as the tree now has it, its texts
//   escaped, its elements as new ones; when the content in order no longer
//   has its elements right after it, its parts go around them where they
//   stand. Removing the reference's own item leaves its elements, written
//   as new ones, without the rest of what it made.
// - The output is in the input's encoding, with its byte-order mark and
//   its line ends where they were read.
//
// It owns nothing and lives for one write. Internal to the library (the
// header is not installed).
//
//   std::string out;
//   LosslessWriter(doc, out).write();
#ifndef KAVRIXML_XML_LOSSLESSWRITER_H
#define KAVRIXML_XML_LOSSLESSWRITER_H

#include <cstdint>
#include <string>
#include <vector>

#include "xml/SourceText.h"

namespace kavri {
namespace xml {

class ContentItem;
class Document;
class XNode;

class LosslessWriter {
  public:
    LosslessWriter(const Document& doc, std::string& out);

    // Appends the document to the output.
    void write();

    // Remembers how what `reference` made, in `parent`, is written out: a
    // write tells by it whether that has changed.
    static void rememberMade(const SourceText& source, SourceText::Reference& reference,
                             const XNode* parent);

  private:
    // The attributes of a start tag as the input has them.
    struct TagAttribute {
        uint32_t lead;  // the white space before the name
        uint32_t name;
        uint32_t nameEnd;
        uint32_t valueStart;  // after the opening quote
        uint32_t valueEnd;    // at the closing quote
    };

    LosslessWriter(const SourceText& source, std::string& out);

    bool writtenAsRead() const;
    void writeAround(const std::vector<ContentItem>* edited, uint32_t from, uint32_t to);
    void writeElement(const XNode* node);
    void writeContentAsRead(const XNode* node, uint32_t from, uint32_t to);
    void writeItems(const std::vector<ContentItem>& items, const XNode* parent);
    void writeItem(const ContentItem& item);
    void keepLineEnds();
    void writeContent(const XNode* parent, uint32_t from, uint32_t to);
    void writeReference(const SourceText::Reference& reference, const XNode* parent);
    void writeMade(const SourceText::Reference& reference, const XNode* parent, size_t from,
                   size_t to);
    void writeNewElement(const XNode* node);
    void writeNewAttributes(const XNode* node, const std::vector<TagAttribute>& kept);
    void writeStartTag(const XNode* node, uint32_t contentStart, bool opens);
    void writeEndTag(const XNode* node);
    bool tagAsRead(const XNode* node);
    uint32_t readTag(uint32_t start);
    bool sameValue(const TagAttribute& attribute, const std::string& value) const;
    void bytes(uint32_t from, uint32_t to);
    void escaped(const std::string& text, const char* specials);

    const Document* mDocument;
    const SourceText& mSource;
    std::string& mOut;
    const size_t mFirst;             // where the document begins in the output
    bool mChanged = false;           // a part was written anew
    std::vector<TagAttribute> mTag;  // of the tag last read
    uint32_t mTagEnd = 0;            // the white space before its '>' or "/>"
    std::string mName;               // scratch: a name as a C string
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_LOSSLESSWRITER_H
