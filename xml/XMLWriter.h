// XMLWriter serialises a Document, or any node's subtree, to an OutputStream.
// Four options shape the output: the XML declaration, tidy layout (a line per
// tag, body and CDATA, indented with one tab per level), CR LF line breaks,
// and a UTF-8 byte-order mark. Body text and attribute values are escaped,
// and so are the bytes that another reader would change (tab, line feed and
// carriage return in attribute values, carriage return in text); names and
// CDATA are written as they are, except that a CDATA text holding "]]>" is
// cut into several sections; attributes come in byte order of their names.
// A document read losslessly is written with all its content in order
// (text runs, CDATA sections, comments, instructions, elements, and the
// DOCTYPE, comments and instructions around the root); the tidy layout then
// indents only elements whose content is elements and white space, never
// mixed content nor anything under xml:space="preserve", and the compact
// layout drops only that white space. Document::writeLossless writes such
// a document as its author wrote it instead.
//
// Ownership: the writer never owns the stream or the tree. One writer may be
// shared by threads: each write holds the writer's lock, so their outputs
// come out one after another. Nothing to write (a null or rootless document,
// a null node or a null stream) is a warning on the root logger, not an error.
//
//   XMLWriter writer;              // declaration on, tidy on, LF line ends
//   writer.setTidyOutput(false);   // everything on one line
//   writer.write(doc, &stream);
#ifndef KAVRIXML_XML_XMLWRITER_H
#define KAVRIXML_XML_XMLWRITER_H

#include <memory>

#include "framework/plinth/CriticalSection.h"
#include "xml/ContentList.h"
#include "xml/XNode.h"

namespace kavri {
namespace stream {
class OutputStream;
}

namespace xml {

class Document;
class WriteBuffer;

class XMLWriter {
  public:
    explicit XMLWriter(bool writeDeclaration = true, bool tidyOutput = true, bool CRLF = false);
    // A copy takes the options only: its lock and buffers are its own.
    XMLWriter(const XMLWriter& other);
    XMLWriter& operator=(const XMLWriter& other);
    ~XMLWriter();

    // The setters take effect at the next write.
    bool getWriteDeclaration() const { return mWriteDeclaration; }
    void setWriteDeclaration(bool value) { mWriteDeclaration = value; }
    bool getTidyOutput() const { return mTidyOutput; }
    void setTidyOutput(bool value) { mTidyOutput = value; }
    bool getCRLF() const { return mCRLF; }
    void setCRLF(bool value) { mCRLF = value; }
    bool getWriteBOM() const { return mWriteBOM; }
    void setWriteBOM(bool value) { mWriteBOM = value; }
    // Every attribute value in double quotes, a '"' inside as "&quot;" (off:
    // a value holding '"' stands in single quotes).
    bool getDoubleQuotes() const { return mDoubleQuotes; }
    void setDoubleQuotes(bool value) { mDoubleQuotes = value; }
    // An element without body, CDATA or children as "<a><![CDATA[]]></a>"
    // (off: "<a/>"), for files whose every text stands in a section.
    bool getEmptyAsCData() const { return mEmptyAsCData; }
    void setEmptyAsCData(bool value) { mEmptyAsCData = value; }

    // The whole document; its declaration node, when it has one, gives the
    // version and encoding written.
    void write(Document* doc, kavri::stream::OutputStream* stream);
    // One subtree as if it were a document's root (a declaration, if written,
    // carries the default values).
    void write(XNode* node, kavri::stream::OutputStream* stream);

  protected:
    void writeStart(kavri::stream::OutputStream* stream, XNode* declaration);
    void writeDeclaration(XNode* declaration);
    // The subtree, then a flush; no lock and no start.
    void writeXML(XNode* node);
    XNode::VisitResult visitEnter(XNode* node, int depth, int limit);
    XNode::VisitResult visitExit(XNode* node, int depth, int limit);
    void writeTagAndAttributes(XNode* node);
    void writeTabs(unsigned count);
    // The empty-element tag "<a/>" for this node.
    bool writesEmptyTag(const XNode* node) const;
    void writeLine();

    // A tree read losslessly: every part in order, laid out anew only where
    // the content is elements and white space.
    void writeInOrder(XNode* node, unsigned depth, bool preserve);
    void writeItem(const ContentItem& item, unsigned depth, bool preserve);
    void writeAroundRoot(Document* doc, ContentList::Place place);
    // Whether xml:space on the node or its nearest ancestor that has one says
    // "preserve".
    static bool isPreserved(const XNode* node);

  private:
    bool skipWrite(const void* what, kavri::stream::OutputStream* stream, const char* warning);

    ::core::CriticalSection mLock;
    bool mWriteDeclaration;
    bool mTidyOutput;
    bool mCRLF;
    bool mWriteBOM = false;
    bool mDoubleQuotes = false;
    bool mEmptyAsCData = false;
    char* mTabs = nullptr;
    unsigned mTabCapacity = 0;
    // The output, made by the first write (xml/WriteBuffer.h).
    std::unique_ptr<WriteBuffer> mOut;
    // Room kept from one element to the next by writeInOrder.
    struct InOrderRoom;
    std::unique_ptr<InOrderRoom> mInOrder;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XMLWRITER_H
