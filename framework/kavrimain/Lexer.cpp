#include "framework/kavrimain/Lexer.h"

#include <strings.h>
#include <algorithm>
#include <cstring>

#include "framework/kavrimain/InputStream.h"
#include "syntax/XMLChars.h"
#include "syntax/XMLScan.h"

namespace kavri {
namespace parser {

namespace {

// Handed out at the end of the input. Nobody changes it, but parsers take
// tokens as Token*.
Token gEndToken(Token::END_OF_INPUT, "end of input");

unsigned char lowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}
unsigned char upperAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

}  // namespace

Lexer::Lexer(unsigned flags, unsigned pieceCapacity)
    : mFlags(flags), mPieceCapacity(pieceCapacity), mPiece(pieceCapacity + 1), mWord(WORD, "") {}

Lexer::Lexer(const Lexer& other)
    : mFlags(other.mFlags),
      mPieceCapacity(other.mPieceCapacity),
      mRegistered(other.mRegistered),
      mNames(other.mNames),
      mInput(other.mInput),
      mPos(other.mPos),
      mTokenStart(other.mTokenStart),
      mPiece(other.mPieceCapacity + 1),
      mWord(WORD, "") {
    // The tables are rebuilt on first use: the hooks they come from are the
    // copy's own.
}

Lexer& Lexer::operator=(const Lexer& other) {
    if (this != &other) {
        mFlags = other.mFlags;
        mPieceCapacity = other.mPieceCapacity;
        mRegistered = other.mRegistered;
        mNames = other.mNames;
        mInput = other.mInput;
        mPos = other.mPos;
        mTokenStart = other.mTokenStart;
        mReady = false;
    }
    return *this;
}

Lexer::~Lexer() = default;

// --- Hooks -------------------------------------------------------------------

Token* Lexer::findToken(const char* text, bool prefix) {
    if (!mReady) {
        prepare();
    }
    return matchRegistered(text, prefix);
}

bool Lexer::isIdentifier(const char* text) {
    if (!mReady) {
        prepare();
    }
    unsigned char kind = mClass[static_cast<unsigned char>(*text)];
    if ((kind & (CLASS_IGNORABLE | CLASS_QUOTE)) != 0) {
        return false;
    }
    if ((kind & CLASS_TOKEN) != 0 && findToken(text, true) != nullptr) {
        return false;
    }
    if ((mFlags & SKIP_COMMENTS) != 0 &&
        (((kind & CLASS_COMMENT) != 0 && isMultiLineComment(text) == COMMENT_FOUND) ||
         isLineComment(text) == COMMENT_FOUND)) {
        return false;
    }
    return true;
}

bool Lexer::isNewLine(const char* text) {
    return *text == '\n';
}

bool Lexer::isIgnorable(char c) {
    return ::kavri::xml::syntax::isSpace(c);
}

Lexer::CommentGuess Lexer::isLineComment(const char*) {
    return COMMENT_NONE;
}

Lexer::CommentGuess Lexer::isMultiLineComment(const char*) {
    return COMMENT_NONE;
}

Lexer::CommentGuess Lexer::isEndMultiLineComment(const char*) {
    return COMMENT_NONE;
}

const char* Lexer::getMultilineComment() const {
    return "";
}

unsigned Lexer::getEndMultiLineCommentLength() {
    return static_cast<unsigned>(std::strlen(getEndMultilineComment()));
}

const char* Lexer::getEndMultilineComment() const {
    return "";
}

bool Lexer::isString(const char* text) {
    return *text == '"';
}

Token* Lexer::text2Token(const char* text) {
    mWord.setText(text);
    return &mWord;
}

// --- Vocabulary --------------------------------------------------------------

void Lexer::addToken(const Token* token) {
    if (token == nullptr || token->getText() == nullptr || token->getText()[0] == '\0') {
        return;
    }
    mRegistered.push_back(token);
    mReady = false;
}

void Lexer::setTokenName(unsigned id, const char* name) {
    for (auto& entry : mNames) {
        if (entry.first == id) {
            entry.second = name;
            return;
        }
    }
    mNames.emplace_back(id, name);
}

std::string Lexer::getTokenName(unsigned id) const {
    if (id == Token::END_OF_INPUT) {
        return "end of input";
    }
    for (const auto& entry : mNames) {
        if (entry.first == id) {
            return entry.second;
        }
    }
    for (const Token* token : mRegistered) {
        if (token->getId() == id) {
            return std::string("'") + token->getText() + "'";
        }
    }
    return "token " + std::to_string(id);
}

// Asks the one-character hooks once per byte value and files the registered
// tokens by their first byte, so that scanning needs no virtual call per byte.
void Lexer::prepare() {
    char probe[2] = {0, 0};
    for (unsigned c = 0; c < 256; ++c) {
        probe[0] = static_cast<char>(c);
        unsigned char kind = 0;
        if (isIgnorable(probe[0])) {
            kind |= CLASS_IGNORABLE;
        }
        if (isString(probe)) {
            kind |= CLASS_QUOTE;
        }
        if (isNewLine(probe)) {
            kind |= CLASS_NEWLINE;
        }
        mClass[c] = kind;
    }

    mTokens.clear();
    for (const Token* token : mRegistered) {
        const unsigned char first = static_cast<unsigned char>(token->getText()[0]);
        const size_t length = std::strlen(token->getText());
        if ((mFlags & CASE_INSENSITIVE) != 0) {
            mTokens.push_back({token, length, lowerAscii(first)});
            if (upperAscii(first) != lowerAscii(first)) {
                mTokens.push_back({token, length, upperAscii(first)});
            }
        } else {
            mTokens.push_back({token, length, first});
        }
    }
    // Longest first within a byte, so that a prefix match takes the longest
    // registered text; registration order breaks ties.
    std::stable_sort(mTokens.begin(), mTokens.end(), [](const Entry& a, const Entry& b) {
        return a.first != b.first ? a.first < b.first : a.length > b.length;
    });
    size_t index = 0;
    for (unsigned c = 0; c < 256; ++c) {
        mFirst[c] = static_cast<unsigned short>(index);
        while (index < mTokens.size() && mTokens[index].first == c) {
            mClass[c] |= CLASS_TOKEN;
            ++index;
        }
    }
    mFirst[256] = static_cast<unsigned short>(index);

    const char* start = getMultilineComment();
    const char* finish = getEndMultilineComment();
    mCommentStart = start != nullptr ? start : "";
    mCommentEnd = finish != nullptr ? finish : "";
    mCommentEndLength = getEndMultiLineCommentLength();
    if (!mCommentStart.empty() && !mCommentEnd.empty()) {
        mClass[static_cast<unsigned char>(mCommentStart[0])] |= CLASS_COMMENT;
    }
    mReady = true;
}

Token* Lexer::matchRegistered(const char* text, bool prefix) {
    const unsigned char first = static_cast<unsigned char>(*text);
    const bool ignoreCase = (mFlags & CASE_INSENSITIVE) != 0;
    for (unsigned i = mFirst[first]; i < mFirst[first + 1]; ++i) {
        const Entry& entry = mTokens[i];
        const char* candidate = entry.token->getText();
        // The first byte matches already; the second rules out most longer
        // candidates without a call.
        if (!ignoreCase && entry.length > 1 && candidate[1] != text[1]) {
            continue;
        }
        // strncmp stops at the input's terminator, so a token longer than the
        // rest of the input cannot match and nothing is read past the end.
        bool same = ignoreCase ? strncasecmp(candidate, text, entry.length) == 0
                               : std::strncmp(candidate, text, entry.length) == 0;
        if (same && (prefix || text[entry.length] == '\0')) {
            mLastMatch = entry.token;
            mLastMatchLength = entry.length;
            // Registered tokens are never changed through this pointer.
            return const_cast<Token*>(entry.token);
        }
    }
    return nullptr;
}

// --- Input ---------------------------------------------------------------------

void Lexer::setInputStream(stream::InputStream* stream) {
    mInput.clear();
    mPos = 0;
    mTokenStart = 0;
    stream->readAll(mInput);
}

void Lexer::setInput(std::string bytes) {
    mInput = std::move(bytes);
    mPos = 0;
    mTokenStart = 0;
}

const char* Lexer::skipMultiLineComment(const char* p, const char* end) {
    const char* from = p + mCommentStart.size();
    while (from < end) {
        const char* marker =
            xml::syntax::findMarker(from, end, mCommentEnd.data(), mCommentEnd.size());
        if (marker == end) {
            break;
        }
        if (isEndMultiLineComment(marker) == COMMENT_FOUND) {
            return std::min(end, marker + mCommentEndLength);
        }
        from = marker + 1;
    }
    // An unterminated comment runs to the end of the input.
    return end;
}

const char* Lexer::skipLineComment(const char* p, const char* end) const {
    while (p < end && (mClass[static_cast<unsigned char>(*p)] & CLASS_NEWLINE) == 0) {
        ++p;
    }
    return p;
}

Token* Lexer::pieceToken(const char* begin, const char* end) {
    const size_t length = static_cast<size_t>(end - begin);
    if (mPiece.size() < length + 1) {
        mPiece.resize(std::max(length + 1, mPiece.size() * 2));
    }
    std::memcpy(mPiece.data(), begin, length);
    mPiece[length] = '\0';
    mPos = static_cast<size_t>(end - mInput.data());
    return text2Token(mPiece.data());
}

// Past the ignorable characters and (with SKIP_COMMENTS) the comments at `p`.
const char* Lexer::skipIgnored(const char* p, const char* end) {
    const bool skipComments = (mFlags & SKIP_COMMENTS) != 0;
    for (;;) {
        while (p < end && (mClass[static_cast<unsigned char>(*p)] & CLASS_IGNORABLE) != 0) {
            ++p;
        }
        if (p >= end || !skipComments) {
            return p;
        }
        if ((mClass[static_cast<unsigned char>(*p)] & CLASS_COMMENT) != 0 &&
            isMultiLineComment(p) == COMMENT_FOUND) {
            p = skipMultiLineComment(p, end);
        } else if (isLineComment(p) == COMMENT_FOUND) {
            p = skipLineComment(p, end);
        } else {
            return p;
        }
    }
}

// The end of the word that begins at `p`: it runs until an ignorable
// character or a quote, or until a place where a token or a comment begins
// (only bytes that could begin one are asked about).
const char* Lexer::wordEnd(const char* p, const char* end) {
    const char* q = p + 1;
    while (q < end) {
        const unsigned char next = mClass[static_cast<unsigned char>(*q)];
        if (next != 0) {
            if ((next & (CLASS_IGNORABLE | CLASS_QUOTE)) != 0) {
                break;
            }
            if ((next & (CLASS_TOKEN | CLASS_COMMENT)) != 0 && !isIdentifier(q)) {
                break;
            }
        }
        ++q;
    }
    return q;
}

Token* Lexer::nextToken() {
    if (!mReady) {
        prepare();
    }
    const char* base = mInput.data();
    const char* end = base + mInput.size();
    const char* p = skipIgnored(base + mPos, end);
    if (p >= end) {
        mPos = mTokenStart = mInput.size();
        return &gEndToken;
    }
    const unsigned char kind = mClass[static_cast<unsigned char>(*p)];
    mTokenStart = static_cast<size_t>(p - base);
    if ((kind & CLASS_QUOTE) != 0) {
        // The whole string, both quotes included; an unterminated one runs
        // to the end and reaches text2Token without its closing quote.
        const void* close = std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1));
        const char* stop = close != nullptr ? static_cast<const char*>(close) + 1 : end;
        return pieceToken(p, stop);
    }
    if ((kind & CLASS_TOKEN) != 0) {
        Token* token = findToken(p, true);
        if (token != nullptr) {
            const size_t length =
                token == mLastMatch ? mLastMatchLength : std::strlen(token->getText());
            mPos = std::min(mInput.size(), mTokenStart + length);
            return token;
        }
    }
    return pieceToken(p, wordEnd(p, end));
}

size_t Lexer::readUntil(const char* marker, const char*& text) {
    const size_t markerLength = marker != nullptr ? std::strlen(marker) : 0;
    if (markerLength == 1) {
        return readUntil(marker[0], text);
    }
    const char* base = mInput.data();
    const size_t rest = mInput.size() - mPos;
    text = base + mPos;
    const size_t length =
        markerLength > 1
            ? static_cast<size_t>(xml::syntax::findMarker(text, text + rest, marker, markerLength) -
                                  text)
            : rest;
    mPos += length;
    return length;
}

void Lexer::getLineColumn(size_t offset, unsigned& line, unsigned& column) {
    // Asked after a failure, perhaps before any token was read: without the
    // tables the hook answers, so that reporting a fault never allocates.
    offset = std::min(offset, mInput.size());
    const char* text = mInput.data();
    unsigned lines = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < offset; ++i) {
        const bool newLine =
            mReady ? (mClass[static_cast<unsigned char>(text[i])] & CLASS_NEWLINE) != 0
                   : isNewLine(text + i);
        if (newLine) {
            ++lines;
            lineStart = i + 1;
        }
    }
    line = lines;
    column = static_cast<unsigned>(offset - lineStart + 1);
}

}  // namespace parser
}  // namespace kavri
