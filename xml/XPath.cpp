#include "xml/XPath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "syntax/XMLChars.h"
#include "xml/Document.h"
#include "xml/XPathEvaluator.h"
#include "xml/XPathParts.h"

namespace kavri {
namespace xml {

namespace {

// The evaluator of the functions below, which need no program.
const xpath::Program& noProgram() {
    static const xpath::Program program;
    return program;
}

// A QName: an NCName, or two joined by one colon.
bool isQName(const std::string& name) {
    const char* at = name.data();
    const char* end = at + name.size();
    bool start = true;
    size_t colons = 0;
    while (at < end) {
        uint32_t c = 0;
        const size_t length = syntax::decodeUTF8(at, end, c);
        if (c == ':' && length == 1 && !start && ++colons == 1) {
            start = true;
        } else if (length == 0 || c == ':' ||
                   !(start ? syntax::isNameStartChar(c) : syntax::isNameChar(c))) {
            return false;
        } else {
            start = false;
        }
        at += length == 0 ? 1 : length;
    }
    return !start;
}

}  // namespace

XPathException::XPathException(size_t offset, const std::string& reason)
    : ::core::Exception("%s (at offset %zu)", reason.c_str(), offset),
      mOffset(offset),
      mReason(reason) {}

// --- XPathNode ------------------------------------------------------------------

XPathNode::XPathNode(const XNode* element)
    : mElement(element), mKind(element != nullptr ? ELEMENT : NONE) {}

XPathNode::XPathNode(const Document& document)
    : mElement(document.getRootNode()), mKind(document.getRootNode() != nullptr ? ROOT : NONE) {}

std::string XPathNode::name() const {
    const xpath::PartsScope scope;
    return xpath::Axes::nameOf(*this);
}

std::string XPathNode::value() const {
    const XPathOptions options;
    xpath::Evaluator evaluator(noProgram(), options);
    std::string scratch;
    return std::string(evaluator.stringValue(*this, scratch));
}

// --- XPathSession ---------------------------------------------------------------

XPathSession::XPathSession() {
    xpath::Parts::enter();
}

XPathSession::~XPathSession() {
    xpath::Parts::leave();
}

// --- XPathValue -------------------------------------------------------------------

XPathValue::XPathValue(XPathNodeSet nodes) : mType(NODE_SET), mNodes(std::move(nodes)) {
    const xpath::PartsScope scope;
    mNodes.erase(std::remove(mNodes.begin(), mNodes.end(), XPathNode()), mNodes.end());
    std::sort(mNodes.begin(), mNodes.end(), [](const XPathNode& a, const XPathNode& b) {
        return xpath::Axes::compareOrder(a, b) < 0;
    });
    mNodes.erase(std::unique(mNodes.begin(), mNodes.end()), mNodes.end());
}

bool XPathValue::toBoolean() const {
    switch (mType) {
        case BOOLEAN:
            return mBoolean;
        case NUMBER:
            return mNumber != 0 && !std::isnan(mNumber);
        case STRING:
            return !mString.empty();
        default:
            return !mNodes.empty();
    }
}

double XPathValue::toNumber() const {
    switch (mType) {
        case BOOLEAN:
            return mBoolean ? 1 : 0;
        case NUMBER:
            return mNumber;
        default: {
            const std::string text = toString();
            return XPathQuery::stringToNumber(text.data(), text.size());
        }
    }
}

std::string XPathValue::toString() const {
    switch (mType) {
        case BOOLEAN:
            return mBoolean ? "true" : "false";
        case NUMBER:
            return XPathQuery::numberToString(mNumber);
        case STRING:
            return mString;
        default:
            return mNodes.empty() ? std::string() : mNodes.front().value();
    }
}

// --- Variables and functions -------------------------------------------------------

const XPathValue* XPathVariables::get(const std::string& name) const {
    auto found = mValues.find(name);
    return found != mValues.end() ? &found->second : nullptr;
}

void XPathFunctions::add(const std::string& name, unsigned minArguments, unsigned maxArguments,
                         Function function) {
    if (!isQName(name)) {
        throw XPathException(0, "'" + name + "' is no function name");
    }
    if (xpath::isFunctionName(name)) {
        throw XPathException(0, "'" + name + "' is one of XPath's own names");
    }
    if (minArguments > maxArguments || !function) {
        throw XPathException(
            0, "function '" + name + "' needs a callable and minArguments <= " + "maxArguments");
    }
    mEntries[name] = Entry{minArguments, maxArguments, std::move(function)};
}

const XPathFunctions::Entry* XPathFunctions::find(const std::string& name) const {
    auto found = mEntries.find(name);
    return found != mEntries.end() ? &found->second : nullptr;
}

// --- XPathQuery ---------------------------------------------------------------------

XPathQuery::XPathQuery(const std::string& expression, const XPathFunctions* functions)
    : mProgram(xpath::compile(expression, functions)) {}

XPathQuery::~XPathQuery() = default;

const std::string& XPathQuery::getExpression() const {
    return mProgram->expression;
}

bool XPathQuery::returnsNodeSet() const {
    return mProgram->top->type == xpath::Type::NODE_SET;
}

XPathValue XPathQuery::evaluate(const XPathNode& context, const XPathOptions& options) const {
    xpath::Evaluator evaluator(*mProgram, options);
    return evaluator.value(mProgram->top, xpath::Context{context, 1, 1});
}

XPathNodeSet XPathQuery::selectNodes(const XPathNode& context, const XPathOptions& options) const {
    const xpath::Expr* top = mProgram->top;
    if (top->type != xpath::Type::NODE_SET && top->type != xpath::Type::ANY) {
        throw XPathException(top->offset, "the expression gives no node set");
    }
    xpath::Evaluator evaluator(*mProgram, options);
    XPathNodeSet nodes;
    evaluator.nodes(top, xpath::Context{context, 1, 1}, nodes);
    return nodes;
}

XPathNode XPathQuery::selectFirst(const XPathNode& context, const XPathOptions& options) const {
    const xpath::Expr* top = mProgram->top;
    if (top->type != xpath::Type::NODE_SET && top->type != xpath::Type::ANY) {
        throw XPathException(top->offset, "the expression gives no node set");
    }
    xpath::Evaluator evaluator(*mProgram, options);
    return evaluator.first(top, xpath::Context{context, 1, 1});
}

std::string XPathQuery::evaluateString(const XPathNode& context,
                                       const XPathOptions& options) const {
    xpath::Evaluator evaluator(*mProgram, options);
    std::string scratch;
    return std::string(evaluator.string(mProgram->top, xpath::Context{context, 1, 1}, scratch));
}

double XPathQuery::evaluateNumber(const XPathNode& context, const XPathOptions& options) const {
    xpath::Evaluator evaluator(*mProgram, options);
    return evaluator.number(mProgram->top, xpath::Context{context, 1, 1});
}

bool XPathQuery::evaluateBoolean(const XPathNode& context, const XPathOptions& options) const {
    xpath::Evaluator evaluator(*mProgram, options);
    return evaluator.boolean(mProgram->top, xpath::Context{context, 1, 1});
}

std::string XPathQuery::numberToString(double value) {
    std::string text;
    xpath::formatNumber(value, text);
    return text;
}

namespace xpath {

void formatNumber(double value, std::string& out) {
    if (std::isnan(value)) {
        out = "NaN";
        return;
    }
    if (std::isinf(value)) {
        out = value > 0 ? "Infinity" : "-Infinity";
        return;
    }
    if (value == 0) {
        out = "0";  // negative zero too
        return;
    }
    // The shortest digits that read back as the same double, written out
    // without an exponent (large integers end in zeros).
    char scientific[32];
    const std::to_chars_result written = std::to_chars(scientific, scientific + sizeof scientific,
                                                       value, std::chars_format::scientific);
    const char* e = std::find(scientific, written.ptr, 'e');
    char digits[24];
    size_t count = 0;
    for (const char* at = scientific; at < e; ++at) {
        if (*at >= '0' && *at <= '9') {
            digits[count++] = *at;
        }
    }
    while (count > 1 && digits[count - 1] == '0') {
        --count;
    }
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), written.ptr, exponent);
    const int point = exponent + 1;  // digits before the decimal point
    out.clear();
    if (value < 0) {
        out += '-';
    }
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-point), '0');
        out.append(digits, count);
    } else if (static_cast<size_t>(point) >= count) {
        out.append(digits, count);
        out.append(static_cast<size_t>(point) - count, '0');
    } else {
        out.append(digits, static_cast<size_t>(point));
        out += '.';
        out.append(digits + point, count - static_cast<size_t>(point));
    }
}

}  // namespace xpath

double XPathQuery::stringToNumber(const char* text, size_t length) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    size_t begin = 0;
    size_t end = length;
    while (begin < end && syntax::isSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && syntax::isSpace(text[end - 1])) {
        --end;
    }
    size_t at = begin;
    const bool negative = at < end && text[at] == '-';
    at += negative ? 1 : 0;
    size_t digits = 0;
    bool nonZero = false;
    bool point = false;
    size_t integerNonZero = 0;
    for (; at < end; ++at) {
        const char c = text[at];
        if (c >= '0' && c <= '9') {
            ++digits;
            nonZero |= c != '0';
            integerNonZero += !point && c != '0' ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return nan;
        }
    }
    if (digits == 0) {
        return nan;
    }
    double value = 0;
    const std::from_chars_result read =
        std::from_chars(text + begin + (negative ? 1 : 0), text + end, value);
    if (read.ec == std::errc::result_out_of_range) {
        value = integerNonZero != 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (!nonZero) {
        value = 0;
    }
    return negative ? -value : value;
}

}  // namespace xml
}  // namespace kavri
