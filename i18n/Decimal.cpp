// Decimal: parsing, the shortest text of a double, exact sums and comparison
// on digit strings.
#include "i18n/Decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kavri {
namespace i18n {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The digits of a run without its leading zeros, and the count dropped.
size_t leadingZeros(const std::string& digits) {
    size_t k = 0;
    while (k < digits.size() && digits[k] == '0') {
        ++k;
    }
    return k;
}

// The magnitude of two digit runs aligned on the same last power of ten:
// -1, 0 or 1. Both are free of leading zeros.
int compareAligned(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// `digits` followed by `zeros` zeros.
std::string padded(const std::string& digits, int zeros) {
    return digits + std::string(static_cast<size_t>(zeros), '0');
}

// a + b, digit runs of one scale.
std::string addRuns(const std::string& a, const std::string& b) {
    std::string out;
    int carry = 0;
    for (size_t k = 0; k < std::max(a.size(), b.size()) || carry != 0; ++k) {
        int sum = carry;
        sum += k < a.size() ? a[a.size() - 1 - k] - '0' : 0;
        sum += k < b.size() ? b[b.size() - 1 - k] - '0' : 0;
        out += static_cast<char>('0' + sum % 10);
        carry = sum / 10;
    }
    std::reverse(out.begin(), out.end());
    return out;
}

// a - b for a >= b, digit runs of one scale.
std::string subtractRuns(const std::string& a, const std::string& b) {
    std::string out;
    int borrow = 0;
    for (size_t k = 0; k < a.size(); ++k) {
        int difference = a[a.size() - 1 - k] - '0' - borrow;
        difference -= k < b.size() ? b[b.size() - 1 - k] - '0' : 0;
        borrow = difference < 0 ? 1 : 0;
        out += static_cast<char>('0' + difference + 10 * borrow);
    }
    std::reverse(out.begin(), out.end());
    return out.substr(std::min(leadingZeros(out), out.size()));
}

}  // namespace

Decimal::Decimal(bool negative, std::string digits, int exponent)
    : mNegative(negative), mDigits(std::move(digits)), mExponent(exponent) {
    mDigits.erase(0, leadingZeros(mDigits));
    if (mDigits.empty() && mExponent > 0) {
        mExponent = 0;
    }
}

bool Decimal::parse(const char* text, Decimal& out) {
    if (text == nullptr) {
        return false;
    }
    const char* p = text;
    bool negative = *p == '-';
    p += negative ? 1 : 0;
    if (!isDigit(*p) || (*p == '0' && isDigit(p[1]))) {
        return false;
    }
    std::string digits;
    for (; isDigit(*p); ++p) {
        digits += *p;
    }
    long exponent = 0;
    if (*p == '.') {
        if (!isDigit(*++p)) {
            return false;
        }
        for (; isDigit(*p); ++p) {
            digits += *p;
            --exponent;
        }
    }
    if (*p == 'e' || *p == 'E') {
        ++p;
        bool negativeExponent = *p == '-';
        p += (*p == '-' || *p == '+') ? 1 : 0;
        if (!isDigit(*p)) {
            return false;
        }
        long written = 0;
        for (; isDigit(*p); ++p) {
            written = std::min(written * 10 + (*p - '0'), 100L * MAX_EXPONENT);
        }
        exponent += negativeExponent ? -written : written;
    }
    Decimal value(negative, digits, 0);
    long top = exponent + static_cast<long>(value.mDigits.size());
    if (*p != '\0' || exponent < -MAX_EXPONENT || top > MAX_EXPONENT) {
        return false;
    }
    value.mExponent = static_cast<int>(exponent);
    if (value.mDigits.empty() && value.mExponent > 0) {
        value.mExponent = 0;
    }
    out = std::move(value);
    return true;
}

Decimal Decimal::fromInteger(long long value) {
    // The magnitude as unsigned, so that the smallest long long has one.
    unsigned long long magnitude =
        value < 0 ? 0ull - static_cast<unsigned long long>(value) : value;
    return Decimal(value < 0, std::to_string(magnitude), 0);
}

Decimal Decimal::fromDouble(double value) {
    Decimal out;
    if (!std::isfinite(value)) {
        return out;
    }
    char text[64];
    auto written = std::to_chars(text, text + sizeof text - 1, value);
    *written.ptr = '\0';
    // to_chars writes JSON's syntax apart from a "+" exponent sign, which parse accepts.
    parse(text, out);
    return out;
}

Decimal Decimal::plus(const Decimal& other) const {
    int scale = std::min(mExponent, other.mExponent);
    std::string a = padded(mDigits, mExponent - scale);
    std::string b = padded(other.mDigits, other.mExponent - scale);
    if (mNegative == other.mNegative) {
        return Decimal(mNegative, addRuns(a, b), scale);
    }
    int order = compareAligned(a.substr(leadingZeros(a)), b.substr(leadingZeros(b)));
    if (order == 0) {
        return Decimal(false, std::string(), scale);
    }
    return order > 0 ? Decimal(mNegative, subtractRuns(a, b), scale)
                     : Decimal(other.mNegative, subtractRuns(b, a), scale);
}

Decimal Decimal::negated() const {
    return Decimal(!mNegative, mDigits, mExponent);
}

Decimal Decimal::scaled(int powerOfTen) const {
    return Decimal(mNegative, mDigits, mExponent + powerOfTen);
}

int Decimal::compare(const Decimal& other) const {
    bool negative = mNegative && !isZero();
    bool otherNegative = other.mNegative && !other.isZero();
    if (negative != otherNegative) {
        return negative ? -1 : 1;
    }
    int scale = std::min(mExponent, other.mExponent);
    int order = compareAligned(padded(mDigits, mExponent - scale),
                               padded(other.mDigits, other.mExponent - scale));
    if (isZero() || other.isZero()) {
        order = isZero() == other.isZero() ? 0 : (isZero() ? -1 : 1);
    }
    return negative ? -order : order;
}

bool Decimal::isInteger() const {
    if (mExponent >= 0) {
        return true;
    }
    size_t fraction = std::min(mDigits.size(), static_cast<size_t>(-mExponent));
    return mDigits.find_first_not_of('0', mDigits.size() - fraction) == std::string::npos;
}

std::string Decimal::toString() const {
    std::string out = mNegative ? "-" : "";
    if (mExponent >= 0) {
        out += mDigits.empty() ? std::string("0") : padded(mDigits, mExponent);
        return out;
    }
    size_t fraction = static_cast<size_t>(-mExponent);
    if (mDigits.size() <= fraction) {
        out += "0." + std::string(fraction - mDigits.size(), '0') + mDigits;
    } else {
        out += mDigits.substr(0, mDigits.size() - fraction) + "." +
               mDigits.substr(mDigits.size() - fraction);
    }
    return out;
}

}  // namespace i18n
}  // namespace kavri
