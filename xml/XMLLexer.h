// XMLLexer is the tokenizer of the XML reader: the generic Lexer with the XML
// vocabulary. It registers ten tokens (ids 0 to 9: "<" ">" "/" "?" "!" "="
// "[CDATA[" "]]" and the identifier and string markers), skips bytes 0 to 32
// and "<!--" ... "-->" comments, and turns every other piece into one of two
// process-wide tokens: the identifier token (id 8, its text the word) or the
// string token (id 9, its value the text between the quotes).
//
// Ownership and threads: the token table, the two tokens and the string
// buffer are shared by every XMLLexer of the process and are rewritten with
// each piece, so only one XMLLexer may run at a time: hold DOMParser::gCS
// while using one directly (DOMParser does so for every parse).
//
//   ::core::CriticalSection::Guard guard(DOMParser::gCS);
//   XMLLexer lexer;
//   lexer.setInput("<a x='1'/>");   // then nextToken() until id 65535
#ifndef KAVRIXML_XML_XMLLEXER_H
#define KAVRIXML_XML_XMLLEXER_H

#include "framework/kavrimain/Lexer.h"

namespace kavri {
namespace xml {

class XMLLexer : public kavri::parser::Lexer {
  public:
    // Token ids of the XML vocabulary.
    enum TokenId {
        TOKEN_OPEN = 0,         // <
        TOKEN_CLOSE = 1,        // >
        TOKEN_SLASH = 2,        // /
        TOKEN_QUESTION = 3,     // ?
        TOKEN_EXCLAMATION = 4,  // !
        TOKEN_EQUALS = 5,       // =
        TOKEN_CDATA = 6,        // [CDATA[
        TOKEN_CDATA_END = 7,    // ]]
        TOKEN_IDENTIFIER = 8,
        TOKEN_STRING = 9
    };

    // The base gets `flags` with flag 1 (case-insensitive matching) cleared
    // and flag 2 (skip comments) set, and a piece buffer of 1024 bytes.
    explicit XMLLexer(unsigned flags = 0);
    XMLLexer(const XMLLexer&) = default;
    XMLLexer& operator=(const XMLLexer&) = default;
    ~XMLLexer() override;

    // Line feed only: a carriage return is no new line.
    bool isNewLine(const char* text) override;
    // Every byte up to 32; bytes 128 to 255 are text.
    bool isIgnorable(char c) override;
    // Always COMMENT_NONE: XML has no line comments.
    CommentGuess isLineComment(const char* text) override;
    // COMMENT_FOUND where "<!--" begins.
    CommentGuess isMultiLineComment(const char* text) override;
    // COMMENT_FOUND where "-->" begins.
    CommentGuess isEndMultiLineComment(const char* text) override;
    const char* getMultilineComment() const override;
    unsigned getEndMultiLineCommentLength() override;
    const char* getEndMultilineComment() const override;
    // A double quote or an apostrophe.
    bool isString(const char* text) override;
    // A piece of two or more bytes that begins and ends with the same quote
    // becomes the string token, its value copied into the process-wide
    // buffer without the quotes (no escape is interpreted); anything else
    // becomes the identifier token, whose text is the piece itself.
    kavri::parser::Token* text2Token(const char* text) override;

  private:
    void fillTokens();
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XMLLEXER_H
