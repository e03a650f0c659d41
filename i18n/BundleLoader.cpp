// Bundle loading: the localized file of the bundle's language, then the base
// file, in XML (a LANGUAGE root whose children carry a "key" attribute and
// the text as CDATA) or JSON (one object of string members). Both formats go
// through the same intermediate form, a JSON object of texts.
//
// A file that cannot be opened, read or parsed is reported as a warning and
// skipped: the application keeps whatever texts the other file supplied.
#include <cstring>
#include <memory>
#include <string>

#include "framework/kavrimain/File.h"
#include "framework/kavrimain/FileOperations.h"
#include "framework/kavrimain/FileSystem.h"
#include "framework/kavrimain/InputStream.h"
#include "framework/kavrimain/JSObject.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/Logger.h"
#include "framework/plinth/StringUtil.h"
#include "i18n/Bundle.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XNode.h"

namespace kavri {
namespace i18n {

namespace {

using JSObjectPtr = ::core::SmartPtr<json::JSObject>;

// Reads one opened file into an object of texts.
class FileReader {
  public:
    virtual ~FileReader() = default;
    // The texts of the stream, or null for a file that holds none (an XML
    // root other than LANGUAGE). Throws core::Exception for a broken file.
    virtual JSObjectPtr read(stream::InputStream* in) = 0;
};

const char* const LANGUAGE_TAG = "LANGUAGE";

// Closes the stream on every way out, before the stream is deleted.
struct StreamCloser {
    stream::InputStream* stream;
    ~StreamCloser() { stream->close(); }
};

// The entries of a LANGUAGE root: "key" attribute to CDATA text.
JSObjectPtr toObject(const xml::XNode* root) {
    if (root == nullptr || std::strcmp(root->getName(), LANGUAGE_TAG) != 0) {
        return nullptr;
    }
    JSObjectPtr object(new json::JSObject(json::JSObject::OBJECT));
    std::string text;
    for (const auto& entry : root->getChildren()) {
        const char* key = entry->getAttributeChar("key", nullptr);
        if (key == nullptr || *key == '\0') {
            continue;
        }
        unsigned size = 0;
        const char* data = entry->getCData(size);
        text.assign(data != nullptr ? data : "", data != nullptr ? size : 0);
        object->set(key, text.c_str());
    }
    return object;
}

class XMLReader : public FileReader {
  public:
    JSObjectPtr read(stream::InputStream* in) override {
        std::unique_ptr<xml::Document> document(
            mParser.parse(in, static_cast<xml::XNode*>(nullptr)));
        if (document == nullptr) {
            throw ::core::Exception("the reader delivered no document");
        }
        return toObject(document->getRootNode());
    }

  private:
    xml::DOMParser mParser;  // one parser serves both files
};

class JSONReader : public FileReader {
  public:
    JSObjectPtr read(stream::InputStream* in) override {
        JSObjectPtr object(json::JSObject::parse(in));
        // Anything but an object at the top fails like a malformed file.
        if (object == nullptr || object->getValueType() != json::JSObject::OBJECT) {
            throw ::core::Exception("a bundle file holds one JSON object");
        }
        return object;
    }
};

// Opens `path` and hands its stream to the reader. A file system that
// delivers no file or no stream has failed like one that throws.
JSObjectPtr readFile(vfs::FileSystem* fileSystem, const char* path, FileReader& reader) {
    ::core::SmartPtr<vfs::File> file(fileSystem->openFile(path, 0));
    if (file == nullptr) {
        throw ::core::Exception("%s: the file system delivered no file", path);
    }
    std::unique_ptr<stream::InputStream> in(file->openInputStream());
    if (in == nullptr) {
        throw ::core::Exception("%s: the file delivered no stream", path);
    }
    StreamCloser closer{in.get()};
    return reader.read(in.get());
}

// The texts of the localized file (`localized`) or the base file; null, with
// the warning, when the file cannot be opened, read or parsed.
JSObjectPtr readBundleFile(vfs::FileSystem* fileSystem, const std::string& path, FileReader& reader,
                           bool localized) {
    try {
        return readFile(fileSystem, path.c_str(), reader);
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
    if (mLanguage.empty()) {
        return std::string();
    }
    const char* extension = platform::FileOperations::getExtension(path);
    if (extension == nullptr) {
        extension = "";
    }
    const char* stemEnd = *extension != '\0' ? std::strstr(path, extension) : nullptr;
    std::string localized(path, stemEnd != nullptr ? stemEnd : path + std::strlen(path));
    localized += '_';
    localized += mLanguage;
    localized += extension;
    return localized;
}

void Bundle::load(vfs::FileSystem* fileSystem, bool flag) {
    if (fileSystem == nullptr || mPath.empty()) {
        return;
    }
    const char* extension = platform::FileOperations::getExtension(mPath.c_str());
    if (extension != nullptr && text::StringUtil::compareIgnoreCase(extension, ".json") == 0) {
        clear();
        loadJSON(fileSystem, mPath.c_str());
    } else if (extension != nullptr &&
               text::StringUtil::compareIgnoreCase(extension, ".xml") == 0) {
        clear();
        loadXML(fileSystem, mPath.c_str());
    } else {
        logging::Logger::mROOT_LOGGER->warn("Bundle::load:invalid bundle extension: %s",
                                            extension != nullptr ? extension : "");
    }
    for (const auto& child : mChildren) {
        child->load(fileSystem, flag);
    }
}

void Bundle::loadXML(vfs::FileSystem* fileSystem, const char* path) {
    XMLReader reader;
    std::string localized = localizedPath(path);
    if (!localized.empty()) {
        load(readBundleFile(fileSystem, localized, reader, true), false);
    }
    load(readBundleFile(fileSystem, path, reader, false), false);
}

void Bundle::loadJSON(vfs::FileSystem* fileSystem, const char* path) {
    JSONReader reader;
    std::string localized = localizedPath(path);
    if (!localized.empty()) {
        load(readBundleFile(fileSystem, localized, reader, true), false);
    }
    load(readBundleFile(fileSystem, path, reader, false), false);
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
        if (text != nullptr) {
            storeText(key, text);
        }
    }
}

}  // namespace i18n
}  // namespace kavri
