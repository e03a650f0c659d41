// Parts is the content of an element of a document read losslessly as XPath
// sees it: its child elements, and between them text nodes (each run of
// text, with the CDATA sections beside it merged in), comments and
// processing instructions, in document order; and the same for the root
// node, whose children are the comments and instructions around the top
// element and the element itself. Internal to the library.
//
// The lists are read from the element's content in order (ContentList) and
// kept for one evaluation, or for as long as an XPathSession lives on the
// thread, in a table of the thread's own: the tree must not change
// meanwhile, as for any evaluation.
//
//   PartsScope scope;
//   const PartList& list = Parts::of(element);
//   for (const Part& part : list.parts) { ... }
#ifndef KAVRIXML_XML_XPATHPARTS_H
#define KAVRIXML_XML_XPATHPARTS_H

#include <cstdint>
#include <string>
#include <vector>

#include "xml/Document.h"
#include "xml/XNode.h"
#include "xml/XPath.h"

namespace kavri {
namespace xml {
namespace xpath {

struct Part {
    XPathNode::Kind kind;  // ELEMENT, TEXT, COMMENT or INSTRUCTION
    const XNode* element;  // the element of an ELEMENT part
    std::string text;      // a text's text, a comment's, an instruction's data
    std::string target;    // an instruction's target
};

struct PartList {
    std::vector<Part> parts;
    // The position in `parts` of each child element, in the children's order.
    std::vector<uint32_t> elementAt;
};

class Parts {
  public:
    // Whether the element belongs to a document read losslessly.
    static bool isLossless(const XNode* element) {
        const Document* document = element->getDocument();
        return document != nullptr && document->isLossless();
    }
    // The parts of a lossless element's content.
    static const PartList& of(const XNode* element);
    // The children of the root node above `top`, the top element of a
    // lossless document.
    static const PartList& around(const XNode* top);
    // A scope begins and ends (PartsScope, XPathSession).
    static void enter();
    static void leave();
};

// While one lives on a thread, the lists read there are kept; the table is
// emptied when the outermost one ends.
class PartsScope {
  public:
    PartsScope() { Parts::enter(); }
    ~PartsScope() { Parts::leave(); }
    PartsScope(const PartsScope&) = delete;
    PartsScope& operator=(const PartsScope&) = delete;
};

}  // namespace xpath
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XPATHPARTS_H
