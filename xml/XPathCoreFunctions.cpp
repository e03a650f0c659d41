// XPath 1.0's core functions, one small function each, and the table that
// names them. Strings are counted in characters of UTF-8; white space is
// XML's.
#include "xml/XPathCoreFunctions.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "syntax/XMLChars.h"
#include "xml/XPathAxes.h"
#include "xml/XPathEvaluator.h"

namespace kavri {
namespace xml {
namespace xpath {

namespace {

constexpr const char* XML_NAMESPACE = "http://www.w3.org/XML/1998/namespace";

using Call = const Expr*;

double toNumber(std::string_view text) {
    return XPathQuery::stringToNumber(text.data(), text.size());
}

size_t countCharacters(std::string_view text) {
    return syntax::countCharacters(text.data(), text.size());
}

size_t characterLength(std::string_view text, size_t at) {
    return syntax::characterLength(text.data(), text.size(), at);
}

// XPath's round: half up, keeping NaN, infinities and negative zero.
double roundHalfUp(double value) {
    if (std::isnan(value) || std::isinf(value)) {
        return value;
    }
    double result = std::floor(value);
    if (value - result >= 0.5) {
        result += 1;
    }
    if (result == 0 && std::signbit(value)) {
        return -0.0;
    }
    return result;
}

// The node of the optional node-set argument, or the context node.
XPathNode argumentNode(Evaluator& evaluator, Call call, const Context& context) {
    return call->args.empty() ? context.node : evaluator.first(call->args[0], context);
}

// The optional string argument, or the string value of the context node.
std::string_view argumentText(Evaluator& evaluator, Call call, const Context& context,
                              std::string& scratch) {
    return call->args.empty() ? evaluator.stringValue(context.node, scratch)
                              : evaluator.string(call->args[0], context, scratch);
}

// The URI bound to `prefix` ("" for the default namespace) on the element or
// its ancestors; "" when none is.
std::string_view namespaceOf(const XNode* element, std::string_view prefix) {
    if (prefix == "xml") {
        return XML_NAMESPACE;
    }
    const std::string key = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (const XNode* at = element; at != nullptr; at = at->getParent()) {
        if (const Attribute* declaration = at->getAttribute(key.c_str())) {
            return declaration->getValueString();
        }
    }
    return {};
}

// Whether `value` is `language` or a sublanguage of it, case aside.
bool languageMatches(std::string_view value, std::string_view language) {
    if (value.size() < language.size() ||
        (value.size() > language.size() && value[language.size()] != '-')) {
        return false;
    }
    for (size_t i = 0; i < language.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(value[i])) !=
            std::tolower(static_cast<unsigned char>(language[i]))) {
            return false;
        }
    }
    return true;
}

// --- Node sets ----------------------------------------------------------------

double last(Evaluator&, Call, const Context& context) {
    return static_cast<double>(context.size);
}

double position(Evaluator&, Call, const Context& context) {
    return static_cast<double>(context.position);
}

double count(Evaluator& evaluator, Call call, const Context& context) {
    return static_cast<double>(evaluator.count(call->args[0], context));
}

void id(Evaluator&, Call, const Context&, std::vector<XPathNode>& out) {
    out.clear();  // no node of the tree has an ID
}

std::string_view localName(Evaluator& evaluator, Call call, const Context& context, std::string&) {
    const XPathNode node = argumentNode(evaluator, call, context);
    const char* name = Axes::nameOf(node);
    const char* colon = std::strchr(name, ':');
    return colon != nullptr ? std::string_view(colon + 1) : std::string_view(name);
}

std::string_view namespaceUri(Evaluator& evaluator, Call call, const Context& context,
                              std::string&) {
    const XPathNode node = argumentNode(evaluator, call, context);
    if (node.kind() != XPathNode::ELEMENT && node.kind() != XPathNode::ATTRIBUTE) {
        return {};
    }
    const char* name = Axes::nameOf(node);
    const char* colon = std::strchr(name, ':');
    if (colon == nullptr) {
        // Unprefixed attributes are in no namespace; elements in the default.
        return node.kind() == XPathNode::ELEMENT ? namespaceOf(node.element(), {})
                                                 : std::string_view();
    }
    return namespaceOf(node.element(), std::string_view(name, colon - name));
}

std::string_view name(Evaluator& evaluator, Call call, const Context& context, std::string&) {
    return Axes::nameOf(argumentNode(evaluator, call, context));
}

// --- Strings --------------------------------------------------------------------

std::string_view string(Evaluator& evaluator, Call call, const Context& context,
                        std::string& scratch) {
    return argumentText(evaluator, call, context, scratch);
}

std::string_view concat(Evaluator& evaluator, Call call, const Context& context,
                        std::string& scratch) {
    Evaluator::PooledString part = evaluator.pooledString();
    Evaluator::PooledString joined = evaluator.pooledString();
    for (const Expr* arg : call->args) {
        *joined += evaluator.string(arg, context, *part);
    }
    scratch.swap(*joined);
    return scratch;
}

bool startsWith(Evaluator& evaluator, Call call, const Context& context) {
    Evaluator::PooledString first = evaluator.pooledString();
    Evaluator::PooledString second = evaluator.pooledString();
    const std::string_view text = evaluator.string(call->args[0], context, *first);
    const std::string_view part = evaluator.string(call->args[1], context, *second);
    return text.substr(0, part.size()) == part;
}

bool contains(Evaluator& evaluator, Call call, const Context& context) {
    Evaluator::PooledString first = evaluator.pooledString();
    Evaluator::PooledString second = evaluator.pooledString();
    const std::string_view text = evaluator.string(call->args[0], context, *first);
    const std::string_view part = evaluator.string(call->args[1], context, *second);
    return text.find(part) != std::string_view::npos;
}

// The text before (`after`: behind) the first occurrence of the second
// argument in the first; "" when there is none.
std::string_view around(Evaluator& evaluator, Call call, const Context& context,
                        std::string& scratch, bool after) {
    Evaluator::PooledString second = evaluator.pooledString();
    const std::string_view text = evaluator.string(call->args[0], context, scratch);
    const std::string_view part = evaluator.string(call->args[1], context, *second);
    const size_t at = text.find(part);
    if (at == std::string_view::npos) {
        return {};
    }
    return after ? text.substr(at + part.size()) : text.substr(0, at);
}

std::string_view substringBefore(Evaluator& evaluator, Call call, const Context& context,
                                 std::string& scratch) {
    return around(evaluator, call, context, scratch, false);
}

std::string_view substringAfter(Evaluator& evaluator, Call call, const Context& context,
                                std::string& scratch) {
    return around(evaluator, call, context, scratch, true);
}

std::string_view substring(Evaluator& evaluator, Call call, const Context& context,
                           std::string& scratch) {
    const std::string_view text = evaluator.string(call->args[0], context, scratch);
    const double from = roundHalfUp(evaluator.number(call->args[1], context));
    const double to = call->args.size() < 3
                          ? std::numeric_limits<double>::infinity()
                          : from + roundHalfUp(evaluator.number(call->args[2], context));
    size_t begin = text.size();
    size_t end = text.size();
    double position = 1;
    for (size_t at = 0; at < text.size(); at += characterLength(text, at), ++position) {
        const bool inside = position >= from && position < to;
        if (inside && begin == text.size()) {
            begin = at;
        }
        if (!inside && begin != text.size()) {
            end = at;
            break;
        }
    }
    return text.substr(begin, end - begin);
}

double stringLength(Evaluator& evaluator, Call call, const Context& context) {
    Evaluator::PooledString scratch = evaluator.pooledString();
    return static_cast<double>(countCharacters(argumentText(evaluator, call, context, *scratch)));
}

std::string_view normalizeSpace(Evaluator& evaluator, Call call, const Context& context,
                                std::string& scratch) {
    Evaluator::PooledString source = evaluator.pooledString();
    const std::string_view text = argumentText(evaluator, call, context, *source);
    Evaluator::PooledString result = evaluator.pooledString();
    for (size_t at = 0; at < text.size();) {
        while (at < text.size() && syntax::isSpace(text[at])) {
            ++at;
        }
        const size_t word = at;
        while (at < text.size() && !syntax::isSpace(text[at])) {
            ++at;
        }
        if (at > word) {
            if (!result->empty()) {
                *result += ' ';
            }
            result->append(text.data() + word, at - word);
        }
    }
    scratch.swap(*result);
    return scratch;
}

// The index in characters of the first occurrence of `character` in
// `from`; npos when it does not occur.
size_t indexOf(std::string_view from, std::string_view character) {
    size_t index = 0;
    for (size_t at = 0; at < from.size(); ++index) {
        const size_t length = characterLength(from, at);
        if (from.substr(at, length) == character) {
            return index;
        }
        at += length;
    }
    return std::string_view::npos;
}

// The character at `index` (in characters) of `text`; "" past its end.
std::string_view characterAt(std::string_view text, size_t index) {
    size_t at = 0;
    for (size_t i = 0; i < index && at < text.size(); ++i) {
        at += characterLength(text, at);
    }
    return at < text.size() ? text.substr(at, characterLength(text, at)) : std::string_view();
}

std::string_view translate(Evaluator& evaluator, Call call, const Context& context,
                           std::string& scratch) {
    Evaluator::PooledString source = evaluator.pooledString();
    Evaluator::PooledString fromText = evaluator.pooledString();
    Evaluator::PooledString toText = evaluator.pooledString();
    const std::string_view text = evaluator.string(call->args[0], context, *source);
    const std::string_view from = evaluator.string(call->args[1], context, *fromText);
    const std::string_view to = evaluator.string(call->args[2], context, *toText);
    Evaluator::PooledString result = evaluator.pooledString();
    for (size_t at = 0; at < text.size();) {
        const std::string_view character = text.substr(at, characterLength(text, at));
        at += character.size();
        // The first occurrence in `from` decides; the character at the same
        // place of `to` replaces it, or nothing when `to` is shorter.
        const size_t index = indexOf(from, character);
        *result += index == std::string_view::npos ? character : characterAt(to, index);
    }
    scratch.swap(*result);
    return scratch;
}

// --- Booleans ---------------------------------------------------------------------

bool boolean(Evaluator& evaluator, Call call, const Context& context) {
    return evaluator.boolean(call->args[0], context);
}

bool negation(Evaluator& evaluator, Call call, const Context& context) {
    return !evaluator.boolean(call->args[0], context);
}

bool isTrue(Evaluator&, Call, const Context&) {
    return true;
}

bool isFalse(Evaluator&, Call, const Context&) {
    return false;
}

bool lang(Evaluator& evaluator, Call call, const Context& context) {
    Evaluator::PooledString scratch = evaluator.pooledString();
    const std::string_view language = evaluator.string(call->args[0], context, *scratch);
    if (!context.node || context.node.kind() == XPathNode::ROOT ||
        Axes::isAroundRoot(context.node)) {
        return false;
    }
    for (const XNode* at = context.node.element(); at != nullptr; at = at->getParent()) {
        if (const Attribute* declared = at->getAttribute("xml:lang")) {
            return languageMatches(declared->getValueString(), language);
        }
    }
    return false;
}

// --- Numbers ------------------------------------------------------------------------

double number(Evaluator& evaluator, Call call, const Context& context) {
    if (!call->args.empty()) {
        return evaluator.number(call->args[0], context);
    }
    Evaluator::PooledString scratch = evaluator.pooledString();
    return toNumber(evaluator.stringValue(context.node, *scratch));
}

double sum(Evaluator& evaluator, Call call, const Context& context) {
    Evaluator::PooledNodes found = evaluator.pooledNodes();
    Evaluator::PooledString scratch = evaluator.pooledString();
    evaluator.nodes(call->args[0], context, *found);
    double total = 0;
    for (const XPathNode& node : *found) {
        total += toNumber(evaluator.stringValue(node, *scratch));
    }
    return total;
}

double floor(Evaluator& evaluator, Call call, const Context& context) {
    return std::floor(evaluator.number(call->args[0], context));
}

double ceiling(Evaluator& evaluator, Call call, const Context& context) {
    return std::ceil(evaluator.number(call->args[0], context));
}

double round(Evaluator& evaluator, Call call, const Context& context) {
    return roundHalfUp(evaluator.number(call->args[0], context));
}

// --- The table ------------------------------------------------------------------------

constexpr unsigned ANY_NUMBER = ~0u;

constexpr CoreFunction numberFunction(const char* name, unsigned min, unsigned max,
                                      CoreFunction::Number f,
                                      CoreFunction::Reads reads = CoreFunction::NODE,
                                      bool nodeSetArgument = false) {
    return {name, min, max, Type::NUMBER, nullptr, f, nullptr, nullptr, nodeSetArgument, reads};
}

constexpr CoreFunction booleanFunction(const char* name, unsigned min, unsigned max,
                                       CoreFunction::Boolean f) {
    return {name, min, max, Type::BOOLEAN, f, nullptr, nullptr, nullptr, false, CoreFunction::NODE};
}

constexpr CoreFunction stringFunction(const char* name, unsigned min, unsigned max,
                                      CoreFunction::String f, bool nodeSetArgument = false) {
    return {name,    min, max,     Type::STRING,    nullptr,
            nullptr, f,   nullptr, nodeSetArgument, CoreFunction::NODE};
}

const CoreFunction FUNCTIONS[] = {
    numberFunction("last", 0, 0, last, CoreFunction::SIZE),
    numberFunction("position", 0, 0, position, CoreFunction::POSITION),
    numberFunction("count", 1, 1, count, CoreFunction::NODE, true),
    {"id", 1, 1, Type::NODE_SET, nullptr, nullptr, nullptr, id, false, CoreFunction::NODE},
    stringFunction("local-name", 0, 1, localName, true),
    stringFunction("namespace-uri", 0, 1, namespaceUri, true),
    stringFunction("name", 0, 1, name, true),
    stringFunction("string", 0, 1, string),
    stringFunction("concat", 2, ANY_NUMBER, concat),
    booleanFunction("starts-with", 2, 2, startsWith),
    booleanFunction("contains", 2, 2, contains),
    stringFunction("substring-before", 2, 2, substringBefore),
    stringFunction("substring-after", 2, 2, substringAfter),
    stringFunction("substring", 2, 3, substring),
    numberFunction("string-length", 0, 1, stringLength),
    stringFunction("normalize-space", 0, 1, normalizeSpace),
    stringFunction("translate", 3, 3, translate),
    booleanFunction("boolean", 1, 1, boolean),
    booleanFunction("not", 1, 1, negation),
    booleanFunction("true", 0, 0, isTrue),
    booleanFunction("false", 0, 0, isFalse),
    booleanFunction("lang", 1, 1, lang),
    numberFunction("number", 0, 1, number),
    numberFunction("sum", 1, 1, sum, CoreFunction::NODE, true),
    numberFunction("floor", 1, 1, floor),
    numberFunction("ceiling", 1, 1, ceiling),
    numberFunction("round", 1, 1, round),
};

}  // namespace

const CoreFunction* CoreFunction::find(std::string_view name) {
    for (const CoreFunction& function : FUNCTIONS) {
        if (name == function.name) {
            return &function;
        }
    }
    return nullptr;
}

}  // namespace xpath
}  // namespace xml
}  // namespace kavri
