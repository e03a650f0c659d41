// The tree as XPath sees it: names, parents and document order of its
// nodes; the walks themselves are templates in the header.
#include "xml/XPathAxes.h"

namespace kavri {
namespace xml {
namespace xpath {

namespace {

// Order of an element's own nodes: the element, its attributes, its body,
// its CDATA; the root node comes before its top element.
int rank(XPathNode::Kind kind) {
    switch (kind) {
        case XPathNode::ROOT:
            return 0;
        case XPathNode::ELEMENT:
            return 1;
        case XPathNode::ATTRIBUTE:
            return 2;
        case XPathNode::TEXT:
            return 3;
        default:
            return 4;
    }
}

unsigned depthOf(const XNode* element) {
    unsigned depth = 0;
    for (const XNode* at = element->getParent(); at != nullptr; at = at->getParent()) {
        ++depth;
    }
    return depth;
}

// True when `ancestor` is `node` or one of its ancestors.
bool contains(const XNode* ancestor, const XNode* node) {
    for (const XNode* at = node; at != nullptr; at = at->getParent()) {
        if (at == ancestor) {
            return true;
        }
    }
    return false;
}

// The order of two distinct elements of one tree whose depths are equal.
int compareSameDepth(const XNode* x, const XNode* y) {
    while (x->getParent() != y->getParent()) {
        x = x->getParent();
        y = y->getParent();
    }
    if (x->getParent() == nullptr) {
        return x < y ? -1 : 1;  // two trees: any fixed order
    }
    for (const Axes::Child& child : x->getParent()->getChildren()) {
        if (child.get() == x) {
            return -1;
        }
        if (child.get() == y) {
            return 1;
        }
    }
    return 0;
}

}  // namespace

const char* Axes::nameOf(const XPathNode& node) {
    switch (node.kind()) {
        case XPathNode::ELEMENT:
            return node.element()->getName();
        case XPathNode::ATTRIBUTE:
            return node.attribute()->filedName();
        case XPathNode::INSTRUCTION:
            return partOf(node).target.c_str();
        default:
            return "";
    }
}

XPathNode Axes::parentOf(const XPathNode& node) {
    switch (node.kind()) {
        case XPathNode::ELEMENT: {
            const XNode* parent = node.element()->getParent();
            return parent != nullptr ? XPathNode(XPathNode::ELEMENT, parent)
                                     : XPathNode(XPathNode::ROOT, node.element());
        }
        case XPathNode::ATTRIBUTE:
        case XPathNode::TEXT:
        case XPathNode::CDATA:
        case XPathNode::COMMENT:
        case XPathNode::INSTRUCTION:
            return isAroundRoot(node) ? XPathNode(XPathNode::ROOT, node.element())
                                      : XPathNode(XPathNode::ELEMENT, node.element());
        default:
            return XPathNode();
    }
}

XPathNode Axes::rootOf(const XPathNode& node) {
    if (node.kind() == XPathNode::NONE) {
        return node;
    }
    const XNode* top = node.element();
    while (top->getParent() != nullptr) {
        top = top->getParent();
    }
    return XPathNode(XPathNode::ROOT, top);
}

int Axes::compareSameElement(const XPathNode& a, const XPathNode& b) {
    const int ra = rank(a.kind());
    const int rb = rank(b.kind());
    if (ra != rb) {
        return ra - rb;
    }
    if (a.kind() == XPathNode::ATTRIBUTE && a.attribute() != b.attribute()) {
        return std::strcmp(a.attribute()->filedName(), b.attribute()->filedName());
    }
    return 0;
}

size_t Axes::placeAmongParts(const XNode* element, const PartList*& list) {
    const XNode* parent = element->getParent();
    if (parent == nullptr) {
        list = &Parts::around(element);
        return list->elementAt.front();
    }
    list = &Parts::of(parent);
    const size_t ordinal = static_cast<size_t>(positionOf(element) - parent->getChildren().begin());
    return ordinal < list->elementAt.size() ? list->elementAt[ordinal] : list->parts.size();
}

int Axes::comparePart(const XPathNode& part, const XPathNode& other) {
    if (isPart(other) && isAroundRoot(part) == isAroundRoot(other) &&
        part.element() == other.element()) {
        return placeOf(part) < placeOf(other) ? -1 : placeOf(part) > placeOf(other) ? 1 : 0;
    }
    const XNode* owner = part.element();
    const PartList* list = nullptr;
    if (isAroundRoot(part)) {
        // The other node lies in the top element, or in another tree.
        const XNode* top = rootOf(other).element();
        if (top != owner) {
            return owner < top ? -1 : 1;
        }
        return placeOf(part) < placeAmongParts(owner, list) ? -1 : 1;
    }
    // A part of `owner` comes after the element and its attributes, and
    // before or after each child's subtree as it stands before or after
    // that child.
    const XNode* inner = isAroundRoot(other) ? nullptr : other.element();
    if (inner == owner) {
        return 1;
    }
    for (const XNode* at = inner; at != nullptr; at = at->getParent()) {
        if (at->getParent() == owner) {
            return placeOf(part) < placeAmongParts(at, list) ? -1 : 1;
        }
    }
    return compareOrder(XPathNode(XPathNode::ELEMENT, owner), other);
}

int Axes::compareOrder(const XPathNode& a, const XPathNode& b) {
    if (a.kind() == XPathNode::ROOT || b.kind() == XPathNode::ROOT) {
        return (a.kind() == XPathNode::ROOT ? 0 : 1) - (b.kind() == XPathNode::ROOT ? 0 : 1);
    }
    if (isPart(a)) {
        return comparePart(a, b);
    }
    if (isPart(b)) {
        return -comparePart(b, a);
    }
    const XNode* x = a.element();
    const XNode* y = b.element();
    if (x == y) {
        return compareSameElement(a, b);
    }
    unsigned dx = depthOf(x);
    unsigned dy = depthOf(y);
    // Every node of an element comes before the element's descendants.
    for (; dx > dy; --dx) {
        x = x->getParent();
        if (x == y) {
            return 1;
        }
    }
    for (; dy > dx; --dy) {
        y = y->getParent();
        if (y == x) {
            return -1;
        }
    }
    return compareSameDepth(x, y);
}

bool Axes::inSubtree(const XPathNode& earlier, const XPathNode& later) {
    if (earlier.kind() == XPathNode::ROOT) {
        return later.kind() != XPathNode::ROOT;
    }
    if (earlier.kind() != XPathNode::ELEMENT || later.kind() == XPathNode::ROOT ||
        isAroundRoot(later)) {
        return false;
    }
    if (later.element() == earlier.element()) {
        return later.kind() != XPathNode::ELEMENT;
    }
    return contains(earlier.element(), later.element());
}

const Axes::Child* Axes::positionOf(const XNode* element) {
    const XNode::ChildList& siblings = element->getParent()->getChildren();
    for (const Child& child : siblings) {
        if (child.get() == element) {
            return &child;
        }
    }
    return siblings.end();
}

}  // namespace xpath
}  // namespace xml
}  // namespace kavri
