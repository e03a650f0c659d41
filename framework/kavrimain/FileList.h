// FileList receives the files that FileSystem::listFiles finds. Built with
// true it holds a counted reference to each file and releases them when it
// is cleared or destroyed; built with false it holds plain pointers and the
// caller keeps the files alive.
//
//   kavri::vfs::FileList list(true);
//   fs.listFiles("i18n", "texts_*.xml", list);
//   for (unsigned i = 0; i < list.size(); ++i) list.get(i)->getName();
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_FILELIST_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_FILELIST_H

#include <vector>

#include "framework/kavrimain/File.h"

namespace kavri {
namespace vfs {

class FileList {
  public:
    explicit FileList(bool holdReferences);
    ~FileList();
    FileList(const FileList&) = delete;
    FileList& operator=(const FileList&) = delete;

    // Appends `file`. When memory runs out it throws std::bad_alloc with the
    // list unchanged; a holding list then disposes of a file with count 0.
    void add(File* file);
    unsigned size() const { return static_cast<unsigned>(mFiles.size()); }
    File* get(unsigned index) const { return mFiles[index]; }
    File* operator[](unsigned index) const { return mFiles[index]; }
    void clear();

  private:
    std::vector<File*> mFiles;
    bool mHoldReferences;
};

}  // namespace vfs
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_FILELIST_H
