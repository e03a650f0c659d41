// MessageOutline: arguments and selectors read off a message's data model.
#include "i18n/MessageOutline.h"

#include "i18n/MessageModel.h"
#include "i18n/MessageParser.h"

namespace kavri {
namespace i18n {

namespace {

using message::Expression;
using message::FunctionId;
using message::Model;

// The expression that declares variable `index`, or null for an argument.
const Expression* declaringExpression(const Model& model, uint32_t index) {
    const uint32_t declaration = model.variables[index].declaration;
    if (declaration == message::NONE) {
        return nullptr;
    }
    const uint32_t expression = model.declarations[declaration].expression;
    return expression == message::NONE ? nullptr : &model.expressions[expression];
}

// Follows the declarations from the selector's variable to the first
// expression with a function: its name, and the nearest literal select option
// on the way (an option given later overrides an earlier one).
void describeSelector(const Model& model, uint32_t index, MessageOutline::Selector& selector) {
    std::string select;
    // Each step goes to an earlier declaration, so the walk ends; the bound
    // guards against a model that says otherwise.
    for (size_t step = 0; step <= model.variables.size(); ++step) {
        const Expression* expression = declaringExpression(model, index);
        if (expression == nullptr) {
            break;
        }
        for (const message::Option& option : expression->options) {
            if (option.name == "select" && option.value.kind == message::Value::LITERAL &&
                select.empty()) {
                select = option.value.text;
            }
        }
        if (expression->function != FunctionId::NONE) {
            selector.function = expression->functionName;
            const bool numeric = expression->function == FunctionId::NUMBER ||
                                 expression->function == FunctionId::INTEGER;
            selector.select = numeric ? (select.empty() ? "plural" : select) : std::string();
            return;
        }
        if (expression->operand.kind != message::Value::VARIABLE ||
            expression->operand.variable == index) {
            break;  // a literal, or the argument that .input declares
        }
        index = expression->operand.variable;
    }
}

}  // namespace

MessageOutline::MessageOutline(const std::string& text) {
    Model model;
    model.locale = "und";
    message::MessageParser(text, model).parse();
    for (const message::Variable& variable : model.variables) {
        if (variable.declaration == message::NONE ||
            model.declarations[variable.declaration].input) {
            mArguments.insert(variable.name);
        }
    }
    mSelectors.resize(model.selectors.size());
    for (size_t i = 0; i < model.selectors.size(); ++i) {
        Selector& selector = mSelectors[i];
        selector.variable = model.variables[model.selectors[i]].name;
        describeSelector(model, model.selectors[i], selector);
        for (const message::Variant& variant : model.variants) {
            if (i < variant.keys.size() && !variant.keys[i].catchAll) {
                selector.keys.insert(variant.keys[i].value);
            }
        }
    }
}

}  // namespace i18n
}  // namespace kavri
