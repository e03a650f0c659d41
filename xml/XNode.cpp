#include "xml/XNode.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>
#include <type_traits>

#include "framework/plinth/StringUtil.h"
#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"
#include "xml/ContentItem.h"
#include "xml/ContentList.h"
#include "xml/Document.h"
#include "xml/NameTable.h"
#include "xml/SourceText.h"
#include "xml/internal/EditCount.h"

namespace kavri {
namespace xml {

namespace {

bool sameName(const XNode* node, const char* name) {
    return syntax::sameName(node->getName(), name);
}

template <class Value, class Parse>
Value typedAttribute(const XNode& node, const char* name, Value defaultValue, Parse parse) {
    const Attribute* attribute = node.getAttribute(name);
    return attribute != nullptr ? parse(attribute->getValue()) : defaultValue;
}

// Makes room for `extra` more entries while keeping growth geometric, so that
// many small appends stay linear.
void reserveFor(XNode::ChildList& list, size_t extra) {
    size_t needed = list.size() + extra;
    if (needed > list.capacity()) {
        list.reserve(std::max(needed, 2 * list.capacity()));
    }
}

// Asks for the memory of the node that dies next while this one dies: the
// node and what the reader allocated right after it (its attributes). A hint
// only; it reads nothing.
// Where the content of the start tag at `start` begins: past its '>',
// its quoted values passed over (the tag was read well-formed).
uint32_t afterStartTag(const char* text, uint32_t start) {
    const char* p = text + start + 1;
    while (*p != '>') {
        if (*p == '"' || *p == '\'') {
            p = std::strchr(p + 1, *p);
        }
        ++p;
    }
    return static_cast<uint32_t>(p + 1 - text);
}

// Appends the text runs of [p, end) (references decoded) to `body` and its
// CDATA sections' bytes to `cdata`; comments and instructions are passed.
void readSourceRuns(const char* p, const char* end, std::string& body, std::string& cdata) {
    while (p < end) {
        if (*p != '<') {
            const void* tag = std::memchr(p, '<', static_cast<size_t>(end - p));
            const char* const next = tag != nullptr ? static_cast<const char*>(tag) : end;
            syntax::decodeReferences(p, static_cast<size_t>(next - p), body);
            p = next;
        } else if (syntax::startsWith(p, end, syntax::CDATA_START)) {
            const char* const data = p + sizeof syntax::CDATA_START - 1;
            p = syntax::past(data, end, syntax::CDATA_END);
            cdata.append(data, p - (sizeof syntax::CDATA_END - 1));
        } else {
            p = syntax::markupEnd(syntax::markupAt(p, end), p, end);
        }
    }
}

// How far ahead of the node being released its successors are asked for.
constexpr size_t NODES_AHEAD = 6;
constexpr size_t TEXTS_AHEAD = 2;
// How many of the nodes to release next tell whether texts are long there,
// and how many children of the released node they tell it for.
constexpr size_t PROBED_NODES = 8;
constexpr size_t PROBE_EVERY = 32;

// The allocator's header in front of a block it gave out.
void prefetchHeader(const char* block) {
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(block) - 8));
}

void prefetchNode(const XNode* node) {
    const char* bytes = reinterpret_cast<const char*>(node);
    for (int line = 0; line < 6; ++line) {
        __builtin_prefetch(bytes + 64 * line);
    }
}

}  // namespace

XNode::XNode(Document* document, const char* name, XNode* parent)
    : NamedObject(name), mDocument(document), mParent(parent) {}

XNode::XNode(Document* document, const std::string& name, XNode* parent)
    : NamedObject(name), mDocument(document), mParent(parent) {}

XNode::XNode(Document* document, const char* name, size_t length, XNode* parent)
    : NamedObject(name, length), mDocument(document), mParent(parent) {}

XNode::XNode(Document* document, ::core::internal::NameRef name, XNode* parent)
    : NamedObject(std::move(name)), mDocument(document), mParent(parent) {}

XNode::~XNode() {
    // Most nodes that die are leaves, or were emptied by an ancestor's
    // releaseChildren: skip the work list for them.
    if (!mChildren.empty()) {
        releaseChildren();
    }
    releaseContent();
    mAttributes.deleteAll();
}

void XNode::renamed() {
    internal::EditCount::note();
}

// Freeing a long text has the allocator read the header in front of it.
// The reader allocated texts in document order, and trees die in that
// order: the release walk asks for the nodes a few places ahead and, where
// texts are long, for the header of the text two places ahead, whose node
// is in the cache by then.
const std::string* XNode::longText(const XNode* node) {
    const uintptr_t word = node->mContent.load(std::memory_order_relaxed);
    if (word == 0 || (word & IN_SOURCE) != 0) {
        return nullptr;
    }
    const std::string& body =
        reinterpret_cast<const Content*>(word & ~(HAS_CDATA | IS_MARKUP))->body;
    return body.capacity() >= LONG_TEXT ? &body : nullptr;
}

void XNode::prefetchTextsAhead(const ChildList& pending) {
    const size_t count = pending.size();
    if (count > NODES_AHEAD) {
        prefetchNode(pending[count - 1 - NODES_AHEAD]);
    }
    if (count > TEXTS_AHEAD) {
        if (const std::string* ahead = longText(pending[count - 1 - TEXTS_AHEAD])) {
            prefetchHeader(ahead->data());
        }
    }
}

bool XNode::holdsLongTexts(const ChildList& pending) {
    const size_t count = pending.size();
    for (size_t i = count > PROBED_NODES ? count - PROBED_NODES : 0; i < count; ++i) {
        if (longText(pending[i]) != nullptr) {
            return true;
        }
    }
    return false;
}

// Letting each child's destructor release its own children would recurse
// once per tree level, and a parsed or built chain can be deep enough to
// overflow the stack. Instead, before a child dies here its own children are
// moved onto a work list, so every destructor that runs finds nothing left to
// release. A node held elsewhere keeps its children and only loses its parent.
void XNode::releaseChildren() {
    ChildList pending;  // descendants of nodes that died here, next one last
    auto release = [&pending](::core::SmartPtr<XNode>& node) {
        node->mParent = nullptr;
        // A release callback may keep the node: its children stay with it.
        bool diesHere = node->getRefCount() == 1 && node->getReleaseCallback() == nullptr;
        ChildList& children = node->mChildren;
        // Children go on the list last first, so that the nodes die in
        // document order: the order the reader allocated them in, which the
        // memory system can see coming.
        if (diesHere && !children.empty()) {
            if (pending.empty()) {
                pending.swap(children);
                std::reverse(pending.begin(), pending.end());
            } else {
                try {
                    reserveFor(pending, children.size());
                    std::move(children.rbegin(), children.rend(), std::back_inserter(pending));
                    children.clear();
                } catch (const std::bad_alloc&) {
                    // No room for the work list: the node's own destructor
                    // takes care of its children instead.
                }
            }
        }
        node.release();
    };

    // The nodes that die below one child, in turn. Long texts are asked for
    // ahead only below children whose first nodes hold them: elsewhere the
    // test alone cost a few per cent of the walk.
    auto drain = [&](auto texts) {
        while (!pending.empty()) {
            ::core::SmartPtr<XNode> next = std::move(pending.back());
            pending.pop_back();
            if (!pending.empty()) {
                prefetchNode(pending.back());
                if (decltype(texts)::value && longText(next.get()) != nullptr) {
                    prefetchTextsAhead(pending);
                }
            }
            release(next);
        }
    };

    ChildList children;
    children.swap(mChildren);
    bool texts = false;
    for (size_t i = 0; i < children.size(); ++i) {
        if (i + 1 < children.size()) {
            prefetchNode(children[i + 1]);
        }
        release(children[i]);
        // Asked again now and then, not for every child: each probe
        // mispredicts where long and short texts mix.
        if (i % PROBE_EVERY == 0) {
            texts = holdsLongTexts(pending);
        }
        if (texts) {
            drain(std::true_type());
        } else {
            drain(std::false_type());
        }
    }
}

// --- Tree -------------------------------------------------------------------

XNode* XNode::addChild(const char* name) {
    if (isLossless()) {
        std::unique_ptr<XNode> child(new XNode(mDocument, name, nullptr));
        addChild(child.get());
        return child.release();
    }
    std::unique_ptr<XNode> child(new XNode(mDocument, name, this));
    mChildren.emplace_back(child.get());
    return child.release();
}

XNode* XNode::addParsedChild(const char* name, size_t length) {
    if (!mChildren.empty()) {
        XNode* last = mChildren.back().get();
        if (last != nullptr && !last->mChildren.empty()) {
            settleParsed(last);
        }
    }
    std::unique_ptr<XNode> child(new XNode(mDocument, NameTable::nameOf(name, length), this));
    mChildren.emplace_back(child.get());
    return child.release();
}

void XNode::settleParsed(XNode* node) noexcept {
    // A reader's element is complete once its next sibling starts, and so
    // are its last child, that child's last child, and so on down: each
    // element is settled once, when the first of its ancestors-or-self that
    // has a next sibling gets it. The arrays of the elements that end the
    // document are left where they are.
    while (node != nullptr && !node->mChildren.empty()) {
        node->mChildren.settle();
        node = node->mChildren.back().get();
    }
}

XNode* XNode::addChild(const std::string& name) {
    return addChild(name.c_str());
}

void XNode::addChild(XNode* node) {
    const bool lossless = isLossless();
    if (lossless) {
        editedContent();  // read in order while the children are the input's
    }
    if (node->mDocument != mDocument && node->isLossless()) {
        node->leaveSource();
    }
    // The reference is taken only once the list has room, so a failed append
    // leaves the node untouched.
    mChildren.emplace_back(node);
    node->mParent = this;
    node->mDocument = mDocument;
    if (lossless) {
        noteAddedChild(node);
    }
}

XNode* XNode::getFirstChild() const {
    return mChildren.empty() ? nullptr : mChildren.front().get();
}

XNode* XNode::getFirstChild(const char* name) const {
    for (const auto& child : mChildren) {
        if (sameName(child, name)) {
            return child;
        }
    }
    return nullptr;
}

XNode* XNode::getFirstChild(const std::string& name) const {
    return getFirstChild(name.c_str());
}

bool XNode::removeChild(XNode* child) {
    auto it = std::find(mChildren.begin(), mChildren.end(), child);
    if (it == mChildren.end()) {
        return false;
    }
    child->mParent = nullptr;
    if (isLossless()) {
        noteRemovedChild(child);  // the body joined again without the child
        child->keepBodies();
    }
    mChildren.erase(it);
    return true;
}

void XNode::removeChildren() {
    if (isLossless()) {
        while (!mChildren.empty()) {
            removeChild(mChildren.back().get());
        }
        return;
    }
    for (auto& child : mChildren) {
        child->mParent = nullptr;
    }
    // Empty the list before the references go, so that nothing released
    // sees a half-cleared list.
    ChildList released;
    released.swap(mChildren);
}

unsigned XNode::removeChildren(const char* name) {
    unsigned removed = 0;
    if (isLossless()) {
        for (size_t i = mChildren.size(); i-- > 0;) {
            if (sameName(mChildren[i], name)) {
                removeChild(mChildren[i].get());
                ++removed;
            }
        }
        return removed;
    }
    auto kept = mChildren.begin();
    for (auto it = mChildren.begin(); it != mChildren.end(); ++it) {
        if (sameName(*it, name)) {
            (*it)->mParent = nullptr;
            ++removed;
            continue;
        }
        // Assigning over an entry that was passed over releases it.
        if (kept != it) {
            *kept = std::move(*it);
        }
        ++kept;
    }
    mChildren.erase(kept, mChildren.end());
    return removed;
}

// --- Attributes ---------------------------------------------------------------

Attribute* XNode::addAttribute(const char* name, const char* value) {
    internal::EditCount::note();
    std::unique_ptr<Attribute> attribute(new Attribute(name, value));
    mAttributes.put(attribute->getName(), attribute.get());
    return attribute.release();
}

void XNode::addParsedAttribute(const char* name, size_t nameLength, const char* value,
                               size_t valueLength, bool decode) {
    std::unique_ptr<Attribute> attribute(
        new Attribute(name, nameLength, value, valueLength, decode));
    mAttributes.put(attribute->getName(), attribute.get());
    attribute.release();
}

void XNode::fileParsedAttributes(const ParsedAttribute* attributes, size_t count,
                                 internal::AttributeOrders* orders) {
    if (count > MAX_PARSED_ATTRIBUTES || !mAttributes.empty()) {
        for (size_t i = 0; i < count; ++i) {
            const ParsedAttribute& parsed = attributes[i];
            addParsedAttribute(parsed.name, parsed.nameLength, parsed.value, parsed.valueLength,
                               parsed.decode);
        }
        return;
    }
    Attribute* made[MAX_PARSED_ATTRIBUTES];
    size_t madeCount = 0;
    try {
        for (; madeCount < count; ++madeCount) {
            const ParsedAttribute& parsed = attributes[madeCount];
            made[madeCount] = new Attribute(parsed.name, parsed.nameLength, parsed.value,
                                            parsed.valueLength, parsed.decode);
        }
        mAttributes.fileParsed(made, static_cast<uint32_t>(count), orders);
    } catch (...) {
        for (size_t i = 0; i < madeCount; ++i) {
            delete made[i];
        }
        throw;
    }
}

Attribute* XNode::addAttribute(const std::string& name, const std::string& value) {
    return addAttribute(name.c_str(), value.c_str());
}

Attribute* XNode::getAttribute(const char* name) const {
    return mAttributes.get(name);
}

Attribute* XNode::getAttribute(const std::string& name) const {
    return getAttribute(name.c_str());
}

bool XNode::hasAttribute(const char* name) const {
    return mAttributes.contains(name);
}

bool XNode::removeAttribute(const char* name) {
    internal::EditCount::note();
    return mAttributes.remove(name);
}

bool XNode::removeAttribute(const std::string& name) {
    return removeAttribute(name.c_str());
}

void XNode::removeAttributes() {
    internal::EditCount::note();
    mAttributes.clear();
}

unsigned XNode::getAttributeCount() const {
    return static_cast<unsigned>(mAttributes.size());
}

const char* XNode::getAttributeChar(const char* name, const char* defaultValue) const {
    const Attribute* attribute = getAttribute(name);
    return attribute != nullptr ? attribute->getValue() : defaultValue;
}

const char* XNode::getAttributeChar(const std::string& name, const char* defaultValue) const {
    return getAttributeChar(name.c_str(), defaultValue);
}

const std::string* XNode::getAttributeString(const char* name,
                                             const std::string* defaultValue) const {
    const Attribute* attribute = getAttribute(name);
    return attribute != nullptr ? &attribute->getValueString() : defaultValue;
}

const std::string* XNode::getAttributeString(const std::string& name,
                                             const std::string* defaultValue) const {
    return getAttributeString(name.c_str(), defaultValue);
}

int XNode::getAttributeInt(const char* name, int defaultValue) const {
    return typedAttribute(*this, name, defaultValue, text::StringUtil::parseInt);
}

int XNode::getAttributeInt(const std::string& name, int defaultValue) const {
    return getAttributeInt(name.c_str(), defaultValue);
}

bool XNode::getAttributeBool(const char* name, bool defaultValue) const {
    return typedAttribute(*this, name, defaultValue, text::StringUtil::parseBool);
}

bool XNode::getAttributeBool(const std::string& name, bool defaultValue) const {
    return getAttributeBool(name.c_str(), defaultValue);
}

float XNode::getAttributeFloat(const char* name, float defaultValue) const {
    return typedAttribute(*this, name, defaultValue, text::StringUtil::parseFloat);
}

float XNode::getAttributeFloat(const std::string& name, float defaultValue) const {
    return getAttributeFloat(name.c_str(), defaultValue);
}

double XNode::getAttributeDouble(const char* name, double defaultValue) const {
    return typedAttribute(*this, name, defaultValue, text::StringUtil::parseDouble);
}

double XNode::getAttributeDouble(const std::string& name, double defaultValue) const {
    return getAttributeDouble(name.c_str(), defaultValue);
}

void XNode::setAttributeChar(const char* name, const char* value) {
    internal::EditCount::note();
    Attribute* attribute = getAttribute(name);
    if (attribute != nullptr) {
        attribute->setValue(value);
    } else {
        addAttribute(name, value);
    }
}

void XNode::setAttributeChar(const std::string& name, const std::string& value) {
    setAttributeChar(name.c_str(), value.c_str());
}

// --- Body and CDATA -----------------------------------------------------------

void XNode::addBody(const char* text, bool /*flag*/) {
    if (text[0] == '\0') {
        return;
    }
    if (isLossless()) {
        editedContent().push_back(ContentItem(ContentItem::TEXT, text));
        rejoinBody();
        return;
    }
    content().body.append(text);
}

void XNode::addBody(const std::string& text, bool flag) {
    addBody(text.c_str(), flag);
}

const std::string XNode::NO_BODY;

XNode::Content& XNode::content() {
    // The word read once on the reader's path: most elements have no block
    // yet, or a body block.
    uintptr_t word = contentWord();
    if ((word & IN_SOURCE) != 0) {
        sourceMarkup();
        word = contentWord();
    }
    if (word == 0) {
        Content* made = new Content();
        mContent.store(reinterpret_cast<uintptr_t>(made), std::memory_order_relaxed);
        return *made;
    }
    return *reinterpret_cast<Content*>(word & ~(HAS_CDATA | IS_MARKUP));
}

XNode::CDataContent& XNode::cdataContent() {
    if ((contentWord() & IN_SOURCE) != 0) {
        sourceMarkup();
    }
    if ((contentWord() & HAS_CDATA) == 0) {
        Content* held = const_cast<Content*>(heldContent());
        auto* larger =
            held != nullptr ? new CDataContent(std::move(held->body)) : new CDataContent();
        delete held;
        mContent.store(reinterpret_cast<uintptr_t>(larger) | HAS_CDATA, std::memory_order_relaxed);
    }
    return *const_cast<CDataContent*>(heldCData());
}

void XNode::releaseHeldContent() noexcept {
    const uintptr_t word = contentWord();
    if ((word & (HAS_CDATA | IS_MARKUP | IN_SOURCE)) == 0) {
        // A body alone, the block of most elements: one test.
        delete reinterpret_cast<Content*>(word);
    } else if ((word & IN_SOURCE) == 0) {
        // An element as read (IN_SOURCE) holds nothing but its place.
        Content* held = reinterpret_cast<Content*>(word & ~(HAS_CDATA | IS_MARKUP));
        if ((word & IS_MARKUP) != 0) {
            delete static_cast<Markup*>(static_cast<CDataContent*>(held));
        } else {
            delete static_cast<CDataContent*>(held);
        }
    }
    mContent.store(0, std::memory_order_relaxed);
}

void XNode::addCData(const char* data, unsigned size) {
    if (data == nullptr || size == 0) {
        return;
    }
    if (isLossless()) {
        editedContent().push_back(ContentItem(ContentItem::CDATA, std::string(data, size)));
    }
    appendCData(data, size);
}

void XNode::appendCData(const char* data, unsigned size) {
    CDataContent& held = cdataContent();
    char* block = new char[static_cast<size_t>(held.cdataSize) + size + 1];
    if (held.cdata != nullptr) {
        std::memcpy(block, held.cdata, held.cdataSize);
    }
    std::memcpy(block + held.cdataSize, data, size);
    block[held.cdataSize + size] = '\0';
    delete[] held.cdata;
    held.cdata = block;
    held.cdataSize += size;
}

void XNode::setCData(const char* data, unsigned size) {
    if (isLossless()) {
        std::vector<ContentItem>& items = editedContent();
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [](const ContentItem& item) {
                                       return item.getKind() == ContentItem::CDATA;
                                   }),
                    items.end());
    }
    if ((contentWord() & HAS_CDATA) != 0) {
        CDataContent& held = cdataContent();
        delete[] held.cdata;
        held.cdata = nullptr;
        held.cdataSize = 0;
    }
    addCData(data, size);
}

// --- Walks, searches, copies -------------------------------------------------

XNode::VisitResult XNode::_visit(VisitCallback* enterCallback, VisitCallback* exitCallback,
                                 int depth, int maxDepth) {
    VisitResult result = (*enterCallback)(this, depth, maxDepth);
    if (result == VISIT_STOP) {
        return result;
    }
    if (maxDepth < 0 || depth < maxDepth) {
        // Counted after the enter callback, so that children it appended are
        // walked too; re-checked because the list may have shrunk under us.
        const size_t count = mChildren.size();
        for (size_t i = 0; i < count && i < mChildren.size(); ++i) {
            if (result != VISIT_CONTINUE) {
                return result;
            }
            result = mChildren[i]->_visit(enterCallback, exitCallback, depth + 1, maxDepth);
        }
    }
    if (result != VISIT_CONTINUE || exitCallback == nullptr) {
        return result;
    }
    return (*exitCallback)(this, depth, maxDepth);
}

XNode* XNode::findBreadthFirst(const char* name) {
    // A vector read from the front is the FIFO queue: nothing is removed
    // until the search ends.
    std::vector<XNode*> queue(1, this);
    for (size_t front = 0; front < queue.size(); ++front) {
        XNode* node = queue[front];
        if (sameName(node, name)) {
            return node;
        }
        for (const auto& child : node->mChildren) {
            queue.push_back(child.get());
        }
    }
    return nullptr;
}

XNode* XNode::findBreadthFirst(const std::string& name) {
    return findBreadthFirst(name.c_str());
}

XNode* XNode::getChildByAttribute(const char* childName, const char* attributeName,
                                  const char* value) const {
    for (const auto& child : mChildren) {
        const Attribute* attribute = child->getAttribute(attributeName);
        if (attribute != nullptr && sameName(child, childName) &&
            std::strcmp(attribute->getValue(), value) == 0) {
            return child;
        }
    }
    return nullptr;
}

XNode* XNode::getNextSibling() const {
    if (mParent == nullptr) {
        return nullptr;
    }
    const ChildList& siblings = mParent->mChildren;
    auto it = std::find(siblings.begin(), siblings.end(), this);
    if (it == siblings.end()) {
        return nullptr;
    }
    for (++it; it != siblings.end(); ++it) {
        if (sameName(*it, getName())) {
            return *it;
        }
    }
    return nullptr;
}

XNode* XNode::cloneNode(bool deep) const {
    std::unique_ptr<XNode> copy(new XNode(mDocument, nameRef().duplicate(), nullptr));
    unsigned cdataSize = 0;
    const char* cdata = getCData(cdataSize);
    copy->addBody(getBody());
    copy->addCData(cdata, cdataSize);
    // Filed names, not Attribute::getName: a renamed attribute is copied
    // under the name its node knows it by.
    forEachAttribute([&copy](const char* name, const Attribute* attribute) {
        copy->addAttribute(name, attribute->getValue());
    });
    if (deep) {
        copy->mChildren.reserve(mChildren.size());
        for (const auto& child : mChildren) {
            std::unique_ptr<XNode> childCopy(child->clone());
            copy->addChild(childCopy.get());
            childCopy.release();
        }
    }
    if (isLossless()) {
        copyContentInOrder(*copy);
    }
    return copy.release();
}

// A copy's content in order holds its own texts (it is written anew) and
// its own children, or none for a shallow copy.
void XNode::copyContentInOrder(XNode& copy) const {
    std::vector<ContentItem> items;
    ContentList::itemsOf(this, items);
    detachContent(items);
    auto copies = copy.mChildren.begin();
    std::unique_ptr<std::vector<ContentItem>> kept(new std::vector<ContentItem>());
    kept->reserve(items.size());
    for (const ContentItem& item : items) {
        if (item.getKind() != ContentItem::ELEMENT) {
            kept->push_back(item);
        } else if (copies != copy.mChildren.end()) {
            kept->push_back(ContentItem::element((copies++)->get()));
        }
    }
    copy.makeMarkup(SourceText::NONE, SourceText::NONE, SourceText::NONE).edited = kept.release();
}

// --- Content in order (documents read losslessly) ------------------------------

XNode::Markup::~Markup() {
    delete edited;
}

XNode::Markup& XNode::makeMarkup(uint32_t start, uint32_t contentStart, uint32_t end) {
    if ((contentWord() & IN_SOURCE) != 0) {
        return *sourceMarkup();
    }
    if (markup() == nullptr) {
        std::unique_ptr<Markup> made(new Markup(start, contentStart, end));
        if (contentWord() != 0) {
            Content* held = const_cast<Content*>(heldContent());
            made->body.swap(held->body);
            if ((contentWord() & HAS_CDATA) != 0) {
                CDataContent* cdata = static_cast<CDataContent*>(held);
                std::swap(made->cdata, cdata->cdata);
                std::swap(made->cdataSize, cdata->cdataSize);
            }
            releaseHeldContent();
        }
        mContent.store(reinterpret_cast<uintptr_t>(made.release()) | HAS_CDATA | IS_MARKUP,
                       std::memory_order_relaxed);
    }
    return *markup();
}

XNode::Markup* XNode::sourceMarkup() const {
    uintptr_t word = contentWord();
    if ((word & IN_SOURCE) == 0) {
        return markup();
    }
    const SourceText* source = mDocument != nullptr ? mDocument->getSource() : nullptr;
    if (source == nullptr) {
        return nullptr;
    }
    const uint32_t start = sourceStart();
    const uint32_t end = sourceEnd();
    const uint32_t contentStart = afterStartTag(source->at(0), start);
    std::unique_ptr<Markup> made(new Markup(start, contentStart, end));
    std::string cdata;
    readSourceContent(source->at(0), contentStart,
                      ContentList::endTagStart(*source, contentStart, end), made->body, cdata);
    if (source->trimBodies) {
        syntax::trimBlanks(made->body);
    }
    if (!cdata.empty()) {
        made->cdata = new char[cdata.size() + 1];
        std::memcpy(made->cdata, cdata.c_str(), cdata.size() + 1);
        made->cdataSize = static_cast<uint32_t>(cdata.size());
    }
    const uintptr_t madeWord = reinterpret_cast<uintptr_t>(made.get()) | HAS_CDATA | IS_MARKUP;
    if (mContent.compare_exchange_strong(word, madeWord, std::memory_order_acq_rel,
                                         std::memory_order_acquire)) {
        return made.release();
    }
    return markup();  // another thread's, published first; ours goes
}

const std::string& XNode::bodyFromSource() const {
    const Markup* made = sourceMarkup();
    return made != nullptr ? made->body : NO_BODY;
}

uint32_t XNode::sourceStart() const {
    const uintptr_t word = contentWord();
    if ((word & IN_SOURCE) != 0) {
        return static_cast<uint32_t>(word >> 32);
    }
    const Markup* held = markup();
    return held != nullptr ? held->start : SourceText::NONE;
}

uint32_t XNode::sourceEnd() const {
    const uintptr_t word = contentWord();
    if ((word & IN_SOURCE) != 0) {
        return static_cast<uint32_t>(word >> 32) +
               static_cast<uint32_t>((word >> 3) & MAX_SPAN_IN_WORD);
    }
    const Markup* held = markup();
    return held != nullptr ? held->end : SourceText::NONE;
}

uint32_t XNode::sourceContentStart(const SourceText& source) const {
    const Markup* held = markup();
    return held != nullptr ? held->contentStart : afterStartTag(source.at(0), sourceStart());
}

bool XNode::inReference() const {
    const Markup* held = markup();
    return held != nullptr && held->start == SourceText::NONE && held->end == 0;
}

void XNode::keepMade(std::vector<ContentItem>& items, const char* start, const char* end) {
    if (*start != '<') {
        if (items.empty() || items.back().getKind() != ContentItem::TEXT) {
            items.push_back(ContentItem(ContentItem::TEXT, std::string()));
        }
        syntax::decodeReferences(start, static_cast<size_t>(end - start), items.back().ownedText());
    } else if (start[1] == '?') {
        const char* target = start + 2;
        const char* data = target;
        while (data < end - 2 && !syntax::isSpace(*data)) {
            ++data;
        }
        std::string name(target, data);
        while (data < end - 2 && syntax::isSpace(*data)) {
            ++data;
        }
        items.push_back(ContentItem::instruction(std::move(name), std::string(data, end - 2)));
    } else if (start[2] == '-') {
        items.push_back(ContentItem(ContentItem::COMMENT, std::string(start + 4, end - 3)));
    } else {
        items.push_back(ContentItem(ContentItem::CDATA, std::string(start + 9, end - 3)));
    }
}

void XNode::keepMade(std::vector<ContentItem>& items, XNode* element) {
    items.push_back(ContentItem::element(element));
}

void XNode::placeEnd(uint32_t end) {
    if ((contentWord() & IN_SOURCE) != 0) {
        placeInWord(sourceStart(), end);
    } else {
        markup()->end = end;
    }
}

void XNode::readSourceContent(const char* text, uint32_t from, uint32_t to, std::string& body,
                              std::string& cdata) const {
    uint32_t pos = from;
    for (const auto& child : mChildren) {
        const uint32_t start = child->sourceStart();
        if (start != SourceText::NONE && start >= pos && start < to) {
            readSourceRuns(text + pos, text + start, body, cdata);
            pos = child->sourceEnd();
        }
    }
    readSourceRuns(text + pos, text + to, body, cdata);
}

void XNode::keepContentRead(const char* text, uint32_t to) {
    const uintptr_t word = contentWord();
    if ((word & IN_SOURCE) == 0) {
        return;
    }
    const uint32_t start = sourceStart();
    const uint32_t contentStart = afterStartTag(text, start);
    std::unique_ptr<Markup> made(new Markup(start, contentStart, SourceText::NONE));
    std::string cdata;
    readSourceContent(text, contentStart, to, made->body, cdata);
    mContent.store(reinterpret_cast<uintptr_t>(made.release()) | HAS_CDATA | IS_MARKUP,
                   std::memory_order_relaxed);
    if (!cdata.empty()) {
        appendCData(cdata.data(), static_cast<unsigned>(cdata.size()));
    }
}

void XNode::keepBodies() {
    visit([](XNode* node, int, int) {
        node->sourceMarkup();
        return VISIT_CONTINUE;
    });
}

std::vector<ContentItem>& XNode::editedContent() {
    internal::EditCount::note();
    Markup* held = sourceMarkup();
    if (held->edited == nullptr) {
        std::unique_ptr<std::vector<ContentItem>> items(new std::vector<ContentItem>());
        ContentList::itemsOf(this, *items);
        held->edited = items.release();
    }
    return *held->edited;
}

void XNode::rejoinBody() {
    std::string body;
    joinContent(ContentItem::TEXT, body);
    const SourceText* source = mDocument != nullptr ? mDocument->getSource() : nullptr;
    if (source != nullptr && source->trimBodies) {
        syntax::trimBlanks(body);
    }
    markup()->body.swap(body);
}

void XNode::rejoinCData() {
    std::string cdata;
    joinContent(ContentItem::CDATA, cdata);
    Markup* held = markup();
    delete[] held->cdata;
    held->cdata = nullptr;
    held->cdataSize = 0;
    if (!cdata.empty()) {
        appendCData(cdata.data(), static_cast<unsigned>(cdata.size()));
    }
}

void XNode::joinContent(int kind, std::string& out) const {
    const std::vector<ContentItem>& items = *markup()->edited;
    const SourceText* source = mDocument != nullptr ? mDocument->getSource() : nullptr;
    if (source == nullptr || (source->references.empty() && source->entityTexts.empty())) {
        for (const ContentItem& item : items) {
            if (item.getKind() == kind) {
                out += item.getText();
            }
        }
        return;
    }
    // What references made counts where the writer writes it.
    std::vector<SourceText::MadeAt> made;
    source->madeIn(items, this, made);
    for (size_t i = 0; i < items.size(); ++i) {
        const SourceText::MadeAt& at = made[i];
        if (at.reference != nullptr) {
            for (size_t part = at.from; part < at.to; ++part) {
                if (at.reference->made[part].getKind() == kind) {
                    out += at.reference->made[part].getText();
                }
            }
            i += at.skip;
        } else if (items[i].getKind() == kind) {
            if (kind == ContentItem::TEXT && items[i].isFromInput()) {
                source->appendText(items[i], out);
            } else {
                out += items[i].getText();
            }
        }
    }
}

XNode* XNode::insertChild(const std::string& name, size_t position) {
    std::unique_ptr<XNode> child(new XNode(mDocument, name, this));
    child->makeMarkup(SourceText::NONE, SourceText::NONE, SourceText::NONE).edited =
        new std::vector<ContentItem>();
    mChildren.emplace_back(child.get());
    XNode* const made = child.release();
    std::rotate(mChildren.begin() + static_cast<std::ptrdiff_t>(position), mChildren.end() - 1,
                mChildren.end());
    return made;
}

// Appended after the last element, indented as it is when it stands on a
// line of its own.
void XNode::noteAddedChild(XNode* child) {
    if (!child->isLossless()) {
        std::unique_ptr<std::vector<ContentItem>> own(new std::vector<ContentItem>());
        ContentList::itemsOf(child, *own);
        child->makeMarkup(SourceText::NONE, SourceText::NONE, SourceText::NONE).edited =
            own.release();
    }
    std::vector<ContentItem>& items = editedContent();
    size_t last = items.size();
    while (last > 0 && items[last - 1].getKind() != ContentItem::ELEMENT) {
        --last;
    }
    std::vector<ContentItem> added;
    if (last >= 2 && items[last - 2].getKind() == ContentItem::TEXT) {
        const std::string before = items[last - 2].getText();
        if (before.find('\n') != std::string::npos &&
            before.find_first_not_of(" \t\n") == std::string::npos) {
            added.push_back(items[last - 2]);
        }
    }
    if (last == 0) {
        last = items.size();
    }
    added.push_back(ContentItem::element(child));
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(last), added.begin(), added.end());
    rejoinBody();
}

// The element goes with the white space that put it on a line of its own.
void XNode::noteRemovedChild(XNode* child) {
    std::vector<ContentItem>& items = editedContent();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].getElement() != child) {
            continue;
        }
        size_t first = i;
        if (i > 0 && items[i - 1].getKind() == ContentItem::TEXT) {
            const std::string before = items[i - 1].getText();
            if (before.find_first_not_of(" \t\n") == std::string::npos) {
                first = i - 1;
            }
        }
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(first),
                    items.begin() + static_cast<std::ptrdiff_t>(i + 1));
        rejoinBody();
        return;
    }
}

void XNode::leaveSource() {
    Markup* held = sourceMarkup();
    if (held == nullptr) {
        return;
    }
    if (held->edited == nullptr) {
        editedContent();
    }
    detachContent(*held->edited);
    held->start = held->contentStart = held->end = SourceText::NONE;
    for (const auto& child : mChildren) {
        child->leaveSource();
    }
}

// The items hold their texts, references replaced by what they made.
void XNode::detachContent(std::vector<ContentItem>& items) const {
    const SourceText* source = mDocument != nullptr ? mDocument->getSource() : nullptr;
    if (source == nullptr || (source->references.empty() && source->entityTexts.empty())) {
        for (ContentItem& item : items) {
            item = item.detached();
        }
        return;
    }
    std::vector<ContentItem> detached;
    source->detachContent(items, this, detached);
    items.swap(detached);
}

void XNode::dump(std::string& out) const {
    out += '<';
    out += getName();
    forEachAttribute([&out](const char* name, const Attribute* attribute) {
        out += ' ';
        out += name;
        out += "='";
        out += attribute->getValue();
        out += '\'';
    });
    unsigned cdataSize = 0;
    const char* cdata = getCData(cdataSize);
    if (mChildren.empty() && getBodySize() == 0 && cdataSize == 0) {
        out += "/>";
        return;
    }
    out += '>';
    out += getBodyString();
    if (cdataSize != 0) {
        out += "<![CDATA[";
        out.append(cdata, cdataSize);
        out += "]]>";
    }
    for (const auto& child : mChildren) {
        child->dump(out);
    }
    out += "</";
    out += getName();
    out += '>';
}

}  // namespace xml
}  // namespace kavri
