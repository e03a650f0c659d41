#include "xml/SourceText.h"

#include <algorithm>

#include "xml/ContentItem.h"
#include "xml/Transcoder.h"

namespace kavri {
namespace xml {

void SourceText::appendBytes(std::string& out, uint32_t from, uint32_t to) const {
    if (crlf.empty() && loneCR.empty()) {
        out.append(text, from, to - from);
        return;
    }
    auto pair = std::lower_bound(crlf.begin(), crlf.end(), from);
    auto lone = std::lower_bound(loneCR.begin(), loneCR.end(), from);
    uint32_t pos = from;
    for (;;) {
        const uint32_t nextPair = pair != crlf.end() ? *pair : NONE;
        const uint32_t nextLone = lone != loneCR.end() ? *lone : NONE;
        const uint32_t next = std::min(nextPair, nextLone);
        if (next >= to) {
            break;
        }
        out.append(text, pos, next - pos);
        if (next == nextPair) {
            out += "\r\n";
            ++pair;
        } else {
            out += '\r';
            ++lone;
        }
        pos = next + 1;
    }
    out.append(text, pos, to - pos);
}

void SourceText::encode(std::string& out) const {
    std::string mark;
    if (byteOrderMark) {
        mark = "\xEF\xBB\xBF";
    }
    if (!encoding.empty()) {
        // The input's own mark, when it had one: UTF-16's two bytes or
        // UTF-32's four.
        const size_t width = encoding.compare(0, 6, "UTF-32") == 0 ? 4 : 2;
        const bool marked =
            original.size() >= width &&
            (original.compare(0, 2, "\xFF\xFE") == 0 || original.compare(0, 2, "\xFE\xFF") == 0 ||
             original.compare(0, 4, std::string("\0\0\xFE\xFF", 4)) == 0);
        if (marked && encoding.compare(0, 4, "UTF-") == 0) {
            mark = original.substr(0, width);
        }
        Transcoder::fromUTF8(out, encoding);
    }
    out.insert(0, mark);
}

}  // namespace xml
}  // namespace kavri
