// kavrixml format, check, dump and find, run as a user would: exit codes and
// the exact lines on standard output and standard error.
#include <gtest/gtest.h>

#include <string>

#include "tool_support.h"

namespace {

using namespace tooltest;

std::string sample(const char* name) {
    return std::string(KAVRIXML_SOURCE_DIR) + "/examples/xml/" + name;
}

const char* const DOC =
    "<?xml version='1.0'?>\n<a z='1' b=\"x&amp;y\">\n  <c>hi</c>\n"
    "  <!-- note -->\n  <d><![CDATA[<raw>]]></d>\n</a>\n";

TEST(XmlFormatCommand, WritesTidyByDefaultAndHonoursEveryOption) {
    std::string path = writeInput("format_doc.xml", DOC);
    // Read losslessly, the comment stays and text-only elements stay on
    // their lines; --lenient gives what scripts written before that got.
    const std::string tidy =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<a b=\"x&amp;y\" z=\"1\">\n"
        "\t<c>hi</c>\n"
        "\t<!-- note -->\n"
        "\t<d><![CDATA[<raw>]]></d>\n"
        "</a>\n";
    EXPECT_EQ(run("format '" + path + "'"), (ToolRun{0, tidy, ""}));
    EXPECT_EQ(run("format --lenient '" + path + "'"),
              (ToolRun{0,
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<a b=\"x&amp;y\" z=\"1\">\n"
                       "\t<c>\n\thi\n\t</c>\n"
                       "\t<d>\n\t<![CDATA[<raw>]]>\n\t</d>\n"
                       "</a>\n",
                       ""}));
    EXPECT_EQ(
        run("format --compact --no-declaration -", DOC),
        (ToolRun{0, "<a b=\"x&amp;y\" z=\"1\"><c>hi</c><!-- note --><d><![CDATA[<raw>]]></d></a>",
                 ""}));
    EXPECT_EQ(run("format --compact --no-declaration --lenient -", DOC),
              (ToolRun{0, "<a b=\"x&amp;y\" z=\"1\"><c>hi</c><d><![CDATA[<raw>]]></d></a>", ""}));
    EXPECT_EQ(run("format --compact --no-declaration -", "<p>Hello <b>world</b> again</p>"),
              (ToolRun{0, "<p>Hello <b>world</b> again</p>", ""}));

    ToolRun crlf = run("format --crlf --bom '" + path + "'");
    EXPECT_EQ(crlf.out.substr(0, 43), "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
    EXPECT_EQ(crlf.out.substr(crlf.out.size() - 6), "</a>\r\n");

    std::string output = tmpPath("format_out.xml");
    EXPECT_EQ(run("format -o '" + output + "' '" + path + "'"), (ToolRun{0, "", ""}));
    EXPECT_EQ(readFile(output), tidy);
}

TEST(XmlFormatCommand, FormattingAFormattedDocumentChangesNothing) {
    ToolRun once = run("format '" + sample("catalogue.xml") + "'");
    ASSERT_EQ(once.status, 0);
    ToolRun twice = run("format -", once.out);
    EXPECT_EQ(twice.out, once.out);
    ToolRun compact = run("format --compact -", once.out);
    ToolRun compactAgain = run("format --compact -", compact.out);
    EXPECT_EQ(compactAgain.out, compact.out);
}

TEST(XmlCheckCommand, ReportsFileLineAndColumnOfTheOffendingToken) {
    struct Case {
        const char* input;
        const char* line;
    } cases[] = {
        {"<?xml version='1.0' encoding='latin1'?><a/>",
         "1:30: Only UTF-8 encoding supported (reads with --lenient)"},
        {"<?xml version='2.0'?>", "1:15: Only XML 1.0 supported"},
        {"<?php?><a/>", "1:3: Invalid start declaration (reads with --lenient)"},
        {"<!DOCTYPE a PUBLIC 'p' 'd'>\n\n  <b/>",
         "3:4: Root node do not match DOCTYPE declaration. "
         "It must be <a>, not <b> (reads with --lenient)"},
        {"<a>\n\t<b>\n\t</c>\n</a>", "3:4: Unclosed node b"},
        {"<a>\n <b x='1' =/>", "2:11: Invalid token (=) "},
        {"<a><!-- x -->y</a>",
         "1:14: Unexpected token found while parsing node a (reads with --lenient)"},
        {"<a>\n<b>", "2:4: Unexpected end of input (expected '<')"},
        // Control characters inside the quoted token are shown as escapes.
        {"<a>\n<b \"x\ny\t\x1F/>", "2:4: Unterminated quoted string \"x\\ny\\t\\x1F/>"},
    };
    for (const Case& c : cases) {
        std::string path = writeInput("check_bad.xml", c.input);
        EXPECT_EQ(run("check '" + path + "'"), (ToolRun{1, "", path + ":" + c.line + "\n"}))
            << c.input;
    }
}

TEST(XmlCheckCommand, SilentOnSuccessGoesOnAfterAFailureAndFailsIfAnyFailed) {
    EXPECT_EQ(run("check '" + sample("catalogue.xml") + "' -", "<a/>"), (ToolRun{0, "", ""}));

    std::string bad = writeInput("check_bad2.xml", "<a></b>");
    std::string empty = writeInput("check_empty.xml", "");
    EXPECT_EQ(run("check -v '" + bad + "' /no/such/file.xml '" + empty + "' '" +
                  std::string(KAVRIXML_TEST_TMP) + "' '" + sample("settings.xml") + "'"),
              (ToolRun{1, "1 file parsed\n",
                       bad +
                           ":1:6: Unclosed node a\n"
                           "kavrixml check: Cannot open file /no/such/file.xml: No such file "
                           "or directory\n"
                           "kavrixml check: " +
                           empty + ": empty input\nkavrixml check: Cannot read " +
                           KAVRIXML_TEST_TMP + ": is a directory\n"}));
}

TEST(XmlDumpCommand, PrintsThePictureOnStandardError) {
    EXPECT_EQ(run("dump -", DOC), (ToolRun{0, "",
                                           "<a b=\"x&y\" z=\"1\">\n"
                                           "   <c>\n      hi\n   </c>\n"
                                           "   <d>\n      <![CDATA[\n<raw>\n      ]]>\n   </d>\n"
                                           "</a>\n"}));
}

TEST(XmlFindCommand, WritesTheShallowestMatchOrFails) {
    const char* doc = "<r><x><k id='deep'/></x><k id='shallow'><v>1</v></k></r>";
    EXPECT_EQ(run("find k -", doc), (ToolRun{0, "<k id=\"shallow\">\n\t<v>1</v>\n</k>\n", ""}));
    EXPECT_EQ(run("find --lenient k -", doc),
              (ToolRun{0, "<k id=\"shallow\">\n\t<v>\n\t1\n\t</v>\n</k>\n", ""}));
    EXPECT_EQ(run("find nothing -", doc),
              (ToolRun{1, "", "kavrixml find: no element named 'nothing' in <stdin>\n"}));
}

// check reads strictly unless told otherwise; format, dump and find read
// losslessly unless told otherwise.
TEST(XmlCommands, ReadLenientlyWhereTheHelpSays) {
    const std::string samples[] = {sample("latin1.xml"), sample("utf16.xml"),
                                   sample("system-doctype.svg")};
    for (const std::string& path : samples) {
        ToolRun strict = run("check '" + path + "'");
        EXPECT_EQ(strict.status, 1) << path;
        EXPECT_NE(strict.err.find(" (reads with --lenient)\n"), std::string::npos) << strict.err;
        EXPECT_EQ(run("check --lenient '" + path + "'").status, 0) << path;
        EXPECT_EQ(run("format --strict '" + path + "'").status, 1) << path;
    }
    EXPECT_EQ(run("find file '" + samples[0] + "'"),
              (ToolRun{0, "<file path=\"/home/zo\xC3\xAB/Documents/Caf\xC3\xA9.txt\"/>\n", ""}));
    ToolRun utf16 = run("format --compact --lenient '" + samples[1] + "'");
    EXPECT_EQ(utf16.out.substr(0, 80),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><catalogue branch=\"\xC5\x8Csaka\">"
              "<book id=\"j001\"");
    ToolRun svg = run("dump '" + samples[2] + "'");
    EXPECT_EQ(svg.status, 0);
    EXPECT_EQ(svg.err.substr(0, 36), "<svg height=\"48\" viewBox=\"0 0 48 48\"");
    // A failure that lenient reading would not mend has no hint.
    EXPECT_EQ(run("check -", "<a></b>"), (ToolRun{1, "", "<stdin>:1:6: Unclosed node a\n"}));
}

TEST(XmlCommands, BadInputIsOneLineAndExitOne) {
    std::string broken = writeInput("broken.xml", "<a>\n<b></a>");
    for (const char* command : {"format", "dump", "find a"}) {
        std::string name = std::string(command).substr(0, std::string(command).find(' '));
        SCOPED_TRACE(command);
        const std::string prefix = "kavrixml " + name + ": ";
        EXPECT_EQ(run(std::string(command) + " /no/such.xml"),
                  (ToolRun{1, "",
                           prefix + "Cannot open file /no/such.xml: No such file or directory\n"}));
        EXPECT_EQ(run(std::string(command) + " -", ""),
                  (ToolRun{1, "", prefix + "<stdin>: empty input\n"}));
        EXPECT_EQ(
            run(std::string(command) + " '" + KAVRIXML_TEST_TMP + "'"),
            (ToolRun{1, "", prefix + "Cannot read " + KAVRIXML_TEST_TMP + ": is a directory\n"}));
        EXPECT_EQ(run(std::string(command) + " '" + broken + "'"),
                  (ToolRun{1, "", prefix + broken + ":2:6: Unclosed node b\n"}));
    }
}

TEST(XmlCommands, UsageErrorsExitTwoAndHelpExitsZero) {
    for (const char* args : {"format", "format a.xml b.xml", "format -o", "check", "check -x a.xml",
                             "dump", "dump --lenient", "find onlyname", "find --x a b"}) {
        EXPECT_EQ(run(args).status, 2) << args;
    }
    EXPECT_EQ(
        run("format --pretty a.xml"),
        (ToolRun{2, "",
                 "kavrixml format: unknown option '--pretty' (see kavrixml format --help)\n"}));
    for (const char* command : {"format", "check", "dump", "find"}) {
        ToolRun help = run(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(help.out.rfind(std::string("usage: kavrixml ") + command, 0), 0u) << help.out;
    }
}

}  // namespace
