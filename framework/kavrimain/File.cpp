#include "framework/kavrimain/File.h"

namespace kavri {
namespace vfs {

File::File(std::string path) : mPath(std::move(path)) {
    size_t slash = mPath.rfind('/');
    mNameOffset = slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace vfs
}  // namespace kavri
