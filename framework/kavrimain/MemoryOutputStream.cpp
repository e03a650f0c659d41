#include "framework/kavrimain/MemoryOutputStream.h"

namespace kavri {
namespace stream {

bool MemoryOutputStream::open(int) {
    // Opening never discards what was collected: clear() does that.
    mOpen = true;
    return true;
}

int MemoryOutputStream::write(const char* bytes, unsigned length) {
    if (bytes == nullptr) {
        return length == 0 ? 0 : -1;
    }
    mBytes.append(bytes, length);
    return static_cast<int>(length);
}

int MemoryOutputStream::write(const unsigned char* bytes, unsigned length) {
    return write(reinterpret_cast<const char*>(bytes), length);
}

}  // namespace stream
}  // namespace kavri
