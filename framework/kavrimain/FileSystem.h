// FileSystem is the framework's virtual file system: the localisation code
// reads bundle files through it, so that applications can serve them from
// disk, from memory or from an archive. Paths use "/" as separator.
//
//   kavri::vfs::DiskFileSystem fs("examples/i18n");
//   core::SmartPtr<kavri::vfs::File> file(fs.openFile("texts.xml", 0));
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_FILESYSTEM_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_FILESYSTEM_H

#include "framework/kavrimain/File.h"
#include "framework/kavrimain/FileList.h"

namespace kavri {
namespace vfs {

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // The file at `path` (count 0: the caller takes the first reference).
    // Throws core::Exception, with the path in the message, when it is missing.
    // The mode is reserved; 0 opens for reading.
    virtual File* openFile(const char* path, int mode) = 0;

    // Adds to `list` the files directly in `folder` ("" is the top) whose names
    // match `pattern`, where "*" matches any run of characters and every other
    // character itself; in byte order of the names.
    virtual void listFiles(const char* folder, const char* pattern, FileList& list) = 0;

    virtual bool exists(const char* path) = 0;

    // The pattern match of listFiles.
    static bool matches(const char* name, const char* pattern);
};

}  // namespace vfs
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_FILESYSTEM_H
