// XPathQuery asks questions of a document tree in XPath 1.0: it is compiled
// once from the text of an expression and evaluated on any node of a tree,
// as a node set, a string, a number or a boolean.
//
//   XPathQuery query("//book[@id=$id]/title");
//   XPathVariables variables;
//   variables.set("id", XPathValue("b2"));
//   XPathNodeSet titles = query.selectNodes(*doc, XPathOptions(&variables));
//   double windows = XPathQuery("count(//window[@width > 800])").evaluateNumber(*doc);
//
// The tree as XPath sees it: a root node above the top element (its name()
// is ""); elements; attributes other than xmlns and xmlns:*, in the byte
// order of their names; an element's body as one text node and its CDATA as
// a second text node after it, both before the element's children (text
// nodes exist only for non-empty texts). Comments, processing instructions
// and namespace nodes do not exist there: comment(), processing-instruction()
// and the namespace axis select nothing, and id() gives an empty set. Name
// tests compare names as written, prefix included; local-name(),
// namespace-uri() and lang() read the xmlns and xml:lang attributes in
// scope. The string value of an element is its body, then its CDATA, then
// its children's string values in order.
//
// A document read losslessly (DOMParser::setLossless) is seen as XPath 1.0
// describes it: among an element's children, in document order, a text node
// for each run of text (white space included, CDATA sections merged with the
// text beside them), comment and processing-instruction nodes; the comments
// and instructions before and after the top element are children of the
// root node. The string value of an element is its text nodes joined in
// document order; name() of an instruction is its target.
//
// Ownership and threads: a compiled query is immutable (copies share it) and
// may be evaluated by any number of threads at once on one shared tree;
// evaluation writes nothing into the tree and takes no lock. The nodes of a
// result point into the tree and are valid while it is unchanged.
//
// Faults: compiling throws XPathException with the byte offset of the fault;
// evaluating throws it for what only a document can show (an unbound
// variable, a variable or function result that is no node set where one is
// needed, an exhausted budget), with the offset of the part at fault.
//
// Depth: compiling and evaluating recurse only as deep as the expression
// nests, and nesting is bounded: each parenthesis, predicate, argument list
// and unary minus is one level, and more than MAX_NESTING levels do not
// compile (the offset is where the level beyond starts). A chain of
// left-associative operators ("1=1=1...", "a or b or ...", "+", "-", "*",
// "div", "mod", "|") and the steps of a path nest nothing: both are compiled
// and evaluated in loops, so an expression of any length is safe. A step
// from many nodes keeps each node it finds once, so the sets made on the way
// grow with the distinct nodes, not with the paths to them.
#ifndef KAVRIXML_XML_XPATH_H
#define KAVRIXML_XML_XPATH_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/plinth/Exception.h"

namespace kavri {
namespace xml {

class Attribute;
class Document;
class XNode;

namespace xpath {
class Evaluator;
struct Program;
}  // namespace xpath

class XPathException : public ::core::Exception {
  public:
    // The message reads "REASON (at offset OFFSET)".
    XPathException(size_t offset, const std::string& reason);
    // Byte offset of the fault in the expression text.
    size_t getOffset() const { return mOffset; }
    const std::string& getReason() const { return mReason; }

  private:
    size_t mOffset;
    std::string mReason;
};

// One node of the tree as XPath sees it. ROOT stands above `element`, the
// top element of its tree; TEXT is an element's body, CDATA its CDATA block.
// In a document read losslessly a TEXT, COMMENT or INSTRUCTION node is a
// part of `element`'s content in order, and `index()` tells which; the
// comments and instructions around the top element are children of ROOT.
class XPathNode {
  public:
    enum Kind : uint8_t { NONE, ROOT, ELEMENT, ATTRIBUTE, TEXT, CDATA, COMMENT, INSTRUCTION };
    // index(): 0 for a node of the default tree; for a part, its place in
    // its element's content (from 1), with AROUND_ROOT set when it stands
    // before or after the top element.
    static constexpr uint32_t AROUND_ROOT = 0x80000000u;

    XPathNode() = default;
    // The element itself (null: no node).
    XPathNode(const XNode* element);  // NOLINT: a node is a context as it is
    // The root node of the document's tree (no node when it has no root).
    XPathNode(const Document& document);  // NOLINT
    XPathNode(Kind kind, const XNode* element, const Attribute* attribute = nullptr,
              uint32_t index = 0)
        : mElement(element), mAttribute(attribute), mKind(kind), mIndex(index) {}

    Kind kind() const { return mKind; }
    explicit operator bool() const { return mKind != NONE; }
    // The element; for an attribute or text its element, for ROOT the top one.
    const XNode* element() const { return mElement; }
    const Attribute* attribute() const { return mAttribute; }
    uint32_t index() const { return mIndex; }

    // name() of XPath: "" for the root, text and comment nodes, the target
    // of an instruction.
    std::string name() const;
    // The string value (text nodes: their text; attributes: their value).
    std::string value() const;

    bool operator==(const XPathNode& other) const {
        return mKind == other.mKind && mElement == other.mElement &&
               mAttribute == other.mAttribute && mIndex == other.mIndex;
    }
    bool operator!=(const XPathNode& other) const { return !(*this == other); }

  private:
    const XNode* mElement = nullptr;
    const Attribute* mAttribute = nullptr;
    Kind mKind = NONE;
    uint32_t mIndex = 0;
};

// Nodes in document order, without duplicates.
using XPathNodeSet = std::vector<XPathNode>;

// A value of XPath: a node set, a boolean, a number or a string.
class XPathValue {
  public:
    enum Type : uint8_t { NODE_SET, BOOLEAN, NUMBER, STRING };

    XPathValue() = default;  // an empty node set
    explicit XPathValue(bool value) : mType(BOOLEAN), mBoolean(value) {}
    explicit XPathValue(double value) : mType(NUMBER), mNumber(value) {}
    explicit XPathValue(std::string value) : mType(STRING), mString(std::move(value)) {}
    explicit XPathValue(const char* value) : mType(STRING), mString(value) {}
    // The nodes are sorted into document order and their duplicates dropped.
    explicit XPathValue(XPathNodeSet nodes);

    Type type() const { return mType; }
    // XPath's conversions: boolean(), number(), string().
    bool toBoolean() const;
    double toNumber() const;
    std::string toString() const;
    // Empty for any other type.
    const XPathNodeSet& nodes() const { return mNodes; }

  private:
    friend class xpath::Evaluator;

    Type mType = NODE_SET;
    bool mBoolean = false;
    double mNumber = 0;
    std::string mString;
    XPathNodeSet mNodes;
};

// Values of the variables ($name) of one or more evaluations.
class XPathVariables {
  public:
    void set(const std::string& name, XPathValue value) { mValues[name] = std::move(value); }
    // Null when the variable is not bound.
    const XPathValue* get(const std::string& name) const;

  private:
    std::map<std::string, XPathValue> mValues;
};

// The application's own functions, known to the queries compiled with them.
// A function takes between `minArguments` and `maxArguments` arguments
// (checked when compiling) and may return a node set only of nodes of the
// tree it was given.
class XPathFunctions {
  public:
    using Function =
        std::function<XPathValue(const XPathNode& context, const std::vector<XPathValue>& args)>;
    struct Entry {
        unsigned minArguments;
        unsigned maxArguments;
        Function function;
    };

    // Throws XPathException (offset 0) for a name that is no QName or is one
    // of XPath's own functions or node tests.
    void add(const std::string& name, unsigned minArguments, unsigned maxArguments,
             Function function);
    const Entry* find(const std::string& name) const;

  private:
    std::map<std::string, Entry> mEntries;
};

// What one evaluation may use and spend. A step is one node visited on an
// axis, one node sorted or one function called; the node limit applies to
// every node set made on the way.
struct XPathOptions {
    static constexpr uint64_t DEFAULT_MAX_STEPS = 200000000;
    static constexpr uint64_t DEFAULT_MAX_NODES = 50000000;

    XPathOptions() = default;
    explicit XPathOptions(const XPathVariables* variables) : variables(variables) {}

    const XPathVariables* variables = nullptr;
    uint64_t maxSteps = DEFAULT_MAX_STEPS;
    uint64_t maxNodes = DEFAULT_MAX_NODES;
};

// While an XPathSession lives, evaluations and node values on its thread
// keep what they read of the content of lossless elements, instead of
// reading it again each time: printing each of many text nodes of one large
// element then costs as much as printing one. The tree must not change while
// a session lives; sessions nest.
class XPathSession {
  public:
    XPathSession();
    ~XPathSession();
    XPathSession(const XPathSession&) = delete;
    XPathSession& operator=(const XPathSession&) = delete;
};

class XPathQuery {
  public:
    // Levels of parentheses, predicates, argument lists and unary minus.
    static constexpr unsigned MAX_NESTING = 200;

    // Throws XPathException for any fault found without a document.
    explicit XPathQuery(const std::string& expression, const XPathFunctions* functions = nullptr);
    XPathQuery(const XPathQuery&) = default;
    XPathQuery& operator=(const XPathQuery&) = default;
    ~XPathQuery();

    const std::string& getExpression() const;
    // The type of the result when it is known without a document; the
    // result of a variable or an application function is known only then.
    bool returnsNodeSet() const;

    XPathValue evaluate(const XPathNode& context, const XPathOptions& options = {}) const;
    // Throws XPathException when the result is no node set.
    XPathNodeSet selectNodes(const XPathNode& context, const XPathOptions& options = {}) const;
    // The first node in document order, found without the rest; no node when
    // the set is empty.
    XPathNode selectFirst(const XPathNode& context, const XPathOptions& options = {}) const;
    std::string evaluateString(const XPathNode& context, const XPathOptions& options = {}) const;
    double evaluateNumber(const XPathNode& context, const XPathOptions& options = {}) const;
    bool evaluateBoolean(const XPathNode& context, const XPathOptions& options = {}) const;

    // XPath's number-to-string: "NaN", "Infinity", integers without a point,
    // others in decimals without an exponent, as few digits as tell it apart.
    static std::string numberToString(double value);
    // XPath's string-to-number: NaN for anything but an optionally negative
    // decimal between whitespace.
    static double stringToNumber(const char* text, size_t length);

  private:
    std::shared_ptr<const xpath::Program> mProgram;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XPATH_H
