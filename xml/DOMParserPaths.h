// DOMParserPaths lets the reader's tests and fuzz targets read with the token
// path alone, so that they can check that the byte-level scanner (the fast
// path) reads every input exactly as the tokens do: the same tree, the same
// message, the same line and column; and lenient reading's texts sixteen
// bytes at a time where the processor could take thirty-two.
//
// Internal to the library's tests: applications never include this header
// (it is not installed).
//
//   kavri::xml::DOMParser tokensOnly;
//   kavri::xml::DOMParserPaths::setScanning(tokensOnly, false);
//   kavri::xml::DOMParserPaths::setWideText(false);  // every parser, until set again
#ifndef KAVRIXML_XML_DOMPARSERPATHS_H
#define KAVRIXML_XML_DOMPARSERPATHS_H

#include "xml/DOMParser.h"
#include "xml/WellFormedReader.h"

namespace kavri {
namespace xml {

struct DOMParserPaths {
    static void setScanning(DOMParser& parser, bool scanning) { parser.mScanning = scanning; }
    static bool setWideText(bool wide) { return WellFormedReader::setWideText(wide); }
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_DOMPARSERPATHS_H
