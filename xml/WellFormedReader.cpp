#include "xml/WellFormedReader.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

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

#include "core/SmartPtr.h"
#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"
#include "xml/Document.h"
#include "xml/XMLException.h"
#include "xml/XNode.h"

namespace kavri {
namespace xml {

using syntax::isSpace;

namespace {

bool startsWith(const char* p, const char* end, const char* text) {
    const size_t length = std::strlen(text);
    return static_cast<size_t>(end - p) >= length && std::memcmp(p, text, length) == 0;
}

// The character a predefined entity stands for, or 0.
char predefined(const char* name, size_t length) {
    switch (length) {
        case 2:
            if (name[1] == 't' && (name[0] == 'l' || name[0] == 'g')) {
                return name[0] == 'l' ? '<' : '>';
            }
            return 0;
        case 3:
            return std::memcmp(name, "amp", 3) == 0 ? '&' : 0;
        case 4:
            if (std::memcmp(name, "apos", 4) == 0) {
                return '\'';
            }
            return std::memcmp(name, "quot", 4) == 0 ? '"' : 0;
        default:
            return 0;
    }
}

char predefined(const std::string& name) {
    return predefined(name.data(), name.size());
}

const char PARAMETER_INSIDE_DECLARATION[] =
    "Parameter-entity reference inside a markup declaration [WFC: PEs in Internal Subset]";

bool isPubidChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr(" \n\r-'()+,./:=?;!*#@$_%", c) != nullptr;
}

// Blanks trimmed and runs of blanks made one, as tokenized values read.
void collapseBlanks(std::string& value) {
    size_t out = 0;
    for (size_t in = 0; in < value.size(); ++in) {
        if (value[in] != ' ') {
            value[out++] = value[in];
        } else if (out > 0 && value[out - 1] != ' ') {
            value[out++] = ' ';
        }
    }
    if (out > 0 && value[out - 1] == ' ') {
        --out;
    }
    value.resize(out);
}

const size_t NO_BUFFER = static_cast<size_t>(-1);

// ASCII bytes by what the content and name loops make of them.
struct ByteClasses {
    enum : unsigned char { PLAIN_TEXT = 1, NAME_START = 2, NAME = 4, SPACE = 8 };
    unsigned char bits[256] = {};
    ByteClasses() {
        for (int c = 0x20; c < 0x80; ++c) {
            if (c != '<' && c != '&' && c != ']') {
                bits[c] |= PLAIN_TEXT;
            }
            if (syntax::isNameStartChar(static_cast<uint32_t>(c))) {
                bits[c] |= NAME_START;
            }
            if (syntax::isNameChar(static_cast<uint32_t>(c))) {
                bits[c] |= NAME;
            }
        }
        for (char c : {'\t', '\n', '\r'}) {
            bits[static_cast<unsigned char>(c)] |= PLAIN_TEXT | SPACE;
        }
        bits[static_cast<unsigned char>(' ')] |= SPACE;
    }
    bool is(char c, unsigned char bit) const {
        return (bits[static_cast<unsigned char>(c)] & bit) != 0;
    }
};
const ByteClasses BYTES;

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
        const __m128i found =
            _mm_or_si128(_mm_or_si128(controls, _mm_cmpeq_epi8(v, mFirst)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, mSecond), _mm_cmpeq_epi8(v, mThird)));
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

bool hasAVX2() {
    // Asked during the library's start-up too, where the processor's
    // description may not have been read yet.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

// Whether texts are read thirty-two bytes at a time.
std::atomic<bool> gWideText{hasAVX2()};
#endif

template <bool PASS_BLANKS>
inline const char* skipPlain(const char* p, const char* end, char a, char b, char c) {
    return PlainBytes<PASS_BLANKS>(a, b, c).skip(p, end);
}

}  // namespace

WellFormedReader::WellFormedReader(const std::string& text, int maxDepth, bool trimBodies)
    : mBegin(text.data()),
      mEnd(text.data() + text.size()),
      mMaxDepth(maxDepth),
      mTrimBodies(trimBodies),
      mExpansionLimit(std::max<size_t>(10 * text.size(), size_t(1) << 20)) {}

void WellFormedReader::fail(const char* at, const char* format, ...) {
    mFailAt = mReferenceAt != nullptr ? mReferenceAt : at;
    char message[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    throw XMLException("%s", message);
}

void WellFormedReader::read(Document* doc, size_t& failOffset) {
    mDocument = doc;
    const char* p = mBegin;
    try {
        if (startsWith(p, mEnd, "<?xml") && mEnd - p > 5 && isSpace(p[5])) {
            readDeclaration(p, mEnd, doc);
        }
        readMisc(p, mEnd, false);
        if (startsWith(p, mEnd, "<!DOCTYPE")) {
            readDocType(p, mEnd, doc);
            readMisc(p, mEnd, false);
        }
        if (p == mEnd) {
            fail(p, "No root element [document]");
        }
        readContent(p, mEnd, IN_DOCUMENT);
    } catch (...) {
        failOffset = static_cast<size_t>((mFailAt != nullptr ? mFailAt : p) - mBegin);
        throw;
    }
}

void WellFormedReader::readFragment(XNode* node, size_t& failOffset) {
    mDocument = node->getDocument();
    mOpen.push_back({node, node->getName(), std::strlen(node->getName())});
    mDepth = 1;
    const char* p = mBegin;
    try {
        readContent(p, mEnd, IN_FRAGMENT);
        closeElement();
    } catch (...) {
        failOffset = static_cast<size_t>((mFailAt != nullptr ? mFailAt : p) - mBegin);
        throw;
    }
}

inline bool WellFormedReader::skipSpace(const char*& p, const char* end) {
    const char* const start = p;
    while (p < end && BYTES.is(*p, ByteClasses::SPACE)) {
        ++p;
    }
    return p != start;
}

// --- Characters, names, literals ------------------------------------------------

// Checks the characters of [p, end) up to `stop` (a text that ends the run,
// or null), and returns where the run ends; `stopped` says whether at `stop`.
// One pass both checks and looks for the stop, sixteen bytes at a time: the
// stop's first byte stops a plain run like a byte that needs a look.
const char* WellFormedReader::checkChars(const char* p, const char* end, const char* stop,
                                         bool& stopped) {
    // Every stop begins with printable ASCII; none: NUL, which stops anyway.
    const char first = stop != nullptr ? stop[0] : '\0';
    const size_t length = stop != nullptr ? std::strlen(stop) : 0;
    const PlainBytes<true> plain(first, first, first);
    const auto isStop = [&](const char* at) {
        return *at == first && first != '\0' && static_cast<size_t>(end - at) >= length &&
               std::memcmp(at, stop, length) == 0;
    };
    const auto pass = [&](const char* at) {
        // The stop's first byte elsewhere, a carriage return, or a character
        // outside ASCII.
        const bool plainByte =
            BYTES.is(*at, ByteClasses::PLAIN_TEXT) || (*at == first && first != '\0');
        return at + (plainByte ? 1 : checkChar(at, end));
    };
    while (end - p >= 16) {
        const char* const block = p;
        for (unsigned bits = plain.stopsBesidesPairs(block); bits != 0; bits &= bits - 1) {
            const char* const at = block + PlainBytes<true>::lowestBit(bits);
            if (at < p) {
                continue;  // a trail byte of the character just read
            }
            if (isStop(at)) {
                stopped = true;
                return at;
            }
            p = pass(at);
        }
        p = std::max(p, block + 16);
    }
    while ((p = plain.skip(p, end)) < end) {
        if (isStop(p)) {
            stopped = true;
            return p;
        }
        p = pass(p);
    }
    stopped = false;
    return end;
}

// Fails at the first character of [p, end) that XML does not allow.
void WellFormedReader::checkRun(const char* p, const char* end) {
    bool stopped;
    checkChars(p, end, nullptr, stopped);
}

// The length of the character at `p` (any byte; the checks are for those
// outside printable ASCII); fails when XML does not allow it.
size_t WellFormedReader::checkChar(const char* p, const char* end) {
    // Two bytes, the most common form outside ASCII, always make a Char.
    const unsigned char lead = static_cast<unsigned char>(*p);
    if (lead >= 0xC2 && lead <= 0xDF && end - p >= 2 &&
        (static_cast<unsigned char>(p[1]) & 0xC0) == 0x80) {
        return 2;
    }
    // Three bytes (the rest of the Basic Multilingual Plane) are checked
    // here too; anything else is decoded in full.
    if (lead >= 0xE0 && lead <= 0xEF && end - p >= 3 &&
        (static_cast<unsigned char>(p[1]) & 0xC0) == 0x80 &&
        (static_cast<unsigned char>(p[2]) & 0xC0) == 0x80) {
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

// From "&#" to after ";".
uint32_t WellFormedReader::readCharRef(const char*& p, const char* end) {
    const char* const at = p;
    const char* q = p + 2;
    const bool hex = q < end && *q == 'x';
    if (hex) {
        ++q;
    }
    uint32_t c = 0;
    const char* digits = q;
    for (; q < end && *q != ';'; ++q) {
        int digit;
        if (*q >= '0' && *q <= '9') {
            digit = *q - '0';
        } else if (hex && *q >= 'a' && *q <= 'f') {
            digit = *q - 'a' + 10;
        } else if (hex && *q >= 'A' && *q <= 'F') {
            digit = *q - 'A' + 10;
        } else {
            break;
        }
        c = c > 0x10FFFF ? c : c * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    }
    if (q == digits || q == end || *q != ';') {
        fail(at, "Malformed character reference [CharRef]");
    }
    if (!syntax::isChar(c)) {
        fail(at,
             "Character reference %.*s to a character not allowed in XML [WFC: Legal Character]",
             static_cast<int>(q + 1 - at), at);
    }
    p = q + 1;
    return c;
}

// The end of the name at `p`. Most names are ASCII, read from the table
// here; the first byte outside ASCII hands the name to scanAnyName.
inline const char* WellFormedReader::scanName(const char* p, const char* end, const char* what) {
    if (p < end && BYTES.is(*p, ByteClasses::NAME_START)) {
        const char* q = p + 1;
        while (q < end && BYTES.is(*q, ByteClasses::NAME)) {
            ++q;
        }
        if (q == end || static_cast<unsigned char>(*q) < 0x80) {
            return q;
        }
    }
    return scanAnyName(p, end, what);
}

const char* WellFormedReader::scanAnyName(const char* p, const char* end, const char* what) {
    const char* q = p;
    uint32_t c = 0;
    if (q < end && BYTES.is(*q, ByteClasses::NAME_START)) {
        ++q;
    } else {
        const size_t n = q < end ? syntax::decodeUTF8(q, end, c) : 0;
        if (n == 0 || !syntax::isNameStartChar(c)) {
            fail(p, "Invalid %s name [Name]", what);
        }
        q += n;
    }
    for (;;) {
        while (q < end && BYTES.is(*q, ByteClasses::NAME)) {
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

void WellFormedReader::readName(const char*& p, const char* end, std::string& out,
                                const char* what) {
    const char* q = scanName(p, end, what);
    out.assign(p, q);
    p = q;
}

void WellFormedReader::readNmtoken(const char*& p, const char* end, const char* what) {
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

void WellFormedReader::requireSpace(const char*& p, const char* end, const char* what) {
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

void WellFormedReader::expect(const char*& p, const char* end, const char* text, const char* what) {
    if (!startsWith(p, end, text)) {
        if (p < end && *p == '%') {
            fail(p, "%s", PARAMETER_INSIDE_DECLARATION);
        }
        fail(p, "Expected '%s' in %s", text, what);
    }
    p += std::strlen(text);
}

// A quoted system or public identifier, without references.
void WellFormedReader::readQuoted(const char*& p, const char* end, std::string& out,
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
            if (!isPubidChar(*c)) {
                fail(c, "Character not allowed in a public identifier [PubidChar]");
            }
        }
    }
    out.assign(q, after);
    p = after + 1;
}

// --- The prolog ---------------------------------------------------------------------

void WellFormedReader::readDeclaration(const char*& p, const char* end, Document* doc) {
    const char* const start = p;
    p += 5;
    std::unique_ptr<XNode> declaration(doc->createNode("xml", nullptr));
    skipSpace(p, end);
    if (!startsWith(p, end, "version")) {
        fail(start, "No version attribute in XML declaration! [XMLDecl]");
    }
    static const char* const NAMES[] = {"version", "encoding", "standalone"};
    bool first = true;
    for (const char* name : NAMES) {
        const char* q = p;
        if (!first && !skipSpace(q, end)) {
            break;
        }
        if (!startsWith(q, end, name)) {
            if (first) {
                break;
            }
            continue;
        }
        first = false;
        q += std::strlen(name);
        skipSpace(q, end);
        expect(q, end, "=", "the XML declaration [Eq]");
        skipSpace(q, end);
        if (q == end || (*q != '"' && *q != '\'')) {
            fail(q, "Quoted value expected in the XML declaration [XMLDecl]");
        }
        const char* close = static_cast<const char*>(std::memchr(q + 1, *q, end - q - 1));
        if (close == nullptr) {
            fail(q, "Unterminated value in the XML declaration [XMLDecl]");
        }
        const std::string value(q + 1, close);
        if (name[0] == 'v') {
            if (value.size() < 3 || value.compare(0, 2, "1.") != 0 ||
                value.find_first_not_of("0123456789", 2) != std::string::npos) {
                fail(q, "Only XML 1.0 supported [VersionNum]");
            }
            declaration->addAttribute("version", "1.0");
        } else if (name[0] == 'e') {
            bool valid = !value.empty() && std::isalpha(static_cast<unsigned char>(value[0]));
            for (char c : value) {
                valid = valid && (std::isalnum(static_cast<unsigned char>(c)) || c == '.' ||
                                  c == '_' || c == '-');
            }
            if (!valid) {
                fail(q, "Invalid encoding name '%s' [EncName]", value.c_str());
            }
            declaration->addAttribute("encoding", "UTF-8");  // what the text was brought to
        } else {
            if (value != "yes" && value != "no") {
                fail(q, "standalone must be 'yes' or 'no' [SDDecl]");
            }
            mStandalone = value == "yes";
            declaration->addAttribute("standalone", value);
        }
        p = close + 1;
    }
    skipSpace(p, end);
    if (!startsWith(p, end, "?>")) {
        fail(p, "Invalid XML declaration [XMLDecl]");
    }
    p += 2;
    doc->setXmlDeclaration(declaration.release());
}

// White space, comments and processing instructions.
void WellFormedReader::readMisc(const char*& p, const char* end, bool afterRoot) {
    for (;;) {
        skipSpace(p, end);
        if (startsWith(p, end, "<!--")) {
            readComment(p, end);
        } else if (startsWith(p, end, "<?")) {
            readInstruction(p, end);
        } else {
            break;
        }
    }
    if (!afterRoot || p == end) {
        return;
    }
    if (*p == '<' && p + 1 < end && p[1] != '!' && p[1] != '?' && p[1] != '/') {
        fail(p, "Second root element [document]");
    }
    fail(p, "Content after the root element [document]");
}

void WellFormedReader::readComment(const char*& p, const char* end) {
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

void WellFormedReader::readInstruction(const char*& p, const char* end) {
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

void WellFormedReader::readDocType(const char*& p, const char* end, Document* doc) {
    const char* const start = p;
    p += 9;
    requireSpace(p, end, "DOCTYPE [doctypedecl]");
    std::string name;
    readName(p, end, name, "DOCTYPE");
    const bool spaced = skipSpace(p, end);
    if (startsWith(p, end, "SYSTEM") || startsWith(p, end, "PUBLIC")) {
        if (!spaced) {
            fail(p, "White space required in DOCTYPE [doctypedecl]");
        }
        std::string publicId, systemId;
        readExternalId(p, end, publicId, systemId, false);
        doc->setPublicID(publicId);
        doc->setDTD(systemId);
        mExternalSubset = true;
        skipSpace(p, end);
    }
    if (p < end && *p == '[') {
        ++p;
        readSubset(p, end, false);
        ++p;  // "]"
        skipSpace(p, end);
    }
    if (p == end || *p != '>') {
        fail(p == end ? start : p, "Invalid DOCTYPE declaration [doctypedecl]");
    }
    ++p;
    doc->setDocType(name);
}

// SYSTEM "s" | PUBLIC "p" "s"; for a notation the system literal after a
// public one may be missing.
void WellFormedReader::readExternalId(const char*& p, const char* end, std::string& publicId,
                                      std::string& systemId, bool notation) {
    if (startsWith(p, end, "SYSTEM")) {
        p += 6;
        requireSpace(p, end, "an external identifier [ExternalID]");
        readQuoted(p, end, systemId, "system identifier", false);
        return;
    }
    if (!startsWith(p, end, "PUBLIC")) {
        fail(p, "SYSTEM or PUBLIC expected [ExternalID]");
    }
    p += 6;
    requireSpace(p, end, "an external identifier [ExternalID]");
    readQuoted(p, end, publicId, "public identifier", true);
    const char* q = p;
    const bool spaced = skipSpace(q, end);
    if (notation && (q == end || (*q != '"' && *q != '\''))) {
        return;
    }
    if (!spaced) {
        fail(q, "White space required in an external identifier [ExternalID]");
    }
    p = q;
    readQuoted(p, end, systemId, "system identifier", false);
}

// Declarations, comments, instructions, parameter-entity references and
// white space, up to "]" (left at p) or, inside an entity, its end.
void WellFormedReader::readSubset(const char*& p, const char* end, bool inEntity) {
    for (;;) {
        skipSpace(p, end);
        if (p == end) {
            if (inEntity) {
                return;
            }
            fail(p, "Unterminated internal subset in DOCTYPE [intSubset]");
        }
        if (*p == ']' && !inEntity) {
            return;
        }
        if (*p == '%') {
            readParameterReference(p, end);
        } else if (startsWith(p, end, "<!--")) {
            readComment(p, end);
        } else if (startsWith(p, end, "<?")) {
            readInstruction(p, end);
        } else if (startsWith(p, end, "<!ENTITY")) {
            readEntityDecl(p, end);
        } else if (startsWith(p, end, "<!ATTLIST")) {
            readAttlistDecl(p, end);
        } else if (startsWith(p, end, "<!ELEMENT")) {
            readElementDecl(p, end);
        } else if (startsWith(p, end, "<!NOTATION")) {
            readNotationDecl(p, end);
        } else {
            fail(p, "Invalid markup declaration in the internal subset [markupdecl]");
        }
    }
}

// %name; between declarations: an internal parameter entity's text is read
// as declarations; after one that cannot be read, declarations are no
// longer used.
void WellFormedReader::readParameterReference(const char*& p, const char* end) {
    const char* const at = p;
    ++p;
    std::string name;
    readName(p, end, name, "parameter entity");
    if (p == end || *p != ';') {
        fail(p, "';' expected after a parameter-entity reference [PEReference]");
    }
    ++p;
    mParameterReference = true;
    const auto found = mParameters.find(name);
    if (found == mParameters.end() || found->second.external) {
        mProcessDeclarations = false;
        return;
    }
    const Entity* entity = enterEntity(at, name, true);
    const char* q = entity->value.data();
    readSubset(q, q + entity->value.size(), true);
    leaveEntity();
}

void WellFormedReader::readEntityDecl(const char*& p, const char* end) {
    const char* const start = p;
    p += 8;
    if (!skipSpace(p, end)) {
        fail(p, "White space required in an entity declaration [EntityDecl]");
    }
    bool parameter = false;
    if (p < end && *p == '%') {
        parameter = true;
        ++p;
        if (!skipSpace(p, end)) {
            fail(p, "White space required after '%%' in an entity declaration [PEDecl]");
        }
    }
    std::string name;
    readName(p, end, name, "entity");
    requireSpace(p, end, "an entity declaration [EntityDecl]");
    Entity entity;
    if (p < end && (*p == '"' || *p == '\'')) {
        // EntityValue: character references resolved, entity references
        // kept, parameter-entity references not allowed here.
        const char quote = *p++;
        for (;;) {
            const char* run = p;
            while (p < end && *p != quote && *p != '&' && *p != '%') {
                ++p;
            }
            bool stopped;
            checkChars(run, p, nullptr, stopped);
            entity.value.append(run, p);
            if (p == end) {
                fail(start, "Unterminated entity value [EntityValue]");
            }
            if (*p == quote) {
                ++p;
                break;
            }
            if (*p == '%') {
                fail(p,
                     "Parameter-entity reference in an entity value [WFC: PEs in Internal "
                     "Subset]");
            }
            if (p + 1 < end && p[1] == '#') {
                syntax::appendUTF8(entity.value, readCharRef(p, end));
                continue;
            }
            const char* ref = p++;
            std::string referenced;
            readName(p, end, referenced, "entity");
            if (p == end || *p != ';') {
                fail(p, "';' expected after an entity reference [EntityRef]");
            }
            ++p;
            entity.value.append(ref, p);
        }
    } else {
        std::string publicId, systemId;
        readExternalId(p, end, publicId, systemId, false);
        entity.external = true;
        const char* q = p;
        if (skipSpace(q, end) && startsWith(q, end, "NDATA")) {
            if (parameter) {
                fail(q, "A parameter entity cannot be unparsed [PEDecl]");
            }
            q += 5;
            requireSpace(q, end, "an entity declaration [NDataDecl]");
            std::string notation;
            readName(q, end, notation, "notation");
            entity.unparsed = true;
            p = q;
        }
    }
    skipSpace(p, end);
    if (p == end || *p != '>') {
        fail(p, "'>' expected to end the declaration of entity %s [EntityDecl]", name.c_str());
    }
    ++p;
    if (!mProcessDeclarations || (!parameter && predefined(name) != 0)) {
        return;
    }
    auto& table = parameter ? mParameters : mEntities;
    table.emplace(name, std::move(entity));  // the first declaration binds
}

void WellFormedReader::readAttlistDecl(const char*& p, const char* end) {
    p += 9;
    requireSpace(p, end, "an attribute-list declaration [AttlistDecl]");
    std::string element;
    readName(p, end, element, "element");
    for (;;) {
        const bool spaced = skipSpace(p, end);
        if (p < end && *p == '>') {
            ++p;
            return;
        }
        if (p < end && *p == '%') {
            fail(p, "%s", PARAMETER_INSIDE_DECLARATION);
        }
        if (!spaced) {
            fail(p, "White space required in an attribute-list declaration [AttlistDecl]");
        }
        AttributeDecl decl;
        readName(p, end, decl.name, "attribute");
        requireSpace(p, end, "an attribute definition [AttDef]");
        if (p < end && *p == '(') {
            decl.tokenized = true;
            ++p;
            for (;;) {
                skipSpace(p, end);
                readNmtoken(p, end, "enumerated value");
                skipSpace(p, end);
                if (p < end && *p == '|') {
                    ++p;
                    continue;
                }
                expect(p, end, ")", "an enumeration [Enumeration]");
                break;
            }
        } else {
            std::string type;
            readName(p, end, type, "attribute type");
            static const char* const TYPES[] = {"CDATA",   "ID",       "IDREF",
                                                "IDREFS",  "ENTITY",   "ENTITIES",
                                                "NMTOKEN", "NMTOKENS", "NOTATION"};
            if (std::find_if(std::begin(TYPES), std::end(TYPES),
                             [&](const char* t) { return type == t; }) == std::end(TYPES)) {
                fail(p - type.size(), "Unknown attribute type %s [AttType]", type.c_str());
            }
            decl.tokenized = type != "CDATA";
            if (type == "NOTATION") {
                requireSpace(p, end, "a notation type [NotationType]");
                expect(p, end, "(", "a notation type [NotationType]");
                for (;;) {
                    skipSpace(p, end);
                    std::string notation;
                    readName(p, end, notation, "notation");
                    skipSpace(p, end);
                    if (p < end && *p == '|') {
                        ++p;
                        continue;
                    }
                    expect(p, end, ")", "a notation type [NotationType]");
                    break;
                }
            }
        }
        requireSpace(p, end, "an attribute definition [AttDef]");
        if (startsWith(p, end, "#REQUIRED")) {
            p += 9;
        } else if (startsWith(p, end, "#IMPLIED")) {
            p += 8;
        } else {
            if (startsWith(p, end, "#FIXED")) {
                p += 6;
                requireSpace(p, end, "a default declaration [DefaultDecl]");
            }
            if (p == end || (*p != '"' && *p != '\'')) {
                fail(p, "Default value expected [DefaultDecl]");
            }
            readAttributeValue(p, end, decl.value);
            if (decl.tokenized) {
                collapseBlanks(decl.value);
            }
            decl.hasDefault = true;
        }
        if (!mProcessDeclarations) {
            continue;
        }
        std::vector<AttributeDecl>& list = mAttributes[element];
        if (std::none_of(list.begin(), list.end(),
                         [&](const AttributeDecl& d) { return d.name == decl.name; })) {
            list.push_back(std::move(decl));  // the first declaration binds
        }
    }
}

void WellFormedReader::readElementDecl(const char*& p, const char* end) {
    p += 9;
    requireSpace(p, end, "an element declaration [elementdecl]");
    std::string name;
    readName(p, end, name, "element");
    requireSpace(p, end, "an element declaration [elementdecl]");
    if (startsWith(p, end, "EMPTY")) {
        p += 5;
    } else if (startsWith(p, end, "ANY")) {
        p += 3;
    } else if (p < end && *p == '(') {
        const char* q = p + 1;
        skipSpace(q, end);
        if (startsWith(q, end, "#PCDATA")) {
            p = q + 7;
            bool names = false;
            for (;;) {
                skipSpace(p, end);
                if (p < end && *p == '|') {
                    ++p;
                    skipSpace(p, end);
                    std::string child;
                    readName(p, end, child, "element");
                    names = true;
                    continue;
                }
                expect(p, end, ")", "mixed content [Mixed]");
                break;
            }
            if (names) {
                expect(p, end, "*", "mixed content with elements [Mixed]");
            } else if (p < end && *p == '*') {
                ++p;
            }
        } else {
            readContentParticle(p, end, 0);
        }
    } else {
        fail(p, "Invalid content specification [contentspec]");
    }
    skipSpace(p, end);
    if (p == end || *p != '>') {
        fail(p, "'>' expected to end the declaration of element %s [elementdecl]", name.c_str());
    }
    ++p;
}

// A name or a parenthesised choice or sequence, with its ?, * or +.
void WellFormedReader::readContentParticle(const char*& p, const char* end, int level) {
    if (level > 1000) {
        fail(p, "Content model nested too deeply [children]");
    }
    if (p < end && *p == '(') {
        ++p;
        char separator = 0;
        for (;;) {
            skipSpace(p, end);
            readContentParticle(p, end, level + 1);
            skipSpace(p, end);
            if (p < end && (*p == '|' || *p == ',')) {
                if (separator != 0 && *p != separator) {
                    fail(p, "'|' and ',' mixed in one group [children]");
                }
                separator = *p++;
                continue;
            }
            expect(p, end, ")", "a content model [children]");
            break;
        }
    } else {
        if (p < end && *p == '#') {
            fail(p, "#PCDATA must come first in mixed content [Mixed]");
        }
        std::string name;
        readName(p, end, name, "element");
    }
    if (p < end && (*p == '?' || *p == '*' || *p == '+')) {
        ++p;
    }
}

void WellFormedReader::readNotationDecl(const char*& p, const char* end) {
    p += 10;
    requireSpace(p, end, "a notation declaration [NotationDecl]");
    std::string name;
    readName(p, end, name, "notation");
    requireSpace(p, end, "a notation declaration [NotationDecl]");
    std::string publicId, systemId;
    readExternalId(p, end, publicId, systemId, true);
    skipSpace(p, end);
    if (p == end || *p != '>') {
        fail(p, "'>' expected to end the declaration of notation %s [NotationDecl]", name.c_str());
    }
    ++p;
}

// --- Entities ------------------------------------------------------------------------

bool WellFormedReader::entityMustBeDeclared() const {
    return mStandalone || (!mExternalSubset && !mParameterReference);
}

const WellFormedReader::Entity* WellFormedReader::enterEntity(const char* at,
                                                              const std::string& name,
                                                              bool parameter) {
    const Entity& entity = (parameter ? mParameters : mEntities).find(name)->second;
    if (std::find(mExpanding.begin(), mExpanding.end(), (parameter ? "%" : "&") + name) !=
        mExpanding.end()) {
        fail(at, "Entity %s refers to itself [WFC: No Recursion]", name.c_str());
    }
    if (mExpanding.size() >= static_cast<size_t>(MAX_ENTITY_DEPTH)) {
        fail(at, "Entity references nested deeper than %d levels at %c%s; [WFC: No Recursion]",
             MAX_ENTITY_DEPTH, parameter ? '%' : '&', name.c_str());
    }
    mExpanded += entity.value.size() + 1;
    if (mExpanded > mExpansionLimit) {
        fail(at, "Entity expansion exceeds the limit of %zu bytes", mExpansionLimit);
    }
    if (mExpanding.empty()) {
        mReferenceAt = at;
    }
    mExpanding.push_back((parameter ? "%" : "&") + name);
    return &entity;
}

void WellFormedReader::leaveEntity() {
    mExpanding.pop_back();
    if (mExpanding.empty()) {
        mReferenceAt = nullptr;
    }
}

// --- Elements and content ---------------------------------------------------------------

// Content up to the root's end (in the document) or the end of an entity's
// replacement text, in which elements must begin and end.
void WellFormedReader::readContent(const char* p, const char* end, Context context) {
    const size_t base = mDepth;
    if (context == IN_DOCUMENT) {
        if (*p != '<' || p + 1 == end || p[1] == '!' || p[1] == '?' || p[1] == '/') {
            fail(p, "Root element expected [document]");
        }
        readStartTag(p, end, mDocument);
        if (mDepth == 0) {
            readMisc(p, end, true);
            return;
        }
    }
    for (;;) {
        if (p == end) {
            if (context != IN_DOCUMENT && mDepth == base) {
                return;
            }
            if (context == IN_ENTITY) {
                fail(p,
                     "Element <%.*s> not closed inside the entity it began in [WFC: Parsed "
                     "Entity]",
                     static_cast<int>(mOpen[mDepth - 1].nameLength), mOpen[mDepth - 1].name);
            }
            fail(p, "Unexpected end of input: element <%.*s> not closed [element]",
                 static_cast<int>(mOpen[mDepth - 1].nameLength), mOpen[mDepth - 1].name);
        }
        if (*p != '<') {
            readText(p, end);
            if (p < end && *p == '&') {
                readReference(p, end);
            }
            continue;
        }
        const char next = p + 1 < end ? p[1] : '\0';
        if (next == '/') {
            if (mDepth == base && context == IN_ENTITY) {
                fail(p, "End tag outside the entity its element began in [WFC: Parsed Entity]");
            }
            if (mDepth == base && context == IN_FRAGMENT) {
                return;  // the end tag of the element the fragment stands in
            }
            readEndTag(p, end);
            if (mDepth == 0) {
                readMisc(p, end, true);
                return;
            }
        } else if (next != '!' && next != '?') {
            readStartTag(p, end, nullptr);
        } else if (startsWith(p, end, "<!--")) {
            readComment(p, end);
        } else if (startsWith(p, end, "<![CDATA[")) {
            readCData(p, end);
        } else if (startsWith(p, end, "<?")) {
            readInstruction(p, end);
        } else if (next == '!') {
            fail(p, "Invalid markup in content [content]");
        }
    }
}

std::string& WellFormedReader::openBody() {
    return mOpen[mDepth - 1].node->content().body;
}

// Text up to the next tag, with the references to predefined entities and
// characters in it resolved; a reference to another entity ends it. Room for
// the whole text is made at once: it never decodes longer than it is.
void WellFormedReader::readText(const char*& p, const char* end) {
#if KAVRIXML_AVX2
    if (gWideText.load(std::memory_order_relaxed)) {
        readWideText(p, end);
        return;
    }
#endif
    readTextWith<TextBlocks>(p, end);
}

bool WellFormedReader::setWideText(bool wide) {
#if KAVRIXML_AVX2
    return gWideText.exchange(wide && hasAVX2());
#else
    (void)wide;
    return false;
#endif
}

#if KAVRIXML_AVX2
__attribute__((target("avx2"), flatten)) void WellFormedReader::readWideText(const char*& p,
                                                                             const char* end) {
    readTextWith<WideTextBlocks>(p, end);
}
#endif

// Inlined into each caller, so that the blocks' instructions are the ones
// the caller is compiled for.
template <class Blocks>
__attribute__((always_inline)) inline void WellFormedReader::readTextWith(const char*& p,
                                                                          const char* end) {
    // Most texts between tags are the indentation of the next one: white
    // space alone, which needs no further look. Blanks before any text would
    // be trimmed at the end, so they cost nothing then.
    const char* blanks = p;
    skipSpace(blanks, end);
    if (blanks == end || *blanks == '<') {
        if (!mTrimBodies || mOpen[mDepth - 1].node->getBodySize() != 0) {
            body().append(p, static_cast<size_t>(blanks - p));
        }
        p = blanks;
        return;
    }
    const void* tag = std::memchr(blanks, '<', static_cast<size_t>(end - blanks));
    const char* const textEnd = tag != nullptr ? static_cast<const char*>(tag) : end;
    std::string& out = body();
    const size_t needed = out.size() + static_cast<size_t>(textEnd - p);
    if (needed > out.capacity()) {
        out.reserve(std::max(needed, 2 * out.capacity()));
    }
    // Thirty-two bytes at a time; the bytes that stop a run (most of them the
    // lead and trail bytes of characters outside ASCII) are taken from the
    // blocks' mask one by one.
    const Blocks blocks;  // '<' ends the text: textEnd
    const char* run = p;
    const char* q = p;
    // The reference at `q`, after the run before it; false, with `p` left
    // on it for readReference, when it names an entity of the document's.
    auto takeReference = [&]() {
        out.append(run, static_cast<size_t>(q - run));
        if (!readLocalReference(q, end, out)) {
            p = q;
            return false;
        }
        run = q;
        return true;
    };
    while (q < textEnd) {
        if (end - q >= 32) {
            // A block may reach past the text (the input goes on): the
            // bits from textEnd on are dropped.
            const char* const block = q;
            const char* const limit = textEnd - block < 32 ? textEnd : block + 32;
            uint32_t bits = blocks.stops(block);
            if (limit != block + 32) {
                bits &= (uint32_t(1) << (limit - block)) - 1;
            }
            // A stop before `q` is a trail byte of the character or a byte
            // of the reference just read.
            while (bits != 0) {
                const char* const at = block + PlainBytes<true>::lowestBit(bits);
                bits &= bits - 1;
                if (at < q) {
                    continue;
                }
                q = at;
                if (*q != '&') {
                    q = passTextChar(q, end, textEnd);
                } else if (!takeReference()) {
                    return;
                }
            }
            q = std::max(q, limit);
            continue;
        }
        q = blocks.plain.skip(q, textEnd);
        if (q == textEnd) {
            break;
        }
        if (*q != '&') {
            q = passTextChar(q, end, textEnd);
        } else if (!takeReference()) {
            return;
        }
    }
    out.append(run, static_cast<size_t>(q - run));
    p = q;
}

// Past the character at `q` in text, which stops a plain run and is no
// '&' or '<'; fails when it may not stand there.
inline const char* WellFormedReader::passTextChar(const char* q, const char* end,
                                                  const char* textEnd) {
    const unsigned char lead = static_cast<unsigned char>(*q);
    if (lead >= 0xC2 && lead <= 0xDF && textEnd - q >= 2 &&
        (static_cast<unsigned char>(q[1]) & 0xC0) == 0x80) {
        return q + 2;  // two bytes always make a Char: the common case, seen first
    }
    if (lead == ']') {
        if (end - q >= 3 && q[1] == ']' && q[2] == '>') {
            fail(q, "']]>' not allowed in text [CharData]");
        }
        return q + 1;
    }
    if (BYTES.is(*q, ByteClasses::PLAIN_TEXT)) {
        return q + 1;  // carriage return
    }
    return q + checkChar(q, textEnd);
}

// A character reference or one to a predefined entity at `p`, appended to
// `out`; false, and nothing read, for a reference to any other entity.
bool WellFormedReader::readLocalReference(const char*& p, const char* end, std::string& out) {
    if (p + 1 < end && p[1] == '#') {
        syntax::appendUTF8(out, readCharRef(p, end));
        return true;
    }
    // "&amp;" and "&lt;", as text writes them most: well-formed names, so
    // taken without the name's scan.
    if (end - p >= 5 && std::memcmp(p + 1, "amp;", 4) == 0) {
        out += '&';
        p += 5;
        return true;
    }
    if (end - p >= 4 && p[1] == 'l' && p[2] == 't' && p[3] == ';') {
        out += '<';
        p += 4;
        return true;
    }
    const char* const name = p + 1;
    const char* const nameEnd = scanName(name, end, "entity");
    if (nameEnd == end || *nameEnd != ';') {
        fail(nameEnd, "';' expected after an entity reference [EntityRef]");
    }
    const char c = predefined(name, static_cast<size_t>(nameEnd - name));
    if (c == 0) {
        return false;
    }
    out += c;
    p = nameEnd + 1;
    return true;
}

void WellFormedReader::readCData(const char*& p, const char* end) {
    const char* q = p + 9;
    bool stopped;
    const char* close = checkChars(q, end, "]]>", stopped);
    if (!stopped) {
        fail(p, "Unterminated CDATA section [CDSect]");
    }
    if (close > q) {
        mOpen[mDepth - 1].node->addCData(q, static_cast<unsigned>(close - q));
        mBody = nullptr;  // the node's content may have moved
    }
    p = close + 3;
}

// A reference in content to an entity other than the predefined ones
// (readText reads those and character references).
void WellFormedReader::readReference(const char*& p, const char* end) {
    const char* const at = p;
    const char* const name = p + 1;
    p = scanName(name, end, "entity");
    mName.assign(name, p);
    ++p;
    const auto found = mEntities.find(mName);
    if (found == mEntities.end()) {
        if (entityMustBeDeclared()) {
            fail(at, "Entity %s not declared [WFC: Entity Declared]", mName.c_str());
        }
        body().append(at, p);  // kept as written
        return;
    }
    if (found->second.unparsed) {
        fail(at, "Reference to unparsed entity %s [WFC: Parsed Entity]", mName.c_str());
    }
    if (found->second.external) {
        body().append(at, p);  // kept as written: nothing outside the document is read
        return;
    }
    const Entity* entity = enterEntity(at, std::string(mName), false);
    const char* text = entity->value.data();
    readContent(text, text + entity->value.size(), IN_ENTITY);
    leaveEntity();
}

void WellFormedReader::readStartTag(const char*& p, const char* end, Document* doc) {
    const char* const start = p;
    ++p;
    const char* const name = p;
    p = scanName(p, end, "element");
    const size_t nameLength = static_cast<size_t>(p - name);
    if (mMaxDepth > 0 && mDepth >= static_cast<size_t>(mMaxDepth)) {
        fail(start, "Maximum nesting depth of %d exceeded in node %.*s", mMaxDepth,
             static_cast<int>(nameLength), name);
    }
    mTag.clear();
    uint64_t names = 0;
    size_t buffers = 0;
    bool empty = false;
    for (;;) {
        const bool spaced = skipSpace(p, end);
        if (p == end) {
            fail(start, "Unterminated start tag <%.*s> [STag]", static_cast<int>(nameLength), name);
        }
        if (*p == '>') {
            ++p;
            break;
        }
        if (*p == '/') {
            if (p + 1 < end && p[1] == '>') {
                p += 2;
                empty = true;
                break;
            }
            fail(p, "'>' expected after '/' [EmptyElemTag]");
        }
        if (!spaced) {
            fail(p, "White space required before an attribute [STag]");
        }
        // Written field by field where it stays: a record built aside and
        // copied whole would stall the copy's loads on the fields' stores.
        const char* const attributeName = p;
        p = scanName(p, end, "attribute");
        const size_t attributeLength = static_cast<size_t>(p - attributeName);
        // A bit per name length, first and last byte: the names before are
        // compared only when one of them shares all three.
        const uint64_t seen =
            uint64_t(1) << ((attributeLength * 7 + static_cast<unsigned char>(*attributeName) * 3 +
                             static_cast<unsigned char>(p[-1])) &
                            63);
        if ((names & seen) != 0) {
            for (const TagAttribute& other : mTag) {
                if (other.nameLength == attributeLength &&
                    std::memcmp(other.name, attributeName, attributeLength) == 0) {
                    fail(attributeName, "Attribute %.*s repeated in <%.*s> [WFC: Unique Att Spec]",
                         static_cast<int>(attributeLength), attributeName,
                         static_cast<int>(nameLength), name);
                }
            }
        }
        names |= seen;
        skipSpace(p, end);
        if (p == end || *p != '=') {
            fail(p, "'=' expected after attribute %.*s [Attribute]",
                 static_cast<int>(attributeLength), attributeName);
        }
        ++p;
        skipSpace(p, end);
        if (p == end || (*p != '"' && *p != '\'')) {
            fail(p, "Quoted value expected for attribute %.*s [AttValue]",
                 static_cast<int>(attributeLength), attributeName);
        }
        // A value without references or white space other than blanks
        // stands as it is, characters outside ASCII included.
        const char quote = *p;
        const char* q = p + 1;
        while ((q = skipPlain<false>(q, end, quote, '&', '<')) < end &&
               static_cast<unsigned char>(*q) >= 0x80) {
            q += checkChar(q, end);
        }
        mTag.emplace_back();
        TagAttribute& attribute = mTag.back();
        attribute.name = attributeName;
        attribute.nameLength = attributeLength;
        if (q < end && *q == quote) {
            attribute.value = p + 1;
            attribute.valueLength = static_cast<size_t>(q - p - 1);
            attribute.buffer = NO_BUFFER;
            p = q + 1;
        } else {
            if (mValues.size() == buffers) {
                mValues.emplace_back();
            }
            attribute.buffer = buffers;
            mValues[buffers].clear();
            readAttributeValue(p, end, mValues[buffers++]);
        }
    }
    // As declared: tokenized values normalised, defaults supplied.
    const auto declared =
        mAttributes.empty() ? mAttributes.end() : mAttributes.find(std::string(name, nameLength));
    if (declared != mAttributes.end()) {
        const size_t specified = mTag.size();
        for (const AttributeDecl& decl : declared->second) {
            TagAttribute* found = nullptr;
            for (size_t i = 0; i < specified; ++i) {
                if (mTag[i].nameLength == decl.name.size() &&
                    std::memcmp(mTag[i].name, decl.name.data(), decl.name.size()) == 0) {
                    found = &mTag[i];
                }
            }
            if (found == nullptr && decl.hasDefault) {
                mTag.push_back({decl.name.data(), decl.name.size(), decl.value.data(),
                                decl.value.size(), NO_BUFFER});
            } else if (found != nullptr && decl.tokenized) {
                if (found->buffer == NO_BUFFER) {
                    if (mValues.size() == buffers) {
                        mValues.emplace_back();
                    }
                    mValues[buffers].assign(found->value, found->valueLength);
                    found->buffer = buffers++;
                }
                collapseBlanks(mValues[found->buffer]);
            }
        }
    }
    XNode* node;
    if (doc != nullptr) {
        node = new XNode(doc, name, nameLength, nullptr);
        doc->setRootNode(node);
    } else {
        node = mOpen[mDepth - 1].node->addParsedChild(name, nameLength);
    }
    XNode::ParsedAttribute parsed[XNode::MAX_PARSED_ATTRIBUTES];
    size_t count = 0;
    for (const TagAttribute& attribute : mTag) {
        if (count == XNode::MAX_PARSED_ATTRIBUTES) {
            node->addParsedAttributes(parsed, count);
            count = 0;
        }
        const std::string* buffer =
            attribute.buffer == NO_BUFFER ? nullptr : &mValues[attribute.buffer];
        parsed[count++] = {attribute.name, attribute.nameLength,
                           buffer != nullptr ? buffer->data() : attribute.value,
                           buffer != nullptr ? buffer->size() : attribute.valueLength, false};
    }
    node->addParsedAttributes(parsed, count);
    if (mOpen.size() == mDepth) {
        mOpen.emplace_back();
    }
    mOpen[mDepth++] = {node, name, nameLength};
    if (mDepth > mDeepest) {
        mDeepest = mDepth;
        if (mOnDeeper) {
            mOnDeeper(mDepth);
        }
    }
    mBody = nullptr;
    if (empty) {
        closeElement();
    }
}

void WellFormedReader::closeElement() {
    XNode* node = mOpen[--mDepth].node;
    if (mTrimBodies && node->getBodySize() > 0) {
        syntax::trimBlanks(node->content().body);
    }
    mBody = nullptr;
}

void WellFormedReader::readEndTag(const char*& p, const char* end) {
    const char* const start = p;
    p += 2;
    const char* const name = p;
    const Open& open = mOpen[mDepth - 1];
    // The open element's name, checked when its tag was read, and '>'.
    if (static_cast<size_t>(end - name) > open.nameLength &&
        std::memcmp(name, open.name, open.nameLength) == 0 && name[open.nameLength] == '>') {
        p = name + open.nameLength + 1;
        closeElement();
        return;
    }
    p = scanName(p, end, "element");
    skipSpace(p, end);
    if (p == end || *p != '>') {
        fail(p, "'>' expected to end the end tag </%.*s> [ETag]", static_cast<int>(open.nameLength),
             open.name);
    }
    const char* nameEnd = name;
    while (nameEnd < p && !isSpace(*nameEnd) && *nameEnd != '>') {
        ++nameEnd;
    }
    if (static_cast<size_t>(nameEnd - name) != open.nameLength ||
        std::memcmp(name, open.name, open.nameLength) != 0) {
        // Worded as strict reading words it.
        fail(start + 2, "Unclosed node %.*s", static_cast<int>(open.nameLength), open.name);
    }
    ++p;
    closeElement();
}

// A quoted attribute value, normalised: references resolved, white space
// written as such read as blanks.
void WellFormedReader::readAttributeValue(const char*& p, const char* end, std::string& out) {
    const char quote = *p;
    const char* stop = nullptr;
    const char* const start = p;
    expandInValue(p + 1, end, out, quote, stop);
    if (stop == nullptr) {
        fail(start, "Unterminated attribute value [AttValue]");
    }
    p = stop + 1;
}

// The characters of [p, end) into `out` as an attribute value reads them,
// up to `quote` (0: to the end); `stop` is where the quote was found.
void WellFormedReader::expandInValue(const char* p, const char* end, std::string& out, char quote,
                                     const char*& stop) {
    while (p < end) {
        const char* run = p;
        p = skipPlain<false>(p, end, quote, '<', '&');
        out.append(run, static_cast<size_t>(p - run));
        if (p == end) {
            break;
        }
        const char c = *p;
        if (c == quote) {
            stop = p;
            return;
        }
        if (c == '<') {
            fail(p, "'<' not allowed in an attribute value [WFC: No < in Attribute Values]");
        }
        if (c == '\t' || c == '\n' || c == '\r') {
            out += ' ';
            ++p;
            continue;
        }
        if (c != '&') {
            const size_t n = checkChar(p, end);
            out.append(p, n);
            p += n;
            continue;
        }
        if (p + 1 < end && p[1] == '#') {
            syntax::appendUTF8(out, readCharRef(p, end));
            continue;
        }
        const char* const at = p;
        ++p;
        std::string name;
        readName(p, end, name, "entity");
        if (p == end || *p != ';') {
            fail(p, "';' expected after an entity reference [EntityRef]");
        }
        ++p;
        if (const char predefinedChar = predefined(name)) {
            out += predefinedChar;
            continue;
        }
        const auto found = mEntities.find(name);
        if (found == mEntities.end()) {
            if (entityMustBeDeclared()) {
                fail(at, "Entity %s not declared [WFC: Entity Declared]", name.c_str());
            }
            out.append(at, p);  // kept as written
            continue;
        }
        if (found->second.external) {
            fail(at,
                 "Reference to external entity %s in an attribute value [WFC: No External "
                 "Entity References]",
                 name.c_str());
        }
        const Entity* entity = enterEntity(at, name, false);
        const char* none = nullptr;
        expandInValue(entity->value.data(), entity->value.data() + entity->value.size(), out, 0,
                      none);
        leaveEntity();
    }
}

}  // namespace xml
}  // namespace kavri
