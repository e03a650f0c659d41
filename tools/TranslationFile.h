// The files that translators exchange with their tools: XLIFF 2.0
// (XLIFFFile.h) and gettext PO (POFile.h). A Translation is what both carry
// for one bundle and one language: per text key the base text (source) and
// the translation (target, empty while untranslated). i18n-export writes
// one, i18n-import reads one back. Both formats note for each text what its
// translation must keep (keepNotes).
//
//   Translation t{"texts.xml", "en", "de", {{"title", "Main menu", "Hauptmenü"}}};
//   std::string po = writePO(t);
//   Translation back = readTranslation("texts_de.po");   // by the extension
#ifndef KAVRIXML_TOOLS_TRANSLATIONFILE_H
#define KAVRIXML_TOOLS_TRANSLATIONFILE_H

#include <string>
#include <vector>

namespace kavrixml_tool {

struct TranslationUnit {
    std::string key;
    std::string source;
    std::string target;  // empty: untranslated
    // Where the unit begins in the file read (1-based); 0 for a unit made.
    unsigned line = 0;
    // Why the unit cannot be taken as read (inline markup, no key), or
    // empty.
    std::string problem;
    // A PO plural entry: `key` is the plural key, `source` the base form for
    // one (or the first), `sourcePlural` the base form for other, `targets`
    // the translations by msgstr index.
    bool plural = false;
    std::string sourcePlural;
    std::vector<std::string> targets;
    // The numbers a plural form is for ("2, 3, 4, 22, …"), noted for the
    // translator; empty for other texts.
    std::string numbers;
};

struct Translation {
    std::string original;  // the base file's name
    std::string sourceLanguage;
    std::string targetLanguage;
    std::vector<TranslationUnit> units;
    // PO: the "Plural-Forms" header as read, and its line.
    std::string pluralForms;
    unsigned pluralFormsLine = 0;
    // The texts are MessageFormat messages, carried whole: no printf flags.
    bool messages = false;
};

enum class TranslationFormat { XLIFF, PO, UNKNOWN };

// ".xlf" and ".xliff" are XLIFF, ".po" is PO (ignoring case).
TranslationFormat translationFormatOf(const std::string& path);

// What a translation of `text` must keep, one line each: its printf
// conversions (a MessageFormat message's arguments when `message`) and its
// "${...}" references. Empty for a plain text.
std::vector<std::string> keepNotes(const std::string& text, bool message = false);

// True for a valid printf format with at least one conversion.
bool isCFormat(const std::string& text);

// Reads an XLIFF or PO file (by the extension; "-" is standard input and
// read as `format`). A file that cannot be read or parsed as a whole throws
// core::Exception with FILE:LINE: where the fault is; a unit that cannot be
// taken carries its problem instead.
Translation readTranslation(const std::string& path, TranslationFormat format);

}  // namespace kavrixml_tool

#endif  // KAVRIXML_TOOLS_TRANSLATIONFILE_H
