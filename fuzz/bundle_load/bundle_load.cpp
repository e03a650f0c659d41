// Loads a small bundle tree from fuzzed files in the in-memory file system:
// the root bundle "i18n/texts.xml" with its localized file "texts_en.xml",
// and below it the bundle "i18n/more.json" with "more_en.json". The input
// holds the four files in that order, cut at the separator; an empty part
// leaves its file out.
//
// Loading must never throw, and must end with exactly the texts that the
// files which read supply (the localized file's, then the base file's for the
// keys still missing) and one warning for each file that did not read.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/kavrimain/JSObject.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/SystemInfo.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/Logger.h"
#include "fuzz/FuzzSupport.h"
#include "i18n/Bundle.h"
#include "i18n/I18N.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"

using kavri::i18n::Bundle;
using kavri::i18n::I18N;
using Texts = std::map<std::string, std::string>;
using Entries = std::vector<std::pair<std::string, std::string>>;

namespace {

// A file's entries as the loader sees them, in file order, or false when the
// file does not read. Keys and texts are C strings in the bundle: they end at
// a NUL byte.
bool xmlEntries(const std::string& bytes, Entries& entries) {
    kavri::stream::MemoryInputStream in(bytes);
    kavri::xml::DOMParser parser;
    std::unique_ptr<kavri::xml::Document> doc;
    try {
        doc.reset(parser.parse(&in));
    } catch (const ::core::Exception&) {
        return false;
    }
    const kavri::xml::XNode* root = doc->getRootNode();
    if (std::strcmp(root->getName(), "LANGUAGE") != 0) {
        return true;
    }
    std::map<std::string, size_t> position;  // a key given again keeps its place
    for (const auto& entry : root->getChildren()) {
        std::string key = entry->getAttributeChar("key", "");
        if (key.empty()) {
            continue;
        }
        std::string text = kavrixml::fuzz::cdataOf(entry.get()).c_str();
        auto found = position.find(key);
        if (found != position.end()) {
            entries[found->second].second = text;
        } else {
            position[key] = entries.size();
            entries.emplace_back(key, text);
        }
    }
    return true;
}

bool jsonEntries(const std::string& bytes, Entries& entries) {
    ::core::SmartPtr<kavri::json::JSObject> object;
    try {
        object = kavri::json::JSObject::parse(bytes);
    } catch (const ::core::Exception&) {
        return false;
    }
    if (object->getValueType() != kavri::json::JSObject::OBJECT) {
        return false;
    }
    for (auto it = object->begin(); it.isValid(); ++it) {
        const char* text = it.getValue()->asString(nullptr);
        if (text != nullptr) {
            entries.emplace_back(it.getKey(), text);
        }
    }
    return true;
}

struct Expected {
    Texts texts;
    std::vector<std::string> warnings;
};

// The localized file first, then the base file for the keys still missing.
Expected expect(const std::string& localizedPath, const std::string* localized,
                const std::string& basePath, const std::string* base, bool json) {
    Expected expected;
    const std::string* files[2] = {localized, base};
    const char* warnings[2] = {"Bundle::loadXML:failed to load bundle ",
                               "Bundle::loadXML:failed to load base bundle "};
    const std::string* paths[2] = {&localizedPath, &basePath};
    for (int i = 0; i < 2; ++i) {
        Entries entries;
        bool read = files[i] != nullptr &&
                    (json ? jsonEntries(*files[i], entries) : xmlEntries(*files[i], entries));
        if (!read) {
            expected.warnings.push_back(warnings[i] + *paths[i]);
        }
        for (const auto& entry : entries) {
            expected.texts.emplace(entry.first.c_str(), entry.second.c_str());
        }
    }
    return expected;
}

Texts textsOf(const Bundle* bundle) {
    Texts texts;
    for (const auto& entry : bundle->getTexts()) {
        texts.emplace(entry.first, entry.second);
    }
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const PATHS[4] = {"i18n/texts.xml", "i18n/texts_en.xml", "i18n/more.json",
                                         "i18n/more_en.json"};
    std::vector<std::string> parts = kavrixml::fuzz::split(data, size, 4);
    kavri::vfs::MemoryFileSystem fs;
    const std::string* files[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!parts[i].empty()) {
            fs.addFile(PATHS[i], parts[i]);
            files[i] = &parts[i];
        }
    }

    std::vector<std::string> warnings;
    logging::Logger::mROOT_LOGGER->setSink([&warnings](int level, const char* text) {
        if (level == logging::Logger::WARN) {
            warnings.emplace_back(text);
        }
    });
    kavri::platform::SystemInfo::setLanguageCode("en");

    I18N& i18n = I18N::getSingleton();
    i18n.initialize(&fs, PATHS[0], "en");
    Bundle* more = new Bundle("more", PATHS[2]);
    i18n.getBundle()->addChild(more);
    warnings.clear();
    i18n.setLanguage(&fs, "en");

    Expected root = expect(PATHS[1], files[1], PATHS[0], files[0], false);
    Expected child = expect(PATHS[3], files[3], PATHS[2], files[2], true);
    std::vector<std::string> expectedWarnings = root.warnings;
    expectedWarnings.insert(expectedWarnings.end(), child.warnings.begin(), child.warnings.end());
    FUZZ_CHECK(warnings == expectedWarnings, "one warning for each file that did not read");
    FUZZ_CHECK(textsOf(i18n.getBundle()) == root.texts, "the root bundle's texts");
    FUZZ_CHECK(textsOf(more) == child.texts, "the child bundle's texts");

    auto name = root.texts.find("language_en");
    const std::string expectedName = name != root.texts.end() ? name->second : "language_en";
    FUZZ_CHECK(i18n.getAvailableLanguageCount() == (files[1] != nullptr ? 1u : 0u),
               "languages found beside the root file");
    if (files[1] != nullptr) {
        FUZZ_CHECK(expectedName == i18n.getLanguageName(0), "the language's display name");
    }

    // References of loaded texts resolve without formatting.
    std::string out;
    for (const auto& entry : more->getTexts()) {
        more->resolveReferences(entry.second, out, true);
    }

    I18N::deleteSingleton();
    logging::Logger::mROOT_LOGGER->setSink(nullptr);
    return 0;
}
