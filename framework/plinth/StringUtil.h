// StringUtil holds the text helpers of the framework: number and boolean
// parsing that reports no error, case-insensitive comparison, removal of
// substrings and XML escaping.
//
//   int n = text::StringUtil::parseInt("42");                 // 42; "abc" gives 0
//   text::CharPtrProxy e = text::StringUtil::encondeXML("a<b");   // "a&lt;b"
//
// encondeXML escapes & < > " and '. decodeXML resolves those five named
// references and numeric ones of any length (&#233;, &#xE9;, &#x000000E9;,
// written out as UTF-8); an unknown or broken reference, or one that names
// no character (NUL, a surrogate half, above U+10FFFF), is kept as written.
// The span forms append to a std::string and copy runs that need no change in
// one piece. The rules are XML's own, as the reader and the writer apply them
// (syntax/XMLSyntax.h): what these functions decode, the reader decodes.
#ifndef KAVRIXML_FRAMEWORK_PLINTH_STRINGUTIL_H
#define KAVRIXML_FRAMEWORK_PLINTH_STRINGUTIL_H

#include <cstddef>
#include <string>

#include "framework/plinth/CharPtrProxy.h"

namespace text {

class StringUtil {
  public:
    // Leading blanks are skipped; the number runs as far as it parses; no
    // number gives 0. Out-of-range values saturate.
    static int parseInt(const char* text);
    static float parseFloat(const char* text);
    static double parseDouble(const char* text);
    // "true", "yes", "on" (any case) and non-zero integers are true;
    // everything else, null included, is false.
    static bool parseBool(const char* text);

    // 0 when equal ignoring ASCII case; otherwise the sign of the first
    // difference, as strcmp. Null sorts before everything.
    static int compareIgnoreCase(const char* a, const char* b);

    // Removes every occurrence of `text` from `s`, in place.
    static void removeAll(std::string& s, const std::string& text);
    static void removeAll(std::string& s, const char* text);

    static CharPtrProxy encondeXML(const char* text);
    static CharPtrProxy decodeXML(const char* text);

    // Span forms: append the escaped or decoded bytes of [text, text+length).
    static void encodeXML(const char* text, size_t length, std::string& out);
    static void decodeXML(const char* text, size_t length, std::string& out);
    // True when encodeXML would change the text.
    static bool needsEncoding(const char* text, size_t length);
    // The reference encodeXML writes for a byte, or null for a byte it keeps.
    static bool isXmlSpecial(char c);
    static const char* xmlEntityFor(char c);

    // Number to text, for tools and writers.
    static std::string toString(int value);
    static std::string toString(double value);
};

}  // namespace text

#endif  // KAVRIXML_FRAMEWORK_PLINTH_STRINGUTIL_H
