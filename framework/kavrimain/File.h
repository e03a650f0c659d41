// File is a counted handle on one file of a virtual file system. Opening a
// file does not read it; openInputStream hands the caller a stream it owns.
//
//   core::SmartPtr<kavri::vfs::File> file(fs.openFile("texts.xml", 0));
//   std::unique_ptr<kavri::stream::InputStream> in(file->openInputStream());
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_FILE_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_FILE_H

#include <string>

#include "framework/plinth/IRefCount.h"

namespace kavri {
namespace stream {
class InputStream;
}

namespace vfs {

class File : public ::core::IRefCount {
  public:
    explicit File(std::string path);
    ~File() override = default;

    // The name part of the path ("texts_de.xml").
    const char* getName() const { return mPath.c_str() + mNameOffset; }
    // The path as the file system knows it ("i18n/texts_de.xml").
    const char* getPath() const { return mPath.c_str(); }

    // A new stream over the file's bytes, owned by the caller. Throws
    // core::Exception when the file cannot be read.
    virtual stream::InputStream* openInputStream() = 0;

  private:
    std::string mPath;
    size_t mNameOffset;
};

}  // namespace vfs
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_FILE_H
