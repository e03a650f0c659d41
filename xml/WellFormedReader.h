// WellFormedReader reads a whole document for lenient reading, as a
// conforming non-validating XML 1.0 (fifth edition) processor that reads no
// external entity: every well-formedness constraint is checked, and a
// document that breaks one is refused with the rule's name and the place.
// What it reads goes into the Document: the declaration (version and
// encoding as the tree holds them: "1.0", "UTF-8"), the DOCTYPE's name and
// identifiers, and the elements with their attributes, body text and CDATA.
//
// The prolog, the elements and their content are read here; the DOCTYPE
// and its internal subset, and the expansion of entities, by DocTypeReader,
// its base; characters, names and literals by WellFormedInput, below that.
// Attribute-list declarations supply their defaults to elements that lack
// the attribute, and values of tokenized types are normalised. A reference
// to an external entity, or to one that only an unread external subset
// could declare, is kept as written. The tree is made through TreeBuilder.
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
#include <string>
#include <utility>
#include <vector>

#include "xml/DocTypeReader.h"
#include "xml/TreeBuilder.h"

namespace kavri {
namespace xml {

class Document;
class XNode;

class WellFormedReader : public DocTypeReader {
  public:
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

    // Lossless reading: read() records in `source` where the declaration,
    // the DOCTYPE and the root stand in the text, and gives each element
    // its place; attribute-list declarations then supply no defaults (the
    // tree holds the attributes as written), and the values an attribute's
    // bytes do not spell are kept in `source`.
    void keepPlaces(SourceText* source) { mSource = source; }

  private:
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

    // The prolog.
    void readDeclaration(const char*& p, const char* end, Document* doc);
    void readDeclarationValue(const char*& p, const char* end, const char* name,
                              XNode* declaration);
    void readMisc(const char*& p, const char* end, bool afterRoot);

    // Elements and content.
    enum Context { IN_DOCUMENT, IN_ENTITY, IN_FRAGMENT };
    // With `KeepMade`, what the content makes is kept in order too: the
    // replacement text of an entity in a lossless reading.
    template <bool KeepMade>
    void readContent(const char* p, const char* end, Context context);
    void readStartTag(const char*& p, const char* end, Document* doc);
    bool readAttributes(const char*& p, const char* end, const char* start, const Open& tag);
    void checkUnique(const char* name, size_t length, const Open& tag);
    void readAttributeAfterName(const char*& p, const char* end, const char* name, size_t length);
    size_t takeBuffer();
    void supplyDeclared(const Open& tag);
    void openElement(Document* doc, const Open& tag);
    void readEndTag(const char*& p, const char* end);
    void readCData(const char*& p, const char* end);
    void readText(const char*& p, const char* end);
    void readWideText(const char*& p, const char* end);
    template <class Blocks>
    void readTextWith(const char*& p, const char* end);
    bool readBlanksOnly(const char*& p, const char* end, const char*& blanks);
    std::string& bodyWithRoom(size_t length);
    const char* passTextChar(const char* q, const char* end, const char* textEnd);
    void readReference(const char*& p, const char* end);
    bool readLocalReference(const char*& p, const char* end, std::string& out);
    void closeElement();
    // The innermost open element's body, made on its first text.
    std::string& body() {
        if (mBody == nullptr) {
            mBody = &openBody();
        }
        return *mBody;
    }
    std::string& openBody();

    // Where `p`, in the text, stands in it.
    uint32_t offsetOf(const char* p) const { return static_cast<uint32_t>(p - mBegin); }
    void placeElement(const char* start, const char* contentStart, bool empty);
    // Lossless reading keeps what a replacement text makes in order: the
    // piece [start, end) of it, in the innermost open element.
    void keepMade(const char* start, const char* end);
    void keepWritten(const char* start, const char* end);
    std::vector<ContentItem>& madeItems(size_t depth);
    void keepReference();

    const int mMaxDepth;
    const bool mTrimBodies;
    SourceText* mSource = nullptr;
    size_t mInReference = 0;  // entities whose replacement text is being read
    // The reference in the document being read, losslessly, and the
    // number of elements open where it stands.
    SourceText::Reference mMade;
    std::string mMadeName;  // of its entity
    size_t mMadeDepth = 0;

    Document* mDocument = nullptr;
    TreeBuilder mBuild;
    std::vector<Open> mOpen;
    size_t mDepth = 0;  // elements open: mOpen[0, mDepth)
    size_t mDeepest = 0;
    std::function<void(size_t)> mOnDeeper;
    std::string* mBody = nullptr;  // the innermost open element's, once it has text

    // Scratch space reused from tag to tag.
    std::string mName;
    std::vector<TagAttribute> mTag;
    std::vector<std::string> mValues;
    size_t mBuffers = 0;  // of mValues, taken by the tag being read
};

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_WELLFORMEDREADER_H
