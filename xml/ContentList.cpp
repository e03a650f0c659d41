#include "xml/ContentList.h"

#include <algorithm>
#include <cstring>

#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"
#include "xml/Document.h"
#include "xml/SourceText.h"
#include "xml/XMLException.h"
#include "xml/XNode.h"
#include "xml/internal/EditCount.h"

namespace kavri {
namespace xml {

namespace {

const uint32_t NONE = SourceText::NONE;

bool isWhiteSpace(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return syntax::isSpace(c); });
}

// A text item that puts what follows it on a line of its own.
bool isIndentation(const ContentItem& item) {
    if (item.getKind() != ContentItem::TEXT) {
        return false;
    }
    const std::string text = item.getText();
    return text.find('\n') != std::string::npos && isWhiteSpace(text);
}

}  // namespace

ContentList::ContentList(XNode* element)
    : mElement(element), mDocument(nullptr), mPlace(BEFORE_ROOT) {
    refresh();
}

ContentList::ContentList(Document* doc, Place place)
    : mElement(nullptr), mDocument(doc), mPlace(place) {
    refresh();
}

void ContentList::refresh() {
    mItems.clear();
    if (mElement != nullptr) {
        itemsOf(mElement, mItems);
    } else {
        itemsAround(mDocument, mPlace, mItems);
    }
}

// --- Reading -------------------------------------------------------------------------------

void ContentList::itemsIn(const SourceText& source, uint32_t from, uint32_t to,
                          std::vector<ContentItem>& out) {
    const char* const begin = source.at(0);
    const char* const end = source.at(to);
    const char* p = source.at(from);
    while (p < end) {
        const uint32_t at = static_cast<uint32_t>(p - begin);
        const char* next;
        ContentItem::Kind kind = ContentItem::TEXT;
        if (*p != '<') {
            next = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
            next = next != nullptr ? next : end;
        } else if (at == source.declarationStart) {
            kind = ContentItem::DECLARATION;
            next = source.at(source.declarationEnd);
        } else if (at == source.docTypeStart) {
            kind = ContentItem::DOCTYPE;
            next = source.at(source.docTypeEnd);
        } else if (syntax::startsWith(p, end, syntax::CDATA_START)) {
            kind = ContentItem::CDATA;
            next = syntax::past(p + sizeof syntax::CDATA_START - 1, end, syntax::CDATA_END);
        } else {
            const syntax::Markup markup = syntax::markupAt(p, end);
            if (markup == syntax::MARKUP_NONE) {
                throw XMLException("Kept input does not match its document at offset %u", at);
            }
            kind =
                markup == syntax::MARKUP_COMMENT ? ContentItem::COMMENT : ContentItem::INSTRUCTION;
            next = syntax::markupEnd(markup, p, end);
        }
        if (next == nullptr) {
            throw XMLException("Kept input does not match its document at offset %u", at);
        }
        out.push_back(ContentItem(kind, at, static_cast<uint32_t>(next - begin), &source));
        p = next;
    }
}

uint32_t ContentList::endTagStart(const SourceText& source, uint32_t contentStart, uint32_t end) {
    if (contentStart == end) {
        return end;
    }
    const char* p = source.at(end);
    while (*--p != '<') {
    }
    return static_cast<uint32_t>(p - source.at(0));
}

void ContentList::itemsOf(const XNode* element, std::vector<ContentItem>& out) {
    const std::vector<ContentItem>* edited = element->editedItems();
    if (edited != nullptr) {
        out.insert(out.end(), edited->begin(), edited->end());
        return;
    }
    const uint32_t start = element->sourceStart();
    if (start == NONE) {
        // The default tree: body, CDATA, then the children.
        if (element->getBodySize() != 0) {
            out.push_back(ContentItem(ContentItem::TEXT, element->getBodyString()));
        }
        unsigned size = 0;
        const char* cdata = element->getCData(size);
        if (cdata != nullptr) {
            out.push_back(ContentItem(ContentItem::CDATA, std::string(cdata, size)));
        }
        for (const auto& child : element->getChildren()) {
            out.push_back(ContentItem::element(child.get()));
        }
        return;
    }
    const SourceText& source = *element->getDocument()->getSource();
    const uint32_t contentStart = element->sourceContentStart(source);
    const uint32_t contentEnd = endTagStart(source, contentStart, element->sourceEnd());
    // A reference that made more than text is an item of its own, the
    // elements it made after it: they have no place of their own.
    const std::vector<SourceText::Reference>& references = source.references;
    auto reference = std::lower_bound(
        references.begin(), references.end(), contentStart,
        [](const SourceText::Reference& held, uint32_t at) { return held.start < at; });
    size_t madeLeft = 0;
    uint32_t pos = contentStart;
    const auto passReference = [&]() {
        itemsIn(source, pos, reference->start, out);
        out.push_back(ContentItem(ContentItem::TEXT, reference->start, reference->end, &source));
        pos = reference->end;
        madeLeft = reference->elements.size();
        ++reference;
    };
    for (const auto& child : element->getChildren()) {
        ContentItem item = ContentItem::element(child.get());
        const uint32_t childStart = child->sourceStart();
        if (childStart != NONE && childStart >= pos && childStart < contentEnd) {
            while (reference != references.end() && reference->start < childStart) {
                passReference();
            }
            itemsIn(source, pos, childStart, out);
            item.mStart = childStart;
            item.mEnd = child->sourceEnd();
            item.mSource = &source;
            pos = item.mEnd;
            while (reference != references.end() && reference->start < pos) {
                ++reference;  // in the child
            }
        } else {
            while (madeLeft == 0 && reference != references.end() &&
                   reference->start < contentEnd) {
                passReference();
            }
            madeLeft -= madeLeft != 0 ? 1 : 0;
        }
        out.push_back(std::move(item));
    }
    while (reference != references.end() && reference->start < contentEnd) {
        passReference();
    }
    itemsIn(source, pos, contentEnd, out);
}

void ContentList::itemsAround(const Document* doc, Place place, std::vector<ContentItem>& out) {
    const SourceText* source = doc->getSource();
    if (source == nullptr) {
        return;
    }
    const auto& edited = place == BEFORE_ROOT ? source->beforeRoot : source->afterRoot;
    if (edited) {
        out.insert(out.end(), edited->begin(), edited->end());
    } else if (place == BEFORE_ROOT) {
        itemsIn(*source, 0, source->rootStart, out);
    } else {
        itemsIn(*source, source->rootEnd, source->size(), out);
    }
}

void ContentList::itemsExpanded(const XNode* element, std::vector<ContentItem>& out) {
    const Document* doc = element->getDocument();
    const SourceText* source = doc != nullptr ? doc->getSource() : nullptr;
    if (source == nullptr || (source->references.empty() && source->entityTexts.empty())) {
        itemsOf(element, out);
        return;
    }
    std::vector<ContentItem> items;
    itemsOf(element, items);
    source->detachContent(items, element, out);
}

bool ContentList::isInReference(const XNode* element) {
    for (; element != nullptr; element = element->getParent()) {
        if (element->inReference()) {
            return true;
        }
    }
    return false;
}

// --- Editing -------------------------------------------------------------------------------

std::vector<ContentItem>& ContentList::edit() {
    internal::EditCount::note();
    if (mElement != nullptr) {
        if (!mElement->isLossless()) {
            throw XMLException("Element %s was not read losslessly", mElement->getName());
        }
        return mElement->editedContent();
    }
    SourceText* source = mDocument->getSource();
    if (source == nullptr) {
        throw XMLException("The document was not read losslessly");
    }
    auto& edited = mPlace == BEFORE_ROOT ? source->beforeRoot : source->afterRoot;
    if (!edited) {
        edited.reset(new std::vector<ContentItem>(mItems));
    }
    return *edited;
}

void ContentList::check(ContentItem::Kind kind, const std::string& text) const {
    const char* fault = nullptr;
    if (kind == ContentItem::COMMENT &&
        (text.find("--") != std::string::npos || (!text.empty() && text.back() == '-'))) {
        fault = "A comment may not hold \"--\" nor end with '-'";
    } else if (kind == ContentItem::INSTRUCTION && text.find("?>") != std::string::npos) {
        fault = "An instruction's data may not hold \"?>\"";
    } else if (kind == ContentItem::TEXT && mElement == nullptr && !isWhiteSpace(text)) {
        fault = "Only white space may stand as text outside the root";
    } else if (kind == ContentItem::ELEMENT || kind == ContentItem::DECLARATION ||
               kind == ContentItem::DOCTYPE) {
        fault = "Only texts, CDATA, comments and instructions have a text to set";
    }
    if (fault != nullptr) {
        throw XMLException("%s", fault);
    }
}

void ContentList::insertText(size_t index, const std::string& text) {
    check(ContentItem::TEXT, text);
    std::vector<ContentItem>& items = edit();
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(std::min(index, items.size())),
                 ContentItem(ContentItem::TEXT, text));
    if (mElement != nullptr) {
        mElement->rejoinBody();
    }
    refresh();
}

void ContentList::insertComment(size_t index, const std::string& text) {
    check(ContentItem::COMMENT, text);
    std::vector<ContentItem>& items = edit();
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(std::min(index, items.size())),
                 ContentItem(ContentItem::COMMENT, text));
    refresh();
}

void ContentList::insertInstruction(size_t index, const std::string& target,
                                    const std::string& data) {
    check(ContentItem::INSTRUCTION, data);
    if (!syntax::isName(target.data(), target.size()) ||
        (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
         (target[2] | 0x20) == 'l')) {
        throw XMLException("Invalid processing instruction target %s", target.c_str());
    }
    std::vector<ContentItem>& items = edit();
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(std::min(index, items.size())),
                 ContentItem::instruction(target, data));
    refresh();
}

XNode* ContentList::insertElement(size_t index, const std::string& name) {
    if (mElement == nullptr) {
        throw XMLException("A document has one root element");
    }
    if (!syntax::isName(name.data(), name.size())) {
        throw XMLException("Invalid element name %s", name.c_str());
    }
    std::vector<ContentItem>& items = edit();
    index = std::min(index, items.size());
    XNode* child = mElement->insertChild(
        name, static_cast<size_t>(std::count_if(
                  items.begin(), items.begin() + static_cast<std::ptrdiff_t>(index),
                  [](const ContentItem& item) { return item.getKind() == ContentItem::ELEMENT; })));
    std::vector<ContentItem> inserted{ContentItem::element(child)};
    // Indented as the element before it: after the indentation that stands
    // before the place, or with the previous element's before it.
    if (index > 0 && isIndentation(items[index - 1])) {
        inserted.push_back(items[index - 1]);
    } else {
        for (size_t i = index; i > 1; --i) {
            if (items[i - 1].getKind() == ContentItem::ELEMENT) {
                if (isIndentation(items[i - 2])) {
                    inserted.insert(inserted.begin(), items[i - 2]);
                }
                break;
            }
        }
    }
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(index), inserted.begin(),
                 inserted.end());
    mElement->rejoinBody();
    refresh();
    return child;
}

void ContentList::setText(size_t index, const std::string& text) {
    ContentItem::Kind kind = mItems.at(index).getKind();
    check(kind, text);
    std::vector<ContentItem>& items = edit();
    ContentItem& item = items[index];
    item = kind == ContentItem::INSTRUCTION ? ContentItem::instruction(item.getTarget(), text)
                                            : ContentItem(kind, text);
    rejoin(kind);
}

void ContentList::remove(size_t index) {
    const ContentItem& item = mItems.at(index);
    if (item.getKind() == ContentItem::ELEMENT) {
        mElement->removeChild(item.getElement());
        refresh();
        return;
    }
    const ContentItem::Kind kind = item.getKind();
    std::vector<ContentItem>& items = edit();
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
    rejoin(kind);
}

// After an edit of an item of `kind`: the element's body or CDATA is its
// texts or sections again, and the list shows the content anew.
void ContentList::rejoin(ContentItem::Kind kind) {
    if (mElement != nullptr) {
        if (kind == ContentItem::TEXT) {
            mElement->rejoinBody();
        }
        // A reference's item, a text, may stand for CDATA sections too.
        const Document* doc = mElement->getDocument();
        const SourceText* source = doc != nullptr ? doc->getSource() : nullptr;
        if (kind == ContentItem::CDATA ||
            (kind == ContentItem::TEXT && source != nullptr && !source->references.empty())) {
            mElement->rejoinCData();
        }
    }
    refresh();
}

}  // namespace xml
}  // namespace kavri
