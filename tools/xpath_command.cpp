// kavrixml xpath: evaluates an XPath 1.0 expression on XML documents and
// prints the result, a node set one node per line.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "syntax/XMLChars.h"
#include "syntax/XMLSyntax.h"
#include "tools/Command.h"
#include "xml/DOMParser.h"
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
    "usage: kavrixml xpath [--strict | --lenient] [--] EXPR FILE...\n"
    "\n"
    "Evaluates the XPath 1.0 expression EXPR on each document, from its root\n"
    "node, and prints the result. A node set is printed one node per line in\n"
    "document order: an element as compact XML, an attribute as name=\"value\",\n"
    "a text node as its text, a comment as <!--TEXT-->, a processing\n"
    "instruction as <?TARGET DATA?>. Any other result is printed as its\n"
    "string: a number as XPath writes it, a boolean as true or false.\n"
    "\n"
    "Documents are read whole by default: text in place among the elements,\n"
    "comments and processing instructions are nodes, as XPath 1.0 describes\n"
    "them. --lenient reads the library's tree instead (each element's body as\n"
    "one trimmed text node before its children, no comments), as format\n"
    "--lenient reads it; --strict reads only what the library reads by\n"
    "default, into the same tree. FILE may be \"-\" for standard input; --\n"
    "ends the options (for an EXPR that begins with '-').\n"
    "\n"
    "Attribute values, and the texts, comments and instructions of a document\n"
    "read whole, are escaped as in XML (tab, line feed and carriage return as\n"
    "references, so that each result stays on one line). With several files,\n"
    "an empty result names its file.\n"
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
            case XPathNode::ATTRIBUTE:
                out += node.name() + "=\"";
                appendEscaped(node.value(), out);
                out += '"';
                break;
            case XPathNode::COMMENT:
                out += "<!--";
                appendEscaped(node.value(), out);
                out += "-->";
                break;
            case XPathNode::INSTRUCTION: {
                const std::string data = node.value();
                out += "<?" + node.name() + (data.empty() ? "" : " ");
                appendEscaped(data, out);
                out += "?>";
                break;
            }
            default:
                // The library's tree keeps its texts as they were printed
                // before documents were read whole.
                if (node.index() != 0) {
                    appendEscaped(node.value(), out);
                } else {
                    out += node.value();
                }
                break;
        }
        if (out.empty() || out.back() != '\n') {
            out += '\n';
        }
    }

    static void appendEscaped(const std::string& text, std::string& out) {
        kavri::xml::syntax::putEscaped(
            text.c_str(), kavri::xml::syntax::XMLBytes::ATTRIBUTE_ESCAPES,
            [&out](const char* bytes, size_t length = std::string::npos) {
                out.append(bytes, length != std::string::npos ? length : std::strlen(bytes));
            });
    }

    kavri::xml::XMLWriter mWriter{false, false};
    kavri::stream::MemoryOutputStream mStream;
};

// Reads a document whole (DOMParser::setLossless); on a fault, the error
// is the lenient reader's, which reads the same documents.
std::unique_ptr<Document> readWhole(const std::string& path, std::string& error) {
    std::string bytes = readInput(path);
    {
        kavri::stream::MemoryInputStream in(bytes);
        kavri::xml::DOMParser parser;
        parser.setLossless(true);
        try {
            return std::unique_ptr<Document>(parser.parse(&in));
        } catch (const ::core::Exception&) {
        }
    }
    ReadOptions lenient;
    lenient.lenient = true;
    std::unique_ptr<Document> doc = parseDocument(std::move(bytes), path, error, lenient);
    if (doc) {
        error = std::string(path) + ": the document reads leniently but not whole";
    }
    return nullptr;
}

int runXPath(const std::vector<std::string>& args) {
    ReadOptions reading;
    reading.trimBodies = true;
    reading.lenient = true;
    bool whole = true;
    std::vector<std::string> words;
    bool options = true;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
        } else if (options && readingOption(arg, reading)) {
            whole = false;
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
            doc = whole ? readWhole(words[i], error) : readDocument(words[i], error, reading);
        } catch (const ::core::Exception& e) {
            error = e.getMessage();
        }
        if (!doc) {
            status = report("xpath", EXIT_FAULT, "%s", error.c_str());
            continue;
        }
        try {
            // The document is unchanged while its results are printed: what
            // the query read of its content serves the printing too.
            const kavri::xml::XPathSession session;
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
