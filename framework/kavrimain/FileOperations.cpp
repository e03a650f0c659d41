#include "framework/kavrimain/FileOperations.h"

#include <cstring>

namespace kavri {
namespace platform {

namespace {

// The name part starts after the last "/".
const char* namePart(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

}  // namespace

const char* FileOperations::getExtension(const char* path) {
    if (path == nullptr) {
        return nullptr;
    }
    return std::strrchr(namePart(path), '.');
}

std::string FileOperations::getFile(const char* path) {
    return path != nullptr ? std::string(namePart(path)) : std::string();
}

std::string FileOperations::getFolder(const char* path) {
    if (path == nullptr) {
        return std::string();
    }
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? std::string(path, static_cast<size_t>(slash - path)) : std::string();
}

}  // namespace platform
}  // namespace kavri
