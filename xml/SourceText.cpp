#include "xml/SourceText.h"

#include <strings.h>
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
        if (strcasecmp(encoding.c_str(), "UTF-7") == 0) {
            encodeUTF7(out);
        } else {
            Transcoder::fromUTF8(out, encoding);
        }
    }
    out.insert(0, mark);
}

// A converter may write UTF-7's optional direct characters ('<', '>', '"',
// '&', '=' ...) encoded, which leaves markup no reader recognises: ASCII
// goes out as it is ('+' as "+-"), only the runs of other characters and of
// '\' and '~' are converted.
void SourceText::encodeUTF7(std::string& out) {
    const auto direct = [](char c) {
        return (c >= 0x20 && c < 0x7F && c != '+' && c != '\\' && c != '~') || c == '\t' ||
               c == '\n' || c == '\r';
    };
    std::string encoded;
    encoded.reserve(out.size());
    size_t pos = 0;
    while (pos < out.size()) {
        size_t next = pos;
        if (out[pos] == '+') {
            encoded += "+-";
            ++pos;
            continue;
        }
        while (next < out.size() && direct(out[next])) {
            ++next;
        }
        encoded.append(out, pos, next - pos);
        pos = next;
        while (next < out.size() && !direct(out[next]) && out[next] != '+') {
            ++next;
        }
        if (next > pos) {
            std::string run = out.substr(pos, next - pos);
            Transcoder::fromUTF8(run, "UTF-7");
            encoded += run;
            if (!run.empty() && run.back() != '-') {
                encoded += '-';  // ends the run whatever follows
            }
            pos = next;
        }
    }
    out.swap(encoded);
}

}  // namespace xml
}  // namespace kavri
