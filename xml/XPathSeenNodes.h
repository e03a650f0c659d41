// SeenNodes remembers which nodes a step has produced, so that a step from
// many context nodes keeps each node once while its set is built, and the
// set grows with the distinct nodes rather than with every path to them.
// It marks nothing in the tree: the marks are a table of its own, an open
// address hash set that keeps its capacity from one step to the next, so
// that marking allocates only while the table grows. Internal to the
// library; one object serves one evaluation (one thread).
//
//   SeenNodes seen;
//   seen.clear();
//   if (seen.insert(node)) { out.push_back(node); }   // false: seen before
#ifndef KAVRIXML_XML_XPATHSEENNODES_H
#define KAVRIXML_XML_XPATHSEENNODES_H

#include <cstddef>
#include <vector>

#include "xml/XPath.h"

namespace kavri {
namespace xml {
namespace xpath {

class SeenNodes {
  public:
    // Forgets every node, keeping the table.
    void clear();
    // True when `node` was not in the set (it is now).
    bool insert(const XPathNode& node);

  private:
    static size_t hash(const XPathNode& node);
    void grow();

    std::vector<XPathNode> mSlots;  // NONE: a free slot; the size is a power of two
    std::vector<size_t> mUsed;      // the slots that hold a node
};

}  // namespace xpath
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XPATHSEENNODES_H
