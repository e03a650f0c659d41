#include "xml/DocTypeReader.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "syntax/XMLChars.h"
#include "syntax/XMLScan.h"
#include "syntax/XMLSyntax.h"
#include "xml/Document.h"

namespace kavri {
namespace xml {

using syntax::skipPlain;
using syntax::startsWith;

DocTypeReader::DocTypeReader(const std::string& text)
    : WellFormedInput(text), mExpansionLimit(std::max<size_t>(10 * text.size(), size_t(1) << 20)) {}

void DocTypeReader::collapseBlanks(std::string& value) {
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

// --- Declarations ------------------------------------------------------------------

void DocTypeReader::readDocType(const char*& p, const char* end, Document* doc) {
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
void DocTypeReader::readExternalId(const char*& p, const char* end, std::string& publicId,
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
void DocTypeReader::readSubset(const char*& p, const char* end, bool inEntity) {
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
void DocTypeReader::readParameterReference(const char*& p, const char* end) {
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

void DocTypeReader::readEntityDecl(const char*& p, const char* end) {
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
        readEntityValue(p, end, start, entity.value);
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
    if (!mProcessDeclarations ||
        (!parameter && syntax::predefinedEntity(name.data(), name.size()) != 0)) {
        return;
    }
    auto& table = parameter ? mParameters : mEntities;
    table.emplace(name, std::move(entity));  // the first declaration binds
}

// EntityValue: character references (as in text: "x" alone marks hexadecimal)
// resolved here, where the entity is declared; entity references kept until
// it is referenced; parameter-entity references not allowed here (the
// internal subset's rule).
void DocTypeReader::readEntityValue(const char*& p, const char* end, const char* start,
                                    std::string& value) {
    const char quote = *p++;
    for (;;) {
        const char* run = p;
        while (p < end && *p != quote && *p != '&' && *p != '%') {
            ++p;
        }
        checkRun(run, p);
        value.append(run, p);
        if (p == end) {
            fail(start, "Unterminated entity value [EntityValue]");
        }
        if (*p == quote) {
            ++p;
            return;
        }
        if (*p == '%') {
            fail(p, "Parameter-entity reference in an entity value [WFC: PEs in Internal Subset]");
        }
        if (p + 1 < end && p[1] == '#') {
            syntax::appendUTF8(value, readCharRef(p, end));
            continue;
        }
        const char* ref = p++;
        std::string referenced;
        readName(p, end, referenced, "entity");
        if (p == end || *p != ';') {
            fail(p, "';' expected after an entity reference [EntityRef]");
        }
        ++p;
        value.append(ref, p);
    }
}

void DocTypeReader::readAttlistDecl(const char*& p, const char* end) {
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
        readAttributeType(p, end, decl);
        requireSpace(p, end, "an attribute definition [AttDef]");
        readDefaultDecl(p, end, decl);
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

// A name, or several, between "(" and ")", separated by "|": an enumeration
// of name tokens or the notations of a notation type.
void DocTypeReader::readChoice(const char*& p, const char* end, bool tokens, const char* what) {
    for (;;) {
        skipSpace(p, end);
        if (tokens) {
            readNmtoken(p, end, "enumerated value");
        } else {
            std::string notation;
            readName(p, end, notation, "notation");
        }
        skipSpace(p, end);
        if (p < end && *p == '|') {
            ++p;
            continue;
        }
        expect(p, end, ")", what);
        return;
    }
}

// AttType: an enumeration or a type's keyword (and a notation type's names).
void DocTypeReader::readAttributeType(const char*& p, const char* end, AttributeDecl& decl) {
    if (p < end && *p == '(') {
        decl.tokenized = true;
        ++p;
        readChoice(p, end, true, "an enumeration [Enumeration]");
        return;
    }
    std::string type;
    readName(p, end, type, "attribute type");
    static const char* const TYPES[] = {"CDATA",    "ID",      "IDREF",    "IDREFS",  "ENTITY",
                                        "ENTITIES", "NMTOKEN", "NMTOKENS", "NOTATION"};
    if (std::find_if(std::begin(TYPES), std::end(TYPES),
                     [&](const char* t) { return type == t; }) == std::end(TYPES)) {
        fail(p - type.size(), "Unknown attribute type %s [AttType]", type.c_str());
    }
    decl.tokenized = type != "CDATA";
    if (type == "NOTATION") {
        requireSpace(p, end, "a notation type [NotationType]");
        expect(p, end, "(", "a notation type [NotationType]");
        readChoice(p, end, false, "a notation type [NotationType]");
    }
}

// DefaultDecl: #REQUIRED, #IMPLIED, or a default value (#FIXED or not).
void DocTypeReader::readDefaultDecl(const char*& p, const char* end, AttributeDecl& decl) {
    if (startsWith(p, end, "#REQUIRED")) {
        p += 9;
        return;
    }
    if (startsWith(p, end, "#IMPLIED")) {
        p += 8;
        return;
    }
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

void DocTypeReader::readElementDecl(const char*& p, const char* end) {
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
void DocTypeReader::readContentParticle(const char*& p, const char* end, int level) {
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

void DocTypeReader::readNotationDecl(const char*& p, const char* end) {
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

bool DocTypeReader::entityMustBeDeclared() const {
    return mStandalone || (!mExternalSubset && !mParameterReference);
}

const DocTypeReader::Entity* DocTypeReader::enterEntity(const char* at, const std::string& name,
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

void DocTypeReader::leaveEntity() {
    mExpanding.pop_back();
    if (mExpanding.empty()) {
        mReferenceAt = nullptr;
    }
}

// A quoted attribute value, normalised: references resolved, white space
// written as such read as blanks.
void DocTypeReader::readAttributeValue(const char*& p, const char* end, std::string& out) {
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
void DocTypeReader::expandInValue(const char* p, const char* end, std::string& out, char quote,
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
        expandReferenceInValue(p, end, out);
    }
}

// The entity reference at `p` in an attribute value, expanded into `out`.
void DocTypeReader::expandReferenceInValue(const char*& p, const char* end, std::string& out) {
    const char* const at = p;
    ++p;
    std::string name;
    readName(p, end, name, "entity");
    if (p == end || *p != ';') {
        fail(p, "';' expected after an entity reference [EntityRef]");
    }
    ++p;
    if (const char predefinedChar = syntax::predefinedEntity(name.data(), name.size())) {
        out += predefinedChar;
        return;
    }
    const auto found = mEntities.find(name);
    if (found == mEntities.end()) {
        if (entityMustBeDeclared()) {
            fail(at, "Entity %s not declared [WFC: Entity Declared]", name.c_str());
        }
        out.append(at, p);  // kept as written
        return;
    }
    if (found->second.external) {
        fail(at,
             "Reference to external entity %s in an attribute value [WFC: No External "
             "Entity References]",
             name.c_str());
    }
    const Entity* entity = enterEntity(at, name, false);
    const char* none = nullptr;
    expandInValue(entity->value.data(), entity->value.data() + entity->value.size(), out, 0, none);
    leaveEntity();
}

}  // namespace xml
}  // namespace kavri
