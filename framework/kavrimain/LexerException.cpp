#include "framework/kavrimain/LexerException.h"

#include <cstdarg>

namespace kavri {
namespace parser {

namespace {

// Causes are kept by value. A LexerException cause keeps its own class and
// cause chain; any other cause is kept as a plain core::Exception.
std::unique_ptr<::core::Exception> copyCause(const ::core::Exception* cause) {
    if (cause == nullptr) {
        return nullptr;
    }
    if (const auto* lexerCause = dynamic_cast<const LexerException*>(cause)) {
        return std::make_unique<LexerException>(*lexerCause);
    }
    return std::make_unique<::core::Exception>(*cause);
}

}  // namespace

LexerException::LexerException(const char* format, ...) : ::core::Exception(NoMessage{}) {
    va_list args;
    va_start(args, format);
    setMessage(vformat(format, args).c_str());
    va_end(args);
}

LexerException::LexerException(const char* format, const ::core::Exception* cause, ...)
    : ::core::Exception(NoMessage{}), mCause(copyCause(cause)) {
    va_list args;
    va_start(args, cause);
    setMessage(vformat(format, args).c_str());
    va_end(args);
}

LexerException::LexerException(NoFormat, const ::core::Exception* cause)
    : ::core::Exception(NoMessage{}), mCause(copyCause(cause)) {}

LexerException::LexerException(const LexerException& other)
    : ::core::Exception(other), mCause(copyCause(other.mCause.get())) {}

LexerException& LexerException::operator=(const LexerException& other) {
    if (this != &other) {
        ::core::Exception::operator=(other);
        mCause = copyCause(other.mCause.get());
    }
    return *this;
}

void LexerException::throwSame() const {
    LexerException copy(*this);
    copy._onClone(*this);
    throw copy;
}

void LexerException::_onClone(const LexerException&) {}

}  // namespace parser
}  // namespace kavri
