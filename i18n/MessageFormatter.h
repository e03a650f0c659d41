// Formatter formats one compiled message once: it resolves the selectors,
// chooses the variant, and resolves and writes each part of its pattern,
// collecting errors as they occur. Declarations are resolved when first
// used, and at most once; declarations nobody uses are never resolved.
//
//   std::vector<MessageError> errors;
//   Formatter(model, arguments, errors).formatToString(out, true);
//
// A formatter lives for one call on one thread; the model and the arguments
// must outlive it. Its state (the declarations' values, the selectors) lives
// on the stack for messages of up to a handful of each, so that formatting
// such a message takes no memory beyond the output.
#ifndef KAVRIXML_I18N_MESSAGEFORMATTER_H
#define KAVRIXML_I18N_MESSAGEFORMATTER_H

#include <cstddef>
#include <new>
#include <string>
#include <type_traits>
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

    // A call's array of elements made by their default constructors (not
    // zeroed first: values are large and most of them never used), within
    // the object for up to N of them, on the heap beyond.
    template <typename T, size_t N>
    class CallArray {
      public:
        explicit CallArray(size_t size)
            : mData(size <= N ? reinterpret_cast<T*>(mInline)
                              : static_cast<T*>(::operator new(size * sizeof(T)))),
              mSize(size) {
            static_assert(std::is_nothrow_default_constructible<T>::value, "made without throwing");
            static_assert(std::is_class<T>::value, "a type whose constructor sets every member");
            for (size_t k = 0; k < size; ++k) {
                new (mData + k) T;
            }
        }
        ~CallArray() {
            for (size_t k = 0; k < mSize; ++k) {
                mData[k].~T();
            }
            if (mSize > N) {
                ::operator delete(mData);
            }
        }
        CallArray(const CallArray&) = delete;
        CallArray& operator=(const CallArray&) = delete;
        T& operator[](size_t k) { return mData[k]; }
        const T& operator[](size_t k) const { return mData[k]; }
        const T* data() const { return mData; }

      private:
        alignas(T) unsigned char mInline[N * sizeof(T)];
        T* mData;
        size_t mSize;
    };

    // A selector's value (null: a bad selector, which matches no key) and
    // what keys are compared with: a string's text in form C (its own, or
    // made in `exact`); a number's category, and its exact form in `exact`
    // when a key is a number literal.
    struct Selector {
        const MessageValue* value = nullptr;
        const char* text = "";
        size_t length = 0;
        std::string exact;
        int8_t category = -1;
    };

    void _format(Sink& sink);
    const Pattern& _selectPattern();
    void _prepareSelector(Selector& selector, size_t index, MessageValue& scratch);
    bool _supportsSelection(const MessageValue& value) const;
    bool _match(const Selector& selector, const Key& key);
    bool _betterThan(const MessageValue& value, const Key& key1, const Key& key2) const;
    size_t _bestVariant(const Selector* selectors);
    bool _preferred(const Selector* selectors, const Key* keys, const Key* bestKeys,
                    size_t width) const;

    // Resolution. Values are made in place: `scratch` and `out` come as
    // their default constructor made them, or `out` is the operand itself,
    // whose place the function's result takes.
    // A declared variable's value, or an argument's made in `scratch`.
    const MessageValue& _resolveVariable(uint32_t variable, uint32_t offset, MessageValue& scratch);
    void _resolveDeclaration(uint32_t declaration);
    void _resolveInto(uint32_t declaration, const Expression& expression, bool input);
    uint32_t _unresolvedDependency(const Expression& expression, bool input) const;
    // The expression's value: its operand's own where no function applies,
    // else one made in `scratch` (which the operand may be too).
    const MessageValue& _resolveExpression(const Expression& expression, bool input,
                                           MessageValue& scratch);
    const MessageValue& _resolveOperand(const Expression& expression, bool input,
                                        MessageValue& scratch);
    void _argument(uint32_t variable, uint32_t offset, MessageValue& out);
    // The function's value, or its fallback when it failed.
    void _callFunction(const Expression& expression, const MessageValue& operand,
                       MessageValue& out);
    // False when the function failed; `out` is then as it was.
    bool _callBuiltIn(const Expression& expression, const MessageValue& operand, MessageValue& out);
    bool _callString(const Expression& expression, const MessageValue& operand, MessageValue& out);
    bool _callNumber(const Expression& expression, const MessageValue& operand, MessageValue& out);
    bool _callApplication(const Expression& expression, const MessageValue& operand,
                          MessageValue& out);
    bool _numberOperand(const MessageValue& operand, FunctionId function, MessageValue& out);
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
    struct Slot {
        MessageValue value;
        SlotState state = UNRESOLVED;
    };
    CallArray<Slot, 4> mSlots;
};

}  // namespace message
}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_MESSAGEFORMATTER_H
