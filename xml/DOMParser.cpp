#include "xml/DOMParser.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/plinth/StringUtil.h"
#include "syntax/XMLScan.h"
#include "syntax/XMLSyntax.h"
#include "syntax/XMLTags.h"
#include "xml/LenientReader.h"
#include "xml/SourceText.h"
#include "xml/TreeBuilder.h"
#include "xml/XMLException.h"
#include "xml/XMLLexer.h"
#include "xml/XMLScanner.h"

namespace kavri {
namespace xml {

using kavri::parser::Token;

namespace {

const size_t NO_OFFSET = static_cast<size_t>(-1);
// Texts up to this many bytes are searched inline, sixteen bytes at a time.
const ptrdiff_t SHORT_TEXT = 64;

bool is(const Token* token, unsigned id) {
    return token->getId() == id;
}

// A string token's value; a registered "<!string!>" met in the input has none.
const char* valueOf(const Token* token) {
    return token->getValue() != nullptr ? token->getValue() : "";
}

// A name never begins with a quote. Such an identifier is a quoted string
// that lost its closing quote: the lexer hands pieces on as C strings, so a
// NUL byte inside quotes cuts the string there. Taken as a name it would be
// written back as an opening quote that swallows the rest of the document.
void checkName(const Token* name) {
    const char first = name->getText()[0];
    if (first == '"' || first == '\'') {
        throw XMLException("Unterminated quoted string %s", name->getText());
    }
}

}  // namespace

// What one parse knows beyond the tokens: the elements open around the
// place being read and the places that a fault may have to be reported at.
struct DOMParser::ParseState {
    // Elements whose content is being read, outermost first; the one
    // being read is not on it.
    std::vector<XNode*> open;
    int depth = 0;
    // Where a fault lies when it is not the last token taken.
    size_t failOffset = NO_OFFSET;
    size_t nameOffset = 0;
    size_t declarationOffset = 0;
    size_t versionOffset = 0;
    size_t encodingOffset = 0;
    bool inDeclaration = false;
    // A fragment read into a caller's node: on failure, the nodes read
    // get back the node's document, walked with `restore` as the stack,
    // whose room is made as the reading goes deeper (a clean-up after a
    // failure must not allocate).
    bool fragment = false;
    std::vector<std::pair<XNode*, size_t>> restore;
    std::string attributeName;      // the identifier token's text, copied
    syntax::Ampersands ampersands;  // of the text being read
    TreeBuilder build;

    void reset(bool forFragment);
};

::core::CriticalSection DOMParser::gCS;

DOMParser::DOMParser() : Parser(new XMLLexer(), true), mState(new ParseState()) {}

DOMParser::DOMParser(const DOMParser& other)
    : Parser(new XMLLexer(), true),
      mState(new ParseState()),
      mMaxDepth(other.mMaxDepth),
      mTrimBodies(other.mTrimBodies),
      mLenient(other.mLenient),
      mLossless(other.mLossless),
      mScanning(other.mScanning) {}

DOMParser& DOMParser::operator=(const DOMParser& other) {
    if (this != &other) {
        mMaxDepth = other.mMaxDepth;
        mTrimBodies = other.mTrimBodies;
        mLenient = other.mLenient;
        mLossless = other.mLossless;
        mScanning = other.mScanning;
    }
    return *this;
}

DOMParser::~DOMParser() = default;

// --- Entry points -------------------------------------------------------------

Document* DOMParser::parse(kavri::stream::InputStream* stream) {
    return parse(stream, static_cast<XNode*>(nullptr));
}

Document* DOMParser::parse(kavri::stream::InputStream* stream, const char* name) {
    // Held here so that a failure releases the new element with its children.
    ::core::SmartPtr<XNode> node(mState->build.openRoot(nullptr, name));
    return parse(stream, node.get());
}

Document* DOMParser::parse(kavri::stream::InputStream* stream, XNode* node) {
    setInputStream(stream, true);
    mLine = mColumn = 0;
    std::unique_ptr<SourceText> source(mLossless && node == nullptr ? new SourceText() : nullptr);
    if (isLenient()) {
        LenientReader(*this).readAsUTF8(mLine, mColumn, source.get());
    }
    mState->reset(node != nullptr);
    std::unique_ptr<Document> doc(new Document());
    Document* previous = node != nullptr ? node->getDocument() : nullptr;
    // Declared after the document: on a failure the lock is left first and
    // the half-built document destroyed after.
    ::core::CriticalSection::Guard guard(gCS);
    try {
        if (node == nullptr) {
            if (source != nullptr) {
                LenientReader(*this).readDocument(doc.get(), mState->failOffset, mMaxDepth,
                                                  mTrimBodies, source.get());
                doc->setSource(std::move(source));
            } else if (mLenient) {
                LenientReader(*this).readDocument(doc.get(), mState->failOffset, mMaxDepth,
                                                  mTrimBodies);
            } else {
                parseBegin(doc.get());
                parseDocType(doc.get());
                parseRootNode(doc.get());
            }
        } else {
            mState->build.setDocument(node, doc.get());
            mState->depth = 1;
            if (isLenient()) {
                // Room for the walk that restores documents after a failure.
                LenientReader(*this).readFragment(
                    node, mState->failOffset, mMaxDepth, mTrimBodies, [this](size_t depth) {
                        mState->restore.reserve(std::max(mState->restore.capacity(), 2 * depth));
                    });
            } else {
                parseChildren(node);
            }
            doc->setRootNode(node);
        }
    } catch (...) {
        // Neither step allocates: a clean-up that could fail would leave the
        // caller's node pointing at the document destroyed here.
        if (node != nullptr) {
            restoreDocuments(node, doc.get(), previous);
        }
        recordFailure();
        throw;
    }
    return doc.release();
}

void DOMParser::ParseState::reset(bool forFragment) {
    open.clear();
    depth = 0;
    failOffset = NO_OFFSET;
    inDeclaration = false;
    fragment = forFragment;
    restore.clear();
    if (fragment) {
        restore.reserve(4);  // the fragment's node and its first levels
    }
}

void DOMParser::recordFailure() {
    size_t offset = mState->failOffset != NO_OFFSET ? mState->failOffset : getTokenOffset();
    getLineColumn(offset, mLine, mColumn);
    if (isLenient()) {
        mColumn = LenientReader::characterColumn(getLexer()->getInput(), offset);
    }
}

// The nodes read into `node` (and `node` itself) carry the failed document;
// they get back the one `node` had. Only the subtrees made by the failed
// parse are walked, and none is deeper than the room `restore` was given
// while they were read.
void DOMParser::restoreDocuments(XNode* node, Document* failed, Document* previous) noexcept {
    std::vector<std::pair<XNode*, size_t>>& stack = mState->restore;
    stack.clear();
    mState->build.setDocument(node, previous);
    stack.emplace_back(node, 0);
    while (!stack.empty()) {
        XNode* parent = stack.back().first;
        const size_t index = stack.back().second;
        const XNode::ChildList& children = parent->getChildren();
        if (index == children.size()) {
            stack.pop_back();
            continue;
        }
        ++stack.back().second;
        XNode* child = children[index].get();
        if (child->getDocument() != failed) {
            continue;
        }
        mState->build.setDocument(child, previous);
        if (child->getChildCount() > 0 && stack.size() < stack.capacity()) {
            stack.emplace_back(child, 0);
        }
    }
}

void DOMParser::enter(XNode*& current, XNode* child) {
    if (mState->fragment && mState->restore.capacity() < mState->open.size() + 2) {
        mState->restore.reserve(2 * mState->open.size() + 2);
    }
    mState->open.push_back(current);
    current = child;
    ++mState->depth;
}

void DOMParser::leave(XNode*& current) {
    current = mState->open.back();
    mState->open.pop_back();
    --mState->depth;
}

// --- Prolog ---------------------------------------------------------------------

void DOMParser::parseBegin(Document* doc) {
    Token* open = next();
    check(open, XMLLexer::TOKEN_OPEN);
    mState->declarationOffset = getTokenOffset();
    Token* mark = next();
    if (!is(mark, XMLLexer::TOKEN_QUESTION)) {
        push(mark);
        push(open);
        checkDeclaration(doc);
        return;
    }
    mState->inDeclaration = true;
    mState->versionOffset = mState->encodingOffset = mState->declarationOffset;
    std::unique_ptr<XNode> declaration(parseNodeNameAttributes(doc));
    mState->inDeclaration = false;
    if (std::strcmp(declaration->getName(), "xml") != 0) {
        mState->failOffset = mState->nameOffset;
        throw XMLException("Invalid start declaration");
    }
    doc->setXmlDeclaration(declaration.release());
    check(next(), XMLLexer::TOKEN_QUESTION);
    check(next(), XMLLexer::TOKEN_CLOSE);
    checkDeclaration(doc);
}

void DOMParser::checkDeclaration(Document* doc) {
    XNode* declaration = doc->getXmlDeclaration();
    if (declaration == nullptr) {
        return;
    }
    Attribute* version = declaration->getAttribute("version");
    if (version == nullptr) {
        mState->failOffset = mState->declarationOffset;
        throw XMLException("No version attribute in XML declaration!");
    }
    if (version->getValueString() != "1.0") {
        mState->failOffset = mState->versionOffset;
        throw XMLException("Only XML 1.0 supported");
    }
    Attribute* encoding = declaration->getAttribute("encoding");
    if (encoding != nullptr &&
        text::StringUtil::compareIgnoreCase(encoding->getValue(), "UTF-8") != 0) {
        mState->failOffset = mState->encodingOffset;
        throw XMLException("Only UTF-8 encoding supported");
    }
}

void DOMParser::parseDocType(Document* doc) {
    Token* open = next();
    Token* mark = next();
    if (!is(open, XMLLexer::TOKEN_OPEN) || !is(mark, XMLLexer::TOKEN_EXCLAMATION)) {
        push(mark);
        push(open);
        return;
    }
    Token* word = next();
    check(word, XMLLexer::TOKEN_IDENTIFIER);
    if (std::strcmp(word->getText(), "DOCTYPE") != 0) {
        throw XMLException("Invalid declaration. Expecting DOCTYPE, found %s", word->getText());
    }
    Token* name = next();
    check(name, XMLLexer::TOKEN_IDENTIFIER);
    doc->setDocType(name->getText());
    Token* keyword = next();
    check(keyword, XMLLexer::TOKEN_IDENTIFIER);
    if (std::strcmp(keyword->getText(), "PUBLIC") != 0) {
        throw XMLException("Invalid DOCTYPE declaration. Expecting PUBLIC keyword, found %s",
                           keyword->getText());
    }
    Token* publicId = next();
    check(publicId, XMLLexer::TOKEN_STRING);
    doc->setPublicID(valueOf(publicId));
    Token* last = next();
    if (is(last, XMLLexer::TOKEN_STRING)) {
        doc->setDTD(valueOf(last));
        check(next(), XMLLexer::TOKEN_CLOSE);
    } else {
        check(last, XMLLexer::TOKEN_CLOSE);
    }
}

// --- Elements ---------------------------------------------------------------------

XNode* DOMParser::parseRootNode(Document* doc) {
    check(next(), XMLLexer::TOKEN_OPEN);
    mState->depth = 1;
    ::core::SmartPtr<XNode> root(parseNodeNameAttributes(doc));
    const char* docType = doc->getDocType();
    if (docType[0] != '\0' && std::strcmp(docType, root->getName()) != 0) {
        mState->failOffset = mState->nameOffset;
        throw XMLException("Root node do not match DOCTYPE declaration. It must be <%s>, not <%s>",
                           docType, root->getName());
    }
    parseNodeCommon(root);
    doc->setRootNode(root);
    return root;
}

XNode* DOMParser::parseNodeNameAttributes(Document* doc) {
    Token* name = next();
    check(name, XMLLexer::TOKEN_IDENTIFIER);
    mState->nameOffset = getTokenOffset();
    checkName(name);
    std::unique_ptr<XNode> element(mState->build.openRoot(doc, name->getText()));
    parseAttributes(element.get());
    return element.release();
}

XNode* DOMParser::parseNodeNameAttributes(XNode* parent) {
    Token* name = next();
    check(name, XMLLexer::TOKEN_IDENTIFIER);
    checkName(name);
    if (mMaxDepth > 0 && mState->depth >= mMaxDepth) {
        throw XMLException("Maximum nesting depth of %d exceeded in node %s", mMaxDepth,
                           name->getText());
    }
    XNode* element = mState->build.openChild(parent, name->getText());
    parseAttributes(element);
    return element;
}

void DOMParser::parseAttributes(XNode* element) {
    XMLScanner scanner(*this, mScanning);
    for (;;) {
        XMLScanner::Attribute plain;
        if (!mState->inDeclaration && scanner.attribute(plain)) {
            addPlainAttribute(element, plain.name.data, plain.name.size, plain.value.data,
                              plain.value.size, plain.references);
            continue;
        }
        if (scanner.tagEnd(true) != XMLScanner::TAG_END_NONE) {
            return;  // left for parseTagEnd
        }
        Token* token = next();
        if (!is(token, XMLLexer::TOKEN_IDENTIFIER)) {
            push(token);
            return;
        }
        parseAttribute(element, token);
    }
}

// The end tag of the element being read, or a start tag with its plain
// attributes and its end, as the scanner reads them; from the first thing
// that is not plain on, the tokens read the rest and report the faults.
// Nothing reads tokens while the tag is scanned: the place is taken once
// and written back once.
bool DOMParser::readPlainTag(XNode*& current, size_t bottom) {
    const ParseState& state = *mState;
    XMLScanner scanner(*this, mScanning);
    const char* p;
    const char* end;
    if (!scanner.unread(p, end)) {
        return false;
    }
    const char* after;
    // The end tag of the element the caller started is the caller's.
    if (state.open.size() != bottom &&
        (after = XMLScanner::endTagAt(p, end, current->getNameString())) != nullptr) {
        scanner.moveTo(after);
        finishBody(current);
        leave(current);
        return true;
    }
    XMLScanner::Span name;
    if ((mMaxDepth > 0 && state.depth >= mMaxDepth) ||
        (p = XMLScanner::startTagAt(p, end, name)) == nullptr) {
        return false;
    }
    scanner.moveTo(p);
    const TreeBuilder& build = state.build;
    XNode* child = build.openChild(current, name.data, name.size);
    // The tag's attributes are filed at once.
    TreeBuilder::TagAttribute parsed[TreeBuilder::MAX_TAG_ATTRIBUTES];
    size_t count = 0;
    XMLScanner::Attribute plain;
    while ((after = XMLScanner::attributeAt(p, end, plain)) != nullptr) {
        if (count == TreeBuilder::MAX_TAG_ATTRIBUTES) {
            build.attributes(child, parsed, count);
            count = 0;
        }
        parsed[count++] = {plain.name.data, plain.name.size, plain.value.data, plain.value.size,
                           plain.references};
        p = after;
    }
    build.attributes(child, parsed, count);
    switch (XMLScanner::tagEndAt(p, end, after)) {
        case XMLScanner::TAG_END_CONTENT:
            scanner.moveTo(after);
            enter(current, child);
            return true;
        case XMLScanner::TAG_END_EMPTY:
            scanner.moveTo(after);
            return true;
        case XMLScanner::TAG_END_NONE:
            break;
    }
    scanner.moveTo(p);
    parseAttributes(child);
    if (parseTagEnd(child)) {
        enter(current, child);
    }
    return true;
}

Attribute* DOMParser::parseAttribute(XNode* element, Token* name) {
    // The identifier token's text changes with the next token: copy it now.
    checkName(name);
    mState->attributeName.assign(name->getText());
    check(next(), XMLLexer::TOKEN_EQUALS);
    Token* value = next();
    check(value, XMLLexer::TOKEN_STRING);
    if (mState->inDeclaration) {
        if (mState->attributeName == "version") {
            mState->versionOffset = getTokenOffset();
        } else if (mState->attributeName == "encoding") {
            mState->encodingOffset = getTokenOffset();
        }
    }
    // Decoded from the token straight into the new attribute: the string
    // token's value stays put until the next token is taken.
    const char* raw = valueOf(value);
    const size_t length = std::strlen(raw);
    Attribute* attribute = element->addAttribute(mState->attributeName.c_str(), "");
    syntax::decodeReferences(raw, length, mState->build.value(attribute));
    return attribute;
}

void DOMParser::addPlainAttribute(XNode* element, const char* name, size_t nameLength,
                                  const char* value, size_t valueLength, bool references) {
    const TreeBuilder::TagAttribute attribute{name, nameLength, value, valueLength, references};
    mState->build.attributes(element, &attribute, 1);
}

void DOMParser::parseNodeCommon(XNode* element) {
    if (parseTagEnd(element)) {
        parseChildren(element);
        parseEndTag(element);
    }
}

// After an element's name and attributes: true for ">" (content follows),
// false for "/>".
bool DOMParser::parseTagEnd(XNode*) {
    switch (XMLScanner(*this, mScanning).tagEnd()) {
        case XMLScanner::TAG_END_CONTENT:
            return true;
        case XMLScanner::TAG_END_EMPTY:
            return false;
        case XMLScanner::TAG_END_NONE:
            break;
    }
    Token* token = next();
    if (is(token, XMLLexer::TOKEN_CLOSE)) {
        return true;
    }
    if (is(token, XMLLexer::TOKEN_SLASH)) {
        check(next(), XMLLexer::TOKEN_CLOSE);
        return false;
    }
    throw XMLException("Invalid token (%s) ", token->getText());
}

void DOMParser::parseEndTag(XNode* element) {
    check(next(), XMLLexer::TOKEN_OPEN);
    check(next(), XMLLexer::TOKEN_SLASH);
    Token* name = next();
    check(name, XMLLexer::TOKEN_IDENTIFIER);
    if (std::strcmp(name->getText(), element->getName()) != 0) {
        throw XMLException("Unclosed node %s", element->getName());
    }
    check(next(), XMLLexer::TOKEN_CLOSE);
}

// The content of `element` and of everything nested in it. Nested elements
// are kept on mState->open rather than on the call stack, so that the depth of the
// input costs heap, not stack. The end tag of `element` itself is left for
// the caller, as is everything after it.
void DOMParser::parseChildren(XNode* element) {
    const ParseState& state = *mState;
    const size_t bottom = state.open.size();
    XNode* current = element;
    for (;;) {
        appendText(current);
        if (readPlainTag(current, bottom)) {
            continue;
        }
        if (XMLScanner(*this, mScanning).cdataStart()) {
            appendCDataContent(current);
            continue;
        }
        Token* token = next();
        if (is(token, XMLLexer::TOKEN_OPEN)) {
            Token* following = next();
            push(following);
            push(token);
            if (is(following, XMLLexer::TOKEN_SLASH)) {
                finishBody(current);
                if (state.open.size() == bottom) {
                    return;
                }
                parseEndTag(current);
                leave(current);
            } else if (is(following, XMLLexer::TOKEN_EXCLAMATION)) {
                pop();
                pop();
                appendCData(current);
            } else {
                check(next(), XMLLexer::TOKEN_OPEN);
                XNode* child = parseNodeNameAttributes(current);
                if (parseTagEnd(child)) {
                    enter(current, child);
                }
            }
            continue;
        }
        if (is(token, Token::END_OF_INPUT)) {
            if (state.open.size() == bottom) {
                finishBody(current);
                return;
            }
            // An element left open: its end tag is missing.
            check(token, XMLLexer::TOKEN_OPEN);
        }
        throw XMLException("Unexpected token found while parsing node %s", current->getName());
    }
}

void DOMParser::appendText(XNode* element) {
    kavri::parser::Lexer* lexer = getLexer();
    const std::string& input = lexer->getInput();
    const char* text = input.data() + lexer->getOffset();
    const char* end = input.data() + input.size();
    // One pass to where the text stops, noting where its references stand,
    // which are then decoded straight into the body, made to measure. Most
    // texts are a few bytes of indentation or a short word, found in the
    // first block or two by an inline search.
    syntax::Ampersands& ampersands = mState->ampersands;
    ampersands.count = 0;
    const char* const shortEnd = end - text > SHORT_TEXT ? text + SHORT_TEXT : end;
    const char* stop = syntax::findTextStop(text, shortEnd);
    while (stop != shortEnd && *stop == '&') {
        ampersands.note(stop);
        stop = syntax::findTextStop(stop + 1, shortEnd);
    }
    if (stop == shortEnd && shortEnd != end) {
        stop = syntax::findTextEnd(stop, end, ampersands);
    }
    // The text ends at a NUL byte, as a C string would; the place moves on
    // to the next '<' all the same.
    const char* next = stop;
    if (stop != end && *stop == '\0') {
        next = static_cast<const char*>(std::memchr(stop, '<', static_cast<size_t>(end - stop)));
        if (next == nullptr) {
            next = end;
        }
    }
    lexer->setOffset(static_cast<size_t>(next - input.data()));
    const size_t length = static_cast<size_t>(stop - text);
    if (length == 0) {
        return;
    }
    // Blanks before any text would be trimmed at the end: most of them are
    // the indentation between child elements, which then costs nothing.
    if (mTrimBodies && element->getBodySize() == 0 &&
        syntax::skipBlanksOf<syntax::StrictTagBytes>(text, text + length) == text + length) {
        return;
    }
    if (ampersands.count != 0) {
        mState->build.decodedText(element, text, length, ampersands);
    } else {
        mState->build.text(element, text, length);
    }
}

void DOMParser::finishBody(XNode* element) {
    mState->build.close(element, mTrimBodies);
}

// Inside content every "<!" that is no comment opens a CDATA section: what
// stands before "[CDATA[" is passed over, the section's bytes are kept as
// they are.
void DOMParser::appendCData(XNode* element) {
    const char* skipped = nullptr;
    readUntil("[CDATA[", skipped);
    skip(7);
    appendCDataContent(element);
}

// From after "[CDATA[" to after "]]>".
void DOMParser::appendCDataContent(XNode* element) {
    const char* data = nullptr;
    size_t length = readUntil("]]>", data);
    if (length > 0) {
        mState->build.cdata(element, data, length);
    }
    // A section's end found above is passed over directly; the tokens only
    // see an unterminated section, and report it.
    if (XMLScanner(*this, mScanning).cdataEnd()) {
        return;
    }
    check(next(), XMLLexer::TOKEN_CDATA_END);
    check(next(), XMLLexer::TOKEN_CLOSE);
}

}  // namespace xml
}  // namespace kavri
