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
// Bytes are classified by syntax::XMLBytes, the table the lexer's hooks answer
// from, so that a plain name ends exactly where the lexer's word does. Scans
// rely on the NUL that ends the input (a std::string's terminator).
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
#include <cstring>
#include <string>

#include "framework/kavrimain/Parser.h"
#include "syntax/XMLSyntax.h"

namespace kavri {
namespace xml {

class XMLScanner {
  public:
    // Bytes of the input; valid until the next input is set.
    struct Span {
        const char* data = nullptr;
        size_t size = 0;
    };
    struct Attribute {
        Span name;
        Span value;       // between the quotes, not decoded
        bool references;  // the value holds '&': it needs decoding
    };
    enum TagEnd { TAG_END_NONE, TAG_END_CONTENT /* ">" */, TAG_END_EMPTY /* "/>" */ };

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
    if (end - p < 3 || *p != '<') {
        return nullptr;
    }
    const char* const first = p + 1;
    const char* const last = syntax::skipName(first);
    // The name must end where the lexer's word ends for certain: at a
    // blank, or where ">" or "/" begins.
    if (last == first || last == end || !(syntax::isBlank(*last) || *last == '>' || *last == '/')) {
        return nullptr;
    }
    name.data = first;
    name.size = static_cast<size_t>(last - first);
    return last;
}

inline const char* XMLScanner::endTagAt(const char* p, const char* end, const std::string& name) {
    if (static_cast<size_t>(end - p) < name.size() + 3 || p[0] != '<' || p[1] != '/') {
        return nullptr;
    }
    // The open element's name, compared whole, then a byte that ends a
    // name: the lexer's word is then the name too (a name never holds the
    // byte that ends it), without a second scan over the name's bytes.
    const char* const first = p + 2;
    const char* const last = first + name.size();
    if (!syntax::sameName(first, name.data(), name.size()) ||
        syntax::XMLBytes::is(*last, syntax::XMLBytes::NAME)) {
        return nullptr;
    }
    p = syntax::skipBlanks(last, end);
    if (p == end || *p != '>') {
        return nullptr;
    }
    return p + 1;
}

inline const char* XMLScanner::attributeAt(const char* p, const char* end, Attribute& found) {
    p = syntax::skipBlanks(p, end);
    const char* const name = p;
    p = syntax::skipName(p);
    const char* const nameEnd = p;
    if (nameEnd == name) {
        return nullptr;
    }
    p = syntax::skipBlanks(p, end);
    if (p == end || *p != '=') {
        return nullptr;
    }
    p = syntax::skipBlanks(p + 1, end);
    if (p == end || !syntax::isQuote(*p)) {
        return nullptr;
    }
    // One pass for the closing quote, a NUL (which cuts the token's string
    // short; the input's terminator is one too) and references to decode.
    const char quote = *p;
    const char* const value = p + 1;
    const char* valueEnd = value;
    bool references = false;
    for (;; ++valueEnd) {
        while (!syntax::XMLBytes::is(*valueEnd, syntax::XMLBytes::VALUE_STOP)) {
            ++valueEnd;
        }
        if (*valueEnd == quote) {
            break;
        }
        if (*valueEnd == '\0') {
            return nullptr;
        }
        references = references || *valueEnd == '&';
    }
    found.name.data = name;
    found.name.size = static_cast<size_t>(nameEnd - name);
    found.value.data = value;
    found.value.size = static_cast<size_t>(valueEnd - value);
    found.references = references;
    return valueEnd + 1;
}

inline XMLScanner::TagEnd XMLScanner::tagEndAt(const char* p, const char* end, const char*& after) {
    p = syntax::skipBlanks(p, end);
    if (p < end && *p == '>') {
        after = p + 1;
        return TAG_END_CONTENT;
    }
    if (end - p >= 2 && p[0] == '/' && p[1] == '>') {
        after = p + 2;
        return TAG_END_EMPTY;
    }
    return TAG_END_NONE;
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
    if (!unread(p, end) || end - p < 9 || std::memcmp(p, "<![CDATA[", 9) != 0) {
        return false;
    }
    moveTo(p + 9);
    return true;
}

inline bool XMLScanner::cdataEnd() {
    const char* p;
    const char* end;
    if (!unread(p, end) || end - p < 3 || std::memcmp(p, "]]>", 3) != 0) {
        return false;
    }
    moveTo(p + 3);
    return true;
}

}  // namespace xml
}  // namespace kavri

#endif  // KAVRIXML_XML_XMLSCANNER_H
