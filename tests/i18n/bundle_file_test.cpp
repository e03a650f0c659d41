// BundleFile: the naming rule of localized files in both directions, the
// reasons a file gives no texts, and written files that read back as the
// same texts in the same order.
#include <gtest/gtest.h>

#include <string>

#include "core/SmartPtr.h"
#include "failing_file_system.h"
#include "framework/kavrimain/JSObject.h"
#include "framework/kavrimain/MemoryFileSystem.h"
#include "framework/plinth/Exception.h"
#include "i18n/BundleFile.h"

using kavri::i18n::BundleFile;
using kavri::vfs::MemoryFileSystem;

namespace {

// The message of what reading `path` throws, or "" when it reads.
std::string readFailure(MemoryFileSystem& files, const char* path) {
    try {
        BundleFile::readEntries(&files, path);
        return "";
    } catch (const core::Exception& e) {
        return e.getMessage();
    }
}

// Texts that each format must carry through unchanged.
const BundleFile::Entries kHardTexts = {
    {"zeta", "written first, sorted last"},
    {"markup", "<b>bold</b> & \"quoted\" 'single' > less"},
    {"lines", "first line\nsecond\tline\r\nthird\n"},
    {"cdata_end", "a ]]> inside, and ]] and ]]]>"},
    {"percent", "50%% of %1$s, %2$d left"},
    {"reference", "${app_name} says ${greeting}"},
    {"empty", ""},
    {"k\"e&y <\t\n>", "a key that needs escaping"},
    {"utf8", "Fotos „importiert“ – 写真"},
};

TEST(BundleFile, NamesLocalizedFilesAndReadsTheLanguageBack) {
    EXPECT_EQ(BundleFile::localizedPath("i18n/texts.xml", "de"), "i18n/texts_de.xml");
    EXPECT_EQ(BundleFile::localizedPath("i18n/TEXTS.JSON", "pt_BR"), "i18n/TEXTS_pt_BR.JSON");
    EXPECT_EQ(BundleFile::localizedPath("texts.xml", ""), "");
    EXPECT_EQ(BundleFile::localizedPattern("texts.xml"), "texts_*.xml");
    EXPECT_EQ(BundleFile::localizedPattern("texts"), "texts_*");

    EXPECT_EQ(BundleFile::languageCode("texts_de.xml"), "de");
    EXPECT_EQ(BundleFile::languageCode("texts_de_old.xml"), "old");
    EXPECT_EQ(BundleFile::languageCode("texts_.xml"), "");
    EXPECT_EQ(BundleFile::languageCode("texts.xml"), "");
    for (const char* code : {"de", "en", "fr"}) {
        std::string file = BundleFile::localizedPath("texts.json", code);
        EXPECT_EQ(BundleFile::languageCode(file.c_str()), code);
    }

    EXPECT_EQ(BundleFile::formatOf("a/b.XmL"), BundleFile::XML);
    EXPECT_EQ(BundleFile::formatOf("b.Json"), BundleFile::JSON);
    EXPECT_EQ(BundleFile::formatOf("b.txt"), BundleFile::UNKNOWN);
    EXPECT_EQ(BundleFile::formatOf("b"), BundleFile::UNKNOWN);
}

TEST(BundleFile, SaysWhyAFileGivesNoTexts) {
    MemoryFileSystem files;
    files.addFile("broken.xml", "<LANGUAGE>\n  <TEXT key=\"a\">\n</LANGUAGE>\n");
    files.addFile("other.xml", "<language><TEXT key=\"a\"><![CDATA[x]]></TEXT></language>");
    files.addFile("array.json", "[\"a\"]");
    files.addFile("bad.json", "{\"a\": }");

    EXPECT_EQ(readFailure(files, "broken.xml"), "line 3, column 3: Unclosed node TEXT");
    EXPECT_EQ(readFailure(files, "other.xml"), "the root element is <language>, not <LANGUAGE>");
    EXPECT_EQ(readFailure(files, "array.json"), "the top level is not a JSON object");
    EXPECT_NE(readFailure(files, "bad.json"), "");
    EXPECT_EQ(readFailure(files, "missing.xml"),
              "Cannot open file missing.xml: No such file or directory");

    // The loader's form: a foreign root is no failure, only no texts.
    std::string ignored;
    EXPECT_EQ(BundleFile::read(&files, "other.xml", &ignored), nullptr);
    EXPECT_EQ(ignored, "the root element is <language>, not <LANGUAGE>");
}

TEST(BundleFile, WritesTheFormatsByteForByte) {
    BundleFile::Entries texts = {{"b", "x]]>y"}, {"a", "<&>\n"}, {"q\"", ""}};
    EXPECT_EQ(BundleFile::write(texts, BundleFile::XML),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<LANGUAGE>\n"
              "  <TEXT key=\"b\"><![CDATA[x]]]]><![CDATA[>y]]></TEXT>\n"
              "  <TEXT key=\"a\"><![CDATA[<&>\n]]></TEXT>\n"
              "  <TEXT key=\"q&quot;\"><![CDATA[]]></TEXT>\n"
              "</LANGUAGE>\n");
    EXPECT_EQ(BundleFile::write(texts, BundleFile::JSON),
              "{\n  \"b\": \"x]]>y\",\n  \"a\": \"<&>\\n\",\n  \"q\\\"\": \"\"\n}\n");
    EXPECT_EQ(BundleFile::write({}, BundleFile::JSON), "{}\n");
    EXPECT_THROW(BundleFile::write(texts, BundleFile::UNKNOWN), core::Exception);
    EXPECT_THROW(BundleFile::write({{"a", "\xff"}}, BundleFile::JSON), core::Exception);
}

TEST(BundleFile, WrittenFilesReadBackAsTheSameTextsInTheSameOrder) {
    BundleFile::Entries messages = kHardTexts;
    messages.insert(messages.begin(), {BundleFile::FORMAT_KEY, BundleFile::MESSAGE_FORMAT});
    for (const BundleFile::Entries& texts : {kHardTexts, messages}) {
        for (const char* path : {"texts_de.xml", "texts_de.json"}) {
            MemoryFileSystem files;
            std::string bytes = BundleFile::write(texts, BundleFile::formatOf(path));
            files.addFile(path, bytes);
            BundleFile::Entries read = BundleFile::readEntries(&files, path);
            EXPECT_EQ(read, texts) << path;
            // Writing what was read changes nothing: a second round is stable.
            EXPECT_EQ(BundleFile::write(read, BundleFile::formatOf(path)), bytes) << path;
        }
    }
    // The marker of a file of messages is the root's attribute in XML.
    EXPECT_EQ(
        BundleFile::write(messages, BundleFile::XML).find("<LANGUAGE format=\"messageformat\">\n"),
        39u);
    BundleFile::Entries marked = messages;
    EXPECT_TRUE(BundleFile::takeFormatMarker(marked, true));
    EXPECT_EQ(marked, kHardTexts);
    EXPECT_FALSE(BundleFile::takeFormatMarker(marked, false));
    EXPECT_FALSE(BundleFile::isFormatMarker(BundleFile::FORMAT_KEY, "printf"));
}

// The import rewrites a localized file from what it read: a fault anywhere
// in the reading must throw, never hand over a part of the texts.
TEST(BundleFile, AFaultWhileReadingThrowsAndNeverGivesAPartOfTheTexts) {
    for (const char* path : {"texts_de.xml", "texts_de.json"}) {
        FailingFileSystem files;
        files.addFile(path, BundleFile::write(kHardTexts, BundleFile::formatOf(path)));
        for (FailingFileSystem::Mode mode :
             {FailingFileSystem::THROW, FailingFileSystem::NOTHING}) {
            for (int n = 1;; ++n) {
                files.failAt(n, mode);
                BundleFile::Entries read;
                bool threw = false;
                try {
                    read = BundleFile::readEntries(&files, path);
                } catch (const core::Exception&) {
                    threw = true;
                }
                if (files.failedPath().empty()) {
                    EXPECT_EQ(read, kHardTexts);
                    break;
                }
                EXPECT_TRUE(threw || (files.faultLostNothing() && read == kHardTexts))
                    << path << " operation " << n << " " << files.failedOperation();
            }
        }
    }
}

}  // namespace
