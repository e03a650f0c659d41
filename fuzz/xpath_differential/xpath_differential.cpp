// XPath against libxml2's. The input holds the bytes that build a document
// (elements a, b, c below r, attributes x, y, z written in name order) and,
// after the separator, an expression. An input whose first byte is even
// builds an element-only document (text only in elements without children),
// read with the library's default reader; an odd one builds mixed content
// with comments, processing instructions and CDATA sections, also around r,
// read losslessly, which libxml2 reads with CDATA as text (it keeps a
// section as a node of its own, where XPath merges it with the text beside
// it). When both libraries accept the expression and finish it, their
// results must agree: node sets as the paths of their nodes, numbers
// exactly, booleans, and strings up to the digits that each writes a
// non-integer number with.
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>

#include "framework/kavrimain/MemoryInputStream.h"
#include "fuzz/FuzzSupport.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XPath.h"

using namespace kavri::xml;

namespace {

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;
    std::vector<std::unique_ptr<Element>> children;
    // Mixed documents: the content in order, a child (by its index in
    // `children`) or the markup of a text, comment, instruction or CDATA.
    std::vector<std::pair<int, std::string>> content;

    void write(std::string& out, bool mixed) const {
        out += "<" + name;
        for (const auto& attribute : attributes) {
            out += " " + attribute.first + "=\"" + attribute.second + "\"";
        }
        out += ">";
        if (mixed) {
            for (const auto& piece : content) {
                if (piece.first < 0) {
                    out += piece.second;
                } else {
                    children[static_cast<size_t>(piece.first)]->write(out, true);
                }
            }
        } else {
            if (children.empty()) {
                out += text;
            }
            for (const auto& child : children) {
                child->write(out, false);
            }
        }
        out += "</" + name + ">";
    }
};

// A text, comment, instruction or CDATA section of a mixed document.
std::string piece(unsigned choice, const char* value) {
    static const char* const TARGETS[] = {"p", "q"};
    switch (choice % 5) {
        case 0:
            return std::string("<!--") + value + "-->";
        case 1:
            return std::string("<?") + TARGETS[choice / 5 % 2] + " " + value + "?>";
        case 2:
            return std::string("<![CDATA[") + (*value != '\0' ? value : "<") + "]]>";
        case 3:
            return "\n  ";
        default:
            return value;
    }
}

std::string buildDocument(const std::string& bytes) {
    static const char* const NAMES[] = {"a", "b", "c"};
    static const char* const ATTRIBUTES[] = {"x", "y", "z"};
    static const char* const VALUES[] = {"1", "2", "10", "-3", "1.5", "a", "b", "", " 4 ", "NaN"};
    const bool mixed = !bytes.empty() && (bytes[0] & 1) != 0;
    Element root;
    root.name = "r";
    std::string prolog;
    std::string epilog;
    std::vector<Element*> open = {&root};
    size_t elements = 1;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        const unsigned choice = byte >> 3;
        Element* current = open.back();
        switch (byte & 7) {
            case 0:
            case 1:
            case 2:
                if (open.size() < 7 && elements < 40) {
                    current->content.emplace_back(static_cast<int>(current->children.size()),
                                                  std::string());
                    current->children.emplace_back(new Element());
                    current->children.back()->name = NAMES[choice % 3];
                    open.push_back(current->children.back().get());
                    ++elements;
                }
                break;
            case 3:
            case 7:
                if (open.size() > 1) {
                    open.pop_back();
                }
                break;
            case 4:
            case 5:
                current->attributes[ATTRIBUTES[choice % 3]] = VALUES[(choice / 3) % 10];
                break;
            default:
                current->text = VALUES[choice % 10];
                if (mixed && choice % 5 < 2 && open.size() == 1 && choice >= 20) {
                    (root.content.empty() ? prolog : epilog) += piece(choice, VALUES[choice % 10]);
                } else if (mixed) {
                    current->content.emplace_back(-1, piece(choice, VALUES[choice % 10]));
                }
                break;
        }
    }
    std::string text = prolog;
    root.write(text, mixed);
    return text + epilog;
}

std::string pathOf(const XPathNode& node) {
    if (node.kind() == XPathNode::ROOT) {
        return "/";
    }
    const XNode* element = node.element();
    std::string path;
    for (const XNode* at = element; at != nullptr; at = at->getParent()) {
        size_t index = 1;
        if (at->getParent() != nullptr) {
            for (const auto& sibling : at->getParent()->getChildren()) {
                if (sibling.get() == at) {
                    break;
                }
                ++index;
            }
        }
        path = "/" + std::string(at->getName()) + "[" + std::to_string(index) + "]" + path;
    }
    if (node.kind() == XPathNode::ATTRIBUTE) {
        return path + "/@" + node.name();
    }
    if (node.kind() == XPathNode::ELEMENT) {
        return path;
    }
    if (node.index() == 0) {
        return path + "/text()";
    }
    // A node of a lossless tree: its place among its parent's children.
    const std::string place =
        "/node()[" + std::to_string(node.index() & ~XPathNode::AROUND_ROOT) + "]";
    if ((node.index() & XPathNode::AROUND_ROOT) != 0) {
        return place;
    }
    return path + place;
}

// The place of a node among all its siblings, as in "node()[3]".
std::string placeOf(const xmlNode* node) {
    size_t index = 1;
    for (const xmlNode* at = node->prev; at != nullptr; at = at->prev) {
        ++index;
    }
    return "/node()[" + std::to_string(index) + "]";
}

// Whether the document being compared was read losslessly.
bool mixedTree = false;

std::string pathOf(const xmlNode* node) {
    switch (node->type) {
        case XML_DOCUMENT_NODE:
            return "/";
        case XML_ATTRIBUTE_NODE:
            return pathOf(node->parent) + "/@" + reinterpret_cast<const char*>(node->name);
        case XML_TEXT_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            if (!mixedTree) {
                return pathOf(node->parent) + "/text()";
            }
            return (node->parent->type == XML_DOCUMENT_NODE ? "" : pathOf(node->parent)) +
                   placeOf(node);
        case XML_ELEMENT_NODE: {
            size_t index = 1;
            for (const xmlNode* at = node->prev; at != nullptr; at = at->prev) {
                index += at->type == XML_ELEMENT_NODE ? 1 : 0;
            }
            const std::string parent =
                node->parent->type == XML_DOCUMENT_NODE ? "" : pathOf(node->parent);
            return parent + "/" + reinterpret_cast<const char*>(node->name) + "[" +
                   std::to_string(index) + "]";
        }
        default:
            return "?";
    }
}

// Numbers inside a string, rewritten with 12 significant digits: the two
// libraries write non-integers with different numbers of digits.
std::string canonical(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const bool starts =
            (text[i] >= '0' && text[i] <= '9') ||
            (text[i] == '-' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9');
        if (!starts) {
            out += text[i++];
            continue;
        }
        char* end = nullptr;
        const double value = std::strtod(text.c_str() + i, &end);
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.12g", value);
        out += buffer;
        i = static_cast<size_t>(end - text.c_str());
    }
    return out;
}

// libxml2 writes very large and very small numbers with an exponent, which
// XPath's number-to-string conversion never does: a string that differs and
// holds one is outside the compared subset (glued to other digits by
// concat(), the two writings cannot be told apart reliably).
bool hasExponent(const std::string& text) {
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if ((text[i] == 'e' || text[i] == 'E') && text[i - 1] >= '0' && text[i - 1] <= '9' &&
            (text[i + 1] == '-' || text[i + 1] == '+' ||
             (text[i + 1] >= '0' && text[i + 1] <= '9'))) {
            return true;
        }
    }
    return false;
}

// libxml2 refuses text that is no UTF-8, where ours counts a stray byte as
// one character: such expressions are outside the compared subset.
bool isUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80         ? 1
                              : (c >> 5) == 6  ? 2
                              : (c >> 4) == 14 ? 3
                              : (c >> 3) == 30 ? 4
                                               : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// libxml2's following axis from an attribute starts after the attribute's
// element, where XPath's starts at the element's content (which follows its
// attributes in document order): expressions that may take that axis from
// an attribute are outside the compared subset.
bool mayFollowAttribute(const std::string& expression) {
    return expression.find("following::") != std::string::npos &&
           (expression.find('@') != std::string::npos ||
            expression.find("attribute::") != std::string::npos);
}

// libxml2 reads long numerals digit by digit, so its last bit may differ
// from the correctly rounded value.
bool sameNumber(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) {
        return std::isnan(a) && std::isnan(b);
    }
    return a == b || std::fabs(a - b) <= 1e-12 * std::max(std::fabs(a), std::fabs(b));
}

void quiet(void*, const char*, ...) {}
void quietStructured(void*, xmlError*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> parts = kavrixml::fuzz::split(data, size, 2);
    const std::string& expression = parts[1];
    // libxml2 gives every element the namespace node of "xml"; ours has none.
    if (expression.size() > 300 || expression.find("namespace") != std::string::npos ||
        expression.find('\0') != std::string::npos || !isUtf8(expression) ||
        mayFollowAttribute(expression)) {
        return 0;
    }
    const std::string text = buildDocument(parts[0]);
    mixedTree = !parts[0].empty() && (parts[0][0] & 1) != 0;

    std::unique_ptr<XPathQuery> query;
    try {
        query.reset(new XPathQuery(expression));
    } catch (const XPathException&) {
        return 0;
    }
    DOMParser parser;
    parser.setLossless(mixedTree);
    kavri::stream::MemoryInputStream in(text);
    std::unique_ptr<Document> document(parser.parse(&in));
    XPathOptions options;
    options.maxSteps = 1000000;
    XPathValue ours;
    try {
        ours = query->evaluate(*document, options);
    } catch (const XPathException&) {
        return 0;
    }

    xmlSetGenericErrorFunc(nullptr, quiet);
    xmlSetStructuredErrorFunc(nullptr, quietStructured);
    xmlDocPtr theirDocument = xmlReadMemory(text.data(), static_cast<int>(text.size()), "fuzz.xml",
                                            nullptr, mixedTree ? XML_PARSE_NOCDATA : 0);
    FUZZ_CHECK(theirDocument != nullptr, "libxml2 reads the document");
    xmlXPathContextPtr context = xmlXPathNewContext(theirDocument);
    context->node = reinterpret_cast<xmlNodePtr>(theirDocument);
    context->opLimit = 1000000;
    xmlXPathObjectPtr theirs =
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression.c_str()), context);
    if (theirs != nullptr) {
        switch (theirs->type) {
            case XPATH_NODESET: {
                FUZZ_CHECK(ours.type() == XPathValue::NODE_SET, "both give node sets");
                std::string mine;
                for (const XPathNode& node : ours.nodes()) {
                    mine += pathOf(node) + " ";
                }
                std::string other;
                const xmlNodeSet* set = theirs->nodesetval;
                for (int i = 0; set != nullptr && i < set->nodeNr; ++i) {
                    other += pathOf(set->nodeTab[i]) + " ";
                }
                if (mine != other) {
                    std::fprintf(stderr, "%s\nours:   %s\ntheirs: %s\n", text.c_str(), mine.c_str(),
                                 other.c_str());
                }
                FUZZ_CHECK(mine == other, "the same nodes in the same order");
                break;
            }
            case XPATH_BOOLEAN:
                FUZZ_CHECK(ours.type() == XPathValue::BOOLEAN, "both give booleans");
                FUZZ_CHECK(ours.toBoolean() == (theirs->boolval != 0), "the same boolean");
                break;
            case XPATH_NUMBER: {
                FUZZ_CHECK(ours.type() == XPathValue::NUMBER, "both give numbers");
                const double mine = ours.toNumber();
                if (!sameNumber(mine, theirs->floatval)) {
                    std::fprintf(stderr, "%s\nours: %.17g theirs: %.17g\n", text.c_str(), mine,
                                 theirs->floatval);
                    FUZZ_CHECK(false, "the same number");
                }
                break;
            }
            case XPATH_STRING: {
                FUZZ_CHECK(ours.type() == XPathValue::STRING, "both give strings");
                const std::string other = reinterpret_cast<const char*>(theirs->stringval);
                const std::string mine = ours.toString();
                if (mine != other && !hasExponent(other) && canonical(mine) != canonical(other)) {
                    std::fprintf(stderr, "%s\nours:   '%s'\ntheirs: '%s'\n", text.c_str(),
                                 mine.c_str(), other.c_str());
                    FUZZ_CHECK(false, "the same string");
                }
                break;
            }
            default:
                break;
        }
        xmlXPathFreeObject(theirs);
    }
    xmlXPathFreeContext(context);
    xmlFreeDoc(theirDocument);
    return 0;
}
