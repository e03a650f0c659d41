#include "framework/kavrimain/MemoryInputStream.h"

#include <algorithm>
#include <cstring>

namespace kavri {
namespace stream {

int MemoryInputStream::read(char* buffer, unsigned length) {
    size_t count = std::min<size_t>(length, remaining());
    // read() reports its count as an int; larger requests are served in parts.
    count = std::min<size_t>(count, 0x7FFFFFFF);
    if (count > 0) {
        std::memcpy(buffer, mBytes.data() + mPosition, count);
        mPosition += count;
    }
    return static_cast<int>(count);
}

void MemoryInputStream::readAll(std::string& out) {
    if (out.empty() && mPosition == 0) {
        // The common case: the whole stream into an empty string. Taking the
        // buffer over avoids copying what may be a large document.
        out.swap(mBytes);
        mBytes.clear();
        return;
    }
    out.append(mBytes, mPosition, std::string::npos);
    mPosition = mBytes.size();
}

}  // namespace stream
}  // namespace kavri
