// The evaluator of compiled XPath programs: one object per evaluation, which
// holds the budget and reusable buffers, so that visiting nodes allocates
// nothing once the buffers have grown. Internal to the library.
#ifndef KAVRIXML_XML_XPATHEVALUATOR_H
#define KAVRIXML_XML_XPATHEVALUATOR_H

#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/SmartPtr.h"
#include "xml/XNode.h"
#include "xml/XPathProgram.h"

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

    // Sorts into document order and drops duplicates.
    void sortUnique(NodeVec& nodes, const Expr* where);
    // The string value of a node, as a view into the tree or `scratch`.
    std::string_view stringValue(const XPathNode& node, std::string& scratch);

    static XPathValue makeNodeSet(NodeVec nodes) {
        XPathValue value;
        value.mNodes = std::move(nodes);
        return value;
    }

  private:
    // Buffers taken from the evaluator's pool for as long as they live.
    template <class T>
    class Pooled {
      public:
        Pooled(std::vector<std::unique_ptr<T>>& pool) : mPool(pool) {
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

    struct Frame {
        const ::core::SmartPtr<XNode>* at;
        const ::core::SmartPtr<XNode>* end;
        const XNode* owner;  // whose children these are (walks backwards only)
    };
    // Gives the frame stack back the height it had when a walk began,
    // however the walk ends.
    struct FramesUnwind {
        std::vector<Frame>& frames;
        size_t base;
        ~FramesUnwind() { frames.resize(base); }
    };

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
    void filter(const std::vector<const Expr*>& predicates, bool needsSize, NodeVec& nodes);
    void applyStep(const Step& step, const NodeVec& in, NodeVec& out, bool firstOnly,
                   const Expr* where);
    // Appends the step's nodes from one context in document order; false
    // when `firstOnly` had its node.
    bool stepFrom(const Step& step, const XPathNode& node, NodeVec& out, bool firstOnly,
                  const Expr* where);
    // Calls sink(node) for each node of a step without positional
    // predicates, in the axis's order, until it answers false; false then.
    // A Quiet sink spends no steps (it may throw), so the budget need not
    // be settled before each call.
    template <bool Quiet, class Sink>
    bool stepEach(const Step& step, const XPathNode& node, const Expr* where, Sink&& sink);
    // A relative path of one step without positional predicates.
    static bool simpleStep(const Expr* expr);
    size_t count(const Expr* expr, const Context& context);
    bool compareStep(const Expr* expr, const Context& context);
    bool compareAttribute(const Expr* expr, const Context& context);
    bool compareStepWith(const Expr* expr, const Expr* path, const Operand& against, bool stepLeft,
                         const Context& context);
    bool predicateHolds(const Expr* predicate, const Context& context);
    // Whether every predicate of a step without positional ones holds.
    bool allHold(const std::vector<const Expr*>& predicates, const XPathNode& node);
    template <class Emit>
    bool axis(Axis axis, const XPathNode& node, bool withText, Emit&& emit);
    template <class Emit>
    bool descendants(const XNode* top, bool withText, Emit&& emit);
    // Calls visit(element) for each element below `top` in document order
    // until it answers false; false then. No text nodes, no budget.
    template <class Visit>
    bool elementsBelow(const XNode* top, Visit&& visit);
    // stepEach for a descendant(-or-self) step with a name test or '*' from
    // an element or the root: elements only, without a node per candidate.
    // Settle: the budget is handed back before each predicate and sink call
    // (false only for a quiet sink and no predicates); ByName: a name test.
    template <bool Settle, bool ByName, class Sink>
    bool descendantElements(const Step& step, const XPathNode& node, const Expr* where,
                            Sink&& sink);
    template <class Emit>
    bool descendantsReverse(const XNode* top, bool withText, Emit&& emit);
    template <class Emit>
    bool followingSiblings(const XPathNode& node, bool withText, Emit&& emit);
    template <class Emit>
    bool precedingSiblings(const XPathNode& node, bool withText, Emit&& emit);
    template <class Emit>
    bool attributes(const XNode* element, Emit&& emit);

    // Values.
    void operand(const Expr* expr, const Context& context, Operand& out, NodeVec& nodes,
                 std::string& scratch, XPathValue& held);
    bool compare(Expr::Op op, const Operand& left, const Operand& right);
    bool compareNodes(Expr::Op op, const NodeVec& nodes, const Operand& other, bool nodesLeft);
    double call(const Expr* expr, const Context& context);
    bool callBoolean(const Expr* expr, const Context& context);
    std::string_view callString(const Expr* expr, const Context& context, std::string& scratch);
    XPathValue custom(const Expr* expr, const Context& context);
    XPathNode argumentNode(const Expr* expr, const Context& context);
    bool lang(const XPathNode& node, std::string_view language);
    void appendText(const XNode* element, std::string& out);
    void sortLarge(NodeVec& nodes);

    const Program& mProgram;
    const XPathOptions& mOptions;
    uint64_t mSteps = 0;
    std::vector<std::unique_ptr<NodeVec>> mNodePool;
    std::vector<std::unique_ptr<std::string>> mStringPool;
    // Frames of the walks in progress; nested walks stack above each other.
    std::vector<Frame> mFrames;
};

// Document order of two nodes of one tree: negative, 0 or positive.
int compareOrder(const XPathNode& a, const XPathNode& b);
// The root node above `node`'s tree.
XPathNode rootOf(const XPathNode& node);
// XPathQuery::numberToString into `out`, reusing its buffer.
void formatNumber(double value, std::string& out);
// xmlns and xmlns:* are no attributes to XPath.
inline bool isNamespaceDeclaration(const char* name) {
    return name[0] == 'x' && std::strncmp(name, "xmlns", 5) == 0 &&
           (name[5] == '\0' || name[5] == ':');
}

}  // namespace xpath
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XPATHEVALUATOR_H
