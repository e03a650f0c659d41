// XMLWriter serialises a Document, or any node's subtree, to an OutputStream.
// Four options shape the output: the XML declaration, tidy layout (a line per
// tag, body and CDATA, indented with one tab per level), CR LF line breaks,
// and a UTF-8 byte-order mark. Body text and attribute values are escaped,
// and so are the bytes that another reader would change (tab, line feed and
// carriage return in attribute values, carriage return in text); names and
// CDATA are written as they are, except that a CDATA text holding "]]>" is
// cut into several sections; attributes come in byte order of their names.
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

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "framework/plinth/CriticalSection.h"
#include "xml/XNode.h"

namespace kavri {
namespace stream {
class OutputStream;
}

namespace xml {

class Document;

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
    void writeLine();

  private:
    // Output is collected here and handed to the stream in large pieces.
    static constexpr size_t CHUNK = 64 * 1024;

    bool skipWrite(const void* what, kavri::stream::OutputStream* stream, const char* warning);
    void put(const char* bytes, size_t length) {
        if (length > CHUNK - mUsed) {
            putLarge(bytes, length);
            return;
        }
        copyBytes(mBuffer + mUsed, bytes, length);
        mUsed += length;
    }
    // The pieces of a tag are mostly a few bytes long (names, short values,
    // "</"): copied with a few loads and stores rather than a call to memcpy,
    // reading and writing only the `length` bytes, some of them twice.
    static void copyBytes(char* to, const char* from, size_t length) {
        if (length > 16) {
            std::memcpy(to, from, length);
        } else if (length >= 8) {
            copyOverlapping<uint64_t>(to, from, length);
        } else if (length >= 4) {
            copyOverlapping<uint32_t>(to, from, length);
        } else if (length > 0) {
            to[0] = from[0];
            to[length / 2] = from[length / 2];
            to[length - 1] = from[length - 1];
        }
    }
    // The first and the last Word of [from, from + length), which covers
    // it when length is at most twice the Word.
    template <class Word>
    static void copyOverlapping(char* to, const char* from, size_t length) {
        Word first;
        Word last;
        std::memcpy(&first, from, sizeof first);
        std::memcpy(&last, from + length - sizeof last, sizeof last);
        std::memcpy(to, &first, sizeof first);
        std::memcpy(to + length - sizeof last, &last, sizeof last);
    }
    // Texts of the writer's own (references, the declaration's pieces).
    void put(const char* text) {
        const size_t length = std::strlen(text);
        if (length > CHUNK - mUsed) {
            putLarge(text, length);
            return;
        }
        std::memcpy(mBuffer + mUsed, text, length);
        mUsed += length;
    }
    void putChar(char c) {
        if (mUsed == CHUNK) {
            drain();
        }
        mBuffer[mUsed++] = c;
    }
    // Names in a tree hold no NUL byte (they are set from C strings): the
    // stored length is the C length.
    void putName(const std::string& name) { put(name.data(), name.size()); }
    void putAttribute(const std::string& name, const char* value);
    void putAttributeValue(const char* value);
    // ">" or, for an element without content, "/>".
    void putTagEnd(bool empty) {
        if (mUsed + 2 > CHUNK) {
            drain();
        }
        if (empty) {
            mBuffer[mUsed] = '/';
            mBuffer[mUsed + 1] = '>';
            mUsed += 2;
        } else {
            mBuffer[mUsed++] = '>';
        }
    }
    // "</name>", with one check for room.
    void putEndTag(const std::string& name) {
        const size_t size = name.size() + 3;
        if (size > CHUNK - mUsed) {
            put("</", 2);
            putName(name);
            putChar('>');
            return;
        }
        char* out = mBuffer + mUsed;
        out[0] = '<';
        out[1] = '/';
        copyBytes(out + 2, name.data(), name.size());
        out[size - 1] = '>';
        mUsed += size;
    }
    void putLarge(const char* bytes, size_t length);
    // Texts are written up to their first NUL, as C strings, with the bytes
    // of `specials` as references; returns the number of bytes read.
    size_t putEscaped(const char* text, const char* specials);
    void putCData(const char* data, size_t size);
    void drain();

    ::core::CriticalSection mLock;
    kavri::stream::OutputStream* mStream = nullptr;
    bool mWriteDeclaration;
    bool mTidyOutput;
    bool mCRLF;
    bool mWriteBOM = false;
    char* mTabs = nullptr;
    unsigned mTabCapacity = 0;
    char* mBuffer = nullptr;  // CHUNK bytes, made by the first write
    size_t mUsed = 0;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XMLWRITER_H
