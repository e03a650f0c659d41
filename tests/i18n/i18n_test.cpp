// The language manager: discovery from the files beside the root file,
// switching with fallback, display names, the registry and the singleton.
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "i18n/Bundle.h"
#include "i18n/I18N.h"
#include "localisation_test_support.h"

using core::SmartPtr;
using kavri::i18n::Bundle;
using kavri::i18n::I18N;
using kavri::vfs::MemoryFileSystem;
using Warnings = std::vector<std::string>;

namespace {

std::string languageFile(const std::vector<std::pair<const char*, const char*>>& texts) {
    std::string xml = "<LANGUAGE>";
    for (const auto& text : texts) {
        xml +=
            std::string("<TEXT key=\"") + text.first + "\"><![CDATA[" + text.second + "]]></TEXT>";
    }
    return xml + "</LANGUAGE>";
}

class I18NTest : public LocalisationTest {
  protected:
    void addLanguages(const std::vector<const char*>& codes) {
        mFiles.addFile("i18n/texts.xml", languageFile({{"title", "Main menu"},
                                                       {"hello", "Hello, %s!"},
                                                       {"language_en", "English"},
                                                       {"language_de", "German"}}));
        for (const char* code : codes) {
            std::string path = std::string("i18n/texts_") + code + ".xml";
            if (std::string(code) == "de") {
                mFiles.addFile(path.c_str(), languageFile({{"hello", "Hallo, %s!"},
                                                           {"language_en", "Englisch"},
                                                           {"language_de", "Deutsch"}}));
            } else {
                mFiles.addFile(path.c_str(), languageFile({{"hello", code}}));
            }
        }
    }

    I18N& i18n() { return I18N::getSingleton(); }

    MemoryFileSystem mFiles;
};

TEST_F(I18NTest, InitializeDiscoversLanguagesAndLoadsTheRequestedOne) {
    addLanguages({"en", "de"});
    mFiles.addFile("i18n/other_fr.xml", "<LANGUAGE/>");  // another bundle's file
    i18n().initialize(&mFiles, "i18n/texts.xml", "de");

    ASSERT_EQ(i18n().getAvailableLanguageCount(), 2u);
    EXPECT_STREQ(i18n().getLanguageCode(0u), "de");  // the file system's order
    EXPECT_STREQ(i18n().getLanguageCode(1u), "en");
    EXPECT_STREQ(i18n().getLanguageCode(), "de");
    EXPECT_EQ(i18n().getLanguageIndex(), 0);
    EXPECT_STREQ(i18n()["hello"], "Hallo, %s!");
    EXPECT_STREQ(i18n()["title"], "Main menu");
    EXPECT_STREQ(i18n().getBundle()->getName(), "default");

    std::string out;
    EXPECT_STREQ(i18n().getText("hello", out, true, "Ada"), "Hallo, Ada!");
    EXPECT_STREQ(i18n().resolve("${title}: %d", out, true, 3), "Main menu: 3");
    EXPECT_TRUE(mWarnings.empty());
}

TEST_F(I18NTest, UnavailableCodesFallBackToEnglishThenToTheFirstLanguage) {
    addLanguages({"en", "de"});
    i18n().initialize(&mFiles, "i18n/texts.xml", "fr");
    EXPECT_STREQ(i18n().getLanguageCode(), "en");
    EXPECT_STREQ(i18n()["hello"], "en");

    I18N::deleteSingleton();
    MemoryFileSystem noEnglish;
    noEnglish.addFile("texts.xml", languageFile({{"hello", "base"}}));
    noEnglish.addFile("texts_it.xml", languageFile({{"hello", "it"}}));
    noEnglish.addFile("texts_de.xml", languageFile({{"hello", "de"}}));
    i18n().initialize(&noEnglish, "texts.xml", "fr");
    EXPECT_EQ(i18n().getLanguageIndex(), 0);
    EXPECT_STREQ(i18n().getLanguageCode(), "de");
    EXPECT_EQ(i18n().getLanguageIndex("DE"), -1);
    EXPECT_EQ(i18n().getLanguageIndex("it"), 1);
}

TEST_F(I18NTest, WithoutLocalizedFilesTheSystemLanguageAndBaseTextsRemain) {
    kavri::platform::SystemInfo::setLanguageCode("pt");
    addLanguages({});
    i18n().initialize(&mFiles, "i18n/texts.xml", "");
    EXPECT_EQ(i18n().getAvailableLanguageCount(), 0u);
    EXPECT_STREQ(i18n().getLanguageCode(), "pt");
    EXPECT_STREQ(i18n().getDefaultLanguageCode(), "pt");
    EXPECT_STREQ(i18n().getLanguageCode(0u), "pt");
    EXPECT_STREQ(i18n()["hello"], "Hello, %s!");
    EXPECT_EQ(mWarnings, Warnings{"Bundle::loadXML:failed to load bundle i18n/texts_pt.xml"});
}

TEST_F(I18NTest, NullOrEmptyCodesMeanTheSystemLanguage) {
    addLanguages({"en", "de"});
    i18n();  // created while the system's language is "en"
    kavri::platform::SystemInfo::setLanguageCode("de");
    i18n().initialize(&mFiles, "i18n/texts.xml", nullptr);
    EXPECT_STREQ(i18n().getLanguageCode(), "de");
    i18n().initialize(&mFiles, "i18n/texts.xml", "");
    EXPECT_STREQ(i18n().getLanguageCode(), "de");
    // The manager kept the code it was created with ("en").
    i18n().setLanguage(&mFiles, nullptr);
    EXPECT_STREQ(i18n().getLanguageCode(), "en");
}

TEST_F(I18NTest, DisplayNamesFollowEverySwitch) {
    addLanguages({"en", "de", "it"});
    i18n().initialize(&mFiles, "i18n/texts.xml", "de");
    EXPECT_STREQ(i18n().getLanguageName(0u), "Deutsch");
    EXPECT_STREQ(i18n().getLanguageName(1u), "Englisch");
    EXPECT_STREQ(i18n().getLanguageName(2u), "language_it");

    i18n().setLanguage(&mFiles, "en");
    EXPECT_STREQ(i18n().getLanguageName(0u), "German");
    EXPECT_STREQ(i18n().getLanguageName(1u), "English");
    EXPECT_STREQ(i18n()["hello"], "en");
}

TEST_F(I18NTest, CodesAreTheTextAfterTheLastUnderscore) {
    mFiles.addFile("texts.xml", "<LANGUAGE/>");
    for (const char* name : {"texts_.xml", "texts_de_old.xml", "texts_de.xml", "texts_en.json",
                             "texts_x.xml.xml", "texts_old.xml"}) {
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
    i18n().initialize(&mFiles, "i18n/texts.xml", "en");
    Bundle* menu = new Bundle("menu", "i18n/menu.json");
    i18n().getBundle()->addChild(menu);
    Bundle* registered = i18n().addBundle("dialogs", "i18n/menu.json");
    registered->load(&mFiles, true);

    i18n().setLanguage(&mFiles, "de");
    EXPECT_STREQ(menu->getLanguage(), "de");
    EXPECT_STREQ((*menu)["open"],
                 "\xc3\x96"
                 "ffnen");
    EXPECT_STREQ(i18n().getBundle()->getText("open", false), "open");  // a child's text
    EXPECT_STREQ(registered->getLanguage(), "de");
    EXPECT_STREQ((*registered)["open"], "Open");  // not reloaded

    // A new initialize starts over and empties the registered bundles.
    i18n().initialize(&mFiles, "i18n/texts.xml", "en");
    EXPECT_EQ(i18n().getBundle()->getChildCount(), 0u);
    EXPECT_TRUE(registered->getTexts().empty());
    EXPECT_EQ(i18n().getBundle("dialogs", false), registered);
}

TEST_F(I18NTest, TheRegistryKeepsNamedBundlesAndSearchesOneLevelDown) {
    addLanguages({"en", "de"});
    i18n().initialize(&mFiles, "i18n/texts.xml", "en");
    Bundle* help = i18n().addBundle("help", "i18n/help.xml");
    EXPECT_STREQ(help->getLanguage(), "en");
    EXPECT_TRUE(help->getTexts().empty());
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
    EXPECT_TRUE(i18n().removeBundle(replaced.get(), false));
    EXPECT_FALSE(i18n().removeBundle(replaced.get(), true));
}

TEST_F(I18NTest, DeleteSingletonStartsAfresh) {
    EXPECT_FALSE(I18N::isSingletonCreated());
    I18N* first = I18N::getSingletonPtr();
    EXPECT_EQ(&I18N::getSingleton(), first);
    EXPECT_EQ(first->getBundle(), nullptr);
    std::string out;
    EXPECT_STREQ(first->getText("Total: %d", out, true, 5), "Total: 5");  // before initialize
    EXPECT_STREQ(first->resolve("${missing}", out, true), "missing");

    addLanguages({"en"});
    first->initialize(&mFiles, "i18n/texts.xml", "en");
    SmartPtr<Bundle> held(first->getBundle());
    I18N::deleteSingleton();
    EXPECT_FALSE(I18N::isSingletonCreated());
    EXPECT_STREQ((*held)["title"], "Main menu");  // held bundles survive the manager

    EXPECT_EQ(I18N::getSingleton().getBundle(), nullptr);
    EXPECT_EQ(I18N::getSingleton().getAvailableLanguageCount(), 0u);
    EXPECT_EQ(I18N::getSingleton().getLanguageIndex(), -1);
}

}  // namespace
