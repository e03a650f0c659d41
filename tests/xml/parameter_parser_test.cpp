// ParameterParser: PARAM trees built through the document model, converted to
// parameters; the warnings it logs; the value getters; copies of the parser.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/kavrimain/FileInputStream.h"
#include "framework/plinth/BoolParameter.h"
#include "framework/plinth/ComplexParameter.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/FloatParameter.h"
#include "framework/plinth/IntParameter.h"
#include "framework/plinth/ListParameter.h"
#include "framework/plinth/Logger.h"
#include "framework/plinth/SimpleParameterList.h"
#include "framework/plinth/StringParameter.h"
#include "framework/plinth/UniqueParameterList.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/ParameterParser.h"

namespace {

using kavri::xml::Document;
using kavri::xml::ParameterParser;
using kavri::xml::XNode;
using parameter::BaseParameter;
using Attributes = std::initializer_list<std::pair<const char*, const char*>>;

// A document whose root is built by the test; children are added with add().
class Tree {
  public:
    explicit Tree(const char* rootTag, Attributes attributes = {}) {
        XNode* root = mDocument.createNode(rootTag, nullptr);
        mDocument.setRootNode(root);
        setAttributes(root, attributes);
    }
    XNode* root() const { return mDocument.getRootNode(); }

    static XNode* add(XNode* parent, const char* tag, Attributes attributes = {}) {
        XNode* child = parent->addChild(tag);
        setAttributes(child, attributes);
        return child;
    }

  private:
    static void setAttributes(XNode* node, Attributes attributes) {
        for (const auto& attribute : attributes) {
            node->addAttribute(attribute.first, attribute.second);
        }
    }
    Document mDocument;
};

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

// Collects the root logger's warnings while it lives.
class WarningCapture {
  public:
    WarningCapture() {
        logging::Logger::mROOT_LOGGER->setSink([this](int level, const char* text) {
            if (level == logging::Logger::WARN) {
                mWarnings.emplace_back(text);
            }
        });
    }
    ~WarningCapture() { logging::Logger::mROOT_LOGGER->setSink(nullptr); }
    const std::vector<std::string>& warnings() const { return mWarnings; }

  private:
    std::vector<std::string> mWarnings;
};

const std::vector<std::string> CANNOT_PROCESS = {"ParameterParser::can't process node PARAM"};

TEST(ParameterParser, ScalarsTakeTheirValueOrFallBackWithoutOne) {
    ParameterParser parser;
    auto scalar = [&](Attributes attributes) {
        Tree tree("PARAM", attributes);
        return convert(parser, tree.root());
    };
    EXPECT_EQ(scalar({{"name", "w"}, {"type", "int"}, {"value", "-42"}}), "w:int=-42");
    EXPECT_EQ(scalar({{"name", "w"}, {"type", "int"}}), "w:int=0");
    EXPECT_EQ(scalar({{"name", "r"}, {"type", "float"}, {"value", "2.5"}}), "r:float=2.5");
    EXPECT_EQ(scalar({{"name", "r"}, {"type", "float"}}), "r:float=0");
    EXPECT_EQ(scalar({{"name", "b"}, {"type", "bool"}, {"value", "true"}}), "b:bool=true");
    EXPECT_EQ(scalar({{"name", "b"}, {"type", "bool"}}), "b:bool=false");
    EXPECT_EQ(scalar({{"name", "t"}, {"type", "string"}, {"value", " a  b "}}),
              "t:string=' a  b '");
    // Text that does not parse is stored as the parse function gives it.
    EXPECT_EQ(scalar({{"name", "w"}, {"type", "int"}, {"value", "12px"}}), "w:int=12");
    EXPECT_EQ(scalar({{"name", "w"}, {"type", "int"}, {"value", "wide"}}), "w:int=0");
    // Cases left open: "string" without value is empty; no name is "".
    EXPECT_EQ(scalar({{"name", "t"}, {"type", "string"}}), "t:string=''");
    EXPECT_EQ(scalar({{"type", "int"}, {"value", "7"}}), ":int=7");
    EXPECT_EQ(scalar({{"type", "complex"}}), ":complex{}");
}

TEST(ParameterParser, TypeIsInferredOnlyWhenAbsent) {
    ParameterParser parser;
    WarningCapture capture;

    Tree emptyValue("PARAM", {{"name", "s"}, {"value", ""}});
    EXPECT_EQ(convert(parser, emptyValue.root()), "s:string=''");

    // A value makes a string even when PARAM children follow; they are ignored.
    Tree valueWithChildren("PARAM", {{"name", "s"}, {"value", "v"}});
    Tree::add(valueWithChildren.root(), "PARAM", {{"name", "x"}, {"type", "int"}});
    EXPECT_EQ(convert(parser, valueWithChildren.root()), "s:string='v'");

    Tree bare("PARAM", {{"name", "c"}});
    Tree::add(bare.root(), "OTHER", {{"name", "x"}, {"value", "1"}});
    EXPECT_EQ(convert(parser, bare.root()), "c:complex{}");

    // A present type is never inferred: empty, capitalised or unknown gives
    // null, and converting one node on its own logs nothing.
    for (const char* type : {"", "Int", "double", "string "}) {
        SCOPED_TRACE(type);
        Tree tree("PARAM", {{"name", "x"}, {"type", type}, {"value", "1"}});
        EXPECT_EQ(parser.fromXML(tree.root()), nullptr);
    }
    EXPECT_TRUE(capture.warnings().empty());
}

TEST(ParameterParser, OwnTagIgnoresCaseButMembersNeedTheExactTag) {
    ParameterParser parser;
    for (const char* tag : {"param", "Param", "PARAM"}) {
        Tree tree(tag, {{"name", "n"}, {"value", "v"}});
        EXPECT_EQ(convert(parser, tree.root()), "n:string='v'") << tag;
    }
    Tree params("PARAMS");
    Tree value("VALUE");
    for (XNode* node : {static_cast<XNode*>(nullptr), params.root(), value.root()}) {
        try {
            parser.fromXML(node);
            ADD_FAILURE() << "no exception for " << (node ? node->getName() : "null");
        } catch (const core::Exception& e) {
            EXPECT_STREQ(e.getMessage(), "XML node is not a param with tag PARAM");
        }
    }

    WarningCapture capture;
    Tree tree("PARAM", {{"name", "c"}, {"type", "complex"}});
    Tree::add(tree.root(), "param", {{"name", "lower"}, {"value", "1"}});
    Tree::add(tree.root(), "PARAM", {{"name", "upper"}, {"value", "2"}});
    EXPECT_EQ(convert(parser, tree.root()), "c:complex{upper:string='2'}");
    EXPECT_TRUE(capture.warnings().empty());
}

TEST(ParameterParser, MembersComeFromTheFirstValueWrapperOnly) {
    ParameterParser parser;
    for (const char* type : {"complex", "list"}) {
        SCOPED_TRACE(type);
        Tree tree("PARAM", {{"name", "p"}, {"type", type}});
        Tree::add(tree.root(), "PARAM", {{"name", "outside"}, {"value", "o"}});
        XNode* first = Tree::add(tree.root(), "VALUE");
        Tree::add(first, "PARAM", {{"name", "a"}, {"type", "int"}, {"value", "1"}});
        Tree::add(first, "PARAM", {{"name", "b"}, {"type", "bool"}, {"value", "1"}});
        XNode* second = Tree::add(tree.root(), "VALUE");
        Tree::add(second, "PARAM", {{"name", "late"}, {"value", "l"}});

        std::string members = "a:int=1,b:bool=true";
        std::string expected =
            std::string(type) == "list" ? "p:list[" + members + "]" : "p:complex{" + members + "}";
        EXPECT_EQ(convert(parser, tree.root()), expected);

        Tree empty("PARAM", {{"name", "e"}, {"type", type}});
        Tree::add(empty.root(), "VALUE");
        Tree::add(empty.root(), "PARAM", {{"name", "outside"}, {"value", "o"}});
        EXPECT_EQ(convert(parser, empty.root()),
                  std::string(type) == "list" ? "e:list[]" : "e:complex{}");
    }

    // At document level the wrapper is not looked through.
    Tree settings("settings");
    XNode* wrapper = Tree::add(settings.root(), "VALUE");
    Tree::add(wrapper, "PARAM", {{"name", "hidden"}, {"value", "h"}});
    parameter::SimpleParameterList list;
    parser.fromXML(settings.root(), list);
    EXPECT_EQ(list.size(), 0u);
}

TEST(ParameterParser, UnconvertibleMembersAreWarnedAboutInComplexesOnly) {
    ParameterParser parser;
    WarningCapture capture;
    auto withBadMember = [](const char* type) {
        Tree* tree = new Tree("PARAM", {{"name", "p"}, {"type", type}});
        Tree::add(tree->root(), "PARAM", {{"name", "a"}, {"type", "int"}, {"value", "1"}});
        Tree::add(tree->root(), "PARAM", {{"name", "bad"}, {"type", "double"}, {"value", "1"}});
        Tree::add(tree->root(), "PARAM", {{"name", "c"}, {"value", "x"}});
        return std::unique_ptr<Tree>(tree);
    };

    EXPECT_EQ(convert(parser, withBadMember("complex")->root()), "p:complex{a:int=1,c:string='x'}");
    EXPECT_EQ(capture.warnings(), CANNOT_PROCESS);

    EXPECT_EQ(convert(parser, withBadMember("list")->root()), "p:list[a:int=1,c:string='x']");
    EXPECT_EQ(capture.warnings(), CANNOT_PROCESS);

    // Document level: same warning, the others are added; the root's own tag
    // does not matter.
    auto document = withBadMember("ignored");
    parameter::SimpleParameterList list;
    parser.fromXML(document->root(), list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(render(list.getParameter(0u)) + " " + render(list.getParameter(1u)),
              "a:int=1 c:string='x'");
    EXPECT_EQ(capture.warnings().size(), 2u);
    EXPECT_EQ(capture.warnings().back(), CANNOT_PROCESS[0]);
}

TEST(ParameterParser, ComplexKeepsTheFirstOfRepeatedNamesWhileListsKeepAll) {
    ParameterParser parser;
    for (const char* type : {"complex", "list"}) {
        Tree tree("PARAM", {{"name", "p"}, {"type", type}});
        Tree::add(tree.root(), "PARAM", {{"name", "x"}, {"type", "int"}, {"value", "1"}});
        Tree::add(tree.root(), "PARAM", {{"name", "x"}, {"type", "int"}, {"value", "2"}});
        Tree::add(tree.root(), "PARAM", {{"value", "/tmp/a"}});
        Tree::add(tree.root(), "PARAM", {{"value", "/tmp/b"}});
        EXPECT_EQ(convert(parser, tree.root()),
                  std::string(type) == "complex"
                      ? "p:complex{x:int=1,:string='/tmp/a'}"
                      : "p:list[x:int=1,x:int=2,:string='/tmp/a',:string='/tmp/b']");
    }
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

    Tree tree("PARAM", {{"name", "window"}, {"type", "complex"}});
    XNode* size = Tree::add(tree.root(), "PARAM", {{"name", "size"}, {"type", "list"}});
    Tree::add(size, "PARAM", {{"name", "w"}, {"type", "int"}, {"value", "800"}});
    Tree::add(size, "PARAM", {{"name", "h"}, {"type", "float"}, {"value", "600.5"}});
    Tree::add(tree.root(), "PARAM", {{"name", "max"}, {"type", "bool"}, {"value", "on"}});
    const std::string expected = "window:complex{size:list[w:int=800,h:float=600.5],max:bool=true}";
    EXPECT_EQ(convert(copy, tree.root()), expected);
    EXPECT_EQ(convert(assigned, tree.root()), expected);

    ParameterParser copyOfCopy(copy);
    EXPECT_EQ(convert(copyOfCopy, tree.root()), expected);
}

}  // namespace
