// kavrixml params, run as a user would: exact output for the sample file and
// for the layout's corner cases, one line on stderr for bad input.
#include <gtest/gtest.h>

#include <string>

#include "tool_support.h"

namespace {

using namespace tooltest;

ToolRun runParams(const std::string& args) {
    return run("params " + args);
}

TEST(ParamsCommand, PrintsTheSampleSettingsAsATree) {
    const std::string tree =
        "window (complex)\n"
        "  x (int) = 120\n"
        "  y (int) = 80\n"
        "  width (int) = 1280\n"
        "  height (int) = 800\n"
        "  maximized (bool) = false\n"
        "  opacity (float) = 0.95\n"
        "  title (string) = \"Photo Viewer\"\n"
        "network (complex)\n"
        "  timeout (float) = 12.5\n"
        "  retries (int) = 3\n"
        "  offline (bool) = false\n"
        "  proxy (complex)\n"
        "    host (string) = \"proxy.example.org\"\n"
        "    port (int) = 3128\n"
        "    enabled (bool) = true\n"
        "    exclude (string) = \"localhost;*.internal\"\n"
        "recentFiles (list)\n"
        "  [0] (string) = \"/home/ana/Pictures/harbour.jpg\"\n"
        "  [1] (string) = \"/home/ana/Pictures/lighthouse at dusk.png\"\n"
        "  [2] (string) = \"/home/ana/Documents/scan \\\"0042\\\".tif\"\n"
        "language (string) = \"en\"\n"
        "zoomStep (float) = 1.25\n"
        "autoSaveMinutes (int) = 10\n"
        "showThumbnails (bool) = true\n";
    EXPECT_EQ(runParams(std::string("'") + KAVRIXML_SOURCE_DIR + "/examples/params.xml'"),
              (ToolRun{0, tree, ""}));
}

TEST(ParamsCommand, RootParamUnnamedEntriesEscapesAndSkippedTypes) {
    std::string path = writeInput("params_root.xml",
                                  "<param name='history' type='list'>\n"
                                  "  <PARAM value='tab&#9;and\\'/>\n"
                                  "  <PARAM name='empty' value=''/>\n"
                                  "  <PARAM type='double' value='1.5'/>\n"
                                  "  <PARAM type='float' value='0.1'/>\n"
                                  "  <PARAM><PARAM type='int' value='-3'/></PARAM>\n"
                                  "</param>\n");
    // A list takes no note of what it could not convert.
    EXPECT_EQ(runParams("'" + path + "'"), (ToolRun{0,
                                                    "history (list)\n"
                                                    "  [0] (string) = \"tab\\tand\\\\\"\n"
                                                    "  empty (string) = \"\"\n"
                                                    "  [2] (float) = 0.1\n"
                                                    "  [3] (complex)\n"
                                                    "    [0] (int) = -3\n",
                                                    ""}));

    // At document level an unknown type is warned about and left out.
    path = writeInput("params_unknown.xml",
                      "<settings><PARAM name='a' type='Int' value='1'/>"
                      "<PARAM name='b' type='int' value='2'/></settings>");
    EXPECT_EQ(
        runParams("'" + path + "'"),
        (ToolRun{0, "b (int) = 2\n", "warning: ParameterParser::can't process node PARAM\n"}));
}

TEST(ParamsCommand, BadInputGivesOneLineOnStderrAndNoOutput) {
    std::string malformed = writeInput("params_malformed.xml", "<settings><PARAM name='a'>");
    std::string none =
        writeInput("params_none.xml", "<settings><param name='a' value='1'/></settings>");
    const std::string missing = tmpPath("params_missing.xml");
    const std::string prefix = "kavrixml params: ";
    EXPECT_EQ(
        runParams("'" + missing + "'"),
        (ToolRun{1, "", prefix + "Cannot open file " + missing + ": No such file or directory\n"}));
    EXPECT_EQ(
        runParams("'" + malformed + "'"),
        (ToolRun{1, "", prefix + malformed + ":1:27: Unexpected end of input (expected '<')\n"}));
    EXPECT_EQ(runParams("'" + none + "'"),
              (ToolRun{1, "", prefix + none + ": no parameters found\n"}));
    EXPECT_EQ(runParams(""),
              (ToolRun{2, "", prefix + "expects one FILE (see kavrixml params --help)\n"}));
    EXPECT_EQ(
        runParams("--pretty a.xml"),
        (ToolRun{2, "", prefix + "unknown option '--pretty' (see kavrixml params --help)\n"}));
}

TEST(ParamsCommand, ReadsStrictlyUnlessToldToReadLeniently) {
    std::string latin1 = writeInput("params_latin1.xml",
                                    "<?xml version='1.0' encoding='ISO-8859-1'?>\n"
                                    "<PARAM name='city' type='string' value='K\xF6ln'/>");
    EXPECT_EQ(runParams("'" + latin1 + "'"),
              (ToolRun{1, "",
                       "kavrixml params: " + latin1 +
                           ":1:30: Only UTF-8 encoding supported (reads with --lenient)\n"}));
    EXPECT_EQ(runParams("--lenient '" + latin1 + "'"),
              (ToolRun{0, "city (string) = \"K\xC3\xB6ln\"\n", ""}));
}

}  // namespace
