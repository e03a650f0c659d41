// BundleFile knows the bundle files on disk: how a localized file is named
// after its base file ("texts.xml" in German is "texts_de.xml") and back, how
// the texts of a file of either format are read, and how texts are written
// to one. The loader of Bundle, the language manager and the command-line
// tool all go through it, so that there is one rule for each of these.
//
// Formats: XML, a LANGUAGE root whose child elements carry a "key" attribute
// and their text as CDATA; JSON, one object of string members. The format is
// chosen by the extension, ignoring case.
//
// A file whose texts are MessageFormat messages says so: in XML by the root's
// attribute format="messageformat", in JSON by the member
// "@format": "messageformat". Both read as that one JSON member (FORMAT_KEY),
// first in the file's texts, and both are written back from it.
//
//   BundleFile::localizedPath("i18n/texts.xml", "de");   // "i18n/texts_de.xml"
//   BundleFile::languageCode("texts_de.xml");            // "de"
//   BundleFile::Entries texts = BundleFile::readEntries(&fileSystem, "texts_de.xml");
//   std::string bytes = BundleFile::write(texts, BundleFile::XML);
//
// Everything here is static; nothing is kept between calls.
#ifndef KAVRIXML_I18N_BUNDLEFILE_H
#define KAVRIXML_I18N_BUNDLEFILE_H

#include <string>
#include <utility>
#include <vector>

#include "core/SmartPtr.h"

namespace kavri {
namespace json {
class JSObject;
}
namespace vfs {
class FileSystem;
}

namespace i18n {

class BundleFile {
  public:
    enum Format { XML, JSON, UNKNOWN };

    // Key and text, in the order of the file.
    using Entry = std::pair<std::string, std::string>;
    using Entries = std::vector<Entry>;

    // The reserved entry that marks a file of messages, and its value.
    static const char* const FORMAT_KEY;
    static const char* const MESSAGE_FORMAT;

    // XML or JSON by the extension of `path` (".xml", ".json", any case).
    static Format formatOf(const char* path);

    // The localized file of `path` in language `code`: the path up to the
    // first occurrence of its extension, "_", the code, the extension. An
    // empty code has no localized file: the result is empty.
    static std::string localizedPath(const char* path, const char* code);
    // The pattern that lists the localized files beside `fileName`:
    // "texts.xml" gives "texts_*.xml".
    static std::string localizedPattern(const char* fileName);
    // The language code of a localized file name: every occurrence of the
    // extension removed, then what follows the last "_" ("texts_de_old.xml"
    // gives "old"). Empty when there is no "_" or nothing follows it.
    static std::string languageCode(const char* fileName);

    // The texts of one file as an object of string members, in file order.
    // Throws core::Exception with the reason when the file cannot be opened,
    // read or parsed ("line 5, column 3: Unclosed node TEXT" for XML). An XML
    // file whose root is not LANGUAGE holds no texts: the result is null and
    // `ignored`, when given, receives why ("the root element is <x>, not
    // <LANGUAGE>"). The result belongs to the caller.
    static ::core::SmartPtr<json::JSObject> read(vfs::FileSystem* fileSystem, const char* path,
                                                 std::string* ignored = nullptr);
    // The same as key and text pairs, for tools that must not take a file
    // that is no bundle for an empty one: an XML file whose root is not
    // LANGUAGE throws too, with the reason.
    static Entries readEntries(vfs::FileSystem* fileSystem, const char* path);
    // The string members of an object, in order.
    static Entries entries(const json::JSObject* object);
    // Whether `key` and `text` are the marker of a file of messages.
    static bool isFormatMarker(const char* key, const char* text);
    // Whether `entries` hold the marker; with `remove`, it is taken out.
    static bool takeFormatMarker(Entries& entries, bool remove);

    // The bytes of a bundle file holding `entries` in their order. XML: the
    // declaration, then one line per entry, the key as attribute and the
    // text as CDATA (a "]]>" in the text is split over two sections). JSON:
    // one object, two blanks of indentation, one member per line, UTF-8 kept
    // as it is. Both end with a line break. `format` must be XML or JSON.
    // The marker entry becomes the root's attribute in XML.
    static std::string write(const Entries& entries, Format format);
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_BUNDLEFILE_H
