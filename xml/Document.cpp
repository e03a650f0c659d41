#include "xml/Document.h"

#include <functional>

#include "core/Callback.h"
#include "xml/LosslessWriter.h"
#include "xml/SourceText.h"
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

void Document::setSource(std::unique_ptr<SourceText> source) {
    mSource = std::move(source);
}

void Document::writeLossless(std::string& out) const {
    if (mSource == nullptr) {
        throw XMLException("The document was not read losslessly");
    }
    LosslessWriter(*this, out).write();
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
    if (node->getDocument() != this) {
        node->leaveSource();
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
