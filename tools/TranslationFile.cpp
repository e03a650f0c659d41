// The translators' files: what XLIFF and PO share, and the choice between
// them by a file's extension.
#include "tools/TranslationFile.h"

#include "framework/kavrimain/FileOperations.h"
#include "framework/plinth/StringUtil.h"
#include "i18n/Bundle.h"
#include "i18n/FormatCheck.h"
#include "i18n/MessageFormat.h"
#include "i18n/MessageOutline.h"
#include "tools/Command.h"
#include "tools/POFile.h"
#include "tools/XLIFFFile.h"

namespace kavrixml_tool {

TranslationFormat translationFormatOf(const std::string& path) {
    const char* extension = kavri::platform::FileOperations::getExtension(path.c_str());
    if (extension == nullptr) {
        return TranslationFormat::UNKNOWN;
    }
    if (text::StringUtil::compareIgnoreCase(extension, ".po") == 0) {
        return TranslationFormat::PO;
    }
    if (text::StringUtil::compareIgnoreCase(extension, ".xlf") == 0 ||
        text::StringUtil::compareIgnoreCase(extension, ".xliff") == 0) {
        return TranslationFormat::XLIFF;
    }
    return TranslationFormat::UNKNOWN;
}

namespace {

// The arguments of a message, "$a $b"; empty for one without arguments or
// that does not compile.
std::string messageArguments(const std::string& text) {
    std::string names;
    try {
        const kavri::i18n::MessageOutline outline(text);
        for (const std::string& name : outline.arguments()) {
            names += (names.empty() ? "$" : " $") + name;
        }
    } catch (const kavri::i18n::MessageFormatException&) {
        // The check reports it; the translator is told nothing false.
    }
    return names;
}

}  // namespace

std::vector<std::string> keepNotes(const std::string& text, bool message) {
    std::vector<std::string> notes;
    kavri::i18n::FormatCheck check(text.c_str());
    std::string arguments = message ? messageArguments(text) : std::string();
    if (!arguments.empty()) {
        notes.push_back("a MessageFormat message: keep the arguments " + arguments);
    } else if (!message && check.isValid() && !check.getConversions().empty()) {
        std::string conversions;
        for (const auto& conversion : check.getConversions()) {
            conversions += conversions.empty() ? "" : " ";
            conversions += conversion.specifier;
        }
        notes.push_back("keep the printf conversions: " + conversions);
    }
    std::string references;
    kavri::i18n::Bundle::Reference reference;
    for (const char* scan = text.c_str(); kavri::i18n::Bundle::findReference(scan, reference);
         scan = reference.end) {
        references += references.empty() ? "" : " ";
        references.append(reference.begin, reference.end);
    }
    if (!references.empty()) {
        notes.push_back("keep the references: " + references);
    }
    return notes;
}

bool isCFormat(const std::string& text) {
    kavri::i18n::FormatCheck check(text.c_str());
    return check.isValid() && !check.getConversions().empty();
}

Translation readTranslation(const std::string& path, TranslationFormat format) {
    std::string bytes = readInput(path);
    if (format == TranslationFormat::PO) {
        return readPO(path, bytes);
    }
    return readXLIFF(path, bytes);
}

}  // namespace kavrixml_tool
