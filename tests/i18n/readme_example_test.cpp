// The localisation example of the README, run on the sample texts from disk.
#include <gtest/gtest.h>

#include <string>

#include "kavrixml.h"
#include "localisation_test_support.h"

namespace {

class ReadmeExampleTest : public LocalisationTest {};

TEST_F(ReadmeExampleTest, SampleTextsLoadFromDiskAndSwitchLanguage) {
    // --- as in README.md ---
    kavri::vfs::DiskFileSystem files(KAVRIXML_SOURCE_DIR "/examples/i18n/xml");
    kavri::i18n::I18N& i18n = kavri::i18n::I18N::getSingleton();
    i18n.initialize(&files, "texts.xml", "de");  // null: the system's language

    std::string out;
    i18n.getText("welcome", out, true, "Ada");  // "Willkommen zurück, Ada!"
    EXPECT_EQ(out,
              "Willkommen zur\xc3\xbc"
              "ck, Ada!");
    i18n.resolve("${library}: %d", out, true, 2);  // references first, then arguments
    EXPECT_EQ(out, "Bibliothek: 2");
    const char* quit = i18n["menu_quit"];  // the text as stored
    EXPECT_STREQ(quit, "${app_name} beenden");

    i18n.setLanguage(&files, "fr");  // switches and reloads
    EXPECT_STREQ(i18n.getLanguageName(0), "Allemand");
    EXPECT_STREQ(i18n.getText("status_ready", out, true), "Pr\xc3\xaat");
    EXPECT_TRUE(mWarnings.empty());
}

}  // namespace
