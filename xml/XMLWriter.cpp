#include "xml/XMLWriter.h"

#include <cstring>

#include "core/Callback.h"
#include "framework/kavrimain/OutputStream.h"
#include "framework/plinth/Logger.h"
#include "syntax/XMLSyntax.h"
#include "xml/Document.h"
#include "xml/WriteBuffer.h"

namespace kavri {
namespace xml {

namespace {

using Visitor = mpl::MEncapsulate<XMLWriter, XNode::VisitResult, XNode*, int, int>;

using syntax::XMLBytes;

inline bool isEmptyElement(const XNode* node) {
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
      mWriteBOM(other.mWriteBOM),
      mDoubleQuotes(other.mDoubleQuotes),
      mEmptyAsCData(other.mEmptyAsCData) {}

XMLWriter& XMLWriter::operator=(const XMLWriter& other) {
    if (this != &other) {
        mWriteDeclaration = other.mWriteDeclaration;
        mTidyOutput = other.mTidyOutput;
        mCRLF = other.mCRLF;
        mWriteBOM = other.mWriteBOM;
        mDoubleQuotes = other.mDoubleQuotes;
        mEmptyAsCData = other.mEmptyAsCData;
    }
    return *this;
}

XMLWriter::~XMLWriter() {
    ::core::CriticalSection::Guard guard(mLock);
    delete[] mTabs;
    mTabs = nullptr;
    mTabCapacity = 0;
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
    if (mOut == nullptr) {
        mOut.reset(new WriteBuffer());
    }
    // A write that failed half-way may have left bytes behind: dropped.
    mOut->start(stream);
    mOut->setDoubleQuotes(mDoubleQuotes);
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
    mOut->put("<?xml version=\"");
    mOut->put(version);
    mOut->put("\" encoding=\"");
    mOut->put(encoding);
    mOut->put("\"?>");
    if (mTidyOutput) {
        writeLine();
    }
}

void XMLWriter::writeXML(XNode* node) {
    node->visit(Visitor(this, &XMLWriter::visitEnter), Visitor(this, &XMLWriter::visitExit));
    mOut->finish();
}

XNode::VisitResult XMLWriter::visitEnter(XNode* node, int depth, int) {
    WriteBuffer& out = *mOut;
    const bool empty = writesEmptyTag(node);
    if (mTidyOutput && depth > 0) {
        writeTabs(static_cast<unsigned>(depth));
    }
    out.putChar('<');
    writeTagAndAttributes(node);
    out.putTagEnd(empty);
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
        const size_t bodyLength = out.putEscaped(body, XMLBytes::TEXT_ESCAPES);
        if (mTidyOutput && body[bodyLength - 1] != '\n') {
            writeLine();
        }
    }
    unsigned cdataSize = 0;
    const char* cdata = node->getCData(cdataSize);
    if ((cdata != nullptr && cdataSize > 0) || (mEmptyAsCData && isEmptyElement(node))) {
        if (mTidyOutput) {
            writeTabs(static_cast<unsigned>(depth));
        }
        out.putCData(cdataSize > 0 ? cdata : "", cdataSize);
        if (mTidyOutput) {
            writeLine();
        }
    }
    return XNode::VISIT_CONTINUE;
}

XNode::VisitResult XMLWriter::visitExit(XNode* node, int depth, int) {
    if (writesEmptyTag(node)) {
        return XNode::VISIT_CONTINUE;
    }
    if (mTidyOutput) {
        writeTabs(static_cast<unsigned>(depth));
    }
    WriteBuffer& out = *mOut;
    out.putEndTag(node->getNameString());
    if (mTidyOutput) {
        writeLine();
    }
    return XNode::VISIT_CONTINUE;
}

void XMLWriter::writeTagAndAttributes(XNode* node) {
    WriteBuffer& out = *mOut;
    out.putName(node->getNameString());
    node->forEachAttribute([&out](const char*, const Attribute* attribute) {
        out.putAttribute(attribute->getNameString(), attribute->getValue());
    });
}

bool XMLWriter::writesEmptyTag(const XNode* node) const {
    return !mEmptyAsCData && isEmptyElement(node);
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
    mOut->put(mTabs, count);
}

void XMLWriter::writeLine() {
    if (mCRLF) {
        mOut->put("\r\n", 2);
    } else {
        mOut->putChar('\n');
    }
}

}  // namespace xml
}  // namespace kavri
