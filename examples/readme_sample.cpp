// The code sample of the README; the test suite builds and runs it.
#include <cstdio>
#include <memory>
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

    // Write the document on one line, read it back and write it again: the
    // same bytes, and the escaped title comes back decoded.
    kavri::xml::XMLWriter writer;
    writer.setTidyOutput(false);
    kavri::stream::MemoryOutputStream written;
    writer.write(&doc, &written);
    kavri::xml::DOMParser parser;
    kavri::stream::MemoryInputStream in(written.str());
    std::unique_ptr<Document> copy(parser.parse(&in));
    kavri::stream::MemoryOutputStream rewritten;
    writer.write(copy.get(), &rewritten);
    std::printf("%s\n", written.str().c_str());
    const char* title = copy->getRootNode()->getFirstChild("window")->getAttributeChar("title", "");
    bool roundTrip = rewritten.str() == written.str() && std::string(title) == "Main & only";

    return (elements == 3 && width == 800 && height == 480 && roundTrip) ? 0 : 1;
}
