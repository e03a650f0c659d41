// LenientReader is lenient reading (DOMParser::setLenient): it brings the
// input to UTF-8 with LF line ends, then has the whole document, or a
// fragment's content, read as a conforming XML 1.0 processor reads it
// (WellFormedReader).
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
class SourceText;
class XNode;

class LenientReader {
  public:
    explicit LenientReader(kavri::parser::Parser& parser) : mParser(parser) {}

    // Transcodes the whole input to UTF-8 and normalises its line ends (CR
    // LF and a lone CR become LF). When the input cannot be converted it is
    // left as it was, `line` and `column` say where, and the exception
    // propagates.
    void readAsUTF8(unsigned& line, unsigned& column);
    // The same for lossless reading: `source` keeps what it takes to give
    // the input back (the carriage returns taken out, the input itself
    // when it was not UTF-8, a byte-order mark).
    void readAsUTF8(unsigned& line, unsigned& column, SourceText* source);

    // The whole document, read as XML 1.0 says by WellFormedReader: the
    // declaration, the DOCTYPE with its internal subset, the root and what
    // may follow it. On a fault `failOffset` is where it lies.
    void readDocument(Document* doc, size_t& failOffset, int maxDepth, bool trimBodies);
    // The same for lossless reading: the places go into `source`, which
    // then takes the text read over from the parser.
    void readDocument(Document* doc, size_t& failOffset, int maxDepth, bool trimBodies,
                      SourceText* source);

    // A fragment's content, read into `node` (which belongs to the document
    // being made) as WellFormedReader reads an element's content, up to the
    // end of the input or an end tag that no element of the fragment began.
    // `onDeeper` is told each new greatest number of elements open, `node`
    // counting as one. On a fault `failOffset` is where it lies.
    void readFragment(XNode* node, size_t& failOffset, int maxDepth, bool trimBodies,
                      std::function<void(size_t)> onDeeper);

    // The column of `offset` in `text` (UTF-8, LF line ends), counted in
    // characters from 1: the column of the same place in the original file,
    // whatever its encoding.
    static unsigned characterColumn(const std::string& text, size_t offset);

  private:
    kavri::parser::Parser& mParser;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_LENIENTREADER_H
