// LenientReader is lenient reading (DOMParser::setLenient): it brings the
// input to UTF-8 with LF line ends, then has the whole document read as a
// conforming XML 1.0 processor reads it (WellFormedReader). Fragments are
// read by the element loop; the few things it does differently in lenient
// mode (comments and processing instructions inside content, white space in
// attribute values) it asks of the helpers here.
//
// It works on the parser's input and moves the parser's place; it owns
// nothing. Internal to the reader (the header is not installed).
//
//   LenientReader lenient(parser);
//   lenient.readAsUTF8(line, column);
//   lenient.readDocument(doc, failOffset, maxDepth, trimBodies);
#ifndef KAVRIXML_XML_LENIENTREADER_H
#define KAVRIXML_XML_LENIENTREADER_H

#include <cstddef>
#include <functional>
#include <string>

#include "framework/kavrimain/Parser.h"

namespace kavri {
namespace xml {

class Document;

class LenientReader {
  public:
    explicit LenientReader(kavri::parser::Parser& parser) : mParser(parser) {}

    // Transcodes the whole input to UTF-8 and normalises its line ends (CR
    // LF and a lone CR become LF). When the input cannot be converted it is
    // left as it was, `line` and `column` say where, and the exception
    // propagates.
    void readAsUTF8(unsigned& line, unsigned& column);

    // The whole document, read as XML 1.0 says by WellFormedReader: the
    // declaration, the DOCTYPE with its internal subset, the root and what
    // may follow it. On a fault `failOffset` is where it lies.
    void readDocument(Document* doc, size_t& failOffset, int maxDepth, bool trimBodies);

    // A comment or processing instruction right at the parser's place
    // (inside content): passed over, so that the text on both sides of it
    // joins the body. False, and nothing moved, when none is there or tokens
    // wait pushed back.
    bool skipMarkup();

    // The column of `offset` in `text` (UTF-8, LF line ends), counted in
    // characters from 1: the column of the same place in the original file,
    // whatever its encoding.
    static unsigned characterColumn(const std::string& text, size_t offset);

    // "1." and digits: later 1.x versions differ from 1.0 in nothing the
    // reader looks at.
    static bool isVersionOne(const std::string& version);

    // A tab, line feed or carriage return written in an attribute value
    // reads as a blank; the value is then copied into `scratch` and its
    // bytes returned from there. One written as a reference is decoded
    // later and keeps its value.
    static const char* normaliseValue(const char* value, size_t& length, std::string& scratch);

  private:
    // The unread input [returned, end) and a move of the place in it; only
    // while no token waits pushed back.
    const char* unreadInput(const char*& end) const;
    void moveTo(const char* p);
    size_t offsetOf(const char* p) const;

    kavri::parser::Parser& mParser;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_LENIENTREADER_H
