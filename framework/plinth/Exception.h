// Exception is the base of every error the library and its framework throw.
// Errors are thrown by value and caught as `const core::Exception&`; the message
// is formatted printf-style and owned by the exception.
//
//   throw core::Exception("Cannot open file %s", path);
//   catch (const core::Exception& e) { log(e.getMessage()); }
#ifndef KAVRIXML_FRAMEWORK_PLINTH_EXCEPTION_H
#define KAVRIXML_FRAMEWORK_PLINTH_EXCEPTION_H

#include <cstdarg>
#include <exception>
#include <string>

#include "framework/plinth/Type.h"

namespace core {

class Exception : public std::exception {
  public:
    static const Type TYPE;

    // Formats the message printf-style; the message is never cut.
    explicit Exception(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    Exception(const Exception& other) = default;
    Exception& operator=(const Exception& other) = default;
    ~Exception() override = default;

    virtual const Type& getType() const {
        return TYPE;
    }

    const char* what() const noexcept override {
        return mMessage.c_str();
    }
    const char* getMessage() const {
        return mMessage.c_str();
    }

    // printf into a std::string: measures once, writes once.
    static std::string vformat(const char* format, va_list args);

  protected:
    struct NoMessage {};
    explicit Exception(NoMessage) {}

    // Copies the text: callers free their buffer right after the call.
    void setMessage(const char* message) {
        mMessage = message != nullptr ? message : "";
    }

  private:
    std::string mMessage;
};

}  // namespace core

#endif  // KAVRIXML_FRAMEWORK_PLINTH_EXCEPTION_H
