#include "xml/LosslessWriter.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "framework/plinth/internal/HugePages.h"
#include "syntax/XMLBytes.h"
#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"
#include "xml/ContentItem.h"
#include "xml/ContentList.h"
#include "xml/Document.h"
#include "xml/SourceText.h"
#include "xml/XNode.h"
#include "xml/internal/EditCount.h"

namespace kavri {
namespace xml {

namespace {

const uint32_t NONE = SourceText::NONE;

}  // namespace

LosslessWriter::LosslessWriter(const Document& doc, std::string& out)
    : mDocument(&doc), mSource(*doc.getSource()), mOut(out), mFirst(out.size()) {}

// A writer of parts of the document alone.
LosslessWriter::LosslessWriter(const SourceText& source, std::string& out)
    : mDocument(nullptr), mSource(source), mOut(out), mFirst(out.size()) {}

void LosslessWriter::write() {
    // Room for the input and what edits usually add: growing a string of
    // the whole document at its end would copy it all once more.
    mOut.reserve(mFirst + mSource.size() + mSource.crlf.size() + mSource.loneCR.size() +
                 mSource.size() / 64 + 4096);
    ::core::internal::HugePages::ask(&mOut[0] + mFirst, mOut.capacity() - mFirst);
    if (internal::EditCount::now() == mSource.editsAtRead) {
        // No tree has changed since the reading: nothing to compare.
        if (mSource.keptOriginal()) {
            mOut += mSource.original;
            return;
        }
        bytes(0, mSource.size());
    } else {
        writeAround(mSource.beforeRoot.get(), 0, mSource.rootStart);
        if (mDocument->getRootNode() != nullptr) {
            writeElement(mDocument->getRootNode());
        }
        writeAround(mSource.afterRoot.get(), mSource.rootEnd, mSource.size());
    }
    if (!mChanged && mSource.keptOriginal() && writtenAsRead()) {
        mOut.resize(mFirst);
        mOut += mSource.original;
    } else if (!mSource.encoding.empty() || mSource.byteOrderMark) {
        std::string written(mOut, mFirst);
        mSource.encode(written);
        mOut.replace(mFirst, std::string::npos, written);
    }
}

// Nothing was written anew, yet a removal leaves no trace of its own:
// whether what was written is the input's text as read.
bool LosslessWriter::writtenAsRead() const {
    std::string asRead;
    mSource.appendBytes(asRead, 0, mSource.size());
    return mOut.compare(mFirst, std::string::npos, asRead) == 0;
}

void LosslessWriter::writeAround(const std::vector<ContentItem>* edited, uint32_t from,
                                 uint32_t to) {
    if (edited != nullptr) {
        writeItems(*edited, nullptr);
    } else {
        bytes(from, to);
    }
}

void LosslessWriter::bytes(uint32_t from, uint32_t to) {
    if (from < to && *mSource.at(from) == '\n' &&
        !std::binary_search(mSource.crlf.begin(), mSource.crlf.end(), from) &&
        !std::binary_search(mSource.loneCR.begin(), mSource.loneCR.end(), from)) {
        keepLineEnds();
    }
    mSource.appendBytes(mOut, from, to);
}

// A lone CR of the input that an edit has put right before a line feed
// would read with it as one line end: it goes out as the line feed it reads
// as, and so do lone CRs right before it, which would pair with that one.
void LosslessWriter::keepLineEnds() {
    for (size_t at = mOut.size(); at > mFirst && mOut[at - 1] == '\r'; --at) {
        mOut[at - 1] = '\n';
    }
}

void LosslessWriter::escaped(const std::string& text, const char* specials) {
    if (!text.empty() && text[0] == '\n' && std::strchr(specials, '\n') == nullptr) {
        keepLineEnds();
    }
    struct Put {
        std::string& out;
        void operator()(const char* run, size_t length) { out.append(run, length); }
        void operator()(const char* reference) { out += reference; }
    };
    syntax::putEscaped(text.c_str(), specials, Put{mOut});
}

// --- Elements ---------------------------------------------------------------------------------

void LosslessWriter::writeElement(const XNode* node) {
    const uint32_t start = node->sourceStart();
    if (start == NONE) {
        writeNewElement(node);
        return;
    }
    const uint32_t end = node->sourceEnd();
    const bool asRead = tagAsRead(node);
    const uint32_t contentStart = node->sourceContentStart(mSource);
    const bool hasEndTag = contentStart != end;
    const std::vector<ContentItem>* edited = node->editedItems();
    const bool opens = !hasEndTag && edited != nullptr && !edited->empty();
    if (asRead && !opens) {
        bytes(start, contentStart);
    } else {
        writeStartTag(node, contentStart, opens);
    }
    const uint32_t endTag = ContentList::endTagStart(mSource, contentStart, end);
    if (edited != nullptr) {
        writeItems(*edited, node);
    } else {
        writeContentAsRead(node, contentStart, endTag);
    }
    // The start tag told whether the name is still the one read.
    if (hasEndTag && asRead) {
        bytes(endTag, end);
    } else if (hasEndTag || opens) {
        writeEndTag(node);
    }
}

// The content between `from` and `to` as read, the children written in
// their places.
void LosslessWriter::writeContentAsRead(const XNode* node, uint32_t from, uint32_t to) {
    uint32_t pos = from;
    for (const auto& child : node->getChildren()) {
        const uint32_t start = child->sourceStart();
        if (start != NONE && start >= pos && start < to) {
            writeContent(node, pos, start);
            writeElement(child.get());
            pos = child->sourceEnd();
        }
    }
    writeContent(node, pos, to);
}

// The content [from, to) of `parent` as read, each reference in it as the
// tree now has what it made.
void LosslessWriter::writeContent(const XNode* parent, uint32_t from, uint32_t to) {
    const std::vector<SourceText::Reference>& references = mSource.references;
    if (references.empty()) {
        bytes(from, to);
        return;
    }
    auto reference = std::lower_bound(
        references.begin(), references.end(), from,
        [](const SourceText::Reference& held, uint32_t at) { return held.start < at; });
    uint32_t pos = from;
    for (; reference != references.end() && reference->start < to; ++reference) {
        bytes(pos, reference->start);
        writeReference(*reference, parent);
        pos = reference->end;
    }
    bytes(pos, to);
}

// The reference as read while what it made, written out, is what it was
// when read; otherwise that.
void LosslessWriter::writeReference(const SourceText::Reference& reference, const XNode* parent) {
    const size_t at = mOut.size();
    const bool changed = mChanged;
    writeMade(reference, parent, 0, reference.made.size());
    const std::string_view made(mOut.data() + at, mOut.size() - at);
    if (made.size() == reference.writtenSize &&
        std::hash<std::string_view>()(made) == reference.writtenHash) {
        mOut.resize(at);
        mChanged = changed;
        bytes(reference.start, reference.end);
    } else {
        mChanged = true;
    }
}

// The parts [from, to) of what the reference made, its elements that are
// still in `parent` written as new ones.
void LosslessWriter::writeMade(const SourceText::Reference& reference, const XNode* parent,
                               size_t from, size_t to) {
    for (size_t part = from; part < to; ++part) {
        const ContentItem& item = reference.made[part];
        if (item.getKind() != ContentItem::ELEMENT) {
            writeItem(item);
        } else if (item.getElement()->getParent() == parent) {
            writeNewElement(item.getElement());
        }
    }
}

void LosslessWriter::rememberMade(const SourceText& source, SourceText::Reference& reference,
                                  const XNode* parent) {
    std::string written;
    LosslessWriter(source, written).writeMade(reference, parent, 0, reference.made.size());
    reference.writtenSize = written.size();
    reference.writtenHash = std::hash<std::string>()(written);
}

void LosslessWriter::writeItems(const std::vector<ContentItem>& items, const XNode* parent) {
    if (mSource.references.empty()) {
        for (const ContentItem& item : items) {
            writeItem(item);
        }
        return;
    }
    std::vector<SourceText::MadeAt> made;
    mSource.madeIn(items, parent, made);
    for (size_t i = 0; i < items.size(); ++i) {
        const SourceText::MadeAt& at = made[i];
        if (at.reference == nullptr) {
            writeItem(items[i]);
        } else if (at.whole) {
            writeReference(*at.reference, parent);
            i += at.skip;
        } else {
            // The reference's parts around its elements, which stand apart.
            mChanged = true;
            if (items[i].getKind() == ContentItem::ELEMENT) {
                writeElement(items[i].getElement());
            }
            writeMade(*at.reference, parent, at.from, at.to);
        }
    }
}

void LosslessWriter::writeItem(const ContentItem& item) {
    if (item.getKind() == ContentItem::ELEMENT) {
        writeElement(item.getElement());
        return;
    }
    if (item.isFromInput()) {
        bytes(item.mStart, item.mEnd);
        return;
    }
    mChanged = true;
    const std::string text = item.getText();
    switch (item.getKind()) {
        case ContentItem::TEXT:
            escaped(text, syntax::XMLBytes::TEXT_ESCAPES);
            break;
        case ContentItem::COMMENT:
            mOut.append(syntax::COMMENT_START).append(text).append(syntax::COMMENT_END);
            break;
        case ContentItem::INSTRUCTION:
            mOut.append(syntax::INSTRUCTION_START).append(item.getTarget());
            if (!text.empty()) {
                mOut.append(1, ' ').append(text);
            }
            mOut.append(syntax::INSTRUCTION_END);
            break;
        case ContentItem::CDATA:
            syntax::putCData(text.data(), text.size(),
                             [this](const char* run, size_t length) { mOut.append(run, length); });
            break;
        default:
            mOut += text;  // a declaration or DOCTYPE, as it was written
    }
}

void LosslessWriter::writeNewElement(const XNode* node) {
    mChanged = true;
    mOut.append(1, '<').append(node->getName());
    writeNewAttributes(node, std::vector<TagAttribute>());
    std::vector<ContentItem> items;
    ContentList::itemsOf(node, items);
    if (items.empty()) {
        mOut += "/>";
        return;
    }
    mOut += '>';
    writeItems(items, node);
    writeEndTag(node);
}

void LosslessWriter::writeEndTag(const XNode* node) {
    mOut.append("</").append(node->getName()).append(1, '>');
}

// --- Start tags -----------------------------------------------------------------------------

// Reads the attributes of the start tag at `start` into mTag; returns where
// the tag's name ends. The tag was read well-formed.
uint32_t LosslessWriter::readTag(uint32_t start) {
    const char* const begin = mSource.at(0);
    const char* p = mSource.at(start + 1);
    while (!syntax::isSpace(*p) && *p != '/' && *p != '>') {
        ++p;
    }
    const uint32_t nameEnd = static_cast<uint32_t>(p - begin);
    mTag.clear();
    for (;;) {
        const char* const lead = p;
        while (syntax::isSpace(*p)) {
            ++p;
        }
        if (*p == '>' || *p == '/') {
            mTagEnd = static_cast<uint32_t>(lead - begin);
            return nameEnd;
        }
        TagAttribute attribute;
        attribute.lead = static_cast<uint32_t>(lead - begin);
        attribute.name = static_cast<uint32_t>(p - begin);
        while (*p != '=' && !syntax::isSpace(*p)) {
            ++p;
        }
        attribute.nameEnd = static_cast<uint32_t>(p - begin);
        while (*p != '"' && *p != '\'') {
            ++p;
        }
        const char quote = *p++;
        attribute.valueStart = static_cast<uint32_t>(p - begin);
        p = static_cast<const char*>(
            std::memchr(p, quote, static_cast<size_t>(mSource.at(mSource.size()) - p)));
        attribute.valueEnd = static_cast<uint32_t>(p - begin);
        ++p;
        mTag.push_back(attribute);
    }
}

bool LosslessWriter::sameValue(const TagAttribute& attribute, const std::string& value) const {
    const std::string* read = mSource.readValue(attribute.valueStart);
    if (read != nullptr) {
        return *read == value;
    }
    const size_t length = attribute.valueEnd - attribute.valueStart;
    return value.size() == length &&
           std::memcmp(value.data(), mSource.at(attribute.valueStart), length) == 0;
}

// Whether the element's name and attributes are the ones its tag holds.
bool LosslessWriter::tagAsRead(const XNode* node) {
    const uint32_t start = node->sourceStart();
    const uint32_t nameEnd = readTag(start);
    const size_t nameLength = nameEnd - start - 1;
    if (std::strlen(node->getName()) != nameLength ||
        std::memcmp(node->getName(), mSource.at(start + 1), nameLength) != 0 ||
        mTag.size() != node->getAttributeCount()) {
        return false;
    }
    for (const TagAttribute& attribute : mTag) {
        mName.assign(mSource.at(attribute.name), attribute.nameEnd - attribute.name);
        const Attribute* held = node->getAttribute(mName.c_str());
        if (held == nullptr || held->getNameString() != mName ||
            !sameValue(attribute, held->getValueString())) {
            return false;
        }
    }
    return true;
}

// The start tag from the pieces of the one read (mTag, by tagAsRead);
// `opens` turns an empty-element tag into a start tag.
void LosslessWriter::writeStartTag(const XNode* node, uint32_t contentStart, bool opens) {
    mChanged = true;
    mOut.append(1, '<').append(node->getName());
    for (const TagAttribute& attribute : mTag) {
        mName.assign(mSource.at(attribute.name), attribute.nameEnd - attribute.name);
        const Attribute* held = node->getAttribute(mName.c_str());
        if (held == nullptr) {
            continue;  // removed, with the white space before it
        }
        if (held->getNameString() != mName) {
            bytes(attribute.lead, attribute.name);
            mOut += held->getNameString();
            bytes(attribute.nameEnd, attribute.valueStart);
        } else if (sameValue(attribute, held->getValueString())) {
            bytes(attribute.lead, attribute.valueEnd + 1);
            continue;
        } else {
            bytes(attribute.lead, attribute.valueStart);
        }
        escaped(held->getValueString(), syntax::XMLBytes::ATTRIBUTE_ESCAPES);
        bytes(attribute.valueEnd, attribute.valueEnd + 1);
    }
    writeNewAttributes(node, mTag);
    if (opens) {
        bytes(mTagEnd, contentStart - 2);
        mOut += '>';
    } else {
        bytes(mTagEnd, contentStart);
    }
}

// The attributes of `node` that `kept` does not hold, at the end of its tag.
void LosslessWriter::writeNewAttributes(const XNode* node, const std::vector<TagAttribute>& kept) {
    node->forEachAttribute([&](const char* name, const Attribute* attribute) {
        const size_t length = std::strlen(name);
        for (const TagAttribute& read : kept) {
            if (read.nameEnd - read.name == length &&
                std::memcmp(mSource.at(read.name), name, length) == 0) {
                return;
            }
        }
        mOut.append(1, ' ').append(attribute->getNameString()).append("=\"");
        escaped(attribute->getValueString(), syntax::XMLBytes::ATTRIBUTE_ESCAPES);
        mOut += '"';
    });
}

}  // namespace xml
}  // namespace kavri
