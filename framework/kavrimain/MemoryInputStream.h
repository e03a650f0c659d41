// MemoryInputStream reads from a string it owns.
//
//   kavri::stream::MemoryInputStream in(std::string("<a/>"));
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_MEMORYINPUTSTREAM_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_MEMORYINPUTSTREAM_H

#include <string>

#include "framework/kavrimain/InputStream.h"

namespace kavri {
namespace stream {

class MemoryInputStream : public InputStream {
  public:
    explicit MemoryInputStream(std::string bytes) : mBytes(std::move(bytes)) {}

    int read(char* buffer, unsigned length) override;
    void readAll(std::string& out) override;
    void close() override {}

    // Bytes not yet read.
    size_t remaining() const { return mBytes.size() - mPosition; }

  private:
    std::string mBytes;
    size_t mPosition = 0;
};

}  // namespace stream
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_MEMORYINPUTSTREAM_H
