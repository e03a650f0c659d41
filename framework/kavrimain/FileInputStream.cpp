#include "framework/kavrimain/FileInputStream.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "framework/plinth/Exception.h"
#include "framework/plinth/internal/HugePages.h"

namespace kavri {
namespace stream {

namespace {

// fopen happily opens a directory for reading on POSIX systems; the failure
// would only show at the first read, with a less helpful message.
void rejectDirectory(std::FILE* file, const std::string& path) {
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        throw ::core::Exception("Cannot read %s: is a directory", path.c_str());
    }
}

// Bytes left in a regular file, or 0 when unknown (pipes, terminals).
size_t remainingSize(std::FILE* file) {
    struct stat info;
    if (file == nullptr) {
        return 0;
    }
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        return 0;
    }
    long position = std::ftell(file);
    if (position < 0 || position > info.st_size) {
        return 0;
    }
    return static_cast<size_t>(info.st_size - position);
}

// One fread, with errors turned into exceptions that name the file.
size_t readChunk(std::FILE* file, const std::string& path, char* buffer, size_t length) {
    if (file == nullptr) {
        throw ::core::Exception("Cannot read %s: the stream is closed", path.c_str());
    }
    size_t got = std::fread(buffer, 1, length, file);
    if (got < length && std::ferror(file)) {
        int error = errno;
        std::clearerr(file);
        throw ::core::Exception("Cannot read %s: %s", path.c_str(), std::strerror(error));
    }
    return got;
}

}  // namespace

FileInputStream::FileInputStream(const char* path)
    : mPath(path != nullptr ? path : ""), mFile(nullptr), mOwnsFile(true) {
    mFile = std::fopen(mPath.c_str(), "rb");
    if (mFile == nullptr) {
        throw ::core::Exception("Cannot open file %s: %s", mPath.c_str(), std::strerror(errno));
    }
    rejectDirectory(mFile, mPath);
}

FileInputStream::FileInputStream(std::FILE* file, const char* name)
    : mPath(name), mFile(file), mOwnsFile(false) {}

FileInputStream::~FileInputStream() {
    close();
}

int FileInputStream::read(char* buffer, unsigned length) {
    // The count is reported as an int; larger requests are served in parts.
    return static_cast<int>(
        readChunk(mFile, mPath, buffer, length < 0x7FFFFFFFu ? length : 0x7FFFFFFFu));
}

void FileInputStream::readAll(std::string& out) {
    // A regular file is read with one allocation, in blocks that stay in
    // the cache on their way: a string made to size would be filled with
    // zeros first, a second pass over memory the file then overwrites.
    // The loop also picks up what a growing file or a pipe has to give.
    const size_t expected = remainingSize(mFile);
    if (expected > 0) {
        out.reserve(out.size() + expected);
        ::core::internal::HugePages::ask(&out[0] + out.size(), expected);
    }
    char block[64 * 1024];
    for (size_t got; (got = readChunk(mFile, mPath, block, sizeof block)) > 0;) {
        out.append(block, got);
    }
}

void FileInputStream::close() {
    if (mFile != nullptr && mOwnsFile) {
        std::fclose(mFile);
    }
    mFile = nullptr;
}

StdInputStream::StdInputStream() : FileInputStream(stdin, "<stdin>") {}

}  // namespace stream
}  // namespace kavri
