// MessageNumber holds the rules of the number functions :number, :integer,
// :percent, :currency and :offset: which options each takes and what values
// they may have, how a resolved number formats, and how it selects a variant
// (an exact numeric key first, then the plural or ordinal category of the
// locale's CLDR rules).
//
//   NumberOptions options;
//   MessageNumber::applyOption(FunctionId::NUMBER, "minimumFractionDigits", "2", true, options);
//   MessageNumber::format(value, "de", out);
//
// Stateless; safe from any thread.
#ifndef KAVRIXML_I18N_MESSAGENUMBER_H
#define KAVRIXML_I18N_MESSAGENUMBER_H

#include <memory>
#include <string>

#include "i18n/MessageValue.h"
#include "i18n/NumberFormat.h"

namespace kavri {
namespace i18n {
namespace message {

class MessageNumber {
  public:
    // What applying an option came to.
    enum OptionResult { APPLIED, IGNORED, BAD_OPTION, UNSUPPORTED };

    // MessageFormat 2's number-literal (JSON's number syntax).
    static bool isNumberLiteral(const char* text, size_t length);
    static bool parse(const char* text, size_t length, Decimal& out);

    // Takes one option of `function` into `options`. An option the function
    // does not define is IGNORED; `literal` tells whether the message wrote
    // the value as a literal (`select` must be one).
    static OptionResult applyOption(FunctionId function, const std::string& name,
                                    const std::string& value, bool literal, NumberOptions& options);
    // The options an operand's value passes on to `function`, less those the
    // function does not take over from its operand.
    static NumberOptions inherited(FunctionId function, const NumberOptions& operand);
    // Ends resolving: :integer rounds its value, :offset adds its amount.
    // False when the value cannot be made (a bad option of :offset, or no
    // currency for :currency), with `error` set.
    static bool finish(MessageValue& value, const Model& model, MessageError::Type& error);

    // Makes the formats a compiled message keeps: each number expression's
    // whose options are all literals, and the locale's plain ones.
    static void prepare(Model& model);

    static void format(const MessageValue& value, const Model& model, std::string& out);

    // Selection reads two things of a value once: its exact form (only
    // when a key is a number literal: `needExact`) and its plural or
    // ordinal category (-1 for select=exact). A key that is neither a
    // number literal nor a category is a bad variant key (`badKey` set, no
    // match).
    static bool selects(const MessageValue& value);
    static void selectionKeys(const MessageValue& value, const Model& model, bool needExact,
                              std::string& exact, int8_t& category);
    static bool match(const std::string& exact, int8_t category, const Key& key, bool& badKey);
    static bool betterThan(const Key& key1, const Key& key2) {
        return key1.numberLiteral && !key2.numberLiteral;
    }

  private:
    static bool wholeSelectionKeys(const MessageValue& value, const Model& model, bool needExact,
                                   std::string& exact, int8_t& category);
    static void classifyKeys(Model& model);
    static NumberFormat makeFormat(const MessageValue& value, const char* locale);
    // The value's own format, or one made into `holder`.
    static const NumberFormat& formatOf(const MessageValue& value, const Model& model,
                                        std::unique_ptr<NumberFormat>& holder);
};

}  // namespace message
}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_MESSAGENUMBER_H
