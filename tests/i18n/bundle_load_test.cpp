// Bundle::load from the in-memory file system: the localized file first, the
// base file for the rest, in XML and JSON, and one exact warning for every
// file that cannot be read, however hostile (nesting and sizes no translator
// writes, JSON that is no object): the texts of the other file stay and
// nothing is thrown to the caller.
#include <ctime>
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

const size_t MILLION = 1000000;

namespace {

class BundleFilesTest : public LocalisationTest {
  protected:
    // A bundle in `language` loaded from mFiles.
    SmartPtr<Bundle> loaded(const char* path, const char* language) {
        SmartPtr<Bundle> bundle(new Bundle("texts", path));
        bundle->setLanguage(language);
        bundle->load(&mFiles, true);
        return bundle;
    }

    MemoryFileSystem mFiles;
};

// The worked example of the bundle file format, in both formats.
void addWorkedExample(MemoryFileSystem& files) {
    files.addFile("i18n/texts.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<LANGUAGE>\n"
                  "  <TEXT key=\"hello\"><![CDATA[Hello, %s!]]></TEXT>\n"
                  "  <TEXT key=\"title\"><![CDATA[Main menu]]></TEXT>\n"
                  "</LANGUAGE>\n");
    files.addFile("i18n/texts_de.xml",
                  "<LANGUAGE><TEXT key=\"hello\"><![CDATA[Hallo, %s!]]></TEXT></LANGUAGE>");
    files.addFile("i18n/texts.json", "{ \"hello\": \"Hello, %s!\", \"title\": \"Main menu\" }");
    files.addFile("i18n/texts_de.json", "{ \"hello\": \"Hallo, %s!\" }");
}

TEST_F(BundleFilesTest, WorkedExampleFillsTheLocalizedTextsFromTheBaseFile) {
    addWorkedExample(mFiles);
    for (const char* path : {"i18n/texts.xml", "i18n/texts.json"}) {
        SmartPtr<Bundle> german = loaded(path, "de");
        EXPECT_EQ(german->getTexts().size(), 2u) << path;
        EXPECT_STREQ((*german)["hello"], "Hallo, %s!") << path;
        EXPECT_STREQ((*german)["title"], "Main menu") << path;

        SmartPtr<Bundle> base = loaded(path, "");
        EXPECT_STREQ((*base)["hello"], "Hello, %s!") << path;
        EXPECT_STREQ((*base)["title"], "Main menu") << path;
    }
    EXPECT_TRUE(mWarnings.empty());
}

TEST_F(BundleFilesTest, AFailedFileCostsOneWarningAndNeverTheOtherFilesTexts) {
    addWorkedExample(mFiles);
    mFiles.addFile("a/texts.xml", "<LANGUAGE><TEXT key=\"k\"><![CDATA[base]]></TEXT></LANGUAGE>");
    mFiles.addFile("a/texts_de.xml", "<LANGUAGE><TEXT key=\"k\"><![CDATA[de]]></TEXT>");
    mFiles.addFile("b/texts.json", "{\"k\": \"base\", \"only\": \"base\"");
    mFiles.addFile("b/texts_de.json", "{\"k\": \"de\"}");
    mFiles.addFile("c/texts.json", "{\"k\": \"base\"}");
    mFiles.addFile("c/texts_de.json", "[\"a\", \"b\"]");  // not an object: no texts

    EXPECT_STREQ((*loaded("i18n/texts.xml", "fr"))["hello"], "Hello, %s!");
    EXPECT_TRUE(loaded("other/texts.json", "fr")->getTexts().empty());
    EXPECT_STREQ((*loaded("a/texts.xml", "de"))["k"], "base");
    SmartPtr<Bundle> b = loaded("b/texts.json", "de");
    EXPECT_STREQ((*b)["k"], "de");
    EXPECT_FALSE(b->containsKey("only"));
    EXPECT_STREQ((*loaded("c/texts.json", "de"))["k"], "base");
    EXPECT_EQ(mWarnings, (Warnings{"Bundle::loadXML:failed to load bundle i18n/texts_fr.xml",
                                   "Bundle::loadXML:failed to load bundle other/texts_fr.json",
                                   "Bundle::loadXML:failed to load base bundle other/texts.json",
                                   "Bundle::loadXML:failed to load bundle a/texts_de.xml",
                                   "Bundle::loadXML:failed to load base bundle b/texts.json",
                                   "Bundle::loadXML:failed to load bundle c/texts_de.json"}));
}

TEST_F(BundleFilesTest, HostileFilesGiveWarningsNotExceptions) {
    std::string deep(100000, '[');
    for (std::string bytes : {"", "\xff\xfe", "<LANGUAGE", "{", "null", "{\"k\": \"\\ud800\"}",
                              "<LANGUAGE><![CDATA[x", deep.c_str()}) {
        mFiles.addFile("h.xml", bytes);
        mFiles.addFile("h.json", bytes);
        EXPECT_TRUE(loaded("h.xml", "")->getTexts().empty());
        EXPECT_TRUE(loaded("h.json", "")->getTexts().empty());
    }
    EXPECT_EQ(mWarnings.size(), 16u);
}

TEST_F(BundleFilesTest, XmlEntriesTakeTheirKeyAttributeAndCDataOnly) {
    mFiles.addFile(
        "texts.xml",
        "<LANGUAGE version=\"2\">"
        "<TEXT key=\"body\">body only</TEXT>"
        "<TEXT key=\"both\"><![CDATA[a]]>b</TEXT>"
        "<ITEM key=\"raw\"><![CDATA[<b> & ${x}]]></ITEM>"
        "<TEXT key=\"two\"><![CDATA[one]]><![CDATA[two]]></TEXT>"
        "<TEXT key=\"\"><![CDATA[empty key]]></TEXT>"
        "<TEXT><![CDATA[no key]]></TEXT>"
        "<TEXT key=\"nested\"><![CDATA[n]]><TEXT key=\"inner\"><![CDATA[i]]></TEXT></TEXT>"
        "</LANGUAGE>");
    mFiles.addFile("lower.xml", "<language><TEXT key=\"k\"><![CDATA[v]]></TEXT></language>");

    SmartPtr<Bundle> bundle = loaded("texts.xml", "");
    EXPECT_STREQ((*bundle)["body"], "");
    EXPECT_STREQ((*bundle)["both"], "a");
    EXPECT_STREQ((*bundle)["raw"], "<b> & ${x}");
    EXPECT_STREQ((*bundle)["two"], "onetwo");
    EXPECT_EQ(bundle->getTexts().size(), 5u);  // no "", no "inner"

    EXPECT_TRUE(loaded("lower.xml", "")->getTexts().empty());
    EXPECT_TRUE(mWarnings.empty());
}

TEST_F(BundleFilesTest, JsonMembersBecomeTextsOnlyWhenTheyAreStrings) {
    mFiles.addFile("texts.json",
                   "{\"s\": \"text \\u00e9\", \"n\": 5, \"b\": true, \"z\": null,"
                   " \"o\": {\"inner\": \"x\"}, \"a\": [\"y\"], \"\": \"empty key\"}");
    SmartPtr<Bundle> bundle = loaded("texts.json", "");
    EXPECT_STREQ((*bundle)["s"], "text \xc3\xa9");
    EXPECT_STREQ((*bundle)[""], "empty key");
    EXPECT_EQ(bundle->getTexts().size(), 2u);
}

TEST_F(BundleFilesTest, ALoadReplacesEarlierTextsAndReloadsEveryChildByItsExtension) {
    mFiles.addFile("i18n/TEXTS.XML",
                   "<LANGUAGE><TEXT key=\"k\"><![CDATA[base]]></TEXT></LANGUAGE>");
    mFiles.addFile("i18n/TEXTS_de.XML", "<LANGUAGE/>");
    mFiles.addFile("menu.json", "{\"open\": \"Open\"}");
    mFiles.addFile("menu_fr.json", "{\"open\": \"Ouvrir\"}");
    SmartPtr<Bundle> root(new Bundle("root", "i18n/TEXTS.XML"));  // extensions ignore case
    Bundle* ini = new Bundle("ini", "menu.ini");
    Bundle* menu = new Bundle("menu", "menu.json");
    ini->setText("kept", "yes");
    ini->load(&mFiles, true);  // not cleared, not filled
    EXPECT_STREQ((*ini)["kept"], "yes");
    root->addChild(ini);
    root->addChild(menu);
    root->setLanguage("de");
    menu->setLanguage("fr");  // a child keeps its own language
    root->setText("manual", "gone after load");

    root->load(&mFiles, true);
    root->load(static_cast<kavri::vfs::FileSystem*>(nullptr), true);  // no message
    EXPECT_FALSE(root->containsKey("manual"));
    EXPECT_STREQ((*root)["k"], "base");
    EXPECT_STREQ((*menu)["open"], "Ouvrir");
    EXPECT_EQ(mWarnings, (Warnings{"Bundle::load:invalid bundle extension: .ini",
                                   "Bundle::load:invalid bundle extension: .ini"}));
}

TEST_F(BundleFilesTest, AMillionLevelsOfNestingCostTheFileAndKeepTheOtherFilesTexts) {
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
        EXPECT_STREQ(loaded("i18n/texts.json", "en")->getText("hello", false), "Hi");
    }
    // In XML the deep part may sit inside a LANGUAGE root, after an entry.
    mFiles.addFile("i18n/texts_en.xml", languageRoot + elements);
    mFiles.addFile("i18n/texts.xml", "<LANGUAGE><T key='title'><![CDATA[Menu]]></T></LANGUAGE>");
    SmartPtr<Bundle> xml = loaded("i18n/texts.xml", "en");
    EXPECT_EQ(xml->getTexts().size(), 1u);
    EXPECT_STREQ(xml->getText("title", false), "Menu");

    EXPECT_EQ(mWarnings, (Warnings{"Bundle::loadXML:failed to load base bundle i18n/texts.json",
                                   "Bundle::loadXML:failed to load base bundle i18n/texts.json",
                                   "Bundle::loadXML:failed to load bundle i18n/texts_en.xml"}));
}

TEST_F(BundleFilesTest, JsonThatIsNoObjectCostsTheFileAndKeepsTheBaseTexts) {
    mFiles.addFile("i18n/texts.json", "{\"title\": \"Menu\", \"hello\": \"Hello\"}");
    for (const char* notAnObject : {"[\"hello\", \"Hi\"]", "\"hello\"", "42", "null", "true",
                                    "{\"hello\": \"Hi\"} {\"more\": 1}", "{\"hello\": \"Hi\"},"}) {
        mFiles.addFile("i18n/texts_en.json", notAnObject);
        SmartPtr<Bundle> bundle = loaded("i18n/texts.json", "en");
        EXPECT_EQ(bundle->getTexts().size(), 2u) << notAnObject;
        EXPECT_STREQ(bundle->getText("hello", false), "Hello") << notAnObject;
    }
    EXPECT_EQ(mWarnings, Warnings(7, "Bundle::loadXML:failed to load bundle i18n/texts_en.json"));
}

// A bundle of 100,000 texts is large but real (every text of a big
// application in one file). Loading it must take time in proportion to its
// size: with a linear search per key it took minutes.
TEST_F(BundleFilesTest, AHundredThousandTextsLoadInLinearTime) {
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
        SmartPtr<Bundle> bundle = loaded((std::string("i18n/texts") + extension).c_str(), "en");
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        EXPECT_EQ(bundle->getTexts().size(), static_cast<size_t>(count)) << extension;
        EXPECT_STREQ(bundle->getText("k99999", false), "text 99999") << extension;
        // Linear: well under a second, some seconds in the sanitizer build.
        // Quadratic: close to a minute even in an optimised build.
        EXPECT_LT(seconds, 30.0) << extension;
    }
}

}  // namespace

// --- Files of messages ---------------------------------------------------------

// The same messages in both formats: the marker, a reference, plurals by the
// language's rules, and a text that does not compile.
void addMessageBundles(MemoryFileSystem& files) {
    const char* const photos =
        ".input {$n :integer} .match $n one {{${app}: {$n} фото}} few {{${app}: {$n} фото!}} "
        "* {{${app}: {$n} фотографий}}";
    files.addFile("m.xml",
                  "<LANGUAGE format=\"messageformat\">"
                  "<TEXT key=\"app\"><![CDATA[Album]]></TEXT>"
                  "<TEXT key=\"hi\"><![CDATA[Hi {$name}, ${app} has {$n :integer} photos]]></TEXT>"
                  "<TEXT key=\"broken\"><![CDATA[Hi {$name]]></TEXT>"
                  "</LANGUAGE>");
    files.addFile("m_ru.xml", std::string("<LANGUAGE format=\"messageformat\">"
                                          "<TEXT key=\"photos\"><![CDATA[") +
                                  photos + "]]></TEXT></LANGUAGE>");
    files.addFile("m.json",
                  "{\"@format\": \"messageformat\", \"app\": \"Album\","
                  " \"hi\": \"Hi {$name}, ${app} has {$n :integer} photos\","
                  " \"broken\": \"Hi {$name\"}");
    files.addFile("m_ru.json",
                  std::string("{\"@format\": \"messageformat\", \"photos\": \"") + photos + "\"}");
}

TEST_F(BundleFilesTest, MessageBundlesFormatNamedArgumentsInTheirLanguage) {
    addMessageBundles(mFiles);
    const kavri::i18n::MessageArguments arguments{{"name", "Ada"}, {"n", 1234}};
    const auto none = kavri::i18n::MessageFormat::BIDI_NONE;
    for (const char* path : {"m.xml", "m.json"}) {
        SmartPtr<Bundle> base = loaded(path, "de");
        EXPECT_TRUE(base->isMessageBundle()) << path;
        EXPECT_FALSE(base->containsKey("@format")) << path;
        std::string out;
        // References are substituted first; numbers follow the language.
        EXPECT_STREQ(base->formatMessage("hi", arguments, out, true, nullptr, none),
                     "Hi Ada, Album has 1.234 photos")
            << path;
        base->setLanguage("en");
        EXPECT_STREQ(base->formatMessage("hi", arguments, out, true, nullptr, none),
                     "Hi Ada, Album has 1,234 photos")
            << path;
        // The default strategy isolates a string of unknown direction.
        base->formatMessage("hi", {{"name", "Ada"}, {"n", 1}}, out, true);
        EXPECT_EQ(out,
                  "Hi \xe2\x81\xa8"
                  "Ada\xe2\x81\xa9, Album has 1 photos")
            << path;
        std::vector<kavri::i18n::MessageError> errors;
        EXPECT_STREQ(base->formatMessage("hi", {{"n", 2}}, out, true, &errors, none),
                     "Hi {$name}, Album has 2 photos")
            << path;
        ASSERT_EQ(errors.size(), 1u) << path;
        EXPECT_EQ(errors[0].type, kavri::i18n::MessageError::UNRESOLVED_VARIABLE) << path;

        SmartPtr<Bundle> russian = loaded(path, "ru");
        for (const auto& row : {std::make_pair(1, "Album: 1 фото"),
                                {3, "Album: 3 фото!"},
                                {22, "Album: 22 фото!"},
                                {11, "Album: 11 фотографий"}}) {
            EXPECT_STREQ(
                russian->formatMessage("photos", {{"n", row.first}}, out, true, nullptr, none),
                row.second)
                << path << " " << row.first;
        }
    }
}

TEST_F(BundleFilesTest, AMessageThatDoesNotCompileGivesItsKeyWithOneWarning) {
    addMessageBundles(mFiles);
    SmartPtr<Bundle> bundle = loaded("m.json", "");
    std::string out;
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(bundle->formatMessage("broken", {}, out, true), "broken");
    }
    ASSERT_EQ(mWarnings.size(), 1u);
    EXPECT_EQ(mWarnings[0].rfind("Bundle::formatMessage:invalid message broken: syntax-error", 0),
              0u)
        << mWarnings[0];
    // A missing key is message source too: it formats to itself.
    EXPECT_STREQ(bundle->formatMessage("no_such_key", {}, out, true), "no_such_key");
}

TEST_F(BundleFilesTest, FilesWithoutTheMarkerKeepEveryTextAsItWas) {
    mFiles.addFile("plain.json", "{\"@format\": \"printf\", \"a\": \"{$x} %s\"}");
    mFiles.addFile("plain.xml",
                   "<LANGUAGE format=\"printf\"><TEXT key=\"a\"><![CDATA[{$x} %s]]></TEXT>"
                   "</LANGUAGE>");
    SmartPtr<Bundle> json = loaded("plain.json", "");
    EXPECT_FALSE(json->isMessageBundle());
    EXPECT_STREQ((*json)["@format"], "printf");
    SmartPtr<Bundle> xml = loaded("plain.xml", "");
    EXPECT_FALSE(xml->isMessageBundle());
    EXPECT_EQ(xml->getTexts().size(), 1u);
    std::string out;
    EXPECT_STREQ(xml->getText("a", out, true, "s"), "{$x} s");
}
