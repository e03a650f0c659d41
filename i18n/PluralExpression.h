// PluralExpression reads and evaluates the plural expression of a PO file's
// "Plural-Forms" header, the C subset that gettext defines: the variable n,
// decimal integers, ! * / % + - < > <= >= == != && || ?: and parentheses,
// on unsigned long values. PluralRules::integerExpression writes such
// expressions; reading one back maps a file's own order of forms onto
// categories.
//
//   PluralExpression e("n==1 ? 0 : 1");
//   e.evaluate(5);   // 1
#ifndef KAVRIXML_I18N_PLURALEXPRESSION_H
#define KAVRIXML_I18N_PLURALEXPRESSION_H

#include <cstdint>
#include <string>
#include <vector>

namespace kavri {
namespace i18n {

class PluralExpression {
  public:
    // Throws core::Exception naming the position of a fault; nesting deeper
    // than 100 levels is one.
    explicit PluralExpression(const char* text);

    // The value for `n`; a division by zero gives 0 (gettext's own
    // evaluator would stop the program).
    uint64_t evaluate(uint64_t n) const;

    // Reads "nplurals=N; plural=EXPR;" of a Plural-Forms header into the
    // count and the expression text; false when it is not of that shape.
    static bool splitHeader(const std::string& value, unsigned& count, std::string& expression);

  private:
    // The expression as a tree in postfix order: each node is an operator
    // or a leaf, its operands before it.
    struct Node {
        char op;         // 'n', '#' (number), '!', '?' (ternary), or a binary operator
        uint64_t value;  // of '#'
    };
    class Parser;

    std::vector<Node> mNodes;
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_PLURALEXPRESSION_H
