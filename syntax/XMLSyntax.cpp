#include "syntax/XMLSyntax.h"

#include <algorithm>

namespace kavri {
namespace xml {
namespace syntax {

namespace {

struct Predefined {
    const char* reference;  // with its '&' and ';'
    size_t length;
    char value;
};
const Predefined PREDEFINED[] = {
    {"&amp;", 5, '&'}, {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''}};

int digitValue(char c, int base) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (base == 16 && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (base == 16 && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The decoded text is never longer than the raw one: room for it is made
// once (growing geometrically, so that many short runs stay linear).
void reserveFor(size_t length, std::string& out) {
    const size_t needed = out.size() + length;
    if (needed > out.capacity()) {
        out.reserve(std::max(needed, 2 * out.capacity()));
    }
}

// Copies [text, text + length) to `out`, each '&' handed to `decode`, which
// returns the bytes it resolved (0: the '&' is kept as written).
template <class Decode>
void decodeEach(const char* text, size_t length, std::string& out, Decode decode) {
    reserveFor(length, out);
    const char* end = text + length;
    const char* p = text;
    while (p < end) {
        const char* amp =
            static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
        if (amp == nullptr) {
            out.append(p, static_cast<size_t>(end - p));
            return;
        }
        out.append(p, static_cast<size_t>(amp - p));
        const size_t consumed = decode(amp, end, out);
        if (consumed == 0) {
            out.push_back('&');
            p = amp + 1;
        } else {
            p = amp + consumed;
        }
    }
}

// The scan stops at the first byte that is no digit, so a text full of
// unfinished references stays linear.
inline size_t characterReference(const char* p, const char* end, std::string& out) {
    if (end - p < 2 || p[1] != '#') {
        return 0;
    }
    const char* digits = p + 2;
    int base = 10;
    if (digits < end && (*digits == 'x' || *digits == 'X')) {
        base = 16;
        ++digits;
    }
    uint32_t code = 0;
    bool tooLarge = false;
    const char* d = digits;
    for (int v; d < end && (v = digitValue(*d, base)) >= 0; ++d) {
        code = code * static_cast<uint32_t>(base) + static_cast<uint32_t>(v);
        if (code > 0x10FFFF) {
            tooLarge = true;
            code = 0x110000;  // stays above the range however many digits follow
        }
    }
    if (d == digits || d == end || *d != ';' || tooLarge) {
        return 0;
    }
    // NUL and surrogate halves are no characters: kept as written.
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    appendUTF8(code, out);
    return static_cast<size_t>(d + 1 - p);
}

inline size_t reference(const char* p, const char* end, std::string& out) {
    if (end - p >= 2 && p[1] == '#') {
        return characterReference(p, end, out);
    }
    const size_t available = static_cast<size_t>(end - p);
    for (const Predefined& entity : PREDEFINED) {
        if (entity.length <= available && std::memcmp(entity.reference, p, entity.length) == 0) {
            out.push_back(entity.value);
            return entity.length;
        }
    }
    return 0;
}

}  // namespace

void appendUTF8(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

bool isPredefinedEntity(const char* name, size_t length) {
    for (const Predefined& entity : PREDEFINED) {
        if (entity.length == length + 2 && std::memcmp(entity.reference + 1, name, length) == 0) {
            return true;
        }
    }
    return false;
}

size_t decodeCharacterReference(const char* p, const char* end, std::string& out) {
    return characterReference(p, end, out);
}

size_t decodeReference(const char* p, const char* end, std::string& out) {
    return reference(p, end, out);
}

void decodeReferences(const char* text, size_t length, std::string& out) {
    // A lambda of its own, so that the reference decoding is inlined.
    decodeEach(text, length, out, [](const char* p, const char* end, std::string& to) {
        return reference(p, end, to);
    });
}

void decodeCharacterReferences(const char* text, size_t length, std::string& out) {
    decodeEach(text, length, out, [](const char* p, const char* end, std::string& to) {
        return characterReference(p, end, to);
    });
}

void appendEscapedReserved(const char* text, size_t length, std::string& out) {
    const char* run = text;
    const char* end = text + length;
    for (const char* p = text; p < end; ++p) {
        if (XMLBytes::is(*p, XMLBytes::RESERVED)) {
            out.append(run, static_cast<size_t>(p - run));
            out.append(predefinedReference(*p));
            run = p + 1;
        }
    }
    out.append(run, static_cast<size_t>(end - run));
}

}  // namespace syntax
}  // namespace xml
}  // namespace kavri
