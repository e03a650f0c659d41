// Compiling an XPath 1.0 expression: a tokenizer that applies XPath's rules
// for telling operator names and '*' from name tests, and a recursive-descent
// parser over its tokens that builds the Program and checks what can be
// checked without a document.
#include <cmath>
#include <cstring>

#include "syntax/XMLChars.h"
#include "xml/XPathCoreFunctions.h"
#include "xml/XPathProgram.h"

namespace kavri {
namespace xml {
namespace xpath {

namespace {

enum class Tok : uint8_t {
    END,
    LPAREN,
    RPAREN,
    LBRACKET,
    RBRACKET,
    DOT,
    DOTDOT,
    AT,
    COMMA,
    COLONCOLON,
    SLASH,
    SLASHSLASH,
    PIPE,
    PLUS,
    MINUS,
    EQ,
    NE,
    LT,
    LE,
    GT,
    GE,
    STAR,      // a name test "*"
    MULTIPLY,  // '*' as an operator
    AND,
    OR,
    MOD,
    DIV,
    NAME,         // a QName (name test, function name, axis or node type)
    PREFIX_STAR,  // "p:*", text "p:"
    LITERAL,
    NUMBER,
    VARIABLE,
};

struct Token {
    Tok kind = Tok::END;
    uint32_t offset = 0;
    std::string text;
    double number = 0;
};

using syntax::isSpace;

[[noreturn]] void fail(size_t offset, const std::string& reason) {
    throw XPathException(offset, reason);
}

class Tokenizer {
  public:
    explicit Tokenizer(const std::string& text) : mText(text) {}

    std::vector<Token> run() {
        std::vector<Token> tokens;
        for (;;) {
            while (mAt < mText.size() && isSpace(mText[mAt])) {
                ++mAt;
            }
            Token token = next(tokens.empty() ? nullptr : &tokens.back());
            const bool end = token.kind == Tok::END;
            tokens.push_back(std::move(token));
            if (end) {
                return tokens;
            }
        }
    }

  private:
    // XPath's rule: after a token that ends an operand, '*' multiplies and a
    // name is an operator name.
    static bool operandEnded(const Token* previous) {
        if (previous == nullptr) {
            return false;
        }
        switch (previous->kind) {
            case Tok::RPAREN:
            case Tok::RBRACKET:
            case Tok::DOT:
            case Tok::DOTDOT:
            case Tok::STAR:
            case Tok::NAME:
            case Tok::PREFIX_STAR:
            case Tok::LITERAL:
            case Tok::NUMBER:
            case Tok::VARIABLE:
                return true;
            default:
                return false;
        }
    }

    Token make(Tok kind, size_t start, size_t length) {
        Token token;
        token.kind = kind;
        token.offset = static_cast<uint32_t>(start);
        mAt = start + length;
        return token;
    }

    // The length of the NCName character at `at` (`start`: one that may
    // begin a name); 0 when there is none.
    size_t nameCharAt(size_t at, bool start) const {
        uint32_t c = 0;
        const size_t length = at < mText.size() ? syntax::decodeUTF8(mText.data() + at,
                                                                     mText.data() + mText.size(), c)
                                                : 0;
        if (length == 0 || c == ':') {
            return 0;
        }
        return (start ? syntax::isNameStartChar(c) : syntax::isNameChar(c)) ? length : 0;
    }

    size_t nameEnd(size_t from) const {
        size_t at = from;
        while (const size_t length = nameCharAt(at, false)) {
            at += length;
        }
        return at;
    }

    Token next(const Token* previous) {
        const size_t start = mAt;
        if (start >= mText.size()) {
            return make(Tok::END, start, 0);
        }
        const char c = mText[start];
        const char d = start + 1 < mText.size() ? mText[start + 1] : '\0';
        switch (c) {
            case '(':
                return make(Tok::LPAREN, start, 1);
            case ')':
                return make(Tok::RPAREN, start, 1);
            case '[':
                return make(Tok::LBRACKET, start, 1);
            case ']':
                return make(Tok::RBRACKET, start, 1);
            case '@':
                return make(Tok::AT, start, 1);
            case ',':
                return make(Tok::COMMA, start, 1);
            case '|':
                return make(Tok::PIPE, start, 1);
            case '+':
                return make(Tok::PLUS, start, 1);
            case '-':
                return make(Tok::MINUS, start, 1);
            case '=':
                return make(Tok::EQ, start, 1);
            case '/':
                return d == '/' ? make(Tok::SLASHSLASH, start, 2) : make(Tok::SLASH, start, 1);
            case '<':
                return d == '=' ? make(Tok::LE, start, 2) : make(Tok::LT, start, 1);
            case '>':
                return d == '=' ? make(Tok::GE, start, 2) : make(Tok::GT, start, 1);
            case '!':
                if (d == '=') {
                    return make(Tok::NE, start, 2);
                }
                fail(start, "'!' stands only in '!='");
            case ':':
                if (d == ':') {
                    return make(Tok::COLONCOLON, start, 2);
                }
                fail(start, "unexpected ':'");
            case '*':
                return make(operandEnded(previous) ? Tok::MULTIPLY : Tok::STAR, start, 1);
            case '"':
            case '\'':
                return literal(start, c);
            case '$':
                return variable(start);
            default:
                break;
        }
        if ((c >= '0' && c <= '9') || (c == '.' && d >= '0' && d <= '9')) {
            return number(start);
        }
        if (c == '.') {
            return d == '.' ? make(Tok::DOTDOT, start, 2) : make(Tok::DOT, start, 1);
        }
        if (nameCharAt(start, true) != 0) {
            return name(start, previous);
        }
        const size_t length = syntax::characterLength(mText.data(), mText.size(), start);
        fail(start, "unexpected character '" + mText.substr(start, length) + "'");
    }

    Token literal(size_t start, char quote) {
        const size_t close = mText.find(quote, start + 1);
        if (close == std::string::npos) {
            fail(start, "string literal without its closing quote");
        }
        Token token = make(Tok::LITERAL, start, close + 1 - start);
        token.text = mText.substr(start + 1, close - start - 1);
        return token;
    }

    Token number(size_t start) {
        size_t at = start;
        while (at < mText.size() && mText[at] >= '0' && mText[at] <= '9') {
            ++at;
        }
        if (at < mText.size() && mText[at] == '.') {
            ++at;
            while (at < mText.size() && mText[at] >= '0' && mText[at] <= '9') {
                ++at;
            }
        }
        Token token = make(Tok::NUMBER, start, at - start);
        token.number = XPathQuery::stringToNumber(mText.data() + start, at - start);
        return token;
    }

    // "$" QName; the name follows at once.
    Token variable(size_t start) {
        const size_t end = qnameEnd(start + 1);
        if (end == start + 1) {
            fail(start, "'$' must be followed by a variable name");
        }
        Token token = make(Tok::VARIABLE, start, end - start);
        token.text = mText.substr(start + 1, end - start - 1);
        return token;
    }

    // The end of an NCName or "prefix:local" from `from` (== from when none).
    size_t qnameEnd(size_t from) const {
        if (nameCharAt(from, true) == 0) {
            return from;
        }
        size_t end = nameEnd(from);
        if (end + 1 < mText.size() && mText[end] == ':' && nameCharAt(end + 1, true) != 0) {
            end = nameEnd(end + 1);
        }
        return end;
    }

    Token name(size_t start, const Token* previous) {
        const size_t ncEnd = nameEnd(start);
        if (operandEnded(previous)) {
            const std::string word = mText.substr(start, ncEnd - start);
            const Tok op = word == "and"   ? Tok::AND
                           : word == "or"  ? Tok::OR
                           : word == "mod" ? Tok::MOD
                           : word == "div" ? Tok::DIV
                                           : Tok::END;
            if (op == Tok::END) {
                fail(start, "expected an operator, found '" + word + "'");
            }
            return make(op, start, ncEnd - start);
        }
        if (ncEnd + 1 < mText.size() && mText[ncEnd] == ':' && mText[ncEnd + 1] == '*') {
            Token token = make(Tok::PREFIX_STAR, start, ncEnd + 2 - start);
            token.text = mText.substr(start, ncEnd + 1 - start);
            return token;
        }
        const size_t end = qnameEnd(start);
        Token token = make(Tok::NAME, start, end - start);
        token.text = mText.substr(start, end - start);
        return token;
    }

    const std::string& mText;
    size_t mAt = 0;
};

struct AxisName {
    const char* name;
    Axis axis;
};

const AxisName AXES[] = {
    {"ancestor", Axis::ANCESTOR},
    {"ancestor-or-self", Axis::ANCESTOR_OR_SELF},
    {"attribute", Axis::ATTRIBUTE},
    {"child", Axis::CHILD},
    {"descendant", Axis::DESCENDANT},
    {"descendant-or-self", Axis::DESCENDANT_OR_SELF},
    {"following", Axis::FOLLOWING},
    {"following-sibling", Axis::FOLLOWING_SIBLING},
    {"namespace", Axis::NAMESPACE},
    {"parent", Axis::PARENT},
    {"preceding", Axis::PRECEDING},
    {"preceding-sibling", Axis::PRECEDING_SIBLING},
    {"self", Axis::SELF},
};

bool isNodeType(const std::string& name) {
    return name == "node" || name == "text" || name == "comment" ||
           name == "processing-instruction";
}

// True when `expr`, evaluated in some context, reads that context's position
// or size (`sizeOnly`: its size). Predicates of steps and filters have their
// own context and are not looked into. The left operands of a chain of
// operators are followed in a loop, the others (nested no deeper than the
// nesting limit allows) by recursion.
bool readsContext(const Expr* expr, bool sizeOnly) {
    for (;;) {
        if (expr->op == Expr::CALL &&
            (expr->function->reads == CoreFunction::SIZE ||
             (!sizeOnly && expr->function->reads == CoreFunction::POSITION))) {
            return true;
        }
        if (expr->op == Expr::PATH) {
            if (expr->filter == nullptr) {
                return false;
            }
            expr = expr->filter;
            continue;
        }
        if (expr->args.empty()) {
            return false;
        }
        for (size_t i = 1; i < expr->args.size(); ++i) {
            if (readsContext(expr->args[i], sizeOnly)) {
                return true;
            }
        }
        expr = expr->args[0];
    }
}

class Parser {
  public:
    Parser(Program& program, std::vector<Token> tokens)
        : mProgram(program), mTokens(std::move(tokens)) {}

    const Expr* parse() {
        const Expr* top = orExpr();
        if (peek().kind != Tok::END) {
            fail(peek().offset, "unexpected '" + describe(peek()) + "' after the expression");
        }
        return top;
    }

  private:
    // Counts one level of nesting for as long as it lives.
    struct Nest {
        explicit Nest(Parser& parser) : mParser(parser) {
            if (++mParser.mDepth > XPathQuery::MAX_NESTING) {
                fail(mParser.peek().offset, "the expression nests deeper than " +
                                                std::to_string(XPathQuery::MAX_NESTING) +
                                                " levels");
            }
        }
        ~Nest() { --mParser.mDepth; }
        Nest(const Nest&) = delete;
        Nest& operator=(const Nest&) = delete;
        Parser& mParser;
    };

    const Token& peek(size_t ahead = 0) const {
        const size_t at = mAt + ahead;
        return mTokens[at < mTokens.size() ? at : mTokens.size() - 1];
    }
    const Token& take() {
        const Token& token = peek();
        if (mAt < mTokens.size() - 1) {
            ++mAt;
        }
        return token;
    }
    void expect(Tok kind, const char* what) {
        if (peek().kind != kind) {
            fail(peek().offset,
                 std::string("expected ") + what + ", found '" + describe(peek()) + "'");
        }
        take();
    }

    // The token's text as written (up to the next token).
    std::string describe(const Token& token) const {
        if (token.kind == Tok::END) {
            return "the end";
        }
        const size_t index = static_cast<size_t>(&token - mTokens.data());
        const size_t end =
            index + 1 < mTokens.size() ? mTokens[index + 1].offset : mProgram.expression.size();
        std::string text = mProgram.expression.substr(token.offset, end - token.offset);
        while (!text.empty() && isSpace(text.back())) {
            text.pop_back();
        }
        return text;
    }

    Expr* make(Expr::Op op, Type type, uint32_t offset) {
        mProgram.nodes.emplace_back(new Expr());
        Expr* expr = mProgram.nodes.back().get();
        expr->op = op;
        expr->type = type;
        expr->offset = offset;
        return expr;
    }

    Expr* binary(Expr::Op op, Type type, uint32_t offset, const Expr* left, const Expr* right) {
        Expr* expr = make(op, type, offset);
        expr->args = {left, right};
        if (op >= Expr::EQ && op <= Expr::GE) {
            expr->stepCompare = isSimpleStep(left) || isSimpleStep(right);
            expr->attributeLiteral = (op == Expr::EQ || op == Expr::NE) &&
                                     (isAttributeStep(left) ? right : left)->op == Expr::LITERAL &&
                                     (isAttributeStep(left) || isAttributeStep(right));
        }
        return expr;
    }

    // `@name` alone: one attribute at most, found by its name.
    static bool isAttributeStep(const Expr* expr) {
        if (!isSimpleStep(expr)) {
            return false;
        }
        const Step& step = expr->steps[0];
        return step.axis == Axis::ATTRIBUTE && step.test == Test::NAME && step.predicates.empty() &&
               !step.withDescendants;
    }

    const Expr* orExpr() {
        Nest nest(*this);
        const Expr* left = andExpr();
        while (peek().kind == Tok::OR) {
            const uint32_t at = take().offset;
            left = binary(Expr::OR, Type::BOOLEAN, at, left, andExpr());
        }
        return left;
    }

    const Expr* andExpr() {
        const Expr* left = equalityExpr();
        while (peek().kind == Tok::AND) {
            const uint32_t at = take().offset;
            left = binary(Expr::AND, Type::BOOLEAN, at, left, equalityExpr());
        }
        return left;
    }

    const Expr* equalityExpr() {
        const Expr* left = relationalExpr();
        while (peek().kind == Tok::EQ || peek().kind == Tok::NE) {
            const Token& op = take();
            const Expr::Op code = op.kind == Tok::EQ ? Expr::EQ : Expr::NE;
            left = binary(code, Type::BOOLEAN, op.offset, left, relationalExpr());
        }
        return left;
    }

    const Expr* relationalExpr() {
        const Expr* left = additiveExpr();
        for (;;) {
            Expr::Op code;
            switch (peek().kind) {
                case Tok::LT:
                    code = Expr::LT;
                    break;
                case Tok::LE:
                    code = Expr::LE;
                    break;
                case Tok::GT:
                    code = Expr::GT;
                    break;
                case Tok::GE:
                    code = Expr::GE;
                    break;
                default:
                    return left;
            }
            const uint32_t at = take().offset;
            left = binary(code, Type::BOOLEAN, at, left, additiveExpr());
        }
    }

    const Expr* additiveExpr() {
        const Expr* left = multiplicativeExpr();
        while (peek().kind == Tok::PLUS || peek().kind == Tok::MINUS) {
            const Token& op = take();
            const Expr::Op code = op.kind == Tok::PLUS ? Expr::ADD : Expr::SUB;
            left = binary(code, Type::NUMBER, op.offset, left, multiplicativeExpr());
        }
        return left;
    }

    const Expr* multiplicativeExpr() {
        const Expr* left = unaryExpr();
        for (;;) {
            const Tok kind = peek().kind;
            if (kind != Tok::MULTIPLY && kind != Tok::DIV && kind != Tok::MOD) {
                return left;
            }
            const uint32_t at = take().offset;
            const Expr::Op code = kind == Tok::MULTIPLY ? Expr::MUL
                                  : kind == Tok::DIV    ? Expr::DIV
                                                        : Expr::MOD;
            left = binary(code, Type::NUMBER, at, left, unaryExpr());
        }
    }

    const Expr* unaryExpr() {
        if (peek().kind == Tok::MINUS) {
            Nest nest(*this);
            const uint32_t at = take().offset;
            Expr* expr = make(Expr::NEG, Type::NUMBER, at);
            expr->args = {unaryExpr()};
            return expr;
        }
        return unionExpr();
    }

    const Expr* unionExpr() {
        const Expr* left = pathExpr();
        while (peek().kind == Tok::PIPE) {
            const uint32_t at = take().offset;
            const Expr* right = pathExpr();
            requireNodeSet(left, at, "'|' joins node sets only");
            requireNodeSet(right, at, "'|' joins node sets only");
            left = binary(Expr::UNION, Type::NODE_SET, at, left, right);
        }
        return left;
    }

    static void requireNodeSet(const Expr* expr, uint32_t offset, const char* reason) {
        if (expr->type != Type::NODE_SET && expr->type != Type::ANY) {
            fail(offset, reason);
        }
    }

    bool startsStep(const Token& token) const {
        switch (token.kind) {
            case Tok::DOT:
            case Tok::DOTDOT:
            case Tok::AT:
            case Tok::STAR:
            case Tok::PREFIX_STAR:
                return true;
            case Tok::NAME:
                return true;
            default:
                return false;
        }
    }

    // A NAME starts a filter expression when it is a function call: followed
    // by '(' and not a node type.
    bool isFunctionCall() const {
        return peek().kind == Tok::NAME && peek(1).kind == Tok::LPAREN && !isNodeType(peek().text);
    }

    const Expr* pathExpr() {
        const Token& first = peek();
        const uint32_t at = first.offset;
        if (first.kind == Tok::SLASH || first.kind == Tok::SLASHSLASH) {
            Expr* path = make(Expr::PATH, Type::NODE_SET, at);
            path->absolute = true;
            if (take().kind == Tok::SLASHSLASH) {
                path->steps.push_back(descendantOrSelf());
                relativePath(*path);
            } else if (startsStep(peek())) {
                relativePath(*path);
            }
            return finish(path);
        }
        if (startsStep(first) && !isFunctionCall()) {
            Expr* path = make(Expr::PATH, Type::NODE_SET, at);
            relativePath(*path);
            return finish(path);
        }
        const Expr* primary = primaryExpr();
        if (peek().kind != Tok::LBRACKET && peek().kind != Tok::SLASH &&
            peek().kind != Tok::SLASHSLASH) {
            return primary;
        }
        Expr* path = make(Expr::PATH, Type::NODE_SET, at);
        path->filter = primary;
        if (peek().kind == Tok::LBRACKET) {
            requireNodeSet(primary, peek().offset, "a predicate applies to node sets only");
            while (peek().kind == Tok::LBRACKET) {
                path->filterPredicates.push_back(predicate());
            }
            for (const Expr* p : path->filterPredicates) {
                path->filterPositional |=
                    p->type == Type::NUMBER || p->type == Type::ANY || readsContext(p, false);
                path->filterNeedsSize |= readsContext(p, true);
            }
        }
        if (peek().kind == Tok::SLASH || peek().kind == Tok::SLASHSLASH) {
            requireNodeSet(primary, peek().offset, "a path step applies to node sets only");
            if (take().kind == Tok::SLASHSLASH) {
                path->steps.push_back(descendantOrSelf());
            }
            relativePath(*path);
        }
        return finish(path);
    }

    static Step descendantOrSelf() {
        Step step;
        step.axis = Axis::DESCENDANT_OR_SELF;
        step.test = Test::NODE;
        return step;
    }

    void relativePath(Expr& path) {
        path.steps.push_back(step());
        while (peek().kind == Tok::SLASH || peek().kind == Tok::SLASHSLASH) {
            if (take().kind == Tok::SLASHSLASH) {
                path.steps.push_back(descendantOrSelf());
            }
            path.steps.push_back(step());
        }
    }

    // '//' followed by a child step with no positional predicate selects what
    // one descendant step selects, without the step over every node; followed
    // by such an attribute step, what one attribute step from every element
    // at and below the context selects.
    static Expr* finish(Expr* path) {
        std::vector<Step>& steps = path->steps;
        size_t kept = 0;
        for (size_t i = 0; i < steps.size(); ++i) {
            if (i + 1 < steps.size() && foldsIntoNext(steps[i], steps[i + 1])) {
                continue;
            }
            if (kept != i) {
                steps[kept] = std::move(steps[i]);
            }
            ++kept;
        }
        steps.resize(kept, Step());
        return path;
    }

    // Whether `step` is a '//' that `next` takes over (changed to do so).
    static bool foldsIntoNext(const Step& step, Step& next) {
        if (step.axis != Axis::DESCENDANT_OR_SELF || step.test != Test::NODE ||
            !step.predicates.empty() || next.positional) {
            return false;
        }
        if (next.axis == Axis::CHILD) {
            next.axis = Axis::DESCENDANT;
            return true;
        }
        if (next.axis == Axis::ATTRIBUTE) {
            next.withDescendants = true;
            return true;
        }
        return false;
    }

    Step step() {
        Step result;
        const Token& first = peek();
        if (first.kind == Tok::DOT || first.kind == Tok::DOTDOT) {
            take();
            result.axis = first.kind == Tok::DOT ? Axis::SELF : Axis::PARENT;
            result.test = Test::NODE;
            if (peek().kind == Tok::LBRACKET) {
                fail(peek().offset, "'.' and '..' take no predicate");
            }
            return result;
        }
        if (first.kind == Tok::AT) {
            take();
            result.axis = Axis::ATTRIBUTE;
        } else if (first.kind == Tok::NAME && peek(1).kind == Tok::COLONCOLON) {
            const AxisName* found = nullptr;
            for (const AxisName& axis : AXES) {
                if (first.text == axis.name) {
                    found = &axis;
                }
            }
            if (found == nullptr) {
                fail(first.offset, "unknown axis '" + first.text + "'");
            }
            result.axis = found->axis;
            take();
            take();
        }
        nodeTest(result);
        while (peek().kind == Tok::LBRACKET) {
            result.predicates.push_back(predicate());
        }
        for (const Expr* p : result.predicates) {
            result.positional |=
                p->type == Type::NUMBER || p->type == Type::ANY || readsContext(p, false);
            result.needsSize |= readsContext(p, true);
        }
        return result;
    }

    void nodeTest(Step& step) {
        const Token& token = peek();
        if (token.kind == Tok::STAR) {
            take();
            step.test = Test::ANY_NAME;
            return;
        }
        if (token.kind == Tok::PREFIX_STAR) {
            step.test = Test::PREFIX;
            step.name = take().text;
            return;
        }
        if (token.kind != Tok::NAME) {
            fail(token.offset, "expected a node test, found '" + describe(token) + "'");
        }
        const Token& name = take();
        if (peek().kind == Tok::LPAREN && isNodeType(name.text)) {
            take();
            step.test = name.text == "node"      ? Test::NODE
                        : name.text == "text"    ? Test::TEXT
                        : name.text == "comment" ? Test::COMMENT
                                                 : Test::INSTRUCTION;
            if (step.test == Test::INSTRUCTION && peek().kind == Tok::LITERAL) {
                // Only instructions of this target; there are none of "".
                step.name = take().text;
                step.test = step.name.empty() ? Test::NOTHING : Test::INSTRUCTION;
            }
            expect(Tok::RPAREN, "')'");
            return;
        }
        step.test = Test::NAME;
        step.name = name.text;
    }

    const Expr* predicate() {
        take();  // '['
        const Expr* expr = orExpr();
        expect(Tok::RBRACKET, "']'");
        return expr;
    }

    const Expr* primaryExpr() {
        const Token& token = peek();
        switch (token.kind) {
            case Tok::VARIABLE: {
                take();
                Expr* expr = make(Expr::VARIABLE, Type::ANY, token.offset);
                expr->text = token.text;
                return expr;
            }
            case Tok::LPAREN: {
                take();
                const Expr* inner = orExpr();
                expect(Tok::RPAREN, "')'");
                return inner;
            }
            case Tok::LITERAL: {
                take();
                Expr* expr = make(Expr::LITERAL, Type::STRING, token.offset);
                expr->text = token.text;
                return expr;
            }
            case Tok::NUMBER: {
                take();
                Expr* expr = make(Expr::NUMBER, Type::NUMBER, token.offset);
                expr->number = token.number;
                return expr;
            }
            case Tok::NAME:
                if (peek(1).kind == Tok::LPAREN) {
                    return functionCall();
                }
                break;
            default:
                break;
        }
        fail(token.offset, token.kind == Tok::END
                               ? std::string("the expression ends where an operand is expected")
                               : "expected an operand, found '" + describe(token) + "'");
    }

    const Expr* functionCall() {
        const Token& name = take();
        take();  // '('
        std::vector<const Expr*> args;
        if (peek().kind != Tok::RPAREN) {
            args.push_back(orExpr());
            while (peek().kind == Tok::COMMA) {
                take();
                args.push_back(orExpr());
            }
        }
        expect(Tok::RPAREN, "')' or ','");
        unsigned minArgs;
        unsigned maxArgs;
        Expr* call;
        if (const CoreFunction* core = CoreFunction::find(name.text)) {
            call = make(Expr::CALL, core->result, name.offset);
            call->function = core;
            minArgs = core->minArguments;
            maxArgs = core->maxArguments;
        } else if (const XPathFunctions::Entry* entry = mProgram.functions.find(name.text)) {
            call = make(Expr::CUSTOM_CALL, Type::ANY, name.offset);
            call->custom = entry;
            minArgs = entry->minArguments;
            maxArgs = entry->maxArguments;
        } else {
            fail(name.offset, "unknown function '" + name.text + "'");
        }
        call->text = name.text;
        if (args.size() < minArgs || args.size() > maxArgs) {
            const std::string count =
                minArgs == maxArgs ? std::to_string(minArgs)
                : maxArgs == ~0u   ? "at least " + std::to_string(minArgs)
                                   : std::to_string(minArgs) + " to " + std::to_string(maxArgs);
            fail(name.offset, "function '" + name.text + "' takes " + count + " argument" +
                                  (minArgs == 1 && maxArgs == 1 ? "" : "s") + ", not " +
                                  std::to_string(args.size()));
        }
        if (call->op == Expr::CALL) {
            checkArguments(*call, args);
        }
        call->args = std::move(args);
        return call;
    }

    static void checkArguments(const Expr& call, const std::vector<const Expr*>& args) {
        if (call.function->nodeSetArgument && !args.empty()) {
            requireNodeSet(args[0], args[0]->offset,
                           ("function '" + call.text + "' takes a node set").c_str());
        }
    }

    Program& mProgram;
    std::vector<Token> mTokens;
    size_t mAt = 0;
    unsigned mDepth = 0;
};

}  // namespace

std::shared_ptr<const Program> compile(const std::string& expression,
                                       const XPathFunctions* functions) {
    auto program = std::make_shared<Program>();
    program->expression = expression;
    if (functions != nullptr) {
        program->functions = *functions;
    }
    if (expression.find('\0') != std::string::npos) {
        fail(expression.find('\0'), "unexpected NUL byte");
    }
    Parser parser(*program, Tokenizer(program->expression).run());
    program->top = parser.parse();
    return program;
}

bool isFunctionName(const std::string& name) {
    return CoreFunction::find(name) != nullptr || isNodeType(name);
}

}  // namespace xpath
}  // namespace xml
}  // namespace kavri
