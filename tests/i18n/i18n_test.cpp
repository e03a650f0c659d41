// The language manager: discovery from the files beside the root file,
// switching with fallback, display names, the registry and the singleton;
// and the README's localisation example, on the sample texts from disk
// through the library's one header.
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "i18n/Bundle.h"
#include "i18n/I18N.h"
#include "kavrixml.h"
#include "localisation_test_support.h"

using core::SmartPtr;
using kavri::i18n::Bundle;
using kavri::i18n::I18N;
using Warnings = std::vector<std::string>;

namespace {

class I18NTest : public LocalisationTest {
  protected:
    // texts.json and, per code, texts_<code>.json ("de" is translated, the
    // others say their code).
    void addLanguages(const std::vector<const char*>& codes) {
        mFiles.addFile("i18n/texts.json", R"({"title": "Main menu", "hello": "Hello, %s!",)"
                                          R"( "language_en": "English", "language_de": "German"})");
        for (const char* code : codes) {
            std::string path = std::string("i18n/texts_") + code + ".json";
            mFiles.addFile(path.c_str(),
                           std::string(code) == "de"
                               ? R"({"hello": "Hallo, %s!", "language_en": "Englisch",)"
                                 R"( "language_de": "Deutsch"})"
                               : std::string("{\"hello\": \"") + code + "\"}");
        }
    }
    void initialize(const char* code) { i18n().initialize(&mFiles, "i18n/texts.json", code); }
    I18N& i18n() { return I18N::getSingleton(); }

    kavri::vfs::MemoryFileSystem mFiles;
};

TEST_F(I18NTest, InitializeDiscoversLanguagesAndFallsBackToEnglishThenTheFirst) {
    addLanguages({"en", "de"});
    mFiles.addFile("i18n/other_fr.json", "{}");  // another bundle's file
    initialize("de");
    ASSERT_EQ(i18n().getAvailableLanguageCount(), 2u);
    EXPECT_STREQ(i18n().getLanguageCode(0u), "de");  // the file system's order
    EXPECT_STREQ(i18n().getLanguageCode(1u), "en");
    EXPECT_STREQ(i18n().getLanguageCode(), "de");
    EXPECT_STREQ(i18n()["hello"], "Hallo, %s!");
    EXPECT_STREQ(i18n()["title"], "Main menu");
    std::string out;
    EXPECT_STREQ(i18n().getText("hello", out, true, "Ada"), "Hallo, Ada!");
    EXPECT_STREQ(i18n().resolve("${title}: %d", out, true, 3), "Main menu: 3");

    initialize("fr");
    EXPECT_STREQ(i18n().getLanguageCode(), "en");
    EXPECT_STREQ(i18n()["hello"], "en");
    EXPECT_EQ(i18n().getLanguageIndex("EN"), -1);

    mFiles.removeFile("i18n/texts_en.json");
    addLanguages({"it"});
    initialize("fr");
    EXPECT_EQ(i18n().getLanguageIndex(), 0);
    EXPECT_STREQ(i18n().getLanguageCode(), "de");
    EXPECT_TRUE(mWarnings.empty());
}

TEST_F(I18NTest, WithoutLocalizedFilesTheSystemLanguageAndBaseTextsRemain) {
    kavri::platform::SystemInfo::setLanguageCode("pt");
    addLanguages({});
    initialize("");
    EXPECT_EQ(i18n().getAvailableLanguageCount(), 0u);
    EXPECT_STREQ(i18n().getLanguageCode(), "pt");
    EXPECT_STREQ(i18n().getLanguageCode(0u), "pt");
    EXPECT_STREQ(i18n()["hello"], "Hello, %s!");
    EXPECT_EQ(mWarnings, Warnings{"Bundle::loadXML:failed to load bundle i18n/texts_pt.json"});

    // initialize asks the system again; the manager's default stays "pt".
    addLanguages({"de", "pt"});
    kavri::platform::SystemInfo::setLanguageCode("de");
    initialize(nullptr);
    EXPECT_STREQ(i18n().getLanguageCode(), "de");
    i18n().setLanguage(&mFiles, nullptr);
    EXPECT_STREQ(i18n().getLanguageCode(), "pt");
}

TEST_F(I18NTest, DisplayNamesFollowEverySwitch) {
    addLanguages({"en", "de", "it"});
    initialize("de");
    EXPECT_STREQ(i18n().getLanguageName(0u), "Deutsch");
    EXPECT_STREQ(i18n().getLanguageName(1u), "Englisch");
    EXPECT_STREQ(i18n().getLanguageName(2u), "language_it");
    i18n().setLanguage(&mFiles, "en");
    EXPECT_STREQ(i18n().getLanguageName(0u), "German");
}

TEST_F(I18NTest, CodesAreTheTextAfterTheLastUnderscore) {
    for (const char* name : {"texts.xml", "texts_.xml", "texts_de_old.xml", "texts_de.xml",
                             "texts_en.json", "texts_x.xml.xml", "texts_old.xml"}) {
        mFiles.addFile(name, "<LANGUAGE/>");
    }
    i18n().initialize(&mFiles, "texts.xml", "en");
    ASSERT_EQ(i18n().getAvailableLanguageCount(), 3u);
    EXPECT_STREQ(i18n().getLanguageCode(0u), "de");
    EXPECT_STREQ(i18n().getLanguageCode(1u), "old");  // once, though two files give it
    EXPECT_STREQ(i18n().getLanguageCode(2u), "x");
}

TEST_F(I18NTest, ASwitchReloadsTheRootBundleTreeButNotTheRegistry) {
    addLanguages({"en", "de"});
    mFiles.addFile("i18n/menu.json", "{\"open\": \"Open\"}");
    mFiles.addFile("i18n/menu_de.json", "{\"open\": \"\\u00d6ffnen\"}");
    initialize("en");
    Bundle* menu = new Bundle("menu", "i18n/menu.json");
    i18n().getBundle()->addChild(menu);
    Bundle* registered = i18n().addBundle("dialogs", "i18n/menu.json");
    registered->load(&mFiles, true);

    i18n().setLanguage(&mFiles, "de");
    EXPECT_STREQ((*menu)["open"],
                 "\xc3\x96"
                 "ffnen");
    EXPECT_STREQ(registered->getLanguage(), "de");
    EXPECT_STREQ((*registered)["open"], "Open");

    initialize("en");  // starts over: a new root, the registry's texts emptied
    EXPECT_EQ(i18n().getBundle()->getChildCount(), 0u);
    EXPECT_TRUE(registered->getTexts().empty());
}

TEST_F(I18NTest, TheRegistryKeepsNamedBundlesAndSearchesOneLevelDown) {
    addLanguages({"en"});
    initialize("en");
    Bundle* help = i18n().addBundle("help", "i18n/help.xml");
    EXPECT_STREQ(help->getLanguage(), "en");
    EXPECT_EQ(i18n().getBundle("help", false), help);
    Bundle* german = new Bundle("tips", "tips.xml");
    german->setLanguage("de");
    i18n().addBundle(german);
    EXPECT_EQ(mWarnings, Warnings{"I18N::setBundle:adding bundle in different language: de!=en"});

    help->addChild(new Bundle("topics", "topics.xml"));
    i18n().getBundle()->addChild(new Bundle("rootchild", "r.xml"));
    EXPECT_STREQ(i18n().getBundle("topics", true)->getPath(), "topics.xml");
    EXPECT_EQ(i18n().getBundle("topics", false), nullptr);
    EXPECT_EQ(i18n().getBundle("rootchild", true), nullptr);

    SmartPtr<Bundle> replaced(help);
    i18n().addBundle(new Bundle("help", "other.xml"));
    EXPECT_STREQ(i18n().getBundle("help", false)->getPath(), "other.xml");
    EXPECT_EQ(replaced->getRefCount(), 1);  // the registry let it go
    EXPECT_TRUE(i18n().removeBundle("tips", false));
    EXPECT_FALSE(i18n().removeBundle("tips", false));
    i18n().addBundle(replaced);
    EXPECT_TRUE(i18n().removeBundle("topics", true));  // a registered bundle's child
    EXPECT_EQ(replaced->getChildCount(), 0u);
}

TEST_F(I18NTest, DeleteSingletonStartsAfresh) {
    EXPECT_FALSE(I18N::isSingletonCreated());
    I18N* first = I18N::getSingletonPtr();
    EXPECT_EQ(&I18N::getSingleton(), first);
    std::string out;
    EXPECT_STREQ(first->getText("Total: %d", out, true, 5), "Total: 5");  // before initialize
    addLanguages({"en"});
    initialize("en");
    SmartPtr<Bundle> held(first->getBundle());
    I18N::deleteSingleton();
    EXPECT_FALSE(I18N::isSingletonCreated());
    EXPECT_STREQ((*held)["title"], "Main menu");  // held bundles survive the manager
    EXPECT_EQ(I18N::getSingleton().getBundle(), nullptr);
    EXPECT_EQ(I18N::getSingleton().getLanguageIndex(), -1);
}

TEST_F(LocalisationTest, ReadmeExampleLoadsTheSampleFromDiskAndSwitchesLanguage) {
    kavri::vfs::DiskFileSystem files(KAVRIXML_SOURCE_DIR "/examples/i18n/xml");
    kavri::i18n::I18N& i18n = kavri::i18n::I18N::getSingleton();
    i18n.initialize(&files, "texts.xml", "de");  // null: the system's language

    std::string out;
    EXPECT_STREQ(i18n.getText("welcome", out, true, "Ada"),
                 "Willkommen zur\xc3\xbc"
                 "ck, Ada!");
    EXPECT_STREQ(i18n.resolve("${library}: %d", out, true, 2), "Bibliothek: 2");
    const char* quit = i18n["menu_quit"];  // the text as stored
    EXPECT_STREQ(quit, "${app_name} beenden");
    i18n.setLanguage(&files, "fr");  // switches and reloads
    EXPECT_STREQ(i18n.getLanguageName(0), "Allemand");
    EXPECT_TRUE(mWarnings.empty());
}

}  // namespace
