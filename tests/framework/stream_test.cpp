#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "framework/kavrimain/FileInputStream.h"
#include "framework/kavrimain/FileOutputStream.h"
#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"

using kavri::stream::FileInputStream;
using kavri::stream::FileOutputStream;
using kavri::stream::InputStream;
using kavri::stream::MemoryInputStream;
using kavri::stream::MemoryOutputStream;
using kavri::stream::OutputStream;

namespace {

std::string tmpPath(const char* name) {
    return std::string(KAVRIXML_TEST_TMP) + "/" + name;
}

// How many files the process holds open (Linux lists them in /proc), or -1.
int openDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return -1;
    }
    int count = 0;
    while (readdir(dir) != nullptr) {
        ++count;
    }
    closedir(dir);
    return count;
}

// Bytes 0..255 repeated: NULs, high bytes and line ends included.
std::string binaryBytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 % 256);
    }
    return bytes;
}

std::string messageOf(const char* path) {
    try {
        FileInputStream in(path);
    } catch (const core::Exception& e) {
        return e.getMessage();
    }
    return "no exception";
}

// Serves its bytes in small, uneven pieces, as a socket would: only read() is
// its own, so readAll is the base class's.
class TrickleStream : public InputStream {
  public:
    explicit TrickleStream(std::string bytes) : mBytes(std::move(bytes)) {}
    int read(char* buffer, unsigned length) override {
        size_t count = std::min<size_t>({length, mBytes.size() - mPosition, 1 + mPosition % 5000});
        mBytes.copy(buffer, count, mPosition);
        mPosition += count;
        return static_cast<int>(count);
    }
    void close() override {}

  private:
    std::string mBytes;
    size_t mPosition = 0;
};

}  // namespace

TEST(MemoryInputStream, ReadsInPiecesThenAllTheRest) {
    MemoryInputStream in(std::string("abc\0defgh", 9));
    char buffer[4];
    ASSERT_EQ(4, in.read(buffer, 4));
    EXPECT_EQ(std::string("abc\0", 4), std::string(buffer, 4));
    EXPECT_EQ(5u, in.remaining());

    std::string rest = "kept:";
    in.readAll(rest);
    EXPECT_EQ("kept:defgh", rest);
    EXPECT_EQ(0u, in.remaining());
    EXPECT_EQ(0, in.read(buffer, 4));
    in.readAll(rest);
    EXPECT_EQ("kept:defgh", rest);

    MemoryInputStream fresh("xyz");
    std::string kept = "kept:";
    fresh.readAll(kept);
    EXPECT_EQ("kept:xyz", kept);

    MemoryInputStream whole(binaryBytes(100000));
    std::string all;
    whole.readAll(all);
    EXPECT_EQ(binaryBytes(100000), all);
    EXPECT_EQ(0, whole.read(buffer, 4));
}

TEST(InputStream, DefaultReadAllCollectsEveryPiece) {
    TrickleStream in(binaryBytes(300000));
    std::string all = "x";
    in.readAll(all);
    EXPECT_EQ("x" + binaryBytes(300000), all);
}

TEST(MemoryOutputStream, CollectsWritesAndOpeningKeepsThem) {
    MemoryOutputStream out;
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(3, out.write("<a>", 3));
    EXPECT_TRUE(out.open(OutputStream::WRITE));
    EXPECT_TRUE(out.isOpen());
    const unsigned char bytes[] = {0, 0xFF, '/'};
    EXPECT_EQ(3, out.write(bytes, 3));
    // No bytes to take from: nothing written, a failure only when some were due.
    EXPECT_EQ(0, out.write(static_cast<const char*>(nullptr), 0));
    EXPECT_EQ(-1, out.write(static_cast<const char*>(nullptr), 2));
    out.flush();
    out.close();
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(std::string("<a>\0\xFF/", 6), out.str());
    out.clear();
    EXPECT_EQ("", out.str());
}

TEST(FileStreams, RoundTripBinaryBytesThroughTheDisk) {
    const std::string path = tmpPath("stream_roundtrip.bin");
    const std::string bytes = binaryBytes(700001);  // more than one stdio buffer
    {
        FileOutputStream out(path.c_str());
        EXPECT_TRUE(out.isOpen());
        EXPECT_EQ(1000, out.write(bytes.data(), 1000));
        EXPECT_EQ(static_cast<int>(bytes.size() - 1000),
                  out.write(reinterpret_cast<const unsigned char*>(bytes.data()) + 1000,
                            static_cast<unsigned>(bytes.size() - 1000)));
        out.flush();
        EXPECT_TRUE(out.good());
    }
    const int descriptors = openDescriptors();
    FileInputStream in(path.c_str());
    EXPECT_EQ(path, in.getPath());
    char head[10];
    ASSERT_EQ(10, in.read(head, 10));
    std::string all(head, 10);
    in.readAll(all);
    EXPECT_EQ(bytes, all);
    EXPECT_EQ(0, in.read(head, 10));
    in.close();
    EXPECT_EQ(openDescriptors(), descriptors);  // the file is closed, not only forgotten
    EXPECT_THROW(in.read(head, 10), core::Exception);
    std::remove(path.c_str());
}

TEST(FileStreams, ReopenTruncatesOrAppends) {
    const std::string path = tmpPath("stream_reopen.txt");
    FileOutputStream out(path.c_str());
    out.write("first", 5);
    out.close();
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(-1, out.write("lost", 4));
    EXPECT_FALSE(out.good());

    ASSERT_TRUE(out.open(OutputStream::APPEND));
    out.write("+more", 5);
    out.close();
    std::string text;
    FileInputStream(path.c_str()).readAll(text);
    EXPECT_EQ("first+more", text);

    ASSERT_TRUE(out.open(OutputStream::WRITE));
    out.write("new", 3);
    out.close();
    text.clear();
    FileInputStream(path.c_str()).readAll(text);
    EXPECT_EQ("new", text);
    std::remove(path.c_str());

    // An empty file reads as nothing, not as an error.
    { FileOutputStream empty(path.c_str()); }
    text = "unchanged";
    FileInputStream(path.c_str()).readAll(text);
    EXPECT_EQ("unchanged", text);
    std::remove(path.c_str());
}

TEST(FileStreams, FailuresNameThePathAndTheReason) {
    const std::string missing = tmpPath("no_such_file.xml");
    EXPECT_EQ("Cannot open file " + missing + ": No such file or directory",
              messageOf(missing.c_str()));
    EXPECT_EQ(std::string("Cannot read ") + KAVRIXML_TEST_TMP + ": is a directory",
              messageOf(KAVRIXML_TEST_TMP));

    const std::string inMissingFolder = tmpPath("no_such_folder/out.xml");
    try {
        FileOutputStream out(inMissingFolder.c_str());
        FAIL() << "created " << inMissingFolder;
    } catch (const core::Exception& e) {
        EXPECT_EQ("Cannot create file " + inMissingFolder + ": No such file or directory",
                  std::string(e.getMessage()));
    }
    EXPECT_THROW(FileOutputStream out(KAVRIXML_TEST_TMP), core::Exception);
}

TEST(FileStreams, FullDeviceIsReportedThroughGood) {
    struct stat info;
    if (stat("/dev/full", &info) != 0) {
        GTEST_SKIP() << "no /dev/full";
    }
    FileOutputStream out("/dev/full");
    std::string block(1 << 20, 'x');
    out.write(block.data(), static_cast<unsigned>(block.size()));
    out.flush();
    EXPECT_FALSE(out.good());
}
