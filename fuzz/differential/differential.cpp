// Differential target against expat, an independent XML reader. For an input
// that both readers accept, the tree that kavrixml reads, written compact
// and read by expat, must equal expat's own reading of the input: same
// names, attributes, body text (all text of an element joined, as the tree
// keeps it), CDATA (all sections joined) and children. Any other outcome is a
// finding: expat refusing what kavrixml wrote, or a tree that differs.
//
// The documented reading rules of kavrixml are allowed for, and nothing else:
// - line ends are kept as they are (a carriage return stays one, and a CR LF
//   pair stays a pair), where expat turns each CR LF or lone CR of the text
//   into one line feed; kavrixml writes the carriage return as "&#13;";
// - white space, tab, line feed and carriage return in attribute values are
//   kept, where expat turns each (a CR LF pair as one) into a blank;
// - white space right after a comment inside an element is skipped.
// Inputs that use what kavrixml does not read (entities other than the five
// predefined ones, which expat can only skip when a DOCTYPE names an
// external subset) are outside the subset and not compared.
#include <expat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
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

// expat reports a skipped entity in text, but drops an undeclared one in
// an attribute value without a word: any reference to an entity other
// than the five predefined ones (wherever it stands, CDATA included) puts
// the input outside the subset. Only the input is asked: the written
// text may join CDATA sections into something that looks like one.
bool referencesUnknownEntity(const std::string& text) {
    static const char* const PREDEFINED[] = {"lt", "gt", "amp", "apos", "quot"};
    for (size_t at = text.find('&'); at != std::string::npos; at = text.find('&', at + 1)) {
        const size_t end = text.find_first_of(";&<>\"' \t\r\n", at + 1);
        if (end == std::string::npos || text[end] != ';') {
            continue;  // a bare '&', which no reading accepts outside CDATA
        }
        const std::string name = text.substr(at + 1, end - at - 1);
        if (name.empty() || name[0] == '#') {
            continue;
        }
        if (std::none_of(std::begin(PREDEFINED), std::end(PREDEFINED),
                         [&name](const char* known) { return name == known; })) {
            return true;
        }
    }
    return false;
}

// Builds an Element tree from expat's events.
class ExpatReading {
  public:
    // The root, or null when expat refuses the text or it leaves the subset.
    static std::unique_ptr<Element> read(const std::string& text) {
        ExpatReading reading;
        XML_Parser parser = XML_ParserCreate("UTF-8");
        XML_SetUserData(parser, &reading);
        XML_SetElementHandler(parser, &ExpatReading::start, &ExpatReading::end);
        XML_SetCharacterDataHandler(parser, &ExpatReading::characters);
        XML_SetCdataSectionHandler(parser, &ExpatReading::startCData, &ExpatReading::endCData);
        XML_SetCommentHandler(parser, &ExpatReading::comment);
        XML_SetSkippedEntityHandler(parser, &ExpatReading::skippedEntity);
        const bool parsed =
            XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
        XML_ParserFree(parser);
        if (!parsed || reading.mOutsideSubset) {
            return nullptr;
        }
        return std::move(reading.mRoot);
    }

  private:
    static void start(void* data, const XML_Char* name, const XML_Char** attributes) {
        auto* self = static_cast<ExpatReading*>(data);
        kavrixml::fuzz::openReferenceElement(self->mRoot, self->mOpen, name, attributes);
        self->mAfterComment = false;
    }
    static void end(void* data, const XML_Char*) {
        auto* self = static_cast<ExpatReading*>(data);
        self->mOpen.pop_back();
        self->mAfterComment = false;
    }
    static void characters(void* data, const XML_Char* text, int length) {
        auto* self = static_cast<ExpatReading*>(data);
        if (self->mOpen.empty()) {
            return;
        }
        Element* element = self->mOpen.back();
        if (self->mInCData) {
            element->cdata.append(text, static_cast<size_t>(length));
            return;
        }
        int from = 0;
        if (self->mAfterComment) {
            while (from < length && (text[from] == ' ' || text[from] == '\t' ||
                                     text[from] == '\n' || text[from] == '\r')) {
                ++from;
            }
            if (from < length) {
                self->mAfterComment = false;
            }
        }
        element->body.append(text + from, static_cast<size_t>(length - from));
    }
    static void startCData(void* data) {
        auto* self = static_cast<ExpatReading*>(data);
        self->mInCData = true;
        self->mAfterComment = false;
    }
    static void endCData(void* data) { static_cast<ExpatReading*>(data)->mInCData = false; }
    static void comment(void* data, const XML_Char*) {
        auto* self = static_cast<ExpatReading*>(data);
        self->mAfterComment = !self->mOpen.empty();
    }
    static void skippedEntity(void* data, const XML_Char*, int) {
        static_cast<ExpatReading*>(data)->mOutsideSubset = true;
    }

    std::unique_ptr<Element> mRoot;
    std::vector<Element*> mOpen;
    bool mInCData = false;
    bool mAfterComment = false;
    bool mOutsideSubset = false;
};

// Whether `written` (expat's reading of kavrixml's output) matches `original`
// (expat's reading of the input), where a byte `normalised` of the original
// may stand for any one of `kept` or for a CR LF pair: what expat made of
// line ends that kavrixml kept. Several alignments may exist (a lone CR next
// to a line feed), so every reachable position is followed.
bool matches(const std::string& original, const std::string& written, char normalised,
             const char* kept) {
    std::vector<size_t> reach{0};
    std::vector<size_t> next;
    for (char c : original) {
        next.clear();
        for (size_t j : reach) {
            if (j < written.size() && written[j] == c) {
                next.push_back(j + 1);
            }
            if (c == normalised && j < written.size()) {
                if (std::string(kept).find(written[j]) != std::string::npos) {
                    next.push_back(j + 1);
                }
                if (written.compare(j, 2, "\r\n") == 0) {
                    next.push_back(j + 2);
                }
            }
        }
        std::sort(next.begin(), next.end());
        next.erase(std::unique(next.begin(), next.end()), next.end());
        reach.swap(next);
        if (reach.empty()) {
            return false;
        }
    }
    return std::find(reach.begin(), reach.end(), written.size()) != reach.end();
}

bool sameText(const std::string& original, const std::string& written) {
    return matches(original, written, '\n', "\r");
}

bool sameValue(const std::string& original, const std::string& written) {
    return matches(original, written, ' ', "\t\n\r");
}

void compare(const Element& original, const Element& written) {
    FUZZ_CHECK(original.name == written.name, "element names");
    FUZZ_CHECK(original.attributes.size() == written.attributes.size(), "attribute count");
    for (size_t i = 0; i < original.attributes.size(); ++i) {
        FUZZ_CHECK(original.attributes[i].first == written.attributes[i].first, "attribute names");
        FUZZ_CHECK(sameValue(original.attributes[i].second, written.attributes[i].second),
                   "attribute values");
    }
    FUZZ_CHECK(sameText(original.body, written.body), "body text");
    FUZZ_CHECK(original.cdata == written.cdata, "CDATA");
    FUZZ_CHECK(original.children.size() == written.children.size(), "child count");
    for (size_t i = 0; i < original.children.size(); ++i) {
        compare(*original.children[i], *written.children[i]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kavrixml::fuzz::QuietLogger quiet;
    const std::string input = kavrixml::fuzz::asText(data, size);
    std::unique_ptr<Element> theirs = ExpatReading::read(input);
    if (theirs == nullptr || referencesUnknownEntity(input)) {
        return 0;
    }
    std::unique_ptr<kavri::xml::Document> ours;
    try {
        kavri::xml::DOMParser parser;
        kavri::stream::MemoryInputStream in(input);
        ours.reset(parser.parse(&in));
    } catch (const ::core::Exception&) {
        return 0;
    }
    kavri::xml::XMLWriter writer(false, false);
    kavri::stream::MemoryOutputStream out;
    writer.write(ours.get(), &out);
    std::unique_ptr<Element> back = ExpatReading::read(out.str());
    FUZZ_CHECK(back != nullptr, "expat reads what kavrixml wrote");
    compare(*theirs, *back);
    return 0;
}
