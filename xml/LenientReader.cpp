#include "xml/LenientReader.h"

#include <strings.h>
#include <algorithm>
#include <cstring>
#include <utility>

#include "syntax/XMLSyntax.h"
#include "xml/SourceText.h"
#include "xml/Transcoder.h"
#include "xml/WellFormedReader.h"
#include "xml/XMLException.h"
#include "xml/internal/EditCount.h"

namespace kavri {
namespace xml {

namespace {

// CR LF and a lone CR become LF, as XML 1.0 reads line ends; with
// `source`, the places of the LFs that were one or the other are kept.
void normaliseLineEnds(std::string& bytes, SourceText* source) {
    size_t out = bytes.find('\r');
    if (out == std::string::npos) {
        return;
    }
    for (size_t in = out; in < bytes.size(); ++in) {
        if (bytes[in] != '\r') {
            bytes[out++] = bytes[in];
            continue;
        }
        const bool pair = in + 1 < bytes.size() && bytes[in + 1] == '\n';
        if (source != nullptr) {
            (pair ? source->crlf : source->loneCR).push_back(static_cast<uint32_t>(out));
        }
        bytes[out++] = '\n';
        if (pair) {
            ++in;
        }
    }
    bytes.resize(out);
}

// Whether Transcoder::toUTF8 may convert `bytes` (not UTF-8 with or without
// a byte-order mark): the input is then kept as it was.
bool mayConvert(const std::string& bytes) {
    if (bytes.size() >= 2 &&
        (bytes[0] == '\0' || bytes[1] == '\0' || static_cast<unsigned char>(bytes[0]) >= 0xFE)) {
        return true;
    }
    size_t offset = 0;
    const std::string encoding = Transcoder::declaredEncoding(bytes, offset);
    return !encoding.empty() && strcasecmp(encoding.c_str(), "UTF-8") != 0 &&
           strcasecmp(encoding.c_str(), "UTF8") != 0;
}

}  // namespace

void LenientReader::readAsUTF8(unsigned& line, unsigned& column) {
    readAsUTF8(line, column, nullptr);
}

void LenientReader::readAsUTF8(unsigned& line, unsigned& column, SourceText* source) {
    std::string bytes = mParser.getLexer()->takeInput();
    if (source != nullptr) {
        source->byteOrderMark =
            syntax::startsWith(bytes.data(), bytes.data() + bytes.size(), "\xEF\xBB\xBF");
        if (mayConvert(bytes)) {
            source->original = bytes;
        }
    }
    Transcoder::Place failedAt;
    try {
        const std::string encoding = Transcoder::toUTF8(bytes, failedAt);
        if (source != nullptr) {
            source->encoding = encoding;
            if (encoding.empty()) {
                std::string().swap(source->original);
            }
        }
    } catch (...) {
        line = failedAt.line;
        column = failedAt.column;
        // A failed conversion leaves the bytes as they were.
        mParser.setInput(std::move(bytes), true);
        throw;
    }
    normaliseLineEnds(bytes, source);
    if (source != nullptr && bytes.size() > SourceText::MAX_SIZE) {
        throw XMLException("Input of %zu bytes too large to keep whole", bytes.size());
    }
    mParser.setInput(std::move(bytes), true);
}

void LenientReader::readDocument(Document* doc, size_t& failOffset, int maxDepth, bool trimBodies) {
    const std::string& input = mParser.getLexer()->getInput();
    WellFormedReader(input, maxDepth, trimBodies).read(doc, failOffset);
    mParser.getLexer()->setOffset(input.size());
}

void LenientReader::readDocument(Document* doc, size_t& failOffset, int maxDepth, bool trimBodies,
                                 SourceText* source) {
    const std::string& input = mParser.getLexer()->getInput();
    WellFormedReader reader(input, maxDepth, trimBodies);
    reader.keepPlaces(source);
    reader.read(doc, failOffset);
    mParser.getLexer()->setOffset(input.size());
    source->trimBodies = trimBodies;
    source->editsAtRead = internal::EditCount::now();
    source->text = mParser.getLexer()->takeInput();
}

void LenientReader::readFragment(XNode* node, size_t& failOffset, int maxDepth, bool trimBodies,
                                 std::function<void(size_t)> onDeeper) {
    const std::string& input = mParser.getLexer()->getInput();
    WellFormedReader reader(input, maxDepth, trimBodies);
    reader.onDeeper(std::move(onDeeper));
    reader.readFragment(node, failOffset);
    mParser.getLexer()->setOffset(input.size());
}

unsigned LenientReader::characterColumn(const std::string& text, size_t offset) {
    offset = std::min(offset, text.size());
    const size_t lineEnd = offset == 0 ? std::string::npos : text.rfind('\n', offset - 1);
    const size_t lineStart = lineEnd == std::string::npos ? 0 : lineEnd + 1;
    return 1 + static_cast<unsigned>(
                   syntax::countCharacters(text.data() + lineStart, offset - lineStart));
}

}  // namespace xml
}  // namespace kavri
