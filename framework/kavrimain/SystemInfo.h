// SystemInfo answers questions about the running system; here, the user's
// language. getLanguageCode reads the process locale (LC_ALL, then
// LC_MESSAGES, then LANG): "de_DE.UTF-8" gives "de"; unset, "C" or "POSIX"
// give "en". setLanguageCode overrides it for the whole process (null
// restores the default).
//
//   kavri::platform::SystemInfo::getLanguageCode();   // "de"
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_SYSTEMINFO_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_SYSTEMINFO_H

namespace kavri {
namespace platform {

class SystemInfo {
  public:
    // Never null. The pointer stays valid until the next setLanguageCode.
    static const char* getLanguageCode();
    static void setLanguageCode(const char* code);
};

}  // namespace platform
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_SYSTEMINFO_H
