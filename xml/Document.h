// Document is the top object of a parsed or built XML text: the root element,
// the node that carries the XML declaration's attributes, and the three texts
// of a DOCTYPE declaration. It holds counted references to its root and
// declaration nodes; nodes point back to it with plain pointers.
//
//   Document* doc = new Document();
//   XNode* root = doc->createNode("config", nullptr);
//   doc->setRootNode(root);          // the document now keeps the root alive
//   delete doc;                      // and releases the tree
//
// The reader returns a new Document that the caller owns.
#ifndef KAVRIXML_XML_DOCUMENT_H
#define KAVRIXML_XML_DOCUMENT_H

#include <memory>
#include <string>

#include "core/SmartPtr.h"
#include "framework/kavrimain/Object.h"
#include "xml/XNode.h"
#include "xml/internal/EditCount.h"

namespace kavri {
namespace xml {

class SourceText;

class Document : public kavri::core::Object {
  public:
    static const ::core::Type TYPE;
    static const ::core::Type& type() { return TYPE; }

    Document();
    ~Document() override;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    const ::core::Type& getType() const override { return TYPE; }

    // A new node of this document with `parent` as its parent link; it is in
    // no children list, is not the root and has count 0.
    XNode* createNode(const char* name, XNode* parent);
    XNode* createNode(const std::string& name, XNode* parent);

    XNode* getRootNode() const { return mRootNode; }
    void setRootNode(XNode* node) {
        internal::EditCount::note();
        mRootNode = node;
    }
    XNode* getXmlDeclaration() const { return mXmlDeclaration; }
    void setXmlDeclaration(XNode* node) { mXmlDeclaration = node; }

    const char* getDocType() const { return mDocType.c_str(); }
    void setDocType(const char* text) { mDocType = text; }
    void setDocType(const std::string& text) { mDocType = text; }
    const std::string& getPublicID() const { return mPublicID; }
    void setPublicID(const char* text) { mPublicID = text; }
    void setPublicID(const std::string& text) { mPublicID = text; }
    const std::string& getDTD() const { return mDTD; }
    void setDTD(const char* text) { mDTD = text; }
    void setDTD(const std::string& text) { mDTD = text; }

    // Makes this the document of every node of a detached subtree. Throws
    // XMLException "Trying to import an attached XNode" for a node that has a
    // parent, and changes nothing then.
    void importNode(XNode* node);

    // --- Documents read losslessly (DOMParser::setLossless) ----------------
    bool isLossless() const { return mSource != nullptr; }
    // Appends the document as its author wrote it: the input byte for byte
    // where nothing changed, the edited parts written anew in between (see
    // README, "Keeping documents whole"), in the input's encoding. Throws
    // XMLException for a document that was not read losslessly.
    void writeLossless(std::string& out) const;

  private:
    friend class ContentList;
    friend class DOMParser;
    friend class LosslessWriter;
    friend class XNode;

    // The kept input, or null.
    const SourceText* getSource() const { return mSource.get(); }
    SourceText* getSource() { return mSource.get(); }
    void setSource(std::unique_ptr<SourceText> source);

    std::unique_ptr<SourceText> mSource;
    ::core::SmartPtr<XNode> mRootNode;
    ::core::SmartPtr<XNode> mXmlDeclaration;
    std::string mDocType;
    std::string mPublicID;
    std::string mDTD;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_DOCUMENT_H
