// PluralExpression: a recursive-descent reader for gettext's plural
// expressions and a stack evaluator of the postfix form it builds.
#include "i18n/PluralExpression.h"

#include <cstring>

#include "framework/plinth/Exception.h"
#include "syntax/XMLChars.h"

namespace kavri {
namespace i18n {

namespace {

const int MAX_DEPTH = 100;

}  // namespace

class PluralExpression::Parser {
  public:
    Parser(std::vector<Node>& nodes, const char* text) : mNodes(nodes), mText(text), mPos(text) {}

    void parse() {
        expression(0);
        skipBlanks();
        if (*mPos != '\0') {
            fail("an operator or the end expected");
        }
    }

  private:
    [[noreturn]] void fail(const char* what) const {
        throw ::core::Exception("plural expression, position %u: %s",
                                static_cast<unsigned>(mPos - mText) + 1, what);
    }

    void skipBlanks() {
        while (xml::syntax::isSpace(*mPos)) {
            ++mPos;
        }
    }

    bool take(const char* symbol) {
        skipBlanks();
        size_t length = std::strlen(symbol);
        if (std::strncmp(mPos, symbol, length) != 0) {
            return false;
        }
        // "<" is not "<=", "!" is not "!=", "=" alone is nothing.
        if (length == 1 && (*symbol == '<' || *symbol == '>' || *symbol == '!') && mPos[1] == '=') {
            return false;
        }
        if (length == 1 && (*symbol == '&' || *symbol == '|')) {
            return false;
        }
        mPos += length;
        return true;
    }

    void emit(char op, uint64_t value = 0) { mNodes.push_back(Node{op, value}); }

    void expression(int depth) {
        if (depth > MAX_DEPTH) {
            fail("nested too deeply");
        }
        binary(0, depth);
        if (take("?")) {
            expression(depth + 1);
            if (!take(":")) {
                fail("\":\" expected");
            }
            expression(depth + 1);
            emit('?');
        }
    }

    // The binary operators by binding, loosest first; each level's
    // operators and the codes they are evaluated by.
    void binary(int level, int depth) {
        static const char* const LEVELS[][4] = {
            {"||"}, {"&&"}, {"==", "!="}, {"<=", ">=", "<", ">"}, {"+", "-"}, {"*", "/", "%"}};
        static const char CODES[][4] = {
            {'|'}, {'&'}, {'e', 'N'}, {'l', 'g', '<', '>'}, {'+', '-'}, {'*', '/', '%'}};
        if (level == 6) {
            unary(depth);
            return;
        }
        binary(level + 1, depth);
        for (bool more = true; more;) {
            more = false;
            for (int k = 0; k < 4 && LEVELS[level][k] != nullptr; ++k) {
                if (take(LEVELS[level][k])) {
                    binary(level + 1, depth);
                    emit(CODES[level][k]);
                    more = true;
                    break;
                }
            }
        }
    }

    void unary(int depth) {
        if (depth > MAX_DEPTH) {
            fail("nested too deeply");
        }
        if (take("!")) {
            unary(depth + 1);
            emit('!');
            return;
        }
        skipBlanks();
        if (*mPos == 'n') {
            ++mPos;
            emit('n');
        } else if (*mPos >= '0' && *mPos <= '9') {
            uint64_t value = 0;
            for (int digits = 0; *mPos >= '0' && *mPos <= '9'; ++mPos, ++digits) {
                if (digits == 18) {
                    fail("a number of more than 18 digits");
                }
                value = value * 10 + static_cast<uint64_t>(*mPos - '0');
            }
            emit('#', value);
        } else if (take("(")) {
            expression(depth + 1);
            if (!take(")")) {
                fail("\")\" expected");
            }
        } else {
            fail("n, a number, \"!\" or \"(\" expected");
        }
    }

    std::vector<Node>& mNodes;
    const char* mText;
    const char* mPos;
};

namespace {

// The value of the binary operator `op` (its code) on a and b.
inline uint64_t applyBinary(char op, uint64_t a, uint64_t b) {
    switch (op) {
        case '|':
            return a != 0 || b != 0;
        case '&':
            return a != 0 && b != 0;
        case 'e':
            return a == b;
        case 'N':
            return a != b;
        case 'l':
            return a <= b;
        case 'g':
            return a >= b;
        case '<':
            return a < b;
        case '>':
            return a > b;
        case '+':
            return a + b;
        case '-':
            return a - b;
        case '*':
            return a * b;
        case '/':
            return b != 0 ? a / b : 0;
        default:
            return b != 0 ? a % b : 0;
    }
}

}  // namespace

PluralExpression::PluralExpression(const char* text) {
    Parser(mNodes, text != nullptr ? text : "").parse();
}

uint64_t PluralExpression::evaluate(uint64_t n) const {
    // Each node pushes one value and takes its operands' values, so the
    // stack never holds more than there are nodes.
    std::vector<uint64_t> stack;
    stack.reserve(mNodes.size());
    for (const Node& node : mNodes) {
        if (node.op == 'n' || node.op == '#') {
            stack.push_back(node.op == 'n' ? n : node.value);
            continue;
        }
        if (node.op == '!') {
            stack.back() = !stack.back();
            continue;
        }
        if (node.op == '?') {
            uint64_t otherwise = stack.back();
            stack.pop_back();
            uint64_t then = stack.back();
            stack.pop_back();
            stack.back() = stack.back() != 0 ? then : otherwise;
            continue;
        }
        const uint64_t b = stack.back();
        stack.pop_back();
        stack.back() = applyBinary(node.op, stack.back(), b);
    }
    return stack.empty() ? 0 : stack.back();
}

bool PluralExpression::splitHeader(const std::string& value, unsigned& count,
                                   std::string& expression) {
    size_t nplurals = value.find("nplurals");
    size_t plural = value.find("plural", nplurals == std::string::npos ? 0 : nplurals + 8);
    if (nplurals == std::string::npos || plural == std::string::npos) {
        return false;
    }
    size_t equals = value.find_first_not_of(" \t", nplurals + 8);
    if (equals == std::string::npos || value[equals] != '=') {
        return false;
    }
    size_t digits = value.find_first_not_of(" \t", equals + 1);
    if (digits == std::string::npos || value[digits] < '1' || value[digits] > '9') {
        return false;
    }
    count = 0;
    for (; digits < value.size() && value[digits] >= '0' && value[digits] <= '9'; ++digits) {
        count = count * 10 + static_cast<unsigned>(value[digits] - '0');
        if (count > 100) {
            return false;
        }
    }
    equals = value.find_first_not_of(" \t", plural + 6);
    if (equals == std::string::npos || value[equals] != '=') {
        return false;
    }
    size_t end = value.find(';', equals);
    expression =
        value.substr(equals + 1, end == std::string::npos ? std::string::npos : end - equals - 1);
    return true;
}

}  // namespace i18n
}  // namespace kavri
