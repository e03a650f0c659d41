// PluralRules chooses the plural category of a number in one language: "1
// file" takes `one` in English, "2 файла" takes `few` in Russian. The rules
// are CLDR's, in CLDR's own syntax ("one: i = 1 and v = 0 @integer 1; ..."),
// parsed by this class. The rules of every CLDR locale come with the library
// (cardinals and ordinals); forLanguage finds them by CLDR's fallback
// ("de_AT" uses "de", an unknown code "root", which has only `other`).
//
// A number keeps the fraction digits it shows: "1" is `one` in English,
// "1.0" is `other`. Operands reads a decimal text ("1.50", "1.2c6" with the
// compact exponent), an integer, or a double with its fraction digits.
//
//   const PluralRules& ru = PluralRules::forLanguage("ru");
//   ru.select(22);                                   // PluralRules::FEW
//   ru.select(PluralRules::Operands::fromDouble(1.5, 1));   // OTHER
//
// The rules of forLanguage are parsed once, at the first call, and shared by
// all threads; a PluralRules is immutable after construction.
#ifndef KAVRIXML_I18N_PLURALRULES_H
#define KAVRIXML_I18N_PLURALRULES_H

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace kavri {
namespace i18n {

class PluralRules {
  public:
    // In CLDR's order, which is also the order of a PO file's indexes.
    enum Category { ZERO, ONE, TWO, FEW, MANY, OTHER };
    static const int CATEGORY_COUNT = 6;
    enum Type { CARDINAL, ORDINAL };

    // The operands of CLDR's rules for one number as it is shown: n (absolute
    // value, here its integer part and whether a fraction shows), i, v, w,
    // f, t and the exponent c (also spelt e). An integer part of more than
    // 18 digits keeps its last 18 and is marked as larger than any range.
    struct Operands {
        uint64_t i = 0;
        uint64_t f = 0;
        uint64_t t = 0;
        unsigned v = 0;
        unsigned w = 0;
        unsigned e = 0;

        // A decimal text: an optional sign, digits, optionally "." and
        // digits, optionally "c" or "e" and an exponent of at most 3 digits
        // (with a sign for "e"). False, leaving `out` as it was, for
        // anything else.
        static bool parse(const char* text, Operands& out);
        static Operands fromInteger(long long value);
        // The value as "%.*f" shows it with `fractionDigits` (0 to 30).
        static Operands fromDouble(double value, int fractionDigits);
        // The number shown with a fraction, so that n is no integer.
        bool hasFraction() const { return t != 0; }
    };

    // Parses "CATEGORY: CONDITION [@integer SAMPLES] [@decimal SAMPLES]; ...".
    // The condition grammar is CLDR's: operands n i v w f t c e, "%" or "mod",
    // "=" and "!=" with values, ranges "a..b" and lists, "and" binding
    // tighter than "or". `other` needs no rule and has no condition. Throws
    // core::Exception naming the position and the fault.
    explicit PluralRules(const char* description);

    // The rules of a language code by CLDR's fallback: the code as given,
    // then with its last "_" or "-" part removed, until "root"; spelt as
    // LocaleCode::cldr spells it, so case, ".charset" and "@modifier" tails
    // do not matter ("pt_pt" is "pt_PT").
    static const PluralRules& forLanguage(const char* code, Type type = CARDINAL);
    // The CLDR locales that have rules of their own, in byte order.
    static std::vector<std::string> locales(Type type);
    // The CLDR release the rules come from.
    static const char* cldrVersion();

    Category select(const Operands& number) const;
    Category select(long long value) const { return selectInteger(value); }
    // False for a text that is no decimal number.
    bool select(const char* decimal, Category& category) const;

    static const char* categoryName(Category category);
    // False for a word that names no category.
    static bool categoryOf(const char* name, size_t length, Category& category);

    // The categories these rules can give, `other` always among them.
    bool has(Category category) const { return (mCategories & (1u << category)) != 0; }
    // Those with @integer samples: the forms whole numbers reach.
    bool reachedByIntegers(Category category) const {
        return (mIntegerCategories & (1u << category)) != 0;
    }
    // The condition of a category as written ("" for `other`) and its
    // samples, each as written after "@integer" or "@decimal".
    const std::string& condition(Category category) const { return mRules[category].condition; }
    const std::string& integerSamples(Category category) const {
        return mRules[category].integerSamples;
    }
    const std::string& decimalSamples(Category category) const {
        return mRules[category].decimalSamples;
    }
    // The samples of a category as single numbers, ranges ("2~4", "0.0~0.3")
    // spelt out, "…" left out; at most `limit` of them.
    std::vector<std::string> samples(Category category, bool decimals, size_t limit) const;
    // The description these rules were parsed from, one category per line,
    // each but the last ending in ";"; it parses to the same rules.
    std::string describe() const;
    // The condition of a category for whole numbers (v, w, f, t and e are
    // 0) as a C expression in n, as a PO file's "Plural-Forms" writes it:
    // "1" when it always holds, "0" when never.
    std::string integerExpression(Category category) const;

  private:
    struct Range {
        uint64_t low;
        uint64_t high;
    };
    // One "OPERAND [% MOD] (=|!=) RANGES"; `beginsGroup` when an "or" stands
    // before it.
    struct Relation {
        char operand;
        bool negated;
        bool beginsGroup;
        uint64_t modulus;  // 0: none
        uint32_t firstRange;
        uint32_t rangeCount;
    };
    struct Rule {
        std::string condition;
        std::string integerSamples;
        std::string decimalSamples;
        uint32_t firstRelation = 0;
        uint32_t relationCount = 0;
    };
    class Parser;

    Category selectInteger(long long value) const;
    // Whole numbers below 10^18: v, w, f, t and e are 0 and n is i, so each
    // rule is reduced once to its relations on i (see mWholeRules).
    Category selectWhole(uint64_t i) const;
    Category selectWholeByRules(uint64_t i) const;
    void reduceForWholeNumbers();
    bool matches(const Rule& rule, const Operands& number) const;
    bool holds(const Relation& relation, const Operands& number) const;
    std::string relationExpression(const Relation& relation) const;

    Rule mRules[CATEGORY_COUNT];
    // The categories with a condition, in CLDR's order: tried in turn (CLDR's
    // conditions exclude each other; overlapping ones of a caller's own
    // description go by this order).
    std::vector<Category> mOrder;
    std::vector<Relation> mRelations;
    // Per category of mOrder, its condition for whole numbers: relations on
    // i alone (in mWholeRelations), or `always` when a group of relations
    // on the other operands holds for every whole number.
    struct WholeRule {
        Category category;
        bool always;
        uint32_t firstRelation;
        uint32_t relationCount;
    };
    std::vector<WholeRule> mWholeRules;
    std::vector<Relation> mWholeRelations;
    // The categories of the counts below SMALL_COUNTS (most counts a text
    // shows), one byte each, each found by mWholeRules on its first use and
    // kept; UNKNOWN until then. Taking no memory of its own, a count's
    // category never fails; a copy or an assignment finds them anew.
    static constexpr uint64_t SMALL_COUNTS = 1000;
    class SmallCounts {
      public:
        static constexpr uint8_t UNKNOWN = 0xFF;
        SmallCounts() { clear(); }
        SmallCounts(const SmallCounts&) { clear(); }
        SmallCounts& operator=(const SmallCounts&) {
            clear();
            return *this;
        }
        Category get(const PluralRules& rules, uint64_t i) const {
            uint8_t known = mTable[i].load(std::memory_order_relaxed);
            if (known == UNKNOWN) {
                known = static_cast<uint8_t>(rules.selectWholeByRules(i));
                mTable[i].store(known, std::memory_order_relaxed);
            }
            return static_cast<Category>(known);
        }

      private:
        void clear() {
            for (auto& entry : mTable) {
                entry.store(UNKNOWN, std::memory_order_relaxed);
            }
        }
        mutable std::atomic<uint8_t> mTable[SMALL_COUNTS];
    };
    SmallCounts mSmallCounts;
    std::vector<Range> mRanges;
    unsigned mCategories = 1u << OTHER;
    unsigned mIntegerCategories = 0;
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_PLURALRULES_H
