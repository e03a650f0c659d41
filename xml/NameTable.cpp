#include "xml/NameTable.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace kavri {
namespace xml {

namespace {

// A kept name with its hash, so that a probe compares bytes only on a hash
// that matches.
struct Slot {
    uint64_t hash;
    const std::string* name;
};

// Open addressing over a power-of-two number of slots, at most half full.
struct Table {
    std::vector<Slot> slots = std::vector<Slot>(256, Slot{0, nullptr});
    size_t count = 0;
    size_t bytes = 0;
};

// Made on the first use (under the reader's lock, as every use) and never
// destroyed: the names outlive every node, also nodes that static objects of
// the caller hold until the process ends.
Table* gTable = nullptr;

uint64_t mix(uint64_t x) {
    x ^= x >> 32;
    x *= 0x9E3779B97F4A7C15ull;
    return x ^ (x >> 29);
}

// Names are short: read as a few words rather than byte by byte, the last
// word overlapping the one before (every byte counts, none is read twice in
// a way that could make two names alike).
inline __attribute__((always_inline)) uint64_t hashOf(const char* name, size_t length) {
    uint64_t hash = length;
    if (length >= 8) {
        for (size_t at = 0; at + 8 < length; at += 8) {
            hash = mix(hash ^ NameTable::load<uint64_t>(name + at));
        }
        return mix(hash ^ NameTable::load<uint64_t>(name + length - 8) ^ (hash << 7));
    }
    if (length >= 4) {
        return mix(hash ^ (static_cast<uint64_t>(NameTable::load<uint32_t>(name)) << 32 |
                           NameTable::load<uint32_t>(name + length - 4)));
    }
    if (length > 0) {
        const auto byte = [name](size_t at) {
            return static_cast<uint64_t>(static_cast<unsigned char>(name[at]));
        };
        return mix(hash ^ (byte(0) << 16 | byte(length / 2) << 8 | byte(length - 1)));
    }
    return mix(hash);
}

inline size_t slotOf(const std::vector<Slot>& slots, const char* name, size_t length,
                     uint64_t hash) {
    const size_t mask = slots.size() - 1;
    size_t at = static_cast<size_t>(hash) & mask;
    while (slots[at].name != nullptr &&
           !(slots[at].hash == hash && slots[at].name->size() == length &&
             syntax::sameName(slots[at].name->data(), name, length))) {
        at = (at + 1) & mask;
    }
    return at;
}

void grow(Table& kept) {
    std::vector<Slot> larger(2 * kept.slots.size(), Slot{0, nullptr});
    const size_t mask = larger.size() - 1;
    for (const Slot& slot : kept.slots) {
        if (slot.name != nullptr) {
            size_t at = static_cast<size_t>(slot.hash) & mask;
            while (larger[at].name != nullptr) {
                at = (at + 1) & mask;
            }
            larger[at] = slot;
        }
    }
    kept.slots.swap(larger);
}

// The slow way of intern: a name not kept yet (or no table yet).
__attribute__((noinline)) const std::string* keep(const char* name, size_t length) {
    if (length > NameTable::MAX_LENGTH) {
        return nullptr;
    }
    if (gTable == nullptr) {
        gTable = new Table();
    }
    Table& kept = *gTable;
    const uint64_t hash = hashOf(name, length);
    size_t at = slotOf(kept.slots, name, length, hash);
    if (kept.slots[at].name != nullptr) {
        return kept.slots[at].name;
    }
    if (kept.count == NameTable::MAX_NAMES || kept.bytes + length > NameTable::MAX_BYTES) {
        return nullptr;
    }
    if (2 * (kept.count + 1) > kept.slots.size()) {
        grow(kept);
        at = slotOf(kept.slots, name, length, hash);
    }
    std::unique_ptr<std::string> copy(new std::string(name, length));
    kept.slots[at] = Slot{hash, copy.release()};
    ++kept.count;
    kept.bytes += length;
    return kept.slots[at].name;
}

const std::string* lookUp(const char* name, size_t length) {
    if (gTable != nullptr && length <= NameTable::MAX_LENGTH) {
        const std::vector<Slot>& slots = gTable->slots;
        const uint64_t hash = hashOf(name, length);
        const size_t at = slotOf(slots, name, length, hash);
        if (slots[at].name != nullptr) {
            return slots[at].name;
        }
    }
    return keep(name, length);
}

}  // namespace

const std::string* NameTable::sRecent[256] = {};

const std::string* NameTable::internAndRemember(const char* name, size_t length,
                                                const std::string*& recent) {
    const std::string* kept = lookUp(name, length);
    if (kept != nullptr) {
        recent = kept;
    }
    return kept;
}

}  // namespace xml
}  // namespace kavri
