#include "xml/XMLException.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kavri {
namespace xml {

namespace {

// The message gets strlen(format) + 1024 bytes; vsnprintf cuts a longer one
// there rather than writing past the buffer.
std::unique_ptr<char[]> formatMessage(const char* format, va_list args) {
    if (format == nullptr) {
        format = "";
    }
    size_t size = std::strlen(format) + 1024;
    std::unique_ptr<char[]> buffer(new char[size]);
    if (std::vsnprintf(buffer.get(), size, format, args) < 0) {
        buffer[0] = '\0';
    }
    return buffer;
}

}  // namespace

XMLException::XMLException(const char* format, ...) : LexerException(NoFormat(), nullptr) {
    va_list args;
    va_start(args, format);
    std::unique_ptr<char[]> message = formatMessage(format, args);
    va_end(args);
    setMessage(message.get());
}

XMLException::XMLException(const char* format, const ::core::Exception* cause, ...)
    : LexerException(NoFormat(), cause) {
    va_list args;
    va_start(args, cause);
    std::unique_ptr<char[]> message = formatMessage(format, args);
    va_end(args);
    setMessage(message.get());
}

XMLException::~XMLException() = default;

}  // namespace xml
}  // namespace kavri
