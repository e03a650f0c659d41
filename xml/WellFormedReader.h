// WellFormedReader reads a whole document for lenient reading, as a
// conforming non-validating XML 1.0 (fifth edition) processor that reads no
// external entity: every well-formedness constraint is checked, and a
// document that breaks one is refused with the rule's name and the place.
// What it reads goes into the Document: the declaration (version and
// encoding as the tree holds them: "1.0", "UTF-8"), the DOCTYPE's name and
// identifiers, and the elements with their attributes, body text and CDATA.
//
// It reads the internal subset: entities (general and parameter, internal
// ones expanded where they are referenced, as the rules say), attribute-list
// declarations (their defaults are supplied to elements that lack the
// attribute, and values of tokenized types are normalised), and checks the
// syntax of element and notation declarations. After a reference to a
// parameter entity it cannot read, later entity and attribute-list
// declarations are checked but not used. A reference to an external entity,
// or to one that only an unread external subset could declare, is kept as
// written.
//
// A fragment (readFragment) is read as an element's content, into a node
// the caller gives.
//
// The text must be UTF-8 with LF line ends (LenientReader brings it there).
// Internal to the reader (the header is not installed).
//
//   WellFormedReader reader(text, maxDepth, trimBodies);
//   reader.read(doc, failOffset);  // throws XMLException
#ifndef KAVRIXML_XML_WELLFORMEDREADER_H
#define KAVRIXML_XML_WELLFORMEDREADER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "xml/TreeBuilder.h"

namespace kavri {
namespace xml {

class Document;
class XNode;

class WellFormedReader {
  public:
    // Entity references nest at most this deep: the document's own
    // reference is level 1.
    static constexpr int MAX_ENTITY_DEPTH = 8;

    WellFormedReader(const std::string& text, int maxDepth, bool trimBodies);
    WellFormedReader(const WellFormedReader&) = delete;
    WellFormedReader& operator=(const WellFormedReader&) = delete;

    // Texts are read thirty-two bytes at a time with AVX2 where the
    // processor has it, sixteen at a time otherwise. Turning the wide reading
    // off lets tests compare the two; the answer is whether it was on.
    static bool setWideText(bool wide);

    // Reads the document into `doc`. Throws XMLException for a document that
    // is not well-formed; `failOffset` is then the place in the text (for a
    // fault inside an entity's replacement text, the document's reference
    // that led there).
    void read(Document* doc, size_t& failOffset);

    // Reads a fragment into `node`, which belongs to the document being
    // made: its content, as an element's content is read, up to the end of
    // the text or an end tag that no element of the fragment began (the end
    // tag of the element the fragment stands in). There is no DOCTYPE, so
    // only the predefined entities may be referenced. Throws XMLException
    // as read does.
    void readFragment(XNode* node, size_t& failOffset);

    // Called with the number of elements open, the fragment's node counting
    // as one, each time more are open than ever before in this read: room
    // for a walk of that depth can then be made before anything fails.
    void onDeeper(std::function<void(size_t)> callback) { mOnDeeper = std::move(callback); }

  private:
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
    // An open element; its name stands in the document, in an entity's
    // replacement text or in the fragment's node, which all outlive the read.
    struct Open {
        XNode* node;
        const char* name;
        size_t nameLength;
    };
    // An attribute of the tag being read: its value stands in the input or,
    // when `buffer` is not NO_BUFFER, in mValues[buffer].
    struct TagAttribute {
        const char* name;
        size_t nameLength;
        const char* value;
        size_t valueLength;
        size_t buffer;
    };

    [[noreturn]] void fail(const char* at, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

    // Characters, names, literals.
    const char* checkChars(const char* p, const char* end, const char* stop, bool& stopped);
    void checkRun(const char* p, const char* end);
    size_t checkChar(const char* p, const char* end);
    uint32_t readCharRef(const char*& p, const char* end);
    const char* scanName(const char* p, const char* end, const char* what);
    const char* scanAnyName(const char* p, const char* end, const char* what);
    void readName(const char*& p, const char* end, std::string& out, const char* what);
    void readNmtoken(const char*& p, const char* end, const char* what);
    static bool skipSpace(const char*& p, const char* end);
    void requireSpace(const char*& p, const char* end, const char* what);
    void expect(const char*& p, const char* end, const char* text, const char* what);
    void readQuoted(const char*& p, const char* end, std::string& out, const char* what,
                    bool pubid);

    // The prolog.
    void readDeclaration(const char*& p, const char* end, Document* doc);
    void readMisc(const char*& p, const char* end, bool afterRoot);
    void readDocType(const char*& p, const char* end, Document* doc);
    void readExternalId(const char*& p, const char* end, std::string& publicId,
                        std::string& systemId, bool notation);
    void readSubset(const char*& p, const char* end, bool inEntity);
    void readParameterReference(const char*& p, const char* end);
    void readEntityDecl(const char*& p, const char* end);
    void readAttlistDecl(const char*& p, const char* end);
    void readElementDecl(const char*& p, const char* end);
    void readContentParticle(const char*& p, const char* end, int level);
    void readNotationDecl(const char*& p, const char* end);
    void readComment(const char*& p, const char* end);
    void readInstruction(const char*& p, const char* end);

    // Elements and content.
    enum Context { IN_DOCUMENT, IN_ENTITY, IN_FRAGMENT };
    void readContent(const char* p, const char* end, Context context);
    void readStartTag(const char*& p, const char* end, Document* doc);
    void readEndTag(const char*& p, const char* end);
    void readCData(const char*& p, const char* end);
    void readText(const char*& p, const char* end);
    void readWideText(const char*& p, const char* end);
    template <class Blocks>
    void readTextWith(const char*& p, const char* end);
    const char* passTextChar(const char* q, const char* end, const char* textEnd);
    void readReference(const char*& p, const char* end);
    bool readLocalReference(const char*& p, const char* end, std::string& out);
    void readAttributeValue(const char*& p, const char* end, std::string& out);
    void expandInValue(const char* p, const char* end, std::string& out, char quote,
                       const char*& stop);
    const Entity* enterEntity(const char* at, const std::string& name, bool parameter);
    void leaveEntity();
    void closeElement();
    // The innermost open element's body, made on its first text.
    std::string& body() {
        if (mBody == nullptr) {
            mBody = &openBody();
        }
        return *mBody;
    }
    std::string& openBody();
    bool entityMustBeDeclared() const;

    const char* const mBegin;
    const char* const mEnd;
    const int mMaxDepth;
    const bool mTrimBodies;
    const size_t mExpansionLimit;
    size_t mExpanded = 0;
    const char* mReferenceAt = nullptr;  // the document's reference being expanded
    const char* mFailAt = nullptr;

    Document* mDocument = nullptr;
    TreeBuilder mBuild;
    std::vector<Open> mOpen;
    size_t mDepth = 0;  // elements open: mOpen[0, mDepth)
    size_t mDeepest = 0;
    std::function<void(size_t)> mOnDeeper;
    std::string* mBody = nullptr;  // the innermost open element's, once it has text

    std::map<std::string, Entity, std::less<>> mEntities;
    std::map<std::string, Entity, std::less<>> mParameters;
    std::map<std::string, std::vector<AttributeDecl>, std::less<>> mAttributes;
    std::vector<std::string> mExpanding;  // entities being expanded, outermost first
    bool mStandalone = false;
    bool mExternalSubset = false;
    bool mParameterReference = false;
    bool mProcessDeclarations = true;

    // Scratch space reused from tag to tag.
    std::string mName;
    std::vector<TagAttribute> mTag;
    std::vector<std::string> mValues;
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_WELLFORMEDREADER_H
