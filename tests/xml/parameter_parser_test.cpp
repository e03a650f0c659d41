// ParameterParser: PARAM trees built through the document model, converted to
// parameters; the warnings it logs; the value getters; copies of the parser.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
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
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/ParameterParser.h"
#include "xml_io_support.h"

namespace {

using kavri::xml::ParameterParser;
using kavri::xml::XNode;
using parameter::BaseParameter;
using xmlio::parse;

// One line for a whole parameter tree, so that a test states the expected
// tree exactly: name:type=value, complex members in {}, list entries in [].
std::string render(const BaseParameter* p) {
    if (p == nullptr) {
        return "null";
    }
    std::string out = p->getName() + ":";
    char number[32];
    if (auto* s = dynamic_cast<const parameter::StringParameter*>(p)) {
        return out + "string='" + s->getValue() + "'";
    }
    if (auto* i = dynamic_cast<const parameter::IntParameter*>(p)) {
        return out + "int=" + std::to_string(i->getValue());
    }
    if (auto* f = dynamic_cast<const parameter::FloatParameter*>(p)) {
        std::snprintf(number, sizeof number, "%g", static_cast<double>(f->getValue()));
        return out + "float=" + number;
    }
    if (auto* b = dynamic_cast<const parameter::BoolParameter*>(p)) {
        return out + "bool=" + (b->getValue() ? "true" : "false");
    }
    const auto* list = dynamic_cast<const parameter::ParameterList*>(p);
    bool complex = dynamic_cast<const parameter::ComplexParameter*>(p) != nullptr;
    out += complex ? "complex{" : "list[";
    for (unsigned i = 0; i < list->size(); ++i) {
        out += (i > 0 ? "," : "") + render(list->getParameter(i));
    }
    return out + (complex ? "}" : "]");
}

// Converts `node` and renders the result; the result is released afterwards.
std::string convert(ParameterParser& parser, XNode* node) {
    core::SmartPtr<BaseParameter> result(parser.fromXML(node));
    return render(result);
}

// Converts the root of the XML text `xml`.
std::string convert(ParameterParser& parser, const std::string& xml) {
    return convert(parser, parse(xml)->getRootNode());
}

// The root logger's warnings, captured while it lives.
class WarningCapture : public xmlio::LogCapture {
  public:
    std::vector<std::string> warnings() const { return pieces(logging::Logger::WARN); }
};

TEST(ParameterParser, ScalarsTakeTheirValueOrFallBackWithoutOne) {
    ParameterParser parser;
    const struct {
        const char* attributes;
        const char* expected;
    } cases[] = {
        {"name='w' type='int' value='-42'", "w:int=-42"},
        {"name='w' type='int'", "w:int=0"},
        {"name='r' type='float' value='2.5'", "r:float=2.5"},
        {"name='r' type='float'", "r:float=0"},
        {"name='b' type='bool' value='true'", "b:bool=true"},
        {"name='b' type='bool'", "b:bool=false"},
        {"name='t' type='string' value=' a  b '", "t:string=' a  b '"},
        // Text that does not parse is stored as the parse function gives it.
        {"name='w' type='int' value='12px'", "w:int=12"},
        {"name='w' type='int' value='wide'", "w:int=0"},
        // Cases left open: "string" without value is empty; no name is "".
        {"name='t' type='string'", "t:string=''"},
        {"type='int' value='7'", ":int=7"},
        {"type='complex'", ":complex{}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(convert(parser, std::string("<PARAM ") + c.attributes + "/>"), c.expected)
            << c.attributes;
    }
}

TEST(ParameterParser, TypeIsInferredOnlyWhenAbsent) {
    ParameterParser parser;
    WarningCapture capture;
    EXPECT_EQ(convert(parser, "<PARAM name='s' value=''/>"), "s:string=''");
    // A value makes a string even when PARAM children follow; they are ignored.
    EXPECT_EQ(convert(parser, "<PARAM name='s' value='v'><PARAM name='x' type='int'/></PARAM>"),
              "s:string='v'");
    EXPECT_EQ(convert(parser, "<PARAM name='c'><OTHER name='x' value='1'/></PARAM>"),
              "c:complex{}");

    // A present type is never inferred: empty, capitalised or unknown gives
    // null, and converting one node on its own logs nothing.
    for (const char* type : {"", "Int", "double", "string "}) {
        auto doc = parse(std::string("<PARAM name='x' type='") + type + "' value='1'/>");
        EXPECT_EQ(parser.fromXML(doc->getRootNode()), nullptr) << type;
    }
    EXPECT_TRUE(capture.warnings().empty());
}

TEST(ParameterParser, OwnTagIgnoresCaseButMembersNeedTheExactTag) {
    ParameterParser parser;
    for (const char* tag : {"param", "Param", "PARAM"}) {
        EXPECT_EQ(convert(parser, std::string("<") + tag + " name='n' value='v'/>"), "n:string='v'")
            << tag;
    }
    auto params = parse("<PARAMS/>");
    auto value = parse("<VALUE/>");
    for (XNode* node :
         {static_cast<XNode*>(nullptr), params->getRootNode(), value->getRootNode()}) {
        try {
            parser.fromXML(node);
            ADD_FAILURE() << "no exception for " << (node ? node->getName() : "null");
        } catch (const core::Exception& e) {
            EXPECT_STREQ(e.getMessage(), "XML node is not a param with tag PARAM");
        }
    }

    WarningCapture capture;
    EXPECT_EQ(convert(parser,
                      "<PARAM name='c' type='complex'><param name='lower' value='1'/>"
                      "<PARAM name='upper' value='2'/></PARAM>"),
              "c:complex{upper:string='2'}");
    EXPECT_TRUE(capture.warnings().empty());
}

TEST(ParameterParser, MembersComeFromTheFirstValueWrapperOnly) {
    ParameterParser parser;
    for (std::string type : {"complex", "list"}) {
        SCOPED_TRACE(type);
        const bool list = type == "list";
        EXPECT_EQ(convert(parser, "<PARAM name='p' type='" + type +
                                      "'><PARAM name='outside' value='o'/><VALUE>"
                                      "<PARAM name='a' type='int' value='1'/>"
                                      "<PARAM name='b' type='bool' value='1'/></VALUE>"
                                      "<VALUE><PARAM name='late' value='l'/></VALUE></PARAM>"),
                  list ? "p:list[a:int=1,b:bool=true]" : "p:complex{a:int=1,b:bool=true}");
        EXPECT_EQ(convert(parser, "<PARAM name='e' type='" + type +
                                      "'><VALUE/><PARAM name='outside' value='o'/></PARAM>"),
                  list ? "e:list[]" : "e:complex{}");
    }

    // At document level the wrapper is not looked through.
    auto settings = parse("<settings><VALUE><PARAM name='hidden' value='h'/></VALUE></settings>");
    parameter::SimpleParameterList list;
    parser.fromXML(settings->getRootNode(), list);
    EXPECT_EQ(list.size(), 0u);
}

TEST(ParameterParser, UnconvertibleMembersAreWarnedAboutInComplexesOnly) {
    ParameterParser parser;
    WarningCapture capture;
    auto withBadMember = [](const char* type) {
        return std::string("<PARAM name='p' type='") + type +
               "'><PARAM name='a' type='int' value='1'/>"
               "<PARAM name='bad' type='double' value='1'/><PARAM name='c' value='x'/></PARAM>";
    };
    const std::vector<std::string> cannotProcess = {"ParameterParser::can't process node PARAM"};

    EXPECT_EQ(convert(parser, withBadMember("complex")), "p:complex{a:int=1,c:string='x'}");
    EXPECT_EQ(capture.warnings(), cannotProcess);
    EXPECT_EQ(convert(parser, withBadMember("list")), "p:list[a:int=1,c:string='x']");
    EXPECT_EQ(capture.warnings(), cannotProcess);

    // Document level: same warning, the others are added; the root's own tag
    // does not matter.
    auto document = parse(withBadMember("ignored"));
    parameter::SimpleParameterList list;
    parser.fromXML(document->getRootNode(), list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(render(list.getParameter(0u)) + " " + render(list.getParameter(1u)),
              "a:int=1 c:string='x'");
    EXPECT_EQ(capture.warnings().size(), 2u);
    EXPECT_EQ(capture.warnings().back(), cannotProcess[0]);
}

TEST(ParameterParser, ComplexKeepsTheFirstOfRepeatedNamesWhileListsKeepAll) {
    ParameterParser parser;
    const std::string members =
        "'><PARAM name='x' type='int' value='1'/><PARAM name='x' type='int' value='2'/>"
        "<PARAM value='/tmp/a'/><PARAM value='/tmp/b'/></PARAM>";
    EXPECT_EQ(convert(parser, "<PARAM name='p' type='complex" + members),
              "p:complex{x:int=1,:string='/tmp/a'}");
    EXPECT_EQ(convert(parser, "<PARAM name='p' type='list" + members),
              "p:list[x:int=1,x:int=2,:string='/tmp/a',:string='/tmp/b']");
}

// A class derived from IntParameter, to check that the getters accept
// subclasses by their run-time type.
class PortParameter : public parameter::IntParameter {
  public:
    static const core::Type TYPE;
    PortParameter(const std::string& name, int value) : IntParameter(name, value) {}
    const core::Type& getType() const override { return TYPE; }
};
const core::Type PortParameter::TYPE("PortParameter", parameter::IntParameter::TYPE);

TEST(ParameterParser, GettersConvertStringsAndRefuseOtherClassesByName) {
    core::SmartPtr<BaseParameter> text(new parameter::StringParameter("text", " 12"));
    core::SmartPtr<BaseParameter> yes(new parameter::StringParameter("yes", "yes"));
    core::SmartPtr<BaseParameter> count(new parameter::IntParameter("retries", 3));
    core::SmartPtr<BaseParameter> port(new PortParameter("port", 8080));
    core::SmartPtr<BaseParameter> ratio(new parameter::FloatParameter("ratio", 0.25f));
    core::SmartPtr<BaseParameter> flag(new parameter::BoolParameter("flag", true));
    core::SmartPtr<BaseParameter> group(new parameter::ComplexParameter("group"));

    const char* fallback = "fallback";
    EXPECT_EQ(ParameterParser::getString(nullptr, fallback), fallback);
    EXPECT_EQ(ParameterParser::getString(nullptr, nullptr), nullptr);
    EXPECT_STREQ(ParameterParser::getString(text, fallback), " 12");
    EXPECT_EQ(ParameterParser::getInt(nullptr, -1), -1);
    EXPECT_EQ(ParameterParser::getInt(count, -1), 3);
    EXPECT_EQ(ParameterParser::getInt(port, -1), 8080);
    EXPECT_EQ(ParameterParser::getInt(text, -1), 12);
    EXPECT_EQ(ParameterParser::getFloat(nullptr, 1.5f), 1.5f);
    EXPECT_EQ(ParameterParser::getFloat(ratio, 1.5f), 0.25f);
    EXPECT_EQ(ParameterParser::getFloat(text, 1.5f), 12.0f);
    EXPECT_EQ(ParameterParser::getBool(nullptr, true), true);
    EXPECT_EQ(ParameterParser::getBool(flag, false), true);
    EXPECT_EQ(ParameterParser::getBool(yes, false), true);
    EXPECT_EQ(ParameterParser::getBool(text, false), true);

    auto message = [](auto read) {
        try {
            read();
        } catch (const core::Exception& e) {
            return std::string(e.getMessage());
        }
        return std::string("no exception");
    };
    EXPECT_EQ(message([&] { ParameterParser::getString(count, nullptr); }),
              "Parameter retries not StringParameter");
    EXPECT_EQ(message([&] { ParameterParser::getInt(ratio, 0); }),
              "Parameter ratio not IntParameter and cannot be parsed");
    EXPECT_EQ(message([&] { ParameterParser::getFloat(count, 0); }),
              "Parameter retries not FloatParameter and cannot be parsed");
    EXPECT_EQ(message([&] { ParameterParser::getBool(port, false); }),
              "Parameter port not BoolParameter and cannot be parsed");
    EXPECT_EQ(message([&] { ParameterParser::getInt(group, 0); }),
              "Parameter group not IntParameter and cannot be parsed");
}

// The member creators are bound to their parser; a copy or an assigned parser
// must not call through the one it came from. The source lives in a buffer
// that is wiped after its destruction, so a call through it finds an empty
// registry (or crashes) instead of quietly working.
TEST(ParameterParser, CopiesWorkAfterTheirSourceIsGone) {
    alignas(ParameterParser) unsigned char storage[sizeof(ParameterParser)];
    ParameterParser* source = new (storage) ParameterParser();
    ParameterParser copy(*source);
    ParameterParser assigned;
    assigned = *source;
    source->~ParameterParser();
    std::memset(storage, 0, sizeof storage);

    auto doc = parse(
        "<PARAM name='window' type='complex'><PARAM name='size' type='list'>"
        "<PARAM name='w' type='int' value='800'/><PARAM name='h' type='float' value='600.5'/>"
        "</PARAM><PARAM name='max' type='bool' value='on'/></PARAM>");
    XNode* window = doc->getRootNode();
    const std::string expected = "window:complex{size:list[w:int=800,h:float=600.5],max:bool=true}";
    EXPECT_EQ(convert(copy, window), expected);
    EXPECT_EQ(convert(assigned, window), expected);

    ParameterParser copyOfCopy(copy);
    EXPECT_EQ(convert(copyOfCopy, window), expected);
}

}  // namespace
