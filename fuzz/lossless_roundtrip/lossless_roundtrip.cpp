// Reads whole documents losslessly. A document that reads must be written
// back unchanged byte for byte; then one edit chosen from the input's hash
// (an attribute set or removed, a text, comment or element inserted, an
// item's text changed, an item removed, a child added with addChild) is
// made through the API, and the document written after it must read again,
// losslessly, as the edited tree: same elements, attributes, bodies (but for
// white space at their ends) and CDATA, and the same content in order
// (adjacent text runs joined, as a reader joins them) where no reference to
// an entity stands for a part of it. Elements an entity's replacement text
// made are edited as any other.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/plinth/Exception.h"
#include "fuzz/FuzzSupport.h"
#include "xml/ContentList.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XMLException.h"
#include "xml/XNode.h"

using kavri::xml::ContentItem;
using kavri::xml::ContentList;
using kavri::xml::Document;
using kavri::xml::XNode;

namespace {

std::unique_ptr<Document> readLossless(const std::string& input) {
    kavri::stream::MemoryInputStream in(input);
    kavri::xml::DOMParser parser;
    parser.setLossless(true);
    try {
        return std::unique_ptr<Document>(parser.parse(&in));
    } catch (const ::core::Exception&) {
        return nullptr;
    }
}

std::vector<XNode*> elementsOf(XNode* root) {
    std::vector<XNode*> all{root};
    for (size_t i = 0; i < all.size(); ++i) {
        for (const auto& child : all[i]->getChildren()) {
            all.push_back(child.get());
        }
    }
    return all;
}

// The content in order as a reader would give it back: adjacent text runs
// joined, each part as kind and text. Runs of white space alone are left
// out: the writer indents a new element as its previous sibling, white
// space the tree does not hold.
std::string contentOf(XNode* element) {
    std::vector<std::pair<int, std::string>> parts;
    for (const ContentItem& item : ContentList(element)) {
        const int kind = item.getKind();
        std::string text =
            item.getTarget() + (item.getTarget().empty() ? "" : " ") + item.getText();
        if (kind == ContentItem::TEXT && !parts.empty() && parts.back().first == kind) {
            parts.back().second += text;
        } else {
            parts.emplace_back(kind, std::move(text));
        }
    }
    std::string out;
    for (const auto& part : parts) {
        if (part.first != ContentItem::TEXT || !kavrixml::fuzz::trimmed(part.second).empty()) {
            out += '|' + std::to_string(part.first) + part.second;
        }
    }
    return out;
}

// Whether the input refers to a general entity of its own: the content in
// order holds such a reference as one text, which stands for what the
// entity makes, and the document written may hold it expanded.
bool refersToEntities(const std::string& input) {
    static const char* const PREDEFINED[] = {"lt;", "gt;", "amp;", "quot;", "apos;"};
    for (size_t at = input.find('&'); at != std::string::npos; at = input.find('&', at + 1)) {
        if (at + 1 < input.size() && input[at + 1] != '#' &&
            std::none_of(std::begin(PREDEFINED), std::end(PREDEFINED), [&](const char* name) {
                return input.compare(at + 1, std::strlen(name), name) == 0;
            })) {
            return true;
        }
    }
    return false;
}

const char* const TEXTS[] = {"a & b <c> \"'", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC", "", " \n ", "x]]>y",
                             "tab\there\r\n"};

// One edit of `element`, chosen by `choice`; XMLException when the API
// refuses it (a text a comment or CDATA section cannot hold).
void edit(XNode* element, uint64_t choice) {
    ContentList content(element);
    const size_t at = content.size() == 0 ? 0 : (choice >> 8) % (content.size() + 1);
    const std::string text = TEXTS[(choice >> 16) % (sizeof TEXTS / sizeof *TEXTS)];
    switch (choice % 8) {
        case 0:
            element->setAttributeChar(element->getAttributeCount() > 0 && (choice & 0x100)
                                          ? element->getAttributes().begin()->second->getName()
                                          : "added",
                                      text);
            break;
        case 1:
            if (element->getAttributeCount() > 0) {
                element->removeAttribute(element->getAttributes().begin()->second->filedName());
            }
            break;
        case 2:
            ContentList(content.insertElement(at, "new")).insertText(0, text);
            break;
        case 3:
            if (at < content.size() && content[at].getKind() != ContentItem::ELEMENT) {
                content.setText(at, content[at].getKind() == ContentItem::TEXT ? text : "edited");
            }
            break;
        case 4:
            if (at < content.size()) {
                content.remove(at);
            }
            break;
        case 5:
            content.insertComment(at, " note ");
            break;
        case 6:
            content.insertText(at, text);
            break;
        default:
            element->addChild("added")->addBody(text);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kavrixml::fuzz::QuietLogger quiet;
    const std::string input = kavrixml::fuzz::asText(data, size);
    std::unique_ptr<Document> doc = readLossless(input);
    if (doc == nullptr) {
        return 0;
    }
    std::string unchanged;
    doc->writeLossless(unchanged);
    FUZZ_CHECK(unchanged == input, "a document written unchanged gives its input back");

    const uint64_t choice = std::hash<std::string>()(input);
    std::vector<XNode*> elements = elementsOf(doc->getRootNode());
    XNode* element = elements[(choice >> 32) % elements.size()];
    try {
        edit(element, choice);
    } catch (const kavri::xml::XMLException&) {
        return 0;
    }
    std::string edited;
    try {
        doc->writeLossless(edited);
    } catch (const kavri::xml::XMLException&) {
        return 0;  // a character the input's encoding cannot hold
    }
    std::unique_ptr<Document> again = readLossless(edited);
    if (std::getenv("LOSSLESS_FUZZ_SHOW") != nullptr) {
        std::string before;
        std::string after;
        doc->getRootNode()->dump(before);
        if (again != nullptr) {
            again->getRootNode()->dump(after);
        }
        std::fprintf(stderr, "edit %llu of <%s>; written:\n%s\nexpected:\n%s\nread:\n%s\n",
                     static_cast<unsigned long long>(choice % 8), element->getName(),
                     edited.c_str(), before.c_str(), after.c_str());
    }
    FUZZ_CHECK(again != nullptr, "the edited document reads");
    FUZZ_CHECK(
        kavrixml::fuzz::firstDifference(doc->getRootNode(), again->getRootNode(), true) == nullptr,
        "the edited document reads as the edited tree");
    std::vector<XNode*> before = elementsOf(doc->getRootNode());
    std::vector<XNode*> after = elementsOf(again->getRootNode());
    const bool referring = refersToEntities(input);
    for (size_t i = 0; i < before.size() && !referring; ++i) {
        FUZZ_CHECK(contentOf(before[i]) == contentOf(after[i]), "the same content in order");
    }
    return 0;
}
