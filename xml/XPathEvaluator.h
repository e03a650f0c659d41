// The evaluator of compiled XPath programs: one object per evaluation, which
// holds the budget and reusable buffers, so that visiting nodes allocates
// nothing once the buffers have grown. The axes it walks are Axes's, the
// core functions it calls CoreFunction's. Internal to the library.
//
// Its recursion follows the program's nesting, which the compiler bounds
// (XPathQuery::MAX_NESTING); a chain of left-associative operators, which
// may be as long as the expression, is evaluated in a loop.
//
//   Evaluator evaluator(program, options);
//   std::string scratch;
//   std::string_view text = evaluator.string(program.top, Context{node, 1, 1}, scratch);
#ifndef KAVRIXML_XML_XPATHEVALUATOR_H
#define KAVRIXML_XML_XPATHEVALUATOR_H

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml/XPathAxes.h"
#include "xml/XPathParts.h"
#include "xml/XPathProgram.h"
#include "xml/XPathSeenNodes.h"

namespace kavri {
namespace xml {
namespace xpath {

using NodeVec = std::vector<XPathNode>;

// The context of an expression: node, position and size (1-based).
struct Context {
    XPathNode node;
    size_t position;
    size_t size;
};

// A value ready for comparing, pointing into buffers that its maker keeps.
struct Operand {
    Type type = Type::BOOLEAN;
    bool boolean = false;
    double number = 0;
    std::string_view string;
    const NodeVec* nodes = nullptr;
};

class Evaluator {
  public:
    // Buffers taken from the evaluator's pool for as long as they live.
    template <class T>
    class Pooled {
      public:
        explicit Pooled(std::vector<std::unique_ptr<T>>& pool) : mPool(pool) {
            if (pool.empty()) {
                mItem.reset(new T());
            } else {
                mItem = std::move(pool.back());
                pool.pop_back();
            }
            mItem->clear();
        }
        ~Pooled() { mPool.push_back(std::move(mItem)); }
        Pooled(const Pooled&) = delete;
        Pooled& operator=(const Pooled&) = delete;
        T& operator*() { return *mItem; }
        T* operator->() { return mItem.get(); }

      private:
        std::vector<std::unique_ptr<T>>& mPool;
        std::unique_ptr<T> mItem;
    };
    using PooledNodes = Pooled<NodeVec>;
    using PooledString = Pooled<std::string>;

    Evaluator(const Program& program, const XPathOptions& options)
        : mProgram(program), mOptions(options) {}
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    bool boolean(const Expr* expr, const Context& context);
    double number(const Expr* expr, const Context& context);
    // The string, as a view into the tree, the program or `scratch`.
    std::string_view string(const Expr* expr, const Context& context, std::string& scratch);
    // `out` receives the node set in document order, without duplicates.
    void nodes(const Expr* expr, const Context& context, NodeVec& out);
    // The first node of a node set in document order (NONE when empty).
    XPathNode first(const Expr* expr, const Context& context);
    XPathValue value(const Expr* expr, const Context& context);
    // The size of a node set, counted without keeping it where possible.
    size_t count(const Expr* expr, const Context& context);

    // Sorts into document order and drops duplicates.
    void sortUnique(NodeVec& nodes, const Expr* where);
    // The string value of a node, as a view into the tree or `scratch`.
    std::string_view stringValue(const XPathNode& node, std::string& scratch);

    PooledString pooledString() { return PooledString(mStringPool); }
    PooledNodes pooledNodes() { return PooledNodes(mNodePool); }

    static XPathValue makeNodeSet(NodeVec nodes) {
        XPathValue value;
        value.mNodes = std::move(nodes);
        return value;
    }

  private:
    void spend(uint64_t steps, const Expr* where) {
        mSteps += steps;
        if (mSteps > mOptions.maxSteps) {
            overBudget(where);
        }
    }
    [[noreturn]] void overBudget(const Expr* where) const;
    void push(NodeVec& out, const XPathNode& node, const Expr* where) {
        if (out.size() >= mOptions.maxNodes) {
            tooManyNodes(where);
        }
        out.push_back(node);
    }
    [[noreturn]] void tooManyNodes(const Expr* where) const;
    const XPathValue& variable(const Expr* expr) const;

    // Paths and steps.
    void path(const Expr* expr, const Context& context, NodeVec& out, bool firstOnly);
    void start(const Expr* expr, const Context& context, NodeVec& out);
    // The nodes of all steps but the last from the path's start.
    void allButLastStep(const Expr* expr, const Context& context, NodeVec& current);
    void filter(const std::vector<const Expr*>& predicates, NodeVec& nodes);
    void applyStep(const Step& step, const NodeVec& in, NodeVec& out, bool firstOnly,
                   const Expr* where);
    // A step from context nodes whose results do not come in document order
    // (nor, for some axes, without repeats): each node is kept once as it
    // is found, and the set sorted at the end.
    void applyUnordered(const Step& step, const NodeVec& in, NodeVec& out, const Expr* where);
    // A descendant step from each context that is outside the one before.
    void applyDescending(const Step& step, const NodeVec& in, NodeVec& out, bool firstOnly,
                         const Expr* where);
    // Appends the step's nodes from one context in document order; false
    // when `firstOnly` had its node.
    bool stepFrom(const Step& step, const XPathNode& node, NodeVec& out, bool firstOnly,
                  const Expr* where);
    // Appends the step's nodes from one context in the axis's order; a
    // positional predicate counts in that order.
    void collectStep(const Step& step, const XPathNode& node, NodeVec& out, const Expr* where);
    // Calls sink(node) for each node of a step without positional
    // predicates, in the axis's order, until it answers false; false then.
    // A Quiet sink spends no steps (it may throw), so the budget need not
    // be settled before each call.
    template <bool Quiet, class Sink>
    bool stepEach(const Step& step, const XPathNode& node, const Expr* where, Sink&& sink);
    // stepEach for the attribute axis.
    template <class Sink>
    bool attributeStep(const Step& step, const XPathNode& node, const Expr* where, Sink&& sink);
    // stepEach for a descendant(-or-self) step with a name test or '*' from
    // an element or the root: elements only, without a node per candidate.
    // Settle: the budget is handed back before each predicate and sink call
    // (false only for a quiet sink and no predicates); ByName: a name test.
    template <bool Settle, bool ByName, class Sink>
    bool descendantElements(const Step& step, const XPathNode& node, const Expr* where,
                            Sink&& sink);
    // The attributes of the elements at and below a context, for the
    // steps `//@test` without predicates; in document order.
    template <class Sink>
    bool descendantAttributes(const Step& step, const XPathNode& node, const Expr* where,
                              Sink&& sink);
    bool predicateHolds(const Expr* predicate, const Context& context);
    // Whether every predicate of a step without positional ones holds.
    bool allHold(const std::vector<const Expr*>& predicates, const XPathNode& node);

    // Comparisons.
    bool comparison(const Expr* expr, const Context& context);
    bool compareOperands(const Expr* expr, const Context& context);
    void operand(const Expr* expr, const Context& context, Operand& out, NodeVec& nodes,
                 std::string& scratch, XPathValue& held);
    bool compare(Expr::Op op, const Operand& left, const Operand& right);
    bool compareNodes(Expr::Op op, const NodeVec& nodes, const Operand& other, bool nodesLeft);
    bool compareNodeSets(Expr::Op op, const NodeVec& nodes, const NodeVec& others);
    bool compareStep(const Expr* expr, const Context& context);
    bool compareAttribute(const Expr* expr, const Context& context);
    bool compareStepWith(const Expr* expr, const Expr* path, const Operand& against, bool stepLeft,
                         const Context& context);

    // Chains of left-associative operators, evaluated in a loop.
    bool logicalChain(const Expr* expr, const Context& context);
    bool comparisonChain(const Expr* expr, const Context& context);
    double arithmeticChain(const Expr* expr, const Context& context);
    void unionChain(const Expr* expr, const Context& context, NodeVec& out);

    // Values.
    bool booleanOfType(const Expr* expr, const Context& context);
    XPathValue custom(const Expr* expr, const Context& context);
    void appendText(const XNode* element, std::string& out);
    void sortLarge(NodeVec& nodes);

    PartsScope mScope;  // the lossless content read stays while evaluating
    const Program& mProgram;
    const XPathOptions& mOptions;
    uint64_t mSteps = 0;
    std::vector<std::unique_ptr<NodeVec>> mNodePool;
    std::vector<std::unique_ptr<std::string>> mStringPool;
    std::vector<std::unique_ptr<SeenNodes>> mSeenPool;
    std::vector<std::unique_ptr<std::vector<const Expr*>>> mChainPool;
    Axes mAxes;
};

// XPathQuery::numberToString into `out`, reusing its buffer.
void formatNumber(double value, std::string& out);

}  // namespace xpath
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XPATHEVALUATOR_H
