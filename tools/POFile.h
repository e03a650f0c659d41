// gettext PO files: a header entry naming the language, then per key the key
// as msgctxt, the base text as msgid and the translation as msgstr (empty
// while untranslated), the "c-format" flag on texts with printf conversions
// and the notes of what a translation must keep as extracted comments. A
// plural entry with some forms translated and others not is marked fuzzy,
// as msgfmt accepts it only so.
//
//   std::string po = writePO(translation);
//   Translation back = readPO("texts_de.po", po);
#ifndef KAVRIXML_TOOLS_POFILE_H
#define KAVRIXML_TOOLS_POFILE_H

#include <string>

#include "tools/TranslationFile.h"

namespace kavrixml_tool {

std::string writePO(const Translation& translation);
// Reads the bytes of a PO file; a fault of the file as a whole throws
// core::Exception with FILE:LINE: REASON.
Translation readPO(const std::string& path, const std::string& bytes);

}  // namespace kavrixml_tool

#endif  // KAVRIXML_TOOLS_POFILE_H
