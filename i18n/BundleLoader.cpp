// Bundle loading: the localized file of the bundle's language, then the base
// file, in XML or JSON (BundleFile reads both into the same intermediate
// form, a JSON object of texts).
//
// A file that cannot be opened, read or parsed is reported as a warning and
// skipped: the application keeps whatever texts the other file supplied.
#include <string>

#include "framework/kavrimain/FileOperations.h"
#include "framework/kavrimain/JSObject.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/Logger.h"
#include "i18n/Bundle.h"
#include "i18n/BundleFile.h"

namespace kavri {
namespace i18n {

namespace {

using JSObjectPtr = ::core::SmartPtr<json::JSObject>;

// The texts of the localized file (`localized`) or the base file; null, with
// the warning, when the file cannot be opened, read or parsed.
JSObjectPtr readBundleFile(vfs::FileSystem* fileSystem, const std::string& path, bool localized) {
    try {
        return BundleFile::read(fileSystem, path.c_str());
    } catch (const ::core::Exception&) {
        if (localized) {
            logging::Logger::mROOT_LOGGER->warn("Bundle::loadXML:failed to load bundle %s",
                                                path.c_str());
        } else {
            logging::Logger::mROOT_LOGGER->warn("Bundle::loadXML:failed to load base bundle %s",
                                                path.c_str());
        }
        return nullptr;
    }
}

}  // namespace

std::string Bundle::localizedPath(const char* path) const {
    return BundleFile::localizedPath(path, mLanguage.c_str());
}

void Bundle::load(vfs::FileSystem* fileSystem, bool flag) {
    if (fileSystem == nullptr || mPath.empty()) {
        return;
    }
    switch (BundleFile::formatOf(mPath.c_str())) {
        case BundleFile::JSON:
            clear();
            loadJSON(fileSystem, mPath.c_str());
            break;
        case BundleFile::XML:
            clear();
            loadXML(fileSystem, mPath.c_str());
            break;
        case BundleFile::UNKNOWN: {
            const char* extension = platform::FileOperations::getExtension(mPath.c_str());
            logging::Logger::mROOT_LOGGER->warn("Bundle::load:invalid bundle extension: %s",
                                                extension != nullptr ? extension : "");
            break;
        }
    }
    for (const auto& child : mChildren) {
        child->load(fileSystem, flag);
    }
}

void Bundle::loadXML(vfs::FileSystem* fileSystem, const char* path) {
    // BundleFile::read tells the formats apart by the path's extension, so
    // both formats take these same two steps.
    mMessageBundle = false;
    std::string localized = localizedPath(path);
    if (!localized.empty()) {
        load(readBundleFile(fileSystem, localized, true), false);
    }
    load(readBundleFile(fileSystem, path, false), false);
}

void Bundle::loadJSON(vfs::FileSystem* fileSystem, const char* path) {
    loadXML(fileSystem, path);
}

void Bundle::load(const json::JSObject* object, bool overwrite) {
    if (object == nullptr) {
        return;
    }
    for (json::JSObject::JSIterator it = object->begin(); it.isValid(); ++it) {
        const char* key = it.getKey();
        if (key == nullptr || (!overwrite && containsKey(key))) {
            continue;
        }
        const char* text = it.getValue()->asString(nullptr);
        if (BundleFile::isFormatMarker(key, text)) {
            mMessageBundle = true;
        } else if (text != nullptr) {
            storeText(key, text);
        }
    }
}

}  // namespace i18n
}  // namespace kavri
