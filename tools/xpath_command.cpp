// kavrixml xpath: evaluates an XPath 1.0 expression on XML documents and
// prints the result, a node set one node per line.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"
#include "tools/Command.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"
#include "xml/XPath.h"

namespace kavrixml_tool {

namespace {

using kavri::xml::Document;
using kavri::xml::XPathException;
using kavri::xml::XPathNode;
using kavri::xml::XPathQuery;
using kavri::xml::XPathValue;

const char* const XPATH_USAGE =
    "usage: kavrixml xpath [--strict] [--] EXPR FILE...\n"
    "\n"
    "Evaluates the XPath 1.0 expression EXPR on each document, from its root\n"
    "node, and prints the result. A node set is printed one node per line in\n"
    "document order: an element as compact XML, an attribute as name=\"value\",\n"
    "a text node as its text. Any other result is printed as its string: a\n"
    "number as XPath writes it, a boolean as true or false.\n"
    "\n"
    "Documents are read leniently, with each element's body trimmed, as format\n"
    "reads them; --strict reads only what the library reads by default. FILE\n"
    "may be \"-\" for standard input; -- ends the options (for an EXPR that\n"
    "begins with '-').\n"
    "\n"
    "Attribute values are escaped as in XML (tab, line feed and carriage\n"
    "return as references, so that each result stays on one line). With\n"
    "several files, an empty result names its file.\n"
    "\n"
    "Exit status: 0 every result is non-empty, 1 an empty node set or a file\n"
    "that cannot be read, 2 a usage error or an expression that does not\n"
    "compile (shown with a caret under the fault).\n";

// "  EXPR\n  ^" under the character at `offset`.
std::string caret(const std::string& expression, size_t offset) {
    const size_t column =
        kavri::xml::syntax::countCharacters(expression.data(), std::min(offset, expression.size()));
    return "  " + expression + "\n  " + std::string(column, ' ') + "^\n";
}

int reportQuery(int code, const std::string& expression, const XPathException& e) {
    std::fprintf(stderr, "kavrixml xpath: %s\n%s", e.getMessage(),
                 caret(expression, e.getOffset()).c_str());
    return code;
}

// Writes the results of the documents one after another; one writer and
// one stream serve every element.
class Printer {
  public:
    // Prints the result for one document; false when it is an empty node set
    // (said on stderr, after the file's name when `file` is not null).
    bool print(const XPathValue& value, const char* file) {
        std::string out;
        if (value.type() != XPathValue::NODE_SET) {
            out = value.toString() + "\n";
        } else if (value.nodes().empty()) {
            std::fprintf(stderr, "%s%sXPath set is empty\n", file != nullptr ? file : "",
                         file != nullptr ? ": " : "");
            return false;
        }
        for (const XPathNode& node : value.nodes()) {
            appendNode(node, out);
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        return true;
    }

  private:
    void appendNode(const XPathNode& node, std::string& out) {
        switch (node.kind()) {
            case XPathNode::ROOT:
            case XPathNode::ELEMENT:
                mStream.clear();
                mWriter.write(const_cast<kavri::xml::XNode*>(node.element()), &mStream);
                out += mStream.str();
                break;
            case XPathNode::ATTRIBUTE: {
                out += node.name() + "=\"";
                kavri::xml::syntax::putEscaped(
                    node.value().c_str(), kavri::xml::syntax::XMLBytes::ATTRIBUTE_ESCAPES,
                    [&out](const char* bytes, size_t length = std::string::npos) {
                        out.append(bytes,
                                   length != std::string::npos ? length : std::strlen(bytes));
                    });
                out += '"';
                break;
            }
            default:
                out += node.value();
                break;
        }
        if (out.empty() || out.back() != '\n') {
            out += '\n';
        }
    }

    kavri::xml::XMLWriter mWriter{false, false};
    kavri::stream::MemoryOutputStream mStream;
};

int runXPath(const std::vector<std::string>& args) {
    ReadOptions reading;
    reading.trimBodies = true;
    reading.lenient = true;
    std::vector<std::string> words;
    bool options = true;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
        } else if (options && readingOption(arg, reading)) {
            continue;
        } else if (options && isOption(arg)) {
            return unknownOption("xpath", arg);
        } else {
            words.push_back(arg);
        }
    }
    if (words.size() < 2) {
        return report("xpath", EXIT_USAGE, "expects EXPR and FILE (see kavrixml xpath --help)");
    }
    const std::string& expression = words[0];
    std::unique_ptr<XPathQuery> query;
    try {
        query.reset(new XPathQuery(expression));
    } catch (const XPathException& e) {
        return reportQuery(EXIT_USAGE, expression, e);
    }
    int status = EXIT_OK;
    Printer printer;
    for (size_t i = 1; i < words.size(); ++i) {
        std::string error;
        std::unique_ptr<Document> doc;
        try {
            doc = readDocument(words[i], error, reading);
        } catch (const ::core::Exception& e) {
            error = e.getMessage();
        }
        if (!doc) {
            status = report("xpath", EXIT_FAULT, "%s", error.c_str());
            continue;
        }
        try {
            const char* file = words.size() > 2 ? words[i].c_str() : nullptr;
            if (!printer.print(query->evaluate(*doc), file)) {
                status = EXIT_FAULT;
            }
        } catch (const XPathException& e) {
            status = reportQuery(EXIT_FAULT, expression, e);
        }
        keepUntilExit(std::move(doc));
    }
    std::fflush(stdout);
    return status;
}

const CommandRegistrar kXPath({"xpath", "evaluate an XPath 1.0 expression on XML documents",
                               XPATH_USAGE, &runXPath});

}  // namespace

}  // namespace kavrixml_tool
