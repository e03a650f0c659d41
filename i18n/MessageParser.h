// MessageParser reads the text of a message into its data model and checks
// what the data model requires (declarations, options, variants, selectors).
// The first syntax error stops it; a data model error is kept while the rest
// is read, so that a later syntax error is the one reported.
//
//   message::Model model;
//   message::MessageParser(text, model).parse();   // throws MessageFormatException
//
// A parser is used once, by one thread.
#ifndef KAVRIXML_I18N_MESSAGEPARSER_H
#define KAVRIXML_I18N_MESSAGEPARSER_H

#include <string>
#include <unordered_map>
#include <vector>

#include "i18n/MessageModel.h"

namespace kavri {
namespace i18n {
namespace message {

class MessageParser {
  public:
    MessageParser(const std::string& text, Model& model);
    void parse();

  private:
    // Characters
    // The code point at the position (ASCII without a call).
    uint32_t _peek(size_t& length) const {
        const unsigned char b = static_cast<unsigned char>(mText[mPos]);
        if (b - 1u < 0x7Fu) {
            length = 1;
            return b;
        }
        return _peekMultibyte(length);
    }
    uint32_t _peekMultibyte(size_t& length) const;
    uint32_t _peek() const;
    bool _at(char c) const { return mPos < mEnd && mText[mPos] == c; }
    bool _atWord(const char* word) const;
    void _expect(char c);
    [[noreturn]] void _fail(const char* reason) const;
    [[noreturn]] void _failAt(size_t offset, const char* reason) const;
    void _dataModelError(MessageError::Type type, size_t offset, const char* reason);
    // Blanks: `o` skips any, `s` requires a blank among them.
    bool _skipOptional();
    void _skipRequired();

    // Message structure
    void _parseComplex();
    void _parseDeclaration(bool input);
    void _parseMatcher();
    void _parseVariant();
    void _parseQuotedPattern(Pattern& pattern);
    void _parsePattern(Pattern& pattern, bool quoted);
    void _appendText(Pattern& pattern, std::string& text);

    // Expressions and their parts
    void _parsePlaceholder(Pattern& pattern);
    uint32_t _parseExpression(bool inDeclaration);
    void _parseMarkup(Pattern& pattern);
    bool _parseAnnotation(Expression& expression);
    bool _parseOptions(std::vector<Option>& options);
    void _parseAttributes(bool blank);
    Value _parseOptionValue();
    std::string _parseName();
    std::string _parseIdentifier();
    std::string _parseLiteral();
    std::string _parseQuotedLiteral();
    uint32_t _parseVariable();
    bool _atNameStart() const;
    bool _atLiteralStart() const;

    // Variables and the data model's rules
    uint32_t _variableIndex(const std::string& name);
    void _noteReferences(const Expression& expression, uint32_t declared);
    void _checkSelector(uint32_t variable, size_t offset);
    void _checkVariants();
    void _resolveFunction(Expression& expression);

    const char* mText;
    size_t mPos = 0;
    size_t mEnd;
    Model& mModel;
    // Variables used or declared so far, for duplicate declarations.
    std::vector<bool> mSeen;
    std::unordered_map<std::string, uint32_t> mVariableIndexes;
    bool mHaveDataModelError = false;
    MessageError::Type mDataModelType = MessageError::SYNTAX_ERROR;
    size_t mDataModelOffset = 0;
    std::string mDataModelReason;
};

}  // namespace message
}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_MESSAGEPARSER_H
