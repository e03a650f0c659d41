#include "xml/EntityTable.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "xml/XMLException.h"
#include "xml/syntax/XMLSyntax.h"

namespace kavri {
namespace xml {

namespace {

using syntax::isBlank;
using syntax::isQuote;
using syntax::past;
using syntax::startsWith;

// Bytes that may stand in a reference's name (or a character reference's
// number) between '&' and ';'.
bool isReferenceByte(char c) {
    return !isBlank(c) && c != ';' && c != '&' && c != '<' && c != '>' && !isQuote(c);
}

// From just after a declaration's keyword to just after its ">", passing
// over quoted literals; null when the declaration never ends.
const char* skipDeclaration(const char* p, const char* end) {
    while (p < end && *p != '>') {
        if (isQuote(*p)) {
            const void* close = std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1));
            if (close == nullptr) {
                return nullptr;
            }
            p = static_cast<const char*>(close);
        }
        ++p;
    }
    return p < end ? p + 1 : nullptr;
}

}  // namespace

// What one expansion carries down the nested references.
struct EntityTable::Expansion {
    Expansion(std::string& text, size_t most) : out(text), limit(most) {}

    std::string& out;
    size_t limit;
    size_t references = 0;
    std::vector<const Entity*> active;  // the entities being expanded, outermost first
    const char* topReference = nullptr;

    void append(const char* from, const char* to) {
        out.append(from, to);
        checkLimit();
    }
    // Copies the bytes from `p` up to the first one that `stops`; returns
    // where it stopped.
    template <typename Stop>
    const char* copyUntil(const char* p, const char* end, Stop stops) {
        const char* stop = p;
        while (stop < end && !stops(*stop)) {
            ++stop;
        }
        append(p, stop);
        return stop;
    }
    void append(const char* text) {
        out.append(text);
        checkLimit();
    }
    // A reference counts as a byte, so that empty entities referenced a
    // billion times are refused as soon as large ones are.
    void checkLimit() const {
        if (out.size() + references > limit) {
            throw XMLException("Entity expansion exceeds the limit of %zu bytes", limit);
        }
    }
};

// --- The internal subset ----------------------------------------------------

const char* EntityTable::readSubset(const char* p, const char* end, const char*& failedAt) {
    for (;;) {
        p = syntax::skipBlanks(p, end);
        if (p == end) {
            failedAt = p;
            throw XMLException("Unterminated internal subset in DOCTYPE");
        }
        if (*p == ']') {
            return p + 1;
        }
        const syntax::Markup markup = syntax::markupAt(p, end);
        const char* after = nullptr;
        if (markup != syntax::MARKUP_NONE) {
            after = syntax::markupEnd(markup, p, end);
        } else if (*p == '%') {
            after = past(p + 1, end, ";");  // a parameter entity: nothing is fetched
        } else if (startsWith(p, end, "<!ENTITY") && end - p > 8 && isBlank(p[8])) {
            after = readEntity(p + 8, end, failedAt);
        } else if (startsWith(p, end, "<!")) {
            after = skipDeclaration(p + 2, end);
        } else {
            failedAt = p;
            throw XMLException("Invalid internal subset in DOCTYPE");
        }
        if (after == nullptr) {
            failedAt = p;
            throw XMLException("Unterminated declaration in DOCTYPE");
        }
        p = after;
    }
}

const char* EntityTable::readEntity(const char* p, const char* end, const char*& failedAt) {
    p = syntax::skipBlanks(p, end);
    if (p < end && *p == '%') {
        return skipDeclaration(p, end);  // parameter entities only serve DTDs
    }
    const char* const name = p;
    while (p < end && !isBlank(*p) && !isQuote(*p) && *p != '>') {
        ++p;
    }
    const std::string entityName(name, p);
    p = syntax::skipBlanks(p, end);
    Entity entity;
    if (p < end && isQuote(*p) && !entityName.empty()) {
        const void* close = std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1));
        if (close == nullptr) {
            return nullptr;
        }
        // "&#60;" in a value is the character "<" of the replacement text,
        // read as markup where the entity is referenced. References to other
        // entities stay as written until then.
        syntax::decodeCharacterReferences(
            p + 1, static_cast<size_t>(static_cast<const char*>(close) - p - 1), entity.value);
        p = static_cast<const char*>(close) + 1;
    } else if (!entityName.empty() &&
               (startsWith(p, end, "SYSTEM") || startsWith(p, end, "PUBLIC"))) {
        entity.external = true;
    } else {
        failedAt = name;
        throw XMLException("Invalid entity declaration %s", entityName.c_str());
    }
    const char* after = skipDeclaration(p, end);
    // The first declaration of a name binds; the five predefined entities
    // keep their meaning.
    if (after != nullptr && !syntax::isPredefinedEntity(entityName.data(), entityName.size())) {
        mEntities.emplace(entityName, std::move(entity));
    }
    return after;
}

// --- Expansion ----------------------------------------------------------------

const EntityTable::Entity* EntityTable::find(const char* name, size_t length) const {
    auto found = mEntities.find(std::string_view(name, length));
    return found != mEntities.end() ? &found->second : nullptr;
}

void EntityTable::expand(const char* p, const char* end, std::string& out, size_t limit,
                         const char*& failedAt) const {
    Expansion expansion(out, limit);
    try {
        expandContent(p, end, expansion);
    } catch (...) {
        failedAt = expansion.topReference;
        throw;
    }
}

void EntityTable::expandContent(const char* p, const char* end, Expansion& expansion) const {
    while (p < end) {
        p = expansion.copyUntil(p, end, [](char c) { return c == '<' || c == '&'; });
        if (p == end) {
            break;
        }
        if (*p == '&') {
            p = expandReference(p, end, false, '\0', expansion);
            continue;
        }
        // Markup whose text is never expanded.
        const syntax::Markup markup = syntax::markupAt(p, end);
        const char* after = p;
        if (markup != syntax::MARKUP_NONE) {
            after = syntax::markupEnd(markup, p, end);
        } else if (startsWith(p, end, syntax::CDATA_START)) {
            after = past(p + sizeof syntax::CDATA_START - 1, end, syntax::CDATA_END);
        }
        if (after != p) {
            after = after != nullptr ? after : end;
            expansion.append(p, after);
            p = after;
            continue;
        }
        // A tag: its quoted values are expanded, the rest copied up to ">".
        const char* q = p + 1;
        for (;;) {
            while (q < end && *q != '>' && !isQuote(*q)) {
                ++q;
            }
            if (q == end || *q == '>') {
                break;
            }
            const char quote = *q;
            expansion.append(p, q + 1);
            const void* found = std::memchr(q + 1, quote, static_cast<size_t>(end - q - 1));
            const char* close = found != nullptr ? static_cast<const char*>(found) : end;
            expandValue(q + 1, close, quote, false, expansion);
            p = q = close;
            if (q == end) {
                break;
            }
            ++q;  // the closing quote goes with the next run
        }
        if (q < end) {
            ++q;
        }
        expansion.append(p, q);
        p = q;
    }
}

// An attribute value between `quote`s. Text that came from an entity
// (`replaced`) may hold the quote or "<", which the value's own bytes cannot:
// they are written as references, so that the value reads back as the entity
// gave it.
void EntityTable::expandValue(const char* p, const char* end, char quote, bool replaced,
                              Expansion& expansion) const {
    while (p < end) {
        p = expansion.copyUntil(p, end, [quote, replaced](char c) {
            return c == '&' || (replaced && (c == quote || c == '<'));
        });
        if (p == end) {
            break;
        }
        if (*p == '&') {
            p = expandReference(p, end, true, quote, expansion);
            continue;
        }
        expansion.append(*p == '<' ? "&lt;" : *p == '"' ? "&quot;" : "&apos;");
        ++p;
    }
}

// At '&': a reference to a declared entity is replaced by its value, itself
// expanded; anything else is copied as written.
const char* EntityTable::expandReference(const char* p, const char* end, bool inValue, char quote,
                                         Expansion& expansion) const {
    const char* const name = p + 1;
    const char* q = name;
    while (q < end && isReferenceByte(*q)) {
        ++q;
    }
    if (q == name || q == end || *q != ';') {
        expansion.append(p, p + 1);
        return p + 1;
    }
    const Entity* entity = find(name, static_cast<size_t>(q - name));
    if (entity == nullptr || entity->external) {
        expansion.append(p, q + 1);
        return q + 1;
    }
    if (expansion.active.empty()) {
        expansion.topReference = p;
    }
    for (const Entity* active : expansion.active) {
        if (active == entity) {
            throw XMLException("Entity %s refers to itself", std::string(name, q).c_str());
        }
    }
    if (static_cast<int>(expansion.active.size()) >= MAX_DEPTH) {
        throw XMLException("Entity references nested deeper than %d levels at &%s;", MAX_DEPTH,
                           std::string(name, q).c_str());
    }
    ++expansion.references;
    expansion.checkLimit();
    const std::string& value = entity->value;
    expansion.active.push_back(entity);
    if (inValue) {
        expandValue(value.data(), value.data() + value.size(), quote, true, expansion);
    } else {
        expandContent(value.data(), value.data() + value.size(), expansion);
    }
    expansion.active.pop_back();
    return q + 1;
}

}  // namespace xml
}  // namespace kavri
