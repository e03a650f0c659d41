#include "xml/XPathParts.h"

#include <memory>
#include <unordered_map>

#include "xml/ContentList.h"

namespace kavri {
namespace xml {
namespace xpath {

namespace {

struct Table {
    unsigned scopes = 0;
    // Keyed by the element; the root node's list by the top element's
    // address with its lowest bit set (elements are aligned).
    std::unordered_map<uintptr_t, std::unique_ptr<PartList>> lists;
};

thread_local Table table;

void addItem(PartList& list, const ContentItem& item, bool aroundRoot) {
    switch (item.getKind()) {
        case ContentItem::ELEMENT:
            list.elementAt.push_back(static_cast<uint32_t>(list.parts.size()));
            list.parts.push_back(Part{XPathNode::ELEMENT, item.getElement(), {}, {}});
            return;
        case ContentItem::TEXT:
        case ContentItem::CDATA: {
            // Around the top element text is only white space, and no node.
            if (aroundRoot) {
                return;
            }
            const std::string text = item.getText();
            if (text.empty()) {
                return;
            }
            if (!list.parts.empty() && list.parts.back().kind == XPathNode::TEXT) {
                list.parts.back().text += text;
            } else {
                list.parts.push_back(Part{XPathNode::TEXT, nullptr, text, {}});
            }
            return;
        }
        case ContentItem::COMMENT:
            list.parts.push_back(Part{XPathNode::COMMENT, nullptr, item.getText(), {}});
            return;
        case ContentItem::INSTRUCTION:
            list.parts.push_back(
                Part{XPathNode::INSTRUCTION, nullptr, item.getText(), item.getTarget()});
            return;
        default:  // the XML declaration and the DOCTYPE are no nodes
            return;
    }
}

std::unique_ptr<PartList> read(const XNode* element, bool aroundRoot) {
    auto list = std::make_unique<PartList>();
    std::vector<ContentItem> items;
    if (!aroundRoot) {
        ContentList::itemsExpanded(element, items);
        for (const ContentItem& item : items) {
            addItem(*list, item, false);
        }
        return list;
    }
    const Document* document = element->getDocument();
    ContentList::itemsAround(document, ContentList::BEFORE_ROOT, items);
    for (const ContentItem& item : items) {
        addItem(*list, item, true);
    }
    list->elementAt.push_back(static_cast<uint32_t>(list->parts.size()));
    list->parts.push_back(Part{XPathNode::ELEMENT, element, {}, {}});
    items.clear();
    ContentList::itemsAround(document, ContentList::AFTER_ROOT, items);
    for (const ContentItem& item : items) {
        addItem(*list, item, true);
    }
    return list;
}

const PartList& find(const XNode* element, bool aroundRoot) {
    const uintptr_t key = reinterpret_cast<uintptr_t>(element) | (aroundRoot ? 1 : 0);
    std::unique_ptr<PartList>& held = table.lists[key];
    if (!held) {
        held = read(element, aroundRoot);
    }
    return *held;
}

}  // namespace

// Every way into the lists holds a scope; the table is emptied as the
// outermost one begins and ends, so no list outlives a change of the tree.
void Parts::enter() {
    if (table.scopes++ == 0) {
        table.lists.clear();
    }
}

void Parts::leave() {
    if (--table.scopes == 0) {
        table.lists.clear();
    }
}

const PartList& Parts::of(const XNode* element) {
    return find(element, false);
}

const PartList& Parts::around(const XNode* top) {
    return find(top, true);
}

}  // namespace xpath
}  // namespace xml
}  // namespace kavri
