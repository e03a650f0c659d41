// The code sample of the README; the test suite builds and runs it.
#include <cstdio>
#include <string>

#include "kavrixml.h"

using kavri::xml::Document;
using kavri::xml::XNode;

int main() {
    // Build a document in memory: the document keeps its root alive, and each
    // node keeps its children alive.
    Document doc;
    XNode* root = doc.createNode("settings", nullptr);
    doc.setRootNode(root);
    XNode* window = root->addChild("window");
    window->addAttribute("width", "800");
    window->addAttribute("title", "Main & only");
    root->addChild("recent")->addBody("notes.txt");

    // Typed getters take the value to use when the attribute is missing.
    int width = window->getAttributeInt("width", 640);
    int height = window->getAttributeInt("height", 480);

    // Walk the tree: enter callbacks see every node with its depth.
    int elements = 0;
    root->visit([&elements](XNode*, int, int) {
        ++elements;
        return XNode::VISIT_CONTINUE;
    });

    std::string text;
    root->dump(text);
    std::printf("%s\n%d elements, window %dx%d\n", text.c_str(), elements, width, height);
    return (elements == 3 && width == 800 && height == 480) ? 0 : 1;
}
