#include "framework/kavrimain/SystemInfo.h"

#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

namespace kavri {
namespace platform {

namespace {

const char* const kDefaultCode = "en";

struct LanguageState {
    std::mutex mutex;
    // Every code ever handed out stays here, so the pointers that
    // getLanguageCode returns remain valid even when another thread changes
    // the locale or the override meanwhile. Language codes are few.
    std::set<std::string> codes;
    const std::string* override = nullptr;

    // Must be called with the mutex held.
    const char* intern(const std::string& code) { return codes.insert(code).first->c_str(); }
};

// Built on first use, so that static initialisers of other files may ask too.
LanguageState& state() {
    static LanguageState instance;
    return instance;
}

// The language part of a locale name: "de_DE.UTF-8", "de@euro" and "de-DE"
// give "de".
// The C locale and anything that is no language code give the default.
std::string languageOfLocale(const char* locale) {
    std::string code;
    for (const char* p = locale; *p != '\0' && *p != '_' && *p != '.' && *p != '@' && *p != '-';
         ++p) {
        char c = *p;
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c < 'a' || c > 'z') {
            return kDefaultCode;
        }
        code.push_back(c);
    }
    if (code.empty() || code == "c" || code == "posix") {
        return kDefaultCode;
    }
    return code;
}

// POSIX order of precedence for message texts; an empty variable counts as
// unset.
const char* messagesLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return nullptr;
}

}  // namespace

const char* SystemInfo::getLanguageCode() {
    LanguageState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.override != nullptr) {
        return s.override->c_str();
    }
    const char* locale = messagesLocale();
    return s.intern(locale != nullptr ? languageOfLocale(locale) : kDefaultCode);
}

void SystemInfo::setLanguageCode(const char* code) {
    LanguageState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.override = nullptr;
    if (code != nullptr && *code != '\0') {
        s.override = &*s.codes.insert(code).first;
    }
}

}  // namespace platform
}  // namespace kavri
