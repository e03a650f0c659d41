#include "i18n/MessageParser.h"

#include <cstring>
#include <unordered_set>

#include "i18n/MessageNormalizer.h"
#include "syntax/XMLChars.h"

namespace kavri {
namespace i18n {
namespace message {

namespace {

// XML's white space and the ideographic space.
bool isBlank(uint32_t c) {
    return (c < 0x80 && xml::syntax::isSpace(static_cast<char>(c))) || c == 0x3000;
}

// The marks a message may carry around names and between tokens so that it
// displays right in a bidirectional editor; they mean nothing.
bool isBidiMark(uint32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x2066 && c <= 0x2069);
}

// name-start: letters, "+", "_" and nearly all of Unicode above ASCII, less
// blanks, controls, bidi marks, surrogates and noncharacters.
bool isNameStart(uint32_t c) {
    if (c < 0x80) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '+' || c == '_';
    }
    if (c < 0xA1 || c == 0x061C || c == 0x1680 || (c >= 0x2000 && c <= 0x200A)) {
        return false;
    }
    if (c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202F) || c == 0x205F) {
        return false;
    }
    if ((c >= 0x2066 && c <= 0x2069) || c == 0x3000 || (c >= 0xD800 && c <= 0xDFFF)) {
        return false;
    }
    if ((c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE) {
        return false;
    }
    return c <= 0x10FFFD;
}

bool isNameChar(uint32_t c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Text bytes that need no look: ASCII other than NUL, braces and backslash.
bool isPlainText(char c) {
    const unsigned char b = static_cast<unsigned char>(c);
    return b - 1u < 0x7Fu && c != '{' && c != '}' && c != '\\';
}

bool isEscapable(char c) {
    return c == '\\' || c == '{' || c == '|' || c == '}';
}

struct BuiltIn {
    const char* name;
    FunctionId id;
};

const BuiltIn BUILT_INS[] = {
    {"string", FunctionId::STRING},     {"number", FunctionId::NUMBER},
    {"integer", FunctionId::INTEGER},   {"percent", FunctionId::PERCENT},
    {"currency", FunctionId::CURRENCY}, {"offset", FunctionId::OFFSET},
};

}  // namespace

MessageParser::MessageParser(const std::string& text, Model& model)
    : mText(text.data()), mEnd(text.size()), mModel(model) {}

// --- Characters ----------------------------------------------------------------

uint32_t MessageParser::_peekMultibyte(size_t& length) const {
    uint32_t c = 0;
    length = xml::syntax::decodeUTF8(mText + mPos, mText + mEnd, c);
    if (length == 0) {
        _fail("bytes that are no UTF-8");
    }
    if (c == 0) {
        _fail("a NUL character");
    }
    return c;
}

uint32_t MessageParser::_peek() const {
    size_t length;
    return mPos < mEnd ? _peek(length) : 0;
}

bool MessageParser::_atWord(const char* word) const {
    const size_t length = std::strlen(word);
    return mEnd - mPos >= length && std::memcmp(mText + mPos, word, length) == 0;
}

void MessageParser::_expect(char c) {
    if (!_at(c)) {
        const char reason[] = {'e', 'x', 'p', 'e', 'c', 't', 'e', 'd', ' ', '"', c, '"', '\0'};
        _fail(reason);
    }
    ++mPos;
}

void MessageParser::_fail(const char* reason) const {
    _failAt(mPos, mPos < mEnd ? reason : "unexpected end of message");
}

void MessageParser::_failAt(size_t offset, const char* reason) const {
    throw MessageFormatException(MessageError::SYNTAX_ERROR, offset, reason);
}

void MessageParser::_dataModelError(MessageError::Type type, size_t offset, const char* reason) {
    if (!mHaveDataModelError || offset < mDataModelOffset) {
        mHaveDataModelError = true;
        mDataModelType = type;
        mDataModelOffset = offset;
        mDataModelReason = reason;
    }
}

bool MessageParser::_skipOptional() {
    bool blank = false;
    size_t length;
    while (mPos < mEnd) {
        const uint32_t c = _peek(length);
        if (isBlank(c)) {
            blank = true;
        } else if (!isBidiMark(c)) {
            break;
        }
        mPos += length;
    }
    return blank;
}

void MessageParser::_skipRequired() {
    if (!_skipOptional()) {
        _fail("expected white space");
    }
}

// --- Message structure ---------------------------------------------------------

void MessageParser::parse() {
    if (mEnd > MessageFormat::MAX_LENGTH) {
        _failAt(MessageFormat::MAX_LENGTH, "message longer than the limit");
    }
    _skipOptional();
    if (_at('.') || _atWord("{{")) {
        _parseComplex();
    } else {
        mPos = 0;
        _parsePattern(mModel.pattern, false);
    }
    if (mHaveDataModelError) {
        throw MessageFormatException(mDataModelType, mDataModelOffset, mDataModelReason);
    }
}

void MessageParser::_parseComplex() {
    for (;;) {
        if (_atWord(".input")) {
            mPos += 6;
            _parseDeclaration(true);
        } else if (_atWord(".local")) {
            mPos += 6;
            _parseDeclaration(false);
        } else if (_atWord(".match")) {
            _parseMatcher();
            break;
        } else if (_atWord("{{")) {
            _parseQuotedPattern(mModel.pattern);
            break;
        } else {
            _fail(_at('.') ? "unknown keyword" : "expected a declaration or a quoted pattern");
        }
        _skipOptional();
    }
    _skipOptional();
    if (mPos < mEnd) {
        _fail("text after the end of the message");
    }
}

void MessageParser::_parseDeclaration(bool input) {
    Declaration declaration;
    declaration.input = input;
    size_t nameOffset;
    if (input) {
        _skipOptional();
        if (!_atWord("{") || (mPos + 1 < mEnd && mText[mPos + 1] == '{')) {
            _fail("expected a variable expression");
        }
        declaration.expression = _parseExpression(true);
        const Expression& expression = mModel.expressions[declaration.expression];
        if (expression.operand.kind != Value::VARIABLE) {
            _failAt(expression.offset, "an input declaration needs a variable");
        }
        declaration.variable = expression.operand.variable;
        nameOffset = expression.operand.offset;
    } else {
        _skipRequired();
        nameOffset = mPos;
        declaration.variable = _parseVariable();
        _skipOptional();
        _expect('=');
        _skipOptional();
        if (!_at('{')) {
            _fail("expected an expression");
        }
        declaration.expression = _parseExpression(true);
    }
    _noteReferences(mModel.expressions[declaration.expression],
                    input ? declaration.variable : NONE);
    Variable& variable = mModel.variables[declaration.variable];
    if (mSeen[declaration.variable]) {
        _dataModelError(MessageError::DUPLICATE_DECLARATION, nameOffset,
                        "variable declared after it was declared or used");
    } else {
        mSeen[declaration.variable] = true;
        variable.declaration = static_cast<uint32_t>(mModel.declarations.size());
    }
    mModel.declarations.push_back(declaration);
}

void MessageParser::_parseMatcher() {
    mPos += 6;
    do {
        _skipRequired();
        if (!_at('$')) {
            if (mModel.selectors.empty()) {
                _fail("expected a selector variable");
            }
            break;
        }
        if (mModel.selectors.size() == MessageFormat::MAX_SELECTORS) {
            _fail("more selectors than the limit");
        }
        const size_t offset = mPos;
        const uint32_t variable = _parseVariable();
        _checkSelector(variable, offset);
        mModel.selectors.push_back(variable);
        mModel.selectorOffsets.push_back(static_cast<uint32_t>(offset));
    } while (mPos < mEnd);
    // The blank that ended the selectors was taken; the first variant follows.
    for (;;) {
        _parseVariant();
        _skipOptional();
        if (mPos == mEnd) {
            break;
        }
    }
    _checkVariants();
}

void MessageParser::_parseVariant() {
    if (mModel.variants.size() == MessageFormat::MAX_VARIANTS) {
        _fail("more variants than the limit");
    }
    Variant variant;
    for (;;) {
        Key key;
        key.offset = static_cast<uint32_t>(mPos);
        if (_at('*')) {
            key.catchAll = true;
            ++mPos;
        } else if (_atLiteralStart()) {
            key.value = normalizeNFC(_parseLiteral());
        } else {
            _fail(variant.keys.empty() ? "expected a variant key" : "expected a key or a pattern");
        }
        variant.keys.push_back(std::move(key));
        const bool blank = _skipOptional();
        if (_atWord("{{")) {
            break;
        }
        if (!blank) {
            _fail("expected white space");
        }
    }
    if (variant.keys.size() != mModel.selectors.size()) {
        _dataModelError(MessageError::VARIANT_KEY_MISMATCH, variant.keys[0].offset,
                        "the number of keys differs from the number of selectors");
    }
    _parseQuotedPattern(variant.pattern);
    mModel.variants.push_back(std::move(variant));
}

void MessageParser::_parseQuotedPattern(Pattern& pattern) {
    mPos += 2;
    _parsePattern(pattern, true);
    if (!_atWord("}}")) {
        _fail("expected \"}}\"");
    }
    mPos += 2;
}

// Text runs to a placeholder, to "}}" in a quoted pattern, or to the end.
void MessageParser::_parsePattern(Pattern& pattern, bool quoted) {
    std::string text;
    while (mPos < mEnd) {
        size_t run = mPos;
        while (run < mEnd && isPlainText(mText[run])) {
            ++run;
        }
        if (run > mPos) {
            text.append(mText + mPos, run - mPos);
            mPos = run;
            continue;
        }
        const char c = mText[mPos];
        if (c == '{') {
            _appendText(pattern, text);
            _parsePlaceholder(pattern);
        } else if (c == '}') {
            if (quoted) {
                break;
            }
            _fail("\"}\" in text must be escaped");
        } else if (c == '\\') {
            if (mPos + 1 >= mEnd || !isEscapable(mText[mPos + 1])) {
                _fail("unknown escape");
            }
            text += mText[mPos + 1];
            mPos += 2;
        } else {
            size_t length;
            _peek(length);
            text.append(mText + mPos, length);
            mPos += length;
        }
    }
    _appendText(pattern, text);
}

void MessageParser::_appendText(Pattern& pattern, std::string& text) {
    if (!text.empty()) {
        pattern.push_back(Element{Element::TEXT, NONE, std::move(text)});
        text.clear();
    }
}

// --- Expressions ---------------------------------------------------------------

void MessageParser::_parsePlaceholder(Pattern& pattern) {
    const size_t start = mPos;
    ++mPos;
    _skipOptional();
    if (_at('#') || _at('/')) {
        mPos = start;
        _parseMarkup(pattern);
        return;
    }
    mPos = start;
    const uint32_t index = _parseExpression(false);
    _noteReferences(mModel.expressions[index], NONE);
    pattern.push_back(Element{Element::EXPRESSION, index, std::string()});
}

uint32_t MessageParser::_parseExpression(bool inDeclaration) {
    Expression expression;
    expression.offset = static_cast<uint32_t>(mPos);
    ++mPos;
    _skipOptional();
    if (_at('$')) {
        expression.operand.kind = Value::VARIABLE;
        expression.operand.offset = static_cast<uint32_t>(mPos);
        expression.operand.variable = _parseVariable();
    } else if (_atLiteralStart()) {
        expression.operand.kind = Value::LITERAL;
        expression.operand.offset = static_cast<uint32_t>(mPos);
        expression.operand.text = _parseLiteral();
    } else if (!_at(':')) {
        _fail(inDeclaration || !(_at('#') || _at('/')) ? "expected an expression"
                                                       : "markup is not allowed here");
    }
    bool blank = expression.operand.kind == Value::ABSENT || _skipOptional();
    if (_at(':')) {
        if (!blank) {
            _fail("expected white space before the function");
        }
        blank = _parseAnnotation(expression);
    }
    _parseAttributes(blank);
    _expect('}');
    _resolveFunction(expression);
    mModel.expressions.push_back(std::move(expression));
    return static_cast<uint32_t>(mModel.expressions.size() - 1);
}

void MessageParser::_parseMarkup(Pattern& pattern) {
    Markup markup;
    markup.offset = static_cast<uint32_t>(mPos);
    ++mPos;
    _skipOptional();
    markup.kind = _at('#') ? MessagePart::MARKUP_OPEN : MessagePart::MARKUP_CLOSE;
    ++mPos;
    markup.name = _parseIdentifier();
    _parseAttributes(_parseOptions(markup.options));
    if (_at('/') && markup.kind == MessagePart::MARKUP_OPEN) {
        markup.kind = MessagePart::MARKUP_STANDALONE;
        ++mPos;
    }
    _expect('}');
    Expression references;
    references.options = markup.options;
    _noteReferences(references, NONE);
    mModel.markups.push_back(std::move(markup));
    pattern.push_back(
        Element{Element::MARKUP, static_cast<uint32_t>(mModel.markups.size() - 1), std::string()});
}

bool MessageParser::_parseAnnotation(Expression& expression) {
    ++mPos;
    expression.functionName = _parseIdentifier();
    return _parseOptions(expression.options);
}

// Options follow their function or markup name, each after a blank; the
// blanks before attributes or the closing brace are taken too, and the
// result tells whether there were any.
bool MessageParser::_parseOptions(std::vector<Option>& options) {
    std::unordered_set<std::string> names;
    for (;;) {
        const bool blank = _skipOptional();
        if (!blank || !_atNameStart()) {
            if (!blank && _atNameStart()) {
                _fail("expected white space before the option");
            }
            if (mPos < mEnd && !_at('}') && !_at('@') && !_at('/')) {
                _fail("expected an option, an attribute or \"}\"");
            }
            return blank;
        }
        Option option;
        option.offset = static_cast<uint32_t>(mPos);
        option.name = _parseIdentifier();
        if (!names.insert(option.name).second) {
            _dataModelError(MessageError::DUPLICATE_OPTION_NAME, option.offset,
                            "option given twice");
        }
        _skipOptional();
        _expect('=');
        _skipOptional();
        option.value = _parseOptionValue();
        options.push_back(std::move(option));
    }
}

Value MessageParser::_parseOptionValue() {
    Value value;
    value.offset = static_cast<uint32_t>(mPos);
    if (_at('$')) {
        value.kind = Value::VARIABLE;
        value.variable = _parseVariable();
    } else if (_atLiteralStart()) {
        value.kind = Value::LITERAL;
        value.text = _parseLiteral();
    } else {
        _fail("expected a literal or a variable");
    }
    return value;
}

// Attributes are read and dropped: they never change the output.
void MessageParser::_parseAttributes(bool blank) {
    for (;;) {
        blank = _skipOptional() || blank;
        if (!_at('@')) {
            return;
        }
        if (!blank) {
            _fail("expected white space before the attribute");
        }
        ++mPos;
        _parseIdentifier();
        const size_t before = mPos;
        _skipOptional();
        if (_at('=')) {
            ++mPos;
            _skipOptional();
            if (!_atLiteralStart()) {
                _fail("expected a literal");
            }
            _parseLiteral();
        } else {
            mPos = before;
        }
        blank = false;
    }
}

// name = [bidi] name-start *name-char [bidi]; the marks are not part of it.
std::string MessageParser::_parseName() {
    size_t length;
    if (mPos < mEnd && isBidiMark(_peek(length))) {
        mPos += length;
    }
    if (!_atNameStart()) {
        _fail("expected a name");
    }
    const size_t start = mPos;
    while (mPos < mEnd && isNameChar(_peek(length))) {
        mPos += length;
    }
    std::string name = normalizeNFC(std::string(mText + start, mPos - start));
    if (mPos < mEnd && isBidiMark(_peek(length))) {
        mPos += length;
    }
    return name;
}

std::string MessageParser::_parseIdentifier() {
    std::string name = _parseName();
    if (_at(':')) {
        ++mPos;
        name += ':';
        name += _parseName();
    }
    return name;
}

std::string MessageParser::_parseLiteral() {
    if (_at('|')) {
        return _parseQuotedLiteral();
    }
    const size_t start = mPos;
    size_t length;
    while (mPos < mEnd && isNameChar(_peek(length))) {
        mPos += length;
    }
    return std::string(mText + start, mPos - start);
}

std::string MessageParser::_parseQuotedLiteral() {
    ++mPos;
    std::string text;
    while (!_at('|')) {
        if (mPos >= mEnd) {
            _fail("unterminated literal");
        }
        if (_at('\\')) {
            if (mPos + 1 >= mEnd || !isEscapable(mText[mPos + 1])) {
                _fail("unknown escape");
            }
            text += mText[mPos + 1];
            mPos += 2;
            continue;
        }
        size_t length;
        _peek(length);
        text.append(mText + mPos, length);
        mPos += length;
    }
    ++mPos;
    return text;
}

uint32_t MessageParser::_parseVariable() {
    _expect('$');
    return _variableIndex(_parseName());
}

bool MessageParser::_atNameStart() const {
    size_t length;
    return mPos < mEnd && isNameStart(_peek(length));
}

bool MessageParser::_atLiteralStart() const {
    size_t length;
    return mPos < mEnd && (_at('|') || isNameChar(_peek(length)));
}

// --- Variables and the data model's rules --------------------------------------

uint32_t MessageParser::_variableIndex(const std::string& name) {
    const auto found = mVariableIndexes.find(name);
    if (found != mVariableIndexes.end()) {
        return found->second;
    }
    mVariableIndexes.emplace(name, static_cast<uint32_t>(mModel.variables.size()));
    mModel.variables.push_back(Variable{name, NONE});
    mSeen.push_back(false);
    return static_cast<uint32_t>(mModel.variables.size() - 1);
}

// A variable used before its declaration is an argument by then, and
// declaring it afterwards is a duplicate; the operand of ".input" is the
// declared variable itself.
void MessageParser::_noteReferences(const Expression& expression, uint32_t declared) {
    if (expression.operand.kind == Value::VARIABLE && expression.operand.variable != declared) {
        mSeen[expression.operand.variable] = true;
    }
    for (const Option& option : expression.options) {
        if (option.value.kind == Value::VARIABLE) {
            mSeen[option.value.variable] = true;
        }
    }
}

// A selector must be declared, directly or through other declarations, with
// a function that says how to select.
void MessageParser::_checkSelector(uint32_t variable, size_t offset) {
    for (size_t steps = 0; steps <= mModel.declarations.size(); ++steps) {
        const uint32_t declaration = mModel.variables[variable].declaration;
        if (declaration == NONE) {
            break;
        }
        const Expression& expression =
            mModel.expressions[mModel.declarations[declaration].expression];
        if (expression.function != FunctionId::NONE) {
            return;
        }
        if (expression.operand.kind != Value::VARIABLE || expression.operand.variable == variable) {
            break;
        }
        variable = expression.operand.variable;
    }
    _dataModelError(MessageError::MISSING_SELECTOR_ANNOTATION, offset,
                    "a selector needs a function to select with");
}

void MessageParser::_checkVariants() {
    const std::vector<Variant>& variants = mModel.variants;
    bool fallback = false;
    for (size_t i = 0; i < variants.size(); ++i) {
        bool allCatchAll = true;
        for (const Key& key : variants[i].keys) {
            allCatchAll = allCatchAll && key.catchAll;
        }
        fallback = fallback || (allCatchAll && variants[i].keys.size() == mModel.selectors.size());
        for (size_t j = 0; j < i; ++j) {
            const std::vector<Key>& a = variants[i].keys;
            const std::vector<Key>& b = variants[j].keys;
            bool same = a.size() == b.size();
            for (size_t k = 0; same && k < a.size(); ++k) {
                same = a[k].catchAll == b[k].catchAll && a[k].value == b[k].value;
            }
            if (same) {
                _dataModelError(MessageError::DUPLICATE_VARIANT, a[0].offset,
                                "a variant with the same keys comes earlier");
                break;
            }
        }
    }
    if (!fallback) {
        _dataModelError(MessageError::MISSING_FALLBACK_VARIANT, variants[0].keys[0].offset,
                        "no variant has only \"*\" keys");
    }
}

void MessageParser::_resolveFunction(Expression& expression) {
    if (expression.functionName.empty()) {
        return;
    }
    for (const BuiltIn& builtIn : BUILT_INS) {
        if (expression.functionName == builtIn.name) {
            expression.function = builtIn.id;
            return;
        }
    }
    expression.application =
        mModel.functions.find(expression.functionName.data(), expression.functionName.size());
    expression.function =
        expression.application != nullptr ? FunctionId::APPLICATION : FunctionId::UNKNOWN;
}

}  // namespace message
}  // namespace i18n
}  // namespace kavri
