// ContentItem is one part of an element's content in document order, as a
// document read losslessly keeps it (DOMParser::setLossless): a run of text,
// a CDATA section, a comment, a processing instruction or a child element;
// before and after the root also the XML declaration and the DOCTYPE as
// written. A part read from the input knows its place there, and the
// document writes it back with its own bytes; a part made or changed by an
// edit holds its text and is written anew.
//
// Items are values handed out by ContentList (xml/ContentList.h); an item
// read from the input refers to its document's kept input, and an element
// item to the element, so neither outlives the document. Reading items
// changes nothing: threads may read them as they read the tree.
//
//   for (const ContentItem& item : ContentList(element))
//       if (item.getKind() == ContentItem::COMMENT) std::puts(item.getText().c_str());
//   // TEXT gives "a < b" for the text a &lt; b
#ifndef KAVRIXML_XML_CONTENTITEM_H
#define KAVRIXML_XML_CONTENTITEM_H

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace kavri {
namespace xml {

class SourceText;
class XNode;

class ContentItem {
  public:
    enum Kind { TEXT, CDATA, COMMENT, INSTRUCTION, ELEMENT, DECLARATION, DOCTYPE };

    ContentItem(const ContentItem& other);
    ContentItem(ContentItem&&) noexcept = default;
    ContentItem& operator=(const ContentItem& other);
    ContentItem& operator=(ContentItem&&) noexcept = default;
    ~ContentItem() = default;

    Kind getKind() const { return mKind; }
    // The element of an ELEMENT item, null for the others.
    XNode* getElement() const { return mElement; }
    // TEXT: the characters, references decoded (a reference to an entity
    // whose replacement text is text alone gives that text; one whose text
    // made elements stays as written, its parts following it); CDATA: the
    // section's bytes;
    // COMMENT: what stands between "<!--" and "-->"; INSTRUCTION: the data
    // after the target and its white space; DECLARATION and DOCTYPE: the
    // whole markup as written; ELEMENT: "".
    std::string getText() const;
    // getText() appended to `out`, so that a loop over items can keep one
    // string's room.
    void appendText(std::string& out) const;
    // Whether the item is a TEXT of white space alone, references decoded.
    bool isWhiteSpace() const;
    // The target of an INSTRUCTION ("" for the other kinds).
    std::string getTarget() const;
    // Whether the item stands as the input had it, so that its own bytes go
    // out when the document is written (an element's tags and content are
    // then compared with their input in turn); false for a part made or
    // changed by an edit, and for an element moved or added.
    bool isFromInput() const { return mStart != NONE; }

  private:
    friend class ContentList;
    friend class LosslessWriter;
    friend class SourceText;
    friend class XNode;
    static constexpr uint32_t NONE = 0xFFFFFFFFu;

    ContentItem(Kind kind, uint32_t start, uint32_t end, const SourceText* source)
        : mKind(kind), mStart(start), mEnd(end), mSource(source) {}
    ContentItem(Kind kind, std::string text) : mKind(kind) {
        if (!text.empty()) {
            ownedText() = std::move(text);
        }
    }
    static ContentItem element(XNode* node) {
        ContentItem item(ELEMENT, std::string());
        item.mElement = node;
        return item;
    }
    static ContentItem instruction(std::string target, std::string data) {
        ContentItem item(INSTRUCTION, std::move(data));
        if (!target.empty()) {
            item.owned().target = std::move(target);
        }
        return item;
    }
    // The same item holding its text, no longer tied to the input.
    ContentItem detached() const;
    // Where the instruction's data begins in the input.
    const char* instructionData(const char*& targetEnd) const;

    // The text (and an instruction's target) of a part made or changed by
    // an edit; parts read from the input, the most by far, hold none.
    struct Owned {
        std::string text;
        std::string target;
    };
    Owned& owned() {
        if (!mOwned) {
            mOwned.reset(new Owned);
        }
        return *mOwned;
    }
    std::string& ownedText() { return owned().text; }

    Kind mKind;
    uint32_t mStart = NONE;
    uint32_t mEnd = NONE;
    const SourceText* mSource = nullptr;
    XNode* mElement = nullptr;
    std::unique_ptr<Owned> mOwned;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_CONTENTITEM_H
