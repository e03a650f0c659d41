// Expression text from the input over a fixed document: compiling either
// succeeds or throws XPathException with an offset inside the text, and
// every evaluation ends within its budget with results that agree with each
// other (node sets in document order without duplicates, the first node of
// the set, the string of the first node).
#include <cmath>
#include <memory>

#include "framework/kavrimain/MemoryInputStream.h"
#include "fuzz/FuzzSupport.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XPath.h"

using namespace kavri::xml;

namespace {

const char DOCUMENT[] =
    "<r xmlns='urn:r' xmlns:p='urn:p' xml:lang='en'>"
    "<a id='1' n='10'>t1<b id='2' n='-2.5'>x</b><b id='3'/><p:c id='4'>y<![CDATA[z]]></p:c></a>"
    "<a id='5' n='NaN' xml:lang='de-AT'><![CDATA[only]]><d><e id='6'>7</e><e id='7'> 8 </e></d>"
    "</a><f/></r>";

struct Fixture {
    Fixture() {
        DOMParser parser;
        kavri::stream::MemoryInputStream in(DOCUMENT);
        document.reset(parser.parse(&in));
        variables.set("n", XPathValue(2.0));
        variables.set("s", XPathValue("x"));
        variables.set("set", XPathQuery("//b | //e").evaluate(*document));
        functions.add("f:same", 1, 1, [](const XPathNode&, const std::vector<XPathValue>& args) {
            return args[0];
        });
    }
    std::unique_ptr<Document> document;
    XPathVariables variables;
    XPathFunctions functions;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Fixture fixture;
    const std::string expression = kavrixml::fuzz::asText(data, size);
    std::unique_ptr<XPathQuery> query;
    try {
        query.reset(new XPathQuery(expression, &fixture.functions));
    } catch (const XPathException& e) {
        FUZZ_CHECK(e.getOffset() <= expression.size(), "compile offset inside the text");
        return 0;
    }
    XPathOptions options(&fixture.variables);
    options.maxSteps = 200000;
    options.maxNodes = 20000;
    const XNode* top = fixture.document->getRootNode();
    const XPathNode contexts[] = {XPathNode(*fixture.document), XPathNode(top->getFirstChild()),
                                  XPathQuery("//p:c/text()[2]").selectFirst(*fixture.document)};
    for (const XPathNode& context : contexts) {
        try {
            const XPathValue value = query->evaluate(context, options);
            const std::string text = query->evaluateString(context, options);
            FUZZ_CHECK(text == value.toString(), "string of the value");
            const double number = query->evaluateNumber(context, options);
            FUZZ_CHECK(
                number == value.toNumber() || (std::isnan(number) && std::isnan(value.toNumber())),
                "number of the value");
            FUZZ_CHECK(query->evaluateBoolean(context, options) == value.toBoolean(),
                       "boolean of the value");
            if (value.type() == XPathValue::NODE_SET) {
                const XPathNodeSet& nodes = value.nodes();
                FUZZ_CHECK(XPathValue(nodes).nodes() == nodes, "document order, no duplicates");
                const XPathNode first = query->selectFirst(context, options);
                FUZZ_CHECK(nodes.empty() ? !first : first == nodes.front(), "first node");
            }
        } catch (const XPathException& e) {
            FUZZ_CHECK(e.getOffset() <= expression.size(), "evaluation offset inside the text");
        }
    }
    return 0;
}
