// XMLUtils::dumpNode: the exact sequence of debug pieces.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "xml/Document.h"
#include "xml/XMLUtils.h"
#include "xml_io_support.h"

namespace {

using kavri::xml::Document;
using kavri::xml::XMLUtils;
using kavri::xml::XNode;
using Pieces = std::vector<std::string>;

Pieces dumpPieces(const XNode* node) {
    xmlio::LogCapture log;
    XMLUtils::dumpNode(node);
    return log.pieces(logging::Logger::DEBUG);
}

TEST(XMLUtilsDump, ExampleTreeGivesTheDocumentedLines) {
    auto doc = xmlio::parse("<a id='7'><b>hi</b><c k='v'/></a>");
    Pieces pieces = dumpPieces(doc->getRootNode());
    EXPECT_EQ(std::accumulate(pieces.begin(), pieces.end(), std::string()),
              "<a id=\"7\">\n"
              "   <b>\n"
              "      hi\n"
              "   </b>\n"
              "   <c k=\"v\"/>\n"
              "</a>\n");
    // Each piece is its own entry: indentation, names and values apart.
    EXPECT_EQ(Pieces(pieces.begin(), pieces.begin() + 12),
              (Pieces{"<", "a", " ", "id", "=\"", "7", "\"", ">\n", "   ", "<", "b", ">\n"}));
}

TEST(XMLUtilsDump, ChildrenFirstNothingEscapedLevelsFromTheTop) {
    auto doc =
        xmlio::parse("<r%s>100% &lt;raw&gt; &amp; %s<![CDATA[x<y]]><k><b><c/></b></k></r%s>");
    XNode* root = doc->getRootNode();
    xmlio::LogCapture log;
    XMLUtils::dumpNode(root);
    EXPECT_EQ(log.joined(logging::Logger::DEBUG),
              "<r%s>\n"
              "   <k>\n      <b>\n         <c/>\n      </b>\n   </k>\n"
              "   100% <raw> & %s\n"
              "   <![CDATA[\nx<y\n   ]]>\n"
              "</r%s>\n");
    // A dump that starts below the top is indented by its node's ancestors.
    XNode* deep = root->getFirstChild("k")->getFirstChild("b")->getFirstChild("c");
    EXPECT_EQ(dumpPieces(deep), (Pieces{"   ", "   ", "   ", "<", "c", "/>\n"}));
    EXPECT_EQ(dumpPieces(nullptr), Pieces{});
}

TEST(XMLUtilsDump, LongAttributeValuesAreLoggedIn1024BytePieces) {
    Document doc;
    XNode* root = doc.createNode("r", nullptr);
    doc.setRootNode(root);
    std::string value(2500, 'v');
    value[1024] = 'w';
    root->addAttribute("long", value);
    root->addAttribute("one", std::string(1024, 'o'));
    root->addAttribute("zero", "");

    Pieces pieces = dumpPieces(root);
    Pieces expected{"<", "r", " ", "long", "=\""};
    expected.push_back(value.substr(0, 1024));
    expected.push_back(value.substr(1024, 1024));
    expected.push_back(value.substr(2048));
    expected.insert(expected.end(), {"\"", " ", "one", "=\"", std::string(1024, 'o'), "\"", " ",
                                     "zero", "=\"", "\"", "/>\n"});
    EXPECT_EQ(pieces, expected);
    EXPECT_EQ(pieces[7].size(), 452u);
}

}  // namespace
