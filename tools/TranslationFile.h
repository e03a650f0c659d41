// The files that translators exchange with their tools: XLIFF 2.0 and gettext
// PO. A Translation is what both carry for one bundle and one language: per
// text key the base text (source) and the translation (target, empty while
// untranslated). i18n-export writes one, i18n-import reads one back.
//
//   Translation t{"texts.xml", "en", "de", {{"title", "Main menu", "Hauptmenü"}}};
//   std::string po = writePO(t);
//   Translation back = readTranslation("texts_de.po");   // by the extension
//
// XLIFF: an xliff root with version, srcLang and trgLang, one file, one unit
// per key (the key is its id) holding one segment with source and target; an
// untranslated segment has state "initial" and an empty target, a translated
// one state "translated". PO: a header entry naming the language, then per
// key the key as msgctxt, the base text as msgid and the translation as
// msgstr (empty while untranslated), the "c-format" flag on texts with printf
// conversions. Both carry a note that lists what a translation must keep.
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
    // Why the unit cannot be taken as read (plural forms, inline markup, no
    // key), or empty.
    std::string problem;
};

struct Translation {
    std::string original;  // the base file's name
    std::string sourceLanguage;
    std::string targetLanguage;
    std::vector<TranslationUnit> units;
};

enum class TranslationFormat { XLIFF, PO, UNKNOWN };

// ".xlf" and ".xliff" are XLIFF, ".po" is PO (ignoring case).
TranslationFormat translationFormatOf(const std::string& path);

// What a translation of `text` must keep, one line each: its printf
// conversions and its "${...}" references. Empty for a plain text.
std::vector<std::string> keepNotes(const std::string& text);

std::string writeXLIFF(const Translation& translation);
std::string writePO(const Translation& translation);

// Reads an XLIFF or PO file (by the extension; "-" is standard input and
// read as `format`). A file that cannot be read or parsed as a whole throws
// core::Exception with FILE:LINE: where the fault is; a unit that cannot be
// taken carries its problem instead.
Translation readTranslation(const std::string& path, TranslationFormat format);

}  // namespace kavrixml_tool

#endif  // KAVRIXML_TOOLS_TRANSLATIONFILE_H
