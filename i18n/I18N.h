// I18N is the process-wide localisation manager. It finds the available
// languages from the localized files beside a root bundle file
// ("texts_de.xml" beside "texts.xml"), owns the root bundle "default" and
// reloads it on every switch of language, names the languages in the current
// language (the root bundle's "language_<code>" texts), and keeps a registry
// of further named bundles for the application.
//
// Ownership: the manager holds a counted reference to the root bundle and to
// each registered bundle; bundles that others still hold survive the
// manager's release. The manager itself belongs to its singleton: only
// getSingleton creates it and only deleteSingleton destroys it.
//
//   I18N& i18n = I18N::getSingleton();
//   i18n.initialize(&fileSystem, "i18n/texts.xml", "de");   // or null: the system's language
//   i18n.resolve("${app_name}: %s", out, true, fileName);
//
// Call initialize before the text look-ups. Single-threaded: no locks.
#ifndef KAVRIXML_I18N_I18N_H
#define KAVRIXML_I18N_I18N_H

#include <cstdarg>
#include <string>
#include <utility>
#include <vector>

#include "core/CKHashMap.h"
#include "core/Singleton.h"
#include "core/SmartPtr.h"
#include "i18n/Bundle.h"

namespace kavri {
namespace vfs {
class FileSystem;
}

namespace i18n {

class I18N : public ::core::Singleton<I18N, 0, 0, ::core::Singleton_Singlethread_Policy> {
  public:
    using Language = std::pair<std::string, std::string>;  // code, display name
    using BundleRegistry = ::core::CKHashMapValue<::core::SmartPtr<Bundle>>;

    // Makes the root bundle "default" from `path`, finds the languages beside
    // it and switches to `code` (null or empty: the system's language).
    void initialize(vfs::FileSystem* fileSystem, const char* path, const char* code);
    // Switches to `code` (null: the system's language); a code that is not
    // available falls back to "en", then to the first language. Reloads the
    // root bundle and renames the languages; registered bundles only change
    // their language and are not reloaded.
    void setLanguage(vfs::FileSystem* fileSystem, const char* code);
    // Empties the texts of the root bundle and of every registered bundle.
    void clear();

    unsigned int getAvailableLanguageCount() const {
        return static_cast<unsigned int>(mLanguages.size());
    }
    // The code at `index`, or the system's code past the end.
    const char* getLanguageCode(unsigned int index) const;
    // The display name at `index` (below the count).
    const char* getLanguageName(unsigned int index) const {
        return mLanguages[index].second.c_str();
    }
    // The position of the current language; -1 before the first switch.
    int getLanguageIndex() const { return mLanguageIndex; }
    // The position of `code` (exact bytes), or -1.
    int getLanguageIndex(const char* code) const;
    // The current language: the one at the index, or the system's.
    const char* getLanguageCode() const;
    const char* getDefaultLanguageCode() const { return mDefaultLanguageCode.c_str(); }

    Bundle* getBundle() { return mRootBundle; }
    const Bundle* getBundle() const { return mRootBundle; }

    // The root bundle's own text, or `key`.
    const char* operator[](const char* key) const;
    const char* getText(const char* key, std::string& out, bool inherit, ...) const;
    const char* vgetText(const char* key, std::string& out, bool inherit, va_list args) const;
    const char* resolve(const char* text, std::string& out, bool inherit, ...) const;
    const char* vresolve(const char* text, std::string& out, bool inherit, va_list args) const;
    // The root bundle's message under `key`, formatted (Bundle::formatMessage).
    const char* formatMessage(const char* key, const MessageArguments& arguments, std::string& out,
                              bool inherit, std::vector<MessageError>* errors = nullptr) const;

    // --- Registry of named bundles -----------------------------------------------
    // Registers `bundle` under its name, replacing an earlier one of that name.
    void addBundle(Bundle* bundle);
    // A new, registered, empty bundle in the current language; load it with
    // Bundle::load (again after a switch of language).
    Bundle* addBundle(const char* name, const char* path);
    // By name; with `deep` also among the children of registered bundles.
    Bundle* getBundle(const char* name, bool deep);
    const Bundle* getBundle(const char* name, bool deep) const;
    bool removeBundle(const char* name, bool deep);
    // By identity; with `deep` also detaches it from a registered parent.
    bool removeBundle(Bundle* bundle, bool deep);

  private:
    friend class ::core::Singleton_Middle<I18N, ::core::Singleton_Singlethread_Policy, 0, 0>;
    friend class ::core::Singleton<I18N, 0, 0, ::core::Singleton_Singlethread_Policy>;

    I18N();
    ~I18N();
    // Bundles and the registry are owned storage: no copies.
    I18N(const I18N&) = delete;
    I18N& operator=(const I18N&) = delete;

    void loadAvailableLanguages(vfs::FileSystem* fileSystem, const char* path);
    void loadEntries(vfs::FileSystem* fileSystem);
    void nameLanguages();

    std::vector<Language> mLanguages;
    BundleRegistry mBundles;
    ::core::SmartPtr<Bundle> mRootBundle;
    std::string mDefaultLanguageCode;
    int mLanguageIndex;
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_I18N_H
