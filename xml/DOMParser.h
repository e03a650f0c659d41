// DOMParser reads XML text from an InputStream into a new Document. It reads
// a small subset of XML: an optional <?xml?> declaration (version "1.0",
// encoding UTF-8), an optional <!DOCTYPE name PUBLIC "id" ["dtd"]>, and one
// root element with attributes, text, CDATA sections and child elements;
// comments are dropped. Nothing after the root element is read.
//
// Ownership: the Document returned belongs to the caller. The stream stays
// the caller's; it is read whole at the start of each parse.
//
//   DOMParser parser;
//   kavri::stream::MemoryInputStream in("<a x='1'><b/></a>");
//   std::unique_ptr<Document> doc(parser.parse(&in));
//
// Faults of the input throw XMLException (or LexerException from a token
// check); after one, getLine() and getColumn() tell where the token that made
// the parse fail begins (1-based, in bytes). Elements nested deeper than
// getMaxDepth() levels (the root is level 1; default 1000) fail with
// "Maximum nesting depth of %d exceeded in node %s", naming the element that
// is one level too deep: walks over the tree (writing, dumping, cloning)
// recurse once per level, and the limit keeps them within a thread's stack.
//
// Lenient reading (setLenient(true); off by default) reads the XML that is
// out there, beyond the subset above:
// - the input is brought to UTF-8 first: a UTF-8 byte-order mark is
//   skipped, UTF-16 (by byte-order mark or first bytes) and any encoding the
//   declaration names that iconv converts are transcoded, and the
//   declaration node's encoding then says "UTF-8"; an unknown encoding,
//   bytes invalid in it, or a declaration naming another encoding than the
//   one the bytes show (UTF-16 or UTF-32 against UTF-8 and single bytes, or
//   the reverse) fail with a message naming the encoding (and, for bytes,
//   the line and column);
// - line ends are read as XML 1.0 reads them (CR LF and a lone CR become
//   LF), and a tab, line feed or carriage return written plainly in an
//   attribute value becomes a blank (one given as a reference keeps its
//   value);
// - version "1.x" reads like "1.0" (and the declaration node then says
//   "1.0", as it says "UTF-8", so that the tree written back reads strictly
//   too); a DOCTYPE may have a SYSTEM or PUBLIC
//   identifier, none, an internal subset, and a name other than the root's
//   (the Document keeps the name and identifiers);
// - entities declared in the internal subset with a literal value are
//   expanded in text and attribute values, within limits that refuse
//   blow-ups (nesting at most 8 deep, the expanded text at most
//   max(10 x the input, 1 MiB)); nothing external is ever read, and a
//   reference to an external entity is kept as written;
// - processing instructions are skipped wherever they stand, and comments
//   inside content no longer end the text around them: the text before and
//   after a comment, white space included, joins the element's body.
// Places of failures then count in the input as read: UTF-8, LF line ends.
//
// Threads: every parse of the process holds gCS, because the XML lexer's
// tokens are process-wide. Separate DOMParser objects may be used by separate
// threads; one object by one thread at a time.
#ifndef KAVRIXML_XML_DOMPARSER_H
#define KAVRIXML_XML_DOMPARSER_H

#include <memory>

#include "framework/kavrimain/Parser.h"
#include "framework/plinth/CriticalSection.h"
#include "xml/Document.h"
#include "xml/XNode.h"

namespace kavri {
namespace stream {
class InputStream;
}

namespace xml {

class DOMParser : public kavri::parser::Parser {
  public:
    static ::core::CriticalSection gCS;
    static constexpr int DEFAULT_MAX_DEPTH = 1000;

    DOMParser();
    // A copy has a lexer of its own and the other's settings (depth limit,
    // trimming, lenient reading).
    DOMParser(const DOMParser& other);
    DOMParser& operator=(const DOMParser& other);
    ~DOMParser() override;

    // A whole document.
    Document* parse(kavri::stream::InputStream* stream);
    // The input as content of a new element `name`, the new Document's root.
    Document* parse(kavri::stream::InputStream* stream, const char* name);
    // With `node` null a whole document; otherwise the input is content
    // (text, elements, CDATA, no declaration or DOCTYPE) read into `node`,
    // which becomes the new Document's root. On failure the node survives;
    // it and the children read into it get back the document the node had.
    Document* parse(kavri::stream::InputStream* stream, XNode* node);

    // Levels of elements allowed (the root is level 1); 0 or less: no limit.
    void setMaxDepth(int depth) { mMaxDepth = depth; }
    int getMaxDepth() const { return mMaxDepth; }

    // With trimming on, white space (bytes up to 32) at the start and end of
    // each element's body is dropped once the element's content has been
    // read, so that layout between tags leaves no bodies behind; text inside
    // a body is kept as it is. Off by default: bodies are kept as read.
    void setTrimBodies(bool trim) { mTrimBodies = trim; }
    bool getTrimBodies() const { return mTrimBodies; }

    // Lenient reading (see above). Off by default; lossless reading implies it.
    void setLenient(bool lenient) { mLenient = lenient; }
    bool isLenient() const { return mLenient || mLossless; }

    // Lossless reading (off by default) is lenient reading that keeps the
    // whole document: its input, and each element's content in order, text
    // runs, CDATA sections, comments and instructions in place, before and
    // after the root too (xml/ContentList.h). Document::writeLossless gives
    // the input back byte for byte, or with the edits made since. The tree
    // is the one lenient reading makes, except that attribute-list
    // declarations supply no default values: the element holds the
    // attributes its tag holds. A fragment (parse into a node) is read as
    // lenient reading reads it.
    void setLossless(bool lossless) { mLossless = lossless; }
    bool isLossless() const { return mLossless; }

    // Where the last parse failed (1-based, in bytes); 0 after a success.
    unsigned getLine() const { return mLine; }
    unsigned getColumn() const { return mColumn; }

  private:
    // What one parse knows beyond the tokens (the reader's own business:
    // defined where the reader is).
    struct ParseState;

    void parseBegin(Document* doc);
    void checkDeclaration(Document* doc);
    void parseDocType(Document* doc);
    XNode* parseRootNode(Document* doc);
    XNode* parseNodeNameAttributes(Document* doc);
    XNode* parseNodeNameAttributes(XNode* parent);
    void parseAttributes(XNode* element);
    Attribute* parseAttribute(XNode* element, kavri::parser::Token* name);
    void parseNodeCommon(XNode* element);
    void parseChildren(XNode* element);

    // Steps shared by the root and the children read in parseChildren.
    bool parseTagEnd(XNode* element);
    void parseEndTag(XNode* element);
    void appendText(XNode* element);
    void appendCData(XNode* element);
    void appendCDataContent(XNode* element);
    void finishBody(XNode* element);
    // A whole tag read by the scanner (and the tokens from the first thing
    // that is not plain on); false when no plain tag starts here.
    bool readPlainTag(XNode*& current, size_t bottom);
    // Makes `child` the element being read, `current` its parent.
    void enter(XNode*& current, XNode* child);
    void leave(XNode*& current);
    void addPlainAttribute(XNode* element, const char* name, size_t nameLength, const char* value,
                           size_t valueLength, bool references);

    void restoreDocuments(XNode* node, Document* failed, Document* previous) noexcept;
    void recordFailure();

    std::unique_ptr<ParseState> mState;
    int mMaxDepth = DEFAULT_MAX_DEPTH;
    unsigned mLine = 0;
    unsigned mColumn = 0;
    bool mTrimBodies = false;
    bool mLenient = false;
    bool mLossless = false;
    // Off: every input is read by the tokens alone (see DOMParserPaths).
    bool mScanning = true;

    friend struct DOMParserPaths;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_DOMPARSER_H
