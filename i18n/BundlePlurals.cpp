// Bundle: plural forms, ordinals and choices, chosen by the rules of the
// bundle's language.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/plinth/Logger.h"
#include "i18n/Bundle.h"
#include "i18n/FormatCheck.h"
#include "i18n/PluralKey.h"
#include "i18n/VarArgs.h"

namespace kavri {
namespace i18n {

namespace {

const char* const OTHER_SUFFIX = "_other";
const size_t OTHER_SUFFIX_LENGTH = 6;
// Longer keys with their suffix are put together on the heap.
const size_t KEY_BUFFER = 256;

// The fewest fraction digits (up to 15) that give `value` back.
int shortestDigits(double value) {
    char text[400];
    for (int digits = 0; digits < 15; ++digits) {
        std::snprintf(text, sizeof text, "%.*f", digits, value);
        if (std::strtod(text, nullptr) == value) {
            return digits;
        }
    }
    return 15;
}

// The number as the first conversion of `text` shows it, when that
// conversion reads a double and nothing else ("%.1f", "%8.2e", "%g").
bool shownOperands(const char* text, double value, PluralRules::Operands& operands) {
    FormatCheck check(text);
    if (!check.isValid()) {
        return false;
    }
    for (const FormatCheck::Conversion& conversion : check.getConversions()) {
        if (conversion.type.empty()) {
            continue;  // "%%"
        }
        if (conversion.type != "double" || conversion.specifier.find('*') != std::string::npos) {
            return false;
        }
        char shown[512];
        std::snprintf(shown, sizeof shown, conversion.specifier.c_str(), value);
        const char* number = shown + std::strspn(shown, " +");
        return PluralRules::Operands::parse(number, operands);
    }
    return false;
}

}  // namespace

bool PluralCount::fromText(const char* decimal, PluralCount& count) {
    PluralRules::Operands operands;
    if (!PluralRules::Operands::parse(decimal, operands)) {
        return false;
    }
    count = PluralCount();
    count.mOperands = operands;
    count.mValue = std::strtod(decimal, nullptr);
    count.mNegative = *decimal == '-';
    return true;
}

PluralRules::Operands PluralCount::operands(int fractionDigits) const {
    return mKind == DOUBLE ? PluralRules::Operands::fromDouble(mValue, fractionDigits) : mOperands;
}

const PluralRules& Bundle::getPluralRules(bool ordinal) const {
    const PluralRules*& rules = mPluralRules[ordinal ? 1 : 0];
    if (rules == nullptr) {
        rules = &PluralRules::forLanguage(mLanguage.c_str(),
                                          ordinal ? PluralRules::ORDINAL : PluralRules::CARDINAL);
    }
    return *rules;
}

bool Bundle::hasExactForms(bool inherit) const {
    for (const Bundle* bundle = this; bundle != nullptr;
         bundle = inherit ? bundle->mParent : nullptr) {
        if (bundle->mExactForms != 0) {
            return true;
        }
    }
    return false;
}

const char* Bundle::findForm(const char* key, size_t keyLength, const char* suffix,
                             size_t suffixLength, bool inherit) const {
    char buffer[KEY_BUFFER];
    std::string longKey;
    const char* name = buffer;
    if (keyLength + suffixLength < KEY_BUFFER) {
        std::memcpy(buffer, key, keyLength);
        std::memcpy(buffer + keyLength, suffix, suffixLength);
        buffer[keyLength + suffixLength] = '\0';
    } else {
        longKey.assign(key, keyLength).append(suffix, suffixLength);
        name = longKey.c_str();
    }
    for (const Bundle* bundle = this; bundle != nullptr; bundle = bundle->mParent) {
        const char* text = bundle->findText(name);
        if (text != nullptr || !inherit) {
            return text;
        }
    }
    return nullptr;
}

const char* Bundle::fallBack(const char* key, size_t keyLength, const char* wanted, bool ordinal,
                             bool inherit) const {
    static const char* const SUFFIXES[] = {"_ordinal_other", OTHER_SUFFIX};
    const char* used = nullptr;
    const char* usedSuffix = "";
    size_t wantedLength = std::strlen(wanted);
    for (const char* suffix : SUFFIXES) {
        size_t length = std::strlen(suffix);
        bool isWanted =
            wantedLength == keyLength + length && std::strcmp(wanted + keyLength, suffix) == 0;
        if ((ordinal || suffix == OTHER_SUFFIX) && !isWanted && used == nullptr) {
            used = findForm(key, keyLength, suffix, length, inherit);
            usedSuffix = suffix;
        }
    }
    if (used == nullptr) {
        used = getText(key, inherit);
        usedSuffix = "";
    }
    if (mMissingForms.insert(mLanguage + " " + std::string(key, keyLength)).second) {
        logging::Logger::mROOT_LOGGER->warn(
            "Bundle::getPluralForm:no text %s in language %s, using %s%s", wanted, getLanguage(),
            key, usedSuffix);
    }
    return used;
}

PluralRules::Operands Bundle::countOperands(const char* key, size_t keyLength,
                                            const PluralCount& count, bool inherit) const {
    if (!count.isDouble()) {
        return count.operands();
    }
    const char* other = findForm(key, keyLength, OTHER_SUFFIX, OTHER_SUFFIX_LENGTH, inherit);
    PluralRules::Operands shown;
    if (shownOperands(other != nullptr ? other : getText(key, inherit), count.value(), shown)) {
        return shown;
    }
    return count.operands(shortestDigits(count.value()));
}

const char* Bundle::getPluralForm(const char* key, const PluralCount& count, bool ordinal,
                                  bool inherit) const {
    if (key == nullptr) {
        return nullptr;
    }
    size_t keyLength = std::strlen(key);
    PluralRules::Operands number = countOperands(key, keyLength, count, inherit);
    // Suffixes are put together by hand: a formatter call would cost more
    // than the look-ups themselves.
    char suffix[PluralKey::SUFFIX_SIZE];
    if (number.t == 0 && number.i < 1000000000000000000ull && hasExactForms(inherit)) {
        size_t length =
            PluralKey::exactSuffix(number.i, count.isNegative() && number.i != 0, ordinal, suffix);
        const char* exact = findForm(key, keyLength, suffix, length, inherit);
        if (exact != nullptr) {
            return exact;
        }
    }
    PluralRules::Category category = getPluralRules(ordinal).select(number);
    size_t length = PluralKey::categorySuffix(category, ordinal, suffix);
    const char* form = findForm(key, keyLength, suffix, length, inherit);
    if (form != nullptr) {
        return form;
    }
    std::string wanted(key);
    wanted += suffix;
    return fallBack(key, keyLength, wanted.c_str(), ordinal, inherit);
}

const char* Bundle::vgetPluralText(const char* key, const PluralCount& count, std::string& out,
                                   bool inherit, va_list args) const {
    const char* text = getPluralForm(key, count, false, inherit);
    out.clear();
    if (text != nullptr && *text != '\0') {
        parametrize(text, out, args);
    }
    return out.c_str();
}

const char* Bundle::getPluralText(const char* key, const PluralCount& count, std::string& out,
                                  bool inherit, ...) const {
    va_list args;
    KAVRIXML_VA_START(args, inherit);
    vgetPluralText(key, count, out, inherit, args);
    va_end(args);
    return out.c_str();
}

const char* Bundle::vgetOrdinalText(const char* key, const PluralCount& count, std::string& out,
                                    bool inherit, va_list args) const {
    const char* text = getPluralForm(key, count, true, inherit);
    out.clear();
    if (text != nullptr && *text != '\0') {
        parametrize(text, out, args);
    }
    return out.c_str();
}

const char* Bundle::getOrdinalText(const char* key, const PluralCount& count, std::string& out,
                                   bool inherit, ...) const {
    va_list args;
    KAVRIXML_VA_START(args, inherit);
    vgetOrdinalText(key, count, out, inherit, args);
    va_end(args);
    return out.c_str();
}

const char* Bundle::getChoiceForm(const char* key, const char* word, bool inherit) const {
    if (key == nullptr) {
        return nullptr;
    }
    size_t keyLength = std::strlen(key);
    std::string suffix = std::string("_") + (word != nullptr ? word : "");
    const char* form = findForm(key, keyLength, suffix.c_str(), suffix.size(), inherit);
    if (form != nullptr) {
        return form;
    }
    return fallBack(key, keyLength, (key + suffix).c_str(), false, inherit);
}

const char* Bundle::getChoiceText(const char* key, const char* word, std::string& out, bool inherit,
                                  ...) const {
    const char* text = getChoiceForm(key, word, inherit);
    out.clear();
    if (text != nullptr && *text != '\0') {
        va_list args;
        KAVRIXML_VA_START(args, inherit);
        parametrize(text, out, args);
        va_end(args);
    }
    return out.c_str();
}

}  // namespace i18n
}  // namespace kavri
