#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "framework/kavrimain/FileOperations.h"
#include "framework/kavrimain/SystemInfo.h"

using kavri::platform::FileOperations;
using kavri::platform::SystemInfo;

TEST(FileOperations, ExtensionIsALastDotOfTheNamePart) {
    const char* path = "i18n/texts_de.xml";
    EXPECT_EQ(path + 13, FileOperations::getExtension(path));
    EXPECT_STREQ(".json", FileOperations::getExtension("a.b/c.d.json"));
    EXPECT_EQ(nullptr, FileOperations::getExtension("folder.d/README"));
    EXPECT_STREQ(".hidden", FileOperations::getExtension("a/.hidden"));
    EXPECT_STREQ(".", FileOperations::getExtension("name."));
    EXPECT_EQ(nullptr, FileOperations::getExtension("folder.d/"));
    EXPECT_EQ(nullptr, FileOperations::getExtension(""));
    EXPECT_EQ(nullptr, FileOperations::getExtension(nullptr));
}

TEST(FileOperations, FileAndFolderSplitAtTheLastSlash) {
    EXPECT_EQ("texts.xml", FileOperations::getFile("i18n/texts.xml"));
    EXPECT_EQ("i18n", FileOperations::getFolder("i18n/texts.xml"));
    EXPECT_EQ("a/b", FileOperations::getFolder("a/b/c"));
    EXPECT_EQ("texts.xml", FileOperations::getFile("texts.xml"));
    EXPECT_EQ("", FileOperations::getFolder("texts.xml"));
    EXPECT_EQ("", FileOperations::getFile("i18n/"));
    EXPECT_EQ("i18n", FileOperations::getFolder("i18n/"));
    EXPECT_EQ("", FileOperations::getFolder("/root.xml"));
    EXPECT_EQ("", FileOperations::getFile(nullptr));
    EXPECT_EQ("", FileOperations::getFolder(nullptr));
}

namespace {

// Sets the three locale variables for one test and restores them after it.
class SystemInfoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            mSaved.emplace_back(value != nullptr, value != nullptr ? value : "");
            unsetenv(name);
        }
        SystemInfo::setLanguageCode(nullptr);
    }
    void TearDown() override {
        for (size_t i = 0; i < 3; ++i) {
            if (mSaved[i].first) {
                setenv(kNames[i], mSaved[i].second.c_str(), 1);
            } else {
                unsetenv(kNames[i]);
            }
        }
        SystemInfo::setLanguageCode(nullptr);
    }

    // LC_ALL, LC_MESSAGES, LANG; nullptr leaves a variable unset.
    static std::string codeFor(const char* all, const char* messages, const char* lang) {
        const char* values[] = {all, messages, lang};
        for (size_t i = 0; i < 3; ++i) {
            if (values[i] != nullptr) {
                setenv(kNames[i], values[i], 1);
            } else {
                unsetenv(kNames[i]);
            }
        }
        return SystemInfo::getLanguageCode();
    }

    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::pair<bool, std::string>> mSaved;
};

constexpr const char* SystemInfoTest::kNames[3];

}  // namespace

TEST_F(SystemInfoTest, LanguageComesFromTheFirstSetLocaleVariable) {
    EXPECT_EQ("en", codeFor(nullptr, nullptr, nullptr));
    EXPECT_EQ("de", codeFor(nullptr, nullptr, "de_DE.UTF-8"));
    EXPECT_EQ("fr", codeFor(nullptr, "fr_CA", "de_DE.UTF-8"));
    EXPECT_EQ("it", codeFor("it_IT@euro", "fr_CA", "de_DE.UTF-8"));
    EXPECT_EQ("fr", codeFor("", "fr_CA", "de_DE"));  // empty counts as unset
    EXPECT_EQ("de", codeFor(nullptr, "", "DE"));
    EXPECT_EQ("pt", codeFor(nullptr, nullptr, "pt.ISO-8859-1"));
    EXPECT_EQ("ast", codeFor(nullptr, nullptr, "ast_ES.UTF-8"));
    EXPECT_EQ("de", codeFor(nullptr, nullptr, "de-DE"));
}

TEST_F(SystemInfoTest, CLocaleAndNonsenseGiveEnglish) {
    for (const char* locale : {"C", "POSIX", "C.UTF-8", "", "_DE", "1234", "/tmp/x"}) {
        EXPECT_EQ("en", codeFor(nullptr, nullptr, locale)) << locale;
    }
    // LC_ALL=C wins over a real language further down.
    EXPECT_EQ("en", codeFor("C", "de_DE", "de_DE"));
}

TEST_F(SystemInfoTest, OverrideWinsUntilCleared) {
    codeFor(nullptr, nullptr, "de_DE.UTF-8");
    SystemInfo::setLanguageCode("fr");
    EXPECT_STREQ("fr", SystemInfo::getLanguageCode());
    const char* before = SystemInfo::getLanguageCode();
    SystemInfo::setLanguageCode("es");
    EXPECT_STREQ("es", SystemInfo::getLanguageCode());
    EXPECT_STREQ("fr", before);  // earlier answers stay readable
    SystemInfo::setLanguageCode(nullptr);
    EXPECT_STREQ("de", SystemInfo::getLanguageCode());
    SystemInfo::setLanguageCode("");
    EXPECT_STREQ("de", SystemInfo::getLanguageCode());
}

TEST_F(SystemInfoTest, ThreadsAskAndOverrideAtTheSameTime) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            const char* codes[] = {"de", "fr", "it", nullptr};
            for (int i = 0; i < 2000; ++i) {
                if (t == 0) {
                    SystemInfo::setLanguageCode(codes[i % 4]);
                } else {
                    std::string code = SystemInfo::getLanguageCode();
                    ASSERT_TRUE(code == "de" || code == "fr" || code == "it" || code == "en")
                        << code;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}
