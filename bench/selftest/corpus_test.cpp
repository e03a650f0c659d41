// The corpus generator (bench/make_corpus.py) must turn real-world XML into
// what our reader accepts without changing its content, or the benchmark
// would measure a different document for us than for the peers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "framework/plinth/Exception.h"
#include "tests/xml/xml_io_support.h"

namespace {

const std::string kGenerator = KAVRIXML_SOURCE_DIR "/bench/make_corpus.py";

bool haveReadableFile(const std::string& path) {
    return std::ifstream(path).good();
}

bool havePython() {
    return std::system("python3 --version >/dev/null 2>&1") == 0;
}

// Runs the generator's --sanitize on `path`; the output, or "" on failure.
std::string sanitize(const std::string& path, const std::string& extra = "") {
    const std::string command = "python3 '" + kGenerator + "' --sanitize '" + path + "' " + extra;
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, n);
        }
        if (pclose(pipe) != 0) {
            return "";
        }
    }
    return out;
}

// Start tags in a text without CDATA: every '<' that opens a name.
size_t countStartTags(const std::string& text) {
    size_t count = 0;
    for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
        const unsigned char next = at + 1 < text.size() ? text[at + 1] : 0;
        count += std::isalpha(next) || next == '_' ? 1 : 0;
    }
    return count;
}

size_t countElements(kavri::xml::XNode* root) {
    size_t count = 0;
    root->visit([&count](kavri::xml::XNode*, int, int) {
        ++count;
        return kavri::xml::XNode::VISIT_CONTINUE;
    });
    return count;
}

// Parses `text`; a failure is reported with its message and gives null.
std::unique_ptr<kavri::xml::Document> parse(const std::string& text) {
    try {
        return xmlio::parse(text);
    } catch (const ::core::Exception& e) {
        ADD_FAILURE() << e.getMessage();
        return nullptr;
    }
}

std::string writeSample(const char* name, const std::string& text) {
    const std::string path = std::string(KAVRIXML_TEST_TMP) + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// Everything our reader refuses, around content that must survive.
const char* const kAwkward =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
    "<!-- licence -->\n"
    "<!DOCTYPE r [\n"
    "  <!ENTITY co \"Example &amp; Co\">\n"
    "  <!ATTLIST r v CDATA \"x>y]\">\n"
    "]>\n"
    "<?stylesheet href=\"s.xsl\"?>\n"
    "<r a=\"1 & 2\" b='&co;'>\n"
    "  <!-- note -->text &unknown; &#233;\n"
    "  <c><![CDATA[<!-- kept --> & <?pi?>]]></c>\n"
    "</r>\n";

TEST(CorpusGenerator, SanitizingDropsWhatOurReaderRefusesAndKeepsTheContent) {
    if (!havePython()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const std::string out = sanitize(writeSample("awkward.xml", kAwkward));
    EXPECT_EQ(out,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<r a=\"1 &amp; 2\" b='Example &amp; Co'>\n"
              "  text &amp;unknown; &#233;\n"
              "  <c><![CDATA[<!-- kept --> & <?pi?>]]></c>\n"
              "</r>\n");

    std::unique_ptr<kavri::xml::Document> doc = parse(out);
    ASSERT_NE(doc, nullptr);
    kavri::xml::XNode* root = doc->getRootNode();
    EXPECT_STREQ(root->getAttributeChar("a", ""), "1 & 2");
    EXPECT_STREQ(root->getAttributeChar("b", ""), "Example & Co");
    EXPECT_NE(root->getBodyString().find("text &unknown; \xC3\xA9"), std::string::npos);
    ASSERT_EQ(root->getChildCount(), 1u);
    unsigned size = 0;
    const char* cdata = root->getFirstChild()->getCData(size);
    EXPECT_EQ(std::string(cdata, size), "<!-- kept --> & <?pi?>");
}

TEST(CorpusGenerator, RepeatingKeepsOneRootAroundCopiesOfItsContent) {
    if (!havePython()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const std::string path =
        writeSample("small.xml", "<?xml version=\"1.0\"?><list n=\"1\"><i/><i>x</i></list>\n");
    const std::string out = sanitize(path, "--repeat-to 400");
    ASSERT_GE(out.size(), 400u);
    std::unique_ptr<kavri::xml::Document> doc = parse(out);
    ASSERT_NE(doc, nullptr);
    kavri::xml::XNode* root = doc->getRootNode();
    EXPECT_STREQ(root->getName(), "list");
    EXPECT_STREQ(root->getAttributeChar("n", ""), "1");
    // Declaration (39 bytes) and root tags (12 + 8) leave 341 bytes for the
    // 12 bytes of content: 29 copies, rounded up, of two children each.
    EXPECT_EQ(root->getChildCount(), 58u);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Per element name: how many there are, the fewest and most attributes one
// has, and whether any body or CDATA holds '&' or '<'.
struct Shape {
    size_t count = 0;
    unsigned fewestAttributes = ~0u;
    unsigned mostAttributes = 0;
    bool markupInBody = false;
    bool markupInCData = false;
};

// The text with every CDATA section cut out, so that its start tags can be
// counted.
std::string withoutCData(const std::string& text) {
    std::string out;
    size_t at = 0;
    for (size_t open; (open = text.find("<![CDATA[", at)) != std::string::npos;) {
        out.append(text, at, open - at);
        at = text.find("]]>", open);
        at = at == std::string::npos ? text.size() : at + 3;
    }
    return out.append(text, at, std::string::npos);
}

bool hasMarkupCharacters(const std::string& text) {
    return text.find('&') != std::string::npos && text.find('<') != std::string::npos;
}

std::map<std::string, Shape> shapesOf(kavri::xml::XNode* root, int& deepest) {
    std::map<std::string, Shape> shapes;
    deepest = 0;
    root->visit([&](kavri::xml::XNode* node, int depth, int) {
        Shape& shape = shapes[node->getName()];
        ++shape.count;
        shape.fewestAttributes = std::min(shape.fewestAttributes, node->getAttributeCount());
        shape.mostAttributes = std::max(shape.mostAttributes, node->getAttributeCount());
        shape.markupInBody = shape.markupInBody || hasMarkupCharacters(node->getBodyString());
        unsigned size = 0;
        const char* cdata = node->getCData(size);
        shape.markupInCData = shape.markupInCData ||
                              (cdata != nullptr && hasMarkupCharacters(std::string(cdata, size)));
        deepest = std::max(deepest, depth + 1);
        return kavri::xml::XNode::VISIT_CONTINUE;
    });
    return shapes;
}

// Small versions of the synthetic documents: they read with our reader and
// have the shape their names promise, or the benchmark measures something
// else than RESULTS.md says.
TEST(CorpusGenerator, SyntheticDocumentsReadAndHaveTheShapesTheyAreNamedFor) {
    if (!havePython()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const std::string folder = std::string(KAVRIXML_TEST_TMP) + "/corpus";
    const std::string command =
        "python3 '" + kGenerator + "' --out '" + folder + "' --size 60000 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);

    std::map<std::string, std::map<std::string, Shape>> documents;
    std::map<std::string, int> depths;
    for (const char* name : {"attributes", "text", "cdata", "deep"}) {
        SCOPED_TRACE(name);
        const std::string text = readFile(folder + "/" + name + ".xml");
        ASSERT_GE(text.size(), 60000u);
        std::unique_ptr<kavri::xml::Document> doc = parse(text);
        ASSERT_NE(doc, nullptr);
        documents[name] = shapesOf(doc->getRootNode(), depths[name]);
        EXPECT_EQ(countElements(doc->getRootNode()), countStartTags(withoutCData(text)));
    }
    const Shape& item = documents["attributes"]["item"];
    EXPECT_GT(item.count, 500u);
    EXPECT_EQ(item.fewestAttributes, 3u);
    EXPECT_EQ(item.mostAttributes, 5u);
    EXPECT_TRUE(documents["text"]["p"].markupInBody);
    EXPECT_TRUE(documents["cdata"]["script"].markupInCData);
    EXPECT_FALSE(documents["cdata"]["script"].markupInBody);
    EXPECT_EQ(depths["deep"], 200);
    EXPECT_LE(depths["attributes"], 3);
}

// The real documents of the corpus, from Debian packages that `make bench`
// installs: each must read whole after sanitizing. They hold no CDATA, so
// their start tags can be counted in the text.
TEST(CorpusGenerator, RealDebianDocumentsReadWithOurReaderAfterSanitizing) {
    if (!havePython()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const char* const documents[] = {
        "/usr/share/X11/xkb/rules/base.xml",
        "/usr/share/xml/iso-codes/iso_639-3.xml",
        "/usr/share/xml/iso-codes/iso_3166-2.xml",
        "/usr/share/mime/packages/freedesktop.org.xml",
    };
    int checked = 0;
    for (const char* path : documents) {
        if (!haveReadableFile(path)) {
            continue;
        }
        SCOPED_TRACE(path);
        const std::string out = sanitize(path);
        ASSERT_FALSE(out.empty());
        std::unique_ptr<kavri::xml::Document> doc = parse(out);
        ASSERT_NE(doc, nullptr);
        ASSERT_EQ(out.find("<![CDATA["), std::string::npos);
        EXPECT_EQ(countElements(doc->getRootNode()), countStartTags(out));
        ++checked;
    }
    if (checked == 0) {
        GTEST_SKIP() << "none of the Debian documents is installed (make bench installs them)";
    }
}

}  // namespace
