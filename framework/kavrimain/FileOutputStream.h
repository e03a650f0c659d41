// FileOutputStream writes a file of the disk; the constructor creates or
// truncates it and throws core::Exception, with the path in the message, when
// it cannot. StdOutputStream writes standard output and never closes it.
//
//   kavri::stream::FileOutputStream out("out.xml");
//   writer.write(doc, &out);
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_FILEOUTPUTSTREAM_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_FILEOUTPUTSTREAM_H

#include <cstdio>
#include <string>

#include "framework/kavrimain/OutputStream.h"

namespace kavri {
namespace stream {

class FileOutputStream : public OutputStream {
  public:
    explicit FileOutputStream(const char* path);
    ~FileOutputStream() override;
    FileOutputStream(const FileOutputStream&) = delete;
    FileOutputStream& operator=(const FileOutputStream&) = delete;

    bool isOpen() override { return mFile != nullptr; }
    // Reopens a closed file: WRITE truncates, APPEND adds at the end.
    bool open(int mode) override;
    int write(const char* bytes, unsigned length) override;
    int write(const unsigned char* bytes, unsigned length) override;
    void flush() override;
    void close() override;

    // True when every write so far reached the file (write and flush results).
    bool good() const { return mGood; }

  protected:
    FileOutputStream(std::FILE* file, const char* name);

  private:
    std::string mPath;
    std::FILE* mFile;
    bool mOwnsFile;
    bool mGood = true;
};

class StdOutputStream : public FileOutputStream {
  public:
    StdOutputStream();
};

}  // namespace stream
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_FILEOUTPUTSTREAM_H
