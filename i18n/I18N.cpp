// I18N: language discovery, switching with fallback, the root bundle and the
// registry of named bundles.
#include "i18n/I18N.h"

#include <cstring>

#include "framework/kavrimain/FileList.h"
#include "framework/kavrimain/FileOperations.h"
#include "framework/kavrimain/FileSystem.h"
#include "framework/kavrimain/SystemInfo.h"
#include "framework/plinth/Logger.h"

#include "i18n/BundleFile.h"
#include "i18n/VarArgs.h"

namespace kavri {
namespace i18n {

namespace {

const char* const ROOT_BUNDLE_NAME = "default";
const char* const FALLBACK_LANGUAGE = "en";
const char* const LANGUAGE_NAME_PREFIX = "language_";

// Before initialize there is no root bundle; look-ups then answer as an
// empty bundle would (the key itself, references as bare names).
const Bundle& emptyBundle() {
    static const Bundle empty("", "");
    return empty;
}

}  // namespace

I18N::I18N()
    : mBundles(nullptr),
      mDefaultLanguageCode(platform::SystemInfo::getLanguageCode()),
      mLanguageIndex(-1) {}

I18N::~I18N() {
    mBundles.clear();
    mRootBundle = nullptr;
    mLanguages.clear();
}

void I18N::initialize(vfs::FileSystem* fileSystem, const char* path, const char* code) {
    if (code == nullptr || *code == '\0') {
        code = platform::SystemInfo::getLanguageCode();
    }
    // `code` may point into the language list, which discovery rebuilds.
    std::string requested = code;
    mRootBundle = new Bundle(ROOT_BUNDLE_NAME, path);
    clear();
    loadAvailableLanguages(fileSystem, path);
    setLanguage(fileSystem, requested.c_str());
}

void I18N::loadAvailableLanguages(vfs::FileSystem* fileSystem, const char* path) {
    std::string folder = platform::FileOperations::getFolder(path);
    std::string pattern =
        BundleFile::localizedPattern(platform::FileOperations::getFile(path).c_str());

    mLanguages.clear();
    if (fileSystem == nullptr) {
        return;
    }
    vfs::FileList files(true);
    fileSystem->listFiles(folder.c_str(), pattern.c_str(), files);
    for (unsigned int i = 0; i < files.size(); ++i) {
        std::string code = BundleFile::languageCode(files.get(i)->getName());
        if (!code.empty() && getLanguageIndex(code.c_str()) == -1) {
            mLanguages.emplace_back(code, code);
        }
    }
}

void I18N::setLanguage(vfs::FileSystem* fileSystem, const char* code) {
    std::string requested = code != nullptr ? code : mDefaultLanguageCode;
    int index = getLanguageIndex(requested.c_str());
    if (index == -1) {
        index = getLanguageIndex(FALLBACK_LANGUAGE);
    }
    if (index == -1) {
        index = 0;
    }
    mLanguageIndex = index;
    const char* current = getLanguageCode();
    if (mRootBundle != nullptr) {
        mRootBundle->setLanguage(current);
    }
    for (const auto& entry : mBundles) {
        entry.second->setLanguage(current);
    }
    loadEntries(fileSystem);
    nameLanguages();
}

void I18N::loadEntries(vfs::FileSystem* fileSystem) {
    if (mRootBundle != nullptr) {
        mRootBundle->load(fileSystem, true);
    }
}

void I18N::nameLanguages() {
    std::string key;
    for (Language& language : mLanguages) {
        key = LANGUAGE_NAME_PREFIX;
        key += language.first;
        language.second = mRootBundle != nullptr ? (*mRootBundle)[key.c_str()] : key.c_str();
    }
}

void I18N::clear() {
    if (mRootBundle != nullptr) {
        mRootBundle->clear();
    }
    for (const auto& entry : mBundles) {
        entry.second->clear();
    }
}

const char* I18N::getLanguageCode(unsigned int index) const {
    return index < mLanguages.size() ? mLanguages[index].first.c_str()
                                     : mDefaultLanguageCode.c_str();
}

int I18N::getLanguageIndex(const char* code) const {
    if (code == nullptr) {
        return -1;
    }
    for (size_t i = 0; i < mLanguages.size(); ++i) {
        if (mLanguages[i].first == code) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const char* I18N::getLanguageCode() const {
    // A negative index is far past the end as an unsigned number.
    return getLanguageCode(static_cast<unsigned int>(mLanguageIndex));
}

// --- Look-ups ---------------------------------------------------------------

const char* I18N::operator[](const char* key) const {
    const Bundle& bundle = mRootBundle != nullptr ? *mRootBundle : emptyBundle();
    return bundle[key];
}

const char* I18N::vgetText(const char* key, std::string& out, bool inherit, va_list args) const {
    const Bundle& bundle = mRootBundle != nullptr ? *mRootBundle : emptyBundle();
    return bundle.vgetText(key, out, inherit, args);
}

const char* I18N::getText(const char* key, std::string& out, bool inherit, ...) const {
    va_list args;
    KAVRIXML_VA_START(args, inherit);
    vgetText(key, out, inherit, args);
    va_end(args);
    return out.c_str();
}

const char* I18N::vresolve(const char* text, std::string& out, bool inherit, va_list args) const {
    const Bundle& bundle = mRootBundle != nullptr ? *mRootBundle : emptyBundle();
    return bundle.vresolve(text, out, inherit, args);
}

const char* I18N::resolve(const char* text, std::string& out, bool inherit, ...) const {
    va_list args;
    KAVRIXML_VA_START(args, inherit);
    vresolve(text, out, inherit, args);
    va_end(args);
    return out.c_str();
}

const char* I18N::formatMessage(const char* key, const MessageArguments& arguments,
                                std::string& out, bool inherit,
                                std::vector<MessageError>* errors) const {
    const Bundle& bundle = mRootBundle != nullptr ? *mRootBundle : emptyBundle();
    return bundle.formatMessage(key, arguments, out, inherit, errors);
}

// --- Registry ---------------------------------------------------------------

void I18N::addBundle(Bundle* bundle) {
    if (bundle == nullptr) {
        return;
    }
    mBundles.put(bundle->getName(), ::core::SmartPtr<Bundle>(bundle));
    const char* current = getLanguageCode();
    if (std::strcmp(bundle->getLanguage(), current) != 0) {
        logging::Logger::mROOT_LOGGER->warn(
            "I18N::setBundle:adding bundle in different language: %s!=%s", bundle->getLanguage(),
            current);
    }
}

Bundle* I18N::addBundle(const char* name, const char* path) {
    Bundle* bundle = new Bundle(name, path);
    bundle->setLanguage(getLanguageCode());
    addBundle(bundle);
    return bundle;
}

Bundle* I18N::getBundle(const char* name, bool deep) {
    return const_cast<Bundle*>(static_cast<const I18N*>(this)->getBundle(name, deep));
}

const Bundle* I18N::getBundle(const char* name, bool deep) const {
    if (!deep) {
        return mBundles.get(name);
    }
    for (const auto& entry : mBundles) {
        const Bundle* bundle = entry.second;
        const Bundle* child = bundle->getChild(name, false);
        if (child != nullptr) {
            return child;
        }
        if (std::strcmp(bundle->getName(), name) == 0) {
            return bundle;
        }
    }
    return nullptr;
}

bool I18N::removeBundle(const char* name, bool deep) {
    if (!deep) {
        return mBundles.remove(name);
    }
    return removeBundle(getBundle(name, true), true);
}

bool I18N::removeBundle(Bundle* bundle, bool deep) {
    if (bundle == nullptr) {
        return false;
    }
    for (auto it = mBundles.begin(); it != mBundles.end(); ++it) {
        Bundle* registered = it->second;
        if (registered == bundle) {
            mBundles.remove(it->first);
            return true;
        }
        if (deep && registered->removeChild(bundle, deep)) {
            return true;
        }
    }
    return false;
}

}  // namespace i18n
}  // namespace kavri
