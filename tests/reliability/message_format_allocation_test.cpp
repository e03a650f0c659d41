// MessageFormat under memory pressure: formatting placeholders takes no
// memory beyond the output, and compiling or formatting that runs out of
// memory at any allocation throws std::bad_alloc, leaks nothing and leaves
// the compiled message usable.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "failing_allocator.h"
#include "i18n/Bundle.h"
#include "i18n/MessageFormat.h"

namespace {

using kavri::i18n::Bundle;
using kavri::i18n::MessageArguments;
using kavri::i18n::MessageError;
using kavri::i18n::MessageFormat;

TEST(MessageFormatAllocation, PlaceholdersTakeNoMemoryBeyondTheOutput) {
    const MessageArguments arguments{{"n", 1234567}, {"who", "Ada"}, {"x", 0.25}};
    const char* rows[][2] = {
        {"de", "{$who} has {$n :number} files, {$x :percent} of them new."},
        {"hi", "{$n :integer signDisplay=always} {$n :currency currency=INR}"},
        {"ar-EG", "{$n} {$who :string u:dir=rtl}"},
    };
    for (const auto& row : rows) {
        const MessageFormat message(row[1], row[0]);
        std::string out;
        out.reserve(256);
        std::vector<MessageError> errors;
        errors.reserve(4);
        failing::Armed counting(1000000, failing::Mode::ONCE);
        message.format(arguments, out, errors);
        EXPECT_EQ(counting.finish(), 0u) << row[0] << ": " << out;
        EXPECT_TRUE(errors.empty()) << row[1];
    }
}

// Declarations, selectors and the chosen variant's placeholders live on the
// stack: a choice by gender and count, and a double as German writes it,
// take no memory whatever the count, the form chosen or the isolation.
TEST(MessageFormatAllocation, SelectionAndNumbersTakeNoMemoryBeyondTheOutput) {
    const MessageFormat select2(
        ".input {$count :integer}\n.input {$gender :string}\n.match $gender $count\n"
        "female one {{Sie hat {$count} Foto geteilt.}}\n"
        "female * {{Sie hat {$count} Fotos geteilt.}}\n"
        "male one {{Er hat {$count} Foto geteilt.}}\n"
        "* * {{Sie haben {$count} Fotos geteilt.}}",
        "de");
    const MessageFormat number("Sie haben {$count :number} neue Nachrichten.", "de");
    const struct {
        const MessageFormat& message;
        MessageArguments arguments;
        const char* expected;
    } rows[] = {
        {select2, {{"gender", "female"}, {"count", 1}}, "Sie hat 1 Foto geteilt."},
        {select2, {{"gender", "male"}, {"count", 1000000}}, "Sie haben 1.000.000 Fotos geteilt."},
        {select2, {{"gender", "other"}, {"count", -1}}, "Sie haben -1 Fotos geteilt."},
        {select2, {{"gender", "male"}, {"count", 2.5}}, "Sie haben 2 Fotos geteilt."},
        {number, {{"count", 1234567.5}}, "Sie haben 1.234.567,5 neue Nachrichten."},
        {number, {{"count", 0.5}}, "Sie haben 0,5 neue Nachrichten."},
    };
    for (const auto& row : rows) {
        for (const auto isolation : {MessageFormat::BIDI_NONE, MessageFormat::BIDI_DEFAULT}) {
            std::string out;
            out.reserve(256);
            std::vector<MessageError> errors;
            errors.reserve(4);
            failing::Armed counting(1000000, failing::Mode::ONCE);
            row.message.format(row.arguments, out, errors, isolation);
            EXPECT_EQ(counting.finish(), 0u) << out;
            if (isolation == MessageFormat::BIDI_NONE) {
                EXPECT_EQ(out, row.expected);
            }
            EXPECT_TRUE(errors.empty()) << out;
        }
    }
}

TEST(MessageFormatAllocation, EveryFailedAllocationThrowsAndLeavesNothingBehind) {
    const std::string text =
        ".input {$n :integer} .local $g = {$gender :string} .match $g $n\n"
        "female one {{{#b}She{/b} has {$n} file}} female * {{She has {$n} files}}\n"
        "* * {{{$who} has {$n :number minimumFractionDigits=1} files, {$missing}}}";
    const MessageArguments arguments{{"n", 3}, {"gender", "male"}, {"who", "Ann"}};
    const std::string expected = MessageFormat(text, "ru").format(arguments);
    const long before = failing::liveBlocks();
    for (unsigned long n = 1;; ++n) {
        std::unique_ptr<MessageFormat> message;
        std::string out;
        bool failed = false;
        {
            failing::Armed armed(n, failing::Mode::ONCE);
            try {
                message.reset(new MessageFormat(text, "ru"));
                out = message->format(arguments);
                message->formatToParts(arguments);
            } catch (const std::bad_alloc&) {
                failed = true;
            }
            if (!failed) {
                EXPECT_LT(armed.finish(), n);
            }
        }
        if (message) {
            EXPECT_EQ(message->format(arguments), expected) << "after failing allocation " << n;
        }
        message.reset();
        const bool done = !failed;
        EXPECT_TRUE(failed || out == expected) << out;
        std::string().swap(out);
        EXPECT_EQ(failing::liveBlocks(), before) << "after failing allocation " << n;
        if (done) {
            break;
        }
    }
}

// A bundle keeps one compiled message per key: each text set anew under a
// key replaces the one compiled before, so that the blocks alive stay as
// they were however many texts the key has had.
TEST(MessageFormatAllocation, ABundleKeepsOneCompiledMessagePerKey) {
    core::SmartPtr<Bundle> bundle(new Bundle("texts", "texts.json"));
    bundle->setMessageBundle(true);
    std::string out;
    long settled = 0;
    for (int i = 100; i < 300; ++i) {
        const std::string n = std::to_string(i);
        bundle->setText("k", "Text number " + n + " of {$n :integer}");
        bundle->formatMessage("k", {{"n", i}}, out, true, nullptr, MessageFormat::BIDI_NONE);
        ASSERT_EQ(out, "Text number " + n + " of " + n);
        if (i == 110) {
            settled = failing::liveBlocks();
        }
    }
    EXPECT_EQ(failing::liveBlocks(), settled);
}

}  // namespace
