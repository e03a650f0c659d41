// MemoryFileSystem keeps whole files in memory: tests and fuzzers build bundle
// trees with it, and applications can ship texts inside the program.
//
//   kavri::vfs::MemoryFileSystem fs;
//   fs.addFile("i18n/texts.xml", "<LANGUAGE/>");
//
// A file opened before removeFile or a later addFile keeps the bytes it had.
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_MEMORYFILESYSTEM_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_MEMORYFILESYSTEM_H

#include <map>
#include <memory>
#include <string>

#include "framework/kavrimain/FileSystem.h"

namespace kavri {
namespace vfs {

class MemoryFileSystem : public FileSystem {
  public:
    MemoryFileSystem() = default;

    // Adds or replaces the file at `path`.
    void addFile(const char* path, std::string bytes);
    // False when there was no such file.
    bool removeFile(const char* path);

    File* openFile(const char* path, int mode) override;
    void listFiles(const char* folder, const char* pattern, FileList& list) override;
    bool exists(const char* path) override;

    // "./a//b" and "/a/b" name "a/b".
    static std::string normalize(const char* path);

  private:
    std::map<std::string, std::shared_ptr<const std::string>> mFiles;
};

}  // namespace vfs
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_MEMORYFILESYSTEM_H
