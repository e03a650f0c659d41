// Loading under file-system faults: every open and every read of a bundle
// tree's files is made to fail in turn, once by throwing and once by
// delivering nothing. Loading must never throw, must write the warning of
// the one file that failed (besides those of files that are missing anyway),
// and must keep every text that the other files supplied.
#include <map>
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "failing_file_system.h"
#include "i18n/Bundle.h"
#include "i18n/I18N.h"
#include "localisation_test_support.h"

using core::SmartPtr;
using kavri::i18n::Bundle;
using kavri::i18n::I18N;
using Texts = std::map<std::string, std::string>;
using Warnings = std::vector<std::string>;

namespace {

// One bundle's two files, as written into the file system.
struct BundleFiles {
    Bundle* bundle;
    std::string localizedPath;
    Texts localized;
    bool localizedExists;
    std::string basePath;
    Texts base;
};

bool isJson(const std::string& path) {
    return path.size() > 5 && path.compare(path.size() - 5, 5, ".json") == 0;
}

std::string fileText(const std::string& path, const Texts& texts) {
    std::string text = isJson(path) ? "{" : "<?xml version=\"1.0\"?>\n<LANGUAGE>\n";
    for (const auto& entry : texts) {
        if (isJson(path)) {
            text +=
                (text.size() > 1 ? ", \"" : "\"") + entry.first + "\": \"" + entry.second + "\"";
        } else {
            text += "  <TEXT key=\"" + entry.first + "\"><![CDATA[" + entry.second + "]]></TEXT>\n";
        }
    }
    return text + (isJson(path) ? "}" : "</LANGUAGE>\n");
}

Texts textsOf(const Bundle* bundle) {
    Texts texts;
    for (const auto& entry : bundle->getTexts()) {
        texts.emplace(entry.first, entry.second);
    }
    return texts;
}

class BundleFaultTest : public LocalisationTest {
  protected:
    void add(const BundleFiles& files) {
        if (files.localizedExists) {
            mFiles.addFile(files.localizedPath.c_str(),
                           fileText(files.localizedPath, files.localized));
        }
        mFiles.addFile(files.basePath.c_str(), fileText(files.basePath, files.base));
    }

    // The warnings and texts of a load in which `failed` (maybe "") failed.
    void expectLoadWithout(const std::vector<BundleFiles>& tree, const std::string& failed) {
        Warnings warnings;
        for (const BundleFiles& files : tree) {
            Texts texts;
            if (files.localizedPath == failed || !files.localizedExists) {
                warnings.push_back("Bundle::loadXML:failed to load bundle " + files.localizedPath);
            } else {
                texts = files.localized;
            }
            if (files.basePath == failed) {
                warnings.push_back("Bundle::loadXML:failed to load base bundle " + files.basePath);
            } else {
                texts.insert(files.base.begin(), files.base.end());  // keeps localized texts
            }
            EXPECT_EQ(textsOf(files.bundle), texts) << files.basePath << " after " << failed;
        }
        EXPECT_EQ(mWarnings, warnings) << "after " << failed;
    }

    FailingFileSystem mFiles;
};

TEST_F(BundleFaultTest, EveryOpenAndReadFailingInTurnCostsOnlyThatFilesTexts) {
    SmartPtr<Bundle> root(new Bundle("default", "i18n/texts.xml"));
    Bundle* menu = new Bundle("menu", "i18n/menu.json");
    Bundle* recent = new Bundle("recent", "i18n/recent.json");
    Bundle* help = new Bundle("help", "i18n/help/help.xml");
    root->addChild(menu);
    menu->addChild(recent);
    root->addChild(help);
    root->setLanguage("de");
    // In the order of loading: a bundle, then its children.
    const std::vector<BundleFiles> tree = {
        {root,
         "i18n/texts_de.xml",
         {{"hello", "Hallo"}, {"only_de", "nur"}},
         true,
         "i18n/texts.xml",
         {{"hello", "Hello"}, {"title", "Main menu"}, {"only_base", "base"}}},
        {menu,
         "i18n/menu_de.json",
         {{"open", "Offen"}},
         true,
         "i18n/menu.json",
         {{"open", "Open"}, {"save", "Save"}}},
        {recent,
         "i18n/recent_de.json",
         {{"recent", "Zuletzt"}},
         true,
         "i18n/recent.json",
         {{"recent", "Recent"}, {"clear", "Clear"}}},
        {help, "i18n/help/help_de.xml", {}, false, "i18n/help/help.xml", {{"about", "About"}}},
    };
    for (const BundleFiles& files : tree) {
        add(files);
    }

    mFiles.failAt(0, FailingFileSystem::THROW);
    root->load(&mFiles, true);
    expectLoadWithout(tree, "");
    // 8 opens (one of a missing file), 7 streams, 14 reads (data, then the end).
    const int operations = mFiles.operationCount();
    EXPECT_EQ(operations, 29);

    for (FailingFileSystem::Mode mode : {FailingFileSystem::THROW, FailingFileSystem::NOTHING}) {
        for (int n = 1; n <= operations + 1; ++n) {
            mWarnings.clear();
            mFiles.failAt(n, mode);
            EXPECT_NO_THROW(root->load(&mFiles, true));
            EXPECT_EQ(mFiles.failedPath().empty(), n > operations) << n;
            expectLoadWithout(tree, mFiles.faultLostNothing() ? "" : mFiles.failedPath());
        }
    }
}

TEST_F(BundleFaultTest, TheManagerNamesItsLanguagesFromWhateverLoaded) {
    const BundleFiles root = {
        nullptr,
        "i18n/texts_de.xml",
        {{"language_de", "Deutsch"}, {"language_en", "Englisch"}},
        true,
        "i18n/texts.xml",
        {{"language_de", "German"}, {"language_en", "English"}, {"title", "Main menu"}}};
    add(root);
    mFiles.addFile("i18n/texts_en.xml", "<LANGUAGE/>");

    for (FailingFileSystem::Mode mode : {FailingFileSystem::THROW, FailingFileSystem::NOTHING}) {
        int firstClean = 0;  // the first n beyond the operations of a load
        for (int n = 1; n < 20 && firstClean == 0; ++n) {
            mWarnings.clear();
            mFiles.failAt(n, mode);
            I18N& i18n = I18N::getSingleton();
            EXPECT_NO_THROW(i18n.initialize(&mFiles, "i18n/texts.xml", "de"));
            const std::string failed = mFiles.faultLostNothing() ? "" : mFiles.failedPath();
            ASSERT_EQ(i18n.getAvailableLanguageCount(), 2u);
            EXPECT_STREQ(i18n.getLanguageCode(), "de");
            const bool localized = failed != root.localizedPath;
            const bool base = failed != root.basePath;
            EXPECT_STREQ(i18n.getLanguageName(0), localized ? "Deutsch" : "German") << failed;
            EXPECT_STREQ(i18n.getLanguageName(1), localized ? "Englisch" : "English") << failed;
            EXPECT_STREQ(i18n["title"], base ? "Main menu" : "title") << failed;
            const Warnings expected =
                failed.empty() ? Warnings{}
                : localized    ? Warnings{"Bundle::loadXML:failed to load base bundle " + failed}
                               : Warnings{"Bundle::loadXML:failed to load bundle " + failed};
            EXPECT_EQ(mWarnings, expected);
            if (mFiles.failedPath().empty()) {
                firstClean = n;
            }
        }
        EXPECT_EQ(firstClean, 9);  // after 2 opens, 2 streams and 4 reads
    }
}

}  // namespace
