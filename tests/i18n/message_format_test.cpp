// MessageFormat: the syntax and its faults, the data model's rules, fallbacks
// and the order of errors, variant selection, bidi isolation, the built-in and
// application functions, parts, and formatting from many threads.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "i18n/MessageFormat.h"

namespace {

using kavri::i18n::MessageArgument;
using kavri::i18n::MessageArguments;
using kavri::i18n::MessageCustomValue;
using kavri::i18n::MessageError;
using kavri::i18n::MessageFormat;
using kavri::i18n::MessageFormatException;
using kavri::i18n::MessageFunctionCall;
using kavri::i18n::MessageFunctions;
using kavri::i18n::MessagePart;

// "output|error-name,error-name" of one formatting, without isolation
// unless asked for.
std::string run(const std::string& text, const MessageArguments& arguments = {},
                const char* locale = "en",
                MessageFormat::BidiIsolation isolation = MessageFormat::BIDI_NONE,
                const MessageFunctions* functions = nullptr) {
    std::vector<MessageError> errors;
    std::string out = MessageFormat(text, locale, functions).format(arguments, &errors, isolation);
    for (size_t i = 0; i < errors.size(); ++i) {
        out += (i == 0 ? "|" : ",");
        out += errors[i].name();
    }
    return out;
}

struct Case {
    const char* text;
    const char* expected;
};

TEST(MessageFormat, SimpleAndComplexMessagesFormatTheirPatterns) {
    const Case cases[] = {
        {"", ""},
        {"  Hello\t", "  Hello\t"},
        {"a \\{b\\} \\| \\\\ c", "a {b} | \\ c"},
        {"{|quoted \\| literal|} and {unquoted-1.2}", "quoted | literal and unquoted-1.2"},
        {"{{Quoted pattern keeps  its blanks }}", "Quoted pattern keeps  its blanks "},
        {".local $x = {|x|} .local $y = {$x} {{{$y}{$x}}}", "xx"},
        {".input {$n :number}{{n={$n}}}", "n=5"},
        {"{#b}bold{/b} {#br/} {#a href=|x| @title=t}", "bold  "},
        {"{42 @note=|ignored|}", "42"},
        {"\xE2\x80\x8F .local $x = {1} {{[{$x}]}}", "[1]"},
        {".local $\xE2\x80\x8Ex\xE2\x80\x8F = {2} {{{$x}}}", "2"},
    };
    const MessageArguments arguments{{"n", 5}};
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.text, arguments), c.expected) << c.text;
    }
}

// Each syntax error at the byte where the text stops making sense.
TEST(MessageFormat, SyntaxErrorsNameTheOffsetOfTheFault) {
    struct Fault {
        const char* text;
        size_t offset;
    };
    const Fault faults[] = {
        {"{{unclosed", 10},
        {"{{one brace}", 11},
        {"text } brace", 5},
        {"bad \\n escape", 4},
        {"{$x :f opt}", 10},
        {"{a:f}", 2},
        {".local $x={1}", 13},
        {".local$x = {1} {{}}", 6},
        {".input {1} {{}}", 7},
        {".unknown {{}}", 0},
        {"{{a}} trailing", 6},
        {".match {{}}", 7},
        {".local $x = {#b} {{}}", 13},
        {"{/b/}", 3},
        {"{$x @a=$y}", 7},
        {"{|open", 6},
        {"{ }", 2},
        {"{$foo\xD8\x9C"
         "bar}",
         7},
    };
    for (const Fault& fault : faults) {
        try {
            MessageFormat message(fault.text, "en");
            ADD_FAILURE() << fault.text << " compiled";
        } catch (const MessageFormatException& e) {
            EXPECT_EQ(e.getErrorType(), MessageError::SYNTAX_ERROR) << fault.text;
            EXPECT_EQ(e.getOffset(), fault.offset) << fault.text << ": " << e.getMessage();
        }
    }
    EXPECT_THROW(MessageFormat(std::string("a\0b", 3), "en"), MessageFormatException);
    EXPECT_THROW(MessageFormat("bad \xFF byte", "en"), MessageFormatException);
}

TEST(MessageFormat, DataModelErrorsAreFoundWhenCompiling) {
    struct Fault {
        const char* text;
        MessageError::Type type;
        size_t offset;
    };
    const Fault faults[] = {
        {".input {$a :string} .match $a * * {{}}", MessageError::VARIANT_KEY_MISMATCH, 30},
        {".input {$a :string} .match $a x {{}}", MessageError::MISSING_FALLBACK_VARIANT, 30},
        {".input {$a} .match $a * {{}}", MessageError::MISSING_SELECTOR_ANNOTATION, 19},
        {".local $b = {$a} .match $b * {{}}", MessageError::MISSING_SELECTOR_ANNOTATION, 24},
        {".input {$a} .local $a = {1} {{}}", MessageError::DUPLICATE_DECLARATION, 19},
        {".local $a = {$b} .input {$b} {{}}", MessageError::DUPLICATE_DECLARATION, 25},
        {".local $a = {1 :f o=$a} {{}}", MessageError::DUPLICATE_DECLARATION, 7},
        {"{:f a=1 b=2 a=3}", MessageError::DUPLICATE_OPTION_NAME, 12},
        {".input {$a :string} .match $a x {{}} |x| {{}} * {{}}", MessageError::DUPLICATE_VARIANT,
         37},
    };
    for (const Fault& fault : faults) {
        try {
            MessageFormat message(fault.text, "en");
            ADD_FAILURE() << fault.text << " compiled";
        } catch (const MessageFormatException& e) {
            EXPECT_EQ(e.getErrorType(), fault.type) << fault.text << ": " << e.getMessage();
            EXPECT_EQ(e.getOffset(), fault.offset) << fault.text;
        }
    }
    // A later syntax error wins over an earlier data model error.
    try {
        MessageFormat(".input {$a} .input {$a} {{oops}", "en");
        ADD_FAILURE();
    } catch (const MessageFormatException& e) {
        EXPECT_EQ(e.getErrorType(), MessageError::SYNTAX_ERROR);
    }
    // Keys compare in normalisation form C: D + dot below + dot above twice.
    EXPECT_THROW(MessageFormat(".local $x = {a :string} .match $x \xE1\xB8\x8C\xCC\x87 {{}} "
                               "D\xCC\xA3\xCC\x87 {{}} * {{}}",
                               "en"),
                 MessageFormatException);
}

TEST(MessageFormat, FailedPartsShowTheirFallbackAndErrorsComeInOrder) {
    const Case cases[] = {
        {"a {$missing} b", "a {$missing} b|unresolved-variable"},
        {"{$missing :number}", "{$missing}|unresolved-variable,bad-operand"},
        // :string keeps the fallback text it was given (longer than a short string).
        {"{$a-rather-long-missing-name :string}",
         "{$a-rather-long-missing-name}|unresolved-variable"},
        {"{|a\\|b| :no:such}", "{|a\\|b|}|unknown-function"},
        {"{:no:such}", "{:no:such}|unknown-function"},
        {".local $x = {1 :no:such} {{{$x} {$x}}}", "{$x} {$x}|unknown-function"},
        {"{horse :number}", "{|horse|}|bad-operand"},
        {"{1 :number minimumFractionDigits=x}", "1|bad-option"},
        {"{1 :number minimumFractionDigits=$nope}", "1|unresolved-variable,bad-option"},
        {"{1 :offset}", "{|1|}|bad-option"},
        {"{1 :currency}", "{|1|}|bad-operand"},
        {"{1 :number roundingMode=floor}", "1|unsupported-operation"},
        {"{#b u:dir=rtl}x", "x|bad-option"},
        // Declarations nobody uses are never resolved.
        {".local $unused = {$nope :number} {{fine}}", "fine"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.text), c.expected) << c.text;
    }
}

TEST(MessageFormat, SelectionPrefersExactKeysThenCategoriesThenCatchAll) {
    const char* plural =
        ".input {$n :number}\n.match $n\n0 {{none}} one {{one}} few {{few}}"
        " many {{many}} * {{other}}";
    struct Selection {
        const char* locale;
        MessageArgument n;
        const char* expected;
    };
    const Selection selections[] = {
        {"en", 0, "none"},
        {"en", 1, "one"},
        {"en", 2, "other"},
        {"ru", 3, "few"},
        {"ru", 5, "many"},
        {"ru", 21, "one"},
        {"ru", 1.5, "other"},
        {"pl", 22, "few"},
        {"ar", 0, "none"},
        {"en", "1", "one"},
        {"en", MessageArgument::decimal("1.0"), "one"},
    };
    EXPECT_EQ(run(".input {$n :number minimumFractionDigits=1} .match $n one {{one}} * {{other}}",
                  {{"n", 1}}),
              "other");
    for (const Selection& s : selections) {
        EXPECT_EQ(run(plural, {{"n", s.n}}, s.locale), s.expected) << s.locale;
    }
    const char* ordinal =
        ".input {$n :integer select=ordinal} .match $n one {{st}} two {{nd}}"
        " few {{rd}} * {{th}}";
    EXPECT_EQ(run(ordinal, {{"n", 22}}), "nd");
    EXPECT_EQ(run(ordinal, {{"n", 13}}), "th");
    const char* exact = ".input {$n :number select=exact} .match $n 1 {{=1}} one {{one}} * {{*}}";
    EXPECT_EQ(run(exact, {{"n", 1}}), "=1");
    EXPECT_EQ(run(".input {$n :number select=exact} .match $n one {{one}} * {{*}}", {{"n", 1}}),
              "*");
    // Two selectors: the first selector's better key decides.
    const char* two =
        ".input {$g :string} .input {$n :integer} .match $g $n\n"
        "female one {{she, one}} female * {{she}} * one {{one}} * * {{other}}";
    EXPECT_EQ(run(two, {{"g", "female"}, {"n", 1}}), "she, one");
    EXPECT_EQ(run(two, {{"g", "female"}, {"n", 4}}), "she");
    EXPECT_EQ(run(two, {{"g", "male"}, {"n", 1}}), "one");
    EXPECT_EQ(run(".input {$n :number} .match $n horse {{h}} * {{other}}", {{"n", 1}}),
              "other|bad-variant-key");
    EXPECT_EQ(run(".local $c = {1 :currency currency=EUR} .match $c * {{other}}"),
              "other|bad-selector");
    EXPECT_EQ(run(".local $p = {0.01 :percent} .match $p one {{one}} * {{other}}"), "one");
    // An NFD argument matches the NFC key.
    EXPECT_EQ(
        run(".input {$s :string} .match $s \xC3\xA9 {{e-acute}} * {{other}}", {{"s", "e\xCC\x81"}}),
        "e-acute");
}

TEST(MessageFormat, DefaultBidiStrategyIsolatesPlaceholdersByDirection) {
    const auto isolated = [](const char* text, const char* locale) {
        return run(text, {{"s", "x"}}, locale, MessageFormat::BIDI_DEFAULT);
    };
    const char* FSI = "\xE2\x81\xA8";
    const char* LRI = "\xE2\x81\xA6";
    const char* RLI = "\xE2\x81\xA7";
    const char* PDI = "\xE2\x81\xA9";
    EXPECT_EQ(isolated("{$s}", "en"), std::string(FSI) + "x" + PDI);
    EXPECT_EQ(isolated("{1 :number}", "en"), "1");
    EXPECT_EQ(isolated("{1 :number u:dir=ltr}", "en"), std::string(LRI) + "1" + PDI);
    EXPECT_EQ(isolated("{$s :string u:dir=rtl}", "en"), std::string(RLI) + "x" + PDI);
    EXPECT_EQ(isolated("{$s :string u:dir=auto}", "en"), std::string(FSI) + "x" + PDI);
    EXPECT_EQ(isolated("{$s :string u:dir=inherit}", "en"), std::string(FSI) + "x" + PDI);
    EXPECT_EQ(isolated("{$s :string u:dir=ltr}", "ar"), std::string(LRI) + "x" + PDI);
    EXPECT_EQ(isolated("{$nope}", "en"),
              std::string(FSI) + "{$nope}" + PDI + "|unresolved-variable");
    EXPECT_EQ(isolated("{$s :string u:dir=up}", "en"),
              std::string(FSI) + "x" + PDI + "|bad-option");
    EXPECT_TRUE(MessageFormat("", "he-IL").isRightToLeft());
    EXPECT_TRUE(MessageFormat("", "az-Arab").isRightToLeft());
    EXPECT_FALSE(MessageFormat("", "sr_Latn").isRightToLeft());
}

TEST(MessageFormat, NumberFunctionsTakeTheirOptionsAndPassThemOn) {
    const Case cases[] = {
        {"{4.2 :number minimumFractionDigits=2}", "4.20"},
        {"{-4.20 :number}", "-4.2"},
        {"{|0.42e+1| :integer}", "4"},
        {"{1234567 :number useGrouping=never}", "1234567"},
        {"{5 :number signDisplay=always}", "+5"},
        {"{7 :number minimumIntegerDigits=3}", "007"},
        {"{0.123456 :number maximumSignificantDigits=2}", "0.12"},
        {"{0.25 :percent}", "25%"},
        {"{5 :currency currency=usd trailingZeroDisplay=stripIfInteger}", "$5"},
        {"{5.5 :currency currency=USD}", "$5.50"},
        {"{41 :offset add=1}", "42"},
        {".local $x = {41 :integer signDisplay=always} {{{$x :offset add=1}}}", "+42"},
        {".local $x = {1.5 :number minimumFractionDigits=2} {{{$x :integer}}}", "2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.text), c.expected) << c.text;
    }
    EXPECT_EQ(run("{1234.5 :number}", {}, "de"), "1.234,5");
    EXPECT_EQ(run("{$n}", {{"n", 1234567.5}}, "hi"), "12,34,567.5");
    // `select` must be a literal of this expression, not of a variable or an operand.
    EXPECT_EQ(run(".local $s = {1 :integer select=exact} .local $t = {$s :integer}"
                  " .match $t 1 {{one}} * {{other}}"),
              "other|bad-option,bad-selector");
    EXPECT_EQ(run("{1 :number select=$s}", {{"s", "exact"}}), "1|bad-option");
}

// Keys, selected strings and variable names compare in normalisation form C:
// each row is a key and an argument spelt differently that must select it.
TEST(MessageFormat, KeysStringsAndNamesCompareInNormalisationFormC) {
    const char* rows[][2] = {
        {"\xC3\x85", "\xE2\x84\xAB"},                              // Angstrom sign
        {"\xC3\x85", "A\xCC\x8A"},                                 // A + ring above
        {"\xEA\xB0\x81", "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8"},  // Hangul jamo
        {"\xEA\xB0\x81", "\xEA\xB0\x80\xE1\x86\xA8"},              // syllable + final
        {"\xE1\xBA\xA1\xCC\x87", "a\xCC\x87\xCC\xA3"},             // marks reordered
        {"q\xCC\xA3\xCC\x87", "q\xCC\x87\xCC\xA3"},                // reordered, no composite
        {"\xC7\xBA", "\xC3\x85\xCC\x81"},                          // composes twice
        {"\xE0\xA4\x95\xE0\xA4\xBC", "\xE0\xA5\x98"},              // an exclusion
        {"\xCC\x88\xCC\x81", "\xCD\x84"},                          // never recomposed
    };
    for (const auto& row : rows) {
        const std::string text =
            std::string(".input {$s :string} .match $s |") + row[0] + "| {{key}} * {{other}}";
        EXPECT_EQ(run(text, {{"s", row[1]}}), "key") << row[0];
    }
    EXPECT_EQ(
        run(".input {$s :string} .match $s |\xC3\xA5| {{key}} * {{other}}", {{"s", "\xC3\x85"}}),
        "other");
    EXPECT_EQ(run(".local $\xC3\x85 = {x} {{{$A\xCC\x8A}}}"), "x");
    EXPECT_EQ(run("{$A\xCC\x8A}", {{"\xC3\x85", "y"}}), "y");
}

TEST(MessageFormat, NumberOptionsRefuseValuesOutsideTheirRanges) {
    const Case cases[] = {
        {"{1 :number signDisplay=sideways}", "1|bad-option"},
        {"{1 :number useGrouping=min2}", "1"},
        {"{1 :number minimumFractionDigits=01}", "1|bad-option"},
        {"{1 :number minimumFractionDigits=100}", "1|bad-option"},
        {"{1 :number select=cardinal}", "1|bad-option"},
        // Options a function does not define are no error, and do nothing.
        {"{1 :integer minimumFractionDigits=2}", "1"},
        {"{1 :percent minimumIntegerDigits=2}", "100%"},
        {"{1 :currency currency=EURO}", "{|1|}|bad-option,bad-operand"},
        {"{1 :currency currency=eur fractionDigits=0}",
         "\xE2\x82\xAC"
         "1"},
        {"{1 :currency currency=EUR currencyDisplay=code}",
         "EUR\xC2\xA0"
         "1.00"},
        {"{1 :offset add=1 subtract=1}", "{|1|}|bad-option"},
        {"{1.5 :offset add=1}", "2.5"},
        {"{0 :number} {-0.5 :number} {1E2 :number}", "0 -0.5 100"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.text), c.expected) << c.text;
    }
}

TEST(MessageFormat, ArgumentsKeepTheirTypes) {
    const MessageArguments arguments{
        {"d", 0.1},
        {"big", MessageArgument::decimal("12345678901234567890.5")},
        {"notnumber", MessageArgument::decimal("1.2.3")},
        {"b", true},
        {"s", "1e3"},
        {"i", -42},
    };
    const Case cases[] = {
        {"{$d}", "0.1"},           {"{$big :number}", "12,345,678,901,234,567,890.5"},
        {"{$notnumber}", "1.2.3"}, {"{$notnumber :number}", "{$notnumber}|bad-operand"},
        {"{$b}", "true"},          {"{$b :number}", "{$b}|bad-operand"},
        {"{$s :number}", "1,000"}, {"{$i :string}", "-42"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.text, arguments), c.expected) << c.text;
    }
    EXPECT_EQ(MessageArgument(0.1).toString(), "0.1");
    EXPECT_EQ(MessageArgument(false).toString(), "false");
}

// An application function used as formatter, selector and option value.
struct Shout : MessageCustomValue {
    std::string text;
    bool format(std::string& out, MessageError::Type&) const override {
        for (char c : text) {
            out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        }
        return true;
    }
    bool selects() const override { return true; }
    bool match(const std::string& key, bool& error) const override {
        error = false;
        return key == text;
    }
    bool toString(std::string& out) const override {
        out = text;
        return true;
    }
};

TEST(MessageFormat, ApplicationFunctionsFormatSelectAndReportErrors) {
    MessageFunctions functions;
    functions.add("app:shout",
                  [](const MessageFunctionCall& call,
                     MessageError::Type& error) -> std::shared_ptr<const MessageCustomValue> {
                      if (call.operandType() != MessageFunctionCall::STRING) {
                          error = MessageError::BAD_OPERAND;
                          return nullptr;
                      }
                      if (call.option("loud") != nullptr && !call.option("loud")->literal) {
                          call.report(MessageError::BAD_OPTION);
                      }
                      auto value = std::make_shared<Shout>();
                      value->text = call.operandText();
                      return value;
                  });
    EXPECT_EQ(run("{hey :app:shout}!", {}, "en", MessageFormat::BIDI_NONE, &functions), "HEY!");
    EXPECT_EQ(run(".local $s = {a :app:shout} .match $s a {{A}} * {{*}}", {}, "en",
                  MessageFormat::BIDI_NONE, &functions),
              "A");
    EXPECT_EQ(run("{$n :app:shout}", {{"n", 1}}, "en", MessageFormat::BIDI_NONE, &functions),
              "{$n}|bad-operand");
    EXPECT_EQ(
        run("{a :app:shout loud=$x}", {{"x", "y"}}, "en", MessageFormat::BIDI_NONE, &functions),
        "A|bad-option");
    EXPECT_THROW(functions.add("number", nullptr), MessageFormatException);
    EXPECT_THROW(functions.add("no good", nullptr), MessageFormatException);
}

TEST(MessageFormat, PartsCarryMarkupPlaceholdersAndIsolation) {
    MessageFormat message("Hi {#b id=$who u:id=x}{$who :string u:id=w u:dir=ltr}{/b} {$nope}!",
                          "en");
    std::vector<MessageError> errors;
    const std::vector<MessagePart> parts = message.formatToParts({{"who", "Ann"}}, &errors);
    ASSERT_EQ(parts.size(), 11u);
    EXPECT_EQ(parts[0].value, "Hi ");
    EXPECT_EQ(parts[1].type, MessagePart::MARKUP_OPEN);
    EXPECT_EQ(parts[1].name, "b");
    EXPECT_EQ(parts[1].id, "x");
    ASSERT_EQ(parts[1].options.size(), 1u);
    EXPECT_EQ(parts[1].options[0].second, "Ann");
    EXPECT_EQ(parts[2].type, MessagePart::BIDI_ISOLATION);
    EXPECT_EQ(parts[3].type, MessagePart::PLACEHOLDER);
    EXPECT_EQ(parts[3].value, "Ann");
    EXPECT_EQ(parts[3].id, "w");
    EXPECT_EQ(parts[3].dir, "ltr");
    EXPECT_EQ(parts[5].type, MessagePart::MARKUP_CLOSE);
    EXPECT_EQ(parts[6].value, " ");
    EXPECT_EQ(parts[8].type, MessagePart::FALLBACK);
    EXPECT_EQ(parts[8].source, "$nope");
    EXPECT_EQ(parts[10].value, "!");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].type, MessageError::UNRESOLVED_VARIABLE);
}

// Long chains of declarations and long messages cost time in proportion,
// not depth of the call stack.
TEST(MessageFormat, LongDeclarationChainsResolveWithoutDeepRecursion) {
    std::string text = ".local $v0 = {|x| :string}\n";
    const int count = 20000;
    for (int i = 1; i < count; ++i) {
        text += ".local $v" + std::to_string(i) + " = {$v" + std::to_string(i - 1) + " :string}\n";
    }
    text += "{{{$v" + std::to_string(count - 1) + "}}}";
    EXPECT_EQ(run(text), "x");
    EXPECT_THROW(MessageFormat(std::string(MessageFormat::MAX_LENGTH + 1, 'a'), "en"),
                 MessageFormatException);
}

TEST(MessageFormat, ThreadsFormatOneCompiledMessageAtOnce) {
    const MessageFormat message(".input {$n :integer} .match $n one {{{$n} file}} * {{{$n} files}}",
                                "en");
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&message, &wrong, t] {
            for (int k = 0; k < 2000; ++k) {
                const int i = k % 1000;
                const std::string expected = std::to_string(i) + (i == 1 ? " file" : " files");
                wrong[t] +=
                    message.format({{"n", i}}, nullptr, MessageFormat::BIDI_NONE) != expected;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace
