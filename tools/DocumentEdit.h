// DocumentEdit is one operation of `kavrixml edit` on a document read
// losslessly: it selects nodes with an XPath expression and updates,
// deletes, adds to, inserts beside or renames each of them through the
// document's content in order (xml/ContentList.h), so that the document
// written afterwards keeps every byte the operation did not touch.
//
// An edit holds its compiled expression and its arguments; it owns nothing
// of the documents it is applied to. Applying one changes the tree, so only
// the thread that owns the document may do it.
//
//   DocumentEdit edit(DocumentEdit::UPDATE, "//server/@port");   // may throw XPathException
//   edit.setValue("8443");
//   if (edit.apply(*doc) == 0) { /* selected nothing */ }
#ifndef KAVRIXML_TOOLS_DOCUMENTEDIT_H
#define KAVRIXML_TOOLS_DOCUMENTEDIT_H

#include <cstddef>
#include <string>

#include "xml/Document.h"
#include "xml/XPath.h"

namespace kavrixml_tool {

class DocumentEdit {
  public:
    enum Action { UPDATE, DELETE, SUBNODE, INSERT, APPEND, RENAME };
    // What SUBNODE, INSERT and APPEND make.
    enum NodeType { ELEMENT, ATTRIBUTE, TEXT };

    // Compiles `path`; throws XPathException when it does not compile.
    DocumentEdit(Action action, const std::string& path);

    Action getAction() const { return mAction; }
    const std::string& getPath() const { return mPath; }
    void setType(NodeType type) { mType = type; }
    void setName(const std::string& name) { mName = name; }
    void setValue(const std::string& value) {
        mValue = value;
        mHasValue = true;
    }
    bool hasType() const { return mHasType; }
    void markTyped() { mHasType = true; }
    bool hasName() const { return !mName.empty(); }
    bool hasValue() const { return mHasValue; }

    // What is missing for the action ("" when complete): -u and -r need a
    // value, -s, -i and -a a type and a name, and names must be XML names.
    std::string missing() const;

    // Applies the edit to every node the expression selects, the last in
    // document order first (so that deleting an element never leaves a
    // selected descendant behind it dangling). Returns how many nodes it
    // changed: 0 when the expression selected none the action applies to.
    // Throws XPathException for a fault only evaluation shows, XMLException
    // for a value the document cannot hold or a rename to an attribute's
    // name that its element has already.
    size_t apply(kavri::xml::Document& doc) const;

  private:
    bool applyTo(const kavri::xml::XPathNode& node) const;
    bool update(const kavri::xml::XPathNode& node) const;
    bool remove(const kavri::xml::XPathNode& node) const;
    bool addChild(kavri::xml::XNode* element) const;
    bool addBeside(kavri::xml::XNode* element, bool after) const;
    bool rename(const kavri::xml::XPathNode& node) const;

    Action mAction;
    std::string mPath;
    kavri::xml::XPathQuery mQuery;
    NodeType mType = ELEMENT;
    bool mHasType = false;
    std::string mName;
    std::string mValue;
    bool mHasValue = false;
};

}  // namespace kavrixml_tool

#endif  // KAVRIXML_TOOLS_DOCUMENTEDIT_H
