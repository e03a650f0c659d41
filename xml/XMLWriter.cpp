#include "xml/XMLWriter.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/Callback.h"
#include "framework/kavrimain/OutputStream.h"
#include "framework/plinth/Logger.h"
#include "xml/Document.h"
#include "xml/syntax/XMLSyntax.h"

namespace kavri {
namespace xml {

namespace {

using Visitor = mpl::MEncapsulate<XMLWriter, XNode::VisitResult, XNode*, int, int>;

using syntax::XMLBytes;

bool isEmptyElement(const XNode* node) {
    unsigned cdataSize = 0;
    node->getCData(cdataSize);
    return node->getChildCount() == 0 && node->getBodySize() == 0 && cdataSize == 0;
}

}  // namespace

XMLWriter::XMLWriter(bool writeDeclaration, bool tidyOutput, bool CRLF)
    : mWriteDeclaration(writeDeclaration), mTidyOutput(tidyOutput), mCRLF(CRLF) {}

XMLWriter::XMLWriter(const XMLWriter& other)
    : mWriteDeclaration(other.mWriteDeclaration),
      mTidyOutput(other.mTidyOutput),
      mCRLF(other.mCRLF),
      mWriteBOM(other.mWriteBOM) {}

XMLWriter& XMLWriter::operator=(const XMLWriter& other) {
    if (this != &other) {
        mWriteDeclaration = other.mWriteDeclaration;
        mTidyOutput = other.mTidyOutput;
        mCRLF = other.mCRLF;
        mWriteBOM = other.mWriteBOM;
    }
    return *this;
}

XMLWriter::~XMLWriter() {
    ::core::CriticalSection::Guard guard(mLock);
    delete[] mTabs;
    mTabs = nullptr;
    mTabCapacity = 0;
    delete[] mBuffer;
}

// --- Public writes ------------------------------------------------------------------

bool XMLWriter::skipWrite(const void* what, kavri::stream::OutputStream* stream,
                          const char* warning) {
    if (what == nullptr) {
        logging::Logger::mROOT_LOGGER->warn("%s", warning);
        return true;
    }
    if (stream == nullptr) {
        logging::Logger::mROOT_LOGGER->warn("Trying to write XML to a NULL stream. Write skipped.");
        return true;
    }
    return false;
}

void XMLWriter::write(Document* doc, kavri::stream::OutputStream* stream) {
    XNode* root = doc != nullptr ? doc->getRootNode() : nullptr;
    if (skipWrite(root, stream, "Trying to write NULL or empty XML document. Write skipped.")) {
        return;
    }
    ::core::CriticalSection::Guard guard(mLock);
    writeStart(stream, doc->getXmlDeclaration());
    writeXML(root);
}

void XMLWriter::write(XNode* node, kavri::stream::OutputStream* stream) {
    if (skipWrite(node, stream, "Trying to write NULL XML node. Write skipped.")) {
        return;
    }
    ::core::CriticalSection::Guard guard(mLock);
    writeStart(stream, nullptr);
    writeXML(node);
}

// --- Steps ------------------------------------------------------------------------------

void XMLWriter::writeStart(kavri::stream::OutputStream* stream, XNode* declaration) {
    mStream = stream;
    // A write that failed half-way may have left bytes behind.
    mUsed = 0;
    if (mBuffer == nullptr) {
        mBuffer = new char[CHUNK];
    }
    if (!stream->isOpen()) {
        stream->open(kavri::stream::OutputStream::WRITE);
    }
    if (mWriteBOM) {
        static const unsigned char BOM[3] = {0xEF, 0xBB, 0xBF};
        stream->write(BOM, 3);
    }
    if (mWriteDeclaration) {
        writeDeclaration(declaration);
    }
}

void XMLWriter::writeDeclaration(XNode* declaration) {
    const char* version = "1.0";
    const char* encoding = "UTF-8";
    if (declaration != nullptr) {
        version = declaration->getAttributeChar("version", version);
        encoding = declaration->getAttributeChar("encoding", encoding);
    }
    put("<?xml version=\"");
    put(version);
    put("\" encoding=\"");
    put(encoding);
    put("\"?>");
    if (mTidyOutput) {
        writeLine();
    }
}

void XMLWriter::writeXML(XNode* node) {
    node->visit(Visitor(this, &XMLWriter::visitEnter), Visitor(this, &XMLWriter::visitExit));
    drain();
    mStream->flush();
}

XNode::VisitResult XMLWriter::visitEnter(XNode* node, int depth, int) {
    const bool empty = isEmptyElement(node);
    if (mTidyOutput && depth > 0) {
        writeTabs(static_cast<unsigned>(depth));
    }
    putChar('<');
    writeTagAndAttributes(node);
    putTagEnd(empty);
    if (mTidyOutput) {
        writeLine();
    }
    if (empty) {
        return XNode::VISIT_CONTINUE;
    }
    const char* body = node->getBody();
    if (body[0] != '\0') {
        if (mTidyOutput) {
            writeTabs(static_cast<unsigned>(depth));
        }
        const size_t bodyLength = putEscaped(body, XMLBytes::TEXT_ESCAPES);
        if (mTidyOutput && body[bodyLength - 1] != '\n') {
            writeLine();
        }
    }
    unsigned cdataSize = 0;
    const char* cdata = node->getCData(cdataSize);
    if (cdata != nullptr && cdataSize > 0) {
        if (mTidyOutput) {
            writeTabs(static_cast<unsigned>(depth));
        }
        putCData(cdata, cdataSize);
        if (mTidyOutput) {
            writeLine();
        }
    }
    return XNode::VISIT_CONTINUE;
}

XNode::VisitResult XMLWriter::visitExit(XNode* node, int depth, int) {
    if (isEmptyElement(node)) {
        return XNode::VISIT_CONTINUE;
    }
    if (mTidyOutput) {
        writeTabs(static_cast<unsigned>(depth));
    }
    putEndTag(node->getNameString());
    if (mTidyOutput) {
        writeLine();
    }
    return XNode::VISIT_CONTINUE;
}

void XMLWriter::writeTagAndAttributes(XNode* node) {
    putName(node->getNameString());
    node->forEachAttribute([this](const char*, const Attribute* attribute) {
        putAttribute(attribute->getNameString(), attribute->getValue());
    });
}

// name="value", or name='value' when the value holds a double quote. Values
// are mostly short and plain: one scan finds where the value ends (its
// first NUL, as a C string) or the first byte to escape; a plain one goes
// out with a single check for room.
void XMLWriter::putAttribute(const std::string& name, const char* value) {
    static const auto STOP =
        static_cast<XMLBytes::Class>(XMLBytes::ESCAPE_IN_ATTRIBUTE | XMLBytes::VALUE_STOP);
    size_t length = 0;
    while (!XMLBytes::is(value[length], STOP)) {
        ++length;
    }
    const size_t size = name.size() + length + 4;  // blank, '=' and the quotes
    if (value[length] == '\0' && size <= CHUNK - mUsed) {
        char* out = mBuffer + mUsed;
        out[0] = ' ';
        copyBytes(out + 1, name.data(), name.size());
        out += 1 + name.size();
        out[0] = '=';
        out[1] = '"';
        copyBytes(out + 2, value, length);
        out[2 + length] = '"';
        mUsed += size;
        return;
    }
    putChar(' ');
    putName(name);
    putChar('=');
    putAttributeValue(value);
}

// The slow way of putAttribute's value, for values to escape (or too long
// for the room left in the buffer).
void XMLWriter::putAttributeValue(const char* value) {
    size_t length = 0;
    bool special = false;
    bool doubleQuote = false;
    for (char c; (c = value[length]) != '\0'; ++length) {
        if (XMLBytes::is(c, XMLBytes::ESCAPE_IN_ATTRIBUTE)) {
            special = true;
            doubleQuote = doubleQuote || c == '"';
        }
    }
    const char quote = doubleQuote ? '\'' : '"';
    putChar(quote);
    if (special) {
        putEscaped(value, XMLBytes::ATTRIBUTE_ESCAPES);
    } else {
        put(value, length);
    }
    putChar(quote);
}

void XMLWriter::writeTabs(unsigned count) {
    if (count == 0) {
        return;
    }
    if (count > mTabCapacity) {
        delete[] mTabs;
        mTabs = nullptr;
        mTabCapacity = 0;
        mTabs = new char[count + 1];
        mTabCapacity = count;
        std::memset(mTabs, '\t', count);
        mTabs[count] = '\0';
    }
    put(mTabs, count);
}

void XMLWriter::writeLine() {
    if (mCRLF) {
        put("\r\n", 2);
    } else {
        putChar('\n');
    }
}

// --- Output buffer --------------------------------------------------------------------

void XMLWriter::putLarge(const char* bytes, size_t length) {
    drain();
    if (length < CHUNK) {
        std::memcpy(mBuffer, bytes, length);
        mUsed = length;
        return;
    }
    // Longer than the buffer: straight to the stream, which takes lengths as
    // unsigned, at most 1 GiB at a time.
    static const size_t MAX_PIECE = size_t(1) << 30;
    for (size_t done = 0; done < length;) {
        size_t piece = std::min(length - done, MAX_PIECE);
        mStream->write(bytes + done, static_cast<unsigned>(piece));
        done += piece;
    }
}

// Escaped straight into the output buffer: runs of plain bytes are copied
// whole, each byte of `specials` replaced by its reference.
size_t XMLWriter::putEscaped(const char* text, const char* specials) {
    struct Out {
        XMLWriter& writer;
        void operator()(const char* bytes, size_t length) const { writer.put(bytes, length); }
        void operator()(const char* reference) const { writer.put(reference); }
    };
    return syntax::putEscaped(text, specials, Out{*this});
}

// A text holding "]]>" goes out as several sections (see syntax::putCData).
void XMLWriter::putCData(const char* data, size_t size) {
    syntax::putCData(data, size, [this](const char* bytes, size_t length) { put(bytes, length); });
}

void XMLWriter::drain() {
    if (mUsed > 0) {
        mStream->write(mBuffer, static_cast<unsigned>(mUsed));
        mUsed = 0;
    }
}

}  // namespace xml
}  // namespace kavri
