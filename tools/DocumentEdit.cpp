#include "tools/DocumentEdit.h"

#include <algorithm>
#include <vector>

#include "syntax/XMLChars.h"
#include "xml/Attribute.h"
#include "xml/ContentList.h"
#include "xml/XMLException.h"
#include "xml/XNode.h"

namespace kavrixml_tool {

namespace {

using kavri::xml::ContentItem;
using kavri::xml::ContentList;
using kavri::xml::XNode;
using kavri::xml::XPathNode;

// An XML name.
bool isName(const std::string& name) {
    return kavri::xml::syntax::isName(name.data(), name.size());
}

bool isBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return kavri::xml::syntax::isSpace(c); });
}

// White space that ends a line: the indentation of what follows it.
bool isIndentation(const ContentItem& item) {
    if (item.getKind() != ContentItem::TEXT) {
        return false;
    }
    const std::string text = item.getText();
    return text.find('\n') != std::string::npos && isBlank(text);
}

size_t indexOf(const ContentList& content, const XNode* element) {
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i].getElement() == element) {
            return i;
        }
    }
    return content.size();
}

// An element's content becomes the one text `value` (none when empty).
void replaceContent(XNode* element, const std::string& value) {
    ContentList content(element);
    for (size_t i = content.size(); i > 0; --i) {
        content.remove(i - 1);
    }
    if (!value.empty()) {
        content.insertText(0, value);
    }
}

// The text node XPath sees in an element is its runs of one kind joined.
// The runs that are not white space (all runs when every one is) are that
// node: the first takes the value, the others go; `value` null removes all.
void replaceRuns(XNode* element, ContentItem::Kind kind, const std::string* value) {
    ContentList content(element);
    std::vector<size_t> runs;
    for (int blank = 0; blank < 2 && runs.empty(); ++blank) {
        for (size_t i = 0; i < content.size(); ++i) {
            if (content[i].getKind() == kind && (blank == 1 || !isBlank(content[i].getText()))) {
                runs.push_back(i);
            }
        }
    }
    for (size_t i = runs.size(); i > (value != nullptr ? 1 : 0); --i) {
        content.remove(runs[i - 1]);
    }
    if (value != nullptr && !runs.empty()) {
        content.setText(runs.front(), *value);
    }
}

// Removes an element with the indentation that put it on a line of its own
// (first: removing the element joins the texts around it).
void removeElement(XNode* element) {
    ContentList content(element->getParent());
    size_t index = indexOf(content, element);
    if (index > 0 && isIndentation(content[index - 1])) {
        content.remove(--index);
    }
    content.remove(index);
}

}  // namespace

DocumentEdit::DocumentEdit(Action action, const std::string& path)
    : mAction(action), mPath(path), mQuery(path) {}

std::string DocumentEdit::missing() const {
    const bool adds = mAction == SUBNODE || mAction == INSERT || mAction == APPEND;
    if ((mAction == UPDATE || mAction == RENAME) && !mHasValue) {
        return "needs -v VALUE";
    }
    if (adds && (!mHasType || mName.empty())) {
        return "needs -t TYPE and -n NAME";
    }
    if (adds && mType == ATTRIBUTE && mAction != SUBNODE) {
        return "adds an element or a text beside a node (-t elem or text)";
    }
    if (adds && mType != TEXT && !isName(mName)) {
        return "takes an XML name after -n, not '" + mName + "'";
    }
    if (mAction == RENAME && !isName(mValue)) {
        return "takes an XML name after -v, not '" + mValue + "'";
    }
    return std::string();
}

size_t DocumentEdit::apply(kavri::xml::Document& doc) const {
    const kavri::xml::XPathNodeSet nodes = mQuery.selectNodes(XPathNode(doc));
    size_t changed = 0;
    for (auto node = nodes.rbegin(); node != nodes.rend(); ++node) {
        if (applyTo(*node)) {
            ++changed;
        }
    }
    return changed;
}

bool DocumentEdit::applyTo(const XPathNode& node) const {
    XNode* element = const_cast<XNode*>(node.element());
    const bool isElement = node.kind() == XPathNode::ELEMENT;
    switch (mAction) {
        case UPDATE:
            return update(node);
        case DELETE:
            return remove(node);
        case SUBNODE:
            return isElement && addChild(element);
        case INSERT:
        case APPEND:
            // The root element has no siblings.
            return isElement && element->getParent() != nullptr &&
                   addBeside(element, mAction == APPEND);
        case RENAME:
            return rename(node);
    }
    return false;
}

bool DocumentEdit::update(const XPathNode& node) const {
    XNode* element = const_cast<XNode*>(node.element());
    switch (node.kind()) {
        case XPathNode::ATTRIBUTE:
            const_cast<kavri::xml::Attribute*>(node.attribute())->setValue(mValue);
            return true;
        case XPathNode::ELEMENT:
            replaceContent(element, mValue);
            return true;
        case XPathNode::TEXT:
            replaceRuns(element, ContentItem::TEXT, &mValue);
            return true;
        case XPathNode::CDATA:
            replaceRuns(element, ContentItem::CDATA, &mValue);
            return true;
        default:
            return false;
    }
}

bool DocumentEdit::remove(const XPathNode& node) const {
    XNode* element = const_cast<XNode*>(node.element());
    switch (node.kind()) {
        case XPathNode::ATTRIBUTE:
            return element->removeAttribute(node.attribute()->filedName());
        case XPathNode::ELEMENT:
            if (element->getParent() == nullptr) {
                return false;  // a document keeps its root
            }
            removeElement(element);
            return true;
        case XPathNode::TEXT:
            replaceRuns(element, ContentItem::TEXT, nullptr);
            return true;
        case XPathNode::CDATA:
            replaceRuns(element, ContentItem::CDATA, nullptr);
            return true;
        default:
            return false;
    }
}

// A new last child goes before the white space that closes the element, so
// that it is indented as the child before it.
bool DocumentEdit::addChild(XNode* element) const {
    if (mType == ATTRIBUTE) {
        element->setAttributeChar(mName, mValue);
        return true;
    }
    ContentList content(element);
    size_t index = content.size();
    if (mType == ELEMENT && index > 1 && isIndentation(content[index - 1]) &&
        content[index - 2].getKind() == ContentItem::ELEMENT) {
        --index;
    }
    if (mType == TEXT) {
        content.insertText(index, mValue);
        return true;
    }
    XNode* child = content.insertElement(index, mName);
    if (!mValue.empty()) {
        ContentList(child).insertText(0, mValue);
    }
    return true;
}

bool DocumentEdit::addBeside(XNode* element, bool after) const {
    ContentList content(element->getParent());
    const size_t index = indexOf(content, element) + (after ? 1 : 0);
    if (mType == TEXT) {
        content.insertText(index, mValue);
        return true;
    }
    XNode* added = content.insertElement(index, mName);
    if (!mValue.empty()) {
        ContentList(added).insertText(0, mValue);
    }
    return true;
}

bool DocumentEdit::rename(const XPathNode& node) const {
    if (node.kind() == XPathNode::ATTRIBUTE) {
        const kavri::xml::Attribute* same = node.element()->getAttribute(mValue);
        if (same != nullptr && same != node.attribute()) {
            throw kavri::xml::XMLException("<%s> has an attribute %s already",
                                           node.element()->getName(), mValue.c_str());
        }
        const_cast<kavri::xml::Attribute*>(node.attribute())->setName(mValue);
        return true;
    }
    if (node.kind() != XPathNode::ELEMENT) {
        return false;
    }
    // XNode has no setter of its name; a NamedObject's assignment copies the
    // name alone, and the writer then writes the start and end tags anew.
    kavri::core::NamedObject& named = *const_cast<XNode*>(node.element());
    named = kavri::core::NamedObject(mValue);
    return true;
}

}  // namespace kavrixml_tool
