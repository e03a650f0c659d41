#include "xml/XMLUtils.h"

#include <cstring>
#include <string>
#include <vector>

#include "framework/plinth/Logger.h"
#include "xml/XNode.h"

namespace kavri {
namespace xml {

namespace {

const size_t PIECE = 1024;
// Long attribute values pass through here, 1,024 bytes at a time.
char gPieceBuffer[PIECE + 1];

void log(const char* piece) {
    logging::Logger::mROOT_LOGGER->debug("%s", piece);
}

void indent(int level) {
    for (int i = 0; i < level; ++i) {
        log("   ");
    }
}

void logValue(const char* value) {
    size_t length = std::strlen(value);
    for (size_t done = 0; done < length; done += PIECE) {
        size_t piece = length - done < PIECE ? length - done : PIECE;
        std::memcpy(gPieceBuffer, value + done, piece);
        gPieceBuffer[piece] = '\0';
        log(gPieceBuffer);
    }
}

bool hasCData(const XNode* node) {
    unsigned size = 0;
    return node->getCData(size) != nullptr && size > 0;
}

// The opening tag; false when the element is empty and so already closed.
bool openNode(const XNode* node, int level) {
    indent(level);
    log("<");
    log(node->getName());
    node->forEachAttribute([](const char*, const Attribute* attribute) {
        log(" ");
        log(attribute->getName());
        log("=\"");
        logValue(attribute->getValue());
        log("\"");
    });
    if (node->getChildCount() == 0 && node->getBodySize() == 0 && !hasCData(node)) {
        log("/>\n");
        return false;
    }
    log(">\n");
    return true;
}

// What follows the children: body, CDATA and the closing tag.
void closeNode(const XNode* node, int level) {
    if (node->getBodySize() > 0) {
        indent(level + 1);
        log(node->getBody());
        log("\n");
    }
    if (hasCData(node)) {
        unsigned size = 0;
        const char* data = node->getCData(size);
        std::string copy(data, size);
        indent(level + 1);
        log("<![CDATA[\n");
        log(copy.c_str());
        log("\n");
        indent(level + 1);
        log("]]>\n");
    }
    indent(level);
    log("</");
    log(node->getName());
    log(">\n");
}

}  // namespace

void XMLUtils::dumpNode(const XNode* node) {
    if (node == nullptr) {
        return;
    }
    int level = 0;
    for (const XNode* up = node->getParent(); up != nullptr; up = up->getParent()) {
        ++level;
    }
    // Open elements with the index of their next child: the walk keeps its
    // place on the heap, so any depth dumps on a small stack.
    struct Open {
        const XNode* node;
        size_t nextChild;
        int level;
    };
    std::vector<Open> open;
    if (openNode(node, level)) {
        open.push_back({node, 0, level});
    }
    while (!open.empty()) {
        Open& top = open.back();
        const XNode::ChildList& children = top.node->getChildren();
        if (top.nextChild < children.size()) {
            const XNode* child = children[top.nextChild++].get();
            const int childLevel = top.level + 1;
            if (openNode(child, childLevel)) {
                open.push_back({child, 0, childLevel});
            }
            continue;
        }
        closeNode(top.node, top.level);
        open.pop_back();
    }
}

}  // namespace xml
}  // namespace kavri
