// Plural forms, ordinals and choices of bundles, from XML and JSON files.
#include <gtest/gtest.h>

#include <string>

#include "core/SmartPtr.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "i18n/Bundle.h"
#include "localisation_test_support.h"

namespace {

using kavri::i18n::Bundle;
using kavri::i18n::PluralCount;

class BundlePluralTest : public LocalisationTest {
  protected:
    core::SmartPtr<Bundle> load(const char* path, const char* language) {
        core::SmartPtr<Bundle> bundle(new Bundle("texts", path));
        bundle->setLanguage(language);
        bundle->load(&mFiles, true);
        return bundle;
    }

    kavri::vfs::MemoryFileSystem mFiles;
};

TEST_F(BundlePluralTest, FormsFollowTheLanguageOfTheBundleInBothFormats) {
    mFiles.addFile("texts.xml",
                   "<LANGUAGE><T key=\"files_one\"><![CDATA[%d file]]></T>"
                   "<T key=\"files_other\"><![CDATA[%d files]]></T></LANGUAGE>");
    mFiles.addFile("texts_ru.xml",
                   "<LANGUAGE><T key=\"files_one\"><![CDATA[%d файл]]></T>"
                   "<T key=\"files_few\"><![CDATA[%d файла]]></T>"
                   "<T key=\"files_many\"><![CDATA[%d файлов]]></T>"
                   "<T key=\"files_other\"><![CDATA[%.1f файла]]></T>"
                   "<T key=\"files_=0\"><![CDATA[нет файлов]]></T></LANGUAGE>");
    mFiles.addFile("texts.json", "{\"files_one\": \"%d file\", \"files_other\": \"%d files\"}");
    mFiles.addFile("texts_ru.json", "{\"files_few\": \"%d файла\"}");
    std::string out;
    core::SmartPtr<Bundle> ru = load("texts.xml", "ru");
    const struct {
        long long count;
        const char* text;
    } cases[] = {{1, "1 файл"},   {21, "21 файл"},   {3, "3 файла"},    {24, "24 файла"},
                 {5, "5 файлов"}, {11, "11 файлов"}, {0, "нет файлов"}, {-2, "-2 файла"}};
    for (const auto& c : cases) {
        EXPECT_STREQ(ru->getPluralText("files", c.count, out, true, c.count), c.text) << c.count;
    }
    // A fractional count takes the category of what the text shows of it.
    EXPECT_STREQ(ru->getPluralText("files", 1.0, out, true, 1.0), "1.0 файла");
    EXPECT_STREQ(ru->getPluralText("files", 2.5, out, true, 2.5), "2.5 файла");
    core::SmartPtr<Bundle> en = load("texts.xml", "en");
    EXPECT_STREQ(en->getPluralText("files", 1, out, true, 1), "1 file");
    EXPECT_STREQ(en->getPluralText("files", 0, out, true, 0), "0 files");
    PluralCount shown = 0;
    ASSERT_TRUE(PluralCount::fromText("1.0", shown));
    EXPECT_STREQ(en->getPluralForm("files", shown, false, true), "%d files");
    EXPECT_FALSE(PluralCount::fromText("1,0", shown));
    // JSON: the Russian file has only "few"; the others fall back to the
    // base file's forms, which the localized bundle fills in.
    core::SmartPtr<Bundle> json = load("texts.json", "ru");
    EXPECT_STREQ(json->getPluralText("files", 22, out, true, 22), "22 файла");
    EXPECT_STREQ(json->getPluralText("files", 21, out, true, 21), "21 file");
    EXPECT_STREQ(json->getPluralText("files", 5, out, true, 5), "5 files");
    EXPECT_EQ(mWarnings.back(),
              "Bundle::getPluralForm:no text files_many in language ru, using files_other");
}

TEST_F(BundlePluralTest, FallbacksAreWarnedOncePerKeyAndLanguage) {
    core::SmartPtr<Bundle> parent(new Bundle("parent", "p.xml"));
    core::SmartPtr<Bundle> child(new Bundle("child", "c.xml"));
    parent->setLanguage("pl");
    child->setLanguage("pl");
    parent->addChild(child);
    parent->setText("apples_other", "%d jabłka");
    parent->setText("pears", "%d gruszek");
    child->setText("apples_one", "jedno jabłko");
    std::string out;
    EXPECT_STREQ(child->getPluralText("apples", 1, out, true), "jedno jabłko");
    EXPECT_STREQ(child->getPluralText("apples", 5, out, true, 5), "5 jabłka");
    EXPECT_STREQ(child->getPluralText("apples", 6, out, true, 6), "6 jabłka");
    EXPECT_STREQ(child->getPluralText("apples", 2, out, true, 2),
                 "2 jabłka");  // few: no new warning
    EXPECT_STREQ(child->getPluralText("apples", 5, out, false, 5), "apples");
    EXPECT_STREQ(child->getPluralText("pears", 2, out, true, 2), "2 gruszek");
    EXPECT_STREQ(child->getPluralForm("plums", 2, false, true), "plums");
    EXPECT_EQ(mWarnings,
              (std::vector<std::string>{
                  "Bundle::getPluralForm:no text apples_many in language pl, using apples_other",
                  "Bundle::getPluralForm:no text pears_few in language pl, using pears",
                  "Bundle::getPluralForm:no text plums_few in language pl, using plums"}));
    child->setLanguage("en");  // new language, new rules, warned again
    EXPECT_STREQ(child->getPluralForm("pears", 2, false, true), "%d gruszek");
    EXPECT_EQ(mWarnings.back(),
              "Bundle::getPluralForm:no text pears_other in language en, using pears");
}

TEST_F(BundlePluralTest, ExactValuesOrdinalsAndChoices) {
    core::SmartPtr<Bundle> en(new Bundle("en", "en.xml"));
    en->setLanguage("en");
    en->setText("place_ordinal_one", "%dst");
    en->setText("place_ordinal_two", "%dnd");
    en->setText("place_ordinal_few", "%drd");
    en->setText("place_ordinal_other", "%dth");
    en->setText("place_ordinal_=1", "winner");
    en->setText("place_=1", "one place");
    en->setText("items_=1", "a single item");
    en->setText("items_one", "%d item");
    en->setText("items_other", "%d items");
    en->setText("friend_female", "her friend %s");
    en->setText("friend_other", "their friend %s");
    std::string out;
    EXPECT_STREQ(en->getOrdinalText("place", 22, out, true, 22), "22nd");
    EXPECT_STREQ(en->getOrdinalText("place", 13, out, true, 13), "13th");
    EXPECT_STREQ(en->getOrdinalText("place", 103, out, true, 103), "103rd");
    EXPECT_STREQ(en->getOrdinalText("place", 1, out, true), "winner");
    EXPECT_STREQ(en->getPluralForm("place", 1, false, true), "one place");
    // An exact form is of its value, sign and all.
    EXPECT_STREQ(en->getPluralText("items", -1, out, true, -1), "-1 item");
    EXPECT_STREQ(en->getPluralText("items", 1, out, true), "a single item");
    en->setText("items_=-1", "one item less");
    EXPECT_STREQ(en->getPluralText("items", -1, out, true), "one item less");
    PluralCount minusOne = 0;
    ASSERT_TRUE(PluralCount::fromText("-1", minusOne));
    EXPECT_STREQ(en->getPluralForm("items", minusOne, false, true), "one item less");
    EXPECT_STREQ(en->getChoiceText("friend", "female", out, true, "Ada"), "her friend Ada");
    EXPECT_STREQ(en->getChoiceText("friend", "male", out, true, "Bo"), "their friend Bo");
    EXPECT_EQ(mWarnings, (std::vector<std::string>{"Bundle::getPluralForm:no text friend_male in "
                                                   "language en, using friend_other"}));
    // A form is a text like any other: its references resolve.
    en->setText("name", "Ada");
    en->setText("wins_other", "${name} won %d times");
    EXPECT_STREQ(en->resolve(en->getPluralForm("wins", 3, false, true), out, true, 3),
                 "Ada won 3 times");
    EXPECT_EQ(en->getPluralForm(nullptr, 1, false, true), nullptr);
}

}  // namespace
