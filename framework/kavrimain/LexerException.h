// LexerException is the base of the errors that lexers and parsers throw: a
// core::Exception with an optional cause, which it copies.
//
//   throw kavri::parser::LexerException("Unexpected end of input");
//   throw kavri::parser::LexerException("Bad include: %s", &cause, name);
#ifndef KAVRIXML_FRAMEWORK_KAVRIMAIN_LEXEREXCEPTION_H
#define KAVRIXML_FRAMEWORK_KAVRIMAIN_LEXEREXCEPTION_H

#include <memory>

#include "framework/plinth/Exception.h"

namespace kavri {
namespace parser {

class LexerException : public ::core::Exception {
  public:
    explicit LexerException(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    LexerException(const char* format, const ::core::Exception* cause, ...);
    LexerException(const LexerException& other);
    LexerException& operator=(const LexerException& other);
    ~LexerException() override = default;

    // The exception that caused this one, or null.
    const ::core::Exception* getCause() const {
        return mCause.get();
    }

    // Rethrows a copy of this exception as its own class.
    virtual void throwSame() const;

  protected:
    struct NoFormat {};
    // For subclasses that format their message themselves (setMessage).
    LexerException(NoFormat, const ::core::Exception* cause);
    // Called on the copy after copy construction; subclasses holding more
    // state fix it up here.
    virtual void _onClone(const LexerException& source);

  private:
    std::unique_ptr<::core::Exception> mCause;
};

}  // namespace parser
}  // namespace kavri

#endif  // KAVRIXML_FRAMEWORK_KAVRIMAIN_LEXEREXCEPTION_H
