// DiskFileSystem serves the files below one folder of the disk. Relative
// paths are taken from that folder; absolute paths are used as they are.
//
//   kavri::vfs::DiskFileSystem fs(".");
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_DISKFILESYSTEM_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_DISKFILESYSTEM_H

#include <string>

#include "framework/kavrimain/FileSystem.h"

namespace kavri {
namespace vfs {

class DiskFileSystem : public FileSystem {
  public:
    explicit DiskFileSystem(const char* rootFolder);

    File* openFile(const char* path, int mode) override;
    void listFiles(const char* folder, const char* pattern, FileList& list) override;
    bool exists(const char* path) override;

    const std::string& getRoot() const { return mRoot; }

  private:
    std::string resolve(const char* path) const;

    std::string mRoot;
};

}  // namespace vfs
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_DISKFILESYSTEM_H
