// XLIFF 2.0: writing and reading the translators' files.
#include "tools/XLIFFFile.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "syntax/XMLSyntax.h"
#include "tools/Command.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"
#include "xml/XNode.h"

namespace kavrixml_tool {

namespace {

using kavri::xml::XNode;

const char* const XLIFF_NAMESPACE = "urn:oasis:names:tc:xliff:document:2.0";

void addText(XNode* parent, const char* name, const std::string& text) {
    XNode* element = parent->addChild(name);
    if (!text.empty()) {
        element->addBody(text);
    }
}

void addUnit(XNode* file, const TranslationUnit& unit, bool messages) {
    XNode* element = file->addChild("unit");
    element->addAttribute("id", unit.key);
    std::vector<std::string> notes = keepNotes(unit.source, messages);
    if (!notes.empty() || !unit.numbers.empty()) {
        XNode* list = element->addChild("notes");
        if (!unit.numbers.empty()) {
            XNode* item = list->addChild("note");
            item->addAttribute("category", "plural");
            item->addBody(unit.numbers);
        }
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
// order; comments, processing instructions and CDATA sections are passed
// over as XML's rules say.
std::vector<unsigned> unitLines(const std::string& bytes) {
    namespace syntax = kavri::xml::syntax;
    std::vector<unsigned> lines;
    unsigned line = 1;
    const char* const end = bytes.data() + bytes.size();
    for (const char* p = bytes.data(); p < end; ++p) {
        if (*p == '\n') {
            ++line;
            continue;
        }
        if (*p != '<') {
            continue;
        }
        const syntax::Markup kind = syntax::markupAt(p, end);
        const char* after = kind != syntax::MARKUP_NONE ? syntax::markupEnd(kind, p, end)
                            : syntax::startsWith(p, end, syntax::CDATA_START)
                                ? syntax::past(p, end, syntax::CDATA_END)
                                : p;
        if (after == nullptr) {
            break;  // left open: no unit comes after it
        }
        if (after != p) {
            line += static_cast<unsigned>(std::count(p, after, '\n'));
            p = after - 1;
        } else if (syntax::startsWith(p, end, "<unit") && p + 5 < end &&
                   std::strchr(" \t\r\n/>", p[5]) != nullptr) {
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

}  // namespace

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
        addUnit(file, unit, translation.messages);
    }
    kavri::xml::XMLWriter writer(true, false);
    kavri::stream::MemoryOutputStream out;
    writer.write(&document, &out);
    return layOut(out.str());
}

}  // namespace kavrixml_tool
