#include "framework/kavrimain/MemoryFileSystem.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/kavrimain/InputStream.h"
#include "framework/plinth/Exception.h"

namespace kavri {
namespace vfs {

namespace {

using Bytes = std::shared_ptr<const std::string>;

// Reads a file's bytes without copying them: the stream shares them with the
// file and the file system, so replacing or removing the file later does not
// change what an open stream reads.
class SharedBytesInputStream : public stream::InputStream {
  public:
    explicit SharedBytesInputStream(Bytes bytes) : mBytes(std::move(bytes)) {}

    int read(char* buffer, unsigned length) override {
        size_t count = std::min<size_t>(std::min<size_t>(length, 0x7FFFFFFF), remaining());
        if (count > 0) {
            std::memcpy(buffer, mBytes->data() + mPosition, count);
            mPosition += count;
        }
        return static_cast<int>(count);
    }

    void readAll(std::string& out) override {
        out.append(*mBytes, mPosition, std::string::npos);
        mPosition = mBytes->size();
    }

    void close() override {}

  private:
    size_t remaining() const { return mBytes->size() - mPosition; }

    Bytes mBytes;
    size_t mPosition = 0;
};

class MemoryFile : public File {
  public:
    MemoryFile(std::string path, Bytes bytes) : File(std::move(path)), mBytes(std::move(bytes)) {}

    stream::InputStream* openInputStream() override { return new SharedBytesInputStream(mBytes); }

  private:
    Bytes mBytes;
};

}  // namespace

std::string MemoryFileSystem::normalize(const char* path) {
    std::vector<std::string> parts;
    const char* p = path != nullptr ? path : "";
    while (*p != '\0') {
        const char* slash = std::strchr(p, '/');
        size_t length = slash != nullptr ? static_cast<size_t>(slash - p) : std::strlen(p);
        std::string part(p, length);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        p += length;
        if (*p == '/') {
            ++p;
        }
    }
    std::string result;
    for (const std::string& part : parts) {
        if (!result.empty()) {
            result.push_back('/');
        }
        result += part;
    }
    return result;
}

void MemoryFileSystem::addFile(const char* path, std::string bytes) {
    mFiles[normalize(path)] = std::make_shared<const std::string>(std::move(bytes));
}

bool MemoryFileSystem::removeFile(const char* path) {
    return mFiles.erase(normalize(path)) > 0;
}

File* MemoryFileSystem::openFile(const char* path, int) {
    auto found = mFiles.find(normalize(path));
    if (found == mFiles.end()) {
        throw ::core::Exception("Cannot open file %s: No such file or directory",
                                path != nullptr ? path : "");
    }
    return new MemoryFile(found->first, found->second);
}

void MemoryFileSystem::listFiles(const char* folder, const char* pattern, FileList& list) {
    std::string prefix = normalize(folder);
    if (!prefix.empty()) {
        prefix.push_back('/');
    }
    // The map is in byte order of the paths, and all paths of one folder share
    // the prefix, so the folder's files come in byte order of their names.
    for (auto it = mFiles.lower_bound(prefix);
         it != mFiles.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        const char* name = it->first.c_str() + prefix.size();
        if (std::strchr(name, '/') == nullptr && matches(name, pattern)) {
            list.add(new MemoryFile(it->first, it->second));
        }
    }
}

bool MemoryFileSystem::exists(const char* path) {
    return mFiles.count(normalize(path)) > 0;
}

}  // namespace vfs
}  // namespace kavri
