// XMLException is what the reader throws for every fault of the XML itself,
// and what Document::importNode throws for an attached node. Catch it as
// core::Exception.
//
//   throw XMLException("Unclosed node %s", name);
#ifndef KAVRIXML_XML_XMLEXCEPTION_H
#define KAVRIXML_XML_XMLEXCEPTION_H

#include "framework/kavrimain/LexerException.h"

namespace kavri {
namespace xml {

class XMLException : public kavri::parser::LexerException {
  public:
    // The message is formatted into a buffer of strlen(format) + 1024 bytes;
    // a longer result is cut there, never written past it.
    explicit XMLException(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    XMLException(const char* format, const ::core::Exception* cause, ...);
    XMLException(const XMLException&) = default;
    XMLException& operator=(const XMLException&) = default;
    ~XMLException() override;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XMLEXCEPTION_H
