#include "framework/kavrimain/Parser.h"

#include "framework/kavrimain/LexerException.h"

namespace kavri {
namespace parser {

namespace {

// Texts in messages stay on one line and short.
std::string shorten(const char* text) {
    static const size_t LIMIT = 40;
    std::string out;
    for (size_t i = 0; text[i] != '\0'; ++i) {
        if (i == LIMIT) {
            out += "...";
            break;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        out += c < 32 ? ' ' : static_cast<char>(c);
    }
    return out;
}

}  // namespace

Parser::Parser(Lexer* lexer, bool ownsLexer) : mLexer(lexer), mOwnsLexer(ownsLexer) {}

Parser::~Parser() {
    if (mOwnsLexer) {
        delete mLexer;
    }
}

void Parser::setInputStream(stream::InputStream* stream, bool reset) {
    if (reset) {
        mPushed.clear();
        mHistoryCount = 0;
    }
    mTokenOffset = 0;
    mLexer->setInputStream(stream);
}

void Parser::setInput(std::string text, bool reset) {
    if (reset) {
        mPushed.clear();
        mHistoryCount = 0;
    }
    mTokenOffset = 0;
    mLexer->setInput(std::move(text));
}

void Parser::push(Token* token) {
    size_t offset = mLexer->getOffset();
    const unsigned last = (mHistoryTop + HISTORY - 1) & (HISTORY - 1);
    if (mHistoryCount > 0 && mHistory[last].token == token) {
        offset = mHistory[last].offset;
        mHistoryTop = last;
        --mHistoryCount;
    }
    mPushed.push_back({token, offset});
}

Token* Parser::pop() {
    if (mPushed.empty()) {
        return nullptr;
    }
    Token* token = mPushed.back().token;
    mPushed.pop_back();
    return token;
}

std::string Parser::describe(const Token* token) const {
    if (token == nullptr || token->getId() == Token::END_OF_INPUT) {
        return "end of input";
    }
    if (token->getValue() != nullptr) {
        return "string \"" + shorten(token->getValue()) + "\"";
    }
    return "token '" + shorten(token->getText() != nullptr ? token->getText() : "") + "'";
}

void Parser::fail(const Token* token, unsigned id) const {
    std::string found = describe(token);
    std::string expected = mLexer->getTokenName(id);
    throw LexerException("Unexpected %s (expected %s)", found.c_str(), expected.c_str());
}

const char* Parser::readUntil(const char* marker) {
    const char* text = nullptr;
    size_t length = mLexer->readUntil(marker, text);
    if (length == 0) {
        return nullptr;
    }
    mUntil.assign(text, length);
    return mUntil.c_str();
}

size_t Parser::readUntil(const char* marker, const char*& text) {
    return mLexer->readUntil(marker, text);
}

}  // namespace parser
}  // namespace kavri
