#include "framework/plinth/StringUtil.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace text {

namespace {

const char* skipBlanks(const char* text) {
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r') {
        ++text;
    }
    return text;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

CharPtrProxy toProxy(const std::string& text) {
    char* buffer = new char[text.size() + 1];
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return CharPtrProxy(buffer, text.size());
}

// Appends code point `cp` as UTF-8.
void appendUtf8(unsigned long cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

int digitValue(char c, int base) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (base == 16 && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (base == 16 && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A numeric reference ("&#65;", "&#x41;") at `p`, which points at the '&' with
// "&#" before `end`. Any number of digits is read, leading zeros included
// ("&#x00000000041;" is valid XML); the scan stops at the first byte that is
// no digit, so a text full of unfinished references stays linear. Returns the
// input bytes it stands for, or 0 when it is no character that we resolve.
size_t decodeNumericReference(const char* p, const char* end, std::string& out) {
    const char* digits = p + 2;
    int base = 10;
    if (digits < end && (*digits == 'x' || *digits == 'X')) {
        base = 16;
        ++digits;
    }
    unsigned long cp = 0;
    bool tooLarge = false;
    const char* d = digits;
    for (int v; d < end && (v = digitValue(*d, base)) >= 0; ++d) {
        cp = cp * static_cast<unsigned long>(base) + static_cast<unsigned long>(v);
        if (cp > 0x10FFFF) {
            tooLarge = true;
            cp = 0x110000;  // stays above the range however many digits follow
        }
    }
    if (d == digits || d == end || *d != ';' || tooLarge) {
        return 0;
    }
    // NUL and surrogate halves are no characters: keep the reference as written.
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    appendUtf8(cp, out);
    return static_cast<size_t>(d + 1 - p);
}

// Decodes the reference that starts at `p` (at '&') and ends before `end`.
// Returns the number of input bytes it stands for, or 0 when it is no
// reference that we resolve (it is then copied as written).
size_t decodeReference(const char* p, const char* end, std::string& out) {
    if (end - p >= 2 && p[1] == '#') {
        return decodeNumericReference(p, end, out);
    }
    struct Named {
        const char* text;  // with its '&' and ';'
        size_t length;
        char value;
    };
    static const Named kNamed[] = {{"&amp;", 5, '&'},
                                   {"&lt;", 4, '<'},
                                   {"&gt;", 4, '>'},
                                   {"&quot;", 6, '"'},
                                   {"&apos;", 6, '\''}};
    const size_t available = static_cast<size_t>(end - p);
    for (const Named& entry : kNamed) {
        if (entry.length <= available && std::memcmp(entry.text, p, entry.length) == 0) {
            out.push_back(entry.value);
            return entry.length;
        }
    }
    return 0;
}

}  // namespace

int StringUtil::parseInt(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    errno = 0;
    long value = std::strtol(skipBlanks(text), nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

float StringUtil::parseFloat(const char* text) {
    return text == nullptr ? 0.0f : std::strtof(skipBlanks(text), nullptr);
}

double StringUtil::parseDouble(const char* text) {
    return text == nullptr ? 0.0 : std::strtod(skipBlanks(text), nullptr);
}

bool StringUtil::parseBool(const char* text) {
    if (text == nullptr) {
        return false;
    }
    text = skipBlanks(text);
    std::string word(text);
    while (!word.empty() && (word.back() == ' ' || word.back() == '\t' || word.back() == '\n' ||
                             word.back() == '\r')) {
        word.pop_back();
    }
    if (compareIgnoreCase(word.c_str(), "true") == 0 ||
        compareIgnoreCase(word.c_str(), "yes") == 0 || compareIgnoreCase(word.c_str(), "on") == 0) {
        return true;
    }
    char* end = nullptr;
    long value = std::strtol(word.c_str(), &end, 10);
    return end != word.c_str() && value != 0;
}

int StringUtil::compareIgnoreCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) {
        return (a == b) ? 0 : (a == nullptr ? -1 : 1);
    }
    for (;; ++a, ++b) {
        unsigned char ca = static_cast<unsigned char>(lowerAscii(*a));
        unsigned char cb = static_cast<unsigned char>(lowerAscii(*b));
        if (ca != cb || ca == 0) {
            return (ca > cb) - (ca < cb);
        }
    }
}

void StringUtil::removeAll(std::string& s, const std::string& text) {
    if (text.empty()) {
        return;
    }
    std::string result;
    result.reserve(s.size());
    size_t start = 0;
    for (size_t found; (found = s.find(text, start)) != std::string::npos;
         start = found + text.size()) {
        result.append(s, start, found - start);
    }
    result.append(s, start, std::string::npos);
    s.swap(result);
}

void StringUtil::removeAll(std::string& s, const char* text) {
    if (text != nullptr) {
        removeAll(s, std::string(text));
    }
}

bool StringUtil::needsEncoding(const char* text, size_t length) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0; i < length; ++i) {
        if (isXmlSpecial(static_cast<char>(p[i]))) {
            return true;
        }
    }
    return false;
}

void StringUtil::encodeXML(const char* text, size_t length, std::string& out) {
    const char* run = text;
    const char* end = text + length;
    for (const char* p = text; p < end; ++p) {
        if (isXmlSpecial(*p)) {
            out.append(run, static_cast<size_t>(p - run));
            out.append(xmlEntityFor(*p));
            run = p + 1;
        }
    }
    out.append(run, static_cast<size_t>(end - run));
}

void StringUtil::decodeXML(const char* text, size_t length, std::string& out) {
    // The decoded text is never longer than the raw one: room for it is made
    // once (growing geometrically, so that many short runs stay linear).
    const size_t needed = out.size() + length;
    if (needed > out.capacity()) {
        out.reserve(std::max(needed, 2 * out.capacity()));
    }
    const char* end = text + length;
    const char* p = text;
    while (p < end) {
        const char* amp =
            static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
        if (amp == nullptr) {
            out.append(p, static_cast<size_t>(end - p));
            return;
        }
        out.append(p, static_cast<size_t>(amp - p));
        size_t consumed = decodeReference(amp, end, out);
        if (consumed == 0) {
            out.push_back('&');
            p = amp + 1;
        } else {
            p = amp + consumed;
        }
    }
}

CharPtrProxy StringUtil::encondeXML(const char* text) {
    if (text == nullptr) {
        return toProxy(std::string());
    }
    std::string out;
    size_t length = std::strlen(text);
    out.reserve(length + 16);
    encodeXML(text, length, out);
    return toProxy(out);
}

CharPtrProxy StringUtil::decodeXML(const char* text) {
    if (text == nullptr) {
        return toProxy(std::string());
    }
    std::string out;
    size_t length = std::strlen(text);
    out.reserve(length);
    decodeXML(text, length, out);
    return toProxy(out);
}

std::string StringUtil::toString(int value) {
    return std::to_string(value);
}

std::string StringUtil::toString(double value) {
    // The shortest of %.15g, %.16g and %.17g that reads back as the same
    // value: 0.1 stays "0.1" instead of "0.10000000000000001".
    char buffer[64];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
        if (precision == 17 || std::strtod(buffer, nullptr) == value) {
            break;
        }
    }
    return buffer;
}

}  // namespace text
