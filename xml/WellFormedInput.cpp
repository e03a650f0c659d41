#include "xml/WellFormedInput.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "syntax/XMLChars.h"
#include "syntax/XMLScan.h"
#include "syntax/XMLSyntax.h"
#include "xml/XMLException.h"

namespace kavri {
namespace xml {

using syntax::startsWith;
using syntax::XMLBytes;

const char WellFormedInput::PARAMETER_INSIDE_DECLARATION[] =
    "Parameter-entity reference inside a markup declaration [WFC: PEs in Internal Subset]";

void WellFormedInput::fail(const char* at, const char* format, ...) {
    mFailAt = mReferenceAt != nullptr ? mReferenceAt : at;
    char message[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    throw XMLException("%s", message);
}

// --- Characters, names, literals ------------------------------------------------

// Checks the characters of [p, end) up to `stop` (a text that ends the run,
// or null), and returns where the run ends; `stopped` says whether at `stop`.
// One pass both checks and looks for the stop: the stop's first byte stops a
// plain run like a byte that needs a look.
const char* WellFormedInput::checkChars(const char* p, const char* end, const char* stop,
                                        bool& stopped) {
    const size_t length = stop != nullptr ? std::strlen(stop) : 0;
    const char* const found = syntax::findMarkerChecking(p, end, stop, length, [&](const char* at) {
        // A carriage return or a character outside ASCII.
        return at + (XMLBytes::is(*at, XMLBytes::PLAIN_TEXT) ? 1 : checkChar(at, end));
    });
    stopped = found != end;
    return found;
}

// Fails at the first character of [p, end) that XML does not allow.
void WellFormedInput::checkRun(const char* p, const char* end) {
    bool stopped;
    checkChars(p, end, nullptr, stopped);
}

// The length of the character at `p` (any byte; the checks are for those
// outside printable ASCII); fails when XML does not allow it.
size_t WellFormedInput::checkChar(const char* p, const char* end) {
    // Two bytes, the most common form outside ASCII, always make a Char.
    const unsigned char lead = static_cast<unsigned char>(*p);
    if (lead >= 0xC2 && lead <= 0xDF && end - p >= 2 && !syntax::startsCharacter(p[1])) {
        return 2;
    }
    // Three bytes (the rest of the Basic Multilingual Plane) are checked
    // here too; anything else is decoded in full.
    if (lead >= 0xE0 && lead <= 0xEF && end - p >= 3 && !syntax::startsCharacter(p[1]) &&
        !syntax::startsCharacter(p[2])) {
        const uint32_t code = (static_cast<uint32_t>(lead & 0x0F) << 12) |
                              (static_cast<uint32_t>(p[1] & 0x3F) << 6) |
                              static_cast<uint32_t>(p[2] & 0x3F);
        if (code >= 0x800 && (code < 0xD800 || (code >= 0xE000 && code <= 0xFFFD))) {
            return 3;
        }
    }
    uint32_t c;
    const size_t n = syntax::decodeUTF8(p, end, c);
    if (n == 0) {
        fail(p, "Invalid UTF-8 byte sequence [Char]");
    }
    if (!syntax::isChar(c)) {
        fail(p, "Character U+%04X not allowed in XML [Char]", static_cast<unsigned>(c));
    }
    return n;
}

// From "&#" to after ";": XML's CharRef, whose hexadecimal marker is "x".
uint32_t WellFormedInput::readCharRef(const char*& p, const char* end) {
    const syntax::CharacterReference ref = syntax::readCharacterReference(p, end, false);
    if (ref.length == 0) {
        fail(p, "Malformed character reference [CharRef]");
    }
    if (!syntax::isChar(ref.code)) {
        fail(p, "Character reference %.*s to a character not allowed in XML [WFC: Legal Character]",
             static_cast<int>(ref.length), p);
    }
    p += ref.length;
    return ref.code;
}

const char* WellFormedInput::scanAnyName(const char* p, const char* end, const char* what) {
    const char* q = p;
    uint32_t c = 0;
    if (q < end && XMLBytes::is(*q, XMLBytes::NAME_START_CHAR)) {
        ++q;
    } else {
        const size_t n = q < end ? syntax::decodeUTF8(q, end, c) : 0;
        if (n == 0 || !syntax::isNameStartChar(c)) {
            fail(p, "Invalid %s name [Name]", what);
        }
        q += n;
    }
    for (;;) {
        while (q < end && XMLBytes::is(*q, XMLBytes::NAME_CHAR)) {
            ++q;
        }
        if (q == end || static_cast<unsigned char>(*q) < 0x80) {
            return q;
        }
        const size_t n = syntax::decodeUTF8(q, end, c);
        if (n == 0 || !syntax::isNameChar(c)) {
            if (n != 0 && syntax::isChar(c)) {
                fail(q, "Invalid character U+%04X in %s name [Name]", static_cast<unsigned>(c),
                     what);
            }
            return q;
        }
        q += n;
    }
}

void WellFormedInput::readName(const char*& p, const char* end, std::string& out,
                               const char* what) {
    const char* q = scanName(p, end, what);
    out.assign(p, q);
    p = q;
}

void WellFormedInput::readNmtoken(const char*& p, const char* end, const char* what) {
    const char* q = p;
    uint32_t c;
    size_t n;
    while (q < end && (n = syntax::decodeUTF8(q, end, c)) != 0 && syntax::isNameChar(c)) {
        q += n;
    }
    if (q == p) {
        fail(p, "Invalid %s [Nmtoken]", what);
    }
    p = q;
}

void WellFormedInput::requireSpace(const char*& p, const char* end, const char* what) {
    if (!skipSpace(p, end)) {
        if (p < end && *p == '%') {
            fail(p, "%s", PARAMETER_INSIDE_DECLARATION);
        }
        fail(p, "White space required in %s", what);
    }
    if (p < end && *p == '%') {
        fail(p, "%s", PARAMETER_INSIDE_DECLARATION);
    }
}

void WellFormedInput::expect(const char*& p, const char* end, const char* text, const char* what) {
    if (!startsWith(p, end, text)) {
        if (p < end && *p == '%') {
            fail(p, "%s", PARAMETER_INSIDE_DECLARATION);
        }
        fail(p, "Expected '%s' in %s", text, what);
    }
    p += std::strlen(text);
}

// A quoted system or public identifier, without references.
void WellFormedInput::readQuoted(const char*& p, const char* end, std::string& out,
                                 const char* what, bool pubid) {
    if (p == end || (*p != '"' && *p != '\'')) {
        fail(p, "Quoted %s expected [%s]", what, pubid ? "PubidLiteral" : "SystemLiteral");
    }
    const char quote = *p;
    const char* q = p + 1;
    bool stopped;
    const char close[2] = {quote, '\0'};
    const char* after = checkChars(q, end, close, stopped);
    if (!stopped) {
        fail(p, "Unterminated %s [%s]", what, pubid ? "PubidLiteral" : "SystemLiteral");
    }
    if (pubid) {
        for (const char* c = q; c < after; ++c) {
            if (!syntax::isPubidChar(*c)) {
                fail(c, "Character not allowed in a public identifier [PubidChar]");
            }
        }
    }
    out.assign(q, after);
    p = after + 1;
}

// --- Markup passed over ------------------------------------------------------------

void WellFormedInput::readComment(const char*& p, const char* end) {
    const char* q = p + 4;
    for (;;) {
        bool stopped;
        q = checkChars(q, end, "--", stopped);
        if (!stopped) {
            fail(p, "Unterminated comment [Comment]");
        }
        if (q + 2 < end && q[2] == '>') {
            p = q + 3;
            return;
        }
        fail(q, "'--' not allowed inside a comment [Comment]");
    }
}

void WellFormedInput::readInstruction(const char*& p, const char* end) {
    const char* q = p + 2;
    std::string target;
    readName(q, end, target, "processing instruction target");
    if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
        (target[2] | 0x20) == 'l') {
        fail(p, "The target %s is reserved [PITarget]%s", target.c_str(),
             target == "xml" ? " (an XML declaration must come first)" : "");
    }
    if (!startsWith(q, end, "?>")) {
        if (!skipSpace(q, end)) {
            fail(q, "White space required after the processing instruction target [PI]");
        }
        bool stopped;
        q = checkChars(q, end, "?>", stopped);
        if (!stopped) {
            fail(p, "Unterminated processing instruction [PI]");
        }
    }
    p = q + 2;
}

}  // namespace xml
}  // namespace kavri
