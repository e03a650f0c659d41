#include "xml/Document.h"

#include <functional>

#include "core/Callback.h"
#include "xml/XMLException.h"

namespace kavri {
namespace xml {

// A Type stores only the address of its parent, so Object::TYPE, defined in
// another translation unit, need not be constructed before this one.
const ::core::Type Document::TYPE("Document", kavri::core::Object::TYPE);

Document::Document() = default;

// The root goes first, while the declaration node and the DOCTYPE texts
// still exist, then the texts, then the declaration.
Document::~Document() {
    mRootNode.release();
    std::string().swap(mDTD);
    std::string().swap(mPublicID);
    std::string().swap(mDocType);
    mXmlDeclaration.release();
}

XNode* Document::createNode(const char* name, XNode* parent) {
    return new XNode(this, name, parent);
}

XNode* Document::createNode(const std::string& name, XNode* parent) {
    return new XNode(this, name, parent);
}

void Document::importNode(XNode* node) {
    if (node->getParent() != nullptr) {
        throw XMLException("Trying to import an attached XNode");
    }
    // The walk calls enter(node, depth, maxDepth): the two depths are dropped,
    // the node reaches setDocument with this document bound behind it, and
    // every node answers VISIT_CONTINUE so that the whole subtree is walked.
    using SetDocument = decltype(std::mem_fn(&XNode::setDocument));
    using BindDocument = mpl::Linker<SetDocument, Document*>;
    using DropMaxDepth = mpl::ParamAdder<int, BindDocument, 1>;
    using DropDepth = mpl::ParamAdder<int, DropMaxDepth, 1>;
    mpl::ReturnAdaptor<XNode::VisitResult, DropDepth> adoptNode(
        DropDepth(DropMaxDepth(BindDocument(std::mem_fn(&XNode::setDocument), this))),
        XNode::VISIT_CONTINUE);
    node->visit(adoptNode);
}

}  // namespace xml
}  // namespace kavri
