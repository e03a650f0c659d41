// Evaluation of compiled XPath programs over the document model.
//
// Node sets are vectors of XPathNode kept in document order without
// duplicates. A step from one context node, or from context nodes whose
// results cannot interleave, produces its nodes in order already; only the
// other cases are sorted. Walks keep their frames in one vector of the
// evaluator and buffers come from its pools, so visiting a node allocates
// nothing once they have grown.
#include "xml/XPathEvaluator.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "xml/Document.h"

namespace kavri {
namespace xml {
namespace xpath {

namespace {

constexpr const char* XML_NAMESPACE = "http://www.w3.org/XML/1998/namespace";

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
constexpr std::ptrdiff_t PREFETCH_AHEAD = 2048;
constexpr std::ptrdiff_t SIBLINGS_AHEAD = 6;

void prefetchAhead(const XNode* element, const ::core::SmartPtr<XNode>* next,
                   const ::core::SmartPtr<XNode>* end) {
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

void prefetchChildren(const XNode* element) {
#if defined(__GNUC__)
    __builtin_prefetch(element->getChildren().begin());
#else
    (void)element;
#endif
}

bool hasText(const XNode* element) {
    return element->getBodySize() != 0;
}

bool hasCData(const XNode* element) {
    unsigned size = 0;
    return element->getCData(size) != nullptr && size != 0;
}

std::string_view bodyOf(const XNode* element) {
    return element->getBodyString();
}

std::string_view cdataOf(const XNode* element) {
    unsigned size = 0;
    const char* data = element->getCData(size);
    return data != nullptr ? std::string_view(data, size) : std::string_view();
}

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

int compareSameElement(const XPathNode& a, const XPathNode& b) {
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

unsigned depthOf(const XNode* element) {
    unsigned depth = 0;
    for (const XNode* at = element->getParent(); at != nullptr; at = at->getParent()) {
        ++depth;
    }
    return depth;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

size_t characterCount(std::string_view text) {
    size_t count = 0;
    for (char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

// The length of the UTF-8 character at `at` (1 for a stray byte).
size_t characterLength(std::string_view text, size_t at) {
    size_t end = at + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        ++end;
    }
    return end - at;
}

// XPath's round: half up, keeping NaN, infinities and negative zero.
double roundHalfUp(double value) {
    if (std::isnan(value) || std::isinf(value)) {
        return value;
    }
    double result = std::floor(value);
    if (value - result >= 0.5) {
        result += 1;
    }
    if (result == 0 && std::signbit(value)) {
        return -0.0;
    }
    return result;
}

std::string_view localName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon != nullptr ? std::string_view(colon + 1) : std::string_view(name);
}

const char* nameOf(const XPathNode& node) {
    switch (node.kind()) {
        case XPathNode::ELEMENT:
            return node.element()->getName();
        case XPathNode::ATTRIBUTE:
            return node.attribute()->filedName();
        default:
            return "";
    }
}

// The URI bound to `prefix` ("" for the default namespace) on the element or
// its ancestors; "" when none is.
std::string_view namespaceOf(const XNode* element, std::string_view prefix) {
    if (prefix == "xml") {
        return XML_NAMESPACE;
    }
    std::string key = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (const XNode* at = element; at != nullptr; at = at->getParent()) {
        if (const Attribute* declaration = at->getAttribute(key.c_str())) {
            return declaration->getValueString();
        }
    }
    return {};
}

std::string_view namespaceUri(const XPathNode& node) {
    if (node.kind() != XPathNode::ELEMENT && node.kind() != XPathNode::ATTRIBUTE) {
        return {};
    }
    const char* name = nameOf(node);
    const char* colon = std::strchr(name, ':');
    if (colon == nullptr) {
        // Unprefixed attributes are in no namespace; elements in the default.
        return node.kind() == XPathNode::ELEMENT ? namespaceOf(node.element(), {})
                                                 : std::string_view();
    }
    return namespaceOf(node.element(), std::string_view(name, colon - name));
}

bool matchesOther(const Step& step, const XPathNode& node);

// The usual tests decided inline; the others by matchesOther.
inline bool matches(const Step& step, const XPathNode& node) {
    const XPathNode::Kind principal =
        step.axis == Axis::ATTRIBUTE ? XPathNode::ATTRIBUTE : XPathNode::ELEMENT;
    if (step.test == Test::ANY_NAME) {
        return node.kind() == principal;
    }
    if (step.test == Test::NAME) {
        if (node.kind() != principal) {
            return false;
        }
        const char* name = nameOf(node);
        return name[0] == step.name[0] && std::strcmp(name, step.name.c_str()) == 0;
    }
    return matchesOther(step, node);
}

bool matchesOther(const Step& step, const XPathNode& node) {
    const XPathNode::Kind principal =
        step.axis == Axis::ATTRIBUTE ? XPathNode::ATTRIBUTE : XPathNode::ELEMENT;
    switch (step.test) {
        case Test::NODE:
            return true;
        case Test::TEXT:
            return node.kind() == XPathNode::TEXT || node.kind() == XPathNode::CDATA;
        case Test::NOTHING:
            return false;
        case Test::ANY_NAME:
            return node.kind() == principal;
        case Test::NAME: {
            if (node.kind() != principal) {
                return false;
            }
            const char* name = nameOf(node);
            return name[0] == step.name[0] && std::strcmp(name, step.name.c_str()) == 0;
        }
        case Test::PREFIX:
            return node.kind() == principal &&
                   std::strncmp(nameOf(node), step.name.c_str(), step.name.size()) == 0;
    }
    return false;
}

// True when `ancestor` is `node`'s element or one of its ancestors.
bool contains(const XNode* ancestor, const XNode* node) {
    for (const XNode* at = node; at != nullptr; at = at->getParent()) {
        if (at == ancestor) {
            return true;
        }
    }
    return false;
}

// True when `later` lies inside the subtree of `earlier` (not `earlier` itself
// or its own attributes and texts, which cannot have children anyway).
bool inSubtree(const XPathNode& earlier, const XPathNode& later) {
    if (earlier.kind() == XPathNode::ROOT) {
        return later.kind() != XPathNode::ROOT;
    }
    if (earlier.kind() != XPathNode::ELEMENT) {
        return false;
    }
    if (later.kind() == XPathNode::ROOT) {
        return false;
    }
    if (later.element() == earlier.element()) {
        return later.kind() != XPathNode::ELEMENT;
    }
    return contains(earlier.element(), later.element());
}

XPathNode parentOf(const XPathNode& node) {
    switch (node.kind()) {
        case XPathNode::ELEMENT: {
            const XNode* parent = node.element()->getParent();
            return parent != nullptr ? XPathNode(XPathNode::ELEMENT, parent)
                                     : XPathNode(XPathNode::ROOT, node.element());
        }
        case XPathNode::ATTRIBUTE:
        case XPathNode::TEXT:
        case XPathNode::CDATA:
            return XPathNode(XPathNode::ELEMENT, node.element());
        default:
            return XPathNode();
    }
}

// The position of `element` in its parent's children.
const ::core::SmartPtr<XNode>* positionOf(const XNode* element) {
    const XNode::ChildList& siblings = element->getParent()->getChildren();
    for (const ::core::SmartPtr<XNode>& child : siblings) {
        if (child.get() == element) {
            return &child;
        }
    }
    return siblings.end();
}

double toNumber(std::string_view text) {
    return XPathQuery::stringToNumber(text.data(), text.size());
}

bool equalNumbers(Expr::Op op, double a, double b) {
    switch (op) {
        case Expr::EQ:
            return a == b;
        case Expr::NE:
            return a != b;
        case Expr::LT:
            return a < b;
        case Expr::LE:
            return a <= b;
        case Expr::GT:
            return a > b;
        default:
            return a >= b;
    }
}

// The operator seen from the other side: 1 < x is x > 1.
Expr::Op mirrored(Expr::Op op) {
    switch (op) {
        case Expr::LT:
            return Expr::GT;
        case Expr::LE:
            return Expr::GE;
        case Expr::GT:
            return Expr::LT;
        case Expr::GE:
            return Expr::LE;
        default:
            return op;
    }
}

const char* typeName(XPathValue::Type type) {
    switch (type) {
        case XPathValue::BOOLEAN:
            return "a boolean";
        case XPathValue::NUMBER:
            return "a number";
        case XPathValue::STRING:
            return "a string";
        default:
            return "a node set";
    }
}

}  // namespace

XPathNode rootOf(const XPathNode& node) {
    if (node.kind() == XPathNode::NONE) {
        return node;
    }
    const XNode* top = node.element();
    while (top->getParent() != nullptr) {
        top = top->getParent();
    }
    return XPathNode(XPathNode::ROOT, top);
}

int compareOrder(const XPathNode& a, const XPathNode& b) {
    if (a.kind() == XPathNode::ROOT || b.kind() == XPathNode::ROOT) {
        return (a.kind() == XPathNode::ROOT ? 0 : 1) - (b.kind() == XPathNode::ROOT ? 0 : 1);
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
    while (x->getParent() != y->getParent()) {
        x = x->getParent();
        y = y->getParent();
    }
    if (x->getParent() == nullptr) {
        return x < y ? -1 : 1;  // two trees: any fixed order
    }
    for (const ::core::SmartPtr<XNode>& child : x->getParent()->getChildren()) {
        if (child.get() == x) {
            return -1;
        }
        if (child.get() == y) {
            return 1;
        }
    }
    return 0;
}

// --- Budget and variables -------------------------------------------------

void Evaluator::overBudget(const Expr* where) const {
    throw XPathException(where != nullptr ? where->offset : 0,
                         "the query took more than " + std::to_string(mOptions.maxSteps) +
                             " steps, the limit of one evaluation");
}

void Evaluator::tooManyNodes(const Expr* where) const {
    throw XPathException(where->offset, "a node set grew beyond " +
                                            std::to_string(mOptions.maxNodes) +
                                            " nodes, the limit of one evaluation");
}

const XPathValue& Evaluator::variable(const Expr* expr) const {
    const XPathValue* value =
        mOptions.variables != nullptr ? mOptions.variables->get(expr->text) : nullptr;
    if (value == nullptr) {
        throw XPathException(expr->offset, "variable $" + expr->text + " is not bound");
    }
    return *value;
}

// --- Walks ------------------------------------------------------------------

template <class Emit>
bool Evaluator::attributes(const XNode* element, Emit&& emit) {
    bool go = true;
    element->forEachAttribute([&](const char* name, const Attribute* attribute) {
        if (go && !isNamespaceDeclaration(name)) {
            go = emit(XPathNode(XPathNode::ATTRIBUTE, element, attribute));
        }
    });
    return go;
}

template <class Emit>
bool Evaluator::descendants(const XNode* top, bool withText, Emit&& emit) {
    if (withText) {
        if (hasText(top) && !emit(XPathNode(XPathNode::TEXT, top))) {
            return false;
        }
        if (hasCData(top) && !emit(XPathNode(XPathNode::CDATA, top))) {
            return false;
        }
    }
    const XNode::ChildList& children = top->getChildren();
    if (children.empty()) {
        return true;
    }
    const size_t base = mFrames.size();
    FramesUnwind unwind{mFrames, base};
    mFrames.push_back(Frame{children.begin(), children.end(), top});
    while (mFrames.size() > base) {
        Frame& frame = mFrames.back();
        if (frame.at == frame.end) {
            mFrames.pop_back();
            continue;
        }
        const XNode* element = (frame.at++)->get();
        prefetchAhead(element, frame.at, frame.end);
        if (!emit(XPathNode(XPathNode::ELEMENT, element))) {
            return false;
        }
        if (withText) {
            if (hasText(element) && !emit(XPathNode(XPathNode::TEXT, element))) {
                return false;
            }
            if (hasCData(element) && !emit(XPathNode(XPathNode::CDATA, element))) {
                return false;
            }
        }
        const XNode::ChildList& below = element->getChildren();
        if (!below.empty()) {
            mFrames.push_back(Frame{below.begin(), below.end(), element});
        }
    }
    return true;
}

template <class Visit>
bool Evaluator::elementsBelow(const XNode* top, Visit&& visit) {
    // The frame being walked is kept in `at` and `end`; the frames of the
    // ancestors with children still to come are saved in mFrames above
    // `base`. A visit that walks on its own stacks its frames above ours
    // and may move the vector, so it is addressed afresh on each use.
    const size_t base = mFrames.size();
    FramesUnwind unwind{mFrames, base};
    size_t saved = 0;
    const ::core::SmartPtr<XNode>* at = top->getChildren().begin();
    const ::core::SmartPtr<XNode>* end = top->getChildren().end();
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
            mFrames[base + saved++] = Frame{at, end, nullptr};
        }
        at = below.begin();
        end = below.end();
    }
}

template <bool Settle, bool ByName, class Sink>
bool Evaluator::descendantElements(const Step& step, const XPathNode& node, const Expr* where,
                                   Sink&& sink) {
    // One step per node, as for any axis, but counted in a register: the
    // walk stops at the node that goes over budget and the error comes
    // after it, and the count is handed back before anything else may
    // spend, so the error is the one a check on every node gives.
    const uint64_t limit = mOptions.maxSteps;
    uint64_t steps = mSteps;
    const char* name = step.name.c_str();
    auto take = [&](const XNode* element) {
        if (++steps > limit) {
            return false;
        }
        if (ByName) {
            const char* own = element->getName();
            if (own[0] != name[0] || std::strcmp(own, name) != 0) {
                return true;
            }
        }
        if (!Settle) {
            return sink(XPathNode(XPathNode::ELEMENT, element));
        }
        const XPathNode found(XPathNode::ELEMENT, element);
        mSteps = steps;
        const bool go = !allHold(step.predicates, found) || sink(found);
        steps = mSteps;
        return go;
    };
    const XNode* top = node.element();
    bool completed = true;
    if (node.kind() == XPathNode::ROOT) {
        // The root node is its own descendant-or-self but no element; the
        // top element is the first of its descendants.
        if (step.axis == Axis::DESCENDANT_OR_SELF) {
            ++steps;
        }
        completed = take(top);
    } else if (step.axis == Axis::DESCENDANT_OR_SELF) {
        completed = take(top);
    }
    completed = completed && elementsBelow(top, take);
    mSteps = steps;
    if (steps > limit) {
        overBudget(where);
    }
    return completed;
}

template <class Emit>
bool Evaluator::descendantsReverse(const XNode* top, bool withText, Emit&& emit) {
    // An element's own texts, last first, after its descendants.
    auto ownTexts = [&](const XNode* element) {
        if (!withText) {
            return true;
        }
        if (hasCData(element) && !emit(XPathNode(XPathNode::CDATA, element))) {
            return false;
        }
        return !hasText(element) || emit(XPathNode(XPathNode::TEXT, element));
    };
    const size_t base = mFrames.size();
    FramesUnwind unwind{mFrames, base};
    const XNode::ChildList& children = top->getChildren();
    // Frames walk their children backwards: `at` is one past the next one.
    mFrames.push_back(Frame{children.end(), children.begin(), top});
    while (mFrames.size() > base) {
        Frame& frame = mFrames.back();
        if (frame.at == frame.end) {
            const XNode* owner = frame.owner;
            mFrames.pop_back();
            if (!ownTexts(owner)) {
                return false;
            }
            if (owner != top && !emit(XPathNode(XPathNode::ELEMENT, owner))) {
                return false;
            }
            continue;
        }
        const XNode* element = (--frame.at)->get();
        const XNode::ChildList& below = element->getChildren();
        mFrames.push_back(Frame{below.end(), below.begin(), element});
    }
    return true;
}

template <class Emit>
bool Evaluator::followingSiblings(const XPathNode& node, bool withText, Emit&& emit) {
    const XNode* owner = node.element();
    const ::core::SmartPtr<XNode>* from;
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
    for (const ::core::SmartPtr<XNode>* at = from; at < owner->getChildren().end(); ++at) {
        if (!emit(XPathNode(XPathNode::ELEMENT, at->get()))) {
            return false;
        }
    }
    return true;
}

template <class Emit>
bool Evaluator::precedingSiblings(const XPathNode& node, bool withText, Emit&& emit) {
    const XNode* owner = node.element();
    switch (node.kind()) {
        case XPathNode::ELEMENT: {
            const XNode* parent = owner->getParent();
            if (parent == nullptr) {
                return true;
            }
            const ::core::SmartPtr<XNode>* first = parent->getChildren().begin();
            for (const ::core::SmartPtr<XNode>* at = positionOf(owner); at > first;) {
                if (!emit(XPathNode(XPathNode::ELEMENT, (--at)->get()))) {
                    return false;
                }
            }
            if (withText) {
                if (hasCData(parent) && !emit(XPathNode(XPathNode::CDATA, parent))) {
                    return false;
                }
                return !hasText(parent) || emit(XPathNode(XPathNode::TEXT, parent));
            }
            return true;
        }
        case XPathNode::CDATA:
            return !withText || !hasText(owner) || emit(XPathNode(XPathNode::TEXT, owner));
        default:
            return true;
    }
}

// Calls emit(node) for each node of the axis in the axis's order (reverse
// document order for the reverse axes) until it answers false; false then.
// `withText`: text nodes are wanted (the test may pass them).
template <class Emit>
bool Evaluator::axis(Axis axis, const XPathNode& node, bool withText, Emit&& emit) {
    const XPathNode::Kind kind = node.kind();
    switch (axis) {
        case Axis::SELF:
            return emit(node);
        case Axis::CHILD:
            if (kind == XPathNode::ROOT) {
                return emit(XPathNode(XPathNode::ELEMENT, node.element()));
            }
            if (kind != XPathNode::ELEMENT) {
                return true;
            }
            if (withText) {
                const XNode* element = node.element();
                if (hasText(element) && !emit(XPathNode(XPathNode::TEXT, element))) {
                    return false;
                }
                if (hasCData(element) && !emit(XPathNode(XPathNode::CDATA, element))) {
                    return false;
                }
            }
            for (const ::core::SmartPtr<XNode>& child : node.element()->getChildren()) {
                if (!emit(XPathNode(XPathNode::ELEMENT, child.get()))) {
                    return false;
                }
            }
            return true;
        case Axis::DESCENDANT_OR_SELF:
            if (!emit(node)) {
                return false;
            }
            // fall through
        case Axis::DESCENDANT:
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
            if (!emit(node)) {
                return false;
            }
            // fall through
        case Axis::ANCESTOR:
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
        case Axis::FOLLOWING: {
            XPathNode at = node;
            if (kind == XPathNode::ATTRIBUTE) {
                // After an attribute: its element's content, then what follows
                // the element.
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
        case Axis::PRECEDING: {
            XPathNode at = kind == XPathNode::ATTRIBUTE ? parentOf(node) : node;
            for (; at && at.kind() != XPathNode::ROOT; at = parentOf(at)) {
                const bool go = precedingSiblings(at, withText, [&](const XPathNode& sibling) {
                    if (sibling.kind() != XPathNode::ELEMENT) {
                        return emit(sibling);
                    }
                    return descendantsReverse(sibling.element(), withText, emit) && emit(sibling);
                });
                if (!go) {
                    return false;
                }
            }
            return true;
        }
    }
    return true;
}

// --- Steps and paths -------------------------------------------------------------

bool Evaluator::predicateHolds(const Expr* predicate, const Context& context) {
    if (predicate->type == Type::NUMBER) {
        return number(predicate, context) == static_cast<double>(context.position);
    }
    if (predicate->type == Type::ANY) {
        XPathValue computed;
        const XPathValue& value = predicate->op == Expr::VARIABLE
                                      ? variable(predicate)
                                      : (computed = this->value(predicate, context));
        return value.type() == XPathValue::NUMBER
                   ? value.toNumber() == static_cast<double>(context.position)
                   : value.toBoolean();
    }
    return boolean(predicate, context);
}

bool Evaluator::allHold(const std::vector<const Expr*>& predicates, const XPathNode& node) {
    for (const Expr* predicate : predicates) {
        if (!boolean(predicate, Context{node, 0, 0})) {
            return false;
        }
    }
    return true;
}

template <bool Quiet, class Sink>
bool Evaluator::stepEach(const Step& step, const XPathNode& node, const Expr* where, Sink&& sink) {
    if (step.axis == Axis::ATTRIBUTE && step.test == Test::NAME) {
        // One attribute at most: looked up, not searched for.
        spend(1, where);
        if (node.kind() != XPathNode::ELEMENT || isNamespaceDeclaration(step.name.c_str())) {
            return true;
        }
        const Attribute* attribute = node.element()->getAttribute(step.name.c_str());
        if (attribute == nullptr) {
            return true;
        }
        const XPathNode found(XPathNode::ATTRIBUTE, node.element(), attribute);
        for (const Expr* predicate : step.predicates) {
            if (!boolean(predicate, Context{found, 0, 0})) {
                return true;
            }
        }
        return sink(found);
    }
    if ((step.axis == Axis::DESCENDANT || step.axis == Axis::DESCENDANT_OR_SELF) &&
        (step.test == Test::ANY_NAME || step.test == Test::NAME) &&
        (node.kind() == XPathNode::ELEMENT || node.kind() == XPathNode::ROOT)) {
        if constexpr (Quiet) {
            if (step.predicates.empty()) {
                return step.test == Test::NAME
                           ? descendantElements<false, true>(step, node, where, sink)
                           : descendantElements<false, false>(step, node, where, sink);
            }
        }
        return step.test == Test::NAME ? descendantElements<true, true>(step, node, where, sink)
                                       : descendantElements<true, false>(step, node, where, sink);
    }
    const bool withText = step.test == Test::NODE || step.test == Test::TEXT;
    return axis(step.axis, node, withText, [&](const XPathNode& found) {
        spend(1, where);
        if (!matches(step, found)) {
            return true;
        }
        for (const Expr* predicate : step.predicates) {
            if (!boolean(predicate, Context{found, 0, 0})) {
                return true;
            }
        }
        return sink(found);
    });
}

bool Evaluator::simpleStep(const Expr* expr) {
    return isSimpleStep(expr);
}

bool Evaluator::stepFrom(const Step& step, const XPathNode& node, NodeVec& out, bool firstOnly,
                         const Expr* where) {
    const bool reverse = isReverse(step.axis);
    if (!step.positional) {
        const size_t from = out.size();
        const bool stopAtFirst = firstOnly && !reverse;
        const bool completed = stepEach<true>(step, node, where, [&](const XPathNode& found) {
            push(out, found, where);
            return !stopAtFirst;
        });
        if (reverse) {
            std::reverse(out.begin() + static_cast<std::ptrdiff_t>(from), out.end());
        }
        return completed;
    }
    const bool withText = step.test == Test::NODE || step.test == Test::TEXT;
    PooledNodes found(mNodePool);
    axis(step.axis, node, withText, [&](const XPathNode& candidate) {
        spend(1, where);
        if (matches(step, candidate)) {
            push(*found, candidate, where);
        }
        return true;
    });
    filter(step.predicates, step.needsSize, *found);
    if (reverse) {
        out.insert(out.end(), found->rbegin(), found->rend());
    } else {
        out.insert(out.end(), found->begin(), found->end());
    }
    return !(firstOnly && !found->empty());
}

// Keeps the nodes for which every predicate holds in turn, positions counted
// in the order of `nodes`.
void Evaluator::filter(const std::vector<const Expr*>& predicates, bool /*needsSize*/,
                       NodeVec& nodes) {
    for (const Expr* predicate : predicates) {
        const size_t size = nodes.size();
        size_t kept = 0;
        for (size_t i = 0; i < size; ++i) {
            const XPathNode node = nodes[i];
            if (predicateHolds(predicate, Context{node, i + 1, size})) {
                nodes[kept++] = node;
            }
        }
        nodes.resize(kept);
    }
}

void Evaluator::applyStep(const Step& step, const NodeVec& in, NodeVec& out, bool firstOnly,
                          const Expr* where) {
    out.clear();
    if (in.size() == 1) {
        stepFrom(step, in[0], out, firstOnly, where);
        return;
    }
    bool ordered;
    switch (step.axis) {
        case Axis::ATTRIBUTE:
        case Axis::SELF:
        case Axis::NAMESPACE:
            ordered = true;
            break;
        case Axis::CHILD:
            // Children of context nodes none of which holds another come
            // out in order.
            ordered = true;
            for (size_t i = 1; i < in.size() && ordered; ++i) {
                ordered = !inSubtree(in[i - 1], in[i]);
            }
            break;
        case Axis::DESCENDANT:
        case Axis::DESCENDANT_OR_SELF:
            // (An attribute is its own descendant-or-self but no descendant of
            // its element: such contexts take the general way.)
            if (!step.positional && (step.axis == Axis::DESCENDANT ||
                                     std::none_of(in.begin(), in.end(), [](const XPathNode& node) {
                                         return node.kind() == XPathNode::ATTRIBUTE;
                                     }))) {
                // A context inside the last one's subtree adds nothing new.
                const XPathNode* last = nullptr;
                for (const XPathNode& node : in) {
                    if (last != nullptr && inSubtree(*last, node)) {
                        continue;
                    }
                    last = &node;
                    if (!stepFrom(step, node, out, firstOnly, where)) {
                        return;
                    }
                }
                return;
            }
            ordered = false;
            break;
        default:
            ordered = false;
            break;
    }
    for (const XPathNode& node : in) {
        if (!stepFrom(step, node, out, firstOnly && ordered, where) ||
            (ordered && firstOnly && !out.empty())) {
            return;
        }
    }
    if (!ordered) {
        sortUnique(out, where);
    }
}

void Evaluator::start(const Expr* expr, const Context& context, NodeVec& out) {
    if (expr->filter != nullptr) {
        nodes(expr->filter, context, out);
        filter(expr->filterPredicates, expr->filterNeedsSize, out);
    } else if (context.node) {
        out.push_back(expr->absolute ? rootOf(context.node) : context.node);
    }
}

void Evaluator::path(const Expr* expr, const Context& context, NodeVec& out, bool firstOnly) {
    out.clear();
    if (expr->steps.empty()) {
        start(expr, context, out);
        return;
    }
    if (expr->filter == nullptr && expr->steps.size() == 1) {
        // One step from one node: in order as it comes (the usual predicate).
        const XPathNode from = expr->absolute ? rootOf(context.node) : context.node;
        if (from) {
            stepFrom(expr->steps[0], from, out, firstOnly, expr);
        }
        return;
    }
    PooledNodes current(mNodePool);
    PooledNodes next(mNodePool);
    start(expr, context, *current);
    const size_t last = expr->steps.size() - 1;
    for (size_t i = 0; i < last && !current->empty(); ++i) {
        applyStep(expr->steps[i], *current, *next, false, expr);
        current->swap(*next);
    }
    if (!current->empty()) {
        applyStep(expr->steps[last], *current, out, firstOnly, expr);
    }
}

// --- Sorting ------------------------------------------------------------------

void Evaluator::sortUnique(NodeVec& nodes, const Expr* where) {
    if (nodes.size() < 2) {
        return;
    }
    spend(nodes.size(), where);
    if (nodes.size() <= 32) {
        std::sort(nodes.begin(), nodes.end(),
                  [](const XPathNode& a, const XPathNode& b) { return compareOrder(a, b) < 0; });
    } else {
        sortLarge(nodes);
    }
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
}

// Many nodes: grouped by element, then collected in one walk of the tree,
// which costs one look-up per element instead of comparisons that climb the
// tree and scan sibling lists.
void Evaluator::sortLarge(NodeVec& nodes) {
    std::sort(nodes.begin(), nodes.end(), [](const XPathNode& a, const XPathNode& b) {
        if (a.element() != b.element()) {
            return std::less<const XNode*>()(a.element(), b.element());
        }
        return compareSameElement(a, b) < 0;
    });
    PooledNodes sorted(mNodePool);
    sorted->reserve(nodes.size());
    auto take = [&](const XNode* element) {
        auto range =
            std::equal_range(nodes.begin(), nodes.end(), XPathNode(XPathNode::ELEMENT, element),
                             [](const XPathNode& a, const XPathNode& b) {
                                 return std::less<const XNode*>()(a.element(), b.element());
                             });
        sorted->insert(sorted->end(), range.first, range.second);
    };
    const XPathNode root = rootOf(nodes.front());
    take(root.element());
    descendants(root.element(), false, [&](const XPathNode& node) {
        take(node.element());
        return sorted->size() < nodes.size();
    });
    if (sorted->size() != nodes.size()) {
        // Nodes of more than one tree: the comparison orders them.
        std::sort(nodes.begin(), nodes.end(),
                  [](const XPathNode& a, const XPathNode& b) { return compareOrder(a, b) < 0; });
        return;
    }
    nodes.swap(*sorted);
}

// --- Values ---------------------------------------------------------------------

void Evaluator::appendText(const XNode* element, std::string& out) {
    descendants(element, true, [&](const XPathNode& node) {
        spend(1, mProgram.top);
        if (node.kind() == XPathNode::TEXT) {
            out += bodyOf(node.element());
        } else if (node.kind() == XPathNode::CDATA) {
            out += cdataOf(node.element());
        }
        return true;
    });
}

std::string_view Evaluator::stringValue(const XPathNode& node, std::string& scratch) {
    switch (node.kind()) {
        case XPathNode::ATTRIBUTE:
            return node.attribute()->getValueString();
        case XPathNode::TEXT:
            return bodyOf(node.element());
        case XPathNode::CDATA:
            return cdataOf(node.element());
        case XPathNode::ROOT:
        case XPathNode::ELEMENT: {
            const XNode* element = node.element();
            if (element->getChildren().empty() && !hasCData(element)) {
                return bodyOf(element);
            }
            scratch.clear();
            appendText(element, scratch);
            return scratch;
        }
        default:
            return {};
    }
}

void Evaluator::nodes(const Expr* expr, const Context& context, NodeVec& out) {
    switch (expr->op) {
        case Expr::PATH:
            path(expr, context, out, false);
            return;
        case Expr::UNION: {
            nodes(expr->args[0], context, out);
            PooledNodes right(mNodePool);
            nodes(expr->args[1], context, *right);
            if (right->empty()) {
                return;
            }
            if (out.empty() || compareOrder(out.back(), right->front()) < 0) {
                out.insert(out.end(), right->begin(), right->end());
                return;
            }
            out.insert(out.end(), right->begin(), right->end());
            sortUnique(out, expr);
            return;
        }
        case Expr::CALL:  // id(): no node of the tree has an ID
            out.clear();
            return;
        default: {
            XPathValue computed;
            const XPathValue& result =
                expr->op == Expr::VARIABLE ? variable(expr) : (computed = value(expr, context));
            if (result.type() != XPathValue::NODE_SET) {
                throw XPathException(expr->offset, std::string("a node set is needed here, not ") +
                                                       typeName(result.type()));
            }
            out.assign(result.nodes().begin(), result.nodes().end());
            return;
        }
    }
}

XPathNode Evaluator::first(const Expr* expr, const Context& context) {
    PooledNodes found(mNodePool);
    if (expr->op == Expr::PATH) {
        path(expr, context, *found, true);
    } else {
        nodes(expr, context, *found);
    }
    return found->empty() ? XPathNode() : found->front();
}

void Evaluator::operand(const Expr* expr, const Context& context, Operand& out, NodeVec& nodes,
                        std::string& scratch, XPathValue& held) {
    Type type = expr->type;
    if (type == Type::ANY) {
        // A variable is read where it is bound, not copied.
        const XPathValue* source = &held;
        if (expr->op == Expr::VARIABLE) {
            source = &variable(expr);
        } else {
            held = value(expr, context);
        }
        switch (source->type()) {
            case XPathValue::NODE_SET:
                out.type = Type::NODE_SET;
                out.nodes = &source->mNodes;
                return;
            case XPathValue::BOOLEAN:
                out.type = Type::BOOLEAN;
                out.boolean = source->mBoolean;
                return;
            case XPathValue::NUMBER:
                out.type = Type::NUMBER;
                out.number = source->mNumber;
                return;
            case XPathValue::STRING:
                out.type = Type::STRING;
                out.string = source->mString;
                return;
        }
    }
    out.type = type;
    switch (type) {
        case Type::NODE_SET:
            this->nodes(expr, context, nodes);
            out.nodes = &nodes;
            return;
        case Type::BOOLEAN:
            out.boolean = boolean(expr, context);
            return;
        case Type::NUMBER:
            out.number = number(expr, context);
            return;
        default:
            out.string = string(expr, context, scratch);
            return;
    }
}

bool Evaluator::compareNodes(Expr::Op op, const NodeVec& nodes, const Operand& other,
                             bool nodesLeft) {
    const Expr::Op seen = nodesLeft ? op : mirrored(op);
    const bool equality = op == Expr::EQ || op == Expr::NE;
    PooledString scratch(mStringPool);
    switch (other.type) {
        case Type::BOOLEAN: {
            const bool mine = !nodes.empty();
            if (equality) {
                return (mine == other.boolean) == (op == Expr::EQ);
            }
            return equalNumbers(seen, mine ? 1 : 0, other.boolean ? 1 : 0);
        }
        case Type::NUMBER:
            for (const XPathNode& node : nodes) {
                if (equalNumbers(seen, toNumber(stringValue(node, *scratch)), other.number)) {
                    return true;
                }
            }
            return false;
        case Type::STRING: {
            const double number = equality ? 0 : toNumber(other.string);
            for (const XPathNode& node : nodes) {
                const std::string_view text = stringValue(node, *scratch);
                if (equality ? (text == other.string) == (op == Expr::EQ)
                             : equalNumbers(seen, toNumber(text), number)) {
                    return true;
                }
            }
            return false;
        }
        default: {
            const NodeVec& others = *other.nodes;
            if (!equality) {
                // Some pair compares true exactly when the extremes do.
                double low = std::numeric_limits<double>::infinity();
                double high = -low;
                for (const XPathNode& node : others) {
                    const double value = toNumber(stringValue(node, *scratch));
                    low = std::min(low, value);
                    high = std::max(high, value);
                }
                for (const XPathNode& node : nodes) {
                    const double value = toNumber(stringValue(node, *scratch));
                    const double against = seen == Expr::LT || seen == Expr::LE ? high : low;
                    if (!others.empty() && equalNumbers(seen, value, against)) {
                        return true;
                    }
                }
                return false;
            }
            PooledString second(mStringPool);
            spend(nodes.size() * others.size(), mProgram.top);
            for (const XPathNode& node : nodes) {
                const std::string_view text = stringValue(node, *scratch);
                for (const XPathNode& against : others) {
                    if ((text == stringValue(against, *second)) == (op == Expr::EQ)) {
                        return true;
                    }
                }
            }
            return false;
        }
    }
}

bool Evaluator::compare(Expr::Op op, const Operand& left, const Operand& right) {
    if (left.type == Type::NODE_SET) {
        return compareNodes(op, *left.nodes, right, true);
    }
    if (right.type == Type::NODE_SET) {
        return compareNodes(op, *right.nodes, left, false);
    }
    if (op == Expr::EQ || op == Expr::NE) {
        bool equal;
        if (left.type == Type::BOOLEAN || right.type == Type::BOOLEAN) {
            auto truth = [](const Operand& o) {
                return o.type == Type::BOOLEAN  ? o.boolean
                       : o.type == Type::NUMBER ? (o.number != 0 && !std::isnan(o.number))
                                                : !o.string.empty();
            };
            equal = truth(left) == truth(right);
        } else if (left.type == Type::NUMBER || right.type == Type::NUMBER) {
            auto asNumber = [](const Operand& o) {
                return o.type == Type::NUMBER ? o.number : toNumber(o.string);
            };
            equal = asNumber(left) == asNumber(right);
        } else {
            equal = left.string == right.string;
        }
        return equal == (op == Expr::EQ);
    }
    auto asNumber = [](const Operand& o) {
        return o.type == Type::NUMBER    ? o.number
               : o.type == Type::BOOLEAN ? (o.boolean ? 1.0 : 0.0)
                                         : toNumber(o.string);
    };
    return equalNumbers(op, asNumber(left), asNumber(right));
}

size_t Evaluator::count(const Expr* expr, const Context& context) {
    if (expr->op != Expr::PATH || expr->steps.empty() || expr->steps.back().positional) {
        PooledNodes found(mNodePool);
        nodes(expr, context, *found);
        return found->size();
    }
    // The nodes of the last step from one node are distinct: counted, not kept.
    PooledNodes current(mNodePool);
    PooledNodes next(mNodePool);
    start(expr, context, *current);
    const size_t last = expr->steps.size() - 1;
    for (size_t i = 0; i < last && !current->empty(); ++i) {
        applyStep(expr->steps[i], *current, *next, false, expr);
        current->swap(*next);
    }
    if (current->size() != 1) {
        applyStep(expr->steps[last], *current, *next, false, expr);
        return next->size();
    }
    size_t found = 0;
    stepEach<true>(expr->steps[last], current->front(), expr, [&found](const XPathNode&) {
        ++found;
        return true;
    });
    return found;
}

// A comparison of one step's nodes from the context with another value,
// decided node by node as the step finds them, without a node set.
bool Evaluator::compareStep(const Expr* expr, const Context& context) {
    const bool stepLeft = simpleStep(expr->args[0]);
    const Expr* path = expr->args[stepLeft ? 0 : 1];
    const Expr* other = expr->args[stepLeft ? 1 : 0];
    Operand against;
    if (other->op == Expr::LITERAL && context.node) {
        against.type = Type::STRING;
        against.string = other->text;
        return compareStepWith(expr, path, against, stepLeft, context);
    }
    if (other->op == Expr::NUMBER && context.node) {
        against.type = Type::NUMBER;
        against.number = other->number;
        return compareStepWith(expr, path, against, stepLeft, context);
    }
    PooledNodes otherNodes(mNodePool);
    PooledString otherText(mStringPool);
    XPathValue held;
    operand(other, context, against, *otherNodes, *otherText, held);
    if (against.type == Type::BOOLEAN || against.type == Type::NODE_SET || !context.node) {
        PooledNodes found(mNodePool);
        if (context.node) {
            stepFrom(path->steps[0], context.node, *found, false, path);
        }
        return compareNodes(expr->op, *found, against, stepLeft);
    }
    return compareStepWith(expr, path, against, stepLeft, context);
}

// What compareStep decides for `@name = 'text'`, without a node for the
// attribute and its value: the element's attribute of that name, if any,
// compared byte for byte.
bool Evaluator::compareAttribute(const Expr* expr, const Context& context) {
    const bool stepLeft = expr->args[0]->op == Expr::PATH;
    const Expr* path = expr->args[stepLeft ? 0 : 1];
    if (!context.node) {
        return false;
    }
    spend(1, path);
    const std::string& name = path->steps[0].name;
    if (context.node.kind() != XPathNode::ELEMENT || isNamespaceDeclaration(name.c_str())) {
        return false;
    }
    const Attribute* attribute = context.node.element()->getAttribute(name.c_str());
    return attribute != nullptr && (attribute->getValueString() ==
                                    expr->args[stepLeft ? 1 : 0]->text) == (expr->op == Expr::EQ);
}

bool Evaluator::compareStepWith(const Expr* expr, const Expr* path, const Operand& against,
                                bool stepLeft, const Context& context) {
    const Expr::Op seen = stepLeft ? expr->op : mirrored(expr->op);
    const bool equality = expr->op == Expr::EQ || expr->op == Expr::NE;
    const bool asNumbers = against.type == Type::NUMBER || !equality;
    const double number = against.type == Type::NUMBER ? against.number
                          : asNumbers                  ? toNumber(against.string)
                                                       : 0;
    PooledString scratch(mStringPool);
    bool holds = false;
    stepEach<false>(path->steps[0], context.node, path, [&](const XPathNode& node) {
        const std::string_view text = stringValue(node, *scratch);
        holds = asNumbers ? equalNumbers(seen, toNumber(text), number)
                          : (text == against.string) == (expr->op == Expr::EQ);
        return !holds;
    });
    return holds;
}

bool Evaluator::boolean(const Expr* expr, const Context& context) {
    switch (expr->op) {
        case Expr::OR:
            return boolean(expr->args[0], context) || boolean(expr->args[1], context);
        case Expr::AND:
            return boolean(expr->args[0], context) && boolean(expr->args[1], context);
        case Expr::EQ:
        case Expr::NE:
        case Expr::LT:
        case Expr::LE:
        case Expr::GT:
        case Expr::GE: {
            if (expr->attributeLiteral) {
                return compareAttribute(expr, context);
            }
            if (expr->stepCompare) {
                return compareStep(expr, context);
            }
            const Type leftType = expr->args[0]->type;
            const Type rightType = expr->args[1]->type;
            const bool scalars = leftType != Type::NODE_SET && leftType != Type::ANY &&
                                 rightType != Type::NODE_SET && rightType != Type::ANY;
            if (scalars && leftType != Type::STRING && rightType != Type::STRING) {
                // Numbers and booleans: compared as numbers, or as booleans
                // when one is a boolean and the operator is = or !=.
                const bool equality = expr->op == Expr::EQ || expr->op == Expr::NE;
                if (equality && (leftType == Type::BOOLEAN || rightType == Type::BOOLEAN)) {
                    return (boolean(expr->args[0], context) == boolean(expr->args[1], context)) ==
                           (expr->op == Expr::EQ);
                }
                return equalNumbers(expr->op, number(expr->args[0], context),
                                    number(expr->args[1], context));
            }
            PooledNodes leftNodes(mNodePool);
            PooledNodes rightNodes(mNodePool);
            PooledString leftText(mStringPool);
            PooledString rightText(mStringPool);
            XPathValue leftHeld;
            XPathValue rightHeld;
            Operand left;
            Operand right;
            operand(expr->args[0], context, left, *leftNodes, *leftText, leftHeld);
            operand(expr->args[1], context, right, *rightNodes, *rightText, rightHeld);
            return compare(expr->op, left, right);
        }
        case Expr::CALL:
            if (expr->type == Type::BOOLEAN) {
                return callBoolean(expr, context);
            }
            break;
        default:
            break;
    }
    switch (expr->type) {
        case Type::NODE_SET:
            if (simpleStep(expr)) {
                return context.node && !stepEach<true>(expr->steps[0], context.node, expr,
                                                       [](const XPathNode&) { return false; });
            }
            return static_cast<bool>(first(expr, context));
        case Type::NUMBER: {
            const double value = number(expr, context);
            return value != 0 && !std::isnan(value);
        }
        case Type::STRING: {
            PooledString scratch(mStringPool);
            return !string(expr, context, *scratch).empty();
        }
        default:
            return value(expr, context).toBoolean();
    }
}

double Evaluator::number(const Expr* expr, const Context& context) {
    switch (expr->op) {
        case Expr::NUMBER:
            return expr->number;
        case Expr::ADD:
            return number(expr->args[0], context) + number(expr->args[1], context);
        case Expr::SUB:
            return number(expr->args[0], context) - number(expr->args[1], context);
        case Expr::MUL:
            return number(expr->args[0], context) * number(expr->args[1], context);
        case Expr::DIV:
            return number(expr->args[0], context) / number(expr->args[1], context);
        case Expr::MOD:
            return std::fmod(number(expr->args[0], context), number(expr->args[1], context));
        case Expr::NEG:
            return -number(expr->args[0], context);
        case Expr::CALL:
            if (expr->type == Type::NUMBER) {
                return call(expr, context);
            }
            break;
        default:
            break;
    }
    switch (expr->type) {
        case Type::BOOLEAN:
            return boolean(expr, context) ? 1 : 0;
        case Type::NODE_SET:
        case Type::STRING: {
            PooledString scratch(mStringPool);
            return toNumber(string(expr, context, *scratch));
        }
        default:
            return value(expr, context).toNumber();
    }
}

std::string_view Evaluator::string(const Expr* expr, const Context& context, std::string& scratch) {
    switch (expr->type) {
        case Type::STRING:
            if (expr->op == Expr::LITERAL) {
                return expr->text;
            }
            return callString(expr, context, scratch);
        case Type::NODE_SET: {
            const XPathNode node = first(expr, context);
            return node ? stringValue(node, scratch) : std::string_view();
        }
        case Type::NUMBER:
            formatNumber(number(expr, context), scratch);
            return scratch;
        case Type::BOOLEAN:
            return boolean(expr, context) ? "true" : "false";
        default:
            scratch = value(expr, context).toString();
            return scratch;
    }
}

XPathValue Evaluator::value(const Expr* expr, const Context& context) {
    switch (expr->op) {
        case Expr::VARIABLE:
            return variable(expr);
        case Expr::CUSTOM_CALL:
            return custom(expr, context);
        default:
            break;
    }
    switch (expr->type) {
        case Type::NODE_SET: {
            NodeVec found;
            nodes(expr, context, found);
            return makeNodeSet(std::move(found));
        }
        case Type::BOOLEAN:
            return XPathValue(boolean(expr, context));
        case Type::NUMBER:
            return XPathValue(number(expr, context));
        case Type::STRING: {
            PooledString scratch(mStringPool);
            return XPathValue(std::string(string(expr, context, *scratch)));
        }
        default:
            break;
    }
    // A path or filter over a value only known now.
    NodeVec found;
    nodes(expr, context, found);
    return makeNodeSet(std::move(found));
}

XPathValue Evaluator::custom(const Expr* expr, const Context& context) {
    spend(1, expr);
    std::vector<XPathValue> args;
    args.reserve(expr->args.size());
    for (const Expr* arg : expr->args) {
        args.push_back(value(arg, context));
    }
    XPathValue result = expr->custom->function(context.node, args);
    if (result.type() == XPathValue::NODE_SET) {
        sortUnique(result.mNodes, expr);
    }
    return result;
}

// --- Functions --------------------------------------------------------------------

XPathNode Evaluator::argumentNode(const Expr* expr, const Context& context) {
    return expr->args.empty() ? context.node : first(expr->args[0], context);
}

bool Evaluator::lang(const XPathNode& node, std::string_view language) {
    if (!node || node.kind() == XPathNode::ROOT) {
        return false;
    }
    for (const XNode* at = node.element(); at != nullptr; at = at->getParent()) {
        if (const Attribute* declared = at->getAttribute("xml:lang")) {
            const std::string& value = declared->getValueString();
            if (value.size() < language.size() ||
                (value.size() > language.size() && value[language.size()] != '-')) {
                return false;
            }
            for (size_t i = 0; i < language.size(); ++i) {
                if (std::tolower(static_cast<unsigned char>(value[i])) !=
                    std::tolower(static_cast<unsigned char>(language[i]))) {
                    return false;
                }
            }
            return true;
        }
    }
    return false;
}

bool Evaluator::callBoolean(const Expr* expr, const Context& context) {
    spend(1, expr);
    switch (expr->function) {
        case Function::TRUE:
            return true;
        case Function::FALSE:
            return false;
        case Function::NOT:
            return !boolean(expr->args[0], context);
        case Function::BOOLEAN:
            return boolean(expr->args[0], context);
        case Function::LANG: {
            PooledString scratch(mStringPool);
            return lang(context.node, string(expr->args[0], context, *scratch));
        }
        default: {
            PooledString first(mStringPool);
            PooledString second(mStringPool);
            const std::string_view text = string(expr->args[0], context, *first);
            const std::string_view part = string(expr->args[1], context, *second);
            if (expr->function == Function::STARTS_WITH) {
                return text.substr(0, part.size()) == part;
            }
            return text.find(part) != std::string_view::npos;
        }
    }
}

double Evaluator::call(const Expr* expr, const Context& context) {
    spend(1, expr);
    switch (expr->function) {
        case Function::LAST:
            return static_cast<double>(context.size);
        case Function::POSITION:
            return static_cast<double>(context.position);
        case Function::COUNT:
            return static_cast<double>(count(expr->args[0], context));
        case Function::STRING_LENGTH: {
            PooledString scratch(mStringPool);
            if (expr->args.empty()) {
                return static_cast<double>(characterCount(stringValue(context.node, *scratch)));
            }
            return static_cast<double>(characterCount(string(expr->args[0], context, *scratch)));
        }
        case Function::NUMBER: {
            if (!expr->args.empty()) {
                return number(expr->args[0], context);
            }
            PooledString scratch(mStringPool);
            return toNumber(stringValue(context.node, *scratch));
        }
        case Function::SUM: {
            PooledNodes found(mNodePool);
            PooledString scratch(mStringPool);
            nodes(expr->args[0], context, *found);
            double sum = 0;
            for (const XPathNode& node : *found) {
                sum += toNumber(stringValue(node, *scratch));
            }
            return sum;
        }
        case Function::FLOOR:
            return std::floor(number(expr->args[0], context));
        case Function::CEILING:
            return std::ceil(number(expr->args[0], context));
        default:
            return roundHalfUp(number(expr->args[0], context));
    }
}

std::string_view Evaluator::callString(const Expr* expr, const Context& context,
                                       std::string& scratch) {
    spend(1, expr);
    switch (expr->function) {
        case Function::STRING:
            if (expr->args.empty()) {
                return stringValue(context.node, scratch);
            }
            return string(expr->args[0], context, scratch);
        case Function::NAME:
        case Function::LOCAL_NAME:
        case Function::NAMESPACE_URI: {
            const XPathNode node = argumentNode(expr, context);
            if (!node) {
                return {};
            }
            if (expr->function == Function::NAMESPACE_URI) {
                return namespaceUri(node);
            }
            const char* name = nameOf(node);
            return expr->function == Function::NAME ? std::string_view(name) : localName(name);
        }
        case Function::CONCAT: {
            PooledString part(mStringPool);
            PooledString joined(mStringPool);
            for (const Expr* arg : expr->args) {
                *joined += string(arg, context, *part);
            }
            scratch.swap(*joined);
            return scratch;
        }
        case Function::SUBSTRING_BEFORE:
        case Function::SUBSTRING_AFTER: {
            PooledString second(mStringPool);
            const std::string_view text = string(expr->args[0], context, scratch);
            const std::string_view part = string(expr->args[1], context, *second);
            const size_t at = text.find(part);
            if (at == std::string_view::npos) {
                return {};
            }
            return expr->function == Function::SUBSTRING_BEFORE ? text.substr(0, at)
                                                                : text.substr(at + part.size());
        }
        case Function::SUBSTRING: {
            const std::string_view text = string(expr->args[0], context, scratch);
            const double from = roundHalfUp(number(expr->args[1], context));
            const double to = expr->args.size() < 3
                                  ? std::numeric_limits<double>::infinity()
                                  : from + roundHalfUp(number(expr->args[2], context));
            size_t begin = text.size();
            size_t end = text.size();
            double position = 1;
            for (size_t at = 0; at < text.size(); at += characterLength(text, at), ++position) {
                const bool inside = position >= from && position < to;
                if (inside && begin == text.size()) {
                    begin = at;
                }
                if (!inside && begin != text.size()) {
                    end = at;
                    break;
                }
            }
            return text.substr(begin, end - begin);
        }
        case Function::NORMALIZE_SPACE: {
            PooledString source(mStringPool);
            const std::string_view text = expr->args.empty()
                                              ? stringValue(context.node, *source)
                                              : string(expr->args[0], context, *source);
            PooledString pooled(mStringPool);
            std::string& result = *pooled;
            for (size_t at = 0; at < text.size();) {
                while (at < text.size() && isSpace(text[at])) {
                    ++at;
                }
                const size_t word = at;
                while (at < text.size() && !isSpace(text[at])) {
                    ++at;
                }
                if (at > word) {
                    if (!result.empty()) {
                        result += ' ';
                    }
                    result.append(text.data() + word, at - word);
                }
            }
            scratch.swap(result);
            return scratch;
        }
        default: {  // translate
            PooledString source(mStringPool);
            PooledString fromText(mStringPool);
            PooledString toText(mStringPool);
            const std::string_view text = string(expr->args[0], context, *source);
            const std::string_view from = string(expr->args[1], context, *fromText);
            const std::string_view to = string(expr->args[2], context, *toText);
            PooledString pooled(mStringPool);
            std::string& result = *pooled;
            for (size_t at = 0; at < text.size();) {
                const size_t length = characterLength(text, at);
                const std::string_view character = text.substr(at, length);
                at += length;
                // The first occurrence in `from` decides; the character at the
                // same place of `to` replaces it, or nothing when `to` is short.
                size_t index = 0;
                size_t f = 0;
                bool found = false;
                while (f < from.size()) {
                    const size_t fl = characterLength(from, f);
                    if (from.substr(f, fl) == character) {
                        found = true;
                        break;
                    }
                    f += fl;
                    ++index;
                }
                if (!found) {
                    result += character;
                    continue;
                }
                size_t t = 0;
                for (size_t i = 0; i < index && t < to.size(); ++i) {
                    t += characterLength(to, t);
                }
                if (t < to.size()) {
                    result += to.substr(t, characterLength(to, t));
                }
            }
            scratch.swap(result);
            return scratch;
        }
    }
}

}  // namespace xpath
}  // namespace xml
}  // namespace kavri
