#include "xml/ContentItem.h"

#include <algorithm>

#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"
#include "xml/SourceText.h"

namespace kavri {
namespace xml {

using syntax::CDATA_START;
using syntax::COMMENT_START;
using syntax::INSTRUCTION_START;

ContentItem::ContentItem(const ContentItem& other)
    : mKind(other.mKind),
      mStart(other.mStart),
      mEnd(other.mEnd),
      mSource(other.mSource),
      mElement(other.mElement),
      mOwned(other.mOwned ? new Owned(*other.mOwned) : nullptr) {}

ContentItem& ContentItem::operator=(const ContentItem& other) {
    if (this != &other) {
        ContentItem copy(other);
        *this = std::move(copy);
    }
    return *this;
}

std::string ContentItem::getText() const {
    std::string text;
    appendText(text);
    return text;
}

void ContentItem::appendText(std::string& out) const {
    if (mStart == NONE || mKind == ELEMENT) {
        if (mOwned) {
            out += mOwned->text;
        }
        return;
    }
    const char* const begin = mSource->at(mStart);
    const char* const end = mSource->at(mEnd);
    switch (mKind) {
        case TEXT:
            mSource->appendText(*this, out);
            return;
        case CDATA:
            out.append(begin + sizeof CDATA_START - 1, end - 3);
            return;
        case COMMENT:
            out.append(begin + sizeof COMMENT_START - 1, end - 3);
            return;
        case INSTRUCTION: {
            const char* targetEnd;
            out.append(instructionData(targetEnd), end - 2);
            return;
        }
        default:
            out.append(begin, end);
    }
}

bool ContentItem::isWhiteSpace() const {
    if (mKind != TEXT) {
        return false;
    }
    const auto blank = [](const char* p, const char* end) {
        return std::all_of(p, end, [](char c) { return syntax::isSpace(c); });
    };
    if (mStart == NONE) {
        return !mOwned || blank(mOwned->text.data(), mOwned->text.data() + mOwned->text.size());
    }
    // The input's bytes up to the first reference are the text's own.
    const char* p = mSource->at(mStart);
    const char* const end = mSource->at(mEnd);
    for (; p < end && *p != '&'; ++p) {
        if (!syntax::isSpace(*p)) {
            return false;
        }
    }
    if (p == end) {
        return true;
    }
    const std::string text = getText();
    return blank(text.data(), text.data() + text.size());
}

std::string ContentItem::getTarget() const {
    if (mKind != INSTRUCTION || mStart == NONE) {
        return mOwned ? mOwned->target : std::string();
    }
    const char* targetEnd;
    instructionData(targetEnd);
    return std::string(mSource->at(mStart) + sizeof INSTRUCTION_START - 1, targetEnd);
}

const char* ContentItem::instructionData(const char*& targetEnd) const {
    const char* p = mSource->at(mStart) + sizeof INSTRUCTION_START - 1;
    const char* const end = mSource->at(mEnd) - 2;
    while (p < end && !syntax::isSpace(*p)) {
        ++p;
    }
    targetEnd = p;
    while (p < end && syntax::isSpace(*p)) {
        ++p;
    }
    return p;
}

ContentItem ContentItem::detached() const {
    if (mKind == ELEMENT) {
        return element(mElement);
    }
    if (mKind == INSTRUCTION) {
        return instruction(getTarget(), getText());
    }
    return ContentItem(mKind, getText());
}

}  // namespace xml
}  // namespace kavri
