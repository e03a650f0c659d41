// NumberFormat writes into the caller's string and takes no memory of its
// own while formatting, whatever the locale's symbols, digits or rounding.
#include <gtest/gtest.h>

#include <string>

#include "failing_allocator.h"
#include "i18n/Decimal.h"
#include "i18n/NumberFormat.h"

namespace {

using kavri::i18n::Decimal;
using kavri::i18n::NumberFormat;

TEST(NumberFormatAllocation, FormattingAllocatesNothingButTheOutput) {
    NumberFormat::Options currency;
    currency.style = NumberFormat::CURRENCY;
    currency.currency = "INR";
    NumberFormat::Options percent;
    percent.style = NumberFormat::PERCENT;
    percent.maximumFractionDigits = 2;
    NumberFormat::Options significant;
    significant.maximumSignificantDigits = 3;
    significant.signDisplay = NumberFormat::SIGN_ALWAYS;
    const struct {
        const char* locale;
        const NumberFormat::Options& options;
        const char* value;
    } rows[] = {
        {"hi", currency, "-1234567.895"},
        {"ar-EG", percent, "0.99999"},
        {"de-CH", significant, "99950"},
        {"bn", significant, "1e40"},
    };
    for (const auto& row : rows) {
        NumberFormat format(row.locale, row.options);
        Decimal value;
        ASSERT_TRUE(Decimal::parse(row.value, value));
        std::string out;
        out.reserve(256);
        failing::Armed counting(1000000, failing::Mode::ONCE);
        format.format(value, out);
        EXPECT_EQ(counting.finish(), 0u) << row.locale << " " << row.value << ": " << out;
        EXPECT_FALSE(out.empty());
    }
}

}  // namespace
