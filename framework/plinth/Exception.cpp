#include "framework/plinth/Exception.h"

#include <cstdio>
#include <vector>

namespace core {

const Type Exception::TYPE("Exception");

Exception::Exception(const char* format, ...) {
    va_list args;
    va_start(args, format);
    mMessage = vformat(format, args);
    va_end(args);
}

std::string Exception::vformat(const char* format, va_list args) {
    if (format == nullptr) {
        return std::string();
    }
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) {
        return std::string();
    }
    std::string result(static_cast<size_t>(length), '\0');
    va_list write;
    va_copy(write, args);
    std::vsnprintf(&result[0], result.size() + 1, format, write);
    va_end(write);
    return result;
}

}  // namespace core
