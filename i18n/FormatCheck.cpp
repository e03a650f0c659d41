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

// The types that integer conversions read, by length modifier in the order
// of LENGTHS ("q" is another spelling of "ll", "Z" of "z").
const char* const LENGTHS[] = {"", "hh", "h", "l", "ll", "j", "z", "t"};
const char* const SIGNED_TYPES[] = {"int",       "signed char", "short",   "long",
                                    "long long", "intmax_t",    "ssize_t", "ptrdiff_t"};
const char* const UNSIGNED_TYPES[] = {"unsigned int",  "unsigned char",      "unsigned short",
                                      "unsigned long", "unsigned long long", "uintmax_t",
                                      "size_t",        "ptrdiff_t"};
const char* const COUNT_TYPES[] = {"int*",       "signed char*", "short*",   "long*",
                                   "long long*", "intmax_t*",    "ssize_t*", "ptrdiff_t*"};

// The entry of `types` for an integer conversion's length modifier; "" for
// a modifier integers do not take.
std::string integerType(const char* const (&types)[8], const std::string& length) {
    const std::string spelt = length == "q" ? "ll" : length == "Z" ? "z" : length;
    for (size_t i = 0; i < 8; ++i) {
        if (spelt == LENGTHS[i]) {
            return types[i];
        }
    }
    return "";
}

// The type when the conversion takes no modifier, or "l" for `withL`
// (null: "l" is refused too).
std::string plainOrL(const std::string& length, const char* plain, const char* withL) {
    if (length.empty()) {
        return plain;
    }
    return length == "l" && withL != nullptr ? withL : "";
}

// The C type of the argument that conversion `c` with length modifier
// `length` reads; "-" for conversions that read none; "" when the pair is
// not a valid conversion.
std::string argumentType(const std::string& length, char c) {
    switch (c) {
        case 'd':
        case 'i':
            return integerType(SIGNED_TYPES, length);
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            return integerType(UNSIGNED_TYPES, length);
        case 'n':
            return integerType(COUNT_TYPES, length);
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            return length == "L" ? "long double" : plainOrL(length, "double", "double");
        case 'c':
            return plainOrL(length, "char", "wint_t");
        case 'C':
            return plainOrL(length, "wint_t", nullptr);
        case 's':
            return plainOrL(length, "char*", "wchar_t*");
        case 'S':
            return plainOrL(length, "wchar_t*", nullptr);
        case 'p':
            return plainOrL(length, "void*", nullptr);
        case 'm':  // the text of errno (POSIX): reads no argument
            return plainOrL(length, "-", nullptr);
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
