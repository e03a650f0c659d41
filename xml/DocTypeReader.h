// DocTypeReader reads a document type declaration for the conforming
// reader (WellFormedReader): the name and external identifier, and the
// internal subset. Entity declarations (general and parameter) fill its
// entity tables; internal parameter entities are expanded between
// declarations; attribute-list declarations give the defaults supplied to
// elements and say which values are tokenized; element and notation
// declarations are checked. After a reference to a parameter entity it
// cannot read, later declarations are checked but not used. It also expands
// entities where the document references them: the depth, recursion and
// size limits live here, and attribute values are read here, since the
// defaults of the subset are attribute values too.
//
// The tables are the reader's own; the replacement texts they hold stand
// until the reader goes. Internal to the reader (the header is not
// installed).
//
//   readDocType(p, end, doc);         // "<!DOCTYPE" at p
//   const Entity* e = enterEntity(at, name, false); ... leaveEntity();
#ifndef KAVRIXML_XML_DOCTYPEREADER_H
#define KAVRIXML_XML_DOCTYPEREADER_H

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "xml/WellFormedInput.h"

namespace kavri {
namespace xml {

class Document;

class DocTypeReader : public WellFormedInput {
  public:
    // Entity references nest at most this deep: the document's own
    // reference is level 1.
    static constexpr int MAX_ENTITY_DEPTH = 8;

  protected:
    struct Entity {
        std::string value;  // the replacement text of an internal entity
        bool external = false;
        bool unparsed = false;
    };
    struct AttributeDecl {
        std::string name;
        std::string value;  // the default, normalised
        bool tokenized = false;
        bool hasDefault = false;
    };

    explicit DocTypeReader(const std::string& text);

    // "<!DOCTYPE" ... ">" at p, into the document's name and identifiers.
    void readDocType(const char*& p, const char* end, Document* doc);

    // Entities referenced in the document: entering one checks the limits
    // and returns its declaration; an undeclared one is a fault only when
    // nothing unread could have declared it.
    const Entity* enterEntity(const char* at, const std::string& name, bool parameter);
    void leaveEntity();
    bool entityMustBeDeclared() const;

    // A quoted attribute value, normalised: references resolved, white
    // space written as such read as blanks.
    void readAttributeValue(const char*& p, const char* end, std::string& out);
    // Blanks trimmed and runs of blanks made one, as tokenized values read.
    static void collapseBlanks(std::string& value);

    std::map<std::string, Entity, std::less<>> mEntities;
    std::map<std::string, std::vector<AttributeDecl>, std::less<>> mAttributes;
    bool mStandalone = false;

  private:
    void readExternalId(const char*& p, const char* end, std::string& publicId,
                        std::string& systemId, bool notation);
    void readSubset(const char*& p, const char* end, bool inEntity);
    void readParameterReference(const char*& p, const char* end);
    void readEntityDecl(const char*& p, const char* end);
    void readEntityValue(const char*& p, const char* end, const char* start, std::string& value);
    void readAttlistDecl(const char*& p, const char* end);
    void readChoice(const char*& p, const char* end, bool tokens, const char* what);
    void readAttributeType(const char*& p, const char* end, AttributeDecl& decl);
    void readDefaultDecl(const char*& p, const char* end, AttributeDecl& decl);
    void readElementDecl(const char*& p, const char* end);
    void readContentParticle(const char*& p, const char* end, int level);
    void readNotationDecl(const char*& p, const char* end);
    void expandInValue(const char* p, const char* end, std::string& out, char quote,
                       const char*& stop);
    void expandReferenceInValue(const char*& p, const char* end, std::string& out);

    const size_t mExpansionLimit;
    size_t mExpanded = 0;
    std::map<std::string, Entity, std::less<>> mParameters;
    std::vector<std::string> mExpanding;  // entities being expanded, outermost first
    bool mExternalSubset = false;
    bool mParameterReference = false;
    bool mProcessDeclarations = true;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_DOCTYPEREADER_H
