// TreeBuilder is how the readers make a tree: they open an element (the
// root or a child of the element being read), give it its attributes, text
// and CDATA, and close it. It is the one part of the library outside the
// model that reaches the nodes' private layout, so that the reader's fast
// paths (names shared through the NameTable, a start tag's attributes filed
// at once, a body made to measure) stay in one place; both readers, the
// strict one (DOMParser) and the conforming one (WellFormedReader), build
// through it, and so the tree they make is one thing.
//
// It owns nothing but a string for texts it drops: the elements it opens belong to their parent or,
// for a root, to the caller until a Document or a SmartPtr takes them. Names are shared through the
// reader's NameTable: used under DOMParser::gCS only. Every call is inline, because the readers
// call it once per tag or text. Internal to the readers (the header is not installed).
//
//   TreeBuilder build;
//   XNode* item = build.openChild(root, "item", 4);
//   build.text(item, "t", 1);  build.close(item, false);
#ifndef KAVRIXML_XML_TREEBUILDER_H
#define KAVRIXML_XML_TREEBUILDER_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "syntax/XMLSyntax.h"
#include "xml/Attribute.h"
#include "xml/Document.h"
#include "xml/SourceText.h"
#include "xml/XNode.h"

namespace kavri {
namespace xml {

class TreeBuilder {
  public:
    // The attributes of one start tag as a reader found them: names of
    // plain bytes, values raw (decoded when `decode`) or already decoded.
    using TagAttribute = XNode::ParsedAttribute;
    // A tag's attributes are handed over in groups of at most this many.
    static constexpr size_t MAX_TAG_ATTRIBUTES = XNode::MAX_PARSED_ATTRIBUTES;

    // --- Elements --------------------------------------------------------------
    // A root element of `doc` (not yet the document's root).
    XNode* openRoot(Document* doc, const char* name) const { return new XNode(doc, name, nullptr); }
    XNode* openRoot(Document* doc, const char* name, size_t length) const {
        return new XNode(doc, name, length, nullptr);
    }
    // A child of `parent`, with its document; the name is any text.
    XNode* openChild(XNode* parent, const char* name) const { return parent->addChild(name); }
    // The same for a name of plain bytes, shared through the NameTable.
    XNode* openChild(XNode* parent, const char* name, size_t length) const {
        return parent->addParsedChild(name, length);
    }
    // The element's content is complete: with `trim`, blanks at both ends
    // of its body go.
    void close(XNode* element, bool trim) const {
        if (trim && element->getBodySize() != 0) {
            syntax::trimBlanks(element->content().body);
        }
    }
    // --- Lossless reading ---------------------------------------------------------
    // Where an element read from the kept input stands in it: its start tag
    // from `start` to `contentStart`; an empty-element tag ends there. In
    // an input (of `inputSize` bytes) up to XNode::MAX_SPAN_IN_WORD bytes
    // the place is all the element keeps: its texts are not kept (body()
    // hands out a string that is dropped), the element makes them from the
    // input when they are asked for.
    void place(XNode* element, uint32_t start, uint32_t contentStart, bool empty,
               size_t inputSize) const {
        if (inputSize <= XNode::MAX_SPAN_IN_WORD) {
            element->placeInWord(start, empty ? contentStart : start);
        } else {
            element->makeMarkup(start, contentStart, empty ? contentStart : SourceText::NONE);
        }
    }
    // After the end tag of an element placed so.
    void placeEnd(XNode* element, uint32_t end) const { element->placeEnd(end); }
    // The element placed in its word keeps its texts from here on: an
    // entity's replacement text, which the input does not hold, follows at
    // `to` in the reader's `text`.
    void keepTexts(XNode* element, const char* text, uint32_t to) const {
        element->keepContentRead(text, to);
    }
    // An element an entity's replacement text made: it stands in the
    // reference, which the kept input holds. Its content in order is kept
    // as it is read (madeContent), for writing it anew once it changes.
    void placeInReference(XNode* element) const {
        element->makeMarkup(SourceText::NONE, SourceText::NONE, 0).edited =
            new std::vector<ContentItem>();
    }
    std::vector<ContentItem>& madeContent(XNode* element) const {
        return *element->markup()->edited;
    }
    // Appends to a content in order what a replacement text makes: the
    // text, CDATA section, comment or instruction [start, end) of it, or an
    // element.
    void keepMade(std::vector<ContentItem>& items, const char* start, const char* end) const {
        XNode::keepMade(items, start, end);
    }
    void keepMade(std::vector<ContentItem>& items, XNode* element) const {
        XNode::keepMade(items, element);
    }

    // The document an element being read belongs to (a fragment's node, and
    // the nodes read into it when the read fails).
    void setDocument(XNode* element, Document* doc) const { element->setDocument(doc); }

    // --- Attributes ------------------------------------------------------------
    // `count` (at most MAX_TAG_ATTRIBUTES) attributes of one tag, filed at
    // once; a repeated name keeps its last value.
    void attributes(XNode* element, const TagAttribute* tag, size_t count) const {
        element->addParsedAttributes(tag, count, &mOrders);
    }
    // The value of an attribute just added, for the reader to decode into.
    std::string& value(Attribute* attribute) const { return attribute->mValue; }

    // --- Text and CDATA ---------------------------------------------------------
    // The element's body, made on its first text; the reader appends to it.
    // An element that makes its texts from the input gets an empty string
    // whose text is dropped.
    std::string& body(XNode* element) const {
        if ((element->contentWord() & XNode::IN_SOURCE) != 0) {
            mDropped.clear();
            return mDropped;
        }
        return element->content().body;
    }
    // Appends a text without references. An element's first text, the
    // common case, makes its body holding it, to measure; a further piece
    // makes room for several more (indentation comes before each child and
    // after the last).
    __attribute__((always_inline)) void text(XNode* element, const char* text,
                                             size_t length) const {
        if (element->contentWord() == 0) {
            element->mContent.store(
                reinterpret_cast<uintptr_t>(new XNode::Content{std::string(text, length)}),
                std::memory_order_relaxed);
            return;
        }
        std::string& held = roomFor(element, length);
        held.append(text, length);
    }
    // Room in a body for `length` more bytes. A first text is kept to
    // measure; a further piece makes room for several more (indentation
    // comes before each child and after the last), so that a body of blanks
    // between children grows once or twice, not at every other child.
    static void makeRoom(std::string& body, size_t length) {
        const size_t needed = body.size() + length;
        if (needed > body.capacity()) {
            body.reserve(body.empty() ? needed : std::max<size_t>(2 * needed, 64));
        }
    }
    // Appends a text whose references are decoded.
    void decodedText(XNode* element, const char* text, size_t length,
                     const syntax::Ampersands& ampersands) const {
        syntax::decodeReferences(text, length, ampersands, roomFor(element, length));
    }
    // Appends the bytes of a CDATA section, unchanged.
    void cdata(XNode* element, const char* data, size_t size) const {
        if ((element->contentWord() & XNode::IN_SOURCE) == 0) {
            element->appendCData(data, static_cast<unsigned>(size));
        }
    }

  private:
    // The texts of elements that make them from the input.
    mutable std::string mDropped;
    // The orders tags' attributes were filed in.
    mutable internal::AttributeOrders mOrders;

    std::string& roomFor(XNode* element, size_t length) const {
        std::string& held = element->content().body;
        makeRoom(held, length);
        return held;
    }
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_TREEBUILDER_H
