// Internal to the library (the reader and the tree use it); applications
// never include this header.
//
// NameTable keeps one copy of each element and attribute name the reader
// meets, for the life of the process, so that the many elements and
// attributes of a document that bear the same name share it instead of each
// holding a copy (a name is then 8 bytes of a node or attribute rather than a
// string of 32 and, past 15 bytes, a heap block).
//
//   core::internal::NameRef name = NameTable::nameOf(bytes, length);   // shared or own
//
// Only the reader fills the table, and only while it holds DOMParser::gCS,
// which is held for the whole of every parse; that lock is the table's lock
// too. Kept names are never changed or freed, so the nodes that share them
// are read without any lock. The table is bounded: past MAX_NAMES names or
// MAX_BYTES bytes of names, and for names longer than MAX_LENGTH, intern
// answers null and the caller makes its own copy, so that a process that
// reads documents of ever new names does not grow without end.
#ifndef KAVRIXML_XML_NAMETABLE_H
#define KAVRIXML_XML_NAMETABLE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "framework/plinth/internal/NameRef.h"
#include "syntax/XMLSyntax.h"

namespace kavri {
namespace xml {

class NameTable {
  public:
    static constexpr size_t MAX_NAMES = 1 << 16;
    static constexpr size_t MAX_BYTES = 4 << 20;
    static constexpr size_t MAX_LENGTH = 256;

    // The kept name of these bytes (kept now when new), or null when the
    // table takes no more. Caller holds DOMParser::gCS; throws
    // std::bad_alloc, keeping nothing, when memory runs out.
    //
    // Documents repeat a few names over and over: the names met last are
    // remembered by a hash of a few bytes, and a hit there, checked inline,
    // skips the table.
    static const std::string* intern(const char* name, size_t length) {
        const std::string*& recent = sRecent[recentSlot(name, length)];
        if (recent != nullptr && recent->size() == length &&
            syntax::sameName(recent->data(), name, length)) {
            return recent;
        }
        return internAndRemember(name, length, recent);
    }
    // The kept name when there is one, an own copy otherwise.
    static ::core::internal::NameRef nameOf(const char* name, size_t length) {
        const std::string* kept = intern(name, length);
        return kept != nullptr ? ::core::internal::NameRef::sharing(kept)
                               : ::core::internal::NameRef::copyOf(name, length);
    }

    template <class Word>
    static Word load(const char* bytes) {
        Word value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

  private:
    static size_t recentSlot(const char* name, size_t length) {
        if (length == 0) {
            return 0;
        }
        const unsigned first = static_cast<unsigned char>(name[0]);
        const unsigned last = static_cast<unsigned char>(name[length - 1]);
        return (length * 37 + first * 11 + last) & 255;
    }
    // intern past a miss of the recent names; `recent` gets the kept name.
    static const std::string* internAndRemember(const char* name, size_t length,
                                                const std::string*& recent);

    static const std::string* sRecent[256];
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_NAMETABLE_H
