// Test helpers for the document model: watching nodes die through their
// release callback, and nodes that belong to no document.
#ifndef KAVRIXML_TESTS_XML_NODE_TRACKING_H
#define KAVRIXML_TESTS_XML_NODE_TRACKING_H

#include <string>
#include <vector>

#include "xml/XNode.h"

namespace kavri {
namespace xml {
namespace testing {

// Names of the watched nodes disposed of so far, in order.
inline std::vector<std::string>& disposedNodes() {
    static std::vector<std::string> names;
    return names;
}

inline void recordDisposal(::core::IRefCount* object) {
    XNode* node = dynamic_cast<XNode*>(object);
    disposedNodes().push_back(node->getName());
    delete node;
}

// Makes `node` report its disposal to disposedNodes(); returns it.
inline XNode* watched(XNode* node) {
    node->setReleaseCallback(recordDisposal);
    return node;
}

// A node without document and parent (the constructor is protected).
class FreeNode : public XNode {
  public:
    explicit FreeNode(const char* name) : XNode(nullptr, name, nullptr) {}
};

}  // namespace testing
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_TESTS_XML_NODE_TRACKING_H
