#include "framework/kavrimain/InputStream.h"

namespace kavri {
namespace stream {

void InputStream::readAll(std::string& out) {
    // Large blocks keep the number of virtual calls small; read() appends
    // straight into the string's storage, so nothing is copied twice.
    const size_t kBlock = 64 * 1024;
    for (;;) {
        size_t used = out.size();
        out.resize(used + kBlock);
        int got = read(&out[used], static_cast<unsigned>(kBlock));
        if (got <= 0) {
            out.resize(used);
            return;
        }
        out.resize(used + static_cast<size_t>(got));
    }
}

}  // namespace stream
}  // namespace kavri
