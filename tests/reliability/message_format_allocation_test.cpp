// MessageFormat under memory pressure: formatting placeholders takes no
// memory beyond the output, and compiling or formatting that runs out of
// memory at any allocation throws std::bad_alloc, leaks nothing and leaves
// the compiled message usable.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "failing_allocator.h"
#include "i18n/MessageFormat.h"

namespace {

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

}  // namespace
