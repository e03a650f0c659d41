// LocaleCode: the spelling of CLDR's locale names.
#include "i18n/LocaleCode.h"

#include <cctype>
#include <cstring>

namespace kavri {
namespace i18n {

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool isAlpha(const std::string& part) {
    for (char c : part) {
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// One part after the language, as CLDR spells it.
std::string spelt(std::string part) {
    bool script = part.size() == 4 && isAlpha(part);
    for (size_t k = 0; k < part.size(); ++k) {
        part[k] = script && k > 0 ? lower(part[k]) : upper(part[k]);
    }
    return part;
}

}  // namespace

std::string LocaleCode::cldr(const char* code) {
    if (code == nullptr) {
        return std::string();
    }
    std::string out;
    const char* p = code;
    for (bool first = true; *p != '\0' && *p != '.' && *p != '@'; first = false) {
        size_t length = std::strcspn(p, "-_.@");
        std::string part(p, length);
        if (!first && part.size() == 1) {
            break;  // a BCP 47 extension or private use
        }
        if (first) {
            for (char& c : part) {
                c = lower(c);
            }
            out = part;
        } else {
            out += "_" + spelt(part);
        }
        p += length;
        p += (*p == '-' || *p == '_') ? 1 : 0;
    }
    return out;
}

std::string LocaleCode::parent(const std::string& code) {
    size_t cut = code.rfind('_');
    return cut == std::string::npos ? std::string() : code.substr(0, cut);
}

}  // namespace i18n
}  // namespace kavri
