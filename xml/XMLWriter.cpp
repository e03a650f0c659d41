#include "xml/XMLWriter.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "core/Callback.h"
#include "framework/kavrimain/OutputStream.h"
#include "framework/plinth/Logger.h"
#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"
#include "xml/ContentItem.h"
#include "xml/ContentList.h"
#include "xml/Document.h"
#include "xml/WriteBuffer.h"

namespace kavri {
namespace xml {

namespace {

using Visitor = mpl::MEncapsulate<XMLWriter, XNode::VisitResult, XNode*, int, int>;

using syntax::XMLBytes;

constexpr std::ptrdiff_t WRITE_PREFETCH_AHEAD = 4096;

// The walk reaches nodes in the order the reader made them, which is the
// order of their memory: asking now for what lies some way ahead lets those
// waits overlap with the writing of this node (xml/XPathAxes.h walks so too).
inline void prefetchAhead(const XNode* node) {
#if defined(__GNUC__)
    const char* at = reinterpret_cast<const char*>(node) + WRITE_PREFETCH_AHEAD;
    __builtin_prefetch(at);
    __builtin_prefetch(at + 64);
#else
    (void)node;
#endif
}

inline bool isEmptyElement(const XNode* node) {
    if (node->getChildCount() != 0 || node->getBodySize() != 0) {
        return false;
    }
    unsigned cdataSize = 0;
    node->getCData(cdataSize);
    return cdataSize == 0;
}

}  // namespace

struct XMLWriter::InOrderRoom {
    // The content of the element being written at each depth: a deque, so
    // that a deeper level never moves the ones above it.
    std::deque<std::vector<ContentItem>> levels;
    std::string text;

    // Room is kept for one write only: a large document's would stay.
    void release() {
        levels.clear();
        std::string().swap(text);
    }
};

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
    if (doc->isLossless()) {
        writeAroundRoot(doc, ContentList::BEFORE_ROOT);
        writeInOrder(root, 0, isPreserved(root));
        if (mTidyOutput) {
            writeLine();
        }
        writeAroundRoot(doc, ContentList::AFTER_ROOT);
        mOut->finish();
        mInOrder->release();
        return;
    }
    writeXML(root);
}

void XMLWriter::write(XNode* node, kavri::stream::OutputStream* stream) {
    if (skipWrite(node, stream, "Trying to write NULL XML node. Write skipped.")) {
        return;
    }
    ::core::CriticalSection::Guard guard(mLock);
    writeStart(stream, nullptr);
    if (node->getDocument() != nullptr && node->getDocument()->isLossless()) {
        writeInOrder(node, 0, isPreserved(node));
        mOut->finish();
        mInOrder->release();
        return;
    }
    writeXML(node);
}

// --- Steps ------------------------------------------------------------------------------

void XMLWriter::writeStart(kavri::stream::OutputStream* stream, XNode* declaration) {
    if (mOut == nullptr) {
        mOut.reset(new WriteBuffer());
        mInOrder.reset(new InOrderRoom);
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
    prefetchAhead(node);
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

// --- Trees read losslessly: all content in order -----------------------------------------

namespace {

// Content of elements and layout alone: the writer's own layout may replace
// the white space (as xmllint --format does); any other text keeps it.
bool elementsOnly(const std::vector<ContentItem>& content) {
    return std::all_of(content.begin(), content.end(), [](const ContentItem& item) {
        return item.getKind() != ContentItem::TEXT ? item.getKind() != ContentItem::CDATA
                                                   : item.isWhiteSpace();
    });
}

// The value of xml:space on the element, or null.
const char* spaceOf(const XNode* node) {
    return node->getAttributeChar("xml:space", nullptr);
}

}  // namespace

bool XMLWriter::isPreserved(const XNode* node) {
    for (; node != nullptr; node = node->getParent()) {
        const char* space = spaceOf(node);
        if (space != nullptr) {
            return std::strcmp(space, "preserve") == 0;
        }
    }
    return false;
}

// Comments, instructions and the DOCTYPE before or after the root, a line
// each in the tidy layout; the writer writes its own declaration.
void XMLWriter::writeAroundRoot(Document* doc, ContentList::Place place) {
    for (const ContentItem& item : ContentList(doc, place)) {
        if (item.getKind() == ContentItem::TEXT || item.getKind() == ContentItem::DECLARATION) {
            continue;
        }
        writeItem(item, 0, false);
        if (mTidyOutput) {
            writeLine();
        }
    }
}

// The element and its content in order. Only the content of elements and
// white space is laid out anew (tidy: a line per part, indented; compact:
// the white space dropped); text beside elements, and everything under
// xml:space="preserve", is written as it stands.
void XMLWriter::writeInOrder(XNode* node, unsigned depth, bool preserve) {
    const char* space = spaceOf(node);
    if (space != nullptr) {
        preserve = std::strcmp(space, "preserve") == 0;
    }
    std::deque<std::vector<ContentItem>>& levels = mInOrder->levels;
    if (levels.size() <= depth) {
        levels.resize(depth + 1);
    }
    std::vector<ContentItem>& content = levels[depth];
    content.clear();
    ContentList::itemsOf(node, content);
    WriteBuffer& out = *mOut;
    out.putChar('<');
    writeTagAndAttributes(node);
    out.putTagEnd(content.empty());
    if (content.empty()) {
        return;
    }
    const bool layout = !preserve && elementsOnly(content);
    for (const ContentItem& item : content) {
        if (layout && item.getKind() == ContentItem::TEXT) {
            continue;  // white space, as elementsOnly found
        }
        if (layout && mTidyOutput) {
            writeLine();
            writeTabs(depth + 1);
        }
        writeItem(item, depth + 1, preserve);
    }
    if (layout && mTidyOutput) {
        writeLine();
        writeTabs(depth);
    }
    out.putEndTag(node->getNameString());
}

void XMLWriter::writeItem(const ContentItem& item, unsigned depth, bool preserve) {
    if (item.getKind() == ContentItem::ELEMENT) {
        writeInOrder(item.getElement(), depth, preserve);
        return;
    }
    WriteBuffer& out = *mOut;
    std::string& text = mInOrder->text;
    text.clear();
    item.appendText(text);
    switch (item.getKind()) {
        case ContentItem::TEXT:
            out.putEscaped(text.c_str(), XMLBytes::TEXT_ESCAPES);
            break;
        case ContentItem::CDATA:
            out.putCData(text.data(), text.size());
            break;
        case ContentItem::COMMENT:
            out.put(syntax::COMMENT_START);
            out.put(text.data(), text.size());
            out.put(syntax::COMMENT_END);
            break;
        case ContentItem::INSTRUCTION: {
            const std::string target = item.getTarget();
            out.put(syntax::INSTRUCTION_START);
            out.put(target.data(), target.size());
            if (!text.empty()) {
                out.putChar(' ');
                out.put(text.data(), text.size());
            }
            out.put(syntax::INSTRUCTION_END);
            break;
        }
        default:
            out.put(text.data(), text.size());  // the DOCTYPE as written
    }
}

void XMLWriter::writeTagAndAttributes(XNode* node) {
    WriteBuffer& out = *mOut;
    out.putName(node->getNameString());
    node->forEachAttribute([&out](const char*, const Attribute* attribute) {
        out.putAttribute(attribute->getNameString(), attribute->getValueString());
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
