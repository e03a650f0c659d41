// XNode is an element of the in-memory XML tree: a name, attributes, child
// elements in document order, the element's character data (its body) and
// one CDATA block. Attribute (xml/Attribute.h) is a name/value pair
// owned by its node; the node files its attributes in a map that lives inside
// the node, so getAttributes() is always the node's own, current map.
//
// Ownership: a parent holds a counted reference to each child (SmartPtr); a
// node points back to its parent and its document with plain pointers. A new
// node has count 0 and lives through the first holder that takes a reference:
// a parent (addChild), a Document (setRootNode) or a caller's SmartPtr.
// Attributes and the CDATA buffer belong to the node.
//
//   XNode* item = root->addChild("item");        // owned by root
//   item->addAttribute("id", "7");
//   item->addBody("text");
//   root->visit([](XNode* n, int depth, int) { ...; return XNode::VISIT_CONTINUE; });
//
// Threads: reading a tree changes nothing that a reader can see (no counts
// touched), so any number of threads may read one tree at once; changing a
// tree needs the one thread. The one part made on reading is the body and
// CDATA of an element of a document read losslessly, made from the kept
// input on the first getBody() or getCData() and published once by an
// atomic exchange (a thread that loses the race frees its own copy). Trees share nothing but the
// reader's names (xml/NameTable.h), which are never changed: threads working on different trees
// never meet.
//
// Destroying a node releases its subtree without recursing per level, so a
// chain of any depth can be destroyed on a small stack. Walks (visit, dump,
// cloneNode) recurse once per level; the reader limits nesting for them.
#ifndef KAVRIXML_XML_XNODE_H
#define KAVRIXML_XML_XNODE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/Callback.h"
#include "core/SmartPtr.h"
#include "framework/kavrimain/NamedObject.h"
#include "framework/plinth/internal/BlockPool.h"
#include "xml/Attribute.h"
#include "xml/internal/AttributeMap.h"
#include "xml/internal/ChildList.h"

namespace kavri {
namespace xml {

class ContentItem;
class ContentList;
class Document;
class LosslessWriter;
class SourceText;
class TreeBuilder;

class XNode : public kavri::core::NamedObject {
  public:
    // Callbacks may answer any other int too: it ends the walk like
    // VISIT_STOP and becomes the walk's result (hence the fixed type).
    enum VisitResult : int { VISIT_CONTINUE = 0, VISIT_STOP = 1 };
    using VisitCallback = ::core::Callback<VisitResult, XNode*, int, int>;
    // Reads like a std::vector of SmartPtr<XNode> (xml/internal/ChildList.h).
    using ChildList = internal::ChildList;
    using AttributeMap = ::core::CKHashMap<Attribute*>;

    ~XNode() override;
    XNode(const XNode&) = delete;
    XNode& operator=(const XNode&) = delete;

    // Nodes come from the block pool (derived classes too, by their size).
    static void* operator new(size_t size) { return ::core::internal::BlockPool::allocate(size); }
    static void operator delete(void* block, size_t size) {
        ::core::internal::BlockPool::release(block, size);
    }

    // --- Tree -------------------------------------------------------------
    // A new child named `name`, in this node's document, appended last.
    XNode* addChild(const char* name);
    XNode* addChild(const std::string& name);
    // Appends `node` (not null, in no other children list) and makes this node
    // its parent and this node's document its document (the node alone).
    void addChild(XNode* node);
    const ChildList& getChildren() const { return mChildren; }
    unsigned getChildCount() const { return static_cast<unsigned>(mChildren.size()); }
    XNode* getFirstChild() const;
    XNode* getFirstChild(const char* name) const;
    XNode* getFirstChild(const std::string& name) const;
    XNode* getParent() const { return mParent; }
    Document* getDocument() const { return mDocument; }
    // False when `child` is not a child; otherwise detaches and releases it.
    bool removeChild(XNode* child);
    void removeChildren();
    // Removes every direct child named `name`; returns how many.
    unsigned removeChildren(const char* name);

    // --- Attributes ---------------------------------------------------------
    // A repeated name destroys and replaces the earlier attribute.
    Attribute* addAttribute(const char* name, const char* value);
    Attribute* addAttribute(const std::string& name, const std::string& value);
    Attribute* getAttribute(const char* name) const;
    Attribute* getAttribute(const std::string& name) const;
    bool hasAttribute(const char* name) const;
    bool removeAttribute(const char* name);
    bool removeAttribute(const std::string& name);
    void removeAttributes();
    // The node's own map, in byte order of the names the attributes were added
    // with; it lives as long as the node and shows every later change.
    const AttributeMap& getAttributes() const { return mAttributes; }
    // Calls visit(filedName, attribute) for each attribute in the order of
    // getAttributes().
    template <class Visit>
    void forEachAttribute(Visit visit) const {
        mAttributes.forEach(
            [&visit](const char* name, const Attribute* attribute) { visit(name, attribute); });
    }
    unsigned getAttributeCount() const;
    const char* getAttributeChar(const char* name, const char* defaultValue) const;
    const char* getAttributeChar(const std::string& name, const char* defaultValue) const;
    const std::string* getAttributeString(const char* name, const std::string* defaultValue) const;
    const std::string* getAttributeString(const std::string& name,
                                          const std::string* defaultValue) const;
    // Absent: the default. Present: whatever the plinth parser gives for the
    // text, also when it does not convert.
    int getAttributeInt(const char* name, int defaultValue) const;
    int getAttributeInt(const std::string& name, int defaultValue) const;
    bool getAttributeBool(const char* name, bool defaultValue) const;
    bool getAttributeBool(const std::string& name, bool defaultValue) const;
    float getAttributeFloat(const char* name, float defaultValue) const;
    float getAttributeFloat(const std::string& name, float defaultValue) const;
    double getAttributeDouble(const char* name, double defaultValue) const;
    double getAttributeDouble(const std::string& name, double defaultValue) const;
    // Replaces the value of an existing attribute in place (same object), or
    // adds one.
    void setAttributeChar(const char* name, const char* value);
    void setAttributeChar(const std::string& name, const std::string& value);

    // --- Body and CDATA -------------------------------------------------------
    // Appends to the body; both values of the flag append the same way. In a
    // document read losslessly the text also goes last in the element's
    // content in order (xml/ContentList.h), as do CDATA and children added.
    void addBody(const char* text, bool flag = false);
    void addBody(const std::string& text, bool flag = false);
    const char* getBody() const { return getBodyString().c_str(); }
    unsigned getBodySize() const { return static_cast<unsigned>(getBodyString().size()); }
    const std::string& getBodyString() const {
        const uintptr_t word = contentWord();
        if ((word & IN_SOURCE) != 0) {
            return bodyFromSource();
        }
        const Content* held = reinterpret_cast<const Content*>(word & ~(HAS_CDATA | IS_MARKUP));
        return held != nullptr ? held->body : NO_BODY;
    }
    // Bytes are copied by count: NUL bytes stay and are counted.
    void addCData(const char* data, unsigned size);
    void setCData(const char* data, unsigned size);
    // Stores the size and returns the block (null when there is none).
    const char* getCData(unsigned& size) const {
        const CDataContent* held = (contentWord() & IN_SOURCE) != 0 ? sourceMarkup() : heldCData();
        size = held != nullptr ? held->cdataSize : 0;
        return held != nullptr ? held->cdata : nullptr;
    }

    // --- Walks, searches, copies ---------------------------------------------
    // Depth-first walk from this node at depth 0 without depth limit: enter
    // before the children, exit after them. Any callable taking
    // (XNode*, int depth, int maxDepth) and returning VisitResult will do.
    // A non-zero answer ends the walk and is returned.
    template <class Enter>
    VisitResult visit(Enter enter) {
        VisitCallback enterCallback(std::move(enter));
        return _visit(&enterCallback, nullptr, 0, -1);
    }
    template <class Enter, class Exit>
    VisitResult visit(Enter enter, Exit exit) {
        VisitCallback enterCallback(std::move(enter));
        VisitCallback exitCallback(std::move(exit));
        return _visit(&enterCallback, &exitCallback, 0, -1);
    }
    // The same walk with a depth limit: nodes deeper than maxDepth are skipped.
    VisitResult visit(VisitCallback* enter, VisitCallback* exit, int maxDepth) {
        return _visit(enter, exit, 0, maxDepth);
    }

    XNode* findBreadthFirst(const char* name);
    XNode* findBreadthFirst(const std::string& name);
    XNode* getChildByAttribute(const char* childName, const char* attributeName,
                               const char* value) const;
    // The next later sibling with this node's name, or null.
    XNode* getNextSibling() const;
    // A new, unreferenced copy without parent, of the subtree when deep.
    XNode* cloneNode(bool deep) const;
    XNode* clone() const { return cloneNode(true); }
    // The framework's clone(CloningOptions) stays reachable beside clone().
    using kavri::core::NamedObject::clone;
    // Appends a compact rendering: <a x='1'>t<b/></a>.
    void dump(std::string& out) const;

  protected:
    friend class ContentList;
    friend class Document;
    friend class LosslessWriter;
    friend class TreeBuilder;

    XNode(Document* document, const char* name, XNode* parent);
    XNode(Document* document, const std::string& name, XNode* parent);
    XNode(Document* document, const char* name, size_t length, XNode* parent);
    // Takes the name over (shared or own).
    XNode(Document* document, ::core::internal::NameRef name, XNode* parent);

    void setDocument(Document* document) { mDocument = document; }
    // A new name is an edit: a lossless document writes the tags anew.
    void renamed() override;

  private:
    VisitResult _visit(VisitCallback* enterCallback, VisitCallback* exitCallback, int depth,
                       int maxDepth);
    // addChild for the reader: a name of `length` plain bytes, shared through
    // the reader's NameTable (so: only under DOMParser::gCS).
    XNode* addParsedChild(const char* name, size_t length);
    // Moves the child arrays of `node` and of its last descendants, all
    // complete, next to them in the pool (ChildList::settle).
    static void settleParsed(XNode* node) noexcept;
    // addAttribute for the reader: a name of plain bytes and its raw value,
    // decoded when `decode` (it holds '&'); the name is shared as above.
    void addParsedAttribute(const char* name, size_t nameLength, const char* value,
                            size_t valueLength, bool decode);
    // The attributes of one start tag, as the reader found them.
    struct ParsedAttribute {
        const char* name;
        size_t nameLength;
        const char* value;
        size_t valueLength;
        bool decode;
    };
    static constexpr size_t MAX_PARSED_ATTRIBUTES = 16;
    // addParsedAttribute for each of the `count` (at most
    // MAX_PARSED_ATTRIBUTES) attributes in turn, leaving the same map, filed
    // at once (no look-up per attribute, an array made to measure).
    // `orders` are the reading's own (internal::AttributeMap::fileParsed).
    void addParsedAttributes(const ParsedAttribute* attributes, size_t count,
                             internal::AttributeOrders* orders) {
        if (count == 1) {
            addParsedAttribute(attributes->name, attributes->nameLength, attributes->value,
                               attributes->valueLength, attributes->decode);
        } else if (count > 1) {
            fileParsedAttributes(attributes, count, orders);
        }
    }
    void fileParsedAttributes(const ParsedAttribute* attributes, size_t count,
                              internal::AttributeOrders* orders);
    // Releases the children without recursing once per level.
    void releaseChildren();
    // The node's body when its room is LONG_TEXT bytes or more, or null
    // (releaseChildren asks for such texts ahead).
    static constexpr size_t LONG_TEXT = 256;
    static const std::string* longText(const XNode* node);
    // Asks for the nodes and the long texts that `pending` (the nodes to
    // release next, the next one last) will free a few releases from now.
    static void prefetchTextsAhead(const ChildList& pending);
    // Whether any of the next few nodes of `pending` holds a long text.
    static bool holdsLongTexts(const ChildList& pending);

    Document* mDocument;
    XNode* mParent;
    AttributeMap mAttributes{true, nullptr};
    ChildList mChildren;
    // Body and CDATA, made when the first of them comes: most elements of
    // most documents have neither, and most of the others have a body only.
    // mContent is the block's address, with HAS_CDATA set when the block is
    // a CDataContent.
    struct Content {
        std::string body;

        // Aside from the nodes: a walk over elements passes texts by.
        static void* operator new(size_t size) {
            return ::core::internal::BlockPool::allocateAside(size);
        }
        static void operator delete(void* block, size_t size) {
            ::core::internal::BlockPool::release(block, size);
        }
    };
    struct CDataContent : Content {
        char* cdata = nullptr;  // cdataSize bytes and a NUL, or null
        uint32_t cdataSize = 0;

        CDataContent() = default;
        explicit CDataContent(std::string&& text) { body.swap(text); }
        CDataContent(const CDataContent&) = delete;
        CDataContent& operator=(const CDataContent&) = delete;
        ~CDataContent() { delete[] cdata; }
    };
    // An element of a document read losslessly holds no block while it is
    // as read: mContent holds IN_SOURCE, its start in the top 32 bits and
    // the length of its span in bits 3 to 31 (SPAN_BITS), and its body and
    // CDATA are its text runs and sections in the source.
    //
    // The block of such an element once its body is asked for or an edit
    // changes it, and of an element made by an edit: where the element
    // stands in the document's SourceText (start tag from `start`, content
    // from `contentStart`, up to after its end tag at `end`; all NONE for an
    // element made by an edit, contentStart == end for an empty-element
    // tag) and, once an edit has changed its content, that content in
    // order. Until then the content in order is read back from the source
    // between the children's spans (ContentList).
    struct Markup : CDataContent {
        uint32_t start;
        uint32_t contentStart;
        uint32_t end;
        std::vector<ContentItem>* edited = nullptr;

        Markup(uint32_t startAt, uint32_t contentAt, uint32_t endAt)
            : start(startAt), contentStart(contentAt), end(endAt) {}
        Markup(const Markup&) = delete;
        Markup& operator=(const Markup&) = delete;
        ~Markup();
    };
    static constexpr uintptr_t HAS_CDATA = 1;
    static constexpr uintptr_t IS_MARKUP = 2;
    static constexpr uintptr_t IN_SOURCE = 4;
    static constexpr unsigned SPAN_BITS = 29;
    // The longest input whose elements all keep their place in mContent.
    static constexpr size_t MAX_SPAN_IN_WORD = (size_t(1) << SPAN_BITS) - 1;

    // What getBodyString() answers for a node without a body.
    static const std::string NO_BODY;
    uintptr_t contentWord() const { return mContent.load(std::memory_order_acquire); }
    const Content* heldContent() const {
        const uintptr_t word = contentWord();
        return (word & IN_SOURCE) != 0
                   ? nullptr
                   : reinterpret_cast<const Content*>(word & ~(HAS_CDATA | IS_MARKUP));
    }
    const CDataContent* heldCData() const {
        return (contentWord() & HAS_CDATA) != 0 ? static_cast<const CDataContent*>(heldContent())
                                                : nullptr;
    }
    // The lossless block, or null for an element of the default tree and
    // for one as read (IN_SOURCE).
    Markup* markup() const {
        return (contentWord() & IS_MARKUP) != 0
                   ? static_cast<Markup*>(const_cast<CDataContent*>(heldCData()))
                   : nullptr;
    }
    // Whether the element belongs to a document read losslessly (or was
    // made by an edit of one): it has its content in order.
    bool isLossless() const { return (contentWord() & (IS_MARKUP | IN_SOURCE)) != 0; }
    // The lossless block, made from the source for an element as read;
    // null for the default tree's elements and while the document is read.
    Markup* sourceMarkup() const;
    const std::string& bodyFromSource() const;
    // Where the element stands in the source: the start of its start tag
    // and the end of its end tag (NONE when it is not there), and where its
    // content begins.
    uint32_t sourceStart() const;
    uint32_t sourceEnd() const;
    uint32_t sourceContentStart(const SourceText& source) const;
    // Made by an entity's replacement text: it has no place in the source
    // (it stands in the reference) and its content in order is kept from
    // the reading on.
    bool inReference() const;
    // What an entity's replacement text makes, kept in order as it is read
    // into `items`: the text, CDATA section, comment or instruction
    // [start, end) of the replacement text (a text's references decoded,
    // joined to a text before it), or an element.
    static void keepMade(std::vector<ContentItem>& items, const char* start, const char* end);
    static void keepMade(std::vector<ContentItem>& items, XNode* element);
    // The content in order once an edit changed it, or null.
    const std::vector<ContentItem>* editedItems() const {
        const Markup* held = markup();
        return held != nullptr ? held->edited : nullptr;
    }
    // The element's place kept in mContent; `end` may follow later.
    void placeInWord(uint32_t start, uint32_t end) {
        mContent.store(IN_SOURCE | (uintptr_t(start) << 32) | (uintptr_t(end - start) << 3),
                       std::memory_order_relaxed);
    }
    void placeEnd(uint32_t end);
    // The text runs (references decoded) and CDATA sections of `text`
    // between `from` and `to`, passing over the children placed there.
    void readSourceContent(const char* text, uint32_t from, uint32_t to, std::string& body,
                           std::string& cdata) const;
    // An element as read gets its block, with its body and CDATA so far
    // read from `text` up to `to`: an entity's replacement text comes next,
    // which the source does not hold.
    void keepContentRead(const char* text, uint32_t to);
    // Makes the node's block a Markup with these spans, keeping its body
    // and CDATA (an element as read: its own spans).
    Markup& makeMarkup(uint32_t start, uint32_t contentStart, uint32_t end);
    // The content in order, made editable: read from the source first.
    std::vector<ContentItem>& editedContent();
    // After an edit of the content in order: the body is its texts again,
    // the CDATA its sections.
    void rejoinBody();
    void rejoinCData();
    // The texts or CDATA sections (a ContentItem::Kind) of the content in
    // order joined, with those that references made.
    void joinContent(int kind, std::string& out) const;
    // A new child named `name` at `position` among the children.
    XNode* insertChild(const std::string& name, size_t position);
    // A new child of a lossless element takes a block of its own, so that
    // its content is kept in order too; `child` goes last in the content.
    void noteAddedChild(XNode* child);
    void noteRemovedChild(XNode* child);
    // The subtree no longer refers to a source: its texts are copied out
    // and it is written anew (a move into another document).
    void leaveSource();
    void copyContentInOrder(XNode& copy) const;
    void detachContent(std::vector<ContentItem>& items) const;
    // Appends to the CDATA block alone.
    void appendCData(const char* data, unsigned size);
    // The block, made when there is none yet.
    Content& content();
    // The block with room for CDATA, made (or made larger) when needed.
    CDataContent& cdataContent();
    void releaseContent() noexcept {
        if (contentWord() != 0) {
            releaseHeldContent();
        }
    }
    void releaseHeldContent() noexcept;
    // A removed element keeps its body when its document goes.
    void keepBodies();
    mutable std::atomic<uintptr_t> mContent{0};
};

// --- ChildList's reference handling, inline on the reader's and the
// destructor's paths -----------------------------------------------------------

inline void internal::ChildList::emplace_back(XNode* node) {
    if (mCapacity == 0 && mCount == 0) {
        mOne = node;
    } else if (mCount < (mCapacity & ~POOLED)) {
        new (mItems + mCount) value_type(node);
    } else {
        appendGrowing(node);
        return;
    }
    ++mCount;
}

inline void internal::ChildList::pop_back() noexcept {
    --mCount;
    if (mCapacity == 0) {
        mOne.release();
    } else {
        mItems[mCount].~value_type();
    }
}

inline void internal::ChildList::clear() noexcept {
    while (mCount != 0) {
        pop_back();
    }
}

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XNODE_H
