// FormatCheck: a scanner for printf conversion specifications.
#include "i18n/FormatCheck.h"

#include <cstring>

#include "i18n/Bundle.h"

namespace kavri {
namespace i18n {

namespace {

// Numbered arguments beyond this are refused rather than allocated for:
// no translation has that many, and a hostile "%999999999$s" must stay cheap.
const int MAX_ARGUMENT_NUMBER = 99;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads "n$" at `text`; returns n (0 when there is none) and moves `text`.
int readNumbered(const char*& text) {
    const char* p = text;
    long number = 0;
    while (isDigit(*p) && number <= MAX_ARGUMENT_NUMBER) {
        number = number * 10 + (*p - '0');
        ++p;
    }
    while (isDigit(*p)) {
        ++p;
    }
    if (p == text || *p != '$') {
        return 0;
    }
    text = p + 1;
    return number > MAX_ARGUMENT_NUMBER ? MAX_ARGUMENT_NUMBER + 1 : static_cast<int>(number);
}

// The length modifiers, longest first so that "hh" is not read as "h".
const char* readLength(const char*& text) {
    static const char* const LENGTHS[] = {"hh", "ll", "h", "l", "L", "q", "j", "z", "Z", "t"};
    for (const char* length : LENGTHS) {
        size_t size = std::strlen(length);
        if (std::strncmp(text, length, size) == 0) {
            text += size;
            return length;
        }
    }
    return "";
}

// The C type of the argument that conversion `c` with length modifier
// `length` reads; "-" for conversions that read none; "" when the pair is
// not a valid conversion.
std::string argumentType(const std::string& length, char c) {
    switch (c) {
        case 'd':
        case 'i':
            if (length.empty())
                return "int";
            if (length == "hh")
                return "signed char";
            if (length == "h")
                return "short";
            if (length == "l")
                return "long";
            if (length == "ll" || length == "q")
                return "long long";
            if (length == "j")
                return "intmax_t";
            if (length == "z" || length == "Z")
                return "ssize_t";
            if (length == "t")
                return "ptrdiff_t";
            return "";
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            if (length.empty())
                return "unsigned int";
            if (length == "hh")
                return "unsigned char";
            if (length == "h")
                return "unsigned short";
            if (length == "l")
                return "unsigned long";
            if (length == "ll" || length == "q")
                return "unsigned long long";
            if (length == "j")
                return "uintmax_t";
            if (length == "z" || length == "Z")
                return "size_t";
            if (length == "t")
                return "ptrdiff_t";
            return "";
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (length.empty() || length == "l")
                return "double";
            if (length == "L")
                return "long double";
            return "";
        case 'c':
            if (length.empty())
                return "char";
            return length == "l" ? "wint_t" : "";
        case 'C':
            return length.empty() ? "wint_t" : "";
        case 's':
            if (length.empty())
                return "char*";
            return length == "l" ? "wchar_t*" : "";
        case 'S':
            return length.empty() ? "wchar_t*" : "";
        case 'p':
            return length.empty() ? "void*" : "";
        case 'n':
            if (length.empty())
                return "int*";
            if (length == "hh")
                return "signed char*";
            if (length == "h")
                return "short*";
            if (length == "l")
                return "long*";
            if (length == "ll" || length == "q")
                return "long long*";
            if (length == "j")
                return "intmax_t*";
            if (length == "z" || length == "Z")
                return "ssize_t*";
            if (length == "t")
                return "ptrdiff_t*";
            return "";
        case 'm':  // the text of errno (POSIX): reads no argument
            return length.empty() ? "-" : "";
        default:
            return "";
    }
}

}  // namespace

FormatCheck::FormatCheck(const char* text) {
    scan(text != nullptr ? text : "");
}

void FormatCheck::scan(const char* text) {
    for (const char* p = std::strchr(text, '%'); p != nullptr; p = std::strchr(p, '%')) {
        p = scanConversion(p);
        if (p == nullptr) {
            return;
        }
    }
    if (mNumbered > 0 && mUnnumbered > 0) {
        mError = "numbered and unnumbered arguments mixed";
        return;
    }
    for (size_t i = 0; i < mArguments.size(); ++i) {
        if (mArguments[i].empty()) {
            mError = "argument " + std::to_string(i + 1) + " is never used";
            return;
        }
    }
}

const char* FormatCheck::scanConversion(const char* text) {
    const char* p = text + 1;
    if (*p == '%') {
        mConversions.push_back({"%%", std::string()});
        return p + 1;
    }
    int position = readNumbered(p);
    while (*p != '\0' && std::strchr("-+ #0'I", *p) != nullptr) {
        ++p;
    }
    // A "*" width or precision reads an int argument before the value.
    std::vector<int> starPositions;
    auto readStarOrDigits = [&]() {
        if (*p == '*') {
            ++p;
            starPositions.push_back(readNumbered(p));
        } else {
            while (isDigit(*p)) {
                ++p;
            }
        }
    };
    readStarOrDigits();
    if (*p == '.') {
        ++p;
        readStarOrDigits();
    }
    std::string length = readLength(p);
    if (*p == '\0') {
        mError = "incomplete conversion " + std::string(text) + " at the end";
        return nullptr;
    }
    std::string specifier(text, p + 1);
    std::string type = argumentType(length, *p);
    if (type.empty()) {
        mError = "unknown conversion " + specifier;
        return nullptr;
    }
    if (type == "-") {
        mConversions.push_back({specifier, std::string()});
        return p + 1;
    }
    for (int starPosition : starPositions) {
        setArgument(starPosition, "int", specifier);
    }
    setArgument(position, type, specifier);
    mConversions.push_back({specifier, type});
    return mError.empty() ? p + 1 : nullptr;
}

void FormatCheck::setArgument(int position, const std::string& type, const std::string& specifier) {
    if (position == 0) {
        ++mUnnumbered;
        mArguments.push_back(type);
        mArgumentSpecs.push_back(specifier);
        return;
    }
    ++mNumbered;
    if (position > MAX_ARGUMENT_NUMBER) {
        mError = "argument number too large in " + specifier;
        return;
    }
    size_t index = static_cast<size_t>(position - 1);
    if (mArguments.size() <= index) {
        mArguments.resize(index + 1);
        mArgumentSpecs.resize(index + 1);
    }
    if (!mArguments[index].empty() && mArguments[index] != type) {
        mError = "argument " + std::to_string(position) + " read as " + mArguments[index] + " by " +
                 mArgumentSpecs[index] + " and as " + type + " by " + specifier;
        return;
    }
    mArguments[index] = type;
    mArgumentSpecs[index] = specifier;
}

std::string FormatCheck::describe() const {
    std::string result;
    for (const Conversion& conversion : mConversions) {
        if (conversion.type.empty()) {
            continue;
        }
        if (!result.empty()) {
            result += ' ';
        }
        result += conversion.specifier;
    }
    return result.empty() ? "none" : result;
}

bool FormatCheck::takesOnlyStrings(std::string& offending) const {
    for (const Conversion& conversion : mConversions) {
        if (conversion.type.empty()) {
            continue;
        }
        if (conversion.type != "char*" || conversion.specifier.find('*') != std::string::npos) {
            offending = conversion.specifier;
            return false;
        }
    }
    return true;
}

std::string FormatCheck::checkTranslation(const char* original, const char* translated) {
    FormatCheck translation(translated);
    if (!translation.isValid()) {
        return "bad format: " + translation.getError();
    }
    if (original == nullptr) {
        return std::string();
    }
    FormatCheck base(original);
    if (base.isValid() && !base.sameArguments(translation)) {
        return "conversions differ: base has " + base.describe() + ", this has " +
               translation.describe();
    }
    return std::string();
}

void FormatCheck::checkReferences(const char* text,
                                  const std::function<bool(const std::string&)>& known,
                                  std::vector<std::string>& findings) {
    Bundle::Reference reference;
    for (const char* scan = text; Bundle::findReference(scan, reference); scan = reference.end) {
        std::string name(reference.name, reference.nameLength);
        if (!known(name)) {
            findings.push_back("unresolved reference ${" + name + "}");
        }
    }
}

}  // namespace i18n
}  // namespace kavri
