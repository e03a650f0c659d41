// kavrixml params: the parameters that a document describes with PARAM
// elements, as the application will see them after conversion.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/plinth/BoolParameter.h"
#include "framework/plinth/ComplexParameter.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/FloatParameter.h"
#include "framework/plinth/IntParameter.h"
#include "framework/plinth/ListParameter.h"
#include "framework/plinth/Logger.h"
#include "framework/plinth/SimpleParameterList.h"
#include "framework/plinth/StringParameter.h"
#include "framework/plinth/StringUtil.h"
#include "tools/Command.h"
#include "xml/Document.h"
#include "xml/ParameterParser.h"
#include "xml/XNode.h"

namespace kavrixml_tool {

namespace {

using kavri::xml::ParameterParser;
using parameter::BaseParameter;

const char* const PARAMS_USAGE =
    "usage: kavrixml params [--lenient] FILE\n"
    "\n"
    "Converts the PARAM elements of an XML document to parameters and prints\n"
    "them, one per line, members indented by two blanks below their parent:\n"
    "\n"
    "  name (int) = 800           int, float and bool values as read\n"
    "  name (string) = \"text\"     strings quoted, with \\\" \\\\ \\n \\r \\t escaped\n"
    "  name (complex)             members below\n"
    "  name (list)                entries below\n"
    "\n"
    "A parameter without a name shows its position among its siblings, as [0].\n"
    "The document's parameters are the root element when it is a PARAM, and\n"
    "otherwise the PARAM children of the root. A PARAM of an unknown type is\n"
    "left out with a warning on standard error.\n"
    "\n"
    "The document is read as the library reads it by default, strictly;\n"
    "--lenient reads it as DOMParser::setLenient(true) does (other encodings,\n"
    "any DOCTYPE, internal entities, processing instructions).\n"
    "\n"
    "Exit status: 0 success, 1 unreadable or malformed input or no parameters,\n"
    "2 usage error.\n";

// A string value between quotes, with the characters that would break the
// line or the quotes escaped, so that empty and blank values stay visible.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    appendEscaped(text, 0, text.size(), out);
    return out + "\"";
}

// The shortest decimal text that reads back as the same float: 0.95, not
// 0.949999988.
std::string floatText(float value) {
    char buffer[32];
    for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, static_cast<double>(value));
        if (std::strtof(buffer, nullptr) == value) {
            break;
        }
    }
    return buffer;
}

// "int", "float", ... and the value text for scalars; an empty value marks a
// composite.
void describe(const BaseParameter& p, const char*& type, std::string& value) {
    if (auto* s = dynamic_cast<const parameter::StringParameter*>(&p)) {
        type = "string";
        value = quoted(s->getValue());
    } else if (auto* i = dynamic_cast<const parameter::IntParameter*>(&p)) {
        type = "int";
        value = text::StringUtil::toString(i->getValue());
    } else if (auto* f = dynamic_cast<const parameter::FloatParameter*>(&p)) {
        type = "float";
        value = floatText(f->getValue());
    } else if (auto* b = dynamic_cast<const parameter::BoolParameter*>(&p)) {
        type = "bool";
        value = b->getValue() ? "true" : "false";
    } else if (dynamic_cast<const parameter::ListParameter*>(&p) != nullptr) {
        type = "list";
    } else {
        type = "complex";
    }
}

void printParameters(const parameter::ParameterList& list, int depth, std::string& out);

void printParameter(const BaseParameter& p, unsigned position, int depth, std::string& out) {
    const char* type = nullptr;
    std::string value;
    describe(p, type, value);
    out.append(static_cast<size_t>(depth) * 2, ' ');
    out += p.getName().empty() ? "[" + std::to_string(position) + "]" : p.getName();
    out += " (";
    out += type;
    out += ")";
    if (!value.empty()) {
        out += " = " + value;
    }
    out += '\n';
    if (auto* members = dynamic_cast<const parameter::ParameterList*>(&p)) {
        printParameters(*members, depth + 1, out);
    }
}

void printParameters(const parameter::ParameterList& list, int depth, std::string& out) {
    for (unsigned i = 0; i < list.size(); ++i) {
        printParameter(*list.getParameter(i), i, depth, out);
    }
}

// The document's parameters: the root itself when it is a PARAM (its members
// are its children), else the PARAM children of the root.
void collectParameters(ParameterParser& parser, kavri::xml::XNode* root,
                       parameter::SimpleParameterList& list) {
    if (root == nullptr) {
        return;
    }
    if (text::StringUtil::compareIgnoreCase(root->getName(), ParameterParser::PARAMTAG.c_str()) !=
        0) {
        parser.fromXML(root, list);
        return;
    }
    BaseParameter* converted = parser.fromXML(root);
    if (converted == nullptr) {
        logging::Logger::mROOT_LOGGER->warn("ParameterParser::can't process node %s",
                                            root->getName());
    }
    list.addParameter(converted);
}

int runParams(const std::vector<std::string>& args) {
    ReadOptions reading;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (readingOption(arg, reading)) {
            continue;
        }
        if (isOption(arg)) {
            return unknownOption("params", arg);
        }
        files.push_back(arg);
    }
    if (files.size() != 1) {
        return report("params", EXIT_USAGE, "expects one FILE (see kavrixml params --help)");
    }
    const std::string& path = files[0];
    std::string error;
    std::unique_ptr<kavri::xml::Document> document = readDocument(path, error, reading);
    if (document == nullptr) {
        return report("params", EXIT_FAULT, "%s", error.c_str());
    }

    ParameterParser parser;
    parameter::SimpleParameterList parameters;
    collectParameters(parser, document->getRootNode(), parameters);
    if (parameters.size() == 0) {
        return report("params", EXIT_FAULT, "%s: no parameters found", displayName(path));
    }
    std::string out;
    printParameters(parameters, 0, out);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return EXIT_OK;
}

const CommandRegistrar kParams({"params", "print the parameters of a document's PARAM elements",
                                PARAMS_USAGE, &runParams});

}  // namespace

}  // namespace kavrixml_tool
