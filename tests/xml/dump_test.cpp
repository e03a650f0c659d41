// XMLUtils::dumpNode: the exact sequence of debug pieces.
#include <gtest/gtest.h>

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
    Document doc;
    XNode* a = doc.createNode("a", nullptr);
    doc.setRootNode(a);
    a->addAttribute("id", "7");
    a->addChild("b")->addBody("hi");
    a->addChild("c")->addAttribute("k", "v");

    Pieces pieces = dumpPieces(a);
    std::string joined;
    for (const std::string& piece : pieces) {
        joined += piece;
    }
    EXPECT_EQ(joined,
              "<a id=\"7\">\n"
              "   <b>\n"
              "      hi\n"
              "   </b>\n"
              "   <c k=\"v\"/>\n"
              "</a>\n");
    // Each piece is its own entry: indentation, names and values apart.
    EXPECT_EQ(Pieces(pieces.begin(), pieces.begin() + 8),
              (Pieces{"<", "a", " ", "id", "=\"", "7", "\"", ">\n"}));
    EXPECT_EQ(Pieces(pieces.begin() + 8, pieces.begin() + 12), (Pieces{"   ", "<", "b", ">\n"}));
}

TEST(XMLUtilsDump, ChildrenFirstNothingEscapedLevelsFromTheTop) {
    Document doc;
    XNode* root = doc.createNode("r%s", nullptr);
    doc.setRootNode(root);
    root->addBody("100% <raw> & %s");
    root->addCData("x<y", 3);
    XNode* deep = root->addChild("k")->addChild("b")->addChild("c");
    xmlio::LogCapture log;
    XMLUtils::dumpNode(root);
    EXPECT_EQ(log.joined(logging::Logger::DEBUG),
              "<r%s>\n"
              "   <k>\n      <b>\n         <c/>\n      </b>\n   </k>\n"
              "   100% <raw> & %s\n"
              "   <![CDATA[\nx<y\n   ]]>\n"
              "</r%s>\n");
    // A dump that starts below the top is indented by its node's ancestors.
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
