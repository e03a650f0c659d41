// Differential target for lenient reading against expat. Lenient reading
// claims to read as a conforming XML 1.0 processor that reads no external
// entity; expat is one. Both read each input and must agree on the verdict
// (both read it, or both refuse it) and, when both read it, on the tree:
// names, attributes (with the defaults and the normalisation the internal
// subset asks for), body text (all text of an element joined) and CDATA.
// The tree kavrixml read is then written compact; expat and lenient reading
// must both read that back to the same tree.
//
// An input without separators is read as it is. One cut into four parts
// (encoding choice, internal subset, root attributes, content) is put
// together as
//   <?xml version="1.0" encoding="E"?><!DOCTYPE r [SUBSET]><r ATTRIBUTES>CONTENT</r>
// in UTF-8, ISO-8859-1 (the same bytes) or UTF-16 (with a byte-order mark).
//
// Where the two are allowed to differ, the input is not compared: limits
// (entity nesting and expansion, element depth), encodings that only one of
// them knows, version numbers other than 1.x (which expat takes), names
// beyond ASCII that the two editions class differently, and anything that
// names an external entity or subset (SYSTEM, PUBLIC), where what an unread
// declaration would say is left open.
#include <expat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "fuzz/FuzzSupport.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"

namespace {

using Element = kavrixml::fuzz::ReferenceElement;

class ExpatReading {
  public:
    std::unique_ptr<Element> root;
    enum XML_Error error = XML_ERROR_NONE;
    bool skipped = false;

    explicit ExpatReading(const std::string& text) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        // Internal parameter entities are read; external ones never come
        // to be compared.
        XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_ALWAYS);
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, &ExpatReading::start, &ExpatReading::end);
        XML_SetCharacterDataHandler(parser, &ExpatReading::characters);
        XML_SetCdataSectionHandler(parser, &ExpatReading::startCData, &ExpatReading::endCData);
        XML_SetSkippedEntityHandler(parser, &ExpatReading::skippedEntity);
        if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK) {
            error = XML_GetErrorCode(parser);
            root.reset();
        }
        XML_ParserFree(parser);
    }

  private:
    static void start(void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* self = static_cast<ExpatReading*>(data);
        kavrixml::fuzz::openReferenceElement(self->root, self->mOpen, name, attributes);
    }
    static void end(void* data, const XML_Char*) {
        static_cast<ExpatReading*>(data)->mOpen.pop_back();
    }
    static void characters(void* data, const XML_Char* text, int length) {
        auto* self = static_cast<ExpatReading*>(data);
        Element* element = self->mOpen.back();
        (self->mInCData ? element->cdata : element->body).append(text, static_cast<size_t>(length));
    }
    static void startCData(void* data) { static_cast<ExpatReading*>(data)->mInCData = true; }
    static void endCData(void* data) { static_cast<ExpatReading*>(data)->mInCData = false; }
    static void skippedEntity(void* data, const XML_Char*, int) {
        static_cast<ExpatReading*>(data)->skipped = true;
    }

    std::vector<Element*> mOpen;
    bool mInCData = false;
};

std::unique_ptr<Element> fromTree(const kavri::xml::XNode* node) {
    auto element = std::make_unique<Element>();
    element->name = node->getName();
    for (const auto& attribute : node->getAttributes()) {
        element->attributes.emplace_back(attribute.second->getNameString(),
                                         attribute.second->getValueString());
    }
    element->body = node->getBodyString();
    element->cdata = kavrixml::fuzz::cdataOf(node);
    for (unsigned i = 0; i < node->getChildCount(); ++i) {
        element->children.push_back(fromTree(node->getChildren()[i].get()));
    }
    return element;
}

// With `kept`, a value that kavrixml read with a reference kept as written
// may differ: expat drops such a reference from an attribute value.
void compare(const Element& expat, const Element& ours, bool kept) {
    FUZZ_CHECK(expat.name == ours.name, "element names");
    const auto hasReference = [](const std::pair<std::string, std::string>& attribute) {
        return attribute.second.find('&') != std::string::npos;
    };
    FUZZ_CHECK(
        expat.attributes == ours.attributes ||
            (kept && std::any_of(ours.attributes.begin(), ours.attributes.end(), hasReference)),
        "attributes");
    FUZZ_CHECK(expat.body == ours.body, "body text");
    FUZZ_CHECK(expat.cdata == ours.cdata, "CDATA");
    FUZZ_CHECK(expat.children.size() == ours.children.size(), "child count");
    for (size_t i = 0; i < expat.children.size(); ++i) {
        compare(*expat.children[i], *ours.children[i], kept);
    }
}

// Lenient reading of `text`: the document, or null with the message.
std::unique_ptr<kavri::xml::Document> readLeniently(const std::string& text, std::string& message) {
    try {
        kavri::xml::DOMParser parser;
        parser.setLenient(true);
        kavri::stream::MemoryInputStream in(text);
        return std::unique_ptr<kavri::xml::Document>(parser.parse(&in));
    } catch (const ::core::Exception& e) {
        message = e.getMessage();
        return nullptr;
    }
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// UTF-16LE with its byte-order mark; false for bytes that are no UTF-8.
bool toUTF16(const std::string& utf8, std::string& out) {
    out = "\xFF\xFE";
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        uint32_t c;
        size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
        if (n == 0 || i + n > utf8.size()) {
            return false;
        }
        c = n == 1 ? b : b & (0xFF >> (n + 1));
        for (size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) {
                return false;
            }
            c = (c << 6) | (utf8[i + k] & 0x3F);
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        }
        i += n;
        auto unit = [&out](uint32_t u) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>(u >> 8);
        };
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return true;
}

std::string document(const uint8_t* data, size_t size, bool& unsure) {
    const std::vector<std::string> parts = kavrixml::fuzz::split(data, size, 4);
    if (parts[1].empty() && parts[2].empty() && parts[3].empty()) {
        return parts[0];
    }
    static const char* const ENCODINGS[] = {nullptr, "UTF-8", "ISO-8859-1", "UTF-16"};
    const size_t choice = parts[0].empty() ? 0 : static_cast<unsigned char>(parts[0][0]) % 4;
    std::string text = "<?xml version=\"1.0\"";
    if (ENCODINGS[choice] != nullptr) {
        text += std::string(" encoding=\"") + ENCODINGS[choice] + "\"";
    }
    text += "?>";
    if (!parts[1].empty()) {
        text += "<!DOCTYPE r [" + parts[1] + "]>";
    }
    text += "<r " + parts[2] + ">" + parts[3] + "</r>";
    std::string wide;
    if (choice == 3) {
        if (!toUTF16(text, wide)) {
            unsure = true;  // the declaration names an encoding the bytes are not in
            return text;
        }
        return wide;
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kavrixml::fuzz::QuietLogger quiet;
    bool unsure = false;
    const std::string input = document(data, size, unsure);
    // Left open by the rules, or beyond a limit of one of the readers.
    const bool external =
        input.find("SYSTEM") != std::string::npos || input.find("PUBLIC") != std::string::npos;
    ExpatReading theirs(input);
    std::string message;
    std::unique_ptr<kavri::xml::Document> ours = readLeniently(input, message);
    const bool limit = startsWith(message, "Entity references nested deeper") ||
                       startsWith(message, "Entity expansion exceeds") ||
                       startsWith(message, "Maximum nesting depth") ||
                       theirs.error == XML_ERROR_AMPLIFICATION_LIMIT_BREACH;
    const bool encoding =
        startsWith(message, "Unsupported encoding") || startsWith(message, "Encoding ") ||
        startsWith(message, "Invalid byte sequence in encoding") ||
        theirs.error == XML_ERROR_UNKNOWN_ENCODING || theirs.error == XML_ERROR_INCORRECT_ENCODING;
    // expat takes any version number; XML 1.0 reads only 1.x.
    const bool version = startsWith(message, "Only XML 1.0 supported");
    if (unsure || external || limit || encoding || version || theirs.skipped) {
        return 0;
    }
    // expat's name classes are older than the fifth edition's: where a name
    // may hold a character beyond ASCII, the two may differ on it.
    const bool beyondASCII =
        std::any_of(input.begin(), input.end(), [](char c) { return (c & 0x80) != 0; }) ||
        input.find("&#") != std::string::npos;
    if (beyondASCII && ((ours != nullptr && theirs.error == XML_ERROR_INVALID_TOKEN) ||
                        (ours == nullptr && message.find("[Name]") != std::string::npos))) {
        return 0;
    }
    if (theirs.root == nullptr) {
        if (ours != nullptr) {
            std::fprintf(stderr, "expat: %s\n", XML_ErrorString(theirs.error));
        }
        FUZZ_CHECK(ours == nullptr, "lenient reading refuses what expat refuses");
        return 0;
    }
    if (ours == nullptr) {
        std::fprintf(stderr, "kavrixml: %s\n", message.c_str());
    }
    FUZZ_CHECK(ours != nullptr, "lenient reading reads what expat reads");
    // After a parameter-entity reference, an undeclared entity is no fault:
    // kavrixml keeps the reference as written.
    const bool kept = input.find('%') != std::string::npos;
    compare(*theirs.root, *fromTree(ours->getRootNode()), kept);
    // Written back, read back by both to the same tree.
    kavri::stream::MemoryOutputStream out;
    kavri::xml::XMLWriter(false, false).write(ours.get(), &out);
    ExpatReading written(out.str());
    FUZZ_CHECK(written.root != nullptr, "expat reads what kavrixml wrote");
    compare(*theirs.root, *written.root, kept);
    std::unique_ptr<kavri::xml::Document> again = readLeniently(out.str(), message);
    FUZZ_CHECK(again != nullptr, "lenient reading reads what kavrixml wrote");
    compare(*theirs.root, *fromTree(again->getRootNode()), kept);
    return 0;
}
