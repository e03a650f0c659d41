// Evaluation of compiled XPath programs over the document model.
//
// Node sets are vectors of XPathNode kept in document order without
// duplicates. A step from one context node, or from context nodes whose
// results cannot interleave, produces its nodes in order already; the other
// cases keep each node once as they find it and sort at the end. Buffers
// come from the evaluator's pools, so visiting a node allocates nothing once
// they have grown.
#include "xml/XPathEvaluator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "xml/Document.h"
#include "xml/XPathCoreFunctions.h"

namespace kavri {
namespace xml {
namespace xpath {

namespace {

// The kind of node a name test selects on the step's axis.
XPathNode::Kind principalKind(const Step& step) {
    return step.axis == Axis::ATTRIBUTE ? XPathNode::ATTRIBUTE : XPathNode::ELEMENT;
}

bool matchesOther(const Step& step, const XPathNode& node) {
    switch (step.test) {
        case Test::NODE:
            return true;
        case Test::TEXT:
            return Axes::isText(node);
        case Test::COMMENT:
            return node.kind() == XPathNode::COMMENT;
        case Test::INSTRUCTION:
            return node.kind() == XPathNode::INSTRUCTION &&
                   (step.name.empty() || step.name == Axes::nameOf(node));
        case Test::PREFIX:
            return node.kind() == principalKind(step) &&
                   std::strncmp(Axes::nameOf(node), step.name.c_str(), step.name.size()) == 0;
        default:
            return false;
    }
}

// The usual tests decided inline; the others by matchesOther.
inline bool matches(const Step& step, const XPathNode& node) {
    if (step.test == Test::ANY_NAME) {
        return node.kind() == principalKind(step);
    }
    if (step.test == Test::NAME) {
        if (node.kind() != principalKind(step)) {
            return false;
        }
        const char* name = Axes::nameOf(node);
        return name[0] == step.name[0] && std::strcmp(name, step.name.c_str()) == 0;
    }
    return matchesOther(step, node);
}

// Whether the step selects nodes other than elements and attributes.
bool wantsText(const Step& step) {
    return step.test == Test::NODE || step.test == Test::TEXT || step.test == Test::COMMENT ||
           step.test == Test::INSTRUCTION;
}

double toNumber(std::string_view text) {
    return XPathQuery::stringToNumber(text.data(), text.size());
}

bool compareNumbers(Expr::Op op, double a, double b) {
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

bool isEquality(Expr::Op op) {
    return op == Expr::EQ || op == Expr::NE;
}

bool isComparison(Expr::Op op) {
    return op >= Expr::EQ && op <= Expr::GE;
}

bool isLogical(Expr::Op op) {
    return op == Expr::OR || op == Expr::AND;
}

bool isArithmetic(Expr::Op op) {
    return op >= Expr::ADD && op <= Expr::MOD;
}

double arithmetic(Expr::Op op, double a, double b) {
    switch (op) {
        case Expr::ADD:
            return a + b;
        case Expr::SUB:
            return a - b;
        case Expr::MUL:
            return a * b;
        case Expr::DIV:
            return a / b;
        default:
            return std::fmod(a, b);
    }
}

bool truthOf(const Operand& o) {
    return o.type == Type::BOOLEAN  ? o.boolean
           : o.type == Type::NUMBER ? (o.number != 0 && !std::isnan(o.number))
                                    : !o.string.empty();
}

double numberOf(const Operand& o) {
    return o.type == Type::NUMBER    ? o.number
           : o.type == Type::BOOLEAN ? (o.boolean ? 1.0 : 0.0)
                                     : toNumber(o.string);
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

// The operators of the chain of `inChain` operators that `top` heads, in
// `links` from the bottom up; returns the operand at the bottom.
template <class InChain>
const Expr* chainBelow(const Expr* top, InChain inChain, std::vector<const Expr*>& links) {
    const Expr* at = top;
    while (inChain(at->op)) {
        links.push_back(at);
        at = at->args[0];
    }
    std::reverse(links.begin(), links.end());
    return at;
}

// Of context nodes in document order, the one whose following nodes are
// those of all of them: the one whose subtree ends first.
const XPathNode& endsFirst(const NodeVec& in) {
    const XPathNode* candidate = &in.front();
    for (const XPathNode& node : in) {
        if (&node != candidate && !Axes::inSubtree(*candidate, node)) {
            break;  // this one and all after it end later
        }
        candidate = &node;
    }
    return *candidate;
}

// How the nodes of a step from several contexts in document order join:
// one after the other in order; in order once the contexts inside another
// context's subtree are skipped; or in no useful order.
enum class Merge { IN_ORDER, SKIP_NESTED, UNORDERED };

bool anyNested(const NodeVec& in) {
    for (size_t i = 1; i < in.size(); ++i) {
        if (Axes::inSubtree(in[i - 1], in[i])) {
            return true;
        }
    }
    return false;
}

Merge mergeOf(const Step& step, const NodeVec& in) {
    switch (step.axis) {
        case Axis::ATTRIBUTE:
            return step.withDescendants ? Merge::SKIP_NESTED : Merge::IN_ORDER;
        case Axis::SELF:
        case Axis::NAMESPACE:
            return Merge::IN_ORDER;
        case Axis::CHILD:
            return anyNested(in) ? Merge::UNORDERED : Merge::IN_ORDER;
        case Axis::DESCENDANT:
        case Axis::DESCENDANT_OR_SELF:
            // An attribute is its own descendant-or-self but no descendant of
            // its element: such contexts take the general way.
            if (!step.positional && (step.axis == Axis::DESCENDANT ||
                                     std::none_of(in.begin(), in.end(), [](const XPathNode& node) {
                                         return node.kind() == XPathNode::ATTRIBUTE;
                                     }))) {
                return Merge::SKIP_NESTED;
            }
            return Merge::UNORDERED;
        default:
            return Merge::UNORDERED;
    }
}

}  // namespace

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

// --- Steps ------------------------------------------------------------------------

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
    completed = completed && mAxes.elementsBelow(top, take);
    mSteps = steps;
    if (steps > limit) {
        overBudget(where);
    }
    return completed;
}

template <class Sink>
bool Evaluator::descendantAttributes(const Step& step, const XPathNode& node, const Expr* where,
                                     Sink&& sink) {
    // As descendantElements: one step per element and per attribute, counted
    // in a register and handed back before a predicate or the sink runs.
    if (node.kind() != XPathNode::ELEMENT && node.kind() != XPathNode::ROOT) {
        spend(1, where);  // an attribute or text is its own only descendant-or-self
        return true;
    }
    const uint64_t limit = mOptions.maxSteps;
    uint64_t steps = mSteps + (node.kind() == XPathNode::ROOT ? 1 : 0);
    const bool any = step.test == Test::ANY_NAME && step.predicates.empty();
    auto emit = [&](const XPathNode& attribute) {
        if (++steps > limit || (!any && !matches(step, attribute))) {
            return steps <= limit;
        }
        mSteps = steps;
        const bool go = !allHold(step.predicates, attribute) || sink(attribute);
        steps = mSteps;
        return go;
    };
    auto visit = [&](const XNode* element) {
        return ++steps <= limit && Axes::attributes(element, emit);
    };
    const bool completed = visit(node.element()) && mAxes.elementsBelow(node.element(), visit);
    mSteps = steps;
    if (steps > limit) {
        overBudget(where);
    }
    return completed;
}

template <class Sink>
bool Evaluator::attributeStep(const Step& step, const XPathNode& node, const Expr* where,
                              Sink&& sink) {
    if (step.withDescendants) {
        return descendantAttributes(step, node, where, sink);
    }
    if (step.test != Test::NAME) {
        return mAxes.axis(Axis::ATTRIBUTE, node, false, [&](const XPathNode& found) {
            spend(1, where);
            return !matches(step, found) || !allHold(step.predicates, found) || sink(found);
        });
    }
    // One attribute at most: looked up, not searched for.
    spend(1, where);
    if (node.kind() != XPathNode::ELEMENT || Axes::isNamespaceDeclaration(step.name.c_str())) {
        return true;
    }
    const Attribute* attribute = node.element()->getAttribute(step.name.c_str());
    if (attribute == nullptr) {
        return true;
    }
    const XPathNode found(XPathNode::ATTRIBUTE, node.element(), attribute);
    return !allHold(step.predicates, found) || sink(found);
}

template <bool Quiet, class Sink>
bool Evaluator::stepEach(const Step& step, const XPathNode& node, const Expr* where, Sink&& sink) {
    if (step.axis == Axis::ATTRIBUTE) {
        return attributeStep(step, node, where, sink);
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
    return mAxes.axis(step.axis, node, wantsText(step), [&](const XPathNode& found) {
        spend(1, where);
        return !matches(step, found) || !allHold(step.predicates, found) || sink(found);
    });
}

bool Evaluator::stepFrom(const Step& step, const XPathNode& node, NodeVec& out, bool firstOnly,
                         const Expr* where) {
    const bool reverse = isReverse(step.axis);
    const size_t from = out.size();
    if (!step.positional) {
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
    collectStep(step, node, out, where);
    if (reverse) {
        std::reverse(out.begin() + static_cast<std::ptrdiff_t>(from), out.end());
    }
    return !(firstOnly && out.size() > from);
}

void Evaluator::collectStep(const Step& step, const XPathNode& node, NodeVec& out,
                            const Expr* where) {
    PooledNodes found(mNodePool);
    mAxes.axis(step.axis, node, wantsText(step), [&](const XPathNode& candidate) {
        spend(1, where);
        if (matches(step, candidate)) {
            push(*found, candidate, where);
        }
        return true;
    });
    filter(step.predicates, *found);
    for (const XPathNode& kept : *found) {
        push(out, kept, where);
    }
}

// Keeps the nodes for which every predicate holds in turn, positions counted
// in the order of `nodes`.
void Evaluator::filter(const std::vector<const Expr*>& predicates, NodeVec& nodes) {
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

void Evaluator::applyDescending(const Step& step, const NodeVec& in, NodeVec& out, bool firstOnly,
                                const Expr* where) {
    // A context inside the last one's subtree adds nothing new.
    const XPathNode* last = nullptr;
    for (const XPathNode& node : in) {
        if (last != nullptr && Axes::inSubtree(*last, node)) {
            continue;
        }
        last = &node;
        if (!stepFrom(step, node, out, firstOnly, where)) {
            return;
        }
    }
}

void Evaluator::applyUnordered(const Step& step, const NodeVec& in, NodeVec& out,
                               const Expr* where) {
    if (!step.positional && (step.axis == Axis::FOLLOWING || step.axis == Axis::PRECEDING) &&
        Axes::rootOf(in.front()) == Axes::rootOf(in.back())) {
        // What follows any of the contexts follows the one whose subtree
        // ends first; what precedes any precedes the last one.
        stepFrom(step, step.axis == Axis::FOLLOWING ? endsFirst(in) : in.back(), out, false, where);
        return;
    }
    Pooled<SeenNodes> seen(mSeenPool);
    PooledNodes found(mNodePool);
    for (const XPathNode& node : in) {
        found->clear();
        stepFrom(step, node, *found, false, where);
        for (const XPathNode& each : *found) {
            if (seen->insert(each)) {
                push(out, each, where);
            }
        }
    }
    sortUnique(out, where);
}

void Evaluator::applyStep(const Step& step, const NodeVec& in, NodeVec& out, bool firstOnly,
                          const Expr* where) {
    out.clear();
    if (in.size() == 1) {
        stepFrom(step, in[0], out, firstOnly, where);
        return;
    }
    if (in.empty()) {
        return;
    }
    switch (mergeOf(step, in)) {
        case Merge::SKIP_NESTED:
            applyDescending(step, in, out, firstOnly, where);
            return;
        case Merge::UNORDERED:
            applyUnordered(step, in, out, where);
            return;
        case Merge::IN_ORDER:
            for (const XPathNode& node : in) {
                if (!stepFrom(step, node, out, firstOnly, where) || (firstOnly && !out.empty())) {
                    return;
                }
            }
            return;
    }
}

// --- Paths ----------------------------------------------------------------------

void Evaluator::start(const Expr* expr, const Context& context, NodeVec& out) {
    if (expr->filter != nullptr) {
        nodes(expr->filter, context, out);
        filter(expr->filterPredicates, out);
    } else if (context.node) {
        out.push_back(expr->absolute ? Axes::rootOf(context.node) : context.node);
    }
}

void Evaluator::allButLastStep(const Expr* expr, const Context& context, NodeVec& current) {
    PooledNodes next(mNodePool);
    start(expr, context, current);
    const size_t last = expr->steps.size() - 1;
    for (size_t i = 0; i < last && !current.empty(); ++i) {
        applyStep(expr->steps[i], current, *next, false, expr);
        current.swap(*next);
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
        const XPathNode from = expr->absolute ? Axes::rootOf(context.node) : context.node;
        if (from) {
            stepFrom(expr->steps[0], from, out, firstOnly, expr);
        }
        return;
    }
    PooledNodes current(mNodePool);
    allButLastStep(expr, context, *current);
    if (!current->empty()) {
        applyStep(expr->steps.back(), *current, out, firstOnly, expr);
    }
}

size_t Evaluator::count(const Expr* expr, const Context& context) {
    if (expr->op != Expr::PATH || expr->steps.empty() || expr->steps.back().positional) {
        PooledNodes found(mNodePool);
        nodes(expr, context, *found);
        return found->size();
    }
    // The nodes of the last step from one node are distinct: counted, not kept.
    PooledNodes current(mNodePool);
    allButLastStep(expr, context, *current);
    if (current->size() != 1) {
        PooledNodes next(mNodePool);
        if (!current->empty()) {
            applyStep(expr->steps.back(), *current, *next, false, expr);
        }
        return next->size();
    }
    const Step& last = expr->steps.back();
    const XPathNode& from = current->front();
    if ((last.axis == Axis::DESCENDANT || last.axis == Axis::DESCENDANT_OR_SELF) &&
        last.test == Test::ANY_NAME && last.predicates.empty() &&
        (from.kind() == XPathNode::ELEMENT || from.kind() == XPathNode::ROOT)) {
        // Every element below counted by child arrays, with the steps the
        // walk one by one takes (descendantElements): the top element is
        // one of the root node's descendants, and descendant-or-self takes
        // the node itself; past the budget the walk one by one fails where
        // it would.
        const bool self = last.axis == Axis::DESCENDANT_OR_SELF;
        const uint64_t own = from.kind() == XPathNode::ROOT || self ? 1 : 0;
        const uint64_t steps = own + (from.kind() == XPathNode::ROOT && self ? 1 : 0);
        const uint64_t limit = mOptions.maxSteps;
        if (mSteps + steps <= limit) {
            const uint64_t below = mAxes.countBelow(from.element(), limit - mSteps - steps);
            if (below != Axes::NO_COUNT) {
                mSteps += steps + below;
                return static_cast<size_t>(own + below);
            }
        }
    }
    size_t found = 0;
    stepEach<true>(last, from, expr, [&found](const XPathNode&) {
        ++found;
        return true;
    });
    return found;
}

// --- Sorting ------------------------------------------------------------------

void Evaluator::sortUnique(NodeVec& nodes, const Expr* where) {
    if (nodes.size() < 2) {
        return;
    }
    spend(nodes.size(), where);
    if (nodes.size() <= 32) {
        std::sort(nodes.begin(), nodes.end(), [](const XPathNode& a, const XPathNode& b) {
            return Axes::compareOrder(a, b) < 0;
        });
    } else {
        sortLarge(nodes);
    }
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
}

// Many nodes: grouped by element, then collected in one walk of the tree,
// which costs one look-up per element instead of comparisons that climb the
// tree and scan sibling lists.
void Evaluator::sortLarge(NodeVec& nodes) {
    if (std::any_of(nodes.begin(), nodes.end(), Axes::isPart)) {
        // The parts of a lossless element stand between its children's
        // subtrees, not with the element: the comparison orders them.
        std::sort(nodes.begin(), nodes.end(), [](const XPathNode& a, const XPathNode& b) {
            return Axes::compareOrder(a, b) < 0;
        });
        return;
    }
    const auto byElement = [](const XPathNode& a, const XPathNode& b) {
        return std::less<const XNode*>()(a.element(), b.element());
    };
    std::sort(nodes.begin(), nodes.end(), [&](const XPathNode& a, const XPathNode& b) {
        return byElement(a, b) ||
               (a.element() == b.element() && Axes::compareSameElement(a, b) < 0);
    });
    PooledNodes sorted(mNodePool);
    sorted->reserve(nodes.size());
    auto take = [&](const XNode* element) {
        auto range = std::equal_range(nodes.begin(), nodes.end(),
                                      XPathNode(XPathNode::ELEMENT, element), byElement);
        sorted->insert(sorted->end(), range.first, range.second);
        return sorted->size() < nodes.size();
    };
    const XPathNode root = Axes::rootOf(nodes.front());
    if (take(root.element())) {
        mAxes.elementsBelow(root.element(), take);
    }
    if (sorted->size() != nodes.size()) {
        // Nodes of more than one tree: the comparison orders them.
        std::sort(nodes.begin(), nodes.end(), [](const XPathNode& a, const XPathNode& b) {
            return Axes::compareOrder(a, b) < 0;
        });
        return;
    }
    nodes.swap(*sorted);
}

// --- Node sets and strings ------------------------------------------------------------

void Evaluator::appendText(const XNode* element, std::string& out) {
    mAxes.descendants(element, true, [&](const XPathNode& node) {
        spend(1, mProgram.top);
        if (Axes::isText(node)) {
            out += Axes::textOf(node);
        }
        return true;
    });
}

std::string_view Evaluator::stringValue(const XPathNode& node, std::string& scratch) {
    if (node.kind() != XPathNode::ROOT && node.kind() != XPathNode::ELEMENT) {
        return Axes::leafValue(node);
    }
    const XNode* element = node.element();
    if (element->getChildren().empty() && !Axes::hasCData(element) && !Parts::isLossless(element)) {
        return Axes::bodyOf(element);
    }
    scratch.clear();
    appendText(element, scratch);
    return scratch;
}

void Evaluator::unionChain(const Expr* expr, const Context& context, NodeVec& out) {
    Pooled<std::vector<const Expr*>> links(mChainPool);
    const Expr* bottom = chainBelow(
        expr, [](Expr::Op op) { return op == Expr::UNION; }, *links);
    nodes(bottom, context, out);
    PooledNodes right(mNodePool);
    for (const Expr* link : *links) {
        nodes(link->args[1], context, *right);
        if (right->empty()) {
            continue;
        }
        const bool inOrder = out.empty() || Axes::compareOrder(out.back(), right->front()) < 0;
        out.insert(out.end(), right->begin(), right->end());
        if (!inOrder) {
            sortUnique(out, link);
        }
    }
}

void Evaluator::nodes(const Expr* expr, const Context& context, NodeVec& out) {
    switch (expr->op) {
        case Expr::PATH:
            path(expr, context, out, false);
            return;
        case Expr::UNION:
            out.clear();
            unionChain(expr, context, out);
            return;
        case Expr::CALL:
            spend(1, expr);
            expr->function->nodes(*this, expr, context, out);
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

// --- Comparisons ------------------------------------------------------------------

void Evaluator::operand(const Expr* expr, const Context& context, Operand& out, NodeVec& nodes,
                        std::string& scratch, XPathValue& held) {
    out.type = expr->type;
    switch (expr->type) {
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
        case Type::STRING:
            out.string = string(expr, context, scratch);
            return;
        case Type::ANY:
            break;
    }
    // A variable is read where it is bound, not copied.
    const XPathValue& source =
        expr->op == Expr::VARIABLE ? variable(expr) : (held = value(expr, context));
    static const Type TYPES[] = {Type::NODE_SET, Type::BOOLEAN, Type::NUMBER, Type::STRING};
    out.type = TYPES[source.type()];
    out.nodes = &source.mNodes;
    out.boolean = source.mBoolean;
    out.number = source.mNumber;
    out.string = source.mString;
}

bool Evaluator::compareNodeSets(Expr::Op op, const NodeVec& nodes, const NodeVec& others) {
    PooledString scratch(mStringPool);
    if (!isEquality(op)) {
        // Some pair compares true exactly when the extremes do.
        double low = std::numeric_limits<double>::infinity();
        double high = -low;
        for (const XPathNode& node : others) {
            const double value = toNumber(stringValue(node, *scratch));
            low = std::min(low, value);
            high = std::max(high, value);
        }
        const double against = op == Expr::LT || op == Expr::LE ? high : low;
        for (const XPathNode& node : nodes) {
            if (!others.empty() &&
                compareNumbers(op, toNumber(stringValue(node, *scratch)), against)) {
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

bool Evaluator::compareNodes(Expr::Op op, const NodeVec& nodes, const Operand& other,
                             bool nodesLeft) {
    const Expr::Op seen = nodesLeft ? op : mirrored(op);
    const bool equality = isEquality(op);
    switch (other.type) {
        case Type::BOOLEAN: {
            const bool mine = !nodes.empty();
            if (equality) {
                return (mine == other.boolean) == (op == Expr::EQ);
            }
            return compareNumbers(seen, mine ? 1 : 0, other.boolean ? 1 : 0);
        }
        case Type::NUMBER:
        case Type::STRING: {
            const bool asNumbers = other.type == Type::NUMBER || !equality;
            const double number = other.type == Type::NUMBER ? other.number
                                  : asNumbers                ? toNumber(other.string)
                                                             : 0;
            PooledString scratch(mStringPool);
            for (const XPathNode& node : nodes) {
                const std::string_view text = stringValue(node, *scratch);
                if (asNumbers ? compareNumbers(seen, toNumber(text), number)
                              : (text == other.string) == (op == Expr::EQ)) {
                    return true;
                }
            }
            return false;
        }
        default:
            return compareNodeSets(seen, nodes, *other.nodes);
    }
}

bool Evaluator::compare(Expr::Op op, const Operand& left, const Operand& right) {
    if (left.type == Type::NODE_SET) {
        return compareNodes(op, *left.nodes, right, true);
    }
    if (right.type == Type::NODE_SET) {
        return compareNodes(op, *right.nodes, left, false);
    }
    if (!isEquality(op)) {
        return compareNumbers(op, numberOf(left), numberOf(right));
    }
    bool equal;
    if (left.type == Type::BOOLEAN || right.type == Type::BOOLEAN) {
        equal = truthOf(left) == truthOf(right);
    } else if (left.type == Type::NUMBER || right.type == Type::NUMBER) {
        equal = numberOf(left) == numberOf(right);
    } else {
        equal = left.string == right.string;
    }
    return equal == (op == Expr::EQ);
}

// A comparison of one step's nodes from the context with another value,
// decided node by node as the step finds them, without a node set.
bool Evaluator::compareStep(const Expr* expr, const Context& context) {
    const bool stepLeft = isSimpleStep(expr->args[0]);
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
    if (context.node.kind() != XPathNode::ELEMENT || Axes::isNamespaceDeclaration(name.c_str())) {
        return false;
    }
    const Attribute* attribute = context.node.element()->getAttribute(name.c_str());
    return attribute != nullptr && (attribute->getValueString() ==
                                    expr->args[stepLeft ? 1 : 0]->text) == (expr->op == Expr::EQ);
}

bool Evaluator::compareStepWith(const Expr* expr, const Expr* path, const Operand& against,
                                bool stepLeft, const Context& context) {
    const Expr::Op seen = stepLeft ? expr->op : mirrored(expr->op);
    const bool asNumbers = against.type == Type::NUMBER || !isEquality(expr->op);
    const double number = against.type == Type::NUMBER ? against.number
                          : asNumbers                  ? toNumber(against.string)
                                                       : 0;
    PooledString scratch(mStringPool);
    bool holds = false;
    stepEach<false>(path->steps[0], context.node, path, [&](const XPathNode& node) {
        const std::string_view text = stringValue(node, *scratch);
        holds = asNumbers ? compareNumbers(seen, toNumber(text), number)
                          : (text == against.string) == (expr->op == Expr::EQ);
        return !holds;
    });
    return holds;
}

bool Evaluator::compareOperands(const Expr* expr, const Context& context) {
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

// One comparison whose left operand is no comparison.
bool Evaluator::comparison(const Expr* expr, const Context& context) {
    if (expr->attributeLiteral) {
        return compareAttribute(expr, context);
    }
    if (expr->stepCompare) {
        return compareStep(expr, context);
    }
    const Type leftType = expr->args[0]->type;
    const Type rightType = expr->args[1]->type;
    const bool numbersOrBooleans = (leftType == Type::NUMBER || leftType == Type::BOOLEAN) &&
                                   (rightType == Type::NUMBER || rightType == Type::BOOLEAN);
    if (!numbersOrBooleans) {
        return compareOperands(expr, context);
    }
    // Compared as numbers, or as booleans when one is a boolean and the
    // operator is = or !=.
    if (isEquality(expr->op) && (leftType == Type::BOOLEAN || rightType == Type::BOOLEAN)) {
        return (boolean(expr->args[0], context) == boolean(expr->args[1], context)) ==
               (expr->op == Expr::EQ);
    }
    return compareNumbers(expr->op, number(expr->args[0], context), number(expr->args[1], context));
}

// --- Chains of operators --------------------------------------------------------------

bool Evaluator::logicalChain(const Expr* expr, const Context& context) {
    Pooled<std::vector<const Expr*>> links(mChainPool);
    bool value = boolean(chainBelow(expr, isLogical, *links), context);
    for (const Expr* link : *links) {
        // Each operand is evaluated only when the value so far leaves the
        // result open.
        if (value == (link->op == Expr::AND)) {
            value = boolean(link->args[1], context);
        }
    }
    return value;
}

bool Evaluator::comparisonChain(const Expr* expr, const Context& context) {
    if (!isComparison(expr->args[0]->op)) {
        return comparison(expr, context);
    }
    // (a = b) = c: the comparisons above the first compare a boolean.
    Pooled<std::vector<const Expr*>> links(mChainPool);
    const Expr* bottom = chainBelow(
        expr, [](Expr::Op op) { return isComparison(op); }, *links);
    bool value = false;
    for (const Expr* link : *links) {
        if (link->args[0] == bottom) {
            value = comparison(link, context);
            continue;
        }
        PooledNodes rightNodes(mNodePool);
        PooledString rightText(mStringPool);
        XPathValue rightHeld;
        Operand left;
        left.boolean = value;
        Operand right;
        operand(link->args[1], context, right, *rightNodes, *rightText, rightHeld);
        value = compare(link->op, left, right);
    }
    return value;
}

double Evaluator::arithmeticChain(const Expr* expr, const Context& context) {
    if (!isArithmetic(expr->args[0]->op)) {
        return arithmetic(expr->op, number(expr->args[0], context), number(expr->args[1], context));
    }
    Pooled<std::vector<const Expr*>> links(mChainPool);
    double value = number(chainBelow(expr, isArithmetic, *links), context);
    for (const Expr* link : *links) {
        value = arithmetic(link->op, value, number(link->args[1], context));
    }
    return value;
}

// --- Values -------------------------------------------------------------------------

bool Evaluator::boolean(const Expr* expr, const Context& context) {
    switch (expr->op) {
        case Expr::OR:
        case Expr::AND:
            return logicalChain(expr, context);
        case Expr::EQ:
        case Expr::NE:
        case Expr::LT:
        case Expr::LE:
        case Expr::GT:
        case Expr::GE:
            return comparisonChain(expr, context);
        case Expr::CALL:
            if (expr->type == Type::BOOLEAN) {
                spend(1, expr);
                return expr->function->boolean(*this, expr, context);
            }
            break;
        default:
            break;
    }
    return booleanOfType(expr, context);
}

// The boolean of an expression whose value is of another type.
bool Evaluator::booleanOfType(const Expr* expr, const Context& context) {
    switch (expr->type) {
        case Type::NODE_SET:
            if (isSimpleStep(expr)) {
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
        case Expr::SUB:
        case Expr::MUL:
        case Expr::DIV:
        case Expr::MOD:
            return arithmeticChain(expr, context);
        case Expr::NEG:
            return -number(expr->args[0], context);
        case Expr::CALL:
            if (expr->type == Type::NUMBER) {
                spend(1, expr);
                return expr->function->number(*this, expr, context);
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
            spend(1, expr);
            return expr->function->string(*this, expr, context, scratch);
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
        case Type::BOOLEAN:
            return XPathValue(boolean(expr, context));
        case Type::NUMBER:
            return XPathValue(number(expr, context));
        case Type::STRING: {
            PooledString scratch(mStringPool);
            return XPathValue(std::string(string(expr, context, *scratch)));
        }
        default: {
            // A node set, or a path or filter over a value only known now.
            NodeVec found;
            nodes(expr, context, found);
            return makeNodeSet(std::move(found));
        }
    }
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

}  // namespace xpath
}  // namespace xml
}  // namespace kavri
