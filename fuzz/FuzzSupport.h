// Helpers shared by the fuzz targets: the input as text, cutting an input into
// the several files a target needs, a quiet root logger, a comparison of two
// element trees, and a check that stops the run with a message when a
// property does not hold (libFuzzer then saves the input as a crash).
//
//   kavrixml::fuzz::QuietLogger quiet;           // warnings are expected here
//   auto parts = kavrixml::fuzz::split(data, size, 4);
//   FUZZ_CHECK(parts.size() == 4, "split");
#ifndef KAVRIXML_FUZZ_FUZZSUPPORT_H
#define KAVRIXML_FUZZ_FUZZSUPPORT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/plinth/Logger.h"
#include "xml/XNode.h"

#define FUZZ_CHECK(condition, what)                                                            \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, __FILE__, __LINE__); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace kavrixml {
namespace fuzz {

// Separates the files inside one input; seeds and the dictionaries use it.
const char SEPARATOR[] = "\n=====\n";

// An element as the reference reader (expat) gives it, in the document
// model's terms: attributes sorted by name, the text joined into one body
// and the CDATA sections into another.
struct ReferenceElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;  // sorted by name
    std::string body;
    std::string cdata;
    std::vector<std::unique_ptr<ReferenceElement>> children;
};

// The element of a start tag (expat's name and name-value array), put under
// the open one or made the root, and opened in its turn.
inline void openReferenceElement(std::unique_ptr<ReferenceElement>& root,
                                 std::vector<ReferenceElement*>& open, const char* name,
                                 const char** attributes) {
    auto element = std::make_unique<ReferenceElement>();
    element->name = name;
    for (const char** a = attributes; *a != nullptr; a += 2) {
        element->attributes.emplace_back(a[0], a[1]);
    }
    std::sort(element->attributes.begin(), element->attributes.end());
    ReferenceElement* raw = element.get();
    if (open.empty()) {
        root = std::move(element);
    } else {
        open.back()->children.push_back(std::move(element));
    }
    open.push_back(raw);
}

inline std::string asText(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Cuts the input at SEPARATOR into exactly `count` parts: missing parts are
// empty, and the last part keeps any further separators.
inline std::vector<std::string> split(const uint8_t* data, size_t size, size_t count) {
    const std::string input = asText(data, size);
    const size_t separatorLength = sizeof SEPARATOR - 1;
    std::vector<std::string> parts;
    size_t start = 0;
    while (parts.size() + 1 < count) {
        size_t found = input.find(SEPARATOR, start);
        if (found == std::string::npos) {
            break;
        }
        parts.push_back(input.substr(start, found - start));
        start = found + separatorLength;
    }
    parts.push_back(input.substr(start));
    parts.resize(count);
    return parts;
}

// Silences the root logger for the life of the object: fuzzed files fail to
// load all the time, and a warning per run would drown the fuzzer's output.
class QuietLogger {
  public:
    QuietLogger() {
        logging::Logger::mROOT_LOGGER->setSink([](int, const char*) {});
    }
    ~QuietLogger() { logging::Logger::mROOT_LOGGER->setSink(nullptr); }
    QuietLogger(const QuietLogger&) = delete;
    QuietLogger& operator=(const QuietLogger&) = delete;
};

// Bytes of up to 32 at both ends removed: what the reader's body trimming
// drops.
inline std::string trimmed(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32) {
        --end;
    }
    size_t begin = 0;
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) {
        ++begin;
    }
    return text.substr(begin, end - begin);
}

inline std::string cdataOf(const kavri::xml::XNode* node) {
    unsigned size = 0;
    const char* data = node->getCData(size);
    return data != nullptr ? std::string(data, size) : std::string();
}

// Null when the two trees hold the same names, attributes, CDATA, children
// and bodies (compared after trimming with `trimBodies`); otherwise the name
// of the first element that differs. Iterative: the trees may be deep.
inline const char* firstDifference(const kavri::xml::XNode* a, const kavri::xml::XNode* b,
                                   bool trimBodies) {
    std::vector<std::pair<const kavri::xml::XNode*, const kavri::xml::XNode*>> pending{{a, b}};
    while (!pending.empty()) {
        const kavri::xml::XNode* left = pending.back().first;
        const kavri::xml::XNode* right = pending.back().second;
        pending.pop_back();
        bool same = std::strcmp(left->getName(), right->getName()) == 0 &&
                    left->getChildCount() == right->getChildCount() &&
                    left->getAttributeCount() == right->getAttributeCount() &&
                    cdataOf(left) == cdataOf(right);
        if (same) {
            same = trimBodies ? trimmed(left->getBodyString()) == trimmed(right->getBodyString())
                              : left->getBodyString() == right->getBodyString();
        }
        if (same) {
            auto lit = left->getAttributes().begin();
            auto rit = right->getAttributes().begin();
            for (; same && lit != left->getAttributes().end(); ++lit, ++rit) {
                same = lit->second->getNameString() == rit->second->getNameString() &&
                       lit->second->getValueString() == rit->second->getValueString();
            }
        }
        if (!same) {
            return left->getName();
        }
        for (unsigned i = 0; i < left->getChildCount(); ++i) {
            pending.emplace_back(left->getChildren()[i].get(), right->getChildren()[i].get());
        }
    }
    return nullptr;
}

}  // namespace fuzz
}  // namespace kavrixml

#endif  // KAVRIXML_FUZZ_FUZZSUPPORT_H
