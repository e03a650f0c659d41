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
    // The five names are two to four letters long.
    const char* const name = p + 1;
    const char* const last = end - p > 6 ? p + 6 : end;
    const char* semicolon = name;
    while (semicolon < last && *semicolon != ';') {
        ++semicolon;
    }
    if (semicolon == last) {
        return 0;
    }
    const size_t length = static_cast<size_t>(semicolon - name);
    const char c = predefinedEntity(name, length);
    if (c == 0) {
        return 0;
    }
    out.push_back(c);
    return length + 2;
}

#if KAVRIXML_AVX2
const bool WIDE_TEXT = hasAVX2();

// findTextEnd, thirty-two bytes at a time; the last bytes one by one.
__attribute__((target("avx2"))) const char* findWideTextEnd(const char* p, const char* end,
                                                            Ampersands& ampersands) {
    const __m256i tag = _mm256_set1_epi8('<');
    const __m256i amp = _mm256_set1_epi8('&');
    const __m256i nul = _mm256_setzero_si256();
    while (end - p >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const uint32_t stops = static_cast<uint32_t>(_mm256_movemask_epi8(
            _mm256_or_si256(_mm256_cmpeq_epi8(v, tag), _mm256_cmpeq_epi8(v, nul))));
        uint32_t amps = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, amp)));
        if (stops != 0) {
            // Only the '&'s before the stop belong to the text.
            amps &= (stops & (0u - stops)) - 1;
        }
        for (; amps != 0; amps &= amps - 1) {
            ampersands.note(p + lowestBit(amps));
        }
        if (stops != 0) {
            return p + lowestBit(stops);
        }
        p += 32;
    }
    for (; p < end; ++p) {
        if (*p == '<' || *p == '\0') {
            return p;
        }
        if (*p == '&') {
            ampersands.note(p);
        }
    }
    return end;
}

// nextAmpersand, thirty-two bytes at a time; the last block is read ending
// at `end` (from `from` on), its bytes before `p` left out.
__attribute__((target("avx2"))) const char* nextWideAmpersand(const char* from, const char* p,
                                                              const char* end) {
    const __m256i amp = _mm256_set1_epi8('&');
    while (end - p >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const uint32_t bits =
            static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, amp)));
        if (bits != 0) {
            return p + lowestBit(bits);
        }
        p += 32;
    }
    if (p == end) {
        return end;
    }
    if (end - from >= 32) {
        const char* const base = end - 32;
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base));
        const uint32_t bits =
            static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, amp))) &
            (~0u << (p - base));
        return bits != 0 ? base + lowestBit(bits) : end;
    }
    while (p < end && *p != '&') {
        ++p;
    }
    return p;
}
#endif

}  // namespace

const char* findTextEnd(const char* p, const char* end, Ampersands& ampersands, bool wide) {
#if KAVRIXML_AVX2
    if (wide && WIDE_TEXT) {
        return findWideTextEnd(p, end, ampersands);
    }
#else
    (void)wide;
#endif
    return scan<true>(p, end, AnyOf('<', '&', '\0'), [&ampersands](const char* at) {
        if (*at != '&') {
            return static_cast<const char*>(nullptr);
        }
        ampersands.note(at);
        return at + 1;
    });
}

namespace {

// The first '&' of [p, end), or `end`; [from, end) may be read.
const char* nextAmpersand(const char* from, const char* p, const char* end) {
#if KAVRIXML_AVX2
    if (WIDE_TEXT) {
        return nextWideAmpersand(from, p, end);
    }
#else
    (void)from;
#endif
    const void* amp = std::memchr(p, '&', static_cast<size_t>(end - p));
    return amp != nullptr ? static_cast<const char*>(amp) : end;
}

}  // namespace

namespace {

// Appends the reference at `amp` (or the '&' itself, when it is kept as
// written) to `out`; returns where the text goes on.
inline const char* takeReference(const char* amp, const char* end, std::string& out) {
    const size_t consumed = reference(amp, end, out);
    if (consumed == 0) {
        out.push_back('&');
        return amp + 1;
    }
    return amp + consumed;
}

}  // namespace

void decodeReferences(const char* text, size_t length, std::string& out) {
    reserveFor(length, out);
    const char* end = text + length;
    const char* p = text;
    while (p < end) {
        const char* amp = nextAmpersand(text, p, end);
        out.append(p, static_cast<size_t>(amp - p));
        if (amp == end) {
            return;
        }
        p = takeReference(amp, end, out);
    }
}

void decodeReferences(const char* text, size_t length, const Ampersands& ampersands,
                      std::string& out) {
    if (ampersands.count > Ampersands::CAPACITY) {
        decodeReferences(text, length, out);
        return;
    }
    reserveFor(length, out);
    const char* end = text + length;
    const char* p = text;
    // A reference never holds a '&': each one noted stands at or after the
    // place the one before it left.
    for (size_t i = 0; i < ampersands.count; ++i) {
        const char* amp = ampersands.at[i];
        out.append(p, static_cast<size_t>(amp - p));
        p = takeReference(amp, end, out);
    }
    out.append(p, static_cast<size_t>(end - p));
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
