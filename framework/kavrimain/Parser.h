// Parser is the base of the framework's recursive-descent readers: a token
// stream over a Lexer with push-back, checks that throw LexerException, and
// raw reading up to a marker. It remembers where each token it returned
// began, so that a reader can say where its input went wrong.
//
// Ownership: with ownsLexer true the parser deletes its lexer. The input
// stream is read whole by setInputStream and stays the caller's.
//
//   Parser parser(new MyLexer(), true);
//   parser.setInputStream(&stream, true);
//   parser.check(parser.next(), NAME);   // throws on anything else
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_PARSER_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_PARSER_H

#include <cstddef>
#include <string>
#include <vector>

#include "framework/kavrimain/Lexer.h"
#include "framework/kavrimain/Token.h"

namespace kavri {
namespace stream {
class InputStream;
}

namespace parser {

class Parser {
  public:
    Parser(Lexer* lexer, bool ownsLexer);
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;
    virtual ~Parser();

    // Reads the whole stream into the lexer and starts at its beginning; with
    // `reset` the pushed-back tokens are dropped too.
    void setInputStream(stream::InputStream* stream, bool reset);
    // The same for text already in memory.
    void setInput(std::string text, bool reset);

    // The next token: the last pushed-back one first, else the lexer's next.
    // At the end of the input a token with id Token::END_OF_INPUT (65535).
    Token* next() {
        Placed placed;
        if (mPushed.empty()) {
            placed.token = mLexer->nextToken();
            placed.offset = mLexer->getTokenOffset();
        } else {
            placed = mPushed.back();
            mPushed.pop_back();
        }
        mTokenOffset = placed.offset;
        remember(placed);
        return placed.token;
    }
    // Pushes a token back; the last pushed comes first. A token pushed back
    // in the reverse order it was taken keeps its position.
    void push(Token* token);
    // Removes the top pushed-back token and returns it (null if none).
    Token* pop();
    // Whether pushed-back tokens wait: raw reading from the lexer's place
    // is only in step with next() when none do.
    bool hasPushed() const { return !mPushed.empty(); }
    // Returns when the token has id `id`; otherwise throws LexerException
    // "Unexpected token 'X' (expected Y)", "Unexpected string \"X\" (expected
    // Y)" or "Unexpected end of input (expected Y)", Y named by the lexer
    // (Lexer::getTokenName).
    void check(const Token* token, unsigned id) {
        if (token == nullptr || token->getId() != id) {
            fail(token, id);
        }
    }

    // Raw characters from the lexer's current place up to `marker` (or to the
    // end of the input), which stays unread. Pushed-back tokens are not
    // looked at. Returns a copy valid until the next call, or null when there
    // are no characters.
    const char* readUntil(const char* marker);
    // The same without copying: `text` points into the input.
    size_t readUntil(const char* marker, const char*& text);
    void skip(unsigned count) { mLexer->skip(count); }

    Lexer* getLexer() const { return mLexer; }
    // Byte offset where the last token returned by next() began.
    size_t getTokenOffset() const { return mTokenOffset; }
    // 1-based line and column (in bytes) of a byte offset of the input.
    void getLineColumn(size_t offset, unsigned& line, unsigned& column) const {
        mLexer->getLineColumn(offset, line, column);
    }

  private:
    struct Placed {
        Token* token;
        size_t offset;
    };
    static constexpr unsigned HISTORY = 8;  // a power of two

    void remember(const Placed& placed) {
        mHistory[mHistoryTop] = placed;
        mHistoryTop = (mHistoryTop + 1) & (HISTORY - 1);
        if (mHistoryCount < HISTORY) {
            ++mHistoryCount;
        }
    }
    [[noreturn]] void fail(const Token* token, unsigned id) const;
    std::string describe(const Token* token) const;

    Lexer* mLexer;
    bool mOwnsLexer;
    std::vector<Placed> mPushed;
    // The last tokens returned, so that push can give each its position back.
    Placed mHistory[HISTORY] = {};  // a ring; mHistoryTop is the next slot
    unsigned mHistoryTop = 0;
    unsigned mHistoryCount = 0;
    size_t mTokenOffset = 0;
    std::string mUntil;
};

}  // namespace parser
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_PARSER_H
