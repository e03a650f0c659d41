#include "xml/XMLLexer.h"

#include <cstring>

#include "syntax/XMLSyntax.h"

namespace kavri {
namespace xml {

using kavri::parser::Lexer;
using kavri::parser::Token;

namespace {

using syntax::isBlank;
using syntax::isQuote;
const Token gTokenTable[] = {
    Token(0, "<"), Token(1, ">"),       Token(2, "/"),  Token(3, "?"),      Token(4, "!"),
    Token(5, "="), Token(6, "[CDATA["), Token(7, "]]"), Token(8, "<!id!>"), Token(9, "<!string!>"),
};

Token gIdentifierToken(8, "<!id!>", false);
Token gStringToken(9, "<!string!>", static_cast<char*>(nullptr));

// The string token's value: grown when a longer string comes, never shrunk,
// released when the library is unloaded.
struct StringBuffer {
    char* data = nullptr;
    unsigned capacity = 0;
    ~StringBuffer() { delete[] data; }
};
StringBuffer gStringBuffer;

}  // namespace

XMLLexer::XMLLexer(unsigned flags) : Lexer((flags & ~1u) | 2u, 1024) {
    fillTokens();
    setTokenName(TOKEN_IDENTIFIER, "identifier");
    setTokenName(TOKEN_STRING, "quoted string");
}

XMLLexer::~XMLLexer() = default;

void XMLLexer::fillTokens() {
    for (const Token& token : gTokenTable) {
        addToken(&token);
    }
}

bool XMLLexer::isNewLine(const char* text) {
    return *text == '\n';
}

bool XMLLexer::isIgnorable(char c) {
    return syntax::isBlank(c);
}

Lexer::CommentGuess XMLLexer::isLineComment(const char*) {
    return COMMENT_NONE;
}

Lexer::CommentGuess XMLLexer::isMultiLineComment(const char* text) {
    return std::strncmp(text, syntax::COMMENT_START, sizeof syntax::COMMENT_START - 1) == 0
               ? COMMENT_FOUND
               : COMMENT_NONE;
}

Lexer::CommentGuess XMLLexer::isEndMultiLineComment(const char* text) {
    return std::strncmp(text, syntax::COMMENT_END, sizeof syntax::COMMENT_END - 1) == 0
               ? COMMENT_FOUND
               : COMMENT_NONE;
}

const char* XMLLexer::getMultilineComment() const {
    return syntax::COMMENT_START;
}

unsigned XMLLexer::getEndMultiLineCommentLength() {
    return sizeof syntax::COMMENT_END - 1;
}

const char* XMLLexer::getEndMultilineComment() const {
    return syntax::COMMENT_END;
}

bool XMLLexer::isString(const char* text) {
    return isQuote(*text);
}

Token* XMLLexer::text2Token(const char* text) {
    const size_t length = std::strlen(text);
    if (length >= 2 && isQuote(text[0]) && text[length - 1] == text[0]) {
        if (gStringBuffer.data == nullptr || gStringBuffer.capacity < length) {
            delete[] gStringBuffer.data;
            gStringBuffer.data = nullptr;
            gStringBuffer.capacity = 0;
            gStringBuffer.data = new char[length + 1];
            gStringBuffer.capacity = static_cast<unsigned>(length);
        }
        // From the second byte on, terminator included; the closing quote
        // then becomes the terminator.
        std::memcpy(gStringBuffer.data, text + 1, length);
        gStringBuffer.data[length - 2] = '\0';
        gStringToken.setValue(gStringBuffer.data);
        return &gStringToken;
    }
    gIdentifierToken.setText(text);
    return &gIdentifierToken;
}

}  // namespace xml
}  // namespace kavri
