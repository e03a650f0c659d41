// Compiling an XPath 1.0 expression: a tokenizer that applies XPath's rules
// for telling operator names and '*' from name tests, and a recursive-descent
// parser over its tokens that builds the Program and checks what can be
// checked without a document.
#include <cmath>
#include <cstring>

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

bool isNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}

bool isNameChar(unsigned char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

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

    size_t nameEnd(size_t from) const {
        size_t at = from;
        while (at < mText.size() && isNameChar(static_cast<unsigned char>(mText[at]))) {
            ++at;
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
        if (isNameStart(static_cast<unsigned char>(c))) {
            return name(start, previous);
        }
        fail(start, std::string("unexpected character '") + c + "'");
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
        if (from >= mText.size() || !isNameStart(static_cast<unsigned char>(mText[from]))) {
            return from;
        }
        size_t end = nameEnd(from);
        if (end + 1 < mText.size() && mText[end] == ':' &&
            isNameStart(static_cast<unsigned char>(mText[end + 1]))) {
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

struct FunctionInfo {
    const char* name;
    Function function;
    unsigned minArgs;
    unsigned maxArgs;
    Type result;
};

const FunctionInfo FUNCTIONS[] = {
    {"last", Function::LAST, 0, 0, Type::NUMBER},
    {"position", Function::POSITION, 0, 0, Type::NUMBER},
    {"count", Function::COUNT, 1, 1, Type::NUMBER},
    {"id", Function::ID, 1, 1, Type::NODE_SET},
    {"local-name", Function::LOCAL_NAME, 0, 1, Type::STRING},
    {"namespace-uri", Function::NAMESPACE_URI, 0, 1, Type::STRING},
    {"name", Function::NAME, 0, 1, Type::STRING},
    {"string", Function::STRING, 0, 1, Type::STRING},
    {"concat", Function::CONCAT, 2, ~0u, Type::STRING},
    {"starts-with", Function::STARTS_WITH, 2, 2, Type::BOOLEAN},
    {"contains", Function::CONTAINS, 2, 2, Type::BOOLEAN},
    {"substring-before", Function::SUBSTRING_BEFORE, 2, 2, Type::STRING},
    {"substring-after", Function::SUBSTRING_AFTER, 2, 2, Type::STRING},
    {"substring", Function::SUBSTRING, 2, 3, Type::STRING},
    {"string-length", Function::STRING_LENGTH, 0, 1, Type::NUMBER},
    {"normalize-space", Function::NORMALIZE_SPACE, 0, 1, Type::STRING},
    {"translate", Function::TRANSLATE, 3, 3, Type::STRING},
    {"boolean", Function::BOOLEAN, 1, 1, Type::BOOLEAN},
    {"not", Function::NOT, 1, 1, Type::BOOLEAN},
    {"true", Function::TRUE, 0, 0, Type::BOOLEAN},
    {"false", Function::FALSE, 0, 0, Type::BOOLEAN},
    {"lang", Function::LANG, 1, 1, Type::BOOLEAN},
    {"number", Function::NUMBER, 0, 1, Type::NUMBER},
    {"sum", Function::SUM, 1, 1, Type::NUMBER},
    {"floor", Function::FLOOR, 1, 1, Type::NUMBER},
    {"ceiling", Function::CEILING, 1, 1, Type::NUMBER},
    {"round", Function::ROUND, 1, 1, Type::NUMBER},
};

const FunctionInfo* findFunction(const std::string& name) {
    for (const FunctionInfo& info : FUNCTIONS) {
        if (name == info.name) {
            return &info;
        }
    }
    return nullptr;
}

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
// own context and are not looked into.
bool readsContext(const Expr* expr, bool sizeOnly) {
    if (expr->op == Expr::CALL) {
        if (expr->function == Function::LAST ||
            (!sizeOnly && expr->function == Function::POSITION)) {
            return true;
        }
    }
    if (expr->op == Expr::PATH) {
        return expr->filter != nullptr && readsContext(expr->filter, sizeOnly);
    }
    for (const Expr* arg : expr->args) {
        if (readsContext(arg, sizeOnly)) {
            return true;
        }
    }
    return false;
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
        return step.axis == Axis::ATTRIBUTE && step.test == Test::NAME && step.predicates.empty();
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
    // one descendant step selects, without the step over every node.
    static Expr* finish(Expr* path) {
        std::vector<Step>& steps = path->steps;
        for (size_t i = 0; i + 1 < steps.size(); ++i) {
            Step& next = steps[i + 1];
            if (steps[i].axis == Axis::DESCENDANT_OR_SELF && steps[i].test == Test::NODE &&
                steps[i].predicates.empty() && next.axis == Axis::CHILD && !next.positional) {
                next.axis = Axis::DESCENDANT;
                steps.erase(steps.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        return path;
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
            if (name.text == "processing-instruction" && peek().kind == Tok::LITERAL) {
                take();
            }
            expect(Tok::RPAREN, "')'");
            step.test = name.text == "node"   ? Test::NODE
                        : name.text == "text" ? Test::TEXT
                                              : Test::NOTHING;
            return;
        }
        step.test = Test::NAME;
        step.name = name.text;
    }

    const Expr* predicate() {
        Nest nest(*this);
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
        Nest nest(*this);
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
        if (const FunctionInfo* info = findFunction(name.text)) {
            call = make(Expr::CALL, info->result, name.offset);
            call->function = info->function;
            minArgs = info->minArgs;
            maxArgs = info->maxArgs;
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
        switch (call.function) {
            case Function::COUNT:
            case Function::SUM:
            case Function::LOCAL_NAME:
            case Function::NAMESPACE_URI:
            case Function::NAME:
                if (!args.empty()) {
                    requireNodeSet(args[0], args[0]->offset,
                                   ("function '" + call.text + "' takes a node set").c_str());
                }
                break;
            default:
                break;
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
    return findFunction(name) != nullptr || isNodeType(name);
}

}  // namespace xpath
}  // namespace xml
}  // namespace kavri
