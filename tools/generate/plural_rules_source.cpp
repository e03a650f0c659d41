// Writes i18n/PluralData.cpp from CLDR's plurals.xml and ordinals.xml, read
// with the library's own XML reader, so that a program using the library
// never needs CLDR's files:
//
//   kavrixml_plural_rules_source 41 plurals.xml ordinals.xml > i18n/PluralData.cpp
//
// Each pluralRules element becomes one entry: its locales and its rules
// joined as "CATEGORY: RULE; ...", texts exactly as CLDR writes them.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/kavrimain/FileInputStream.h"
#include "framework/plinth/Exception.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XNode.h"

namespace {

using kavri::xml::XNode;

std::string trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    size_t end = text.find_last_not_of(" \t\r\n");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

// A C string literal; CLDR's texts are UTF-8 ("…") and hold no quote.
std::string literal(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// One entry, on one line: the type, the locales, the rules joined by "; ".
void writeGroup(const XNode* group, const char* type) {
    std::string rules;
    for (const auto& rule : group->getChildren()) {
        if (std::strcmp(rule->getName(), "pluralRule") == 0) {
            rules += rules.empty() ? "" : "; ";
            rules += std::string(rule->getAttributeChar("count", "")) + ": " +
                     trimmed(rule->getBodyString());
        }
    }
    std::printf("    {%s, %s, %s},\n", type,
                literal(group->getAttributeChar("locales", "")).c_str(), literal(rules).c_str());
}

void writeFile(const char* path, const char* type, size_t& count) {
    kavri::stream::FileInputStream in(path);
    kavri::xml::DOMParser parser;
    parser.setLenient(true);  // CLDR names its DTD with SYSTEM alone
    std::unique_ptr<kavri::xml::Document> document(parser.parse(&in));
    const XNode* plurals = document->getRootNode()->getFirstChild("plurals");
    if (plurals == nullptr) {
        throw core::Exception("%s: no <plurals> element", path);
    }
    for (const auto& group : plurals->getChildren()) {
        if (std::strcmp(group->getName(), "pluralRules") == 0) {
            writeGroup(group, type);
            ++count;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s CLDR_VERSION PLURALS.xml ORDINALS.xml\n", argv[0]);
        return 2;
    }
    try {
        std::printf(
            "// Generated from CLDR %s (common/supplemental/plurals.xml and ordinals.xml) by\n"
            "// scripts/generate-plural-rules.sh: do not edit. Rules as CLDR writes them.\n"
            "// clang-format off\n"
            "#include \"i18n/PluralData.h\"\n\n"
            "namespace kavri {\nnamespace i18n {\n\n"
            "const char* const PLURAL_CLDR_VERSION = %s;\n\n"
            "const PluralData PLURAL_DATA[] = {\n",
            argv[1], literal(argv[1]).c_str());
        size_t count = 0;
        writeFile(argv[2], "0", count);
        writeFile(argv[3], "1", count);
        std::printf(
            "};\n\nconst size_t PLURAL_DATA_COUNT = %zu;\n\n"
            "}  // namespace i18n\n}  // namespace kavri\n",
            count);
    } catch (const core::Exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.getMessage());
        return 1;
    }
    return 0;
}
