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

    // The specification's number-literal (JSON's number syntax).
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
    static bool finish(MessageValue& value, const char* locale, MessageError::Type& error);

    static NumberFormat formatter(const MessageValue& value, const char* locale);
    static void format(const MessageValue& value, const char* locale, std::string& out);

    // Selection. A key that is neither a number literal nor a plural
    // category is a bad variant key (`badKey` set, no match).
    static bool selects(const MessageValue& value);
    static bool match(const MessageValue& value, const char* locale, const std::string& key,
                      bool& badKey);
    static bool betterThan(const std::string& key1, const std::string& key2);

  private:
    static std::string exactForm(const MessageValue& value, const char* locale);
    static bool keyword(const MessageValue& value, const char* locale, std::string& out);
};

}  // namespace message
}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_MESSAGENUMBER_H
