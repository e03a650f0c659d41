// MemoryOutputStream collects what is written in a string. It starts closed;
// writes are kept whether it is open or not.
//
//   kavri::stream::MemoryOutputStream out;
//   writer.write(doc, &out);
//   out.str();
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_MEMORYOUTPUTSTREAM_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_MEMORYOUTPUTSTREAM_H

#include <string>

#include "framework/kavrimain/OutputStream.h"

namespace kavri {
namespace stream {

class MemoryOutputStream : public OutputStream {
  public:
    MemoryOutputStream() = default;

    bool isOpen() override { return mOpen; }
    bool open(int mode) override;
    int write(const char* bytes, unsigned length) override;
    int write(const unsigned char* bytes, unsigned length) override;
    void flush() override {}
    void close() override { mOpen = false; }

    const std::string& str() const { return mBytes; }
    void clear() { mBytes.clear(); }
    void reserve(size_t bytes) { mBytes.reserve(bytes); }

  private:
    std::string mBytes;
    bool mOpen = false;
};

}  // namespace stream
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_MEMORYOUTPUTSTREAM_H
