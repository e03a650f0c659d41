#include "framework/kavrimain/FileOutputStream.h"

#include <cerrno>
#include <cstring>

#include "framework/plinth/Exception.h"

namespace kavri {
namespace stream {

namespace {

// Writers hand over many small pieces (a tag, an attribute); a large stdio
// buffer turns them into few system calls.
const size_t kBufferSize = 256 * 1024;

std::FILE* openForWriting(const std::string& path, int mode) {
    std::FILE* file = std::fopen(path.c_str(), (mode & OutputStream::APPEND) != 0 ? "ab" : "wb");
    if (file != nullptr) {
        std::setvbuf(file, nullptr, _IOFBF, kBufferSize);
    }
    return file;
}

}  // namespace

FileOutputStream::FileOutputStream(const char* path)
    : mPath(path != nullptr ? path : ""), mFile(nullptr), mOwnsFile(true) {
    mFile = openForWriting(mPath, WRITE);
    if (mFile == nullptr) {
        throw ::core::Exception("Cannot create file %s: %s", mPath.c_str(), std::strerror(errno));
    }
}

FileOutputStream::FileOutputStream(std::FILE* file, const char* name)
    : mPath(name), mFile(file), mOwnsFile(false) {}

FileOutputStream::~FileOutputStream() {
    close();
}

bool FileOutputStream::open(int mode) {
    if (mFile != nullptr) {
        return true;
    }
    if (!mOwnsFile) {
        // A standard stream that was closed cannot be opened again by name.
        return false;
    }
    mFile = openForWriting(mPath, mode);
    if (mFile == nullptr) {
        mGood = false;
        return false;
    }
    return true;
}

int FileOutputStream::write(const char* bytes, unsigned length) {
    if (mFile == nullptr || (bytes == nullptr && length > 0)) {
        mGood = false;
        return -1;
    }
    size_t written = std::fwrite(bytes, 1, length, mFile);
    if (written < length) {
        mGood = false;
        return -1;
    }
    return static_cast<int>(written);
}

int FileOutputStream::write(const unsigned char* bytes, unsigned length) {
    return write(reinterpret_cast<const char*>(bytes), length);
}

void FileOutputStream::flush() {
    if (mFile != nullptr && std::fflush(mFile) != 0) {
        mGood = false;
    }
}

void FileOutputStream::close() {
    if (mFile == nullptr) {
        return;
    }
    if (!mOwnsFile) {
        // Standard output belongs to the process: flush it, keep it open.
        flush();
        return;
    }
    if (std::fclose(mFile) != 0) {
        mGood = false;
    }
    mFile = nullptr;
}

StdOutputStream::StdOutputStream() : FileOutputStream(stdout, "<stdout>") {}

}  // namespace stream
}  // namespace kavri
