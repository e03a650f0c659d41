#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/kavrimain/DiskFileSystem.h"
#include "framework/kavrimain/FileOutputStream.h"
#include "framework/kavrimain/InputStream.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "framework/plinth/Exception.h"

using kavri::vfs::DiskFileSystem;
using kavri::vfs::File;
using kavri::vfs::FileList;
using kavri::vfs::FileSystem;
using kavri::vfs::MemoryFileSystem;

namespace {

std::string contents(File* file) {
    std::unique_ptr<kavri::stream::InputStream> in(file->openInputStream());
    std::string bytes;
    in->readAll(bytes);
    in->close();
    return bytes;
}

std::string openAndRead(FileSystem& fs, const char* path) {
    core::SmartPtr<File> file(fs.openFile(path, 0));
    return contents(file);
}

// "name=path" of every listed file, in list order.
std::vector<std::string> listed(FileSystem& fs, const char* folder, const char* pattern) {
    FileList list(true);
    fs.listFiles(folder, pattern, list);
    std::vector<std::string> out;
    for (unsigned i = 0; i < list.size(); ++i) {
        out.push_back(std::string(list[i]->getName()) + "=" + list.get(i)->getPath());
    }
    return out;
}

std::string openFailure(FileSystem& fs, const char* path) {
    try {
        core::SmartPtr<File> file(fs.openFile(path, 0));
    } catch (const core::Exception& e) {
        return e.getMessage();
    }
    return "no exception";
}

void writeFile(const std::string& path, const std::string& bytes) {
    kavri::stream::FileOutputStream out(path.c_str());
    out.write(bytes.data(), static_cast<unsigned>(bytes.size()));
}

// A fresh folder below the test scratch folder, removed afterwards.
class DiskFileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mRoot = std::string(KAVRIXML_TEST_TMP) + "/fs_" + std::to_string(getpid());
        mkdir(mRoot.c_str(), 0755);
        mkdir((mRoot + "/i18n").c_str(), 0755);
        mkdir((mRoot + "/i18n/texts_sub.xml").c_str(), 0755);  // a folder that matches
        mkdir((mRoot + "/i18n/deeper").c_str(), 0755);
        for (const char* name :
             {"i18n/texts.xml", "i18n/texts_fr.xml", "i18n/texts_de.xml", "i18n/texts_de.json",
              "i18n/Texts_en.xml", "i18n/deeper/texts_x.xml", "top.xml"}) {
            writeFile(mRoot + "/" + name, name);
            mCreated.push_back(mRoot + "/" + name);
        }
    }
    void TearDown() override {
        for (const std::string& path : mCreated) {
            std::remove(path.c_str());
        }
        for (const char* folder : {"/i18n/texts_sub.xml", "/i18n/deeper", "/i18n", ""}) {
            rmdir((mRoot + folder).c_str());
        }
    }

    std::string mRoot;
    std::vector<std::string> mCreated;
};

}  // namespace

TEST(FileSystem, MatchesStarsAgainstAnyRun) {
    EXPECT_TRUE(FileSystem::matches("texts_de.xml", "texts_*.xml"));
    EXPECT_TRUE(FileSystem::matches("texts_.xml", "texts_*.xml"));
    EXPECT_FALSE(FileSystem::matches("texts.xml", "texts_*.xml"));
    EXPECT_FALSE(FileSystem::matches("texts_de.xml.bak", "texts_*.xml"));
    EXPECT_TRUE(FileSystem::matches("a.xml.xml", "*.xml"));
    EXPECT_TRUE(FileSystem::matches("anything", "*"));
    EXPECT_TRUE(FileSystem::matches("", "*"));
    EXPECT_TRUE(FileSystem::matches("", ""));
    EXPECT_FALSE(FileSystem::matches("a", ""));
    EXPECT_TRUE(FileSystem::matches("abcbcd", "a*bcd"));
    EXPECT_TRUE(FileSystem::matches("a?b", "a?b"));  // "?" is a plain character
    EXPECT_FALSE(FileSystem::matches("axb", "a?b"));
    EXPECT_FALSE(FileSystem::matches("Texts_de.xml", "texts_*.xml"));
    EXPECT_TRUE(FileSystem::matches("x", nullptr));
    EXPECT_FALSE(FileSystem::matches(nullptr, "*"));
}

TEST(FileSystem, MatchesManyStarsWithoutBacktrackingBlowUp) {
    std::string name(4000, 'a');
    std::string pattern;
    for (int i = 0; i < 200; ++i) {
        pattern += "*a";
    }
    pattern += "b";
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(FileSystem::matches(name.c_str(), pattern.c_str()));
    EXPECT_TRUE(FileSystem::matches((name + "b").c_str(), pattern.c_str()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(FileList, HoldsReferencesOnlyWhenAsked) {
    MemoryFileSystem fs;
    fs.addFile("a.xml", "a");
    core::SmartPtr<File> kept(fs.openFile("a.xml", 0));
    {
        FileList holding(true);
        holding.add(kept);
        holding.add(nullptr);
        EXPECT_EQ(1u, holding.size());
        EXPECT_EQ(2, kept->getRefCount());
        FileList plain(false);
        plain.add(kept);
        EXPECT_EQ(2, kept->getRefCount());
        holding.clear();
        EXPECT_EQ(0u, holding.size());
        EXPECT_EQ(1, kept->getRefCount());
        holding.add(kept);
    }
    EXPECT_EQ(1, kept->getRefCount());
    EXPECT_STREQ("a.xml", kept->getName());
}

TEST(MemoryFileSystem, NormalizesPaths) {
    EXPECT_EQ("a/b", MemoryFileSystem::normalize("./a//b"));
    EXPECT_EQ("a/b", MemoryFileSystem::normalize("/a/b"));
    EXPECT_EQ("a/b", MemoryFileSystem::normalize("a/./b/"));
    EXPECT_EQ("b", MemoryFileSystem::normalize("a/../b"));
    EXPECT_EQ("", MemoryFileSystem::normalize("./"));
    EXPECT_EQ("", MemoryFileSystem::normalize(nullptr));
    EXPECT_EQ("..a/b.", MemoryFileSystem::normalize("..a/b."));
}

TEST(MemoryFileSystem, OpensFilesByAnySpellingOfTheirPath) {
    MemoryFileSystem fs;
    fs.addFile("/i18n//texts.xml", std::string("<LANGUAGE/>\0!", 13));
    EXPECT_TRUE(fs.exists("i18n/texts.xml"));
    EXPECT_TRUE(fs.exists("./i18n/texts.xml"));
    EXPECT_FALSE(fs.exists("i18n"));
    core::SmartPtr<File> file(fs.openFile("./i18n/texts.xml", 0));
    EXPECT_STREQ("texts.xml", file->getName());
    EXPECT_STREQ("i18n/texts.xml", file->getPath());
    EXPECT_EQ(std::string("<LANGUAGE/>\0!", 13), contents(file));
    EXPECT_EQ(std::string("<LANGUAGE/>\0!", 13), contents(file));  // every stream starts over

    EXPECT_EQ("Cannot open file i18n/missing.xml: No such file or directory",
              openFailure(fs, "i18n/missing.xml"));
    EXPECT_EQ("Cannot open file i18n: No such file or directory", openFailure(fs, "i18n"));
}

TEST(MemoryFileSystem, OpenFilesKeepTheirBytesAfterReplaceOrRemove) {
    MemoryFileSystem fs;
    fs.addFile("t.xml", "old");
    core::SmartPtr<File> file(fs.openFile("t.xml", 0));
    std::unique_ptr<kavri::stream::InputStream> stream(file->openInputStream());
    fs.addFile("t.xml", "new");
    EXPECT_EQ("old", contents(file));
    EXPECT_EQ("new", openAndRead(fs, "t.xml"));

    EXPECT_TRUE(fs.removeFile("/t.xml"));
    EXPECT_FALSE(fs.removeFile("t.xml"));
    EXPECT_FALSE(fs.exists("t.xml"));
    EXPECT_THROW(fs.openFile("t.xml", 0), core::Exception);
    std::string bytes;
    stream->readAll(bytes);
    EXPECT_EQ("old", bytes);
}

TEST(MemoryFileSystem, ListsDirectChildrenInByteOrder) {
    MemoryFileSystem fs;
    for (const char* path :
         {"i18n/texts_fr.xml", "i18n/texts.xml", "i18n/texts_de.xml", "i18n/Texts_en.xml",
          "i18n/texts_de.json", "i18n/deeper/texts_x.xml", "i18n2/texts_y.xml", "i18n.xml",
          "top.xml", "i18n/texts_\xC3\xA9.xml"}) {
        fs.addFile(path, path);
    }
    EXPECT_EQ((std::vector<std::string>{"texts_de.xml=i18n/texts_de.xml",
                                        "texts_fr.xml=i18n/texts_fr.xml",
                                        "texts_\xC3\xA9.xml=i18n/texts_\xC3\xA9.xml"}),
              listed(fs, "i18n", "texts_*.xml"));
    EXPECT_EQ((std::vector<std::string>{
                  "Texts_en.xml=i18n/Texts_en.xml", "texts.xml=i18n/texts.xml",
                  "texts_de.json=i18n/texts_de.json", "texts_de.xml=i18n/texts_de.xml",
                  "texts_fr.xml=i18n/texts_fr.xml", "texts_\xC3\xA9.xml=i18n/texts_\xC3\xA9.xml"}),
              listed(fs, "./i18n/", "*"));
    EXPECT_EQ((std::vector<std::string>{"i18n.xml=i18n.xml", "top.xml=top.xml"}),
              listed(fs, "", "*.xml"));
    EXPECT_TRUE(listed(fs, "missing", "*").empty());
    EXPECT_TRUE(listed(fs, "i18n", "*.txt").empty());

    // Listed files stay readable after the list lets go of them.
    FileList list(true);
    fs.listFiles("i18n", "texts_fr.xml", list);
    ASSERT_EQ(1u, list.size());
    core::SmartPtr<File> kept(list[0]);
    list.clear();
    EXPECT_EQ("i18n/texts_fr.xml", contents(kept));
}

TEST_F(DiskFileSystemTest, OpensRelativeAndAbsolutePathsAndNamesThePathOnFailure) {
    DiskFileSystem fs(mRoot.c_str());
    EXPECT_EQ(mRoot, fs.getRoot());
    EXPECT_EQ("i18n/texts_de.xml", openAndRead(fs, "i18n/texts_de.xml"));
    EXPECT_EQ("top.xml", openAndRead(fs, (mRoot + "/top.xml").c_str()));
    core::SmartPtr<File> file(fs.openFile("i18n/texts.xml", 0));
    EXPECT_STREQ("texts.xml", file->getName());
    EXPECT_STREQ("i18n/texts.xml", file->getPath());
    DiskFileSystem trailing((mRoot + "/").c_str());
    EXPECT_EQ("top.xml", openAndRead(trailing, "top.xml"));

    EXPECT_TRUE(fs.exists("top.xml"));
    EXPECT_FALSE(fs.exists("i18n"));
    EXPECT_FALSE(fs.exists("nothing.xml"));
    EXPECT_EQ("Cannot open file i18n/missing.xml: No such file or directory",
              openFailure(fs, "i18n/missing.xml"));
    EXPECT_EQ("Cannot open file i18n: is a directory", openFailure(fs, "i18n"));
}

TEST_F(DiskFileSystemTest, ListsRegularFilesDirectlyInTheFolderInByteOrder) {
    DiskFileSystem fs(mRoot.c_str());
    EXPECT_EQ((std::vector<std::string>{"texts_de.xml=i18n/texts_de.xml",
                                        "texts_fr.xml=i18n/texts_fr.xml"}),
              listed(fs, "i18n", "texts_*.xml"));
    EXPECT_EQ((std::vector<std::string>{
                  "Texts_en.xml=i18n/Texts_en.xml", "texts.xml=i18n/texts.xml",
                  "texts_de.json=i18n/texts_de.json", "texts_de.xml=i18n/texts_de.xml",
                  "texts_fr.xml=i18n/texts_fr.xml"}),
              listed(fs, "i18n", "*"));
    EXPECT_EQ((std::vector<std::string>{"top.xml=top.xml"}), listed(fs, "", "*"));
    EXPECT_TRUE(listed(fs, "missing", "*").empty());

    FileList list(true);
    fs.listFiles("i18n", "texts_de.*", list);
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ("i18n/texts_de.json", contents(list[0]));
}
