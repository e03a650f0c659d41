// MessageOutline: the selecting function and mode a translator check sees
// for each selector, against what formatting the message does with it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i18n/MessageFormat.h"
#include "i18n/MessageOutline.h"

namespace {

using kavri::i18n::MessageArguments;
using kavri::i18n::MessageError;
using kavri::i18n::MessageFormat;
using kavri::i18n::MessageOutline;

// Whether formatting the message (with $n = 2) finds its selector unfit.
bool badSelector(const std::string& text) {
    std::vector<MessageError> errors;
    MessageArguments arguments;
    arguments.set("n", 2);
    MessageFormat(text, "en").format(arguments, &errors);
    for (const MessageError& error : errors) {
        if (error.type == MessageError::BAD_SELECTOR) {
            return true;
        }
    }
    return false;
}

// A selector declared over other declarations selects as the nearest
// function makes it; a `select` that a number brings along to another
// number function, or one written with a variable, leaves it unfit, and
// the outline says so (no mode) exactly when formatting reports it.
TEST(MessageOutline, SelectModeFollowsTheNearestFunctionAsFormattingDoes) {
    const struct {
        const char* declarations;
        const char* function;
        const char* select;
    } cases[] = {
        {".input {$n :number select=ordinal} .local $m = {$n}", "number", "ordinal"},
        {".input {$n :integer} .local $m = {$n :number select=exact}", "number", "exact"},
        {".input {$n :number select=ordinal} .local $m = {$n :integer}", "integer", ""},
        {".input {$n :integer select=exact} .local $m = {$n :offset subtract=1}", "offset", ""},
        {".input {$n :integer} .local $m = {$n :offset subtract=1}", "offset", "plural"},
        {".input {$n :number select=ordinal} .local $m = {$n :percent}", "percent", "plural"},
        {".local $s = {exact} .input {$n :number select=$s} .local $m = {$n}", "number", ""},
        {".input {$n :number select=ordinal} .local $k = {$n :integer} .local $m = {$k :number}",
         "number", ""},
        {".input {$n :integer} .local $m = {$n :string}", "string", ""},
        {".input {$n :number select=other} .local $m = {$n}", "number", ""},
    };
    for (const auto& c : cases) {
        const std::string text = std::string(c.declarations) + " .match $m one {{a}} * {{b}}";
        SCOPED_TRACE(text);
        const MessageOutline outline(text);
        ASSERT_EQ(outline.selectors().size(), 1u);
        const MessageOutline::Selector& selector = outline.selectors()[0];
        EXPECT_EQ(selector.variable, "m");
        EXPECT_EQ(selector.function, c.function);
        EXPECT_EQ(selector.select, c.select);
        const bool numeric = selector.function != "string";
        EXPECT_EQ(badSelector(text), numeric && selector.select.empty());
    }
}

TEST(MessageOutline, ListsArgumentsAndKeysOfEachSelector) {
    const MessageOutline outline(
        ".input {$a :integer} .local $b = {$c :string} .match $a $b\n"
        "one x {{}} 2 y {{}} * * {{}}");
    EXPECT_EQ(outline.arguments(), (std::set<std::string>{"a", "c"}));
    ASSERT_EQ(outline.selectors().size(), 2u);
    EXPECT_EQ(outline.selectors()[0].keys, (std::set<std::string>{"2", "one"}));
    EXPECT_EQ(outline.selectors()[1].keys, (std::set<std::string>{"x", "y"}));
    EXPECT_EQ(outline.selectors()[1].function, "string");
}

}  // namespace
