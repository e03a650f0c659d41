// The compiled form of an XPath expression: a tree of Expr nodes, owned by
// their Program, read by the evaluator (xml/XPathEvaluator.cpp) and never
// changed after compiling. Internal to the library.
#ifndef KAVRIXML_XML_XPATHPROGRAM_H
#define KAVRIXML_XML_XPATHPROGRAM_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "xml/XPath.h"

namespace kavri {
namespace xml {
namespace xpath {

// The type of an expression's value when compiling can tell it; ANY for
// variables and the application's functions.
enum class Type : uint8_t { NODE_SET, BOOLEAN, NUMBER, STRING, ANY };

enum class Axis : uint8_t {
    ANCESTOR,
    ANCESTOR_OR_SELF,
    ATTRIBUTE,
    CHILD,
    DESCENDANT,
    DESCENDANT_OR_SELF,
    FOLLOWING,
    FOLLOWING_SIBLING,
    NAMESPACE,
    PARENT,
    PRECEDING,
    PRECEDING_SIBLING,
    SELF,
};

inline bool isReverse(Axis axis) {
    return axis == Axis::ANCESTOR || axis == Axis::ANCESTOR_OR_SELF || axis == Axis::PRECEDING ||
           axis == Axis::PRECEDING_SIBLING;
}

// NAME: a QName as written; PREFIX: "p:*"; ANY_NAME: "*"; INSTRUCTION:
// processing-instruction(), of the target in `name` when it is given;
// NOTHING: processing-instruction(''), which no node passes.
enum class Test : uint8_t { NAME, PREFIX, ANY_NAME, NODE, TEXT, COMMENT, INSTRUCTION, NOTHING };

struct CoreFunction;

struct Expr;

struct Step {
    Axis axis = Axis::CHILD;
    Test test = Test::NODE;
    std::string name;  // NAME: the QName; PREFIX: "p:" (with the colon); INSTRUCTION: a target
    std::vector<const Expr*> predicates;
    // Some predicate reads position() or last() of this step, or is a number.
    bool positional = false;
    bool needsSize = false;  // some predicate reads last()
    // An attribute step from the context and every element below it: what
    // '//@test' selects, without the step over every node in between.
    bool withDescendants = false;
};

struct Expr {
    enum Op : uint8_t {
        OR,
        AND,
        EQ,
        NE,
        LT,
        LE,
        GT,
        GE,
        ADD,
        SUB,
        MUL,
        DIV,
        MOD,
        NEG,
        UNION,
        NUMBER,
        LITERAL,
        VARIABLE,
        CALL,         // one of XPath's functions
        CUSTOM_CALL,  // the application's
        PATH,         // [filter predicates] steps, from the root when absolute
    };

    Op op = NUMBER;
    Type type = Type::NUMBER;
    uint32_t offset = 0;            // byte offset in the expression text
    std::vector<const Expr*> args;  // operands and arguments
    double number = 0;
    std::string text;                        // literal, variable name or function name
    const CoreFunction* function = nullptr;  // CALL: its row of the table
    const XPathFunctions::Entry* custom = nullptr;
    // PATH: a filter expression (null: a location path), its predicates,
    // then the steps.
    const Expr* filter = nullptr;
    std::vector<const Expr*> filterPredicates;
    bool filterPositional = false;
    bool filterNeedsSize = false;
    bool absolute = false;
    std::vector<Step> steps;
    // Comparisons: one side is a one-step relative path, compared node by
    // node as the step finds them (stepCompare); `@name = 'text'` and `!=`,
    // with no predicate on the step, are one look-up (attributeLiteral).
    bool stepCompare = false;
    bool attributeLiteral = false;
};

// A relative path of one step without positional predicates.
inline bool isSimpleStep(const Expr* expr) {
    return expr->op == Expr::PATH && expr->filter == nullptr && !expr->absolute &&
           expr->steps.size() == 1 && !expr->steps[0].positional;
}

struct Program {
    std::string expression;
    std::vector<std::unique_ptr<Expr>> nodes;  // every Expr of the program
    const Expr* top = nullptr;
    // The application's functions, copied so that the program stays whole
    // when the registry changes or goes.
    XPathFunctions functions;
};

// Compiles `expression`; throws XPathException.
std::shared_ptr<const Program> compile(const std::string& expression,
                                       const XPathFunctions* functions);
// True for the names of XPath's own functions and node tests.
bool isFunctionName(const std::string& name);

}  // namespace xpath
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XPATHPROGRAM_H
