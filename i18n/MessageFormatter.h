// Formatter formats one compiled message once: it resolves the selectors,
// chooses the variant, and resolves and writes each part of its pattern,
// collecting errors as they occur. Declarations are resolved when first
// used, and at most once; declarations nobody uses are never resolved.
//
//   std::vector<MessageError> errors;
//   Formatter(model, arguments, errors).formatToString(out, true);
//
// A formatter lives for one call on one thread; the model and the arguments
// must outlive it.
#ifndef KAVRIXML_I18N_MESSAGEFORMATTER_H
#define KAVRIXML_I18N_MESSAGEFORMATTER_H

#include <string>
#include <vector>

#include "i18n/MessageModel.h"
#include "i18n/MessageValue.h"

namespace kavri {
namespace i18n {
namespace message {

class Formatter {
  public:
    Formatter(const Model& model, const MessageArguments& arguments,
              std::vector<MessageError>& errors);

    void formatToString(std::string& out, bool isolate);
    void formatToParts(std::vector<MessagePart>& parts, bool isolate);

  private:
    class Sink;
    class StringSink;
    class PartsSink;

    // A selector's value and what keys are compared with: its exact form
    // and category for a number, its form C for a string.
    struct Selector {
        const MessageValue* value = nullptr;
        MessageValue storage;
        std::string exact;
        const char* keyword = nullptr;
    };

    void _format(Sink& sink);
    const Pattern& _selectPattern();
    bool _supportsSelection(const MessageValue& value) const;
    bool _match(const Selector& selector, const Key& key);
    bool _betterThan(const MessageValue& value, const Key& key1, const Key& key2) const;
    size_t _bestVariant(const std::vector<Selector>& selectors);

    // Resolution
    // A declared variable's value, or an argument's made in `scratch`.
    const MessageValue& _resolveVariable(uint32_t variable, uint32_t offset, MessageValue& scratch);
    void _resolveDeclaration(uint32_t declaration);
    uint32_t _unresolvedDependency(const Expression& expression, bool input) const;
    MessageValue _resolveExpression(const Expression& expression, bool input);
    MessageValue _resolveOperand(const Expression& expression, bool input);
    MessageValue _argument(uint32_t variable, uint32_t offset);
    MessageValue _callBuiltIn(const Expression& expression, MessageValue operand);
    MessageValue _callString(const Expression& expression, const MessageValue& operand);
    MessageValue _callNumber(const Expression& expression, const MessageValue& operand);
    MessageValue _callApplication(const Expression& expression, const MessageValue& operand);
    bool _numberOperand(const MessageValue& operand, MessageValue& result);
    // True when an option was refused.
    bool _applyNumberOptions(const Expression& expression, MessageValue& result);
    // The string form of an option's value; false (with the error emitted)
    // when the value failed to resolve or has no string form.
    bool _optionText(const Option& option, std::string& out, const MessageCustomValue** custom);
    void _applyUnicodeOptions(const Expression& expression, MessageValue& value);
    static bool _isUnicodeOption(const std::string& name);
    std::string _fallbackSource(const Expression& expression) const;

    // Output
    void _writeExpression(Sink& sink, const Expression& expression);
    void _writeMarkup(Sink& sink, const Markup& markup);
    bool _formatValue(const MessageValue& value, std::string& out, uint32_t offset);
    void _error(MessageError::Type type, uint32_t offset);

    const Model& mModel;
    const MessageArguments& mArguments;
    std::vector<MessageError>& mErrors;
    const char* mLocale;
    // The values of declarations, once resolved.
    enum SlotState : uint8_t { UNRESOLVED, RESOLVING, RESOLVED };
    std::vector<MessageValue> mSlots;
    std::vector<SlotState> mStates;
};

}  // namespace message
}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_MESSAGEFORMATTER_H
