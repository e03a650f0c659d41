#include "framework/kavrimain/DiskFileSystem.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/kavrimain/FileInputStream.h"
#include "framework/plinth/Exception.h"

namespace kavri {
namespace vfs {

namespace {

// A file of the disk: knows its path for the file system's users and the
// resolved path for reading.
class DiskFile : public File {
  public:
    DiskFile(std::string path, std::string diskPath)
        : File(std::move(path)), mDiskPath(std::move(diskPath)) {}

    stream::InputStream* openInputStream() override {
        return new stream::FileInputStream(mDiskPath.c_str());
    }

  private:
    std::string mDiskPath;
};

std::string joinPath(const std::string& folder, const char* name) {
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

bool isRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// readdir's type hint saves a stat per entry; links and file systems that
// do not fill it in need the stat (a link to a regular file counts as one).
bool isRegularEntry(const dirent* entry, const std::string& folder) {
#ifdef _DIRENT_HAVE_D_TYPE
    if (entry->d_type == DT_REG) {
        return true;
    }
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) {
        return false;
    }
#endif
    return isRegularFile(joinPath(folder, entry->d_name));
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

DiskFileSystem::DiskFileSystem(const char* rootFolder)
    : mRoot(rootFolder != nullptr ? rootFolder : "") {}

std::string DiskFileSystem::resolve(const char* path) const {
    if (path == nullptr || *path == '\0') {
        return mRoot.empty() ? std::string(".") : mRoot;
    }
    if (*path == '/') {
        return path;
    }
    return joinPath(mRoot, path);
}

File* DiskFileSystem::openFile(const char* path, int) {
    const char* shown = path != nullptr ? path : "";
    std::string diskPath = resolve(path);
    struct stat info;
    if (stat(diskPath.c_str(), &info) != 0) {
        throw ::core::Exception("Cannot open file %s: %s", shown, std::strerror(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        throw ::core::Exception("Cannot open file %s: is a directory", shown);
    }
    return new DiskFile(shown, std::move(diskPath));
}

void DiskFileSystem::listFiles(const char* folder, const char* pattern, FileList& list) {
    std::string diskFolder = resolve(folder);
    std::unique_ptr<DIR, DirCloser> dir(opendir(diskFolder.c_str()));
    if (!dir) {
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        if (matches(entry->d_name, pattern) && isRegularEntry(entry, diskFolder)) {
            names.emplace_back(entry->d_name);
        }
    }
    // std::string compares as unsigned bytes: the order of the names' bytes.
    std::sort(names.begin(), names.end());
    std::string shownFolder = folder != nullptr ? folder : "";
    for (const std::string& name : names) {
        list.add(
            new DiskFile(joinPath(shownFolder, name.c_str()), joinPath(diskFolder, name.c_str())));
    }
}

bool DiskFileSystem::exists(const char* path) {
    return isRegularFile(resolve(path));
}

}  // namespace vfs
}  // namespace kavri
