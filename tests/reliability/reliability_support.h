// What the allocation-failure tests build their inputs from and how they
// describe a result: trees written compact with a check of their links,
// parameter lists with a check of their name index, bundles with a check that
// every listed text is also found, and the bundle files of both formats.
#ifndef KAVRIXML_TESTS_RELIABILITY_RELIABILITY_SUPPORT_H
#define KAVRIXML_TESTS_RELIABILITY_RELIABILITY_SUPPORT_H

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/kavrimain/MemoryFileSystem.h"
#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/plinth/ParameterList.h"
#include "i18n/Bundle.h"
#include "i18n/I18N.h"
#include "tests/xml/xml_io_support.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XNode.h"

namespace reliability {

inline std::unique_ptr<kavri::xml::Document> parseText(const char* text) {
    kavri::xml::DOMParser parser;
    kavri::stream::MemoryInputStream in(text);
    return std::unique_ptr<kavri::xml::Document>(parser.parse(&in));
}

using xmlio::compact;

// "" when every node below the root points to its parent and to `doc`;
// otherwise a marker that no clean run shows.
inline std::string linksOf(const kavri::xml::Document* doc) {
    std::vector<const kavri::xml::XNode*> pending;
    if (doc->getRootNode() != nullptr) {
        pending.push_back(doc->getRootNode());
    }
    while (!pending.empty()) {
        const kavri::xml::XNode* node = pending.back();
        pending.pop_back();
        if (node->getDocument() != doc) {
            return " !document of " + std::string(node->getName());
        }
        for (const auto& child : node->getChildren()) {
            if (child->getParent() != node) {
                return " !parent of " + std::string(child->getName());
            }
            pending.push_back(child.get());
        }
    }
    return "";
}

// The parameters in order, each rendered by `render`; a marker wherever the
// look-up by name does not find the first parameter of that name.
template <class Render>
std::string listState(const parameter::ParameterList& list, Render render) {
    std::string out = "{";
    for (unsigned i = 0; i < list.size(); ++i) {
        const parameter::BaseParameter* p = list.getParameter(i);
        unsigned first = 0;
        while (list.getParameter(first)->getName() != p->getName()) {
            ++first;
        }
        if (list.getParameter(p->getName()) != list.getParameter(first)) {
            out += "!index ";
        }
        render(p, out);
    }
    return out + "}";
}

// key=text pairs in the order of getTexts(), with a marker for a text that
// the look-ups do not find.
inline std::string textsOf(const kavri::i18n::Bundle& bundle) {
    std::string out;
    for (const auto& entry : bundle.getTexts()) {
        const char* key = entry.first;
        out += std::string(key) + "=" + entry.second + ";";
        if (!bundle.containsKey(key) || std::strcmp(bundle[key], entry.second) != 0 ||
            std::strcmp(bundle.getText(key, false), entry.second) != 0) {
            out += "!lost ";
        }
    }
    return out;
}

inline std::string managerState(kavri::i18n::I18N& i18n) {
    std::string out = "languages:";
    for (unsigned i = 0; i < i18n.getAvailableLanguageCount(); ++i) {
        out += std::string(" ") + i18n.getLanguageCode(i) + "=" + i18n.getLanguageName(i);
    }
    out += " current " + std::to_string(i18n.getLanguageIndex()) + "|";
    if (i18n.getBundle() != nullptr) {
        out += textsOf(*i18n.getBundle());
    }
    return out;
}

// An XML pair and a JSON pair, base and German; the JSON files hold a
// nested object and an array, which are no texts but are parsed and
// destroyed with the rest.
inline void addBundleFiles(kavri::vfs::MemoryFileSystem& files) {
    files.addFile("i18n/texts.xml",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<LANGUAGE>\n"
                  "  <TEXT key=\"hello\"><![CDATA[Hello, %s!]]></TEXT>\n"
                  "  <TEXT key=\"title\"><![CDATA[Main menu]]></TEXT>\n"
                  "  <TEXT key=\"app\"><![CDATA[Viewer ${title}]]></TEXT>\n"
                  "  <TEXT key=\"language_en\"><![CDATA[English]]></TEXT>\n"
                  "  <TEXT key=\"language_de\"><![CDATA[German]]></TEXT>\n"
                  "</LANGUAGE>\n");
    files.addFile("i18n/texts_de.xml",
                  "<LANGUAGE><TEXT key=\"hello\"><![CDATA[Hallo, %s!]]></TEXT>"
                  "<TEXT key=\"language_de\"><![CDATA[Deutsch]]></TEXT></LANGUAGE>");
    files.addFile("i18n/more.json",
                  "{\"open\": \"Open\", \"close\": \"Close ${title}\", \"language_en\": "
                  "\"English\", \"nested\": {\"a\": [1, {\"b\": \"c\"}, [2, 3]]}, \"n\": 4}");
    files.addFile("i18n/more_de.json",
                  "{\"open\": \"\\u00d6ffnen\", \"list\": [\"x\", {\"y\": {}}], "
                  "\"language_de\": \"Deutsch\"}");
}

}  // namespace reliability

#endif  // KAVRIXML_TESTS_RELIABILITY_RELIABILITY_SUPPORT_H
