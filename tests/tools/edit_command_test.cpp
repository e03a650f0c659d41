// kavrixml edit, run as a user would: each case is an edit, the input's
// bytes and the exact bytes expected out, so that a byte the edit should not
// touch and does shows at once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "tool_support.h"

namespace {

using namespace tooltest;

struct EditCase {
    const char* what;
    const char* args;
    std::string input;
    std::string expected;
};

// Bytes of a UTF-16 (big-endian, with its mark) document from ASCII text.
std::string utf16(const std::string& ascii) {
    std::string out = "\xFE\xFF";
    for (char c : ascii) {
        out += '\0';
        out += c;
    }
    return out;
}

TEST(EditCommand, ChangesWhatItIsToldAndKeepsEveryOtherByte) {
    const std::string doctype =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE cfg [\n  <!ENTITY host \"example.org\">\n"
        "  <!ATTLIST server port CDATA \"80\">\n]>\n";
    const EditCase cases[] = {
        {"an attribute keeps its quotes and place", "-u //@port -v 8443",
         "<server  port = '80'\tname=\"a\"/>", "<server  port = '8443'\tname=\"a\"/>"},
        {"a value with both quotes in single quotes", "-u //@q -v \"it's \\\"so\\\"\"",
         "<a q='x'/>", "<a q='it&apos;s &quot;so&quot;'/>"},
        {"references in other values stay as written", "-u //@b -v 'x<y&z'",
         "<a t=\"&lt;&#x41;&amp;\" b=\"1\">&#169; &amp;</a>",
         "<a t=\"&lt;&#x41;&amp;\" b=\"x&lt;y&amp;z\">&#169; &amp;</a>"},
        {"a DOCTYPE with its internal subset", "-s /cfg/server -t attr -n tls -v on",
         doctype + "<cfg>\n  <server name=\"&host;\"/>\n</cfg>\n",
         doctype + "<cfg>\n  <server name=\"&host;\" tls=\"on\"/>\n</cfg>\n"},
        {"attributes over several lines, one removed with its white space", "-d //@b",
         "<a\n   a=\"1\"\n   b=\"2\"\n   c=\"3\"\n/>", "<a\n   a=\"1\"\n   c=\"3\"\n/>"},
        {"an empty-element tag gains a child", "-s //item -t elem -n note -v hi",
         "<list><item id=\"1\"/></list>", "<list><item id=\"1\"><note>hi</note></item></list>"},
        {"a new last child indented as its sibling, CRLF kept", "-s /a -t elem -n c -v 2",
         "<a>\r\n  <!-- first -->\r\n  <b>1</b>\r\n</a>\r\n",
         "<a>\r\n  <!-- first -->\r\n  <b>1</b>\r\n  <c>2</c>\r\n</a>\r\n"},
        {"insert before and append after", "-i //b -t elem -n a -a //b -t elem -n c",
         "<r>\n\t<b/>\n</r>", "<r>\n\t<a/>\n\t<b/>\n\t<c/>\n</r>"},
        {"a deleted element takes its line", "-d //old",
         "<r>\n  <keep/>\n  <old x=\"1\"><in/></old>\n  <keep/>\n</r>",
         "<r>\n  <keep/>\n  <keep/>\n</r>"},
        {"an element's content becomes the escaped text", "-u //p -v 'a < b & c'",
         "<d>\n <p>Hello <b>world</b> again</p><!-- c -->\n</d>",
         "<d>\n <p>a &lt; b &amp; c</p><!-- c -->\n</d>"},
        {"a text node of mixed content, comments kept", "-u '//p/text()' -v Bye",
         "<p><!-- x -->Hi <b>you</b></p>", "<p><!-- x -->Bye<b>you</b></p>"},
        {"rename an element and an attribute", "-r //old -v new -r //@id -v key",
         "<r><old id='1'>t<!-- c --></old><old/></r>",
         "<r><new key='1'>t<!-- c --></new><new/></r>"},
        {"an element renamed alone", "-r //c -v d", "<r><c/></r>", "<r><d/></r>"},
        {"operations apply in order", "-s /r -t elem -n n -u //n -v 5 -r //n -v m", "<r/>",
         "<r><m>5</m></r>"},
        {"ISO-8859-1 stays ISO-8859-1, characters it lacks as references",
         "-u //@w -v \"\xC3\xA9\xE2\x82\xAC\"",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a w=\"x\">\xE9t\xE9</a>\n",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a w=\"\xE9&#x20AC;\">\xE9t\xE9</a>\n"},
        {"UTF-16 stays UTF-16 with its mark", "-u //@v -v 2", utf16("<a v=\"1\">\n</a>"),
         utf16("<a v=\"2\">\n</a>")},
        {"no operation: the input byte for byte", "",
         "\xEF\xBB\xBF<?xml version='1.0' ?>\r\n<!-- c -->\r\n<a  x = \"&#65;\" >\r<![CDATA[]]></a "
         ">"
         "\r\n<?pi data?>",
         "\xEF\xBB\xBF<?xml version='1.0' ?>\r\n<!-- c -->\r\n<a  x = \"&#65;\" >\r<![CDATA[]]></a "
         ">"
         "\r\n<?pi data?>"},
    };
    // xmlstarlet makes the same edits but writes the document anew: its
    // tree must be ours (compared as format --lenient --compact shows them).
    const bool xmlstarlet = std::system("xmlstarlet --version >/dev/null 2>&1") == 0;
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = writeInput("in.xml", c.input);
        const ToolRun ours = run(std::string("edit ") + c.args + " '" + path + "'");
        EXPECT_EQ(ours, (ToolRun{0, c.expected, ""}));
        if (xmlstarlet) {
            const std::string theirs = tmpPath("xmlstarlet.xml");
            ASSERT_EQ(std::system(("xmlstarlet ed -P " + std::string(c.args) + " '" + path +
                                   "' >'" + theirs + "'")
                                      .c_str()),
                      0);
            EXPECT_EQ(run("format --lenient --compact -", ours.out),
                      run("format --lenient --compact '" + theirs + "'"));
        }
    }
}

TEST(EditCommand, WritesInPlaceOrToAFileAndNothingOnFailure) {
    const std::string path = writeInput("settings.xml", "<s><a v=\"1\"/></s>");
    chmod(path.c_str(), 0640);
    EXPECT_EQ(run("edit -L -u //@v -v 2 '" + path + "'"), (ToolRun{0, "", ""}));
    EXPECT_EQ(readFile(path), "<s><a v=\"2\"/></s>");
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    const std::string out = tmpPath("out.xml");
    EXPECT_EQ(run("edit -o '" + out + "' -d //a '" + path + "'"), (ToolRun{0, "", ""}));
    EXPECT_EQ(readFile(out), "<s></s>");

    // A selection that misses leaves the file as it was.
    EXPECT_EQ(
        run("edit -L -u //@v -v 3 -d //missing '" + path + "'"),
        (ToolRun{1, "", "kavrixml edit: " + path + ": //missing selects no node to change\n"}));
    EXPECT_EQ(readFile(path), "<s><a v=\"2\"/></s>");
    EXPECT_EQ(run("edit -d / -", "<r/>"),
              (ToolRun{1, "", "kavrixml edit: <stdin>: / selects no node to change\n"}));
    EXPECT_EQ(run("edit -r //@a -v b -", "<x a='1' b='2'/>"),
              (ToolRun{1, "", "kavrixml edit: <x> has an attribute b already\n"}));
    // What an entity's reference made is edited as any element: the
    // reference is then written expanded (xmlstarlet leaves it unexpanded).
    const std::string dtd = "<!DOCTYPE r [<!ENTITY e '<a v=\"1\"/>'>]>\n";
    EXPECT_EQ(run("edit -u //a[2]/@v -v 2 -", dtd + "<r>&e; &e;</r>"),
              (ToolRun{0, dtd + "<r>&e; <a v=\"2\"/></r>", ""}));
    EXPECT_EQ(run("edit -u //a -v 1 -", "<a>\n<b></a>"),
              (ToolRun{1, "", "kavrixml edit: <stdin>:2:6: Unclosed node b\n"}));
}

TEST(EditCommand, UsageAndExpressionErrorsExitTwo) {
    const struct {
        const char* args;
        const char* err;
    } cases[] = {
        {"edit -u //a -", "kavrixml edit: the operation on //a needs -v VALUE\n"},
        {"edit -s //a -n b -", "kavrixml edit: the operation on //a needs -t TYPE and -n NAME\n"},
        {"edit -s //a -t elem -n '1x' -",
         "kavrixml edit: the operation on //a takes an XML name after -n, not '1x'\n"},
        {"edit -i //a -t attr -n b -",
         "kavrixml edit: the operation on //a adds an element or a text beside a node "
         "(-t elem or text)\n"},
        {"edit -s //a -t node -n b -", "kavrixml edit: -t takes elem, attr or text, not 'node'\n"},
        {"edit -v 1 -", "kavrixml edit: -v comes after an operation\n"},
        {"edit -x //a -", "kavrixml edit: unknown option '-x' (see kavrixml edit --help)\n"},
        {"edit -L -o x -d //a -", "kavrixml edit: takes -L or -o, not both\n"},
        {"edit -L -d //a -", "kavrixml edit: cannot write standard input in place\n"},
        {"edit -d", "kavrixml edit: -d needs an argument\n"},
        {"edit -d //a", "kavrixml edit: expects a FILE (see kavrixml edit --help)\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args, "<a/>"), (ToolRun{2, "", c.err})) << c.args;
    }
    ToolRun bad = run("edit -u '//a[' -v 1 -", "<a/>");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("\n  //a[\n      ^\n"), std::string::npos) << bad.err;
    EXPECT_EQ(run("edit -u '$v' -v 1 -", "<a/>").status, 2);
    EXPECT_EQ(run("edit --help").status, 0);
}

}  // namespace
