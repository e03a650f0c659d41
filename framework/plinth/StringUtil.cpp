#include "framework/plinth/StringUtil.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"

namespace text {

namespace {

const char* skipBlanks(const char* text) {
    while (::kavri::xml::syntax::isSpace(*text)) {
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
    while (!word.empty() && ::kavri::xml::syntax::isSpace(word.back())) {
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

bool StringUtil::isXmlSpecial(char c) {
    return kavri::xml::syntax::XMLBytes::is(c, kavri::xml::syntax::XMLBytes::RESERVED);
}

const char* StringUtil::xmlEntityFor(char c) {
    return kavri::xml::syntax::predefinedReference(c);
}

bool StringUtil::needsEncoding(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (isXmlSpecial(text[i])) {
            return true;
        }
    }
    return false;
}

void StringUtil::encodeXML(const char* text, size_t length, std::string& out) {
    kavri::xml::syntax::appendEscapedReserved(text, length, out);
}

void StringUtil::decodeXML(const char* text, size_t length, std::string& out) {
    kavri::xml::syntax::decodeReferences(text, length, out);
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
