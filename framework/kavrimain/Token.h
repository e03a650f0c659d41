// Token is one unit of a lexer's output: an id, a text and, for tokens that
// carry one, a value (a quoted string's contents, for example).
//
// Ownership: a token normally only points at its text and value; lexers hand
// out the same token objects again and again and re-point them at each piece
// of input, so a caller that keeps a text must copy it before asking for the
// next token. A token built with ownsText true keeps its own copy instead.
//
//   static const kavri::parser::Token kOpen(0, "<");
//   lexer.addToken(&kOpen);
//   if (parser.next()->getId() == 0) { ... }
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_TOKEN_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_TOKEN_H

#include <string>

namespace kavri {
namespace parser {

class Token {
  public:
    // The id of the token that parsers return at the end of the input.
    static constexpr unsigned END_OF_INPUT = 65535;

    // A registered token: the text is a literal that outlives the token.
    Token(unsigned id, const char* text) : mId(id), mText(text) {}
    // With ownsText the token copies `text`; otherwise it points at it, and
    // its lexer may re-point it with setText.
    Token(unsigned id, const char* text, bool ownsText) : mId(id), mText(text) {
        if (ownsText) {
            adopt(text);
        }
    }
    // A token with a value, which it points at without owning.
    Token(unsigned id, const char* text, char* value) : mId(id), mText(text), mValue(value) {}

    Token(const Token& other) : mId(other.mId), mText(other.mText), mValue(other.mValue) {
        if (other.mOwnsText) {
            adopt(other.mText);
        }
    }
    Token& operator=(const Token& other) {
        if (this != &other) {
            mId = other.mId;
            mValue = other.mValue;
            mOwnsText = false;
            mText = other.mText;
            if (other.mOwnsText) {
                adopt(other.mText);
            }
        }
        return *this;
    }
    ~Token() = default;

    unsigned getId() const { return mId; }
    const char* getText() const { return mText; }
    char* getValue() const { return mValue; }

    // Re-points the text (a token that owned its text stops owning it).
    void setText(const char* text) {
        mText = text;
        mOwnsText = false;
    }
    void setValue(char* value) { mValue = value; }

  private:
    void adopt(const char* text) {
        mOwned = text != nullptr ? text : "";
        mText = mOwned.c_str();
        mOwnsText = true;
    }

    unsigned mId;
    const char* mText;
    char* mValue = nullptr;
    bool mOwnsText = false;
    std::string mOwned;
};

}  // namespace parser
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_TOKEN_H
