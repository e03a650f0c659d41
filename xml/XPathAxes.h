// Axes is the tree as XPath sees it: which nodes an element stands for (the
// element, its attributes, its body and CDATA as text nodes; in a document
// read losslessly, the parts of its content in order: texts, comments and
// instructions among the child elements), their parents, their document
// order, and the walks of the thirteen axes over them. Every rule about node
// kinds lives here, so that a new kind of node is a change of this unit
// alone. Internal to the library.
//
// Walks that want only elements (and attributes) are the same on both
// kinds of tree; the lossless parts are read only by walks that want text,
// comments or instructions, and only for documents read losslessly.
//
// An Axes object belongs to one evaluation and holds the frames of the walks
// in progress in one vector (nested walks stack above each other), so that
// walking allocates nothing once the vector has grown. Walks only read the
// tree.
//
//   Axes axes;
//   axes.axis(Axis::CHILD, node, true, [&](const XPathNode& child) { ...; return true; });
//   int order = Axes::compareOrder(a, b);   // negative: a comes first
#ifndef KAVRIXML_XML_XPATHAXES_H
#define KAVRIXML_XML_XPATHAXES_H

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/SmartPtr.h"
#include "xml/XNode.h"
#include "xml/XPathParts.h"
#include "xml/XPathProgram.h"

namespace kavri {
namespace xml {
namespace xpath {

class Axes {
  public:
    using Child = ::core::SmartPtr<XNode>;

    // --- Nodes and their kinds -------------------------------------------------

    static bool hasText(const XNode* element) { return element->getBodySize() != 0; }
    static bool hasCData(const XNode* element) {
        unsigned size = 0;
        return element->getCData(size) != nullptr && size != 0;
    }
    static std::string_view bodyOf(const XNode* element) { return element->getBodyString(); }
    static std::string_view cdataOf(const XNode* element) {
        unsigned size = 0;
        const char* data = element->getCData(size);
        return data != nullptr ? std::string_view(data, size) : std::string_view();
    }
    // A part of the content in order of a lossless element (or of the root
    // node, when it stands around the top element).
    static bool isPart(const XPathNode& node) { return node.index() != 0; }
    static bool isAroundRoot(const XPathNode& node) {
        return (node.index() & XPathNode::AROUND_ROOT) != 0;
    }
    static uint32_t placeOf(const XPathNode& node) {
        return (node.index() & ~XPathNode::AROUND_ROOT) - 1;
    }
    static const PartList& listOf(const XPathNode& node) {
        return isAroundRoot(node) ? Parts::around(node.element()) : Parts::of(node.element());
    }
    static const Part& partOf(const XPathNode& node) { return listOf(node).parts[placeOf(node)]; }
    // The node of part `place` of `list`, which belongs to `owner`.
    static XPathNode partNode(const PartList& list, size_t place, const XNode* owner,
                              uint32_t flags) {
        const Part& part = list.parts[place];
        return part.kind == XPathNode::ELEMENT
                   ? XPathNode(XPathNode::ELEMENT, part.element)
                   : XPathNode(part.kind, owner, nullptr, static_cast<uint32_t>(place + 1) | flags);
    }
    // The text of a text node.
    static std::string_view textOf(const XPathNode& node) {
        if (isPart(node)) {
            return partOf(node).text;
        }
        return node.kind() == XPathNode::TEXT ? bodyOf(node.element()) : cdataOf(node.element());
    }
    static bool isText(const XPathNode& node) {
        return node.kind() == XPathNode::TEXT || node.kind() == XPathNode::CDATA;
    }
    // The string value of a node without children: an attribute's value, a
    // text's text ("" for no node; the root and elements are no leaves).
    static std::string_view leafValue(const XPathNode& node) {
        if (node.kind() == XPathNode::ATTRIBUTE) {
            return node.attribute()->getValueString();
        }
        if (isPart(node)) {
            return partOf(node).text;
        }
        return isText(node) ? textOf(node) : std::string_view();
    }
    // xmlns and xmlns:* are no attributes to XPath.
    static bool isNamespaceDeclaration(const char* name) {
        return name[0] == 'x' && std::strncmp(name, "xmlns", 5) == 0 &&
               (name[5] == '\0' || name[5] == ':');
    }
    // name() of XPath: the element's or attribute's name, an instruction's
    // target, "" for the others.
    static const char* nameOf(const XPathNode& node);
    static XPathNode parentOf(const XPathNode& node);
    // The root node above `node`'s tree.
    static XPathNode rootOf(const XPathNode& node);
    // Document order of two nodes of one tree: negative, 0 or positive.
    static int compareOrder(const XPathNode& a, const XPathNode& b);
    // The order of two nodes that `element()` shares, neither of them a part.
    static int compareSameElement(const XPathNode& a, const XPathNode& b);
    // True when `later` lies inside the subtree of `earlier`: below it, or
    // one of the nodes its element stands for.
    static bool inSubtree(const XPathNode& earlier, const XPathNode& later);

    // --- Walks ---------------------------------------------------------------------
    //
    // Each calls emit(node) for each node of its walk until emit answers
    // false, and then answers false itself.

    // The nodes of `axis` from `node` in the axis's order (reverse document
    // order for the reverse axes). `withText`: text nodes are wanted.
    template <class Emit>
    bool axis(Axis axis, const XPathNode& node, bool withText, Emit&& emit);
    // The nodes below `top` in document order.
    template <class Emit>
    bool descendants(const XNode* top, bool withText, Emit&& emit);
    // visit(element) for each element below `top` in document order.
    template <class Visit>
    bool elementsBelow(const XNode* top, Visit&& visit);
    // How many elements lie below `top`, or NO_COUNT once they are more
    // than `most`: each child array counted whole, and only elements with
    // children of their own walked into.
    static constexpr uint64_t NO_COUNT = ~uint64_t(0);
    uint64_t countBelow(const XNode* top, uint64_t most);
    // An element's attributes in document order (the byte order of names).
    template <class Emit>
    static bool attributes(const XNode* element, Emit&& emit);
    // An element's text nodes: its body, then its CDATA.
    template <class Emit>
    static bool ownTexts(const XNode* element, Emit&& emit) {
        return (!hasText(element) || emit(XPathNode(XPathNode::TEXT, element))) &&
               (!hasCData(element) || emit(XPathNode(XPathNode::CDATA, element)));
    }

  private:
    struct Frame {
        const Child* at;
        const Child* end;
        const XNode* owner;  // whose children these are (walks backwards only)
    };
    // A lossless element's parts being walked: `at` is the next one (one
    // past it, walking backwards).
    struct PartFrame {
        const PartList* list;
        const XNode* owner;
        size_t at;
    };
    // Gives a frame stack back the height it had when a walk began, however
    // the walk ends.
    template <class F>
    struct FramesUnwind {
        std::vector<F>& frames;
        size_t base;
        ~FramesUnwind() { frames.resize(base); }
    };

    // The order of a part and another node of one tree.
    static int comparePart(const XPathNode& part, const XPathNode& other);
    // Where a lossless element stands among its parent's parts (among the
    // root node's for the top element), and that list.
    static size_t placeAmongParts(const XNode* element, const PartList*& list);
    // The lossless walks.
    template <class Emit>
    bool partsBelow(const XNode* top, Emit&& emit);
    template <class Emit>
    bool partsBelowBackwards(const XNode* top, Emit&& emit);
    template <class Emit>
    static bool partSiblings(const XPathNode& node, bool forward, bool withText, Emit&& emit);
    template <class Emit>
    bool rootDescendants(const XNode* top, Emit&& emit);

    template <class Emit>
    static bool ownTextsBackwards(const XNode* element, Emit&& emit) {
        return (!hasCData(element) || emit(XPathNode(XPathNode::CDATA, element))) &&
               (!hasText(element) || emit(XPathNode(XPathNode::TEXT, element)));
    }
    // A frame's fields are stored one by one: a Frame made whole and copied
    // is read back as one wide load of narrower stores, which the processor
    // cannot forward, and a walk saves a frame at nearly every element that
    // has children.
    static void setFrame(Frame& frame, const Child* at, const Child* end, const XNode* owner) {
        frame.at = at;
        frame.end = end;
        frame.owner = owner;
    }
    void pushFrame(const Child* at, const Child* end, const XNode* owner) {
        mFrames.emplace_back();
        setFrame(mFrames.back(), at, end, owner);
    }
    // The position of `element` in its parent's children.
    static const Child* positionOf(const XNode* element);
    // Inline: the walks call them once per element.
    static void prefetchAhead(const XNode* element, const Child* next, const Child* end);
    static void prefetchChildren(const XNode* element);

    template <class Emit>
    bool child(const XPathNode& node, bool withText, Emit&& emit);
    template <class Emit>
    bool following(const XPathNode& node, bool withText, Emit&& emit);
    template <class Emit>
    bool preceding(const XPathNode& node, bool withText, Emit&& emit);
    template <class Emit>
    bool descendantsBackwards(const XNode* top, bool withText, Emit&& emit);
    template <class Emit>
    bool followingSiblings(const XPathNode& node, bool withText, Emit&& emit);
    template <class Emit>
    bool precedingSiblings(const XPathNode& node, bool withText, Emit&& emit);

    std::vector<Frame> mFrames;
    std::vector<PartFrame> mPartFrames;
};

template <class Emit>
bool Axes::attributes(const XNode* element, Emit&& emit) {
    bool go = true;
    element->forEachAttribute([&](const char* name, const Attribute* attribute) {
        if (go && !isNamespaceDeclaration(name)) {
            go = emit(XPathNode(XPathNode::ATTRIBUTE, element, attribute));
        }
    });
    return go;
}

template <class Emit>
bool Axes::descendants(const XNode* top, bool withText, Emit&& emit) {
    if (withText && Parts::isLossless(top)) {
        return partsBelow(top, emit);
    }
    if (withText && !ownTexts(top, emit)) {
        return false;
    }
    const XNode::ChildList& children = top->getChildren();
    if (children.empty()) {
        return true;
    }
    const size_t base = mFrames.size();
    FramesUnwind<Frame> unwind{mFrames, base};
    pushFrame(children.begin(), children.end(), top);
    while (mFrames.size() > base) {
        Frame& frame = mFrames.back();
        if (frame.at == frame.end) {
            mFrames.pop_back();
            continue;
        }
        const XNode* element = (frame.at++)->get();
        prefetchAhead(element, frame.at, frame.end);
        if (!emit(XPathNode(XPathNode::ELEMENT, element)) ||
            (withText && !ownTexts(element, emit))) {
            return false;
        }
        const XNode::ChildList& below = element->getChildren();
        if (!below.empty()) {
            pushFrame(below.begin(), below.end(), element);
        }
    }
    return true;
}

// A walk waits on memory node after node: each node's child list tells
// where the next one is. The pool cuts a tree's nodes (and their attributes,
// texts and child arrays) one after the other, so the nodes a walk reaches
// next lie a little further on in memory than the one it is at; asking for
// those bytes now lets their waits overlap with this node's. An address that
// holds no node (a tree built in another order, the end of a chunk) costs a
// wasted request, never a fault: prefetching does not trap.
//
// Where an element has many children, its child array names the later ones
// exactly: their child lists are asked for a few siblings ahead as well.
inline constexpr std::ptrdiff_t PREFETCH_AHEAD = 8192;
inline constexpr std::ptrdiff_t SIBLINGS_AHEAD = 6;

inline void Axes::prefetchAhead(const XNode* element, const Child* next, const Child* end) {
#if defined(__GNUC__)
    const char* at = reinterpret_cast<const char*>(element) + PREFETCH_AHEAD;
    __builtin_prefetch(at);
    __builtin_prefetch(at + 64);
    if (end - next > SIBLINGS_AHEAD) {
        __builtin_prefetch(&next[SIBLINGS_AHEAD]->getChildren());
    }
#else
    (void)element;
    (void)next;
    (void)end;
#endif
}

inline void Axes::prefetchChildren(const XNode* element) {
#if defined(__GNUC__)
    __builtin_prefetch(element->getChildren().begin());
#else
    (void)element;
#endif
}

inline uint64_t Axes::countBelow(const XNode* top, uint64_t most) {
    const size_t base = mFrames.size();
    FramesUnwind<Frame> unwind{mFrames, base};
    const Child* at = top->getChildren().begin();
    const Child* end = top->getChildren().end();
    uint64_t count = static_cast<uint64_t>(end - at);
    for (;;) {
        if (count > most) {
            return NO_COUNT;
        }
        if (at == end) {
            if (mFrames.size() == base) {
                return count;
            }
            at = mFrames.back().at;
            end = mFrames.back().end;
            mFrames.pop_back();
            continue;
        }
        const XNode* element = (at++)->get();
        prefetchAhead(element, at, end);
        const XNode::ChildList& below = element->getChildren();
        if (below.empty()) {
            continue;
        }
        count += below.size();
        if (at != end) {
            prefetchChildren(at->get());  // as elementsBelow does
            pushFrame(at, end, nullptr);
        }
        at = below.begin();
        end = below.end();
    }
}

template <class Visit>
bool Axes::elementsBelow(const XNode* top, Visit&& visit) {
    // The frame being walked is kept in `at` and `end`; the frames of the
    // ancestors with children still to come are saved in mFrames above
    // `base`. A visit that walks on its own stacks its frames above ours
    // and may move the vector, so it is addressed afresh on each use.
    const size_t base = mFrames.size();
    FramesUnwind<Frame> unwind{mFrames, base};
    size_t saved = 0;
    const Child* at = top->getChildren().begin();
    const Child* end = top->getChildren().end();
    for (;;) {
        if (at == end) {
            if (saved == 0) {
                return true;
            }
            const Frame& frame = mFrames[base + --saved];
            at = frame.at;
            end = frame.end;
            continue;
        }
        const XNode* element = (at++)->get();
        prefetchAhead(element, at, end);
        if (!visit(element)) {
            return false;
        }
        const XNode::ChildList& below = element->getChildren();
        if (below.empty()) {
            continue;
        }
        // The rest of this frame waits while the children are walked; a
        // frame whose last child this was is simply left (a chain of only
        // children needs no saved frame at all).
        if (at != end) {
            // The next sibling's children come after these: their array,
            // which may lie anywhere, is asked for now.
            prefetchChildren(at->get());
            if (base + saved == mFrames.size()) {
                mFrames.resize(std::max<size_t>(2 * mFrames.size(), base + 32));
            }
            setFrame(mFrames[base + saved++], at, end, nullptr);
        }
        at = below.begin();
        end = below.end();
    }
}

template <class Emit>
bool Axes::descendantsBackwards(const XNode* top, bool withText, Emit&& emit) {
    if (withText && Parts::isLossless(top)) {
        return partsBelowBackwards(top, emit);
    }
    const size_t base = mFrames.size();
    FramesUnwind<Frame> unwind{mFrames, base};
    const XNode::ChildList& children = top->getChildren();
    // Frames walk their children backwards: `at` is one past the next one.
    pushFrame(children.end(), children.begin(), top);
    while (mFrames.size() > base) {
        Frame& frame = mFrames.back();
        if (frame.at == frame.end) {
            // An element's own texts, last first, after its descendants.
            const XNode* owner = frame.owner;
            mFrames.pop_back();
            if ((withText && !ownTextsBackwards(owner, emit)) ||
                (owner != top && !emit(XPathNode(XPathNode::ELEMENT, owner)))) {
                return false;
            }
            continue;
        }
        const XNode* element = (--frame.at)->get();
        const XNode::ChildList& below = element->getChildren();
        pushFrame(below.end(), below.begin(), element);
    }
    return true;
}

template <class Emit>
bool Axes::followingSiblings(const XPathNode& node, bool withText, Emit&& emit) {
    if (isPart(node) ||
        (withText && node.kind() == XPathNode::ELEMENT && Parts::isLossless(node.element()))) {
        return partSiblings(node, true, withText, emit);
    }
    const XNode* owner = node.element();
    const Child* from;
    switch (node.kind()) {
        case XPathNode::ELEMENT:
            if (owner->getParent() == nullptr) {
                return true;
            }
            from = positionOf(owner) + 1;
            owner = owner->getParent();
            break;
        case XPathNode::TEXT:
            if (withText && hasCData(owner) && !emit(XPathNode(XPathNode::CDATA, owner))) {
                return false;
            }
            from = owner->getChildren().begin();
            break;
        case XPathNode::CDATA:
            from = owner->getChildren().begin();
            break;
        default:
            return true;
    }
    for (const Child* at = from; at < owner->getChildren().end(); ++at) {
        if (!emit(XPathNode(XPathNode::ELEMENT, at->get()))) {
            return false;
        }
    }
    return true;
}

template <class Emit>
bool Axes::precedingSiblings(const XPathNode& node, bool withText, Emit&& emit) {
    if (isPart(node) ||
        (withText && node.kind() == XPathNode::ELEMENT && Parts::isLossless(node.element()))) {
        return partSiblings(node, false, withText, emit);
    }
    const XNode* owner = node.element();
    switch (node.kind()) {
        case XPathNode::ELEMENT: {
            const XNode* parent = owner->getParent();
            if (parent == nullptr) {
                return true;
            }
            const Child* first = parent->getChildren().begin();
            for (const Child* at = positionOf(owner); at > first;) {
                if (!emit(XPathNode(XPathNode::ELEMENT, (--at)->get()))) {
                    return false;
                }
            }
            return !withText || ownTextsBackwards(parent, emit);
        }
        case XPathNode::CDATA:
            return !withText || !hasText(owner) || emit(XPathNode(XPathNode::TEXT, owner));
        default:
            return true;
    }
}

template <class Emit>
bool Axes::child(const XPathNode& node, bool withText, Emit&& emit) {
    if (node.kind() != XPathNode::ROOT && node.kind() != XPathNode::ELEMENT) {
        return true;
    }
    if (withText && Parts::isLossless(node.element())) {
        const bool root = node.kind() == XPathNode::ROOT;
        const PartList& list = root ? Parts::around(node.element()) : Parts::of(node.element());
        const uint32_t flags = root ? XPathNode::AROUND_ROOT : 0;
        for (size_t place = 0; place < list.parts.size(); ++place) {
            if (!emit(partNode(list, place, node.element(), flags))) {
                return false;
            }
        }
        return true;
    }
    if (node.kind() == XPathNode::ROOT) {
        return emit(XPathNode(XPathNode::ELEMENT, node.element()));
    }
    if (withText && !ownTexts(node.element(), emit)) {
        return false;
    }
    for (const Child& each : node.element()->getChildren()) {
        if (!emit(XPathNode(XPathNode::ELEMENT, each.get()))) {
            return false;
        }
    }
    return true;
}

template <class Emit>
bool Axes::following(const XPathNode& node, bool withText, Emit&& emit) {
    XPathNode at = node;
    if (node.kind() == XPathNode::ATTRIBUTE) {
        // After an attribute: its element's content, then what follows the
        // element.
        if (!descendants(node.element(), withText, emit)) {
            return false;
        }
        at = parentOf(node);
    }
    for (; at && at.kind() != XPathNode::ROOT; at = parentOf(at)) {
        const bool go = followingSiblings(at, withText, [&](const XPathNode& sibling) {
            return emit(sibling) && (sibling.kind() != XPathNode::ELEMENT ||
                                     descendants(sibling.element(), withText, emit));
        });
        if (!go) {
            return false;
        }
    }
    return true;
}

template <class Emit>
bool Axes::preceding(const XPathNode& node, bool withText, Emit&& emit) {
    XPathNode at = node.kind() == XPathNode::ATTRIBUTE ? parentOf(node) : node;
    for (; at && at.kind() != XPathNode::ROOT; at = parentOf(at)) {
        const bool go = precedingSiblings(at, withText, [&](const XPathNode& sibling) {
            if (sibling.kind() != XPathNode::ELEMENT) {
                return emit(sibling);
            }
            return descendantsBackwards(sibling.element(), withText, emit) && emit(sibling);
        });
        if (!go) {
            return false;
        }
    }
    return true;
}

template <class Emit>
bool Axes::partsBelow(const XNode* top, Emit&& emit) {
    const size_t base = mPartFrames.size();
    FramesUnwind<PartFrame> unwind{mPartFrames, base};
    mPartFrames.push_back(PartFrame{&Parts::of(top), top, 0});
    while (mPartFrames.size() > base) {
        // emit may walk on its own and move the stack: the frame is not
        // used after it.
        PartFrame& frame = mPartFrames.back();
        if (frame.at == frame.list->parts.size()) {
            mPartFrames.pop_back();
            continue;
        }
        const XPathNode node = partNode(*frame.list, frame.at++, frame.owner, 0);
        if (!emit(node)) {
            return false;
        }
        if (node.kind() == XPathNode::ELEMENT) {
            mPartFrames.push_back(PartFrame{&Parts::of(node.element()), node.element(), 0});
        }
    }
    return true;
}

template <class Emit>
bool Axes::partsBelowBackwards(const XNode* top, Emit&& emit) {
    const size_t base = mPartFrames.size();
    FramesUnwind<PartFrame> unwind{mPartFrames, base};
    const PartList* list = &Parts::of(top);
    mPartFrames.push_back(PartFrame{list, top, list->parts.size()});
    while (mPartFrames.size() > base) {
        PartFrame& frame = mPartFrames.back();
        if (frame.at == 0) {
            // An element comes before its content: after it, walking back.
            const XNode* owner = frame.owner;
            mPartFrames.pop_back();
            if (owner != top && !emit(XPathNode(XPathNode::ELEMENT, owner))) {
                return false;
            }
            continue;
        }
        const size_t place = --frame.at;
        const Part& part = frame.list->parts[place];
        if (part.kind == XPathNode::ELEMENT) {
            list = &Parts::of(part.element);
            mPartFrames.push_back(PartFrame{list, part.element, list->parts.size()});
        } else if (!emit(partNode(*frame.list, place, frame.owner, 0))) {
            return false;
        }
    }
    return true;
}

template <class Emit>
bool Axes::partSiblings(const XPathNode& node, bool forward, bool withText, Emit&& emit) {
    const PartList* list = nullptr;
    const XNode* owner = node.element();
    uint32_t flags = node.index() & XPathNode::AROUND_ROOT;
    size_t place;
    if (isPart(node)) {
        list = &listOf(node);
        place = placeOf(node);
    } else {
        place = placeAmongParts(owner, list);
        if (owner->getParent() != nullptr) {
            owner = owner->getParent();
        } else {
            flags = XPathNode::AROUND_ROOT;
        }
    }
    auto visit = [&](size_t at) {
        return (!withText && list->parts[at].kind != XPathNode::ELEMENT) ||
               emit(partNode(*list, at, owner, flags));
    };
    if (forward) {
        for (size_t at = place + 1; at < list->parts.size(); ++at) {
            if (!visit(at)) {
                return false;
            }
        }
        return true;
    }
    for (size_t at = place; at-- > 0;) {
        if (!visit(at)) {
            return false;
        }
    }
    return true;
}

template <class Emit>
bool Axes::rootDescendants(const XNode* top, Emit&& emit) {
    const PartList& list = Parts::around(top);
    for (size_t place = 0; place < list.parts.size(); ++place) {
        const XPathNode node = partNode(list, place, top, XPathNode::AROUND_ROOT);
        if (!emit(node) || (node.kind() == XPathNode::ELEMENT && !partsBelow(top, emit))) {
            return false;
        }
    }
    return true;
}

template <class Emit>
bool Axes::axis(Axis axis, const XPathNode& node, bool withText, Emit&& emit) {
    const XPathNode::Kind kind = node.kind();
    switch (axis) {
        case Axis::SELF:
            return emit(node);
        case Axis::CHILD:
            return child(node, withText, emit);
        case Axis::DESCENDANT_OR_SELF:
        case Axis::DESCENDANT:
            if (axis == Axis::DESCENDANT_OR_SELF && !emit(node)) {
                return false;
            }
            if (kind == XPathNode::ROOT && withText && Parts::isLossless(node.element())) {
                return rootDescendants(node.element(), emit);
            }
            if (kind == XPathNode::ROOT) {
                return emit(XPathNode(XPathNode::ELEMENT, node.element())) &&
                       descendants(node.element(), withText, emit);
            }
            return kind != XPathNode::ELEMENT || descendants(node.element(), withText, emit);
        case Axis::ATTRIBUTE:
            return kind != XPathNode::ELEMENT || attributes(node.element(), emit);
        case Axis::NAMESPACE:
            return true;
        case Axis::PARENT: {
            const XPathNode parent = parentOf(node);
            return !parent || emit(parent);
        }
        case Axis::ANCESTOR_OR_SELF:
        case Axis::ANCESTOR:
            if (axis == Axis::ANCESTOR_OR_SELF && !emit(node)) {
                return false;
            }
            for (XPathNode at = parentOf(node); at; at = parentOf(at)) {
                if (!emit(at)) {
                    return false;
                }
            }
            return true;
        case Axis::FOLLOWING_SIBLING:
            return followingSiblings(node, withText, emit);
        case Axis::PRECEDING_SIBLING:
            return precedingSiblings(node, withText, emit);
        case Axis::FOLLOWING:
            return following(node, withText, emit);
        case Axis::PRECEDING:
            return preceding(node, withText, emit);
    }
    return true;
}

}  // namespace xpath
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XPATHAXES_H
