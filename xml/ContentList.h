// ContentList walks and edits an element's content in document order, in a
// document read losslessly (DOMParser::setLossless): text runs (white space
// between elements included), CDATA sections, comments, processing
// instructions and child elements, each a ContentItem (xml/ContentItem.h).
// The same list stands before and after the root element, with the XML
// declaration and the DOCTYPE. The default view of the element follows
// every edit: getBody() is the text runs joined (trimmed as the reader
// trimmed them), getChildren() the elements, in this order.
//
// A reference to an entity of the DOCTYPE stands in a text as written. One
// whose replacement text made elements (or comments, instructions, CDATA)
// is a text of its own, "&name;", the elements it made right after it; the
// document writes it as read until what it made changes.
//
// A list is a snapshot taken when it is made and after each of its own
// edits; edits made otherwise (XNode::addChild, removeChild, addBody, ...)
// show in a list made after them. An element of a tree that was not read
// losslessly shows its body, its CDATA and its children, in that order, and
// cannot be edited through a list (XMLException).
//
// Ownership: the list refers to its element or document and must not
// outlive it. Making and reading lists changes nothing in the tree; editing
// needs the one thread that may change the tree.
//
//   ContentList content(item);                 // <item>a<!--x--><b/></item>
//   content.size();                            // 3
//   content.insertComment(0, " checked ");     // <item><!-- checked -->a<!--x--><b/></item>
//   content.setText(1, "a & b");               // written a &amp; b
#ifndef KAVRIXML_XML_CONTENTLIST_H
#define KAVRIXML_XML_CONTENTLIST_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "xml/ContentItem.h"

namespace kavri {
namespace xml {

class Document;
class SourceText;
class XNode;

class ContentList {
  public:
    enum Place { BEFORE_ROOT, AFTER_ROOT };

    // The content of `element`.
    explicit ContentList(XNode* element);
    // What stands before or after the root element of `doc`.
    ContentList(Document* doc, Place place);

    size_t size() const { return mItems.size(); }
    const ContentItem& operator[](size_t index) const { return mItems[index]; }
    std::vector<ContentItem>::const_iterator begin() const { return mItems.begin(); }
    std::vector<ContentItem>::const_iterator end() const { return mItems.end(); }

    // New parts before the item at `index` (size() appends). A text is
    // escaped when written; a comment may not hold "--" nor end with '-',
    // an instruction's target must be a name other than "xml" and its data
    // may not hold "?>" (XMLException otherwise). Before and after the root
    // a text must be white space.
    void insertText(size_t index, const std::string& text);
    void insertComment(size_t index, const std::string& text);
    void insertInstruction(size_t index, const std::string& target, const std::string& data);
    // A new element named `name` (in an element's list only), indented as
    // the element before it when that one stands on a line of its own.
    XNode* insertElement(size_t index, const std::string& name);
    // The text of a TEXT, CDATA or COMMENT item, the data of an
    // INSTRUCTION, checked as for inserting.
    void setText(size_t index, const std::string& text);
    // Removes the item; an element is removed as removeChild removes it.
    void remove(size_t index);
    // Whether `element` or one of its ancestors was made by an entity's
    // replacement text. The document keeps the reference as written while
    // what it made is unchanged; after a change there the reference is
    // written as the tree has it, expanded.
    static bool isInReference(const XNode* element);

    // The content in order of `element` as XPath sees it: each reference to
    // an entity replaced by what its replacement text made (its texts, the
    // elements it made where they stand).
    static void itemsExpanded(const XNode* element, std::vector<ContentItem>& out);
    // The content in order of `element` (also of a tree read by default), and of
    // what stands before or after a document's root, into `out`.
    static void itemsOf(const XNode* element, std::vector<ContentItem>& out);
    static void itemsAround(const Document* doc, Place place, std::vector<ContentItem>& out);
    // The parts of [from, to) of a kept input that holds no element.
    static void itemsIn(const SourceText& source, uint32_t from, uint32_t to,
                        std::vector<ContentItem>& out);
    // Where the end tag of an element read from the input begins (its end
    // when it was an empty-element tag).
    static uint32_t endTagStart(const SourceText& source, uint32_t contentStart, uint32_t end);

  private:
    std::vector<ContentItem>& edit();
    void check(ContentItem::Kind kind, const std::string& text) const;
    void refresh();
    void rejoin(ContentItem::Kind kind);

    XNode* mElement;
    Document* mDocument;
    Place mPlace;
    std::vector<ContentItem> mItems;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_CONTENTLIST_H
