// Hostile bundle files: nesting and sizes that no translator writes, and
// JSON that is no object. Each costs at most the warning of its file; the
// texts of the other file stay, and nothing is thrown to the caller.
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "i18n/Bundle.h"
#include "localisation_test_support.h"

using core::SmartPtr;
using kavri::i18n::Bundle;
using kavri::vfs::MemoryFileSystem;
using Warnings = std::vector<std::string>;

namespace {

const size_t MILLION = 1000000;

class HostileBundleTest : public LocalisationTest {
  protected:
    // The bundle "i18n/texts<extension>" in English, loaded from mFiles.
    SmartPtr<Bundle> loaded(const std::string& extension) {
        SmartPtr<Bundle> bundle(new Bundle("texts", ("i18n/texts" + extension).c_str()));
        bundle->load(&mFiles, true);
        return bundle;
    }

    MemoryFileSystem mFiles;
};

TEST_F(HostileBundleTest, AMillionLevelsOfNestingCostTheFileAndKeepTheOtherFilesTexts) {
    std::string objects;
    for (size_t i = 0; i < MILLION; ++i) {
        objects += "{\"a\":";
    }
    const std::string arrays(MILLION, '[');
    std::string elements;
    for (size_t i = 0; i < MILLION; ++i) {
        elements += "<e>";
    }
    const std::string languageRoot = "<LANGUAGE><T key='hello'><![CDATA[Hi]]></T>";

    mFiles.addFile("i18n/texts_en.json", "{\"hello\": \"Hi\"}");
    for (const std::string& deep : {objects + "1" + std::string(MILLION, '}'), arrays}) {
        mFiles.addFile("i18n/texts.json", deep);
        EXPECT_STREQ(loaded(".json")->getText("hello", false), "Hi");
    }
    // In XML the deep part may sit inside a LANGUAGE root, after an entry.
    mFiles.addFile("i18n/texts_en.xml", languageRoot + elements);
    mFiles.addFile("i18n/texts.xml", "<LANGUAGE><T key='title'><![CDATA[Menu]]></T></LANGUAGE>");
    SmartPtr<Bundle> xml = loaded(".xml");
    EXPECT_EQ(xml->getTexts().size(), 1u);
    EXPECT_STREQ(xml->getText("title", false), "Menu");

    EXPECT_EQ(mWarnings, (Warnings{"Bundle::loadXML:failed to load base bundle i18n/texts.json",
                                   "Bundle::loadXML:failed to load base bundle i18n/texts.json",
                                   "Bundle::loadXML:failed to load bundle i18n/texts_en.xml"}));
}

TEST_F(HostileBundleTest, JsonThatIsNoObjectCostsTheFileAndKeepsTheBaseTexts) {
    mFiles.addFile("i18n/texts.json", "{\"title\": \"Menu\", \"hello\": \"Hello\"}");
    for (const char* notAnObject : {"[\"hello\", \"Hi\"]", "\"hello\"", "42", "null", "true",
                                    "{\"hello\": \"Hi\"} {\"more\": 1}", "{\"hello\": \"Hi\"},"}) {
        mFiles.addFile("i18n/texts_en.json", notAnObject);
        SmartPtr<Bundle> bundle = loaded(".json");
        EXPECT_EQ(bundle->getTexts().size(), 2u) << notAnObject;
        EXPECT_STREQ(bundle->getText("hello", false), "Hello") << notAnObject;
    }
    EXPECT_EQ(mWarnings, Warnings(7, "Bundle::loadXML:failed to load bundle i18n/texts_en.json"));
}

// A bundle of 100,000 texts is large but real (every text of a big
// application in one file). Loading it must take time in proportion to its
// size: with a linear search per key it took minutes.
TEST_F(HostileBundleTest, AHundredThousandTextsLoadInLinearTime) {
    const int count = 100000;
    std::string json = "{";
    std::string xml = "<LANGUAGE>";
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        json += (i > 0 ? ",\"k" : "\"k") + n + "\":\"text " + n + "\"";
        xml += "<T key='k" + n + "'><![CDATA[text " + n + "]]></T>";
    }
    json += "}";
    xml += "</LANGUAGE>";
    mFiles.addFile("i18n/texts.json", json);
    mFiles.addFile("i18n/texts.xml", xml);
    for (const char* extension : {".json", ".xml"}) {
        // Processor time, so that a busy machine does not count.
        const std::clock_t start = std::clock();
        SmartPtr<Bundle> bundle = loaded(extension);
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        EXPECT_EQ(bundle->getTexts().size(), static_cast<size_t>(count)) << extension;
        EXPECT_STREQ(bundle->getText("k99999", false), "text 99999") << extension;
        // Linear: well under a second, some seconds in the sanitizer build.
        // Quadratic: close to a minute even in an optimised build.
        EXPECT_LT(seconds, 30.0) << extension;
    }
}

}  // namespace
