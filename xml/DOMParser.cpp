#include "xml/DOMParser.h"

#include <cstring>
#include <memory>

#include "core/SmartPtr.h"
#include "framework/plinth/StringUtil.h"
#include "xml/XMLException.h"
#include "xml/XMLLexer.h"

namespace kavri {
namespace xml {

using kavri::parser::Token;

namespace {

const size_t NO_OFFSET = static_cast<size_t>(-1);

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

// After a failed fragment parse, nodes that were given the destroyed document
// get back the one the fragment's node had.
void restoreDocument(XNode* node, Document* failed, Document* previous,
                     void (*set)(XNode*, Document*)) {
    std::vector<XNode*> pending(1, node);
    while (!pending.empty()) {
        XNode* current = pending.back();
        pending.pop_back();
        if (current->getDocument() == failed) {
            set(current, previous);
        }
        for (const auto& child : current->getChildren()) {
            pending.push_back(child.get());
        }
    }
}

// Bytes the lexer skips between tokens.
const char* skipBlanks(const char* p, const char* end) {
    while (p < end && static_cast<unsigned char>(*p) <= 32) {
        ++p;
    }
    return p;
}

// Bytes that always continue an identifier: not blank, no quote and none
// that begins a registered token ("<" ">" "/" "?" "!" "=" and the brackets,
// which begin "[CDATA[" and "]]" only sometimes and are left to the lexer).
struct PlainNameBytes {
    bool plain[256];
    constexpr PlainNameBytes() : plain() {
        for (int byte = 33; byte < 256; ++byte) {
            plain[byte] = true;
        }
        for (char c : {'"', '\'', '<', '>', '/', '?', '!', '=', '[', ']'}) {
            plain[static_cast<unsigned char>(c)] = false;
        }
    }
};
constexpr PlainNameBytes PLAIN_NAME_BYTES;

bool isPlainNameByte(char c) {
    return PLAIN_NAME_BYTES.plain[static_cast<unsigned char>(c)];
}

}  // namespace

::core::CriticalSection DOMParser::gCS;

DOMParser::DOMParser() : Parser(new XMLLexer(), true), mFailOffset(NO_OFFSET) {}

DOMParser::DOMParser(const DOMParser& other)
    : Parser(new XMLLexer(), true),
      mMaxDepth(other.mMaxDepth),
      mFailOffset(NO_OFFSET),
      mTrimBodies(other.mTrimBodies) {}

DOMParser& DOMParser::operator=(const DOMParser& other) {
    if (this != &other) {
        mMaxDepth = other.mMaxDepth;
        mTrimBodies = other.mTrimBodies;
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
    ::core::SmartPtr<XNode> node(new XNode(nullptr, name, nullptr));
    return parse(stream, node.get());
}

Document* DOMParser::parse(kavri::stream::InputStream* stream, XNode* node) {
    setInputStream(stream, true);
    mLine = mColumn = 0;
    mFailOffset = NO_OFFSET;
    mInDeclaration = false;
    mOpen.clear();
    std::unique_ptr<Document> doc(new Document());
    Document* previous = node != nullptr ? node->getDocument() : nullptr;
    // Declared after the document: on a failure the lock is left first and
    // the half-built document destroyed after.
    ::core::CriticalSection::Guard guard(gCS);
    try {
        if (node == nullptr) {
            parseBegin(doc.get());
            parseDocType(doc.get());
            parseRootNode(doc.get());
        } else {
            node->setDocument(doc.get());
            mDepth = 1;
            parseChildren(node);
            doc->setRootNode(node);
        }
    } catch (...) {
        recordFailure();
        if (node != nullptr) {
            restoreDocument(node, doc.get(), previous,
                            [](XNode* n, Document* d) { n->setDocument(d); });
        }
        throw;
    }
    return doc.release();
}

void DOMParser::recordFailure() {
    size_t offset = mFailOffset != NO_OFFSET ? mFailOffset : getTokenOffset();
    getLineColumn(offset, mLine, mColumn);
}

// --- Prolog ---------------------------------------------------------------------

void DOMParser::parseBegin(Document* doc) {
    Token* open = next();
    check(open, XMLLexer::TOKEN_OPEN);
    mDeclarationOffset = getTokenOffset();
    Token* mark = next();
    if (!is(mark, XMLLexer::TOKEN_QUESTION)) {
        push(mark);
        push(open);
        checkDeclaration(doc);
        return;
    }
    mInDeclaration = true;
    mVersionOffset = mEncodingOffset = mDeclarationOffset;
    std::unique_ptr<XNode> declaration(parseNodeNameAttributes(doc));
    mInDeclaration = false;
    if (std::strcmp(declaration->getName(), "xml") != 0) {
        mFailOffset = mNameOffset;
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
        mFailOffset = mDeclarationOffset;
        throw XMLException("No version attribute in XML declaration!");
    }
    if (version->getValueString() != "1.0") {
        mFailOffset = mVersionOffset;
        throw XMLException("Only XML 1.0 supported");
    }
    Attribute* encoding = declaration->getAttribute("encoding");
    if (encoding != nullptr &&
        text::StringUtil::compareIgnoreCase(encoding->getValue(), "UTF-8") != 0) {
        mFailOffset = mEncodingOffset;
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
    mDepth = 1;
    ::core::SmartPtr<XNode> root(parseNodeNameAttributes(doc));
    const char* docType = doc->getDocType();
    if (docType[0] != '\0' && std::strcmp(docType, root->getName()) != 0) {
        mFailOffset = mNameOffset;
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
    mNameOffset = getTokenOffset();
    checkName(name);
    std::unique_ptr<XNode> element(new XNode(doc, name->getText(), nullptr));
    parseAttributes(element.get());
    return element.release();
}

XNode* DOMParser::parseNodeNameAttributes(XNode* parent) {
    Token* name = next();
    check(name, XMLLexer::TOKEN_IDENTIFIER);
    checkName(name);
    if (mMaxDepth > 0 && mDepth >= mMaxDepth) {
        throw XMLException("Maximum nesting depth of %d exceeded in node %s", mMaxDepth,
                           name->getText());
    }
    XNode* element = parent->addChild(name->getText());
    parseAttributes(element);
    return element;
}

void DOMParser::parseAttributes(XNode* element) {
    for (;;) {
        if (!mInDeclaration && readPlainAttribute(element)) {
            continue;
        }
        if (atPlainTagEnd()) {
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

// The common attribute, name="value" with nothing unusual in it, read
// straight from the input: the same attribute the tokens would give, without
// copying the pieces into tokens first. Anything else (comments, brackets,
// an unterminated or NUL-holding value, ...) is left untouched for the token
// path, which also reports the faults. True when an attribute was read.
bool DOMParser::readPlainAttribute(XNode* element) {
    if (hasPushed()) {
        return false;
    }
    kavri::parser::Lexer* lexer = getLexer();
    const std::string& input = lexer->getInput();
    const char* const begin = input.data() + lexer->getOffset();
    const char* const after = readPlainAttribute(element, begin, input.data() + input.size());
    if (after == nullptr) {
        return false;
    }
    lexer->skip(static_cast<unsigned>(after - begin));
    return true;
}

// The same from `p` (blanks may come first) up to `end`: the byte after the
// attribute's closing quote, or null when it is not plain.
const char* DOMParser::readPlainAttribute(XNode* element, const char* p, const char* end) {
    p = skipBlanks(p, end);
    const char* name = p;
    while (p < end && isPlainNameByte(*p)) {
        ++p;
    }
    const char* nameEnd = p;
    if (nameEnd == name) {
        return nullptr;
    }
    p = skipBlanks(p, end);
    if (p == end || *p != '=') {
        return nullptr;
    }
    p = skipBlanks(p + 1, end);
    if (p == end || (*p != '"' && *p != '\'')) {
        return nullptr;
    }
    // One scan for the closing quote, a NUL (which cuts the token path's
    // string, then no string at all) and references to decode.
    const char quote = *p;
    const char* const value = p + 1;
    const char* valueEnd = value;
    bool references = false;
    while (valueEnd < end && *valueEnd != quote) {
        if (*valueEnd == '\0') {
            return nullptr;
        }
        references = references || *valueEnd == '&';
        ++valueEnd;
    }
    if (valueEnd == end) {
        return nullptr;
    }
    element->addParsedAttribute(name, static_cast<size_t>(nameEnd - name), value,
                                static_cast<size_t>(valueEnd - value), references);
    return valueEnd + 1;
}

// Whether the next bytes, after blanks, are ">" or "/>" and nothing waits
// pushed back.
bool DOMParser::atPlainTagEnd() {
    if (hasPushed()) {
        return false;
    }
    kavri::parser::Lexer* lexer = getLexer();
    const std::string& input = lexer->getInput();
    const char* end = input.data() + input.size();
    const char* p = skipBlanks(input.data() + lexer->getOffset(), end);
    return p < end && (*p == '>' || (*p == '/' && p + 1 < end && p[1] == '>'));
}

// A start tag "<name" or an end tag "</name>" of the element being read,
// taken straight from the input when it is plain; the tokens read the rest
// and report the faults. True when a tag was read (`current` follows it).
bool DOMParser::readPlainTag(XNode*& current, size_t bottom) {
    if (hasPushed()) {
        return false;
    }
    kavri::parser::Lexer* lexer = getLexer();
    const std::string& input = lexer->getInput();
    const char* const begin = input.data() + lexer->getOffset();
    const char* const end = input.data() + input.size();
    if (end - begin < 3 || begin[0] != '<') {
        return false;
    }
    const bool closing = begin[1] == '/';
    const char* name = begin + (closing ? 2 : 1);
    const char* p = name;
    while (p < end && isPlainNameByte(*p)) {
        ++p;
    }
    const size_t length = static_cast<size_t>(p - name);
    if (length == 0 || p == end) {
        return false;
    }
    if (closing) {
        // The end tag of the element the caller started is the caller's.
        if (mOpen.size() == bottom) {
            return false;
        }
        p = skipBlanks(p, end);
        const std::string& expected = current->getNameString();
        if (p == end || *p != '>' || expected.size() != length ||
            std::memcmp(expected.data(), name, length) != 0) {
            return false;
        }
        finishBody(current);
        lexer->skip(static_cast<unsigned>(p + 1 - begin));
        current = mOpen.back();
        mOpen.pop_back();
        --mDepth;
        return true;
    }
    if ((static_cast<unsigned char>(*p) > 32 && *p != '>' && *p != '/') ||
        (mMaxDepth > 0 && mDepth >= mMaxDepth)) {
        return false;
    }
    XNode* child = current->addParsedChild(name, length);
    // Plain attributes and the tag's end are read here too; from the first
    // thing that is not plain on, the tokens take over.
    for (;;) {
        p = skipBlanks(p, end);
        if (p < end && *p == '>') {
            lexer->skip(static_cast<unsigned>(p + 1 - begin));
            mOpen.push_back(current);
            current = child;
            ++mDepth;
            return true;
        }
        if (p + 1 < end && p[0] == '/' && p[1] == '>') {
            lexer->skip(static_cast<unsigned>(p + 2 - begin));
            return true;
        }
        const char* after = readPlainAttribute(child, p, end);
        if (after == nullptr) {
            break;
        }
        p = after;
    }
    lexer->skip(static_cast<unsigned>(p - begin));
    parseAttributes(child);
    if (parseTagEnd(child)) {
        mOpen.push_back(current);
        current = child;
        ++mDepth;
    }
    return true;
}

Attribute* DOMParser::parseAttribute(XNode* element, Token* name) {
    // The identifier token's text changes with the next token: copy it now.
    checkName(name);
    mAttributeName.assign(name->getText());
    check(next(), XMLLexer::TOKEN_EQUALS);
    Token* value = next();
    check(value, XMLLexer::TOKEN_STRING);
    if (mInDeclaration) {
        if (mAttributeName == "version") {
            mVersionOffset = getTokenOffset();
        } else if (mAttributeName == "encoding") {
            mEncodingOffset = getTokenOffset();
        }
    }
    // Decoded from the token straight into the new attribute: the string
    // token's value stays put until the next token is taken.
    const char* raw = valueOf(value);
    Attribute* attribute = element->addAttribute(mAttributeName.c_str(), "");
    text::StringUtil::decodeXML(raw, std::strlen(raw), attribute->mValue);
    return attribute;
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
    if (atPlainTagEnd()) {
        // ">" or "/>" right at the place: no tokens needed.
        kavri::parser::Lexer* lexer = getLexer();
        const std::string& input = lexer->getInput();
        const char* begin = input.data() + lexer->getOffset();
        const char* p = skipBlanks(begin, input.data() + input.size());
        const bool content = *p == '>';
        lexer->skip(static_cast<unsigned>(p - begin) + (content ? 1u : 2u));
        return content;
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
// are kept on mOpen rather than on the call stack, so that the depth of the
// input costs heap, not stack. The end tag of `element` itself is left for
// the caller, as is everything after it.
void DOMParser::parseChildren(XNode* element) {
    const size_t bottom = mOpen.size();
    XNode* current = element;
    for (;;) {
        appendText(current);
        if (readPlainTag(current, bottom) || readPlainCData(current)) {
            continue;
        }
        Token* token = next();
        if (is(token, XMLLexer::TOKEN_OPEN)) {
            Token* following = next();
            push(following);
            push(token);
            if (is(following, XMLLexer::TOKEN_SLASH)) {
                finishBody(current);
                if (mOpen.size() == bottom) {
                    return;
                }
                parseEndTag(current);
                current = mOpen.back();
                mOpen.pop_back();
                --mDepth;
            } else if (is(following, XMLLexer::TOKEN_EXCLAMATION)) {
                pop();
                pop();
                appendCData(current);
            } else {
                check(next(), XMLLexer::TOKEN_OPEN);
                XNode* child = parseNodeNameAttributes(current);
                if (parseTagEnd(child)) {
                    mOpen.push_back(current);
                    current = child;
                    ++mDepth;
                }
            }
            continue;
        }
        if (is(token, Token::END_OF_INPUT)) {
            if (mOpen.size() == bottom) {
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
    const char* text = nullptr;
    size_t length = readUntil("<", text);
    if (length == 0) {
        return;
    }
    // The text ends at a NUL byte, as a C string would.
    const void* nul = std::memchr(text, '\0', length);
    if (nul != nullptr) {
        length = static_cast<size_t>(static_cast<const char*>(nul) - text);
    }
    // Blanks before any text would be trimmed at the end: most of them are
    // the indentation between child elements, which then costs nothing.
    if (mTrimBodies && element->getBodySize() == 0 &&
        skipBlanks(text, text + length) == text + length) {
        return;
    }
    text::StringUtil::decodeXML(text, length, element->content().body);
}

void DOMParser::finishBody(XNode* element) {
    if (!mTrimBodies) {
        return;
    }
    if (element->getBodySize() == 0) {
        return;
    }
    std::string& body = element->content().body;
    size_t end = body.size();
    while (end > 0 && static_cast<unsigned char>(body[end - 1]) <= 32) {
        --end;
    }
    size_t begin = 0;
    while (begin < end && static_cast<unsigned char>(body[begin]) <= 32) {
        ++begin;
    }
    body.erase(end);
    body.erase(0, begin);
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

// "<![CDATA[" right at the place, taken without tokens. True when it was.
bool DOMParser::readPlainCData(XNode* element) {
    kavri::parser::Lexer* lexer = getLexer();
    if (hasPushed() || lexer->getInput().compare(lexer->getOffset(), 9, "<![CDATA[") != 0) {
        return false;
    }
    lexer->skip(9);
    appendCDataContent(element);
    return true;
}

// From after "[CDATA[" to after "]]>".
void DOMParser::appendCDataContent(XNode* element) {
    const char* data = nullptr;
    size_t length = readUntil("]]>", data);
    if (length > 0) {
        element->addCData(data, static_cast<unsigned>(length));
    }
    // A section's end found above is passed over directly; the tokens only
    // see an unterminated section, and report it.
    kavri::parser::Lexer* lexer = getLexer();
    if (!hasPushed() && lexer->getInput().compare(lexer->getOffset(), 3, "]]>") == 0) {
        lexer->skip(3);
        return;
    }
    check(next(), XMLLexer::TOKEN_CDATA_END);
    check(next(), XMLLexer::TOKEN_CLOSE);
}

}  // namespace xml
}  // namespace kavri
