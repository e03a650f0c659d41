#include "syntax/XMLSyntax.h"

#include <algorithm>

namespace kavri {
namespace xml {
namespace syntax {

namespace {

// The decoded text is never longer than the raw one: room for it is made
// once (growing geometrically, so that many short runs stay linear).
void reserveFor(size_t length, std::string& out) {
    const size_t needed = out.size() + length;
    if (needed > out.capacity()) {
        out.reserve(std::max(needed, 2 * out.capacity()));
    }
}

// The reference at `p` (its '&') appended to `out`; the bytes it takes, or 0
// when it is kept as written: broken, naming no character (NUL, a surrogate
// half, above U+10FFFF) or an entity other than the five.
inline size_t reference(const char* p, const char* end, std::string& out) {
    if (end - p >= 2 && p[1] == '#') {
        // Controls other than NUL are taken, as strict reading always has.
        const CharacterReference ref = readCharacterReference(p, end, true);
        if (ref.length == 0 || ref.code == 0 || ref.code > 0x10FFFF ||
            (ref.code >= 0xD800 && ref.code <= 0xDFFF)) {
            return 0;
        }
        appendUTF8(out, ref.code);
        return ref.length;
    }
    const void* semicolon = std::memchr(p, ';', std::min<size_t>(static_cast<size_t>(end - p), 6));
    if (semicolon == nullptr) {
        return 0;
    }
    const char* const name = p + 1;
    const size_t length = static_cast<size_t>(static_cast<const char*>(semicolon) - name);
    const char c = predefinedEntity(name, length);
    if (c == 0) {
        return 0;
    }
    out.push_back(c);
    return length + 2;
}

// Appends [run, amp) and the reference at `amp`; returns where the text
// goes on.
inline const char* takeReference(const char* run, const char* amp, const char* end,
                                 std::string& out) {
    out.append(run, static_cast<size_t>(amp - run));
    const size_t consumed = reference(amp, end, out);
    if (consumed == 0) {
        out.push_back('&');
        return amp + 1;
    }
    return amp + consumed;
}

// readText from `p` on, sixteen bytes at a time; the bytes from `run` to
// `p` hold no stop.
const char* readTextFrom(const char* run, const char* p, const char* end, std::string& decoded) {
    for (;;) {
        p = findTextStop(p, end);
        if (p == end || *p != '&') {
            if (!decoded.empty()) {
                decoded.append(run, static_cast<size_t>(p - run));
            }
            return p;
        }
        p = run = takeReference(run, p, end, decoded);
    }
}

#if KAVRIXML_AVX2
const bool WIDE_TEXT = hasAVX2();

__attribute__((target("avx2"))) const char* readWideText(const char* p, const char* end,
                                                         std::string& decoded) {
    const __m256i tag = _mm256_set1_epi8('<');
    const __m256i amp = _mm256_set1_epi8('&');
    const __m256i nul = _mm256_setzero_si256();
    const char* run = p;
    while (end - p >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i found =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, tag), _mm256_cmpeq_epi8(v, nul)),
                            _mm256_cmpeq_epi8(v, amp));
        const uint32_t bits = static_cast<uint32_t>(_mm256_movemask_epi8(found));
        if (bits == 0) {
            p += 32;
            continue;
        }
        const char* const at = p + lowestBit(bits);
        if (*at != '&') {
            if (!decoded.empty()) {
                decoded.append(run, static_cast<size_t>(at - run));
            }
            return at;
        }
        p = run = takeReference(run, at, end, decoded);
    }
    return readTextFrom(run, p, end, decoded);
}
#endif

}  // namespace

const char* readText(const char* p, const char* end, std::string& decoded, bool wide) {
#if KAVRIXML_AVX2
    if (wide && WIDE_TEXT) {
        return readWideText(p, end, decoded);
    }
#else
    (void)wide;
#endif
    return readTextFrom(p, p, end, decoded);
}

void decodeReferences(const char* text, size_t length, std::string& out) {
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
        const size_t consumed = reference(amp, end, out);
        if (consumed == 0) {
            out.push_back('&');
            p = amp + 1;
        } else {
            p = amp + consumed;
        }
    }
}

bool isEncodingName(const char* name, size_t length) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (length == 0 || !letter(name[0])) {
        return false;
    }
    for (size_t i = 1; i < length; ++i) {
        const char c = name[i];
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '.' && c != '_' && c != '-') {
            return false;
        }
    }
    return true;
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
