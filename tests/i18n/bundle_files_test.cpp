// Bundle::load from the in-memory file system: the localized file first, the
// base file for the rest, in XML and JSON, and one exact warning for every
// file that cannot be read.
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

TEST_F(BundleFilesTest, MissingFilesCostOneWarningEachInBothFormats) {
    addWorkedExample(mFiles);
    SmartPtr<Bundle> french = loaded("i18n/texts.xml", "fr");
    EXPECT_STREQ((*french)["hello"], "Hello, %s!");
    EXPECT_EQ(mWarnings, Warnings{"Bundle::loadXML:failed to load bundle i18n/texts_fr.xml"});

    mWarnings.clear();
    SmartPtr<Bundle> none = loaded("other/texts.json", "fr");
    EXPECT_TRUE(none->getTexts().empty());
    EXPECT_EQ(mWarnings, (Warnings{"Bundle::loadXML:failed to load bundle other/texts_fr.json",
                                   "Bundle::loadXML:failed to load base bundle other/texts.json"}));
}

TEST_F(BundleFilesTest, AMalformedFileNeverCostsTheTextsOfTheOtherFile) {
    mFiles.addFile("a/texts.xml", "<LANGUAGE><TEXT key=\"k\"><![CDATA[base]]></TEXT></LANGUAGE>");
    mFiles.addFile("a/texts_de.xml", "<LANGUAGE><TEXT key=\"k\"><![CDATA[de]]></TEXT>");
    mFiles.addFile("b/texts.json", "{\"k\": \"base\", \"only\": \"base\"");
    mFiles.addFile("b/texts_de.json", "{\"k\": \"de\"}");
    mFiles.addFile("c/texts.json", "{\"k\": \"base\"}");
    mFiles.addFile("c/texts_de.json", "[\"a\", \"b\"]");  // not an object: no texts

    EXPECT_STREQ((*loaded("a/texts.xml", "de"))["k"], "base");
    SmartPtr<Bundle> b = loaded("b/texts.json", "de");
    EXPECT_STREQ((*b)["k"], "de");
    EXPECT_FALSE(b->containsKey("only"));
    SmartPtr<Bundle> c = loaded("c/texts.json", "de");
    EXPECT_STREQ((*c)["k"], "base");
    EXPECT_EQ(c->getTexts().size(), 1u);
    EXPECT_EQ(mWarnings, (Warnings{"Bundle::loadXML:failed to load bundle a/texts_de.xml",
                                   "Bundle::loadXML:failed to load base bundle b/texts.json",
                                   "Bundle::loadXML:failed to load bundle c/texts_de.json"}));
}

TEST_F(BundleFilesTest, HostileFilesGiveWarningsNotExceptions) {
    const char* hostile[] = {
        "",         "\xff\xfe\x00<",        "<LANGUAGE",           "<<<>>>", "{", "null",
        "\"text\"", "{\"k\": \"\\ud800\"}", "<LANGUAGE><![CDATA[x"};
    int index = 0;
    for (const char* bytes : hostile) {
        std::string folder = "h" + std::to_string(index++);
        mFiles.addFile((folder + "/t.xml").c_str(), bytes);
        mFiles.addFile((folder + "/t.json").c_str(), bytes);
        EXPECT_NO_THROW(loaded((folder + "/t.xml").c_str(), ""));
        EXPECT_NO_THROW(loaded((folder + "/t.json").c_str(), ""));
    }
    EXPECT_EQ(mWarnings.size(), 2 * (sizeof(hostile) / sizeof(hostile[0])));
    std::string nested(100000, '[');
    mFiles.addFile("deep/t.json", nested);
    mFiles.addFile("deep/t.xml", std::string(100000, '<'));
    EXPECT_NO_THROW(loaded("deep/t.json", ""));
    EXPECT_NO_THROW(loaded("deep/t.xml", ""));
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
    EXPECT_STREQ((*bundle)["nested"], "n");
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
    EXPECT_FALSE(bundle->containsKey("inner"));
}

TEST_F(BundleFilesTest, ExtensionsCompareIgnoringCaseAndOthersKeepTheirTexts) {
    mFiles.addFile("i18n/TEXTS.XML",
                   "<LANGUAGE><TEXT key=\"k\"><![CDATA[base]]></TEXT></LANGUAGE>");
    mFiles.addFile("i18n/TEXTS_de.XML",
                   "<LANGUAGE><TEXT key=\"k\"><![CDATA[de]]></TEXT></LANGUAGE>");
    EXPECT_STREQ((*loaded("i18n/TEXTS.XML", "de"))["k"], "de");

    SmartPtr<Bundle> text(new Bundle("t", "notes.txt"));
    text->setText("kept", "yes");
    text->load(&mFiles, true);
    EXPECT_STREQ((*text)["kept"], "yes");
    EXPECT_EQ(mWarnings, Warnings{"Bundle::load:invalid bundle extension: .txt"});

    mWarnings.clear();
    text->load(static_cast<kavri::vfs::FileSystem*>(nullptr), true);
    EXPECT_TRUE(mWarnings.empty());
}

TEST_F(BundleFilesTest, ALoadReplacesEarlierTextsAndReloadsEveryChild) {
    mFiles.addFile("texts.xml", "<LANGUAGE><TEXT key=\"k\"><![CDATA[root]]></TEXT></LANGUAGE>");
    mFiles.addFile("menu.json", "{\"open\": \"Open\"}");
    mFiles.addFile("menu_de.json", "{\"open\": \"\\u00d6ffnen\"}");
    mFiles.addFile("dialog.xml", "<LANGUAGE><TEXT key=\"ok\"><![CDATA[OK]]></TEXT></LANGUAGE>");
    SmartPtr<Bundle> root(new Bundle("root", "texts.xml"));
    Bundle* broken = new Bundle("broken", "menu.ini");
    Bundle* menu = new Bundle("menu", "menu.json");
    Bundle* dialog = new Bundle("dialog", "dialog");  // gets ".xml"
    root->addChild(broken);
    root->addChild(menu);
    root->addChild(dialog);
    menu->setLanguage("de");  // a child keeps its own language
    root->setText("manual", "gone after load");
    dialog->setText("manual", "gone after load");

    root->load(&mFiles, true);
    EXPECT_FALSE(root->containsKey("manual"));
    EXPECT_FALSE(dialog->containsKey("manual"));
    EXPECT_STREQ((*root)["k"], "root");
    EXPECT_STREQ((*menu)["open"],
                 "\xc3\x96"
                 "ffnen");
    EXPECT_STREQ((*dialog)["ok"], "OK");
    EXPECT_EQ(mWarnings, (Warnings{"Bundle::loadXML:failed to load bundle texts_en.xml",
                                   "Bundle::load:invalid bundle extension: .ini",
                                   "Bundle::loadXML:failed to load bundle dialog_en.xml"}));
}

}  // namespace
