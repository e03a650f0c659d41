// WellFormedInput is the input of the conforming reader (WellFormedReader)
// as XML 1.0 (fifth edition) sees it character by character: it checks
// that every character may stand where it stands, reads names, literals,
// comments and processing instructions, and turns a fault into an
// XMLException that names the rule broken, remembering where it lies (for a
// fault inside an entity's replacement text: the document's reference that
// led there). Its scans are syntax's, over XML's bytes (XMLTagBytes): the
// blanks, the ASCII names, and the checked runs up to a marker
// (findMarkerChecking), whose every byte needing a look it checks here.
//
// It reads a text it does not own, which outlives it; the text must be
// UTF-8 with LF line ends. One object reads one text on one thread.
// Internal to the reader (the header is not installed).
//
//   const char* p = ...;
//   std::string target;
//   readName(p, mEnd, target, "processing instruction target");  // throws XMLException
#ifndef KAVRIXML_XML_WELLFORMEDINPUT_H
#define KAVRIXML_XML_WELLFORMEDINPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "syntax/XMLTags.h"

namespace kavri {
namespace xml {

class WellFormedInput {
  protected:
    static const char PARAMETER_INSIDE_DECLARATION[];

    explicit WellFormedInput(const std::string& text)
        : mBegin(text.data()), mEnd(text.data() + text.size()) {}
    WellFormedInput(const WellFormedInput&) = delete;
    WellFormedInput& operator=(const WellFormedInput&) = delete;
    ~WellFormedInput() = default;

    // Throws XMLException with the message; the fault lies at `at`, or at
    // the reference being expanded.
    [[noreturn]] void fail(const char* at, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

    // Characters: a run checked up to `stop` (a text that ends it, or null),
    // a run checked whole, one character (its length), a character reference
    // (its code point).
    const char* checkChars(const char* p, const char* end, const char* stop, bool& stopped);
    void checkRun(const char* p, const char* end);
    size_t checkChar(const char* p, const char* end);
    uint32_t readCharRef(const char*& p, const char* end);

    // Names, white space, literals. `what` names the thing read in messages.
    const char* scanName(const char* p, const char* end, const char* what);
    const char* scanAnyName(const char* p, const char* end, const char* what);
    void readName(const char*& p, const char* end, std::string& out, const char* what);
    void readNmtoken(const char*& p, const char* end, const char* what);
    static bool skipSpace(const char*& p, const char* end);
    void requireSpace(const char*& p, const char* end, const char* what);
    void expect(const char*& p, const char* end, const char* text, const char* what);
    void readQuoted(const char*& p, const char* end, std::string& out, const char* what,
                    bool pubid);

    // Markup that is checked and passed over.
    void readComment(const char*& p, const char* end);
    void readInstruction(const char*& p, const char* end);

    const char* const mBegin;
    const char* const mEnd;
    const char* mReferenceAt = nullptr;  // the document's reference being expanded
    const char* mFailAt = nullptr;
};

// Inline: the name and white-space scans run once per tag and attribute.

inline bool WellFormedInput::skipSpace(const char*& p, const char* end) {
    const char* const start = p;
    p = syntax::skipBlanksOf<syntax::XMLTagBytes>(p, end);
    return p != start;
}

// The end of the name at `p`. Most names are ASCII, read from the byte
// table; a name that begins or goes on outside ASCII is handed to
// scanAnyName.
inline const char* WellFormedInput::scanName(const char* p, const char* end, const char* what) {
    const char* const q = syntax::XMLTagBytes::nameEnd(p, end);
    if (q != p && (q == end || static_cast<unsigned char>(*q) < 0x80)) {
        return q;
    }
    return scanAnyName(p, end, what);
}

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_WELLFORMEDINPUT_H
