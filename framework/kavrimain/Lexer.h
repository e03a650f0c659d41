// Lexer is the framework's generic tokenizer. It reads its whole input into
// one buffer and cuts it into tokens: ignorable characters and comments are
// skipped, registered texts come back as their registered Token, quoted
// strings and every other word go to text2Token, which turns the piece into a
// token. Subclasses supply the vocabulary through the hooks below.
//
// Ownership: the lexer keeps pointers to the tokens given to addToken and
// never frees them; they must outlive it. Texts of tokens made by text2Token
// point into the lexer's piece buffer and change with the next token.
//
//   MyLexer lexer;                       // registers its tokens
//   lexer.setInput("a = 'b'");
//   for (Token* t = lexer.nextToken(); t->getId() != Token::END_OF_INPUT; t = lexer.nextToken()) {
//   ... }
//
// Speed: the one-character hooks (isIgnorable, isString, isNewLine) are asked
// once per byte value when scanning starts and their answers kept in a table,
// so they must depend on the character at the pointer only. The comment
// hooks and findToken are asked at places where their first character stands,
// isLineComment once per token, isIdentifier only at bytes inside a word that
// could begin a registered token or a comment, and text2Token once per piece.
// Nothing is allocated per token once the piece buffer has grown to the
// longest piece.
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_LEXER_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_LEXER_H

#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "framework/kavrimain/Token.h"

namespace kavri {
namespace stream {
class InputStream;
}

namespace parser {

class Lexer {
  public:
    // What a comment hook answers: no comment here, the text is too short to
    // tell, or a comment marker stands here.
    enum CommentGuess { COMMENT_NONE = 0, COMMENT_MAYBE = 1, COMMENT_FOUND = 2 };

    // Constructor flags.
    enum Flags {
        // Registered texts match ignoring ASCII case.
        CASE_INSENSITIVE = 1,
        // Comments (isLineComment, isMultiLineComment) are skipped; without
        // this flag comment markers are ordinary input.
        SKIP_COMMENTS = 2
    };

    // The id of the word token of the base text2Token.
    static constexpr unsigned WORD = 65534;

    // `pieceCapacity` is the room the piece buffer starts with; it grows when
    // a longer piece comes.
    Lexer(unsigned flags, unsigned pieceCapacity);
    Lexer(const Lexer& other);
    Lexer& operator=(const Lexer& other);
    virtual ~Lexer();

    // --- Hooks, in this order --------------------------------------------
    // With `prefix`, the longest registered token whose text begins `text`;
    // otherwise the registered token whose text equals `text`. Null if none.
    virtual Token* findToken(const char* text, bool prefix);
    // Whether a word may go on at `text`: false where an ignorable character,
    // a quote, a registered token or a comment begins.
    virtual bool isIdentifier(const char* text);
    virtual bool isNewLine(const char* text);
    virtual bool isIgnorable(char c);
    virtual CommentGuess isLineComment(const char* text);
    virtual CommentGuess isMultiLineComment(const char* text);
    virtual CommentGuess isEndMultiLineComment(const char* text);
    virtual const char* getMultilineComment() const;
    virtual unsigned getEndMultiLineCommentLength();
    virtual const char* getEndMultilineComment() const;
    virtual bool isString(const char* text);
    // Turns a NUL-terminated piece (a word, or a string with its quotes) into
    // a token. The base returns a word token (id WORD) pointing at the piece.
    virtual Token* text2Token(const char* text);

    // --- Vocabulary -------------------------------------------------------
    // Keeps the pointer; the token must outlive the lexer.
    void addToken(const Token* token);
    // How error messages name tokens of this id ("identifier"); by default a
    // registered token is named by its text in apostrophes.
    void setTokenName(unsigned id, const char* name);
    std::string getTokenName(unsigned id) const;
    unsigned getFlags() const { return mFlags; }

    // --- Input --------------------------------------------------------------
    // Reads the whole stream into the lexer's buffer and starts at its
    // beginning. Throws what the stream throws.
    void setInputStream(stream::InputStream* stream);
    void setInput(std::string bytes);
    const std::string& getInput() const { return mInput; }
    // Hands the input over to the caller, leaving the lexer with none (a
    // reader that rewrites its input sets it again with setInput).
    std::string takeInput() {
        mPos = mTokenStart = 0;
        std::string taken;
        taken.swap(mInput);
        return taken;
    }

    // The next token; the end token (id Token::END_OF_INPUT) once the input is
    // used up, as often as asked.
    Token* nextToken();
    // Raw reading: the bytes from the current place up to the first
    // occurrence of `marker`, or up to the end of the input when it never
    // comes. `text` points into the input buffer; the marker stays unread.
    // Returns the number of bytes.
    size_t readUntil(const char* marker, const char*& text);
    // The same for a marker of one byte, inline: a reader of text between
    // tags calls it once per text, and most of those texts are short or empty.
    size_t readUntil(char marker, const char*& text) {
        text = mInput.data() + mPos;
        const size_t rest = mInput.size() - mPos;
        const void* found = std::memchr(text, marker, rest);
        const size_t length =
            found != nullptr ? static_cast<size_t>(static_cast<const char*>(found) - text) : rest;
        mPos += length;
        return length;
    }
    // Moves the place to byte `offset` (no further than the end).
    void setOffset(size_t offset) { mPos = offset < mInput.size() ? offset : mInput.size(); }
    // Passes over `count` bytes (no further than the end).
    void skip(size_t count) { mPos = mInput.size() - mPos < count ? mInput.size() : mPos + count; }

    // Byte offset of the next unread byte, and of the first byte of the last
    // token that nextToken returned.
    size_t getOffset() const { return mPos; }
    size_t getTokenOffset() const { return mTokenStart; }
    // 1-based line and column (in bytes) of a byte offset of the input,
    // counted on demand.
    void getLineColumn(size_t offset, unsigned& line, unsigned& column);

  private:
    enum CharClass : unsigned char {
        CLASS_IGNORABLE = 1,
        CLASS_QUOTE = 2,
        CLASS_TOKEN = 4,    // first byte of a registered token
        CLASS_COMMENT = 8,  // first byte of the multi-line comment marker
        CLASS_NEWLINE = 16
    };
    struct Entry {
        const Token* token;
        size_t length;
        unsigned char first;  // the byte it is filed under
    };

    void prepare();
    Token* matchRegistered(const char* text, bool prefix);
    const char* skipMultiLineComment(const char* p, const char* end);
    const char* skipLineComment(const char* p, const char* end) const;
    const char* skipIgnored(const char* p, const char* end);
    const char* wordEnd(const char* p, const char* end);
    Token* pieceToken(const char* begin, const char* end);

    unsigned mFlags;
    unsigned mPieceCapacity;
    std::vector<const Token*> mRegistered;                 // in addToken order
    std::vector<Entry> mTokens;                            // by first byte, longest first
    unsigned short mFirst[257] = {};                       // ranges of mTokens per byte
    std::vector<std::pair<unsigned, std::string>> mNames;  // setTokenName
    unsigned char mClass[256] = {};
    bool mReady = false;
    std::string mCommentStart;
    std::string mCommentEnd;
    size_t mCommentEndLength = 0;

    std::string mInput;
    size_t mPos = 0;
    size_t mTokenStart = 0;
    std::vector<char> mPiece;  // the last piece, NUL-terminated
    const Token* mLastMatch = nullptr;
    size_t mLastMatchLength = 0;
    Token mWord;
};

}  // namespace parser
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_LEXER_H
