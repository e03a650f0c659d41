// XLIFF 2.0 files: an xliff root with version, srcLang and trgLang, one
// file, one unit per key (the key is its id) holding one segment with source
// and target; an untranslated segment has state "initial" and an empty
// target, a translated one state "translated". A unit's notes list what its
// translation must keep.
//
//   std::string xlf = writeXLIFF(translation);
//   Translation back = readXLIFF("texts_de.xlf", xlf);
#ifndef KAVRIXML_TOOLS_XLIFFFILE_H
#define KAVRIXML_TOOLS_XLIFFFILE_H

#include <string>

#include "tools/TranslationFile.h"

namespace kavrixml_tool {

std::string writeXLIFF(const Translation& translation);
// Reads the bytes of an XLIFF file, leniently as translation tools write
// them; a file that is no XLIFF 2 throws core::Exception with the reason.
Translation readXLIFF(const std::string& path, const std::string& bytes);

}  // namespace kavrixml_tool

#endif  // KAVRIXML_TOOLS_XLIFFFILE_H
