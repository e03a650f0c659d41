// XMLScan is the vector layer of the readers: finding, sixteen bytes at a
// time where the processor has SSE2 (thirty-two with AVX2 for the
// conforming reader's texts) and byte by byte elsewhere, where a run of
// text, a value, a comment, a CDATA section or an instruction stops. Both
// readers scan with it: the strict reader's texts stop at '<', '&' or NUL
// (findTextStop); the conforming reader's runs stop at every byte that
// needs a look of its own (PlainBytes, TextBlocks), since it checks every
// character. Each vector path has its portable fallback beside it, which
// the tests and the fuzz targets compare with it.
//
// Depends on the standard library and the compiler's intrinsics alone.
// Everything is inline: it is the inner loop of every read.
//
//   const char* stop = syntax::findTextStop(text, end);   // '<', '&' or NUL
//   const char* run = syntax::PlainBytes<true>('&', ']', ']').skip(p, end);
#ifndef KAVRIXML_SYNTAX_XMLSCAN_H
#define KAVRIXML_SYNTAX_XMLSCAN_H

#include <cstddef>
#include <cstdint>

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

#if KAVRIXML_SSE2
// The bytes of `v` equal to any of the bytes broadcast in a, b and c.
inline __m128i equalsAny(__m128i v, __m128i a, __m128i b, __m128i c) {
    return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b)),
                        _mm_cmpeq_epi8(v, c));
}
#endif

// The first '<', '&' or NUL in [p, end), or `end`: where a text between
// tags stops or needs a look. One pass, sixteen bytes at a time where the
// processor allows, instead of a search per byte sought: most texts are a
// few bytes of indentation or a short word, where the set-up of each search
// costs more than the search.
inline const char* findTextStop(const char* p, const char* end) {
#if KAVRIXML_SSE2
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i nul = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(equalsAny(chunk, lt, amp, nul));
        if (mask != 0) {
            return p + lowestBit(static_cast<unsigned>(mask));
        }
    }
#endif
    while (p < end && *p != '<' && *p != '&' && *p != '\0') {
        ++p;
    }
    return p;
}

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
        unsigned bits = 0;
        for (unsigned i = 0; i < 16; ++i) {
            bits |= stops(p[i]) ? 1u << i : 0u;
        }
        return bits;
#endif
    }

    // stopsIn without the characters of two bytes whole within the block:
    // every such character is a Char and needs no look of its own. Text in
    // Latin, Greek or Cyrillic letters then stops at its markup alone. A
    // lead byte of two only counts with its trail byte after it, and every
    // other byte from 0x80 on still stops the run.
    unsigned stopsBesidesPairs(const char* p) const {
#if KAVRIXML_SSE2
        // No branch on the first mask: a text outside ASCII would mispredict it.
        const unsigned bits = stopsIn(p);
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // Signed: trail bytes 0x80-0xBF lie below -64, leads 0xC2-0xDF from
        // -62 to -33.
        const unsigned trails =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(-64))));
        const unsigned leads = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
            _mm_cmpgt_epi8(v, _mm_set1_epi8(-63)), _mm_cmplt_epi8(v, _mm_set1_epi8(-32)))));
        const unsigned pairs = leads & (trails >> 1);
        return bits & ~(pairs | (pairs << 1));
#else
        return stopsIn(p);
#endif
    }

    // The first byte of [p, end) that stops a run.
    const char* skip(const char* p, const char* end) const {
        for (; end - p >= 16; p += 16) {
            if (const unsigned bits = stopsIn(p)) {
                return p + lowestBit(bits);
            }
        }
        while (p < end && !stops(*p)) {
            ++p;
        }
        return p;
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
// two bytes (PlainBytes<true>::stopsBesidesPairs): two sixteen-byte blocks,
// or one of thirty-two where the processor has AVX2. A text is read with
// one of the two throughout (WellFormedReader::readText).
struct TextBlocks {
    PlainBytes<true> plain{'&', ']', ']'};

    uint32_t stops(const char* p) const {
        return plain.stopsBesidesPairs(p) |
               (static_cast<uint32_t>(plain.stopsBesidesPairs(p + 16)) << 16);
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
        // Trail bytes 0x80-0xBF lie below -64, leads 0xC2-0xDF from -62 to -33.
        const uint32_t trails = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_set1_epi8(-64), v)));
        const uint32_t leads = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpgt_epi8(v, _mm256_set1_epi8(-63)),
                                                  _mm256_cmpgt_epi8(_mm256_set1_epi8(-32), v))));
        const uint32_t pairs = leads & (trails >> 1);
        return bits & ~(pairs | (pairs << 1));
    }
};

inline bool hasAVX2() {
    // Asked during the library's start-up too, where the processor's
    // description may not have been read yet.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

template <bool PASS_BLANKS>
inline const char* skipPlain(const char* p, const char* end, char a, char b, char c) {
    return PlainBytes<PASS_BLANKS>(a, b, c).skip(p, end);
}

}  // namespace syntax
}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_SYNTAX_XMLSCAN_H
