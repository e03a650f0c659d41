// Bundle files: the naming rule of localized files, and reading and writing
// the two formats.
#include "i18n/BundleFile.h"

#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>

#include "framework/kavrimain/File.h"
#include "framework/kavrimain/FileOperations.h"
#include "framework/kavrimain/FileSystem.h"
#include "framework/kavrimain/InputStream.h"
#include "framework/kavrimain/JSObject.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/StringUtil.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"
#include "xml/XNode.h"

namespace kavri {
namespace i18n {

namespace {

using JSObjectPtr = ::core::SmartPtr<json::JSObject>;

const char* const LANGUAGE_TAG = "LANGUAGE";
const char* const FORMAT_ATTRIBUTE = "format";

// The extension of `path` with its dot, or "" when it has none.
const char* extensionOf(const char* path) {
    const char* extension = platform::FileOperations::getExtension(path);
    return extension != nullptr ? extension : "";
}

// The path up to the first occurrence of its extension's text: the part of
// a bundle's name that its localized files share.
std::string stemOf(const char* path, const char* extension) {
    const char* stemEnd = *extension != '\0' ? std::strstr(path, extension) : nullptr;
    return std::string(path, stemEnd != nullptr ? stemEnd : path + std::strlen(path));
}

// Closes the stream on every way out, before the stream is deleted.
struct StreamCloser {
    stream::InputStream* stream;
    ~StreamCloser() { stream->close(); }
};

// The entries of a LANGUAGE root: "key" attribute to CDATA text. Null, with
// the reason in `ignored`, for a document that is no bundle.
JSObjectPtr toObject(const xml::XNode* root, std::string* ignored) {
    if (root == nullptr || std::strcmp(root->getName(), LANGUAGE_TAG) != 0) {
        if (ignored != nullptr) {
            *ignored = root == nullptr ? "no root element"
                                       : std::string("the root element is <") + root->getName() +
                                             ">, not <LANGUAGE>";
        }
        return nullptr;
    }
    JSObjectPtr object(new json::JSObject(json::JSObject::OBJECT));
    const char* format = root->getAttributeChar(FORMAT_ATTRIBUTE, nullptr);
    if (format != nullptr && std::strcmp(format, BundleFile::MESSAGE_FORMAT) == 0) {
        object->set(BundleFile::FORMAT_KEY, BundleFile::MESSAGE_FORMAT);
    }
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

JSObjectPtr readXML(stream::InputStream* in, std::string* ignored) {
    xml::DOMParser parser;
    std::unique_ptr<xml::Document> document;
    try {
        document.reset(parser.parse(in, static_cast<xml::XNode*>(nullptr)));
    } catch (const ::core::Exception& e) {
        if (parser.getLine() == 0) {
            throw;  // the stream failed, not the document
        }
        throw ::core::Exception("line %u, column %u: %s", parser.getLine(), parser.getColumn(),
                                e.getMessage());
    }
    if (document == nullptr) {
        throw ::core::Exception("the reader delivered no document");
    }
    return toObject(document->getRootNode(), ignored);
}

JSObjectPtr readJSON(stream::InputStream* in) {
    JSObjectPtr object(json::JSObject::parse(in));
    // Anything but an object at the top fails like a malformed file.
    if (object == nullptr || object->getValueType() != json::JSObject::OBJECT) {
        throw ::core::Exception("the top level is not a JSON object");
    }
    return object;
}

// One entry as XMLWriter writes it, on one line: the key escaped as every
// XML reader gives it back, the text as CDATA cut at each "]]>". Two habits of
// the files are older than the writer and kept, so that a rewritten file
// changes only where its texts do: the key always stands in double quotes,
// and an empty text is an empty section rather than an empty element.
void appendEntry(xml::XMLWriter& writer, const BundleFile::Entry& entry, std::string& out) {
    xml::Document document;
    xml::XNode* element = document.createNode("TEXT", nullptr);
    document.setRootNode(element);
    element->addAttribute("key", entry.first);
    element->addCData(entry.second.data(), static_cast<unsigned>(entry.second.size()));
    stream::MemoryOutputStream written;
    writer.write(element, &written);
    out += "  ";
    out += written.str();
    out += '\n';
}

std::string writeXML(const BundleFile::Entries& entries) {
    BundleFile::Entries texts = entries;
    bool messages = BundleFile::takeFormatMarker(texts, true);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LANGUAGE";
    out += messages ? " format=\"messageformat\">\n" : ">\n";
    xml::XMLWriter writer(false, false);
    writer.setDoubleQuotes(true);
    writer.setEmptyAsCData(true);
    for (const BundleFile::Entry& entry : texts) {
        appendEntry(writer, entry, out);
    }
    out += "</LANGUAGE>\n";
    return out;
}

std::string writeJSON(const BundleFile::Entries& entries) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const BundleFile::Entry& entry : entries) {
        object[entry.first] = entry.second;
    }
    try {
        return object.dump(2) + "\n";
    } catch (const nlohmann::json::exception&) {
        // JSON text is UTF-8: a text that is not cannot be stored there.
        throw ::core::Exception("a text is not valid UTF-8 and cannot be written as JSON");
    }
}

}  // namespace

const char* const BundleFile::FORMAT_KEY = "@format";
const char* const BundleFile::MESSAGE_FORMAT = "messageformat";

BundleFile::Format BundleFile::formatOf(const char* path) {
    const char* extension = extensionOf(path);
    if (text::StringUtil::compareIgnoreCase(extension, ".json") == 0) {
        return JSON;
    }
    if (text::StringUtil::compareIgnoreCase(extension, ".xml") == 0) {
        return XML;
    }
    return UNKNOWN;
}

std::string BundleFile::localizedPath(const char* path, const char* code) {
    if (code == nullptr || *code == '\0') {
        return std::string();
    }
    const char* extension = extensionOf(path);
    return stemOf(path, extension) + "_" + code + extension;
}

std::string BundleFile::localizedPattern(const char* fileName) {
    const char* extension = extensionOf(fileName);
    return stemOf(fileName, extension) + "_*" + extension;
}

std::string BundleFile::languageCode(const char* fileName) {
    std::string name = fileName;
    const char* extension = extensionOf(fileName);
    if (*extension != '\0') {
        text::StringUtil::removeAll(name, std::string(extension));
    }
    size_t underscore = name.rfind('_');
    if (underscore == std::string::npos || underscore + 1 >= name.size()) {
        return std::string();
    }
    return name.substr(underscore + 1);
}

::core::SmartPtr<json::JSObject> BundleFile::read(vfs::FileSystem* fileSystem, const char* path,
                                                  std::string* ignored) {
    ::core::SmartPtr<vfs::File> file(fileSystem->openFile(path, 0));
    if (file == nullptr) {
        throw ::core::Exception("%s: the file system delivered no file", path);
    }
    std::unique_ptr<stream::InputStream> in(file->openInputStream());
    if (in == nullptr) {
        throw ::core::Exception("%s: the file delivered no stream", path);
    }
    StreamCloser closer{in.get()};
    return formatOf(path) == JSON ? readJSON(in.get()) : readXML(in.get(), ignored);
}

BundleFile::Entries BundleFile::readEntries(vfs::FileSystem* fileSystem, const char* path) {
    std::string ignored;
    JSObjectPtr object = read(fileSystem, path, &ignored);
    if (object == nullptr) {
        throw ::core::Exception("%s", ignored.c_str());
    }
    return entries(object);
}

BundleFile::Entries BundleFile::entries(const json::JSObject* object) {
    Entries result;
    if (object == nullptr) {
        return result;
    }
    for (json::JSObject::JSIterator it = object->begin(); it.isValid(); ++it) {
        const char* key = it.getKey();
        const char* text = it.getValue()->asString(nullptr);
        if (key != nullptr && text != nullptr) {
            result.emplace_back(key, text);
        }
    }
    return result;
}

bool BundleFile::isFormatMarker(const char* key, const char* text) {
    return key != nullptr && text != nullptr && std::strcmp(key, FORMAT_KEY) == 0 &&
           std::strcmp(text, MESSAGE_FORMAT) == 0;
}

bool BundleFile::takeFormatMarker(Entries& entries, bool remove) {
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (isFormatMarker(it->first.c_str(), it->second.c_str())) {
            if (remove) {
                entries.erase(it);
            }
            return true;
        }
    }
    return false;
}

std::string BundleFile::write(const Entries& entries, Format format) {
    if (format == JSON) {
        return writeJSON(entries);
    }
    if (format == XML) {
        return writeXML(entries);
    }
    throw ::core::Exception("a bundle file is written as XML or JSON");
}

}  // namespace i18n
}  // namespace kavri
