#include "xml/WellFormedReader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "core/SmartPtr.h"
#include "syntax/XMLChars.h"
#include "syntax/XMLScan.h"
#include "syntax/XMLSyntax.h"
#include "syntax/XMLTags.h"
#include "xml/Document.h"
#include "xml/LosslessWriter.h"
#include "xml/TreeBuilder.h"
#include "xml/XMLException.h"
#include "xml/XNode.h"

namespace kavri {
namespace xml {

using syntax::isSpace;

namespace {

const size_t NO_BUFFER = static_cast<size_t>(-1);

using syntax::PlainBytes;
using syntax::skipPlain;
using syntax::startsWith;
using syntax::TextBlocks;
using syntax::XMLBytes;
#if KAVRIXML_AVX2
using syntax::hasAVX2;
using syntax::WideTextBlocks;
#endif

#if KAVRIXML_AVX2
// Whether texts are read thirty-two bytes at a time.
std::atomic<bool> gWideText{hasAVX2()};
#endif

}  // namespace

WellFormedReader::WellFormedReader(const std::string& text, int maxDepth, bool trimBodies)
    : DocTypeReader(text), mMaxDepth(maxDepth), mTrimBodies(trimBodies) {}

void WellFormedReader::read(Document* doc, size_t& failOffset) {
    mDocument = doc;
    const char* p = mBegin;
    try {
        if (startsWith(p, mEnd, "<?xml") && mEnd - p > 5 && isSpace(p[5])) {
            const char* const start = p;
            readDeclaration(p, mEnd, doc);
            if (mSource != nullptr) {
                mSource->declarationStart = offsetOf(start);
                mSource->declarationEnd = offsetOf(p);
            }
        }
        readMisc(p, mEnd, false);
        if (startsWith(p, mEnd, "<!DOCTYPE")) {
            const char* const start = p;
            readDocType(p, mEnd, doc);
            if (mSource != nullptr) {
                mSource->docTypeStart = offsetOf(start);
                mSource->docTypeEnd = offsetOf(p);
            }
            readMisc(p, mEnd, false);
        }
        if (p == mEnd) {
            fail(p, "No root element [document]");
        }
        if (mSource != nullptr) {
            mSource->rootStart = offsetOf(p);
        }
        readContent<false>(p, mEnd, IN_DOCUMENT);
    } catch (...) {
        failOffset = static_cast<size_t>((mFailAt != nullptr ? mFailAt : p) - mBegin);
        throw;
    }
}

void WellFormedReader::readFragment(XNode* node, size_t& failOffset) {
    mDocument = node->getDocument();
    mOpen.push_back({node, node->getName(), std::strlen(node->getName())});
    mDepth = 1;
    const char* p = mBegin;
    try {
        readContent<false>(p, mEnd, IN_FRAGMENT);
        closeElement();
    } catch (...) {
        failOffset = static_cast<size_t>((mFailAt != nullptr ? mFailAt : p) - mBegin);
        throw;
    }
}

// --- The prolog ---------------------------------------------------------------------

void WellFormedReader::readDeclaration(const char*& p, const char* end, Document* doc) {
    const char* const start = p;
    p += 5;
    std::unique_ptr<XNode> declaration(doc->createNode("xml", nullptr));
    skipSpace(p, end);
    if (!startsWith(p, end, "version")) {
        fail(start, "No version attribute in XML declaration! [XMLDecl]");
    }
    static const char* const NAMES[] = {"version", "encoding", "standalone"};
    bool first = true;
    for (const char* name : NAMES) {
        const char* q = p;
        if (!first && !skipSpace(q, end)) {
            break;
        }
        if (!startsWith(q, end, name)) {
            if (first) {
                break;
            }
            continue;
        }
        first = false;
        q += std::strlen(name);
        readDeclarationValue(q, end, name, declaration.get());
        p = q;
    }
    skipSpace(p, end);
    if (!startsWith(p, end, "?>")) {
        fail(p, "Invalid XML declaration [XMLDecl]");
    }
    p += 2;
    doc->setXmlDeclaration(declaration.release());
}

// From after a pseudo-attribute's name in the declaration to after its
// value, which goes on the declaration node as the tree holds it.
void WellFormedReader::readDeclarationValue(const char*& p, const char* end, const char* name,
                                            XNode* declaration) {
    skipSpace(p, end);
    expect(p, end, "=", "the XML declaration [Eq]");
    skipSpace(p, end);
    if (p == end || (*p != '"' && *p != '\'')) {
        fail(p, "Quoted value expected in the XML declaration [XMLDecl]");
    }
    const char* close =
        static_cast<const char*>(std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1)));
    if (close == nullptr) {
        fail(p, "Unterminated value in the XML declaration [XMLDecl]");
    }
    const std::string value(p + 1, close);
    if (name[0] == 'v') {
        if (value.size() < 3 || value.compare(0, 2, "1.") != 0 ||
            value.find_first_not_of("0123456789", 2) != std::string::npos) {
            fail(p, "Only XML 1.0 supported [VersionNum]");
        }
        declaration->addAttribute("version", "1.0");
    } else if (name[0] == 'e') {
        if (!syntax::isEncodingName(value.data(), value.size())) {
            fail(p, "Invalid encoding name '%s' [EncName]", value.c_str());
        }
        declaration->addAttribute("encoding", "UTF-8");  // what the text was brought to
    } else {
        if (value != "yes" && value != "no") {
            fail(p, "standalone must be 'yes' or 'no' [SDDecl]");
        }
        mStandalone = value == "yes";
        declaration->addAttribute("standalone", value);
    }
    p = close + 1;
}

// White space, comments and processing instructions.
void WellFormedReader::readMisc(const char*& p, const char* end, bool afterRoot) {
    for (;;) {
        skipSpace(p, end);
        if (startsWith(p, end, "<!--")) {
            readComment(p, end);
        } else if (startsWith(p, end, "<?")) {
            readInstruction(p, end);
        } else {
            break;
        }
    }
    if (!afterRoot || p == end) {
        return;
    }
    if (*p == '<' && p + 1 < end && p[1] != '!' && p[1] != '?' && p[1] != '/') {
        fail(p, "Second root element [document]");
    }
    fail(p, "Content after the root element [document]");
}

// --- Elements and content ---------------------------------------------------------------

// Content up to the root's end (in the document) or the end of an entity's
// replacement text, in which elements must begin and end.
template <bool KeepMade>
void WellFormedReader::readContent(const char* p, const char* end, Context context) {
    const size_t base = mDepth;
    if (context == IN_DOCUMENT) {
        if (*p != '<' || p + 1 == end || p[1] == '!' || p[1] == '?' || p[1] == '/') {
            fail(p, "Root element expected [document]");
        }
        readStartTag(p, end, mDocument);
        if (mDepth == 0) {
            if (mSource != nullptr) {
                mSource->rootEnd = offsetOf(p);
            }
            readMisc(p, end, true);
            return;
        }
    }
    for (;;) {
        if (p == end) {
            if (context != IN_DOCUMENT && mDepth == base) {
                return;
            }
            if (context == IN_ENTITY) {
                fail(p,
                     "Element <%.*s> not closed inside the entity it began in [WFC: Parsed "
                     "Entity]",
                     static_cast<int>(mOpen[mDepth - 1].nameLength), mOpen[mDepth - 1].name);
            }
            fail(p, "Unexpected end of input: element <%.*s> not closed [element]",
                 static_cast<int>(mOpen[mDepth - 1].nameLength), mOpen[mDepth - 1].name);
        }
        const char* const piece = p;
        if (*p != '<') {
            readText(p, end);
            if (KeepMade && p != piece) {
                keepMade(piece, p);
            }
            if (p < end && *p == '&') {
                readReference(p, end);
            }
            continue;
        }
        const char next = p + 1 < end ? p[1] : '\0';
        if (next == '/') {
            if (mDepth == base && context == IN_ENTITY) {
                fail(p, "End tag outside the entity its element began in [WFC: Parsed Entity]");
            }
            if (mDepth == base && context == IN_FRAGMENT) {
                return;  // the end tag of the element the fragment stands in
            }
            readEndTag(p, end);
            if (mDepth == 0) {
                if (mSource != nullptr) {
                    mSource->rootEnd = offsetOf(p);
                }
                readMisc(p, end, true);
                return;
            }
        } else if (next != '!' && next != '?') {
            readStartTag(p, end, nullptr);
        } else if (startsWith(p, end, "<!--")) {
            readComment(p, end);
        } else if (startsWith(p, end, "<![CDATA[")) {
            readCData(p, end);
        } else if (startsWith(p, end, "<?")) {
            readInstruction(p, end);
        } else if (next == '!') {
            fail(p, "Invalid markup in content [content]");
        }
        if (KeepMade && (next == '!' || next == '?')) {
            keepMade(piece, p);
        }
    }
}

std::string& WellFormedReader::openBody() {
    return mBuild.body(mOpen[mDepth - 1].node);
}

// Text up to the next tag, with the references to predefined entities and
// characters in it resolved; a reference to another entity ends it. Room for
// the whole text is made at once: it never decodes longer than it is.
void WellFormedReader::readText(const char*& p, const char* end) {
#if KAVRIXML_AVX2
    if (gWideText.load(std::memory_order_relaxed)) {
        readWideText(p, end);
        return;
    }
#endif
    readTextWith<TextBlocks>(p, end);
}

bool WellFormedReader::setWideText(bool wide) {
#if KAVRIXML_AVX2
    return gWideText.exchange(wide && hasAVX2());
#else
    (void)wide;
    return false;
#endif
}

#if KAVRIXML_AVX2
__attribute__((target("avx2"), flatten)) void WellFormedReader::readWideText(const char*& p,
                                                                             const char* end) {
    readTextWith<WideTextBlocks>(p, end);
}
#endif

// Most texts between tags are the indentation of the next one: white
// space alone, which needs no further look. Blanks before any text would be
// trimmed at the end, so they cost nothing then. True when the text at `p`
// was such blanks (`p` is then after them); `blanks` is after the blanks
// it begins with.
__attribute__((always_inline)) inline bool WellFormedReader::readBlanksOnly(const char*& p,
                                                                            const char* end,
                                                                            const char*& blanks) {
    skipSpace(blanks, end);
    if (blanks != end && *blanks != '<') {
        return false;
    }
    if (!mTrimBodies || mOpen[mDepth - 1].node->getBodySize() != 0) {
        bodyWithRoom(static_cast<size_t>(blanks - p)).append(p, static_cast<size_t>(blanks - p));
    }
    p = blanks;
    return true;
}

// The innermost open element's body with room for `length` more bytes:
// made once per text, since a text never decodes longer than it is.
__attribute__((always_inline)) inline std::string& WellFormedReader::bodyWithRoom(size_t length) {
    std::string& out = body();
    TreeBuilder::makeRoom(out, length);
    return out;
}

// Inlined into each caller, so that the blocks' instructions are the ones
// the caller is compiled for.
template <class Blocks>
__attribute__((always_inline)) inline void WellFormedReader::readTextWith(const char*& p,
                                                                          const char* end) {
    const char* blanks = p;
    if (readBlanksOnly(p, end, blanks)) {
        return;
    }
    const void* tag = std::memchr(blanks, '<', static_cast<size_t>(end - blanks));
    const char* const textEnd = tag != nullptr ? static_cast<const char*>(tag) : end;
    std::string& out = bodyWithRoom(static_cast<size_t>(textEnd - p));
    // Thirty-two bytes at a time; the bytes that stop a run (most of them the
    // lead and trail bytes of characters outside ASCII) are taken from the
    // blocks' mask one by one.
    const Blocks blocks;  // '<' ends the text: textEnd
    const char* run = p;
    const char* q = p;
    // The reference at `q`, after the run before it; false, with `p` left
    // on it for readReference, when it names an entity of the document's.
    auto takeReference = [&]() {
        out.append(run, static_cast<size_t>(q - run));
        if (!readLocalReference(q, end, out)) {
            p = q;
            return false;
        }
        run = q;
        return true;
    };
    while (q < textEnd) {
        if (end - q >= 32) {
            // A block may reach past the text (the input goes on): the
            // bits from textEnd on are dropped.
            const char* const block = q;
            const char* const limit = textEnd - block < 32 ? textEnd : block + 32;
            uint32_t bits = blocks.stops(block);
            if (limit != block + 32) {
                bits &= (uint32_t(1) << (limit - block)) - 1;
            }
            // A stop before `q` is a trail byte of the character or a byte
            // of the reference just read.
            while (bits != 0) {
                const char* const at = block + PlainBytes<true>::lowestBit(bits);
                bits &= bits - 1;
                if (at < q) {
                    continue;
                }
                q = at;
                if (*q != '&') {
                    q = passTextChar(q, end, textEnd);
                } else if (!takeReference()) {
                    return;
                }
            }
            q = std::max(q, limit);
            continue;
        }
        q = blocks.plain.skip(q, textEnd);
        if (q == textEnd) {
            break;
        }
        if (*q != '&') {
            q = passTextChar(q, end, textEnd);
        } else if (!takeReference()) {
            return;
        }
    }
    out.append(run, static_cast<size_t>(q - run));
    p = q;
}

// Past the character at `q` in text, which stops a plain run and is no
// '&' or '<'; fails when it may not stand there.
inline const char* WellFormedReader::passTextChar(const char* q, const char* end,
                                                  const char* textEnd) {
    const unsigned char lead = static_cast<unsigned char>(*q);
    if (lead >= 0xC2 && lead <= 0xDF && textEnd - q >= 2 && !syntax::startsCharacter(q[1])) {
        return q + 2;  // two bytes always make a Char: the common case, seen first
    }
    if (lead == ']') {
        if (end - q >= 3 && q[1] == ']' && q[2] == '>') {
            fail(q, "']]>' not allowed in text [CharData]");
        }
        return q + 1;
    }
    if (XMLBytes::is(*q, XMLBytes::PLAIN_TEXT)) {
        return q + 1;  // carriage return
    }
    return q + checkChar(q, textEnd);
}

// A character reference or one to a predefined entity at `p`, appended to
// `out`; false, and nothing read, for a reference to any other entity.
bool WellFormedReader::readLocalReference(const char*& p, const char* end, std::string& out) {
    if (p + 1 < end && p[1] == '#') {
        syntax::appendUTF8(out, readCharRef(p, end));
        return true;
    }
    // "&amp;" and "&lt;", as text writes them most: well-formed names, so
    // taken without the name's scan.
    if (end - p >= 5 && std::memcmp(p + 1, "amp;", 4) == 0) {
        out += '&';
        p += 5;
        return true;
    }
    if (end - p >= 4 && p[1] == 'l' && p[2] == 't' && p[3] == ';') {
        out += '<';
        p += 4;
        return true;
    }
    const char* const name = p + 1;
    const char* const nameEnd = scanName(name, end, "entity");
    if (nameEnd == end || *nameEnd != ';') {
        fail(nameEnd, "';' expected after an entity reference [EntityRef]");
    }
    const char c = syntax::predefinedEntity(name, static_cast<size_t>(nameEnd - name));
    if (c == 0) {
        return false;
    }
    out += c;
    p = nameEnd + 1;
    return true;
}

void WellFormedReader::readCData(const char*& p, const char* end) {
    const char* q = p + 9;
    bool stopped;
    const char* close = checkChars(q, end, "]]>", stopped);
    if (!stopped) {
        fail(p, "Unterminated CDATA section [CDSect]");
    }
    if (close > q) {
        mBuild.cdata(mOpen[mDepth - 1].node, q, static_cast<size_t>(close - q));
        mBody = nullptr;  // the node's content may have moved
    }
    p = close + 3;
}

// A reference in content to an entity other than the predefined ones
// (readText reads those and character references).
void WellFormedReader::readReference(const char*& p, const char* end) {
    const char* const at = p;
    const char* const name = p + 1;
    p = scanName(name, end, "entity");
    mName.assign(name, p);
    ++p;
    const auto found = mEntities.find(mName);
    if (found == mEntities.end()) {
        if (entityMustBeDeclared()) {
            fail(at, "Entity %s not declared [WFC: Entity Declared]", mName.c_str());
        }
        body().append(at, p);  // kept as written
        keepWritten(at, p);
        return;
    }
    if (found->second.unparsed) {
        fail(at, "Reference to unparsed entity %s [WFC: Parsed Entity]", mName.c_str());
    }
    if (found->second.external) {
        body().append(at, p);  // kept as written: nothing outside the document is read
        keepWritten(at, p);
        return;
    }
    const bool inDocument = mSource != nullptr && mInReference == 0;
    if (inDocument) {
        mBuild.keepTexts(mOpen[mDepth - 1].node, mBegin, offsetOf(at));
        mBody = nullptr;
    }
    const Entity* entity = enterEntity(at, std::string(mName), false);
    const std::string& value = entity->value;
    // What a reference in the document makes is kept in order when it may
    // make more than its text, itself or through the references it holds.
    const bool keeping =
        mSource != nullptr && (mInReference != 0 || value.find_first_of("<&") != std::string::npos);
    if (inDocument && !keeping && mSource->entityTexts.find(mName) == mSource->entityTexts.end()) {
        mSource->entityTexts.emplace(mName, value);
    }
    if (keeping && inDocument) {
        mMadeName = mName;
        mMade.start = offsetOf(at);
        mMade.end = offsetOf(p);
        mMade.made.clear();
        mMade.elements.clear();
        mMadeDepth = mDepth;
    }
    ++mInReference;
    if (keeping) {
        readContent<true>(value.data(), value.data() + value.size(), IN_ENTITY);
    } else {
        readContent<false>(value.data(), value.data() + value.size(), IN_ENTITY);
    }
    --mInReference;
    leaveEntity();
    if (keeping && inDocument) {
        keepReference();
    }
}

// The reference just read in the document: what it made, or the text of
// its entity when that was all.
void WellFormedReader::keepReference() {
    if (mMade.made.size() > 1 ||
        (mMade.made.size() == 1 && mMade.made[0].getKind() != ContentItem::TEXT)) {
        LosslessWriter::rememberMade(*mSource, mMade, mOpen[mDepth - 1].node);
        mSource->references.push_back(std::move(mMade));
    } else if (mSource->entityTexts.find(mMadeName) == mSource->entityTexts.end()) {
        mSource->entityTexts.emplace(mMadeName,
                                     mMade.made.empty() ? std::string() : mMade.made[0].getText());
    }
}

void WellFormedReader::keepMade(const char* start, const char* end) {
    mBuild.keepMade(madeItems(mDepth), start, end);
}

// A reference kept as written in the text an entity's replacement text
// makes.
void WellFormedReader::keepWritten(const char* start, const char* end) {
    if (mSource != nullptr && mInReference != 0) {
        keepMade(start, end);
    }
}

// The content in order that takes what is made where `depth` elements are
// open: the reference's own, or that of the element the replacement text
// made.
std::vector<ContentItem>& WellFormedReader::madeItems(size_t depth) {
    return depth == mMadeDepth ? mMade.made : mBuild.madeContent(mOpen[depth - 1].node);
}

void WellFormedReader::readStartTag(const char*& p, const char* end, Document* doc) {
    const char* const start = p;
    ++p;
    const char* const name = p;
    p = scanName(p, end, "element");
    const size_t nameLength = static_cast<size_t>(p - name);
    if (mMaxDepth > 0 && mDepth >= static_cast<size_t>(mMaxDepth)) {
        fail(start, "Maximum nesting depth of %d exceeded in node %.*s", mMaxDepth,
             static_cast<int>(nameLength), name);
    }
    const Open tag{nullptr, name, nameLength};
    const bool empty = readAttributes(p, end, start, tag);
    if (!mAttributes.empty()) {
        supplyDeclared(tag);
    }
    openElement(doc, tag);
    if (mSource != nullptr) {
        placeElement(start, p, empty);
    }
    if (empty) {
        closeElement();
    }
}

// The innermost open element's place in the text, and the values of its
// attributes that their bytes do not spell.
void WellFormedReader::placeElement(const char* start, const char* contentStart, bool empty) {
    XNode* const node = mOpen[mDepth - 1].node;
    if (mInReference != 0) {
        mBuild.placeInReference(node);
        mBuild.keepMade(madeItems(mDepth - 1), node);
        if (mDepth - 1 == mMadeDepth) {
            mMade.elements.emplace_back(node);
        }
        return;
    }
    mBuild.place(node, offsetOf(start), offsetOf(contentStart), empty,
                 static_cast<size_t>(mEnd - mBegin));
    for (const TagAttribute& attribute : mTag) {
        if (attribute.buffer != NO_BUFFER) {
            mSource->values[offsetOf(attribute.value)] = mValues[attribute.buffer];
        }
    }
}

// The attributes of the start tag `tag` up to its end, into mTag; true for
// an empty-element tag.
__attribute__((always_inline)) inline bool WellFormedReader::readAttributes(const char*& p,
                                                                            const char* end,
                                                                            const char* start,
                                                                            const Open& tag) {
    mTag.clear();
    mBuffers = 0;
    uint64_t names = 0;
    for (;;) {
        const bool spaced = skipSpace(p, end);
        if (p == end) {
            fail(start, "Unterminated start tag <%.*s> [STag]", static_cast<int>(tag.nameLength),
                 tag.name);
        }
        const char* after;
        switch (syntax::tagCloseAt(p, end, after)) {
            case syntax::TAG_END_CONTENT:
                p = after;
                return false;
            case syntax::TAG_END_EMPTY:
                p = after;
                return true;
            case syntax::TAG_END_NONE:
                break;
        }
        if (*p == '/') {
            fail(p, "'>' expected after '/' [EmptyElemTag]");
        }
        if (!spaced) {
            fail(p, "White space required before an attribute [STag]");
        }
        const char* const attributeName = p;
        p = scanName(p, end, "attribute");
        const size_t attributeLength = static_cast<size_t>(p - attributeName);
        // A bit per name length, first and last byte: the names before are
        // compared only when one of them shares all three.
        const uint64_t seen =
            uint64_t(1) << ((attributeLength * 7 + static_cast<unsigned char>(*attributeName) * 3 +
                             static_cast<unsigned char>(p[-1])) &
                            63);
        if ((names & seen) != 0) {
            checkUnique(attributeName, attributeLength, tag);
        }
        names |= seen;
        readAttributeAfterName(p, end, attributeName, attributeLength);
    }
}

void WellFormedReader::checkUnique(const char* name, size_t length, const Open& tag) {
    for (const TagAttribute& other : mTag) {
        if (other.nameLength == length && syntax::sameName(other.name, name, length)) {
            fail(name, "Attribute %.*s repeated in <%.*s> [WFC: Unique Att Spec]",
                 static_cast<int>(length), name, static_cast<int>(tag.nameLength), tag.name);
        }
    }
}

// From after an attribute's name to after its value, which goes on mTag.
__attribute__((always_inline)) inline void WellFormedReader::readAttributeAfterName(
    const char*& p, const char* end, const char* name, size_t length) {
    skipSpace(p, end);
    if (p == end || *p != '=') {
        fail(p, "'=' expected after attribute %.*s [Attribute]", static_cast<int>(length), name);
    }
    ++p;
    skipSpace(p, end);
    if (p == end || (*p != '"' && *p != '\'')) {
        fail(p, "Quoted value expected for attribute %.*s [AttValue]", static_cast<int>(length),
             name);
    }
    // A value without references or white space other than blanks
    // stands as it is, characters outside ASCII included.
    const char quote = *p;
    const char* q = p + 1;
    while ((q = skipPlain<false>(q, end, quote, '&', '<')) < end &&
           static_cast<unsigned char>(*q) >= 0x80) {
        q += checkChar(q, end);
    }
    // Written field by field where it stays: a record built aside and
    // copied whole would stall the copy's loads on the fields' stores.
    mTag.emplace_back();
    TagAttribute& attribute = mTag.back();
    attribute.name = name;
    attribute.nameLength = length;
    if (q < end && *q == quote) {
        attribute.value = p + 1;
        attribute.valueLength = static_cast<size_t>(q - p - 1);
        attribute.buffer = NO_BUFFER;
        p = q + 1;
        return;
    }
    attribute.value = p + 1;  // where the value's bytes begin
    attribute.buffer = takeBuffer();
    readAttributeValue(p, end, mValues[attribute.buffer]);
}

// The next of the value buffers reused from tag to tag, emptied.
size_t WellFormedReader::takeBuffer() {
    if (mValues.size() == mBuffers) {
        mValues.emplace_back();
    }
    mValues[mBuffers].clear();
    return mBuffers++;
}

// The tag's attributes as declared: tokenized values normalised, defaults
// supplied.
void WellFormedReader::supplyDeclared(const Open& tag) {
    const auto declared = mAttributes.find(std::string(tag.name, tag.nameLength));
    if (declared == mAttributes.end()) {
        return;
    }
    const size_t specified = mTag.size();
    for (const AttributeDecl& decl : declared->second) {
        TagAttribute* found = nullptr;
        for (size_t i = 0; i < specified; ++i) {
            if (mTag[i].nameLength == decl.name.size() &&
                syntax::sameName(mTag[i].name, decl.name.data(), decl.name.size())) {
                found = &mTag[i];
            }
        }
        if (found == nullptr && decl.hasDefault && mSource == nullptr) {
            mTag.push_back({decl.name.data(), decl.name.size(), decl.value.data(),
                            decl.value.size(), NO_BUFFER});
        } else if (found != nullptr && decl.tokenized) {
            if (found->buffer == NO_BUFFER) {
                found->buffer = takeBuffer();
                mValues[found->buffer].assign(found->value, found->valueLength);
            }
            collapseBlanks(mValues[found->buffer]);
        }
    }
}

// The element of `tag` with the attributes of mTag, made the innermost
// open one: the document's root when `doc` is given.
__attribute__((always_inline)) inline void WellFormedReader::openElement(Document* doc,
                                                                         const Open& tag) {
    XNode* node;
    if (doc != nullptr) {
        node = mBuild.openRoot(doc, tag.name, tag.nameLength);
        doc->setRootNode(node);
    } else {
        node = mBuild.openChild(mOpen[mDepth - 1].node, tag.name, tag.nameLength);
    }
    TreeBuilder::TagAttribute parsed[TreeBuilder::MAX_TAG_ATTRIBUTES];
    size_t count = 0;
    for (const TagAttribute& attribute : mTag) {
        if (count == TreeBuilder::MAX_TAG_ATTRIBUTES) {
            mBuild.attributes(node, parsed, count);
            count = 0;
        }
        const std::string* buffer =
            attribute.buffer == NO_BUFFER ? nullptr : &mValues[attribute.buffer];
        parsed[count++] = {attribute.name, attribute.nameLength,
                           buffer != nullptr ? buffer->data() : attribute.value,
                           buffer != nullptr ? buffer->size() : attribute.valueLength, false};
    }
    mBuild.attributes(node, parsed, count);
    if (mOpen.size() == mDepth) {
        mOpen.emplace_back();
    }
    mOpen[mDepth++] = {node, tag.name, tag.nameLength};
    if (mDepth > mDeepest) {
        mDeepest = mDepth;
        if (mOnDeeper) {
            mOnDeeper(mDepth);
        }
    }
    mBody = nullptr;
}

void WellFormedReader::closeElement() {
    mBuild.close(mOpen[--mDepth].node, mTrimBodies);
    mBody = nullptr;
}

void WellFormedReader::readEndTag(const char*& p, const char* end) {
    const char* const start = p;
    p += 2;
    const char* const name = p;
    const Open& open = mOpen[mDepth - 1];
    // The open element's name, checked when its tag was read, and '>' after
    // any white space.
    if (const char* const after =
            syntax::endTagAt<syntax::XMLTagBytes>(start, end, open.name, open.nameLength)) {
        p = after;
        if (mSource != nullptr && mInReference == 0) {
            mBuild.placeEnd(open.node, offsetOf(p));
        }
        closeElement();
        return;
    }
    p = scanName(p, end, "element");
    skipSpace(p, end);
    if (p == end || *p != '>') {
        fail(p, "'>' expected to end the end tag </%.*s> [ETag]", static_cast<int>(open.nameLength),
             open.name);
    }
    const char* nameEnd = name;
    while (nameEnd < p && !isSpace(*nameEnd) && *nameEnd != '>') {
        ++nameEnd;
    }
    if (static_cast<size_t>(nameEnd - name) != open.nameLength ||
        !syntax::sameName(name, open.name, open.nameLength)) {
        // Worded as strict reading words it.
        fail(start + 2, "Unclosed node %.*s", static_cast<int>(open.nameLength), open.name);
    }
    ++p;
    if (mSource != nullptr && mInReference == 0) {
        mBuild.placeEnd(open.node, offsetOf(p));
    }
    closeElement();
}

}  // namespace xml
}  // namespace kavri
