#include "i18n/MessageFormatter.h"

#include <cstdio>
#include <cstring>

#include "i18n/MessageNormalizer.h"
#include "i18n/MessageNumber.h"

namespace kavri {
namespace i18n {
namespace message {

namespace {

const char LRI[] = "\xE2\x81\xA6";
const char RLI[] = "\xE2\x81\xA7";
const char FSI[] = "\xE2\x81\xA8";
const char PDI[] = "\xE2\x81\xA9";

const char* functionLabel(const MessageValue& value) {
    switch (value.function) {
        case FunctionId::NUMBER:
            return "number";
        case FunctionId::INTEGER:
            return "integer";
        case FunctionId::PERCENT:
            return "percent";
        case FunctionId::CURRENCY:
            return "currency";
        case FunctionId::OFFSET:
            return "offset";
        case FunctionId::APPLICATION:
            return value.applicationName != nullptr ? value.applicationName->c_str() : "";
        default:
            return value.kind() == MessageValue::NUMBER ? "number" : "string";
    }
}

// The isolation the default strategy puts around a placeholder, or null.
const char* isolationOf(const MessageValue* value, bool rightToLeft) {
    if (value == nullptr || value->direction == Direction::UNKNOWN) {
        return FSI;
    }
    if (value->direction == Direction::RTL) {
        return RLI;
    }
    return rightToLeft || value->isolate ? LRI : nullptr;
}

}  // namespace

// --- Sinks: a string, or parts ---------------------------------------------------

class Formatter::Sink {
  public:
    Sink(bool isolate, bool rightToLeft) : mIsolate(isolate), mRightToLeft(rightToLeft) {}
    virtual ~Sink() = default;
    // Where a placeholder is formatted; its text starts at `mark`.
    virtual std::string& buffer() = 0;
    virtual void text(const std::string& text) = 0;
    virtual void markup(const Markup& markup,
                        std::vector<std::pair<std::string, std::string>>&& options,
                        std::string&& id) = 0;
    // The buffer from `mark` holds the formatted value; `value` is null for
    // a fallback, whose source is then `source`.
    virtual void placeholder(size_t mark, const MessageValue* value, const std::string& source,
                             const char* locale) = 0;

  protected:
    const char* isolation(const MessageValue* value) const {
        return mIsolate ? isolationOf(value, mRightToLeft) : nullptr;
    }

  private:
    bool mIsolate;
    bool mRightToLeft;
};

class Formatter::StringSink : public Sink {
  public:
    StringSink(std::string& out, bool isolate, bool rightToLeft)
        : Sink(isolate, rightToLeft), mOut(out) {}
    std::string& buffer() override { return mOut; }
    void text(const std::string& text) override { mOut += text; }
    void markup(const Markup&, std::vector<std::pair<std::string, std::string>>&&,
                std::string&&) override {}
    void placeholder(size_t mark, const MessageValue* value, const std::string& source,
                     const char*) override {
        if (value == nullptr) {
            mOut.resize(mark);
            mOut += '{';
            mOut += source;
            mOut += '}';
        }
        if (const char* open = isolation(value)) {
            mOut.insert(mark, open);
            mOut += PDI;
        }
    }

  private:
    std::string& mOut;
};

class Formatter::PartsSink : public Sink {
  public:
    PartsSink(std::vector<MessagePart>& parts, bool isolate, bool rightToLeft)
        : Sink(isolate, rightToLeft), mParts(parts) {}
    std::string& buffer() override { return mBuffer; }
    void text(const std::string& text) override {
        if (!mParts.empty() && mParts.back().type == MessagePart::TEXT) {
            mParts.back().value += text;
        } else {
            add(MessagePart::TEXT).value = text;
        }
    }
    void markup(const Markup& markup, std::vector<std::pair<std::string, std::string>>&& options,
                std::string&& id) override {
        MessagePart& part = add(markup.kind);
        part.name = markup.name;
        part.options = std::move(options);
        part.id = std::move(id);
    }
    void placeholder(size_t, const MessageValue* value, const std::string& source,
                     const char* locale) override;

  private:
    MessagePart& add(MessagePart::Type type) {
        mParts.emplace_back();
        mParts.back().type = type;
        return mParts.back();
    }

    std::vector<MessagePart>& mParts;
    std::string mBuffer;
};

void Formatter::PartsSink::placeholder(size_t, const MessageValue* value, const std::string& source,
                                       const char* locale) {
    const char* open = isolation(value);
    if (open != nullptr) {
        add(MessagePart::BIDI_ISOLATION).value = open;
    }
    if (value == nullptr) {
        MessagePart& part = add(MessagePart::FALLBACK);
        part.source = source;
        part.value = "{" + source + "}";
    } else {
        MessagePart& part = add(MessagePart::PLACEHOLDER);
        part.value.swap(mBuffer);
        part.function = functionLabel(*value);
        part.id = value->id;
        part.dir = value->dirName;
        part.locale = locale;
    }
    mBuffer.clear();
    if (open != nullptr) {
        add(MessagePart::BIDI_ISOLATION).value = PDI;
    }
}

// --- Formatting ------------------------------------------------------------------

Formatter::Formatter(const Model& model, const MessageArguments& arguments,
                     std::vector<MessageError>& errors)
    : mModel(model),
      mArguments(arguments),
      mErrors(errors),
      mLocale(model.locale.c_str()),
      mSlots(model.declarations.size()) {}

void Formatter::formatToString(std::string& out, bool isolate) {
    StringSink sink(out, isolate, mModel.rightToLeft);
    _format(sink);
}

void Formatter::formatToParts(std::vector<MessagePart>& parts, bool isolate) {
    PartsSink sink(parts, isolate, mModel.rightToLeft);
    _format(sink);
}

void Formatter::_format(Sink& sink) {
    const Pattern& pattern = _selectPattern();
    for (const Element& element : pattern) {
        switch (element.kind) {
            case Element::TEXT:
                sink.text(element.text);
                break;
            case Element::EXPRESSION:
                _writeExpression(sink, mModel.expressions[element.index]);
                break;
            case Element::MARKUP:
                _writeMarkup(sink, mModel.markups[element.index]);
                break;
        }
    }
}

void Formatter::_writeExpression(Sink& sink, const Expression& expression) {
    MessageValue scratch;
    const MessageValue& value = _resolveExpression(expression, false, scratch);
    std::string& buffer = sink.buffer();
    const size_t mark = buffer.size();
    if (!value.isFallback() && _formatValue(value, buffer, expression.offset)) {
        sink.placeholder(mark, &value, std::string(), mLocale);
        return;
    }
    buffer.resize(mark);
    sink.placeholder(mark, nullptr,
                     value.isFallback() ? value.textString() : _fallbackSource(expression),
                     mLocale);
}

// Markup never fails; its options are resolved for their errors and for
// the parts. u:dir has no meaning on markup.
void Formatter::_writeMarkup(Sink& sink, const Markup& markup) {
    std::vector<std::pair<std::string, std::string>> options;
    std::string id;
    for (const Option& option : markup.options) {
        std::string text;
        if (!_optionText(option, text, nullptr)) {
            continue;
        }
        if (option.name == "u:dir") {
            _error(MessageError::BAD_OPTION, option.offset);
        } else if (option.name == "u:id") {
            id = std::move(text);
        } else {
            options.emplace_back(option.name, std::move(text));
        }
    }
    sink.markup(markup, std::move(options), std::move(id));
}

bool Formatter::_formatValue(const MessageValue& value, std::string& out, uint32_t offset) {
    switch (value.kind()) {
        case MessageValue::STRING:
            out.append(value.text(), value.length());
            return true;
        case MessageValue::NUMBER:
            MessageNumber::format(value, mModel, out);
            return true;
        case MessageValue::CUSTOM: {
            MessageError::Type error = MessageError::BAD_OPERAND;
            if (value.custom->format(out, error)) {
                return true;
            }
            _error(error, offset);
            return false;
        }
        default:
            return false;
    }
}

void Formatter::_error(MessageError::Type type, uint32_t offset) {
    mErrors.push_back(MessageError{type, offset});
}

// --- Selection -------------------------------------------------------------------

const Pattern& Formatter::_selectPattern() {
    if (mModel.selectors.empty()) {
        return mModel.pattern;
    }
    CallArray<Selector, 4> selectors(mModel.selectors.size());
    MessageValue scratch;
    for (size_t i = 0; i < mModel.selectors.size(); ++i) {
        _prepareSelector(selectors[i], i, scratch);
    }
    return mModel.variants[_bestVariant(selectors.data())].pattern;
}

// A selector is always a declared variable (the parser sees to it), whose
// value lives in its declaration's slot; `scratch` only takes the fallback
// of one that failed, which cannot select.
void Formatter::_prepareSelector(Selector& selector, size_t index, MessageValue& scratch) {
    const uint32_t offset = mModel.selectorOffsets[index];
    const MessageValue& value = _resolveVariable(mModel.selectors[index], offset, scratch);
    if (&value == &scratch || !_supportsSelection(value)) {
        _error(MessageError::BAD_SELECTOR, offset);
        return;
    }
    selector.value = &value;
    if (value.kind() == MessageValue::NUMBER) {
        MessageNumber::selectionKeys(value, mModel, mModel.exactKeys[index], selector.exact,
                                     selector.category);
    } else if (value.kind() == MessageValue::STRING) {
        selector.text = value.text();
        selector.length = value.length();
        if (!isNFC(selector.text, selector.length)) {
            selector.exact = normalizeNFC(value.textString());
            selector.text = selector.exact.data();
            selector.length = selector.exact.size();
        }
    }
}

// The first variant whose keys all match, unless a later one matches better
// at the first selector where their keys differ.
size_t Formatter::_bestVariant(const Selector* selectors) {
    const Variant* variants = mModel.variants.data();
    const size_t count = mModel.variants.size();
    size_t best = count;
    for (size_t v = 0; v < count; ++v) {
        const Key* keys = variants[v].keys.data();
        const size_t width = variants[v].keys.size();
        size_t i = 0;
        while (i < width && (keys[i].catchAll || _match(selectors[i], keys[i]))) {
            ++i;
        }
        if (i < width) {
            continue;
        }
        if (best == count || _preferred(selectors, keys, variants[best].keys.data(), width)) {
            best = v;
        }
    }
    return best;  // the all-"*" variant always matches
}

// Whether the keys of one matching variant beat another's.
bool Formatter::_preferred(const Selector* selectors, const Key* keys, const Key* bestKeys,
                           size_t width) const {
    for (size_t i = 0; i < width; ++i) {
        if (keys[i].catchAll != bestKeys[i].catchAll) {
            return !keys[i].catchAll;
        }
        if (!keys[i].catchAll && keys[i].value != bestKeys[i].value) {
            return selectors[i].value != nullptr &&
                   _betterThan(*selectors[i].value, keys[i], bestKeys[i]);
        }
    }
    return false;
}

bool Formatter::_supportsSelection(const MessageValue& value) const {
    switch (value.kind()) {
        case MessageValue::STRING:
            return value.function == FunctionId::STRING;
        case MessageValue::NUMBER:
            return MessageNumber::selects(value);
        case MessageValue::CUSTOM:
            return value.custom->selects();
        default:
            return false;
    }
}

bool Formatter::_match(const Selector& selector, const Key& key) {
    if (selector.value == nullptr) {
        return false;
    }
    const MessageValue& value = *selector.value;
    switch (value.kind()) {
        case MessageValue::STRING:
            return key.value.size() == selector.length &&
                   std::memcmp(key.value.data(), selector.text, selector.length) == 0;
        case MessageValue::NUMBER: {
            bool badKey = false;
            const bool matches =
                MessageNumber::match(selector.exact, selector.category, key, badKey);
            if (badKey) {
                _error(MessageError::BAD_VARIANT_KEY, key.offset);
            }
            return matches;
        }
        case MessageValue::CUSTOM: {
            bool error = false;
            const bool matches = value.custom->match(key.value, error);
            if (error) {
                _error(MessageError::BAD_SELECTOR, key.offset);
            }
            return matches && !error;
        }
        default:
            return false;
    }
}

bool Formatter::_betterThan(const MessageValue& value, const Key& key1, const Key& key2) const {
    switch (value.kind()) {
        case MessageValue::NUMBER:
            return MessageNumber::betterThan(key1, key2);
        case MessageValue::CUSTOM:
            return value.custom->betterThan(key1.value, key2.value);
        default:
            return false;
    }
}

// --- Resolution ------------------------------------------------------------------

const MessageValue& Formatter::_resolveVariable(uint32_t variable, uint32_t offset,
                                                MessageValue& scratch) {
    const uint32_t declaration = mModel.variables[variable].declaration;
    if (declaration == NONE) {
        _argument(variable, offset, scratch);
        return scratch;
    }
    if (mSlots[declaration].state == UNRESOLVED) {
        _resolveDeclaration(declaration);
    }
    if (mSlots[declaration].value.isFallback()) {
        scratch.setFallback("$" + mModel.variables[variable].name);
        return scratch;
    }
    return mSlots[declaration].value;
}

// The declarations a declaration needs are resolved first, from a stack of
// our own, so that a long chain of declarations each using the one before
// costs no depth of the call stack. One that needs none (an .input, say)
// needs no stack either.
void Formatter::_resolveDeclaration(uint32_t first) {
    mSlots[first].state = RESOLVING;
    const Declaration& only = mModel.declarations[first];
    const Expression& onlyExpression = mModel.expressions[only.expression];
    if (_unresolvedDependency(onlyExpression, only.input) == NONE) {
        _resolveInto(first, onlyExpression, only.input);
        return;
    }
    std::vector<uint32_t> stack(1, first);
    while (!stack.empty()) {
        const uint32_t top = stack.back();
        const Declaration& declaration = mModel.declarations[top];
        const Expression& expression = mModel.expressions[declaration.expression];
        const uint32_t next = _unresolvedDependency(expression, declaration.input);
        if (next != NONE) {
            mSlots[next].state = RESOLVING;
            stack.push_back(next);
            continue;
        }
        _resolveInto(top, expression, declaration.input);
        stack.pop_back();
    }
}

void Formatter::_resolveInto(uint32_t declaration, const Expression& expression, bool input) {
    MessageValue& slot = mSlots[declaration].value;
    const MessageValue& value = _resolveExpression(expression, input, slot);
    if (&value != &slot) {
        slot = value;
    }
    mSlots[declaration].state = RESOLVED;
}

uint32_t Formatter::_unresolvedDependency(const Expression& expression, bool input) const {
    auto pending = [this](const Value& value) {
        if (value.kind != Value::VARIABLE) {
            return NONE;
        }
        const uint32_t declaration = mModel.variables[value.variable].declaration;
        return declaration != NONE && mSlots[declaration].state == UNRESOLVED ? declaration : NONE;
    };
    uint32_t found = input ? NONE : pending(expression.operand);
    for (size_t i = 0; found == NONE && i < expression.options.size(); ++i) {
        found = pending(expression.options[i].value);
    }
    return found;
}

void Formatter::_argument(uint32_t variable, uint32_t offset, MessageValue& out) {
    const std::string& name = mModel.variables[variable].name;
    const MessageArgument* argument = mArguments.get(name);
    if (argument == nullptr) {
        _error(MessageError::UNRESOLVED_VARIABLE, offset);
        out.setFallback("$" + name);
        return;
    }
    switch (argument->type()) {
        case MessageArgument::STRING:
            out.setString(argument->text().data(), argument->text().size());
            break;
        case MessageArgument::INTEGER:
            out.setNumber(FunctionId::NONE);
            out.number = Decimal::fromInteger(argument->integer());
            break;
        case MessageArgument::DOUBLE:
            out.setNumber(FunctionId::NONE);
            out.number = Decimal::fromDouble(argument->number());
            break;
        case MessageArgument::DECIMAL: {
            Decimal number;
            if (MessageNumber::parse(argument->text().data(), argument->text().size(), number)) {
                out.setNumber(FunctionId::NONE);
                out.number = std::move(number);
            } else {
                out.setString(argument->text().data(), argument->text().size());
            }
            break;
        }
        default:
            out.setString(argument->integer() != 0 ? "true" : "false",
                          argument->integer() != 0 ? 4 : 5);
    }
}

const MessageValue& Formatter::_resolveOperand(const Expression& expression, bool input,
                                               MessageValue& scratch) {
    const Value& operand = expression.operand;
    if (operand.kind == Value::LITERAL) {
        scratch.setString(operand.text.data(), operand.text.size());
        return scratch;
    }
    // The operand of ".input" is the argument the declaration names.
    if (input) {
        _argument(operand.variable, operand.offset, scratch);
        return scratch;
    }
    return _resolveVariable(operand.variable, operand.offset, scratch);
}

// A value read as it is (an expression without function) is not copied: it
// is the argument's, the declaration's or the literal's own.
const MessageValue& Formatter::_resolveExpression(const Expression& expression, bool input,
                                                  MessageValue& scratch) {
    if (expression.operand.kind == Value::ABSENT) {
        const MessageValue none;
        _callFunction(expression, none, scratch);
        return scratch;
    }
    const MessageValue& operand = _resolveOperand(expression, input, scratch);
    if (expression.function == FunctionId::NONE) {
        return operand;
    }
    // :string takes a fallback as the text it shows; other functions fail.
    if (operand.isFallback() && expression.function != FunctionId::UNKNOWN) {
        if (expression.function != FunctionId::STRING) {
            _error(MessageError::BAD_OPERAND, expression.offset);
            return operand;
        }
        const MessageValue shown = MessageValue::ownedString("{" + operand.textString() + "}");
        _callFunction(expression, shown, scratch);
        return scratch;
    }
    // The operand may be `scratch` itself, which the result then replaces.
    _callFunction(expression, operand, scratch);
    return scratch;
}

// A function's value with the expression's u: options; its fallback when
// the function failed.
void Formatter::_callFunction(const Expression& expression, const MessageValue& operand,
                              MessageValue& out) {
    if (expression.function == FunctionId::UNKNOWN) {
        _error(MessageError::UNKNOWN_FUNCTION, expression.offset);
        out.setFallback(_fallbackSource(expression));
        return;
    }
    const bool made = expression.function == FunctionId::APPLICATION
                          ? _callApplication(expression, operand, out)
                          : _callBuiltIn(expression, operand, out);
    if (!made) {
        out.setFallback(_fallbackSource(expression));
    } else if (!expression.options.empty()) {
        _applyUnicodeOptions(expression, out);
    }
}

std::string Formatter::_fallbackSource(const Expression& expression) const {
    const Value& operand = expression.operand;
    if (operand.kind == Value::VARIABLE) {
        return "$" + mModel.variables[operand.variable].name;
    }
    if (operand.kind == Value::ABSENT) {
        return ":" + expression.functionName;
    }
    std::string source = "|";
    for (char c : operand.text) {
        if (c == '\\' || c == '|') {
            source += '\\';
        }
        source += c;
    }
    return source + "|";
}

// --- Options -----------------------------------------------------------------------

bool Formatter::_optionText(const Option& option, std::string& out,
                            const MessageCustomValue** custom) {
    if (option.value.kind == Value::LITERAL) {
        out = option.value.text;
        return true;
    }
    MessageValue scratch;
    const MessageValue& value =
        _resolveVariable(option.value.variable, option.value.offset, scratch);
    bool ok = true;
    switch (value.kind()) {
        case MessageValue::STRING:
            out.assign(value.text(), value.length());
            break;
        case MessageValue::NUMBER:
            out = value.number.toString();
            break;
        case MessageValue::CUSTOM:
            ok = value.custom->toString(out);
            if (custom != nullptr) {
                *custom = value.custom.get();
            }
            break;
        default:
            ok = false;
    }
    if (!ok) {
        _error(MessageError::BAD_OPTION, option.offset);
    }
    return ok;
}

bool Formatter::_isUnicodeOption(const std::string& name) {
    return name.size() > 2 && name[0] == 'u' && name[1] == ':';
}

void Formatter::_applyUnicodeOptions(const Expression& expression, MessageValue& value) {
    for (const Option& option : expression.options) {
        if (option.name != "u:dir" && option.name != "u:id") {
            continue;
        }
        std::string text;
        if (!_optionText(option, text, nullptr)) {
            continue;
        }
        if (option.name == "u:id") {
            value.id = std::move(text);
        } else if (text == "ltr" || text == "rtl" || text == "auto") {
            value.direction = text == "ltr"   ? Direction::LTR
                              : text == "rtl" ? Direction::RTL
                                              : Direction::UNKNOWN;
            value.isolate = true;
            value.dirName = text == "ltr" ? "ltr" : text == "rtl" ? "rtl" : "auto";
        } else if (text != "inherit") {
            _error(MessageError::BAD_OPTION, option.offset);
        }
    }
}

// --- Functions -----------------------------------------------------------------------

bool Formatter::_callBuiltIn(const Expression& expression, const MessageValue& operand,
                             MessageValue& out) {
    if (expression.operand.kind == Value::ABSENT) {
        _error(MessageError::BAD_OPERAND, expression.offset);
        return false;
    }
    if (expression.function == FunctionId::STRING) {
        return _callString(expression, operand, out);
    }
    if (!_callNumber(expression, operand, out)) {
        return false;
    }
    out.direction = mModel.rightToLeft ? Direction::RTL : Direction::LTR;
    return true;
}

bool Formatter::_callString(const Expression& expression, const MessageValue& operand,
                            MessageValue& out) {
    switch (operand.kind()) {
        case MessageValue::STRING:
            if (&operand == &out) {
                out.clearAnnotations();
            } else if (operand.ownsText()) {
                out.setOwnedString(operand.textString());
            } else {
                out.setString(operand.text(), operand.length());
            }
            break;
        case MessageValue::NUMBER:
            out.setOwnedString(operand.number.toString());
            break;
        case MessageValue::CUSTOM: {
            std::string text;
            if (!operand.custom->toString(text)) {
                _error(MessageError::BAD_OPERAND, expression.offset);
                return false;
            }
            out.setOwnedString(std::move(text));
            break;
        }
        default:
            return false;
    }
    out.function = FunctionId::STRING;
    return true;
}

bool Formatter::_callNumber(const Expression& expression, const MessageValue& operand,
                            MessageValue& out) {
    const bool inherited =
        operand.kind() == MessageValue::NUMBER && operand.function != FunctionId::NONE;
    if (!_numberOperand(operand, expression.function, out)) {
        _error(MessageError::BAD_OPERAND, expression.offset);
        return false;
    }
    const bool badOption = _applyNumberOptions(expression, out);
    if (!inherited && expression.numberFormat != nullptr) {
        out.numberFormat = expression.numberFormat.get();
    }
    MessageError::Type error;
    if (!MessageNumber::finish(out, mModel, error)) {
        // An :offset whose amount was refused has been reported already.
        if (!(badOption && error == MessageError::BAD_OPTION)) {
            _error(error, expression.offset);
        }
        return false;
    }
    return true;
}

// A number, a string in number-literal syntax, or an application's value
// that reads as one; a number keeps the options its function gave it.
// `out` is left as it was when the operand is none of these.
bool Formatter::_numberOperand(const MessageValue& operand, FunctionId function,
                               MessageValue& out) {
    Decimal number;
    switch (operand.kind()) {
        case MessageValue::NUMBER: {
            if (&operand != &out) {
                out.number = operand.number;
            }
            if (operand.function == FunctionId::NONE) {
                out.setNumber(function);
                return true;
            }
            const NumberOptions options = MessageNumber::inherited(function, operand.options);
            const bool selectable = operand.selectable || function == FunctionId::PERCENT;
            out.setNumber(function);
            out.options = options;
            out.selectable = selectable;
            return true;
        }
        case MessageValue::STRING:
            if (!MessageNumber::parse(operand.text(), operand.length(), number)) {
                return false;
            }
            break;
        case MessageValue::CUSTOM: {
            std::string text;
            if (!operand.custom->toNumber(text) ||
                !MessageNumber::parse(text.data(), text.size(), number)) {
                return false;
            }
            break;
        }
        default:
            return false;
    }
    out.setNumber(function);
    out.number = std::move(number);
    return true;
}

// A `select` the operand brought along was not written by the translator of
// this expression: it makes the value unfit for selection.
bool Formatter::_applyNumberOptions(const Expression& expression, MessageValue& value) {
    bool badOption = false;
    if (value.options.select >= 0) {
        _error(MessageError::BAD_OPTION, expression.offset);
        value.selectable = false;
        value.options.select = -1;
    }
    std::string text;
    for (const Option& option : expression.options) {
        if (_isUnicodeOption(option.name) || !_optionText(option, text, nullptr)) {
            continue;
        }
        const bool literal = option.value.kind == Value::LITERAL;
        switch (
            MessageNumber::applyOption(value.function, option.name, text, literal, value.options)) {
            case MessageNumber::BAD_OPTION:
                _error(MessageError::BAD_OPTION, option.offset);
                badOption = true;
                if (option.name == "select") {
                    value.selectable = false;
                }
                break;
            case MessageNumber::UNSUPPORTED:
                _error(MessageError::UNSUPPORTED_OPERATION, option.offset);
                break;
            default:
                break;
        }
    }
    return badOption;
}

bool Formatter::_callApplication(const Expression& expression, const MessageValue& operand,
                                 MessageValue& out) {
    MessageFunctionCall call;
    call.mLocale = mLocale;
    call.mErrors = &mErrors;
    call.mOffset = expression.offset;
    switch (operand.kind()) {
        case MessageValue::STRING:
            call.mOperandType = MessageFunctionCall::STRING;
            call.mOperandText.assign(operand.text(), operand.length());
            break;
        case MessageValue::NUMBER:
            call.mOperandType = MessageFunctionCall::NUMBER;
            call.mOperandText = operand.number.toString();
            break;
        case MessageValue::CUSTOM:
            call.mOperandType = MessageFunctionCall::CUSTOM;
            call.mOperandCustom = operand.custom.get();
            call.mOperandHolder = operand.custom;
            break;
        default:
            break;
    }
    for (const Option& option : expression.options) {
        MessageFunctionCall::Option resolved{option.name, std::string(), nullptr,
                                             option.value.kind == Value::LITERAL};
        if (!_isUnicodeOption(option.name) &&
            _optionText(option, resolved.value, &resolved.custom)) {
            call.mOptions.push_back(std::move(resolved));
        }
    }
    MessageError::Type error = MessageError::BAD_OPERAND;
    std::shared_ptr<const MessageCustomValue> custom = (*expression.application)(call, error);
    if (custom == nullptr) {
        _error(error, expression.offset);
        return false;
    }
    out.setCustom(std::move(custom));
    out.applicationName = &expression.functionName;
    return true;
}

}  // namespace message
}  // namespace i18n
}  // namespace kavri
