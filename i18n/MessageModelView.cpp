// ModelView: what tools ask of a message, read off its data model.
#include "i18n/MessageModelView.h"

#include "i18n/MessageModel.h"
#include "i18n/MessageParser.h"

namespace kavri {
namespace i18n {
namespace message {

namespace {

const char* const SELECT_MODES[] = {"plural", "ordinal", "exact"};

bool isNumberFunction(FunctionId function) {
    return function >= FunctionId::NUMBER && function <= FunctionId::OFFSET;
}

bool selectsByNumber(FunctionId function) {
    return function == FunctionId::NUMBER || function == FunctionId::INTEGER ||
           function == FunctionId::PERCENT || function == FunctionId::OFFSET;
}

}  // namespace

// The value of a variable as a formatter would resolve it, as far as
// selection goes: made by a number function or not, fit to select, and the
// `select` option it carries to a function that takes it as operand.
struct ModelView::Resolved {
    const Expression* expression = nullptr;  // the nearest function's; null: none
    bool numeric = false;
    bool selectable = true;
    int8_t select = -1;  // an index into SELECT_MODES
};

ModelView::ModelView(const std::string& text) : mModel(new Model) {
    mModel->locale = "und";
    MessageParser(text, *mModel).parse();
}

ModelView::~ModelView() = default;

std::set<std::string> ModelView::arguments() const {
    std::set<std::string> names;
    for (const Variable& variable : mModel->variables) {
        if (variable.declaration == NONE || mModel->declarations[variable.declaration].input) {
            names.insert(variable.name);
        }
    }
    return names;
}

size_t ModelView::selectorCount() const {
    return mModel->selectors.size();
}

ModelView::Selector ModelView::selector(size_t index) const {
    Selector selector;
    const uint32_t variable = mModel->selectors[index];
    selector.variable = mModel->variables[variable].name;
    const Resolved resolved = _resolve(variable, 0);
    if (resolved.expression != nullptr) {
        const FunctionId function = resolved.expression->function;
        selector.function = resolved.expression->functionName;
        if (resolved.selectable && selectsByNumber(function)) {
            const bool plural = function == FunctionId::PERCENT || resolved.select < 0;
            selector.select = plural ? "plural" : SELECT_MODES[resolved.select];
        }
    }
    for (const Variant& variant : mModel->variants) {
        if (index < variant.keys.size() && !variant.keys[index].catchAll) {
            selector.keys.insert(variant.keys[index].value);
        }
    }
    return selector;
}

// Declarations without a function pass their operand's value on; the first
// function on the way makes the value. A number function takes over the
// options of a number operand (bar :percent, which selects by plural rules
// whatever it is given); a `select` among them, or one written with a
// variable, leaves the value unfit to select, as MessageFormat 2 says.
ModelView::Resolved ModelView::_resolve(uint32_t variable, size_t depth) const {
    Resolved resolved;
    uint32_t declaration = mModel->variables[variable].declaration;
    // Each step goes to an earlier declaration; the bounds guard against a
    // model that says otherwise.
    for (size_t step = 0; declaration != NONE && step <= mModel->declarations.size(); ++step) {
        const Expression& expression =
            mModel->expressions[mModel->declarations[declaration].expression];
        if (expression.function != FunctionId::NONE) {
            resolved.expression = &expression;
            break;
        }
        if (expression.operand.kind != Value::VARIABLE || mModel->declarations[declaration].input) {
            return resolved;
        }
        declaration = mModel->variables[expression.operand.variable].declaration;
    }
    const Expression* expression = resolved.expression;
    if (expression == nullptr || !isNumberFunction(expression->function)) {
        return resolved;
    }
    resolved.numeric = true;
    const FunctionId function = expression->function;
    if (expression->operand.kind == Value::VARIABLE && !mModel->declarations[declaration].input &&
        depth < mModel->declarations.size()) {
        const Resolved operand = _resolve(expression->operand.variable, depth + 1);
        if (operand.numeric && function != FunctionId::PERCENT) {
            resolved.selectable = operand.selectable && operand.select < 0;
        }
    }
    for (const Option& option : expression->options) {
        if (option.name != "select" ||
            (function != FunctionId::NUMBER && function != FunctionId::INTEGER)) {
            continue;
        }
        resolved.select = -1;
        for (int8_t mode = 0; mode < 3; ++mode) {
            if (option.value.kind == Value::LITERAL && option.value.text == SELECT_MODES[mode]) {
                resolved.select = mode;
            }
        }
        resolved.selectable = resolved.selectable && resolved.select >= 0;
    }
    return resolved;
}

}  // namespace message
}  // namespace i18n
}  // namespace kavri
