// The localisation example of the README, run on the sample texts from disk.
#include "kavrixml.h"
#include "localisation_test_support.h"

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
