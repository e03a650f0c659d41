#include "i18n/MessageNormalizer.h"

#include <algorithm>
#include <vector>

#include "syntax/XMLChars.h"

namespace kavri {
namespace i18n {
namespace message {

namespace {

// Hangul syllables decompose and compose by arithmetic, not by table.
const uint32_t HANGUL_BASE = 0xAC00, L_BASE = 0x1100, V_BASE = 0x1161, T_BASE = 0x11A7;
const uint32_t L_COUNT = 19, V_COUNT = 21, T_COUNT = 28, N_COUNT = V_COUNT * T_COUNT;
const uint32_t HANGUL_COUNT = L_COUNT * N_COUNT;

uint8_t combiningClass(uint32_t c) {
    const NFCClass* end = NFC_CLASSES + NFC_CLASS_COUNT;
    const NFCClass* found =
        std::lower_bound(NFC_CLASSES, end, c,
                         [](const NFCClass& entry, uint32_t code) { return entry.code < code; });
    return found != end && found->code == c ? found->combiningClass : 0;
}

const NFCDecomposition* findDecomposition(uint32_t c) {
    const NFCDecomposition* end = NFC_DECOMPOSITIONS + NFC_DECOMPOSITION_COUNT;
    const NFCDecomposition* found = std::lower_bound(
        NFC_DECOMPOSITIONS, end, c,
        [](const NFCDecomposition& entry, uint32_t code) { return entry.code < code; });
    return found != end && found->code == c ? found : nullptr;
}

void decompose(uint32_t c, std::vector<uint32_t>& out) {
    if (c >= HANGUL_BASE && c < HANGUL_BASE + HANGUL_COUNT) {
        const uint32_t index = c - HANGUL_BASE;
        out.push_back(L_BASE + index / N_COUNT);
        out.push_back(V_BASE + (index % N_COUNT) / T_COUNT);
        if (index % T_COUNT != 0) {
            out.push_back(T_BASE + index % T_COUNT);
        }
        return;
    }
    const NFCDecomposition* d = findDecomposition(c);
    if (d == nullptr) {
        out.push_back(c);
        return;
    }
    decompose(d->first, out);  // at most a few levels deep in the data
    if (d->second != 0) {
        out.push_back(d->second);
    }
}

// The canonical order: a stable sort of each run of non-starters by class.
void reorder(std::vector<uint32_t>& codes) {
    size_t i = 0;
    while (i < codes.size()) {
        if (combiningClass(codes[i]) == 0) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < codes.size() && combiningClass(codes[end]) != 0) {
            ++end;
        }
        std::stable_sort(codes.begin() + i, codes.begin() + end, [](uint32_t a, uint32_t b) {
            return combiningClass(a) < combiningClass(b);
        });
        i = end;
    }
}

uint32_t composePair(uint32_t first, uint32_t second) {
    if (first >= L_BASE && first < L_BASE + L_COUNT && second >= V_BASE &&
        second < V_BASE + V_COUNT) {
        return HANGUL_BASE + ((first - L_BASE) * V_COUNT + (second - V_BASE)) * T_COUNT;
    }
    if (first >= HANGUL_BASE && first < HANGUL_BASE + HANGUL_COUNT &&
        (first - HANGUL_BASE) % T_COUNT == 0 && second > T_BASE && second < T_BASE + T_COUNT) {
        return first + (second - T_BASE);
    }
    const NFCComposition* end = NFC_COMPOSITIONS + NFC_COMPOSITION_COUNT;
    const NFCComposition* found =
        std::lower_bound(NFC_COMPOSITIONS, end, std::make_pair(first, second),
                         [](const NFCComposition& entry, const std::pair<uint32_t, uint32_t>& key) {
                             return entry.first < key.first ||
                                    (entry.first == key.first && entry.second < key.second);
                         });
    return found != end && found->first == first && found->second == second ? found->composed : 0;
}

// Each character joins the last starter unless a character between them
// has a class as high as its own (it is blocked).
void compose(std::vector<uint32_t>& codes) {
    if (codes.empty()) {
        return;
    }
    size_t starter = 0;
    size_t out = 1;
    int lastClass = combiningClass(codes[0]) == 0 ? 0 : 256;
    for (size_t i = 1; i < codes.size(); ++i) {
        const uint32_t c = codes[i];
        const int cls = combiningClass(c);
        const bool blocked = lastClass != 0 && lastClass >= cls;
        const uint32_t composed = lastClass == 256 || blocked ? 0 : composePair(codes[starter], c);
        if (composed != 0 && (out == starter + 1 || !blocked)) {
            codes[starter] = composed;
            continue;
        }
        if (cls == 0) {
            starter = out;
        }
        lastClass = cls;
        codes[out++] = c;
    }
    codes.resize(out);
}

bool isASCII(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string normalizeNFC(const std::string& text) {
    if (isASCII(text.data(), text.size())) {
        return text;
    }
    std::vector<uint32_t> codes;
    const char* p = text.data();
    const char* end = p + text.size();
    std::string invalid;
    while (p < end) {
        uint32_t c;
        const size_t length = xml::syntax::decodeUTF8(p, end, c);
        if (length == 0) {
            return text;  // not UTF-8: nothing to normalise by
        }
        decompose(c, codes);
        p += length;
    }
    reorder(codes);
    compose(codes);
    std::string out;
    out.reserve(text.size());
    for (uint32_t c : codes) {
        xml::syntax::appendUTF8(out, c);
    }
    return out;
}

bool isNFC(const char* text, size_t length) {
    if (isASCII(text, length)) {
        return true;
    }
    const std::string copy(text, length);
    return normalizeNFC(copy) == copy;
}

bool isNFC(const std::string& text) {
    return isNFC(text.data(), text.size());
}

}  // namespace message
}  // namespace i18n
}  // namespace kavri
