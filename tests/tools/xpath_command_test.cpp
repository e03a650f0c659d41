// kavrixml xpath, run as a user would: what it prints for each kind of
// result, and its exit codes.
#include <gtest/gtest.h>

#include <string>

#include "tool_support.h"

namespace {

using namespace tooltest;

const char* const DOC =
    "<?xml version='1.0'?>\n<lib>\n  <book id='b1' "
    "note='a&quot;b&#9;&#10;&#13;'><title>Alpha</title></book>\n"
    "  <book id='b2'><title>Beta</title><![CDATA[<cd>]]></book>\n</lib>\n";

TEST(XPathCommand, PrintsEachKindOfResult) {
    const std::string path = "'" + writeInput("xpath_doc.xml", DOC) + "'";
    EXPECT_EQ(run("xpath //title " + path),
              (ToolRun{0, "<title>Alpha</title>\n<title>Beta</title>\n", ""}));
    EXPECT_EQ(run("xpath '//book/@*' " + path),
              (ToolRun{0, "id=\"b1\"\nnote=\"a&quot;b&#9;&#10;&#13;\"\nid=\"b2\"\n", ""}));
    // Read whole by default: white space between elements is text, CDATA
    // joins the text beside it, and texts are escaped to stay on one line.
    EXPECT_EQ(run("xpath '//text()' " + path),
              (ToolRun{0, "&#10;  \nAlpha\n&#10;  \nBeta\n&lt;cd&gt;\n&#10;\n", ""}));
    EXPECT_EQ(run("xpath --lenient '//text()' " + path), (ToolRun{0, "Alpha\n<cd>\nBeta\n", ""}));
    EXPECT_EQ(run("xpath '//comment() | //processing-instruction()' -",
                  "<!--a\tb--><r>x<?go to=\"c\"?><?stop?></r>"),
              (ToolRun{0, "<!--a&#9;b-->\n<?go to=&quot;c&quot;?>\n<?stop?>\n", ""}));
    EXPECT_EQ(run("xpath 'string(/r)' -", "<r>Hello <b>world</b> again</r>"),
              (ToolRun{0, "Hello world again\n", ""}));
    EXPECT_EQ(run("xpath 'count(//book) div 4' " + path + " " + path),
              (ToolRun{0, "0.5\n0.5\n", ""}));
    EXPECT_EQ(run("xpath -- '-1 = -1' -", "<a/>"), (ToolRun{0, "true\n", ""}));
    EXPECT_EQ(run("xpath --strict 'string(/lib/book[2])' -", DOC), (ToolRun{0, "<cd>Beta\n", ""}));
}

TEST(XPathCommand, ExitCodesTellEmptyResultsBadFilesAndBadExpressions) {
    const std::string path = "'" + writeInput("xpath_doc.xml", DOC) + "'";
    EXPECT_EQ(run("xpath //none " + path), (ToolRun{1, "", "XPath set is empty\n"}));
    EXPECT_EQ(
        run("xpath //title - " + path, "<a/>"),
        (ToolRun{1, "<title>Alpha</title>\n<title>Beta</title>\n", "-: XPath set is empty\n"}));
    EXPECT_EQ(run("xpath //book[1] - /no/such.xml", "<a/>").status, 1);
    EXPECT_EQ(run("xpath //a -", "<a><b></a>").status, 1);
    EXPECT_EQ(run("xpath '//book[@id=]' " + path),
              (ToolRun{2, "",
                       "kavrixml xpath: expected an operand, found ']' (at offset 11)\n"
                       "  //book[@id=]\n"
                       "             ^\n"}));
    EXPECT_EQ(run("xpath '\"\xC3\xBC\" = ]' -", "<a/>"),  // the caret counts characters
              (ToolRun{2, "",
                       "kavrixml xpath: expected an operand, found ']' (at offset 7)\n"
                       "  \"\xC3\xBC\" = ]\n"
                       "        ^\n"}));
    EXPECT_EQ(run("xpath 'count($n)' " + path).status, 1);
    EXPECT_EQ(run("xpath //a").status, 2);
    EXPECT_EQ(run("xpath --bogus //a -").status, 2);
}

}  // namespace
