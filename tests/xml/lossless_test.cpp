// Lossless reading and writing: the content in order and its API, the
// default view of a lossless tree, what the tree's own operations do to
// the content in order, and edits written back with every other byte kept.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "xml/ContentList.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XMLException.h"
#include "xml/XMLWriter.h"
#include "xml/XNode.h"

namespace {

using kavri::xml::ContentItem;
using kavri::xml::ContentList;
using kavri::xml::Document;
using kavri::xml::DOMParser;
using kavri::xml::XNode;

std::unique_ptr<Document> readLossless(const std::string& text, bool trim = false) {
    DOMParser parser;
    parser.setLossless(true);
    parser.setTrimBodies(trim);
    kavri::stream::MemoryInputStream in(text);
    return std::unique_ptr<Document>(parser.parse(&in));
}

std::string written(const Document& doc) {
    std::string out;
    doc.writeLossless(out);
    return out;
}

// The content in order as kinds and texts: "T:a C:b I:p=d D:x E:b".
std::string shape(const ContentList& content) {
    static const char* const KINDS[] = {"T", "D", "C", "I", "E", "X", "Y"};
    std::string out;
    for (const ContentItem& item : content) {
        out += out.empty() ? "" : " ";
        out += KINDS[item.getKind()];
        out += ':';
        if (item.getKind() == ContentItem::ELEMENT) {
            out += item.getElement()->getName();
        } else if (item.getKind() == ContentItem::INSTRUCTION) {
            out += item.getTarget() + "=" + item.getText();
        } else {
            out += item.getText();
        }
    }
    return out;
}

std::string utf16le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(LosslessReading, ContentInOrder) {
    std::unique_ptr<Document> doc = readLossless(
        "<?xml version='1.0'?>\n<!-- first -->\n<!DOCTYPE p [<!ENTITY e 'E'>]>\n"
        "<p>Hello <b>world</b> a&amp;b<!--c--><?pi  data?><![CDATA[<x>]]>&e;</p>\n<?after?>");
    XNode* p = doc->getRootNode();
    EXPECT_EQ(shape(ContentList(p)), "T:Hello  E:b T: a&b C:c I:pi=data D:<x> T:E");
    EXPECT_EQ(shape(ContentList(doc.get(), ContentList::BEFORE_ROOT)),
              "X:<?xml version='1.0'?> T:\n C: first  T:\n Y:<!DOCTYPE p [<!ENTITY e 'E'>]> T:\n");
    EXPECT_EQ(shape(ContentList(doc.get(), ContentList::AFTER_ROOT)), "T:\n I:after=");
    // The default view: the texts joined, the elements, the CDATA.
    EXPECT_STREQ(p->getBody(), "Hello  a&bE");
    ASSERT_EQ(p->getChildCount(), 1u);
    unsigned size = 0;
    EXPECT_EQ(std::string(p->getCData(size)), "<x>");
    EXPECT_TRUE(doc->isLossless());
}

// Bodies and CDATA of a lossless tree are made from the kept input when
// asked for; they must be what lenient reading makes, entity texts included.
TEST(LosslessReading, DefaultViewMatchesLenientReading) {
    const char* const texts[] = {
        "<!DOCTYPE r [<!ATTLIST r d CDATA 'x' t NMTOKENS #IMPLIED>]>\n"
        "<r t='  a   b '>\n  <i>one</i>\n  <i> two </i>\n</r>",
        "<r>a&amp;b&#233;&#x41;<!--c--> <?p d?>c<![CDATA[x]]>d<![CDATA[y]]><e/>\n\t</r>",
        "<r>\r\n <i>\r x\r\n</i> <i/>\r</r>",
        "<!DOCTYPE r [<!ENTITY e 'E<b>in</b>F'><!ENTITY t ' T '>]>"
        "<r>a<c>1</c>b&e;c&t;<![CDATA[z]]><d>2&t;</d>&t;</r>",
        "<!DOCTYPE r [<!ENTITY e SYSTEM 'e.xml'>]><r><i>x&e;y</i></r>",
    };
    for (const char* text : texts) {
        for (bool trim : {false, true}) {
            DOMParser lenient;
            lenient.setLenient(true);
            lenient.setTrimBodies(trim);
            kavri::stream::MemoryInputStream in(text);
            std::unique_ptr<Document> expected(lenient.parse(&in));
            std::unique_ptr<Document> doc = readLossless(text, trim);
            std::string mine;
            std::string theirs;
            doc->getRootNode()->dump(mine);
            expected->getRootNode()->removeAttribute("d");  // no defaults supplied
            expected->getRootNode()->dump(theirs);
            EXPECT_EQ(mine, theirs) << text << " trim " << trim;
            std::string out;
            doc->writeLossless(out);
            EXPECT_EQ(out, text);
        }
    }
}

TEST(LosslessReading, ParserOption) {
    DOMParser parser;
    EXPECT_FALSE(parser.isLossless());
    parser.setLossless(true);
    EXPECT_TRUE(parser.isLenient());
    DOMParser copy(parser);
    EXPECT_TRUE(copy.isLossless());
    DOMParser assigned;
    assigned = parser;
    EXPECT_TRUE(assigned.isLossless());
    // A fragment is read as lenient reading reads it.
    kavri::stream::MemoryInputStream in("a<!--c--><b/>");
    std::unique_ptr<Document> doc(parser.parse(&in, "f"));
    EXPECT_FALSE(doc->isLossless());
    DOMParser plain;
    kavri::stream::MemoryInputStream again("<a/>");
    std::unique_ptr<Document> plainDoc(plain.parse(&again));
    std::string out;
    EXPECT_THROW(plainDoc->writeLossless(out), kavri::xml::XMLException);
    EXPECT_THROW(ContentList(plainDoc->getRootNode()).insertComment(0, "x"),
                 kavri::xml::XMLException);
}

TEST(LosslessWriting, UnchangedGivesTheBytesBack) {
    const std::string texts[] = {
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding='utf-8' ?>\r\n<a\r\n  x = \"1\"\ty='&lt;'"
        ">\r\r\n<![CDATA[\r\n]]>&#65;&#x42;</a >\r\n<!--end-->",
        utf16le("<?xml version='1.0' encoding='UTF-16'?>\r\n<a x='1'>t</a>"),
        "<?xml version='1.0' encoding='ISO-8859-1'?><a x='\xE9'>caf\xE9</a>",
        "<!DOCTYPE a [\n<!ENTITY e '<b>E</b>'>\n<!-- ] -->\n]><a>&e;x&e;</a>",
    };
    for (const std::string& text : texts) {
        std::unique_ptr<Document> doc = readLossless(text);
        EXPECT_EQ(written(*doc), text);
        // After an edit of another tree, each part is compared with its input.
        readLossless("<o a='1'/>")->getRootNode()->getAttribute("a")->setValue("2");
        EXPECT_EQ(written(*doc), text);
    }
}

struct Edit {
    const char* what;
    std::string input;
    std::function<void(Document&)> edit;
    std::string expected;
};

XNode* first(Document& doc, const char* name) {
    return doc.getRootNode()->findBreadthFirst(name);
}

void expectWritten(const std::vector<Edit>& edits) {
    for (const Edit& e : edits) {
        std::unique_ptr<Document> doc = readLossless(e.input);
        e.edit(*doc);
        EXPECT_EQ(written(*doc), e.expected) << e.what;
        // What was written reads back as the tree it was edited into.
        std::string edited;
        std::string reread;
        doc->getRootNode()->dump(edited);
        readLossless(written(*doc))->getRootNode()->dump(reread);
        EXPECT_EQ(reread, edited) << e.what;
    }
}

TEST(LosslessWriting, EditsTouchOnlyWhatChanged) {
    const std::vector<Edit> edits = {
        {"value changed keeps place and quote", "<a x='1'  y=\"2\" z='3'/>",
         [](Document& d) { d.getRootNode()->getAttribute("y")->setValue("<\"'>"); },
         "<a x='1'  y=\"&lt;&quot;&apos;&gt;\" z='3'/>"},
        {"references in other values stay", "<a x='&lt;&#65;' y='&quot;1'><b/></a>",
         [](Document& d) { d.getRootNode()->getAttribute("y")->setValue("2"); },
         "<a x='&lt;&#65;' y='2'><b/></a>"},
        {"same value written back is no change", "<a x='&#65;'/>",
         [](Document& d) { d.getRootNode()->setAttributeChar("x", "A"); }, "<a x='&#65;'/>"},
        {"new attribute at the end of its tag", "<a x=\"1\"  />",
         [](Document& d) { d.getRootNode()->addAttribute("n", "a&b"); },
         "<a x=\"1\" n=\"a&amp;b\"  />"},
        {"removed attribute takes its white space", "<a\n   x=\"1\"\n   y=\"2\">t</a>",
         [](Document& d) { d.getRootNode()->removeAttribute("x"); }, "<a\n   y=\"2\">t</a>"},
        {"CRLF file", "<a>\r\n  <b x=\"1\"/>\r\n  <c/>\r\n</a>\r\n",
         [](Document& d) { first(d, "b")->getAttribute("x")->setValue("2"); },
         "<a>\r\n  <b x=\"2\"/>\r\n  <c/>\r\n</a>\r\n"},
        {"text run changed, escaped", "<p>Hello <b>world</b> again</p>",
         [](Document& d) { ContentList(d.getRootNode()).setText(2, " & <again>"); },
         "<p>Hello <b>world</b> &amp; &lt;again&gt;</p>"},
        {"new child indented as its previous sibling", "<l>\r\n\t<i/>\r\n</l>",
         [](Document& d) { d.getRootNode()->addChild("j")->addAttribute("k", "1"); },
         "<l>\r\n\t<i/>\r\n\t<j k=\"1\"/>\r\n</l>"},
        {"empty-element tag gains a child", "<r><a x='1' /></r>",
         [](Document& d) { first(d, "a")->addChild("b")->addBody("t"); },
         "<r><a x='1' ><b>t</b></a></r>"},
        {"element removed with its indentation", "<l>\n  <i/>\n  <j/>\n</l>",
         [](Document& d) { d.getRootNode()->removeChild(first(d, "i")); }, "<l>\n  <j/>\n</l>"},
        // Side by side, a lone CR and a line feed would read as one line end.
        {"lone CR meets a line feed", "<a>]\r<i/>\n<j/>\r</a>",
         [](Document& d) {
             ContentList(d.getRootNode()).remove(1);
             ContentList(d.getRootNode()).insertText(2, "\nz");
         },
         "<a>]\n\n\nz<j/>\r</a>"},
        {"lone CRs meet a new line feed", "<a>]\r\r<i/></a>",
         [](Document& d) { ContentList(d.getRootNode()).insertText(1, "\ny"); },
         "<a>]\n\n\ny<i/></a>"},
        {"comment and instruction inserted, comment removed", "<a>x<!--old--></a>",
         [](Document& d) {
             ContentList content(d.getRootNode());
             content.remove(1);
             content.insertComment(0, " new ");
             content.insertInstruction(2, "pi", "d");
         },
         "<a><!-- new -->x<?pi d?></a>"},
        {"several edits of one element", "<p>Hello <b>world</b><!--x--> again</p>",
         [](Document& d) {
             ContentList content(d.getRootNode());
             content.insertComment(0, " checked ");
             content.setText(4, " & again");
             d.getRootNode()->getFirstChild("b")->addAttribute("class", "x");
         },
         "<p><!-- checked -->Hello <b class=\"x\">world</b><!--x--> &amp; again</p>"},
        {"before and after the root", "<?xml version='1.0'?>\n<a/>\n",
         [](Document& d) {
             ContentList(&d, ContentList::BEFORE_ROOT).insertComment(2, "c");
             ContentList(&d, ContentList::AFTER_ROOT).insertInstruction(1, "end", "");
         },
         "<?xml version='1.0'?>\n<!--c--><a/>\n<?end?>"},
        {"DOCTYPE with its subset kept, no default supplied",
         "<!DOCTYPE a [<!ATTLIST a d CDATA 'x'><!ENTITY e 'E'>]>\n<a>&e;</a>",
         [](Document& d) { d.getRootNode()->addAttribute("y", "1"); },
         "<!DOCTYPE a [<!ATTLIST a d CDATA 'x'><!ENTITY e 'E'>]>\n<a y=\"1\">&e;</a>"},
        {"attributes over several lines", "<a x='1'\n   y='2'\n   z='3'/>",
         [](Document& d) { d.getRootNode()->getAttribute("z")->setValue("4"); },
         "<a x='1'\n   y='2'\n   z='4'/>"},
        {"UTF-16 written in UTF-16", utf16le("<?xml version='1.0' encoding='UTF-16'?><a x='1'/>"),
         [](Document& d) { d.getRootNode()->getAttribute("x")->setValue("\xC3\xA9"); },
         utf16le("<?xml version='1.0' encoding='UTF-16'?><a x='") + "\xE9" + std::string(1, '\0') +
             utf16le("'/>").substr(2)},
        {"ISO-8859-1 with references for what it lacks",
         "<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9</a>",
         [](Document& d) { ContentList(d.getRootNode()).setText(0, "\xC3\xA9\xE2\x82\xAC"); },
         "<?xml version='1.0' encoding='ISO-8859-1'?><a>\xE9&#x20AC;</a>"},
        {"UTF-7 with its markup direct",
         "<?xml version='1.0' encoding='UTF-7'?><a x='1'>caf+AOk- &amp; +-</a>",
         [](Document& d) { d.getRootNode()->getAttribute("x")->setValue("\xC3\xA9~"); },
         "<?xml version='1.0' encoding='UTF-7'?><a x='+AOkAfg-'>caf+AOk- &amp; +-</a>"},
        {"UTF-7 by another of its names",
         "<?xml version='1.0' encoding='utf7'?><a x='1'>caf+AOk-</a>",
         [](Document& d) { d.getRootNode()->getAttribute("x")->setValue("2"); },
         "<?xml version='1.0' encoding='utf7'?><a x='2'>caf+AOk-</a>"},
        {"ISO-8859-1 mixed content gains an element and no white space",
         "<?xml version='1.0' encoding='ISO-8859-1'?><r>\n  <a/>caf\xE9 <b/>x\n</r>",
         [](Document& d) { d.getRootNode()->addChild("n"); },
         "<?xml version='1.0' encoding='ISO-8859-1'?><r>\n  <a/>caf\xE9 <b/><n/>x\n</r>"},
        {"ISO-8859-1 with an element removed, nothing written anew",
         "<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9<b/></a>",
         [](Document& d) { d.getRootNode()->removeChild(first(d, "b")); },
         "<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9</a>"},
    };
    expectWritten(edits);
}

// Elements an entity's replacement text made stand in the reference: it is
// written as read until what it made changes, then as the tree has it.
TEST(LosslessWriting, EditsOfWhatReferencesMade) {
    const std::string dtd = "<!DOCTYPE r [<!ENTITY e \"<a x='1'>t<b/>u</a>\">]>";
    const std::string mixed = "<!DOCTYPE r [<!ENTITY e \"x<a/><!--c-->y\">]>";
    const std::string nested = "<!DOCTYPE r [<!ENTITY f '<c y=\"1\"/>'><!ENTITY e '<a>&f;</a>'>]>";
    const auto a = [](Document& d) { return first(d, "a"); };
    const std::vector<Edit> edits = {
        {"no edit", dtd + "<r>k &e; m</r>", [](Document&) {}, dtd + "<r>k &e; m</r>"},
        {"attribute changed", dtd + "<r>k &e; m</r>",
         [&](Document& d) { a(d)->getAttribute("x")->setValue("2"); },
         dtd + "<r>k <a x=\"2\">t<b/>u</a> m</r>"},
        {"text changed, escaped", dtd + "<r>k &e; m</r>",
         [&](Document& d) { ContentList(a(d)).setText(0, "<t>"); },
         dtd + "<r>k <a x=\"1\">&lt;t&gt;<b/>u</a> m</r>"},
        {"child removed", dtd + "<r>&e;</r>",
         [&](Document& d) { a(d)->removeChild(first(d, "b")); }, dtd + "<r><a x=\"1\">tu</a></r>"},
        {"child added after the last", dtd + "<r>&e;</r>",
         [&](Document& d) { a(d)->addChild("c"); }, dtd + "<r><a x=\"1\">t<b/><c/>u</a></r>"},
        {"renamed", dtd + "<r>&e;</r>",
         [&](Document& d) {
             static_cast<kavri::core::NamedObject&>(*a(d)) = kavri::core::NamedObject("z");
         },
         dtd + "<r><z x=\"1\">t<b/>u</z></r>"},
        {"an element of a nested reference", nested + "<r>&e;</r>",
         [](Document& d) { first(d, "c")->setAttributeChar("y", "2"); },
         nested + "<r><a><c y=\"2\"/></a></r>"},
        {"of two references to one entity, the edited one", dtd + "<r>&e;\n&e;</r>",
         [](Document& d) { d.getRootNode()->getChildren()[1]->addAttribute("n", "2"); },
         dtd + "<r>&e;\n<a n=\"2\" x=\"1\">t<b/>u</a></r>"},
        {"the element the reference stands in edited", dtd + "<r>k &e; m</r>",
         [](Document& d) { d.getRootNode()->addAttribute("y", "1"); },
         dtd + "<r y=\"1\">k &e; m</r>"},
        {"a child after the made ones keeps the reference", mixed + "<r>k &e; m</r>",
         [](Document& d) { d.getRootNode()->addChild("z"); }, mixed + "<r>k &e;<z/> m</r>"},
        {"an element between the reference and its own", mixed + "<r>k &e; m</r>",
         [](Document& d) { ContentList(d.getRootNode()).insertElement(2, "z"); },
         mixed + "<r>k x<z/><a/><!--c-->y m</r>"},
        {"a text between the reference and its own", mixed + "<r>k &e; m</r>",
         [](Document& d) { ContentList(d.getRootNode()).insertText(2, "&"); },
         mixed + "<r>k x&amp;<a/><!--c-->y m</r>"},
        {"a made element removed", mixed + "<r>k &e; m</r>",
         [&](Document& d) { d.getRootNode()->removeChild(a(d)); }, mixed + "<r>k x<!--c-->y m</r>"},
        {"the reference's item replaced keeps its elements", dtd + "<r>k &e; m</r>",
         [](Document& d) { ContentList(d.getRootNode()).setText(1, "n"); },
         dtd + "<r>k n<a x=\"1\">t<b/>u</a> m</r>"},
    };
    expectWritten(edits);
    // The content in order has the reference, then what it made.
    std::unique_ptr<Document> doc = readLossless(mixed + "<r>k &e; m<i/></r>");
    EXPECT_EQ(shape(ContentList(doc->getRootNode())), "T:k  T:&e; E:a T: m E:i");
    doc->getRootNode()->removeChild(first(*doc, "i"));
    EXPECT_STREQ(doc->getRootNode()->getBody(), "k xy m");
    // A copy holds what the reference made, as texts of its own.
    XNode* copy = doc->getRootNode()->cloneNode(true);
    EXPECT_EQ(shape(ContentList(copy)), "T:k  T:x E:a C:c T:y T: m");
    std::unique_ptr<Document> other = readLossless("<o/>");
    other->getRootNode()->addChild(copy);
    EXPECT_EQ(written(*other), "<o><r>k x<a/><!--c-->y m</r></o>");
    // An entity that makes text alone: its text joins the body again.
    doc = readLossless("<!DOCTYPE r [<!ENTITY t 'T'><!ENTITY u '&#38;#38;'>]><r>a&t;&u;<i/></r>");
    doc->getRootNode()->removeChild(first(*doc, "i"));
    EXPECT_STREQ(doc->getRootNode()->getBody(), "aT&");
}

TEST(LosslessTree, TreeOperationsKeepTheContentInOrder) {
    std::unique_ptr<Document> doc = readLossless("<r>a<!--c--><x/>b<y>t</y></r>");
    XNode* r = doc->getRootNode();
    r->addBody("z");
    EXPECT_EQ(shape(ContentList(r)), "T:a C:c E:x T:b E:y T:z");
    EXPECT_STREQ(r->getBody(), "abz");
    // A move within the document keeps the element's own bytes.
    XNode* y = r->getChildren()[1];
    XNode* x = r->getChildren()[0];
    y->getParent()->removeChild(y);  // released: y is gone
    EXPECT_EQ(shape(ContentList(r)), "T:a C:c E:x T:b T:z");
    ::core::SmartPtr<XNode> held(x);
    r->removeChild(x);
    r->addChild(x);
    EXPECT_EQ(written(*doc), "<r>a<!--c-->bz<x/></r>");
    // A deep copy keeps its content in order and is written anew.
    XNode* copy = r->cloneNode(true);
    EXPECT_EQ(shape(ContentList(copy)), "T:a C:c T:b T:z E:x");
    r->addChild(copy);
    EXPECT_EQ(written(*doc), "<r>a<!--c-->bz<x/><r>a<!--c-->bz<x/></r></r>");
    // Into another document: written anew there, content in order kept.
    std::unique_ptr<Document> other = readLossless("<o>\n  <p/>\n</o>");
    r->removeChild(copy);
    XNode* moved = r->cloneNode(true);
    other->getRootNode()->addChild(moved);
    doc.reset();
    EXPECT_EQ(written(*other), "<o>\n  <p/>\n  <r>a<!--c-->bz<x/></r>\n</o>");
    // CDATA: setCData leaves one section where the last one stood.
    std::unique_ptr<Document> cdata = readLossless("<c><![CDATA[1]]>t<![CDATA[2]]></c>");
    cdata->getRootNode()->setCData("3", 1);
    EXPECT_EQ(written(*cdata), "<c>t<![CDATA[3]]></c>");
    cdata->getRootNode()->removeChildren();
    ContentList(cdata->getRootNode()).insertElement(0, "n");
    EXPECT_EQ(written(*cdata), "<c><n/>t<![CDATA[3]]></c>");
}

TEST(LosslessTree, EditsAreChecked) {
    std::unique_ptr<Document> doc = readLossless("<a/>");
    ContentList content(doc->getRootNode());
    EXPECT_THROW(content.insertComment(0, "a--b"), kavri::xml::XMLException);
    EXPECT_THROW(content.insertComment(0, "a-"), kavri::xml::XMLException);
    EXPECT_THROW(content.insertInstruction(0, "XmL", ""), kavri::xml::XMLException);
    EXPECT_THROW(content.insertInstruction(0, "p", "?>"), kavri::xml::XMLException);
    EXPECT_THROW(content.insertElement(0, "1x"), kavri::xml::XMLException);
    EXPECT_THROW(content.insertElement(0, "a b"), kavri::xml::XMLException);
    EXPECT_THROW(ContentList(doc.get(), ContentList::AFTER_ROOT).insertText(0, "x"),
                 kavri::xml::XMLException);
    EXPECT_EQ(written(*doc), "<a/>");
}

std::string laidOut(Document* doc, bool tidy) {
    kavri::stream::MemoryOutputStream out;
    kavri::xml::XMLWriter(true, tidy, false).write(doc, &out);
    return out.str();
}

TEST(LosslessLayouts, IndentOnlyContentOfElements) {
    std::unique_ptr<Document> doc = readLossless(
        "<?xml version='1.0'?>\n<!--top-->\n<doc>\n    <p>Hello <b>world</b> again</p>\n"
        "  <list><i>1</i>  <i>2</i><!--c--><?p d?></list>\n"
        " <pre xml:space='preserve'>\n  <x/>\n </pre><e/>\n"
        // White space written as references is white space; a text that
        // only begins with it is not.
        "<sp><i/>&#x20;<i/>&#9;</sp><m> &lt; <i/></m>\n</doc>\n<!--end-->");
    EXPECT_EQ(laidOut(doc.get(), true),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!--top-->\n<doc>\n"
              "\t<p>Hello <b>world</b> again</p>\n"
              "\t<list>\n\t\t<i>1</i>\n\t\t<i>2</i>\n\t\t<!--c-->\n\t\t<?p d?>\n\t</list>\n"
              "\t<pre xml:space=\"preserve\">\n  <x/>\n </pre>\n\t<e/>\n"
              "\t<sp>\n\t\t<i/>\n\t\t<i/>\n\t</sp>\n\t<m> &lt; <i/></m>\n</doc>\n<!--end-->\n");
    EXPECT_EQ(laidOut(doc.get(), false),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!--top--><doc>"
              "<p>Hello <b>world</b> again</p><list><i>1</i><i>2</i><!--c--><?p d?></list>"
              "<pre xml:space=\"preserve\">\n  <x/>\n </pre><e/><sp><i/><i/></sp><m> &lt; <i/></m>"
              "</doc><!--end-->");
}

}  // namespace
