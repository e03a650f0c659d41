// InputStream is the framework's source of bytes. Readers (the XML parser, the
// JSON reader) take everything at once with readAll; the stream's owner then
// calls close and deletes it.
//
//   kavri::stream::MemoryInputStream in("<a/>");
//   std::string bytes;
//   in.readAll(bytes);
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_INPUTSTREAM_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_INPUTSTREAM_H

#include <string>

namespace kavri {
namespace stream {

class InputStream {
  public:
    virtual ~InputStream() = default;

    // Reads up to `length` bytes into `buffer`; returns how many, 0 at the end.
    // Throws core::Exception when the source fails.
    virtual int read(char* buffer, unsigned length) = 0;
    // Appends everything up to the end of the stream to `out`. The default
    // reads in large blocks; streams that hold their bytes override it.
    virtual void readAll(std::string& out);
    virtual void close() = 0;
};

}  // namespace stream
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_INPUTSTREAM_H
