#include "xml/NameTable.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace kavri {
namespace xml {

namespace {

// Open addressing over a power-of-two number of slots, at most half full.
struct Table {
    std::vector<const std::string*> slots = std::vector<const std::string*>(1024, nullptr);
    size_t count = 0;
    size_t bytes = 0;
};

// Made once and never destroyed: the names outlive every node, also nodes
// that static objects of the caller hold until the process ends.
Table& table() {
    static Table* instance = new Table();
    return *instance;
}

uint64_t hashOf(const char* name, size_t length) {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (size_t i = 0; i < length; ++i) {
        hash = (hash ^ static_cast<unsigned char>(name[i])) * 1099511628211ull;
    }
    return hash;
}

size_t slotOf(const std::vector<const std::string*>& slots, const char* name, size_t length,
              uint64_t hash) {
    const size_t mask = slots.size() - 1;
    size_t at = static_cast<size_t>(hash) & mask;
    while (slots[at] != nullptr &&
           !(slots[at]->size() == length && std::memcmp(slots[at]->data(), name, length) == 0)) {
        at = (at + 1) & mask;
    }
    return at;
}

void grow(Table& kept) {
    std::vector<const std::string*> larger(2 * kept.slots.size(), nullptr);
    for (const std::string* name : kept.slots) {
        if (name != nullptr) {
            larger[slotOf(larger, name->data(), name->size(), hashOf(name->data(), name->size()))] =
                name;
        }
    }
    kept.slots.swap(larger);
}

}  // namespace

const std::string* NameTable::intern(const char* name, size_t length) {
    if (length > MAX_LENGTH) {
        return nullptr;
    }
    Table& kept = table();
    const uint64_t hash = hashOf(name, length);
    size_t at = slotOf(kept.slots, name, length, hash);
    if (kept.slots[at] != nullptr) {
        return kept.slots[at];
    }
    if (kept.count == MAX_NAMES || kept.bytes + length > MAX_BYTES) {
        return nullptr;
    }
    if (2 * (kept.count + 1) > kept.slots.size()) {
        grow(kept);
        at = slotOf(kept.slots, name, length, hash);
    }
    std::unique_ptr<std::string> copy(new std::string(name, length));
    kept.slots[at] = copy.release();
    ++kept.count;
    kept.bytes += length;
    return kept.slots[at];
}

}  // namespace xml
}  // namespace kavri
