#include "xml/SourceText.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "syntax/XMLSyntax.h"
#include "xml/ContentItem.h"
#include "xml/Transcoder.h"
#include "xml/XNode.h"

namespace kavri {
namespace xml {

SourceText::~SourceText() = default;

const SourceText::Reference* SourceText::referenceAt(uint32_t start, uint32_t end) const {
    auto found = std::lower_bound(
        references.begin(), references.end(), start,
        [](const Reference& reference, uint32_t at) { return reference.start < at; });
    return found != references.end() && found->start == start && found->end == end ? &*found
                                                                                   : nullptr;
}

void SourceText::madeIn(const std::vector<ContentItem>& items, const XNode* parent,
                        std::vector<MadeAt>& out) const {
    out.assign(items.size(), MadeAt());
    std::unordered_map<const XNode*, size_t> elementAt;
    for (size_t i = 0; i < items.size(); ++i) {
        const ContentItem& item = items[i];
        if (item.getKind() != ContentItem::TEXT || !item.isFromInput()) {
            continue;
        }
        const Reference* reference = referenceAt(item.mStart, item.mEnd);
        if (reference == nullptr) {
            continue;
        }
        // Its elements still in `parent`, in order: following it, or not.
        std::vector<size_t> kept;
        for (size_t part = 0; part < reference->made.size(); ++part) {
            const XNode* element = reference->made[part].getElement();
            if (element != nullptr && element->getParent() == parent) {
                kept.push_back(part);
            }
        }
        MadeAt& at = out[i];
        at.reference = reference;
        at.whole = true;
        for (size_t k = 0; k < kept.size() && at.whole; ++k) {
            at.whole = i + 1 + k < items.size() &&
                       items[i + 1 + k].getElement() == reference->made[kept[k]].getElement();
        }
        if (at.whole) {
            at.to = static_cast<uint32_t>(reference->made.size());
            at.skip = static_cast<uint32_t>(kept.size());
            i += kept.size();
            continue;
        }
        at.to = static_cast<uint32_t>(kept.empty() ? reference->made.size() : kept.front());
        if (elementAt.empty()) {
            for (size_t j = 0; j < items.size(); ++j) {
                if (items[j].getElement() != nullptr) {
                    elementAt.emplace(items[j].getElement(), j);
                }
            }
        }
        for (size_t k = 0; k < kept.size(); ++k) {
            const auto found = elementAt.find(reference->made[kept[k]].getElement());
            if (found != elementAt.end()) {
                MadeAt& after = out[found->second];
                after.reference = reference;
                after.from = static_cast<uint32_t>(kept[k] + 1);
                after.to = static_cast<uint32_t>(k + 1 < kept.size() ? kept[k + 1]
                                                                     : reference->made.size());
            }
        }
    }
}

void SourceText::detachContent(const std::vector<ContentItem>& items, const XNode* parent,
                               std::vector<ContentItem>& out) const {
    std::vector<MadeAt> made;
    madeIn(items, parent, made);
    for (size_t i = 0; i < items.size(); ++i) {
        const MadeAt& at = made[i];
        const ContentItem& item = items[i];
        if (at.reference == nullptr) {
            if (item.getKind() == ContentItem::TEXT && item.isFromInput()) {
                out.push_back(ContentItem(ContentItem::TEXT, std::string()));
                appendText(item, out.back().ownedText());
            } else {
                out.push_back(item.detached());
            }
            continue;
        }
        if (item.getKind() == ContentItem::ELEMENT) {
            out.push_back(item);
        }
        for (size_t part = at.from; part < at.to; ++part) {
            const ContentItem& piece = at.reference->made[part];
            if (piece.getElement() == nullptr || piece.getElement()->getParent() == parent) {
                out.push_back(piece);
            }
        }
        i += at.skip;
    }
}

void SourceText::appendText(const ContentItem& item, std::string& out) const {
    const char* p = at(item.mStart);
    const char* const end = at(item.mEnd);
    while (p < end) {
        const char* amp =
            static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
        if (amp == nullptr || entityTexts.empty()) {
            syntax::decodeReferences(p, static_cast<size_t>(end - p), out);
            return;
        }
        const char* const semicolon =
            static_cast<const char*>(std::memchr(amp, ';', static_cast<size_t>(end - amp)));
        syntax::decodeReferences(p, static_cast<size_t>(amp - p), out);
        p = amp;
        if (semicolon != nullptr && amp[1] != '#') {
            const auto found = entityTexts.find(std::string(amp + 1, semicolon));
            if (found != entityTexts.end()) {
                out += found->second;
                p = semicolon + 1;
                continue;
            }
        }
        const char* const next = semicolon != nullptr ? semicolon + 1 : end;
        syntax::decodeReferences(p, static_cast<size_t>(next - p), out);
        p = next;
    }
}

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

// UTF-7 by any name iconv knows it by ("UTF-7", "utf7", "UNICODE-1-1-UTF-7"
// ...), but not UTF-7-IMAP, which is another encoding.
bool SourceText::isUTF7(const std::string& name) {
    std::string letters;
    for (const char c : name) {
        if (c != '-' && c != '_') {
            letters += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return letters == "UTF7" || letters == "UNICODE11UTF7" || letters == "CSUNICODE11UTF7";
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
        if (isUTF7(encoding)) {
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
