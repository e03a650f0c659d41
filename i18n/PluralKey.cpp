// PluralKey: writing and reading the suffixes of plural forms.
#include "i18n/PluralKey.h"

#include <cstring>

namespace kavri {
namespace i18n {

namespace {

const char ORDINAL_INFIX[] = "_ordinal_";
const size_t ORDINAL_INFIX_LENGTH = sizeof ORDINAL_INFIX - 1;
const size_t MAX_EXACT_DIGITS = 19;

size_t writeInfix(bool ordinal, char* out) {
    size_t length = ordinal ? ORDINAL_INFIX_LENGTH : 1;
    std::memcpy(out, ordinal ? ORDINAL_INFIX : "_", length);
    return length;
}

}  // namespace

size_t PluralKey::categorySuffix(PluralRules::Category category, bool ordinal, char* out) {
    size_t length = writeInfix(ordinal, out);
    const char* name = PluralRules::categoryName(category);
    size_t nameLength = std::strlen(name);
    std::memcpy(out + length, name, nameLength + 1);
    return length + nameLength;
}

size_t PluralKey::exactSuffix(uint64_t magnitude, bool negative, bool ordinal, char* out) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* first = end;
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    size_t length = writeInfix(ordinal, out);
    out[length++] = '=';
    if (negative) {
        out[length++] = '-';
    }
    std::memcpy(out + length, first, static_cast<size_t>(end - first));
    length += static_cast<size_t>(end - first);
    out[length] = '\0';
    return length;
}

std::string PluralKey::categoryKey(const std::string& base, PluralRules::Category category,
                                   bool ordinal) {
    char suffix[SUFFIX_SIZE];
    size_t length = categorySuffix(category, ordinal, suffix);
    return base + std::string(suffix, length);
}

bool PluralKey::parse(const std::string& key, Form& form) {
    size_t underscore = key.rfind('_');
    if (underscore == std::string::npos || underscore == 0) {
        return false;
    }
    std::string suffix = key.substr(underscore + 1);
    Form parsed;
    if (suffix.size() > 1 && suffix[0] == '=') {
        size_t digits = suffix[1] == '-' ? 2 : 1;
        if (suffix.size() == digits || suffix.size() - digits > MAX_EXACT_DIGITS ||
            suffix.find_first_not_of("0123456789", digits) != std::string::npos) {
            return false;
        }
        parsed.exact = true;
        parsed.value = suffix.substr(1);
    } else if (!PluralRules::categoryOf(suffix.data(), suffix.size(), parsed.category)) {
        return false;
    }
    parsed.base = key.substr(0, underscore);
    size_t infix = underscore + 1 - ORDINAL_INFIX_LENGTH;
    if (underscore + 1 > ORDINAL_INFIX_LENGTH && infix > 0 &&
        key.compare(infix, ORDINAL_INFIX_LENGTH, ORDINAL_INFIX) == 0) {
        parsed.ordinal = true;
        parsed.base = key.substr(0, infix);
    }
    form = parsed;
    return true;
}

}  // namespace i18n
}  // namespace kavri
