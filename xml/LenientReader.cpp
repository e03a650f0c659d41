#include "xml/LenientReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "syntax/XMLSyntax.h"
#include "xml/Transcoder.h"
#include "xml/WellFormedReader.h"
#include "xml/XMLException.h"

namespace kavri {
namespace xml {

namespace {

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

}  // namespace

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

void LenientReader::readDocument(Document* doc, size_t& failOffset, int maxDepth, bool trimBodies) {
    const std::string& input = mParser.getLexer()->getInput();
    WellFormedReader(input, maxDepth, trimBodies).read(doc, failOffset);
    mParser.getLexer()->setOffset(input.size());
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
