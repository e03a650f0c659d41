// XMLLexer and the Lexer/Parser base under it: character classes, the token
// stream, string and identifier tokens, push-back, checks, raw reading and
// positions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/kavrimain/LexerException.h"
#include "framework/kavrimain/Parser.h"
#include "framework/plinth/CriticalSection.h"
#include "syntax/XMLBytes.h"
#include "xml/DOMParser.h"
#include "xml/XMLLexer.h"

namespace {

using kavri::parser::Lexer;
using kavri::parser::Parser;
using kavri::parser::Token;
using kavri::xml::DOMParser;
using kavri::xml::XMLLexer;

// "id:text" per token up to the end; the XML lexer's string tokens (9) show
// their value.
std::string tokens(Lexer& lexer, const std::string& input) {
    lexer.setInput(input);
    std::string out;
    for (Token* t = lexer.nextToken(); t->getId() != Token::END_OF_INPUT; t = lexer.nextToken()) {
        out += std::to_string(t->getId()) + ":" + (t->getId() == 9 ? t->getValue() : t->getText()) +
               " ";
    }
    return out;
}

// The XML lexer's tokens are process-wide: tests hold the reader's lock.
class XMLLexerTest : public ::testing::Test {
  protected:
    XMLLexerTest() : mGuard(DOMParser::gCS) {}

    std::string tokens(const std::string& input) {
        XMLLexer lexer;
        return ::tokens(lexer, input);
    }

    ::core::CriticalSection::Guard mGuard;
};

TEST_F(XMLLexerTest, Text2TokenTellsStringsFromIdentifiers) {
    XMLLexer lexer;
    EXPECT_EQ(lexer.getFlags(), 2u);
    EXPECT_EQ(XMLLexer(1u | 4u).getFlags(), 6u);
    Token* empty = lexer.text2Token("\"\"");
    EXPECT_EQ(empty->getId(), 9u);
    EXPECT_STREQ(empty->getValue(), "");
    EXPECT_STREQ(lexer.text2Token("'abc'")->getValue(), "abc");
    EXPECT_STREQ(lexer.text2Token("'a \"b\" &amp;'")->getValue(), "a \"b\" &amp;");

    char mixed[] = "\"abc'";
    Token* identifier = lexer.text2Token(mixed);
    EXPECT_EQ(identifier->getId(), 8u);
    EXPECT_EQ(identifier->getText(), mixed);  // the piece itself, not a copy
    EXPECT_EQ(lexer.text2Token("'")->getId(), 8u);

    // A long string then a short one: the buffer is reused and terminated.
    lexer.text2Token("'a rather long string value'");
    Token* shorter = lexer.text2Token("'xy'");
    EXPECT_STREQ(shorter->getValue(), "xy");
    EXPECT_STREQ(lexer.text2Token("'abcdefghijklmnopqrstuvwxyz0123456789'")->getValue(),
                 "abcdefghijklmnopqrstuvwxyz0123456789");
}

// The scanner classifies bytes with XMLBytes, the lexer with its hooks and
// its registered tokens: the two must agree on every byte, or a plain name
// would end elsewhere than the lexer's word.
TEST_F(XMLLexerTest, ByteClassesAgreeWithTheLexersVocabulary) {
    using kavri::xml::syntax::XMLBytes;
    XMLLexer lexer;
    std::string firstBytes;  // of the registered tokens, named 'TEXT'
    for (unsigned id = XMLLexer::TOKEN_OPEN; id <= XMLLexer::TOKEN_CDATA_END; ++id) {
        firstBytes += lexer.getTokenName(id).at(1);
    }
    for (int byte = 0; byte < 256; ++byte) {
        const char text[2] = {static_cast<char>(byte), '\0'};
        const bool blank = lexer.isIgnorable(text[0]);
        const bool quote = lexer.isString(text);
        const bool begins = byte != 0 && firstBytes.find(text[0]) != std::string::npos;
        EXPECT_EQ(XMLBytes::is(text[0], XMLBytes::BLANK), blank) << byte;
        EXPECT_EQ(XMLBytes::is(text[0], XMLBytes::QUOTE), quote) << byte;
        EXPECT_EQ(XMLBytes::is(text[0], XMLBytes::TOKEN), begins) << byte;
        EXPECT_EQ(XMLBytes::is(text[0], XMLBytes::NAME), !blank && !quote && !begins) << byte;
    }
}

TEST_F(XMLLexerTest, TokenStreamOfATagWithCommentsStringsAndMarkers) {
    EXPECT_EQ(tokens("<a x = 'v' y=\"w\"/>"), "0:< 8:a 8:x 5:= 9:v 8:y 5:= 9:w 2:/ 1:> ");
    EXPECT_EQ(tokens("<?xml?><!--<b>--><!x>"), "0:< 3:? 8:xml 3:? 1:> 0:< 4:! 8:x 1:> ");
    EXPECT_EQ(tokens("]]>[CDATA[ a]b a[b"), "7:]] 1:> 6:[CDATA[ 8:a]b 8:a[b ");
    // Words end where a quote or a registered text begins; bytes up to 32 are
    // skipped (CR too), bytes from 128 on are text.
    EXPECT_EQ(tokens("a\r\x01\tb"), "8:a 8:b ");
    EXPECT_EQ(tokens("caf\xC3\xA9=x'q'y"), "8:caf\xC3\xA9 5:= 8:x 9:q 8:y ");
    // Unterminated string and comment run to the end of the input.
    EXPECT_EQ(tokens("a 'open"), "8:a 8:'open ");
    EXPECT_EQ(tokens("a <!-- open"), "8:a ");
}

TEST(LexerBase, CaseInsensitiveMatchingAndComments) {
    // A small language of its own: "#" and "/* */" comments, keywords in
    // any case; "/" alone is part of a word.
    class WordLexer : public Lexer {
      public:
        WordLexer() : Lexer(CASE_INSENSITIVE | SKIP_COMMENTS, 16) {
            addToken(&mAnd);
            addToken(&mAt);
        }
        CommentGuess isLineComment(const char* text) override {
            return *text == '#' ? COMMENT_FOUND : COMMENT_NONE;
        }
        CommentGuess isMultiLineComment(const char* text) override {
            return text[0] == '/' && text[1] == '*' ? COMMENT_FOUND : COMMENT_NONE;
        }
        CommentGuess isEndMultiLineComment(const char*) override { return COMMENT_FOUND; }
        const char* getMultilineComment() const override { return "/*"; }
        const char* getEndMultilineComment() const override { return "*/"; }
        unsigned getEndMultiLineCommentLength() override { return 2; }

      private:
        Token mAnd{1, "and"};
        Token mAt{2, "@"};
    };
    WordLexer lexer;
    // A line comment is looked for where a token begins, not inside a word.
    EXPECT_EQ(tokens(lexer, "x AND y # rest\nz@w a#b"),
              "65534:x 1:and 65534:y 65534:z 2:@ 65534:w 65534:a#b ");
    // A multi-line comment ends a word; a byte that only could begin one
    // does not.
    EXPECT_EQ(tokens(lexer, "a/*c*/b d/e"), "65534:a 65534:b 65534:d/e ");
    EXPECT_EQ(lexer.getTokenName(1), "'and'");
    EXPECT_EQ(lexer.getTokenName(7), "token 7");
}

TEST_F(XMLLexerTest, ParserPushBackKeepsOrderAndPositions) {
    Parser parser(new XMLLexer(), true);
    parser.setInput("<a>\n  <b c='d'/>", true);
    Token* open = parser.next();
    Token* name = parser.next();
    EXPECT_EQ(parser.getTokenOffset(), 1u);
    parser.push(name);
    parser.push(open);
    EXPECT_EQ(parser.next(), open);
    EXPECT_EQ(parser.getTokenOffset(), 0u);
    EXPECT_STREQ(parser.next()->getText(), "a");
    EXPECT_EQ(parser.getTokenOffset(), 1u);
    parser.next();  // >
    parser.next();  // <
    parser.next();  // b
    unsigned line = 0, column = 0;
    parser.getLineColumn(parser.getTokenOffset(), line, column);
    EXPECT_EQ(line, 2u);
    EXPECT_EQ(column, 4u);
    parser.push(open);
    EXPECT_EQ(parser.pop(), open);
    EXPECT_EQ(parser.pop(), nullptr);
}

TEST_F(XMLLexerTest, CheckNamesWhatWasFoundAndWhatWasExpected) {
    Parser parser(new XMLLexer(), true);
    parser.setInput("> 'v' word", true);
    auto message = [&parser](unsigned id) {
        try {
            parser.check(parser.next(), id);
        } catch (const kavri::parser::LexerException& e) {
            return std::string(e.getMessage());
        }
        return std::string("no exception");
    };
    EXPECT_EQ(message(8), "Unexpected token '>' (expected identifier)");
    EXPECT_EQ(message(5), "Unexpected string \"v\" (expected '=')");
    EXPECT_EQ(message(8), "no exception");
    EXPECT_EQ(message(0), "Unexpected end of input (expected '<')");
    EXPECT_EQ(parser.next()->getId(), Token::END_OF_INPUT);  // as often as asked
}

TEST_F(XMLLexerTest, ReadUntilReturnsRawTextAndLeavesTheMarker) {
    Parser parser(new XMLLexer(), true);
    parser.setInput("<a>  x &amp; y <!-- c --><![CDATA[q]]>tail", true);
    parser.next();
    parser.next();
    parser.next();
    EXPECT_STREQ(parser.readUntil("<"), "  x &amp; y ");
    EXPECT_EQ(parser.readUntil("<"), nullptr);  // nothing before the marker
    EXPECT_STREQ(parser.readUntil("[CDATA["), "<!-- c --><!");
    parser.skip(7);
    const char* text = nullptr;
    EXPECT_EQ(parser.readUntil("]]>", text), 1u);
    EXPECT_EQ(std::string(text, 1), "q");
    EXPECT_EQ(parser.next()->getId(), 7u);
    EXPECT_EQ(parser.next()->getId(), 1u);
    EXPECT_STREQ(parser.readUntil("<"), "tail");  // no marker: the rest
    parser.skip(100);
    EXPECT_EQ(parser.next()->getId(), Token::END_OF_INPUT);
}

}  // namespace
