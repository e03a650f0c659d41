// FileInputStream reads a file of the disk. The constructor opens it and
// throws core::Exception, with the path in the message, when the file cannot
// be opened or is a directory. StdInputStream reads standard input ("-" in the
// tool).
//
//   kavri::stream::FileInputStream in("examples/sample.xml");
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_FILEINPUTSTREAM_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_FILEINPUTSTREAM_H

#include <cstdio>
#include <string>

#include "framework/kavrimain/InputStream.h"

namespace kavri {
namespace stream {

class FileInputStream : public InputStream {
  public:
    explicit FileInputStream(const char* path);
    ~FileInputStream() override;
    FileInputStream(const FileInputStream&) = delete;
    FileInputStream& operator=(const FileInputStream&) = delete;

    int read(char* buffer, unsigned length) override;
    void readAll(std::string& out) override;
    void close() override;

    const std::string& getPath() const { return mPath; }

  protected:
    // For StdInputStream: reads an already open stream it does not own.
    FileInputStream(std::FILE* file, const char* name);

  private:
    std::string mPath;
    std::FILE* mFile;
    bool mOwnsFile;
};

class StdInputStream : public FileInputStream {
  public:
    StdInputStream();
};

}  // namespace stream
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_FILEINPUTSTREAM_H
