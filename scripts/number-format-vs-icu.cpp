// Formats each row of its input with NumberFormat and with ICU's number
// formatter and prints the rows where the two differ, then a count. Rows
// where CLDR and ICU's own copy of CLDR differ show up too, so the figure is
// a guide to a regenerated data file, not a test. Built and fed by
// scripts/compare-number-format.sh; a row is
//
//   LOCALE decimal|percent|currency VALUE [cur=CODE] [minf=N] [maxf=N]
//       [mins=N] [maxs=N] [mini=N] [sign=0..4] [group=0..3] [disp=0..2] [nu=SYSTEM]
//
// with the enumerations numbered in NumberFormat's order.
#include <unicode/numberformatter.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "i18n/Decimal.h"
#include "i18n/NumberFormat.h"

namespace {

using icu::number::NumberFormatter;
using icu::number::Precision;
using icu::number::UnlocalizedNumberFormatter;
using kavri::i18n::Decimal;
using kavri::i18n::NumberFormat;

struct Row {
    std::string locale, style, value;
    NumberFormat::Options ours;
    UnlocalizedNumberFormatter icu = NumberFormatter::with();
    int minimumFraction = -1, maximumFraction = -1, minimumSignificant = 0, maximumSignificant = 0;
    std::string system;
};

void setOption(Row& row, const std::string& name, const std::string& text) {
    static const UNumberSignDisplay SIGNS[] = {UNUM_SIGN_AUTO, UNUM_SIGN_ALWAYS,
                                               UNUM_SIGN_EXCEPT_ZERO, UNUM_SIGN_NEGATIVE,
                                               UNUM_SIGN_NEVER};
    static const UNumberGroupingStrategy GROUPINGS[] = {
        UNUM_GROUPING_AUTO, UNUM_GROUPING_ON_ALIGNED, UNUM_GROUPING_MIN2, UNUM_GROUPING_OFF};
    static const UNumberUnitWidth WIDTHS[] = {UNUM_UNIT_WIDTH_SHORT, UNUM_UNIT_WIDTH_NARROW,
                                              UNUM_UNIT_WIDTH_ISO_CODE};
    int n = std::atoi(text.c_str()) % 5;
    UErrorCode status = U_ZERO_ERROR;
    if (name == "cur") {
        row.ours.currency = text;
        row.icu = row.icu.unit(
            icu::CurrencyUnit(icu::UnicodeString(text.c_str()).getTerminatedBuffer(), status));
    } else if (name == "minf" || name == "maxf" || name == "mins" || name == "maxs") {
        (name == "minf"   ? row.minimumFraction
         : name == "maxf" ? row.maximumFraction
         : name == "mins" ? row.minimumSignificant
                          : row.maximumSignificant) = std::atoi(text.c_str());
    } else if (name == "mini") {
        row.ours.minimumIntegerDigits = std::atoi(text.c_str());
        row.icu = row.icu.integerWidth(
            icu::number::IntegerWidth::zeroFillTo(row.ours.minimumIntegerDigits));
    } else if (name == "sign") {
        row.ours.signDisplay = static_cast<NumberFormat::SignDisplay>(n);
        row.icu = row.icu.sign(SIGNS[n]);
    } else if (name == "group" && n < 4) {
        row.ours.grouping = static_cast<NumberFormat::Grouping>(n);
        row.icu = row.icu.grouping(GROUPINGS[n]);
    } else if (name == "disp" && n < 3) {
        row.ours.currencyDisplay = static_cast<NumberFormat::CurrencyDisplay>(n);
        row.icu = row.icu.unitWidth(WIDTHS[n]);
    } else if (name == "nu") {
        row.ours.numberingSystem = row.system = text;
    }
}

// The precision NumberFormat would use, given to ICU, whose defaults differ
// (six fraction digits for decimals and percents).
void setPrecision(Row& row) {
    row.ours.minimumFractionDigits = row.minimumFraction;
    row.ours.maximumFractionDigits = row.maximumFraction;
    row.ours.minimumSignificantDigits = row.minimumSignificant;
    row.ours.maximumSignificantDigits = row.maximumSignificant;
    if (row.minimumSignificant > 0 || row.maximumSignificant > 0) {
        row.icu = row.icu.precision(Precision::minMaxSignificantDigits(
            row.minimumSignificant > 0 ? row.minimumSignificant : 1,
            row.maximumSignificant > 0 ? row.maximumSignificant : 21));
    } else if (row.style != "currency" || row.minimumFraction >= 0 || row.maximumFraction >= 0) {
        int most =
            row.maximumFraction >= 0 ? row.maximumFraction : (row.style == "percent" ? 0 : 3);
        int least = row.minimumFraction >= 0 ? row.minimumFraction : 0;
        row.icu = row.icu.precision(Precision::minMaxFraction(std::min(least, most), most));
    }
}

std::string icuText(Row& row) {
    if (row.style == "percent") {
        row.icu = row.icu.unit(icu::NoUnit::percent()).scale(icu::number::Scale::powerOfTen(2));
    }
    std::string tag = row.locale + (row.system.empty() ? "" : "-u-nu-" + row.system);
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale locale = icu::Locale::forLanguageTag(tag.c_str(), status);
    std::string out;
    status = U_ZERO_ERROR;
    row.icu.locale(locale)
        .formatDecimal(row.value.c_str(), status)
        .toString(status)
        .toUTF8String(out);
    return U_FAILURE(status) ? "(ICU error)" : out;
}

}  // namespace

int main() {
    std::string line;
    size_t rows = 0;
    size_t differ = 0;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        Row row;
        if (!(words >> row.locale >> row.style >> row.value)) {
            continue;
        }
        row.ours.style = row.style == "percent"    ? NumberFormat::PERCENT
                         : row.style == "currency" ? NumberFormat::CURRENCY
                                                   : NumberFormat::DECIMAL;
        for (std::string option; words >> option;) {
            size_t equals = option.find('=');
            setOption(row, option.substr(0, equals), option.substr(equals + 1));
        }
        setPrecision(row);
        Decimal value;
        std::string ours = Decimal::parse(row.value.c_str(), value)
                               ? NumberFormat(row.locale.c_str(), row.ours).format(value)
                               : "(no number)";
        std::string theirs = icuText(row);
        ++rows;
        if (ours != theirs) {
            ++differ;
            std::printf("%s\n    ours: %s\n    ICU:  %s\n", line.c_str(), ours.c_str(),
                        theirs.c_str());
        }
    }
    std::printf("%zu of %zu rows differ\n", differ, rows);
    return 0;
}
