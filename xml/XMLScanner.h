// XMLScanner is the reader's fast path: it reads the common forms of XML
// straight from the input bytes, without making tokens. It knows five forms:
// a start tag's "<name", a plain attribute name="value", a tag's end ">" or
// "/>", an end tag "</name>", and the markers "<![CDATA[" and "]]>".
//
// Internal to the library: DOMParser is its only user; applications never
// include this header (it is not installed).
//
// The equivalence it keeps with the token grammar (XMLLexer and DOMParser),
// which stays the one definition of what is read:
// - A scan that succeeds moves the input's one cursor (the lexer's place)
//   over exactly the bytes that the tokens of the same form would cover, and
//   yields the same name and value bytes the tokens would carry.
// - A scan that meets anything the tokens would read in another way, or
//   refuse, fails and leaves the cursor where it was: a comment, a bracket
//   in a name, a NUL inside a value, an unterminated string, the end of the
//   input. The tokens then read those bytes and report the faults, at the
//   same places and with the same messages.
// - No scan runs while tokens wait pushed back on the parser: the lexer's
//   place is then ahead of the reader's, and only the tokens are in step.
// - A run of scans from one place (the forms of a whole tag, by startTagAt,
//   attributeAt, tagEndAt) covers the same bytes as the scans one by one:
//   the place reached is written back before the tokens read on, and no
//   token is read in between.
// The forms themselves are syntax::XMLTags' over the strict reader's bytes
// (syntax::StrictTagBytes), so that a plain name ends exactly where the
// lexer's word does; this class ties them to the lexer's place. Scans rely
// on the NUL that ends the input (a std::string's terminator).
//
//   XMLScanner scanner(parser, true);      // parser: the DOMParser reading
//   XMLScanner::Span name;
//   XMLScanner::Attribute attr;
//   if (scanner.attribute(attr)) { ... scanner.tagEnd() ... }   // one form at a time
//
//   const char* p; const char* end;         // or a run of scans, one write back
//   if (scanner.unread(p, end) && (p = XMLScanner::startTagAt(p, end, name))) {
//       ... XMLScanner::attributeAt(p, end, attr) ... scanner.moveTo(p);
//   }
#ifndef KAVRIXML_XML_XMLSCANNER_H
#define KAVRIXML_XML_XMLSCANNER_H

#include <cstddef>
#include <string>

#include "framework/kavrimain/Parser.h"
#include "syntax/XMLSyntax.h"
#include "syntax/XMLTags.h"

namespace kavri {
namespace xml {

class XMLScanner {
  public:
    // Bytes of the input; valid until the next input is set.
    using Span = syntax::Span;
    using Attribute = syntax::ScannedAttribute;
    using TagEnd = syntax::TagEnd;
    static constexpr TagEnd TAG_END_NONE = syntax::TAG_END_NONE;
    static constexpr TagEnd TAG_END_CONTENT = syntax::TAG_END_CONTENT;
    static constexpr TagEnd TAG_END_EMPTY = syntax::TAG_END_EMPTY;

    // A scanner that is not `enabled` fails every scan (tests compare the
    // token path alone with the two together).
    XMLScanner(kavri::parser::Parser& parser, bool enabled)
        : mParser(parser),
          mLexer(*parser.getLexer()),
          mBase(mLexer.getInput().data()),
          mEnd(mBase + mLexer.getInput().size()),
          mEnabled(enabled) {}

    // Blanks, then name="value" or name='value' (blanks allowed around
    // "="): passes over them.
    bool attribute(Attribute& found);
    // Blanks, then ">" or "/>": passes over them and says which; with
    // `peek` only looks.
    TagEnd tagEnd(bool peek = false);
    // "<![CDATA[" right here: passes over it.
    bool cdataStart();
    // "]]>" right here: passes over it.
    bool cdataEnd();

    // A run of scans with nothing read by the tokens in between (a whole
    // tag): the unread bytes are taken once, the scans below go from place
    // to place, and the place reached is written back once, before the
    // tokens read on.
    //
    // The unread bytes [p, end), or false while tokens wait pushed back.
    bool unread(const char*& p, const char*& end) const;
    // Moves the input's cursor to `p`.
    void moveTo(const char* p);

    // The scans of the forms from `p` (bytes up to `end`): each returns the
    // place after the form, or null when the form is not there.
    // "<name" followed by a blank, ">" or "/": the place after "<name".
    static const char* startTagAt(const char* p, const char* end, Span& name);
    // "</name>" (blanks allowed before ">") for `name`.
    static const char* endTagAt(const char* p, const char* end, const std::string& name);
    static const char* attributeAt(const char* p, const char* end, Attribute& found);
    // TAG_END_NONE, or the form found with `after` set past it.
    static TagEnd tagEndAt(const char* p, const char* end, const char*& after);

  private:
    kavri::parser::Parser& mParser;
    kavri::parser::Lexer& mLexer;
    // The input, which stays in place for the whole parse.
    const char* const mBase;
    const char* const mEnd;
    const bool mEnabled;
};

// The scans are inline: the reader calls them once per tag and attribute.

inline bool XMLScanner::unread(const char*& p, const char*& end) const {
    if (!mEnabled || mParser.hasPushed()) {
        return false;
    }
    p = mBase + mLexer.getOffset();
    end = mEnd;
    return true;
}

inline void XMLScanner::moveTo(const char* p) {
    mLexer.setOffset(static_cast<size_t>(p - mBase));
}

inline const char* XMLScanner::startTagAt(const char* p, const char* end, Span& name) {
    return syntax::startTagAt<syntax::StrictTagBytes>(p, end, name);
}

inline const char* XMLScanner::endTagAt(const char* p, const char* end, const std::string& name) {
    return syntax::endTagAt<syntax::StrictTagBytes>(p, end, name.data(), name.size());
}

__attribute__((always_inline)) inline const char* XMLScanner::attributeAt(const char* p,
                                                                          const char* end,
                                                                          Attribute& found) {
    return syntax::attributeAt<syntax::StrictTagBytes>(p, end, found);
}

inline XMLScanner::TagEnd XMLScanner::tagEndAt(const char* p, const char* end, const char*& after) {
    return syntax::tagEndAt<syntax::StrictTagBytes>(p, end, after);
}

inline bool XMLScanner::attribute(Attribute& found) {
    const char* p;
    const char* end;
    if (!unread(p, end) || (p = attributeAt(p, end, found)) == nullptr) {
        return false;
    }
    moveTo(p);
    return true;
}

inline XMLScanner::TagEnd XMLScanner::tagEnd(bool peek) {
    const char* p;
    const char* end;
    if (!unread(p, end)) {
        return TAG_END_NONE;
    }
    const char* after = nullptr;
    const TagEnd found = tagEndAt(p, end, after);
    if (found != TAG_END_NONE && !peek) {
        moveTo(after);
    }
    return found;
}

inline bool XMLScanner::cdataStart() {
    const char* p;
    const char* end;
    if (!unread(p, end) || !syntax::startsWith(p, end, syntax::CDATA_START)) {
        return false;
    }
    moveTo(p + sizeof syntax::CDATA_START - 1);
    return true;
}

inline bool XMLScanner::cdataEnd() {
    const char* p;
    const char* end;
    if (!unread(p, end) || !syntax::startsWith(p, end, syntax::CDATA_END)) {
        return false;
    }
    moveTo(p + sizeof syntax::CDATA_END - 1);
    return true;
}

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XMLSCANNER_H
