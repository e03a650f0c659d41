// The data model of a compiled message: what MessageParser builds from the
// text and MessageFormatter walks. Everything is resolved that can be without
// arguments: escapes are decoded, keys normalised, each variable reference is
// an index into one table of variables, and each function is found once.
// Immutable after parsing; shared by every copy of a MessageFormat.
#ifndef KAVRIXML_I18N_MESSAGEMODEL_H
#define KAVRIXML_I18N_MESSAGEMODEL_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "i18n/MessageFormat.h"
#include "i18n/NumberFormat.h"
#include "i18n/PluralRules.h"

namespace kavri {
namespace i18n {
namespace message {

constexpr uint32_t NONE = 0xFFFFFFFFu;

// The built-in functions; APPLICATION: one of MessageFunctions; UNKNOWN: a
// name nothing answers to (an error only when the expression is resolved).
enum class FunctionId : uint8_t {
    NONE,
    STRING,
    NUMBER,
    INTEGER,
    PERCENT,
    CURRENCY,
    OFFSET,
    APPLICATION,
    UNKNOWN,
};

// A literal or a variable; NONE for an expression without operand.
struct Value {
    enum Kind : uint8_t { ABSENT, LITERAL, VARIABLE };
    Kind kind = ABSENT;
    uint32_t variable = NONE;  // index into Model::variables
    std::string text;          // a literal's decoded text
    uint32_t offset = 0;
};

struct Option {
    std::string name;
    Value value;
    uint32_t offset = 0;
};

struct Expression {
    Value operand;
    FunctionId function = FunctionId::NONE;
    std::string functionName;                                 // without ":"
    const MessageFunctions::Function* application = nullptr;  // into Model::functions
    std::vector<Option> options;
    uint32_t offset = 0;
    // A number function whose options are all literals: the format they make,
    // for values that bring no options of their own.
    std::shared_ptr<const NumberFormat> numberFormat;
};

struct Markup {
    MessagePart::Type kind;  // MARKUP_OPEN, MARKUP_STANDALONE or MARKUP_CLOSE
    std::string name;
    std::vector<Option> options;
    uint32_t offset = 0;
};

// One element of a pattern: text, or an index into the expressions or markups.
struct Element {
    enum Kind : uint8_t { TEXT, EXPRESSION, MARKUP };
    Kind kind;
    uint32_t index;    // EXPRESSION, MARKUP
    std::string text;  // TEXT, escapes decoded
};

using Pattern = std::vector<Element>;

// A key is read once, when the message is compiled, as a number selector
// reads it: a number literal (matched by its exact form), a plural
// category, or neither (a bad key for a number).
struct Key {
    bool catchAll = false;
    bool numberLiteral = false;
    int8_t category = -1;  // PluralRules::Category; -1: none
    std::string value;     // in Unicode normalisation form C
    uint32_t offset = 0;
};

struct Variant {
    std::vector<Key> keys;
    Pattern pattern;
};

struct Declaration {
    bool input = false;
    uint32_t variable = NONE;
    uint32_t expression = NONE;
};

struct Variable {
    std::string name;
    uint32_t declaration = NONE;  // NONE: an argument of the call
};

struct Model {
    std::string locale;
    bool rightToLeft = false;
    MessageFunctions functions;  // the application's, copied
    std::vector<Variable> variables;
    std::vector<Expression> expressions;
    std::vector<Markup> markups;
    std::vector<Declaration> declarations;
    std::vector<uint32_t> selectors;  // variable indexes; empty: no .match
    std::vector<uint32_t> selectorOffsets;
    // Per selector: whether a variant has a number literal as its key, and
    // so whether a number selector needs its exact form at all.
    std::vector<bool> exactKeys;
    std::vector<Variant> variants;
    Pattern pattern;  // the body when there are no selectors
    // The locale's rules and its plain formats, found once.
    const PluralRules* cardinal = nullptr;
    const PluralRules* ordinal = nullptr;
    std::shared_ptr<const NumberFormat> plainNumber;  // :number's defaults
    std::shared_ptr<const NumberFormat> wholeNumber;  // rounding for :integer
};

}  // namespace message
}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_MESSAGEMODEL_H
