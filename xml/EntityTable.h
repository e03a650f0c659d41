// EntityTable holds the general entities that a document's internal subset
// declares (<!ENTITY name "value">) and puts their values in place of the
// references to them, for the lenient reader. It reads the internal subset
// itself: entity declarations are kept, every other declaration, comment,
// processing instruction and parameter-entity reference is passed over.
//
// Nothing outside the document is ever read. An entity declared with SYSTEM
// or PUBLIC (an external one) is known but has no value here: a reference to
// it is kept as written, as a reference to an undeclared entity is.
//
// Expansion is bounded, so that a small document cannot make the reader
// build a huge one (nested entities that double at each level, one large
// entity referenced many times): references nest at most MAX_DEPTH deep, no
// entity may refer to itself, and the expanded text, counted with one byte
// more per reference, may not grow past the limit the caller gives.
//
// Internal to the reader: DOMParser is its only user (the header is not
// installed).
//
//   EntityTable entities;
//   const char* after = entities.readSubset(afterBracket, end);
//   entities.expand(content, end, out, limit, failedAt);
#ifndef KAVRIXML_XML_ENTITYTABLE_H
#define KAVRIXML_XML_ENTITYTABLE_H

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace kavri {
namespace xml {

class EntityTable {
  public:
    // References inside entity values nest at most this deep: the document's
    // own reference is level 1.
    static constexpr int MAX_DEPTH = 8;

    // Reads the declarations from `p` (just after the subset's "[") to the
    // closing "]" and returns the place after it. Throws XMLException for an
    // unterminated subset or declaration; `failedAt` is then where the fault
    // lies.
    const char* readSubset(const char* p, const char* end, const char*& failedAt);

    bool empty() const { return mEntities.empty(); }
    void clear() { mEntities.clear(); }

    // Appends [p, end), XML content, to `out` with the references to declared
    // entities replaced by their values, in text and in attribute values;
    // comments, CDATA sections and processing instructions are copied as
    // they are. Throws XMLException past the limits; `failedAt` is then the
    // document's reference that led there.
    void expand(const char* p, const char* end, std::string& out, size_t limit,
                const char*& failedAt) const;

  private:
    struct Entity {
        std::string value;  // character references already resolved
        bool external = false;
    };
    struct Expansion;

    const char* readEntity(const char* p, const char* end, const char*& failedAt);
    const Entity* find(const char* name, size_t length) const;
    void expandContent(const char* p, const char* end, Expansion& expansion) const;
    void expandValue(const char* p, const char* end, char quote, bool replaced,
                     Expansion& expansion) const;
    const char* expandReference(const char* p, const char* end, bool inValue, char quote,
                                Expansion& expansion) const;

    std::map<std::string, Entity, std::less<>> mEntities;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_ENTITYTABLE_H
