#include "framework/kavrimain/FileSystem.h"

namespace kavri {
namespace vfs {

bool FileSystem::matches(const char* name, const char* pattern) {
    if (name == nullptr) {
        return false;
    }
    if (pattern == nullptr) {
        return true;
    }
    // Greedy scan that remembers only the last "*": on a mismatch the last star
    // takes one more character and matching resumes after it. Earlier stars
    // never need revisiting, so the cost stays within length(name) *
    // length(pattern) instead of growing exponentially with the stars.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == *name) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == '\0';
}

}  // namespace vfs
}  // namespace kavri
