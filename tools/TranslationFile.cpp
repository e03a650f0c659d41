// XLIFF 2.0 and PO: writing and reading the translators' files.
#include "tools/TranslationFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "framework/kavrimain/FileOperations.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/StringUtil.h"
#include "i18n/Bundle.h"
#include "i18n/FormatCheck.h"
#include "tools/Command.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"
#include "xml/XNode.h"

namespace kavrixml_tool {

namespace {

using kavri::xml::XNode;

const char* const XLIFF_NAMESPACE = "urn:oasis:names:tc:xliff:document:2.0";

// --- XLIFF ---------------------------------------------------------------------

void addText(XNode* parent, const char* name, const std::string& text) {
    XNode* element = parent->addChild(name);
    if (!text.empty()) {
        element->addBody(text);
    }
}

void addUnit(XNode* file, const TranslationUnit& unit) {
    XNode* element = file->addChild("unit");
    element->addAttribute("id", unit.key);
    std::vector<std::string> notes = keepNotes(unit.source);
    if (!notes.empty()) {
        XNode* list = element->addChild("notes");
        for (const std::string& note : notes) {
            XNode* item = list->addChild("note");
            item->addAttribute("category", "format");
            item->addBody(note);
        }
    }
    XNode* segment = element->addChild("segment");
    segment->addAttribute("state", unit.target.empty() ? "initial" : "translated");
    addText(segment, "source", unit.source);
    addText(segment, "target", unit.target);
}

// One line per file and unit. The compact writer escapes every "<" of text
// and attribute values, so each "<unit " and "</file>" it writes is a tag.
std::string layOut(const std::string& compact) {
    static const char* const BREAKS[][2] = {
        {"<xliff ", ""}, {"<file ", "  "}, {"<unit ", "    "}, {"</file>", "  "}, {"</xliff>", ""}};
    std::string out;
    out.reserve(compact.size() + compact.size() / 8);
    for (size_t i = 0; i < compact.size(); ++i) {
        if (compact[i] == '<') {
            for (const auto& rule : BREAKS) {
                if (compact.compare(i, std::strlen(rule[0]), rule[0]) == 0) {
                    out += '\n';
                    out += rule[1];
                    break;
                }
            }
        }
        out += compact[i];
    }
    return out + "\n";
}

// The line on which each "<unit" tag of an XML text begins, in document
// order; comments, CDATA sections and processing instructions are skipped.
std::vector<unsigned> unitLines(const std::string& bytes) {
    static const char* const SKIPPED[][2] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};
    std::vector<unsigned> lines;
    unsigned line = 1;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++line;
            continue;
        }
        if (bytes[i] != '<') {
            continue;
        }
        bool skipped = false;
        for (const auto& rule : SKIPPED) {
            if (bytes.compare(i, std::strlen(rule[0]), rule[0]) == 0) {
                size_t end = bytes.find(rule[1], i);
                end = end == std::string::npos ? bytes.size() : end;
                line +=
                    static_cast<unsigned>(std::count(bytes.begin() + static_cast<long>(i),
                                                     bytes.begin() + static_cast<long>(end), '\n'));
                i = end;
                skipped = true;
                break;
            }
        }
        if (!skipped && bytes.compare(i, 5, "<unit") == 0 && i + 5 < bytes.size() &&
            std::strchr(" \t\r\n/>", bytes[i + 5]) != nullptr) {
            lines.push_back(line);
        }
    }
    return lines;
}

// The text of a source or target element; false for inline markup, which
// this tool does not carry.
bool elementText(const XNode* element, std::string& text) {
    if (element->getChildCount() != 0) {
        return false;
    }
    unsigned size = 0;
    const char* cdata = element->getCData(size);
    text += element->getBodyString();
    if (cdata != nullptr) {
        text.append(cdata, size);
    }
    return true;
}

// Source and target of a unit: its segments (and ignorables) in order.
void readUnit(const XNode* element, TranslationUnit& unit) {
    unit.key = element->getAttributeChar("id", "");
    if (unit.key.empty()) {
        unit.problem = "unit without id";
    }
    for (const auto& part : element->getChildren()) {
        if (std::strcmp(part->getName(), "segment") != 0 &&
            std::strcmp(part->getName(), "ignorable") != 0) {
            continue;
        }
        for (const auto& text : part->getChildren()) {
            bool isSource = std::strcmp(text->getName(), "source") == 0;
            bool isTarget = std::strcmp(text->getName(), "target") == 0;
            if ((isSource || isTarget) &&
                !elementText(text, isSource ? unit.source : unit.target) && unit.problem.empty()) {
                unit.problem = "inline markup in the unit is not supported";
            }
        }
    }
}

void collectUnits(const XNode* element, std::vector<TranslationUnit>& units) {
    for (const auto& child : element->getChildren()) {
        if (std::strcmp(child->getName(), "unit") == 0) {
            units.emplace_back();
            readUnit(child, units.back());
        } else {
            collectUnits(child, units);
        }
    }
}

Translation readXLIFF(const std::string& path, const std::string& bytes) {
    std::string error;
    // A translation tool's file is read as XML out there is: in its own
    // encoding, with instructions and entities.
    ReadOptions options;
    options.lenient = true;
    std::unique_ptr<kavri::xml::Document> document = parseDocument(bytes, path, error, options);
    if (document == nullptr) {
        throw core::Exception("%s", error.c_str());
    }
    const XNode* root = document->getRootNode();
    if (std::strcmp(root->getName(), "xliff") != 0) {
        throw core::Exception("%s: not an XLIFF file (the root element is <%s>)", displayName(path),
                              root->getName());
    }
    const char* version = root->getAttributeChar("version", "");
    if (std::strncmp(version, "2.", 2) != 0) {
        throw core::Exception("%s: XLIFF version \"%s\" is not read; version 2.0 is",
                              displayName(path), version);
    }
    Translation translation;
    translation.sourceLanguage = root->getAttributeChar("srcLang", "");
    translation.targetLanguage = root->getAttributeChar("trgLang", "");
    if (const XNode* file = root->getFirstChild("file")) {
        translation.original = file->getAttributeChar("original", "");
    }
    collectUnits(root, translation.units);
    std::vector<unsigned> lines = unitLines(bytes);
    for (size_t i = 0; i < translation.units.size() && i < lines.size(); ++i) {
        translation.units[i].line = lines[i];
    }
    return translation;
}

// --- PO ----------------------------------------------------------------------------

// `keyword "text"`; a text with inner line breaks as gettext writes it: an
// empty first string, then one string per line.
void appendPOString(const char* keyword, const std::string& text, std::string& out) {
    out += keyword;
    size_t lineEnd = text.find('\n');
    if (lineEnd == std::string::npos || lineEnd + 1 == text.size()) {
        out += " \"";
        appendEscaped(text, 0, text.size(), out);
        out += "\"\n";
        return;
    }
    out += " \"\"\n";
    for (size_t from = 0; from < text.size();) {
        size_t end = text.find('\n', from);
        end = end == std::string::npos ? text.size() : end + 1;
        out += '"';
        appendEscaped(text, from, end, out);
        out += "\"\n";
        from = end;
    }
}

bool isCFormat(const std::string& text) {
    kavri::i18n::FormatCheck check(text.c_str());
    return check.isValid() && !check.getConversions().empty();
}

// One entry of a PO file as read.
struct POEntry {
    bool hasContext = false;
    std::string context;
    std::string id;
    std::string str;
    bool plural = false;
    bool fuzzy = false;
    bool started = false;  // a keyword was read
    bool hasStr = false;
    unsigned line = 0;  // of its msgstr, where the translation stands
};

class POReader {
  public:
    POReader(const std::string& path, const std::string& bytes) : mPath(path), mBytes(bytes) {}

    Translation read() {
        size_t from = 0;
        while (from <= mBytes.size()) {
            size_t end = mBytes.find('\n', from);
            if (end == std::string::npos) {
                end = mBytes.size();
            }
            ++mLine;
            std::string line = mBytes.substr(from, end - from);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            readLine(line);
            from = end + 1;
        }
        finish();
        return mTranslation;
    }

  private:
    [[noreturn]] void fail(const char* reason) const {
        throw core::Exception("%s:%u: %s", displayName(mPath), mLine, reason);
    }

    void readLine(const std::string& line) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) {
            finish();
            return;
        }
        if (line[start] == '#') {
            // Comments belong to the entry that follows: one after a
            // keyword begins the next entry. Obsolete entries ("#~") are
            // comments to us.
            if (mEntry.started) {
                finish();
            }
            if (line.compare(start, 2, "#,") == 0 &&
                line.find("fuzzy", start) != std::string::npos) {
                mEntry.fuzzy = true;
            }
            return;
        }
        if (line[start] == '"') {
            if (mField == nullptr) {
                fail("a string without a keyword before it");
            }
            *mField += quoted(line, start);
            return;
        }
        readKeyword(line, start);
    }

    void readKeyword(const std::string& line, size_t start) {
        size_t end = line.find_first_of(" \t", start);
        if (end == std::string::npos) {
            fail("a keyword without a string");
        }
        std::string keyword = line.substr(start, end - start);
        bool beginsEntry = keyword == "msgctxt" || (keyword == "msgid" && !mEntry.hasContext);
        if (beginsEntry && mEntry.hasStr) {
            finish();
        }
        mEntry.started = true;
        if (keyword == "msgctxt") {
            mEntry.hasContext = true;
            mField = &mEntry.context;
        } else if (keyword == "msgid") {
            mField = &mEntry.id;
        } else if (keyword == "msgid_plural") {
            mEntry.plural = true;
            mField = &mIgnored;
        } else if (keyword == "msgstr") {
            mEntry.hasStr = true;
            mEntry.line = mLine;
            mField = &mEntry.str;
        } else if (keyword.compare(0, 7, "msgstr[") == 0) {
            mEntry.hasStr = true;
            mEntry.line = mEntry.line == 0 ? mLine : mEntry.line;
            mField = &mIgnored;
        } else {
            fail(("unknown keyword " + keyword).c_str());
        }
        mField->clear();
        size_t text = line.find_first_not_of(" \t", end);
        if (text == std::string::npos || line[text] != '"') {
            fail("a keyword without a string");
        }
        *mField += quoted(line, text);
    }

    // The string that begins at line[start] == '"', its escapes resolved.
    std::string quoted(const std::string& line, size_t start) const {
        std::string out;
        size_t i = start + 1;
        for (; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] != '\\') {
                out += line[i];
                continue;
            }
            if (++i == line.size()) {
                break;
            }
            i = escape(line, i, out);
        }
        if (i >= line.size() || line.find_first_not_of(" \t", i + 1) != std::string::npos) {
            fail("a string that does not end with \" on its line");
        }
        return out;
    }

    // Resolves the escape whose letter is at line[i]; returns the position of
    // its last character.
    size_t escape(const std::string& line, size_t i, std::string& out) const {
        static const char LETTERS[] = "ntr\"\\abfv";
        static const char BYTES[] = "\n\t\r\"\\\a\b\f\v";
        if (const char* letter = std::strchr(LETTERS, line[i])) {
            out += BYTES[letter - LETTERS];
            return i;
        }
        if (line[i] >= '0' && line[i] <= '7') {
            unsigned value = 0;
            size_t end = i;
            for (; end < line.size() && end < i + 3 && line[end] >= '0' && line[end] <= '7';
                 ++end) {
                value = value * 8 + static_cast<unsigned>(line[end] - '0');
            }
            out += static_cast<char>(value);
            return end - 1;
        }
        fail(("unknown escape \\" + std::string(1, line[i])).c_str());
    }

    void finish() {
        if (mEntry.started) {
            if (!mEntry.hasStr) {
                fail("an entry without msgstr");
            }
            take(mEntry);
        }
        mEntry = POEntry();
        mField = nullptr;
    }

    void take(const POEntry& entry) {
        if (!entry.hasContext && entry.id.empty()) {
            readHeader(entry.str);
            return;
        }
        TranslationUnit unit;
        unit.key = entry.context;
        unit.source = entry.id;
        // A fuzzy translation waits for its translator's review, as msgfmt
        // leaves it out too.
        unit.target = entry.fuzzy ? std::string() : entry.str;
        unit.line = entry.line;
        if (!entry.hasContext) {
            unit.problem = "no msgctxt: the entry names no text key";
        } else if (entry.plural) {
            unit.problem = "plural forms are not supported";
        }
        mTranslation.units.push_back(unit);
    }

    void readHeader(const std::string& header) {
        const std::string field = "Language:";
        for (size_t from = 0; from < header.size();) {
            size_t end = header.find('\n', from);
            end = end == std::string::npos ? header.size() : end;
            if (header.compare(from, field.size(), field) == 0) {
                size_t value = header.find_first_not_of(" \t", from + field.size());
                if (value != std::string::npos && value < end) {
                    mTranslation.targetLanguage = header.substr(value, end - value);
                }
            }
            from = end + 1;
        }
    }

    std::string mPath;
    const std::string& mBytes;
    unsigned mLine = 0;
    POEntry mEntry;
    std::string* mField = nullptr;  // where continuation strings go
    std::string mIgnored;
    Translation mTranslation;
};

}  // namespace

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

std::vector<std::string> keepNotes(const std::string& text) {
    std::vector<std::string> notes;
    kavri::i18n::FormatCheck check(text.c_str());
    if (check.isValid() && !check.getConversions().empty()) {
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

std::string writeXLIFF(const Translation& translation) {
    kavri::xml::Document document;
    XNode* root = document.createNode("xliff", nullptr);
    document.setRootNode(root);
    root->addAttribute("xmlns", XLIFF_NAMESPACE);
    root->addAttribute("version", "2.0");
    root->addAttribute("srcLang", translation.sourceLanguage);
    root->addAttribute("trgLang", translation.targetLanguage);
    XNode* file = root->addChild("file");
    file->addAttribute("id", "f1");
    file->addAttribute("original", translation.original);
    // Texts keep every blank and line break.
    file->addAttribute("xml:space", "preserve");
    for (const TranslationUnit& unit : translation.units) {
        addUnit(file, unit);
    }
    kavri::xml::XMLWriter writer(true, false);
    kavri::stream::MemoryOutputStream out;
    writer.write(&document, &out);
    return layOut(out.str());
}

std::string writePO(const Translation& translation) {
    std::string out =
        "# " + translation.original + " translated into " + translation.targetLanguage + ".\n";
    appendPOString("msgid", "", out);
    out += "msgstr \"\"\n";
    // The fields gettext's header check asks for; the translator's tool
    // fills in the revision date, the translator and the team.
    const std::string fields[] = {"Project-Id-Version: " + translation.original,
                                  "PO-Revision-Date: ",
                                  "Last-Translator: ",
                                  "Language-Team: ",
                                  "Language: " + translation.targetLanguage,
                                  "MIME-Version: 1.0",
                                  "Content-Type: text/plain; charset=UTF-8",
                                  "Content-Transfer-Encoding: 8bit"};
    for (const std::string& field : fields) {
        out += '"';
        appendEscaped(field + "\n", 0, field.size() + 1, out);
        out += "\"\n";
    }
    for (const TranslationUnit& unit : translation.units) {
        out += '\n';
        for (const std::string& note : keepNotes(unit.source)) {
            out += "#. " + note + "\n";
        }
        if (isCFormat(unit.source)) {
            out += "#, c-format\n";
        }
        appendPOString("msgctxt", unit.key, out);
        appendPOString("msgid", unit.source, out);
        appendPOString("msgstr", unit.target, out);
    }
    return out;
}

Translation readTranslation(const std::string& path, TranslationFormat format) {
    std::string bytes = readInput(path);
    if (format == TranslationFormat::PO) {
        return POReader(path, bytes).read();
    }
    return readXLIFF(path, bytes);
}

}  // namespace kavrixml_tool
