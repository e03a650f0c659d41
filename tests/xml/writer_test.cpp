// XMLWriter: the worked example in every option, escaping and quoting, the
// stream calls and warnings, and round trips through the reader. Deep
// indentation is pinned in reader_test, a shared writer in thread_stress_test.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/kavrimain/MemoryOutputStream.h"
#include "xml/XMLWriter.h"
#include "xml_io_support.h"

namespace {

using kavri::stream::MemoryOutputStream;
using kavri::xml::Document;
using kavri::xml::XMLWriter;
using kavri::xml::XNode;
using xmlio::parse;
using xmlio::readSample;
using xmlio::RecordingStream;

// The writer's worked example: a id=7 with b (body hi) and c (attributes
// n=2, then k=v).
struct Example {
    Document doc;
    XNode* a;
    XNode* b;
    Example() {
        a = doc.createNode("a", nullptr);
        doc.setRootNode(a);
        a->addAttribute("id", "7");
        b = a->addChild("b");
        b->addBody("hi");
        XNode* c = a->addChild("c");
        c->addAttribute("n", "2");
        c->addAttribute("k", "v");
    }
};

std::string written(XMLWriter& writer, Document* doc) {
    MemoryOutputStream out;
    writer.write(doc, &out);
    return out.str();
}

std::string written(XMLWriter& writer, XNode* node) {
    MemoryOutputStream out;
    writer.write(node, &out);
    return out.str();
}

const char* const DECLARATION = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const char* const EXAMPLE_BODY =
    "<a id=\"7\">\n\t<b>\n\thi\n\t</b>\n\t<c k=\"v\" n=\"2\"/>\n</a>\n";

TEST(XMLWriterExample, DefaultCompactCrLfBomAndNoDeclarationForms) {
    Example example;
    XMLWriter writer;  // declaration, tidy, LF, no byte-order mark
    EXPECT_EQ(written(writer, &example.doc), std::string(DECLARATION) + "\n" + EXAMPLE_BODY);

    writer.setTidyOutput(false);
    EXPECT_EQ(written(writer, &example.doc),
              std::string(DECLARATION) + "<a id=\"7\"><b>hi</b><c k=\"v\" n=\"2\"/></a>");

    writer.setTidyOutput(true);
    writer.setCRLF(true);
    EXPECT_EQ(
        written(writer, &example.doc),
        std::string(DECLARATION) +
            "\r\n<a id=\"7\">\r\n\t<b>\r\n\thi\r\n\t</b>\r\n\t<c k=\"v\" n=\"2\"/>\r\n</a>\r\n");

    writer.setCRLF(false);
    writer.setWriteBOM(true);
    EXPECT_EQ(written(writer, &example.doc),
              std::string("\xEF\xBB\xBF") + DECLARATION + "\n" + EXAMPLE_BODY);

    writer.setWriteBOM(false);
    writer.setWriteDeclaration(false);
    EXPECT_EQ(written(writer, &example.doc), EXAMPLE_BODY);
}

TEST(XMLWriterExample, SubtreeIsWrittenAsARootWithDefaultDeclaration) {
    Example example;
    XNode* declaration = example.doc.createNode("xml", nullptr);
    declaration->addAttribute("version", "1.0");
    declaration->addAttribute("encoding", "utf-8");
    example.doc.setXmlDeclaration(declaration);
    XMLWriter writer;
    EXPECT_EQ(written(writer, &example.doc).substr(0, 39),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
    EXPECT_EQ(written(writer, example.b),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<b>\nhi\n</b>\n");
}

TEST(XMLWriterContent, EscapingQuotingBodyAndCData) {
    auto doc = parse(
        "<r plain=\"a&lt;b &amp; 'c'\" quoted='say \"hi\"'><t>1 &lt; 2 &amp; \"x\"\n</t>"
        "<d><![CDATA[x<y]]></d><e><![CDATA[c]]>b</e><f z=''/></r>");
    XMLWriter writer(false);
    EXPECT_EQ(written(writer, doc.get()),
              "<r plain=\"a&lt;b &amp; &apos;c&apos;\" quoted='say &quot;hi&quot;'>\n"
              "\t<t>\n"
              "\t1 &lt; 2 &amp; &quot;x&quot;\n"  // ends with a line feed: none added
              "\t</t>\n"
              "\t<d>\n"
              "\t<![CDATA[x<y]]>\n"
              "\t</d>\n"
              "\t<e>\n"
              "\tb\n"
              "\t<![CDATA[c]]>\n"
              "\t</e>\n"
              "\t<f z=\"\"/>\n"
              "</r>\n");

    // The two options of files that keep every value in double quotes and
    // every text in a section; a copy of the writer keeps them.
    writer.setTidyOutput(false);
    writer.setDoubleQuotes(true);
    writer.setEmptyAsCData(true);
    XMLWriter copy(writer);
    EXPECT_EQ(written(copy, doc.get()),
              "<r plain=\"a&lt;b &amp; &apos;c&apos;\" quoted=\"say &quot;hi&quot;\"><t>1 &lt; 2 "
              "&amp; &quot;x&quot;\n</t><d><![CDATA[x<y]]></d><e>b<![CDATA[c]]></e>"
              "<f z=\"\"><![CDATA[]]></f></r>");
}

TEST(XMLWriterStream, OpensOnlyAClosedStreamAndFlushesAtTheEnd) {
    Example example;
    XMLWriter writer;
    writer.setWriteBOM(true);
    RecordingStream closed;
    writer.write(&example.doc, &closed);
    EXPECT_EQ(closed.calls(), "isOpen open(32) writeBytes write flush ");

    writer.setWriteBOM(false);
    RecordingStream open(true);
    writer.write(example.b, &open);
    EXPECT_EQ(open.calls(), "isOpen write flush ");
    EXPECT_EQ(open.bytes(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<b>\nhi\n</b>\n");
}

TEST(XMLWriterStream, NothingToWriteIsAWarningAndLeavesTheStreamUntouched) {
    xmlio::LogCapture log;
    XMLWriter writer;
    RecordingStream stream;
    Document empty;
    writer.write(static_cast<Document*>(nullptr), &stream);
    writer.write(&empty, &stream);
    writer.write(static_cast<XNode*>(nullptr), &stream);
    Example example;
    writer.write(&example.doc, nullptr);
    EXPECT_EQ(stream.calls(), "");
    EXPECT_EQ(
        log.pieces(logging::Logger::WARN),
        (std::vector<std::string>{"Trying to write NULL or empty XML document. Write skipped.",
                                  "Trying to write NULL or empty XML document. Write skipped.",
                                  "Trying to write NULL XML node. Write skipped.",
                                  "Trying to write XML to a NULL stream. Write skipped."}));
}

TEST(XMLWriterContent, WhiteSpaceThatOtherReadersChangeIsWrittenAsReferences) {
    Document doc;
    XNode* root = doc.createNode("r", nullptr);
    doc.setRootNode(root);
    root->addAttribute("v", "a\tb\nc\rd\r\ne \"q\"");
    root->addAttribute("w", "plain");
    root->addBody("line\r\nnext\rlast\ttab\n");
    XMLWriter writer(false, false);
    EXPECT_EQ(written(writer, &doc),
              "<r v='a&#9;b&#10;c&#13;d&#13;&#10;e &quot;q&quot;' w=\"plain\">"
              "line&#13;\nnext&#13;last\ttab\n</r>");

    auto back = parse(written(writer, &doc));
    EXPECT_STREQ(back->getRootNode()->getAttributeChar("v", nullptr), "a\tb\nc\rd\r\ne \"q\"");
    EXPECT_STREQ(back->getRootNode()->getBody(), "line\r\nnext\rlast\ttab\n");
}

TEST(XMLWriterContent, CDataHoldingTheSectionEndIsCutIntoSectionsThatReadBackTheSame) {
    using namespace std::string_literals;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"x]]>y", "<d><![CDATA[x]]]]><![CDATA[>y]]></d>"},
        {"]]>", "<d><![CDATA[]]]]><![CDATA[>]]></d>"},
        {"a]]>]]>b]]", "<d><![CDATA[a]]]]><![CDATA[>]]]]><![CDATA[>b]]]]></d>"},
        {"]]]>>", "<d><![CDATA[]]]]]><![CDATA[>>]]></d>"},
        // Anything else is one section, byte for byte.
        {"a]]b]>c]", "<d><![CDATA[a]]b]>c]]]></d>"},
        {"n\0]]\r\n"s, "<d><![CDATA[n\0]]\r\n]]></d>"s},
    };
    for (const auto& [cdata, expected] : cases) {
        Document doc;
        XNode* d = doc.createNode("d", nullptr);
        doc.setRootNode(d);
        d->addCData(cdata.data(), static_cast<unsigned>(cdata.size()));
        XMLWriter compact(false, false);
        const std::string once = written(compact, &doc);
        EXPECT_EQ(once, expected);

        auto back = parse(once);
        unsigned size = 0;
        const char* read = back->getRootNode()->getCData(size);
        EXPECT_EQ(std::string(read, size), cdata) << expected;
        EXPECT_EQ(written(compact, back.get()), once) << expected;

        XMLWriter tidy(false, true);
        EXPECT_EQ(written(tidy, &doc), "<d>\n" + once.substr(3, once.size() - 7) + "\n</d>\n");
    }
}

// --- Round trips through the reader --------------------------------------------------------

// Names, attributes and CDATA of a subtree, bodies left out.
void shape(const XNode* node, std::string& out) {
    out += "<";
    out += node->getName();
    for (const auto& entry : node->getAttributes()) {
        out += " " + std::string(entry.first) + "=" + entry.second->getValueString();
    }
    unsigned size = 0;
    const char* cdata = node->getCData(size);
    out += ">";
    if (cdata != nullptr) {
        out += "[" + std::string(cdata, size) + "]";
    }
    for (const auto& child : node->getChildren()) {
        shape(child, out);
    }
    out += "</>";
}

TEST(XMLWriterRoundTrip, CompactKeepsBytesTidyKeepsElementsAttributesAndCData) {
    for (const char* sample : {"catalogue.xml", "settings.xml"}) {
        auto doc = parse(readSample(sample));
        XMLWriter compact(true, false);
        const std::string once = written(compact, doc.get());
        auto again = parse(once);
        EXPECT_EQ(written(compact, again.get()), once) << sample;

        XMLWriter tidy(true, true, true);
        auto fromTidy = parse(written(tidy, doc.get()));
        std::string before, after;
        shape(doc->getRootNode(), before);
        shape(fromTidy->getRootNode(), after);
        EXPECT_EQ(after, before) << sample;
        EXPECT_NE(before.find('['), std::string::npos);  // both samples hold CDATA
    }
}

}  // namespace
