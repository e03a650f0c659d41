// Resolves fuzzed texts against a parent and a child bundle whose texts are
// fuzzed too. The input is three parts cut at the separator: the parent's
// texts and the child's texts, one "key=text" per line, and the text to
// resolve. Every "%" is removed from the texts handed to resolve, so that the
// formatting step reads no argument and must leave the text as it is.
//
// The result is compared with a plain reading of the reference rules: a
// "${" followed by 1 to 63 characters and the first "}" after them is a
// reference, replaced by the text of that name (the child's own, else with
// `inherit` the parent's, else the bare name); anything else is copied.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/kavrimain/SystemInfo.h"
#include "fuzz/FuzzSupport.h"
#include "i18n/Bundle.h"

using kavri::i18n::Bundle;

namespace {

std::string withoutPercent(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '%'), text.end());
    return text;
}

// "key=text" lines; a line without "=" is skipped.
void fill(Bundle* bundle, const std::string& lines, bool stripPercent) {
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find('\n', start);
        if (end == std::string::npos) {
            end = lines.size();
        }
        std::string line = lines.substr(start, end - start);
        size_t equals = line.find('=');
        if (equals != std::string::npos) {
            std::string text = line.substr(equals + 1);
            bundle->setText(line.substr(0, equals), stripPercent ? withoutPercent(text) : text);
        }
        start = end + 1;
    }
}

std::string expectedResolve(const Bundle* bundle, const char* text, bool inherit) {
    std::string out;
    const char* scan = text;
    for (;;) {
        const char* open = std::strstr(scan, "${");
        if (open == nullptr) {
            return out + scan;
        }
        out.append(scan, open);
        const char* name = open + 2;
        const char* close = std::strchr(name, '}');
        size_t length = close != nullptr ? static_cast<size_t>(close - name) : 0;
        if (length < 1 || length > 63) {
            out += "${";
            scan = name;
            continue;
        }
        std::string key(name, length);
        if (bundle->containsKey(key)) {
            out += (*bundle)[key.c_str()];
        } else if (inherit && bundle->getParent() != nullptr) {
            out += bundle->getParent()->getText(key.c_str(), true);
        } else {
            out += key;
        }
        scan = close + 1;
    }
}

void checkBundles(const std::vector<std::string>& parts, bool stripPercent) {
    ::core::SmartPtr<Bundle> parent(new Bundle("parent", "parent.xml"));
    Bundle* child = new Bundle("child", "child.xml");
    parent->addChild(child);
    fill(parent, parts[0], stripPercent);
    fill(child, parts[1], stripPercent);
    const std::string text = stripPercent ? withoutPercent(parts[2]) : parts[2];

    std::string out;
    for (bool inherit : {true, false}) {
        std::string expected = expectedResolve(child, text.c_str(), inherit);
        child->resolveReferences(text.c_str(), out, inherit);
        FUZZ_CHECK(out == expected, "references resolve as the rules say");
        if (stripPercent) {
            child->resolve(text.c_str(), out, inherit);
            FUZZ_CHECK(out == expected, "formatting without conversions changes nothing");
        }
    }
    FUZZ_CHECK(Bundle::needsResolving(text.c_str()) == (std::strstr(text.c_str(), "${") != nullptr),
               "needsResolving finds \"${\"");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool language = (kavri::platform::SystemInfo::setLanguageCode("en"), true);
    (void)language;
    const std::vector<std::string> parts = kavrixml::fuzz::split(data, size, 3);
    checkBundles(parts, true);
    checkBundles(parts, false);
    return 0;
}
