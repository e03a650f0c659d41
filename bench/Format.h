// Format turns the figures of the benchmark report into text: numbers with
// as many digits as their noise deserves, ratios with their "×", and library
// messages made safe for a Markdown table cell. Everything here is a pure
// function of its arguments, so the report's wording is tested without a run.
//
//   bench::significant(312.4);   // "312"
//   bench::ratio(0.0553);        // "0.055 ×"
//   bench::grouped(1234567);     // "1,234,567"
#ifndef KAVRIXML_BENCH_FORMAT_H
#define KAVRIXML_BENCH_FORMAT_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace bench {

const double kMB = 1e6;

inline std::string fixed(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

// Three significant digits (all digits above 999), enough for figures that
// swing by 20 %.
inline std::string significant(double value) {
    return fixed(value, value >= 100 ? 0 : value >= 10 ? 1 : 2);
}

// Bytes per second as MB/s.
inline std::string rate(double bytesPerSecond) {
    return significant(bytesPerSecond / kMB);
}

// Two decimals, or three for ratios below 0.1 (against the memchr floor);
// "–" for a ratio that was not measured (0).
inline std::string ratio(double value) {
    return value > 0 ? fixed(value, value < 0.1 ? 3 : 2) + " ×" : "–";
}

inline std::string grouped(size_t value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<size_t>(at), ",");
    }
    return digits;
}

// A library's message made safe for a Markdown table cell: its bars would
// end the cell, and a line break the row.
inline std::string tableText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '|') {
            out += "\\|";
        } else {
            out += c == '\n' || c == '\r' ? ' ' : c;
        }
    }
    return out;
}

// "missed on 3 of 12; ..." with its first word in bold; a verdict of
// "not measured" all in bold.
inline std::string emphasised(const std::string& verdict) {
    const size_t space = verdict.rfind("not ", 0) == 0 ? std::string::npos : verdict.find(' ');
    return "**" + verdict.substr(0, space) + "**" +
           (space == std::string::npos ? "" : verdict.substr(space));
}

}  // namespace bench

#endif  // KAVRIXML_BENCH_FORMAT_H
