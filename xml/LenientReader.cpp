#include "xml/LenientReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "xml/Document.h"
#include "xml/EntityTable.h"
#include "xml/Transcoder.h"
#include "xml/XMLException.h"
#include "xml/syntax/XMLSyntax.h"

namespace kavri {
namespace xml {

namespace {

using syntax::isBlank;
using syntax::isDeclaration;
using syntax::isQuote;
using syntax::skipBlanks;
using syntax::startsWith;

// CR LF and a lone CR become LF, as XML 1.0 reads line ends.
void normaliseLineEnds(std::string& bytes) {
    size_t out = bytes.find('\r');
    if (out == std::string::npos) {
        return;
    }
    for (size_t in = out; in < bytes.size(); ++in) {
        if (bytes[in] != '\r') {
            bytes[out++] = bytes[in];
            continue;
        }
        bytes[out++] = '\n';
        if (in + 1 < bytes.size() && bytes[in + 1] == '\n') {
            ++in;
        }
    }
    bytes.resize(out);
}

// After a DOCTYPE keyword: blanks and a quoted literal, whose text goes to
// `value`; null when there is none.
const char* readLiteral(const char* p, const char* end, std::string& value) {
    const char* q = skipBlanks(p, end);
    if (q == p || q == end || !isQuote(*q)) {
        return nullptr;
    }
    const void* close = std::memchr(q + 1, *q, static_cast<size_t>(end - q - 1));
    if (close == nullptr) {
        return nullptr;
    }
    value.assign(q + 1, static_cast<const char*>(close));
    return static_cast<const char*>(close) + 1;
}

// Entities may make the text at most this large.
size_t expansionLimit(size_t inputSize) {
    return std::max<size_t>(10 * inputSize, size_t(1) << 20);
}

}  // namespace

const char* LenientReader::unreadInput(const char*& end) const {
    const std::string& input = mParser.getLexer()->getInput();
    end = input.data() + input.size();
    return input.data() + mParser.getLexer()->getOffset();
}

void LenientReader::moveTo(const char* p) {
    mParser.getLexer()->setOffset(offsetOf(p));
}

size_t LenientReader::offsetOf(const char* p) const {
    return static_cast<size_t>(p - mParser.getLexer()->getInput().data());
}

void LenientReader::readAsUTF8(unsigned& line, unsigned& column) {
    std::string bytes = mParser.getLexer()->takeInput();
    Transcoder::Place failedAt;
    try {
        Transcoder::toUTF8(bytes, failedAt);
    } catch (...) {
        line = failedAt.line;
        column = failedAt.column;
        // A failed conversion leaves the bytes as they were.
        mParser.setInput(std::move(bytes), true);
        throw;
    }
    normaliseLineEnds(bytes);
    mParser.setInput(std::move(bytes), true);
}

void LenientReader::readProlog(Document* doc, size_t& failOffset,
                               const std::function<void()>& readDeclaration) {
    skipMisc(true);
    const char* end;
    const char* p = unreadInput(end);
    if (isDeclaration(p, end)) {
        readDeclaration();
    }
    skipMisc(false);
    p = unreadInput(end);
    if (startsWith(p, end, "<!DOCTYPE")) {
        readDocType(doc, failOffset);
        skipMisc(false);
    }
}

void LenientReader::skipMisc(bool beforeDeclaration) {
    const char* end;
    const char* p = unreadInput(end);
    for (;;) {
        p = skipBlanks(p, end);
        const syntax::Markup markup = syntax::markupAt(p, end);
        const char* after = nullptr;
        if (markup != syntax::MARKUP_NONE && !(beforeDeclaration && isDeclaration(p, end))) {
            after = syntax::markupEnd(markup, p, end);
        }
        // An unterminated one is left for the tokens to report.
        if (after == nullptr) {
            break;
        }
        p = after;
    }
    moveTo(p);
}

// <!DOCTYPE name [SYSTEM "dtd" | PUBLIC "id" ["dtd"]] [[ subset ]]>, and the
// expansion of the entities the subset declares in the rest of the input.
void LenientReader::readDocType(Document* doc, size_t& failOffset) {
    const char* end;
    const char* const start = unreadInput(end);
    const char* p = start + 9;  // "<!DOCTYPE"
    const char* name = skipBlanks(p, end);
    p = name;
    while (p < end && !isBlank(*p) && *p != '[' && *p != '>') {
        ++p;
    }
    const std::string docType(name, p);
    p = skipBlanks(p, end);
    std::string literal;
    const char* fault = p;
    if (!docType.empty() && startsWith(p, end, "SYSTEM")) {
        p = readLiteral(p + 6, end, literal);
        doc->setDTD(literal);
    } else if (!docType.empty() && startsWith(p, end, "PUBLIC")) {
        p = readLiteral(p + 6, end, literal);
        doc->setPublicID(literal);
        const char* dtd = p != nullptr ? readLiteral(p, end, literal) : nullptr;
        if (dtd != nullptr) {
            doc->setDTD(literal);
            p = dtd;
        }
    }
    EntityTable entities;
    if (p != nullptr) {
        p = skipBlanks(p, end);
        fault = p;
        if (p < end && *p == '[') {
            try {
                p = skipBlanks(entities.readSubset(p + 1, end, fault), end);
            } catch (...) {
                failOffset = offsetOf(fault);
                throw;
            }
            fault = p;
        }
    }
    if (docType.empty() || p == nullptr || p == end || *p != '>') {
        failOffset = offsetOf(fault);
        throw XMLException("Invalid DOCTYPE declaration");
    }
    doc->setDocType(docType);
    moveTo(p + 1);
    if (entities.empty()) {
        return;
    }
    const std::string& input = mParser.getLexer()->getInput();
    const size_t offset = mParser.getLexer()->getOffset();
    std::string expanded(input, 0, offset);
    const char* failedAt = nullptr;
    try {
        entities.expand(input.data() + offset, input.data() + input.size(), expanded,
                        expansionLimit(input.size()), failedAt);
    } catch (...) {
        failOffset = failedAt != nullptr ? static_cast<size_t>(failedAt - input.data()) : offset;
        throw;
    }
    mParser.setInput(std::move(expanded), true);
    mParser.getLexer()->setOffset(offset);
}

bool LenientReader::skipMarkup() {
    if (mParser.hasPushed()) {
        return false;
    }
    const char* end;
    const char* p = unreadInput(end);
    const syntax::Markup markup = syntax::markupAt(p, end);
    const char* after = markup != syntax::MARKUP_NONE ? syntax::markupEnd(markup, p, end) : nullptr;
    if (after == nullptr) {
        return false;
    }
    moveTo(after);
    return true;
}

bool LenientReader::isVersionOne(const std::string& version) {
    return version.size() > 2 && version.compare(0, 2, "1.") == 0 &&
           version.find_first_not_of("0123456789", 2) == std::string::npos;
}

const char* LenientReader::normaliseValue(const char* value, size_t& length, std::string& scratch) {
    const char* const end = value + length;
    const char* first = value;
    while (first < end && *first != '\t' && *first != '\n' && *first != '\r') {
        ++first;
    }
    if (first == end) {
        return value;
    }
    scratch.assign(value, end);
    for (size_t i = static_cast<size_t>(first - value); i < scratch.size(); ++i) {
        if (scratch[i] == '\t' || scratch[i] == '\n' || scratch[i] == '\r') {
            scratch[i] = ' ';
        }
    }
    return scratch.data();
}

}  // namespace xml
}  // namespace kavri
