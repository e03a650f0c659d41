#include "xml/ContentItem.h"

#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"
#include "xml/SourceText.h"

namespace kavri {
namespace xml {

using syntax::CDATA_START;
using syntax::COMMENT_START;
using syntax::INSTRUCTION_START;

std::string ContentItem::getText() const {
    if (mStart == NONE || mKind == ELEMENT) {
        return mText;
    }
    const char* const begin = mSource->at(mStart);
    const char* const end = mSource->at(mEnd);
    switch (mKind) {
        case TEXT: {
            std::string text;
            mSource->appendText(*this, text);
            return text;
        }
        case CDATA:
            return std::string(begin + sizeof CDATA_START - 1, end - 3);
        case COMMENT:
            return std::string(begin + sizeof COMMENT_START - 1, end - 3);
        case INSTRUCTION: {
            const char* targetEnd;
            return std::string(instructionData(targetEnd), end - 2);
        }
        default:
            return std::string(begin, end);
    }
}

std::string ContentItem::getTarget() const {
    if (mKind != INSTRUCTION || mStart == NONE) {
        return mTarget;
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
