// CoreFunction is one row of the table of XPath 1.0's 27 core functions:
// its name, the numbers of arguments it takes, the type of its result and
// its implementation. The compiler finds a call's row by name, checks the
// arguments against it and keeps a pointer to it in the call; the evaluator
// calls the row's implementation of that type. Internal to the library.
//
// The table is constant and shared by every program and thread.
//
//   const CoreFunction* concat = CoreFunction::find("concat");
//   if (concat != nullptr && concat->result == Type::STRING) { ... }
//   std::string_view text = concat->string(evaluator, call, context, scratch);
#ifndef KAVRIXML_XML_XPATHCOREFUNCTIONS_H
#define KAVRIXML_XML_XPATHCOREFUNCTIONS_H

#include <string>
#include <string_view>
#include <vector>

#include "xml/XPathProgram.h"

namespace kavri {
namespace xml {
namespace xpath {

class Evaluator;
struct Context;

struct CoreFunction {
    using Boolean = bool (*)(Evaluator&, const Expr* call, const Context&);
    using Number = double (*)(Evaluator&, const Expr* call, const Context&);
    // The string, as a view into the tree, the program or `scratch`.
    using String = std::string_view (*)(Evaluator&, const Expr* call, const Context&,
                                        std::string& scratch);
    using Nodes = void (*)(Evaluator&, const Expr* call, const Context&,
                           std::vector<XPathNode>& out);

    // What a call reads of its context besides the node.
    enum Reads : uint8_t { NODE, POSITION, SIZE };

    const char* name;
    unsigned minArguments;
    unsigned maxArguments;  // ~0u: no limit
    Type result;
    // The one implementation that `result` names; the others are null.
    Boolean boolean;
    Number number;
    String string;
    Nodes nodes;
    bool nodeSetArgument;  // the first argument, if given, must be a node set
    Reads reads;

    // Null for a name that is no core function.
    static const CoreFunction* find(std::string_view name);
};

}  // namespace xpath
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XPATHCOREFUNCTIONS_H
