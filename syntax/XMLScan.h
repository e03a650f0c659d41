// XMLScan is the one scanning layer of the readers: it finds, sixteen bytes
// at a time where the processor has SSE2 (thirty-two with AVX2 for the
// conforming reader's texts) and byte by byte elsewhere, where a run of
// text, a value, a comment, a CDATA section or an instruction stops. Every
// scan is the one loop `scan` over a class of stop bytes:
// - AnyOf: up to three bytes. The strict reader's texts stop at '<', '&' or
//   NUL (findTextStop), its values at the quote, '&' or NUL, and the ends
//   of comments, CDATA sections and instructions are found at their
//   marker's first byte (findMarker, which the lexer's raw reading uses).
// - PlainBytes: everything but plain ASCII text. The conforming reader
//   checks every character, so its runs stop at every byte that needs a
//   look of its own; its checked runs up to a marker (comments, sections,
//   instructions, literals) are the same loop with the marker's first byte
//   among the stops.
// The portable fallback of each (the same loop byte by byte, VECTOR false)
// stands beside it; the tests and the fuzz targets compare the two.
//
// Depends on the standard library and the compiler's intrinsics alone.
// Everything is inline: it is the inner loop of every read.
//
//   const char* stop = syntax::findTextStop(text, end);   // '<', '&' or NUL
//   const char* close = syntax::findMarker(p, end, "]]>", 3);   // or end
//   const char* run = syntax::PlainBytes<true>('&', ']', ']').skip(p, end);
#ifndef KAVRIXML_SYNTAX_XMLSCAN_H
#define KAVRIXML_SYNTAX_XMLSCAN_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__) && defined(__GNUC__)
#include <emmintrin.h>
#define KAVRIXML_SSE2 1
#else
#define KAVRIXML_SSE2 0
#endif
#if KAVRIXML_SSE2 && defined(__x86_64__)
#include <immintrin.h>
#define KAVRIXML_AVX2 1
#else
#define KAVRIXML_AVX2 0
#endif

namespace kavri {
namespace xml {
namespace syntax {

// The index of the lowest bit set (`bits` is not 0).
inline unsigned lowestBit(uint32_t bits) {
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctz(bits));
#else
    unsigned i = 0;
    while ((bits & 1u) == 0) {
        bits >>= 1;
        ++i;
    }
    return i;
#endif
}

// A class's stopsIn without vectors: bit i set when `bytes` stops at p[i],
// for the sixteen bytes at `p`.
template <class Bytes>
inline unsigned stopsByByte(const Bytes& bytes, const char* p) {
    unsigned bits = 0;
    for (unsigned i = 0; i < 16; ++i) {
        bits |= bytes.stops(p[i]) ? 1u << i : 0u;
    }
    return bits;
}

#if KAVRIXML_SSE2
// The bytes of `v` equal to any of the bytes broadcast in a, b and c.
inline __m128i equalsAny(__m128i v, __m128i a, __m128i b, __m128i c) {
    return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b)),
                        _mm_cmpeq_epi8(v, c));
}
#endif

// Characters of two or three bytes that need no look of their own, from
// the masks of a block (bit i for byte i): any lead byte of two (C2-DF)
// before a trail byte (80-BF); a lead of three before two trail bytes where
// every such character is a Char, or where the second byte keeps it one (E0
// from A0 on, not an overlong form; ED up to 9F, not a surrogate; EF up to
// BE, not U+FFFE or U+FFFF). The result has every byte of each set.
struct LeadMasks {
    uint32_t trails, leadsOfTwo, leadsOfThree;  // 80-BF, C2-DF, E0-EF
    uint32_t e0, ed, ef;                        // those leads of three
    uint32_t fromA0, upTo9F, upToBE;            // trail bytes A0-BF, 80-9F, 80-BE
};

inline uint32_t wholeCharacters(const LeadMasks& m) {
    const uint32_t pairs = m.leadsOfTwo & (m.trails >> 1);
    uint32_t whole = pairs | (pairs << 1);
    const uint32_t any = m.leadsOfThree & ~(m.e0 | m.ed | m.ef);
    const uint32_t triples = ((any & (m.trails >> 1)) | (m.e0 & (m.fromA0 >> 1)) |
                              (m.ed & (m.upTo9F >> 1)) | (m.ef & (m.upToBE >> 1))) &
                             (m.trails >> 2);
    whole |= triples | (triples << 1) | (triples << 2);
    return whole;
}

// `bits` (a block's stops, all bytes from 0x80 on among them) without its
// whole characters (wholeCharacters), for a block of sixteen or thirty-two
// bytes whose below(limit), above(limit) and equal(limit) give bit i when
// byte i, signed, lies there. Most blocks hold no stop besides characters
// of two bytes, or no lead of three: the rest is left alone then.
template <class Block>
__attribute__((always_inline)) inline uint32_t besidesWhole(uint32_t bits, const Block& block) {
    // Signed: trail bytes 0x80-0xBF lie below -64, leads 0xC2-0xDF from -62
    // to -33, leads 0xE0-0xEF from -32 to -17.
    LeadMasks m;
    m.trails = block.below(-64);
    m.leadsOfTwo = block.below(-32) & block.above(-63);
    const uint32_t pairs = m.leadsOfTwo & (m.trails >> 1);
    const uint32_t rest = bits & ~(pairs | (pairs << 1));
    if (rest == 0) {
        return 0;
    }
    m.leadsOfThree = block.below(-16) & block.above(-33);
    if ((rest & m.leadsOfThree) == 0) {
        return rest;
    }
    m.e0 = block.equal(-32);
    m.ed = block.equal(-19);
    m.ef = block.equal(-17);
    m.fromA0 = m.trails & block.above(-97);
    m.upTo9F = block.below(-96);
    m.upToBE = block.below(-65);
    return bits & ~wholeCharacters(m);
}

#if KAVRIXML_SSE2
// Sixteen bytes for besidesWhole.
struct Block16 {
    __m128i v;
    uint32_t below(char limit) const {
        return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(limit))));
    }
    uint32_t above(char limit) const {
        return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpgt_epi8(v, _mm_set1_epi8(limit))));
    }
    uint32_t equal(char limit) const {
        return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(limit))));
    }
};
#endif

// --- The one loop ---------------------------------------------------------------------

// A look that ends the scan at the first stop.
struct StopAtFirst {
    const char* operator()(const char*) const { return nullptr; }
};

// Passes over [p, end) up to the first stop byte (of the class `bytes`:
// stops(c) for one byte, stopsIn(p) for the sixteen at `p`, bit i for p[i])
// where `look` ends the scan, and returns that place, or `end`. At each stop
// `look(at)` returns null to end the scan there, or the place the scan goes
// on from (past a character, a reference, a byte that is no marker).
// Sixteen bytes are classified at once when VECTOR; the fallback, with
// VECTOR false, goes byte by byte and must find the same place.
template <bool VECTOR = true, class Bytes, class Look>
inline const char* scan(const char* p, const char* end, const Bytes& bytes, Look&& look) {
    if (std::is_same<typename std::decay<Look>::type, StopAtFirst>::value) {
        // No look: the first stop of a block is the place. A value's or a
        // name's end is found so, and the loop's bookkeeping would cost
        // more than the scan of a short run.
        if (VECTOR) {
            for (; end - p >= 16; p += 16) {
                if (const unsigned bits = bytes.stopsIn(p)) {
                    return p + lowestBit(bits);
                }
            }
        }
        while (p < end && !bytes.stops(*p)) {
            ++p;
        }
        return p;
    }
    if (VECTOR) {
        while (end - p >= 16) {
            const char* const block = p;
            for (unsigned bits = bytes.stopsIn(block); bits != 0; bits &= bits - 1) {
                const char* const at = block + lowestBit(bits);
                if (at < p) {
                    continue;  // within what the last look passed over
                }
                const char* const next = look(at);
                if (next == nullptr) {
                    return at;
                }
                p = next;
            }
            if (p < block + 16) {
                p = block + 16;
            }
        }
    }
    while (p < end) {
        if (!bytes.stops(*p)) {
            ++p;
            continue;
        }
        const char* const next = look(p);
        if (next == nullptr) {
            return p;
        }
        p = next;
    }
    return end;
}

// Stop bytes that are up to three given bytes (repeat one for fewer).
class AnyOf {
  public:
    AnyOf(char a, char b, char c) : mA(a), mB(b), mC(c) {
#if KAVRIXML_SSE2
        mFirst = _mm_set1_epi8(a);
        mSecond = _mm_set1_epi8(b);
        mThird = _mm_set1_epi8(c);
#endif
    }

    bool stops(char c) const {
        return c == mA || c == mB || c == mC;
    }

    unsigned stopsIn(const char* p) const {
#if KAVRIXML_SSE2
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        return static_cast<unsigned>(_mm_movemask_epi8(equalsAny(v, mFirst, mSecond, mThird)));
#else
        return stopsByByte(*this, p);
#endif
    }

  private:
    char mA, mB, mC;
#if KAVRIXML_SSE2
    __m128i mFirst, mSecond, mThird;
#endif
};

// --- Texts, values and markers of the strict reader --------------------------------

// The first '<', '&' or NUL in [p, end), or `end`: where a text between
// tags stops or needs a look. One pass instead of a search per byte sought:
// most texts are a few bytes of indentation or a short word, where the
// set-up of each search costs more than the search.
template <bool VECTOR = true>
inline const char* findTextStop(const char* p, const char* end) {
    return scan<VECTOR>(p, end, AnyOf('<', '&', '\0'), StopAtFirst());
}

// The closing `quote` of a value that begins at `p`, or null when a NUL
// (which the lexer's strings cannot hold) or the end comes first;
// `references` is set when the value holds '&'.
// Most values are a few bytes (a number, a word, a name), whose end a plain
// loop over the first VALUE_HEAD bytes finds before the vector scan's
// set-up would have paid off; a longer value goes on with the vector scan.
constexpr ptrdiff_t VALUE_HEAD = 16;

template <bool VECTOR = true>
inline const char* findValueEnd(const char* p, const char* end, char quote, bool& references) {
    const char* const head = end - p > VALUE_HEAD ? p + VALUE_HEAD : end;
    for (; p < head; ++p) {
        const char c = *p;
        if (c == quote) {
            return p;
        }
        if (c == '\0') {
            return nullptr;
        }
        references = references || c == '&';
    }
    const char* const stop = scan<VECTOR>(p, end, AnyOf(quote, '&', '\0'), [&](const char* at) {
        if (*at != '&') {
            return static_cast<const char*>(nullptr);
        }
        references = true;
        return at + 1;
    });
    return stop != end && *stop == quote ? stop : nullptr;
}

// Whether `marker` (`length` bytes) begins at `at`, whose first byte is
// the marker's: compared byte by byte, since most candidates differ at the
// second byte (a ']' in a CDATA section, a '-' in a comment) and a call to
// memcmp costs more than that compare.
inline bool markerAt(const char* at, const char* end, const char* marker, size_t length) {
    if (static_cast<size_t>(end - at) < length) {
        return false;
    }
    for (size_t i = 1; i < length; ++i) {
        if (at[i] != marker[i]) {
            return false;
        }
    }
    return true;
}

// The first place in [p, end) where `marker` (`length` bytes, at least
// one) begins, or `end`: the end of a comment, a CDATA section or an
// instruction. Candidates are found by the marker's first byte, sixteen
// bytes at a time, and compared whole.
template <bool VECTOR = true>
inline const char* findMarker(const char* p, const char* end, const char* marker, size_t length) {
    const char first = marker[0];
    return scan<VECTOR>(p, end, AnyOf(first, first, first), [&](const char* at) {
        return markerAt(at, end, marker, length) ? nullptr : at + 1;
    });
}

// --- Runs of the conforming reader ---------------------------------------------------

// Bytes a run of plain ASCII text passes over: printable ASCII other than
// `a`, `b`, `c`, and tab and line feed when `PASS_BLANKS`. A run stops at
// every other byte: a control character or a byte of a multi-byte
// character. Most of a document needs no look of its own: sixteen bytes
// are classified at once where the machine has SSE2.
template <bool PASS_BLANKS>
class PlainBytes {
  public:
    PlainBytes(char a, char b, char c) : mA(a), mB(b), mC(c) {
#if KAVRIXML_SSE2
        mSpace = _mm_set1_epi8(0x20);
        mTab = _mm_set1_epi8('\t');
        mLineFeed = _mm_set1_epi8('\n');
        mFirst = _mm_set1_epi8(a);
        mSecond = _mm_set1_epi8(b);
        mThird = _mm_set1_epi8(c);
#endif
    }

    bool stops(char c) const {
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool control = byte < 0x20 && !(PASS_BLANKS && (byte == '\t' || byte == '\n'));
        return control || byte >= 0x80 || c == mA || c == mB || c == mC;
    }

    // Bit i set when p[i] stops a run, for the sixteen bytes at `p`.
    unsigned stopsIn(const char* p) const {
#if KAVRIXML_SSE2
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // Signed: bytes from 0x80 on compare below the blank too.
        __m128i controls = _mm_cmplt_epi8(v, mSpace);
        if (PASS_BLANKS) {
            controls = _mm_andnot_si128(
                _mm_or_si128(_mm_cmpeq_epi8(v, mTab), _mm_cmpeq_epi8(v, mLineFeed)), controls);
        }
        const __m128i found = _mm_or_si128(controls, equalsAny(v, mFirst, mSecond, mThird));
        return static_cast<unsigned>(_mm_movemask_epi8(found));
#else
        return stopsByByte(*this, p);
#endif
    }

    // stopsIn without the characters of two or three bytes whole within the
    // block that are Chars (wholeCharacters): they need no look of their
    // own. Text in Latin, Greek or Cyrillic letters then stops at its markup
    // alone, and so does most text in the scripts of Asia. Every other byte
    // from 0x80 on still stops the run.
    unsigned stopsBesidesWhole(const char* p) const {
#if KAVRIXML_SSE2
        // No branch on the first mask: a text outside ASCII would mispredict it.
        const Block16 block{_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))};
        return besidesWhole(stopsIn(p), block);
#else
        return stopsIn(p);
#endif
    }

    // The first byte of [p, end) that stops a run.
    const char* skip(const char* p, const char* end) const {
        return scan(p, end, *this, StopAtFirst());
    }

    static unsigned lowestBit(uint32_t bits) {
        return syntax::lowestBit(bits);
    }

  private:
    char mA, mB, mC;
#if KAVRIXML_SSE2
    __m128i mSpace, mTab, mLineFeed, mFirst, mSecond, mThird;
#endif
};

// The stops of a text's run in thirty-two bytes, besides whole characters of
// two and three bytes (PlainBytes<true>::stopsBesidesWhole): two blocks of
// sixteen bytes, or one of thirty-two where the processor has AVX2. A text
// is read with one of the two throughout (WellFormedReader::readText).
struct TextBlocks {
    PlainBytes<true> plain{'&', ']', ']'};

    uint32_t stops(const char* p) const {
        return plain.stopsBesidesWhole(p) |
               (static_cast<uint32_t>(plain.stopsBesidesWhole(p + 16)) << 16);
    }
};

#if KAVRIXML_AVX2
struct WideTextBlocks {
    PlainBytes<true> plain{'&', ']', ']'};

    __attribute__((target("avx2"))) uint32_t stops(const char* p) const {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        // Signed: bytes from 0x80 on compare below the blank too.
        const __m256i controls =
            _mm256_andnot_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\t')),
                                                _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\n'))),
                                _mm256_cmpgt_epi8(_mm256_set1_epi8(0x20), v));
        const __m256i found =
            _mm256_or_si256(controls, _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('&')),
                                                      _mm256_cmpeq_epi8(v, _mm256_set1_epi8(']'))));
        const uint32_t bits = static_cast<uint32_t>(_mm256_movemask_epi8(found));
        return besidesWhole(bits, Block32{v});
    }

  private:
    // Thirty-two bytes for besidesWhole.
    struct Block32 {
        __m256i v;
        __attribute__((target("avx2"))) uint32_t below(char limit) const {
            return static_cast<uint32_t>(
                _mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_set1_epi8(limit), v)));
        }
        __attribute__((target("avx2"))) uint32_t above(char limit) const {
            return static_cast<uint32_t>(
                _mm256_movemask_epi8(_mm256_cmpgt_epi8(v, _mm256_set1_epi8(limit))));
        }
        __attribute__((target("avx2"))) uint32_t equal(char limit) const {
            return static_cast<uint32_t>(
                _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(limit))));
        }
    };
};

inline bool hasAVX2() {
    // Asked during the library's start-up too, where the processor's
    // description may not have been read yet.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

// The stops of a checked run: PlainBytes<true> besides whole characters of
// two and three bytes within a block, and the places where a marker may
// begin. With a marker of two bytes or more, its first byte in a block only
// counts where the second follows it (or at the block's last byte): a ']'
// in a CDATA section or a '-' in a comment is seldom the end.
class CheckedBytes {
  public:
    CheckedBytes(char first, char second)
        : mPlain('\0', '\0', '\0'), mFirst(first), mSecond(second) {}

    bool stops(char c) const { return mPlain.stops(c) || c == mFirst; }

    unsigned stopsIn(const char* p) const {
#if KAVRIXML_SSE2
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        unsigned firsts =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(mFirst))));
        if (mSecond != '\0') {
            const unsigned seconds =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(mSecond))));
            firsts &= (seconds >> 1) | 0x8000u;
        }
        return mPlain.stopsBesidesWhole(p) | firsts;
#else
        return stopsByByte(*this, p);
#endif
    }

  private:
    PlainBytes<true> mPlain;
    char mFirst, mSecond;
};

// The first place in [p, end) where `marker` (`length` bytes of printable
// ASCII; none when 0) begins, or `end`, in one pass that hands every other
// byte needing a look to `pass`, which returns the place after the
// character there (and fails where it may not stand). The conforming
// reader's comments, sections, instructions and literals are read so: a
// marker's bytes never stand inside a character of several bytes.
template <bool VECTOR = true, class Pass>
inline const char* findMarkerChecking(const char* p, const char* end, const char* marker,
                                      size_t length, Pass&& pass) {
    // No marker: NUL, which stops anyway.
    const char first = length != 0 ? marker[0] : '\0';
    const char second = length >= 2 ? marker[1] : '\0';
    return scan<VECTOR>(p, end, CheckedBytes(first, second), [&](const char* at) -> const char* {
        if (*at == first && length != 0) {
            if (markerAt(at, end, marker, length)) {
                return nullptr;
            }
            return at + 1;
        }
        return pass(at);
    });
}

template <bool PASS_BLANKS>
inline const char* skipPlain(const char* p, const char* end, char a, char b, char c) {
    return PlainBytes<PASS_BLANKS>(a, b, c).skip(p, end);
}

}  // namespace syntax
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_SYNTAX_XMLSCAN_H
