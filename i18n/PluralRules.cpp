// PluralRules: the rule parser, the operands of a number, the evaluator and
// the table of CLDR's locales.
#include "i18n/PluralRules.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "framework/plinth/Exception.h"
#include "i18n/LocaleCode.h"
#include "i18n/PluralData.h"
#include "syntax/XMLChars.h"

namespace kavri {
namespace i18n {

namespace {

const char* const CATEGORY_NAMES[PluralRules::CATEGORY_COUNT] = {"zero", "one",  "two",
                                                                 "few",  "many", "other"};

// An integer part or fraction of more than 18 digits keeps its last 18 and
// this mark, which keeps every remainder by a power of ten up to 10^18 and
// puts the value above every range a rule can write.
const uint64_t LARGE = 1000000000000000000ull;
const unsigned MAX_DIGITS = 18;
// Exponents beyond this are no number anyone shows.
const int MAX_EXPONENT = 999;

uint64_t digitsValue(const std::string& digits) {
    size_t from = digits.size() > MAX_DIGITS ? digits.size() - MAX_DIGITS : 0;
    uint64_t value = 0;
    for (size_t k = from; k < digits.size(); ++k) {
        value = value * 10 + static_cast<uint64_t>(digits[k] - '0');
    }
    bool large = digits.find_first_not_of('0') < from;
    return large ? value + LARGE : value;
}

size_t countDigits(const char* p) {
    size_t n = 0;
    while (p[n] >= '0' && p[n] <= '9') {
        ++n;
    }
    return n;
}

// The digits of a decimal number "[+-]digits[.digits][(c|e|E)[+-]digits]":
// its integer part, fraction and exponent (up to MAX_EXPONENT). False when
// `p` holds anything else.
bool readDecimal(const char* p, std::string& integer, std::string& fraction, int& exponent) {
    if (*p == '-' || *p == '+') {
        ++p;
    }
    const size_t integerLength = countDigits(p);
    if (integerLength == 0) {
        return false;
    }
    integer.assign(p, integerLength);
    p += integerLength;
    if (*p == '.') {
        const size_t length = countDigits(++p);
        if (length == 0) {
            return false;
        }
        fraction.assign(p, length);
        p += length;
    }
    if (*p == 'c' || *p == 'e' || *p == 'E') {
        ++p;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+') {
            ++p;
        }
        const size_t length = countDigits(p);
        if (length == 0 || length > 3) {
            return false;
        }
        exponent = std::atoi(std::string(p, length).c_str());
        exponent = negative ? -exponent : exponent;
        p += length;
    }
    return *p == '\0' && exponent <= MAX_EXPONENT;
}

// The exponent moves the decimal point; what stays right of it shows.
void movePoint(int exponent, std::string& integer, std::string& fraction) {
    if (exponent > 0) {
        const size_t moved = std::min(fraction.size(), static_cast<size_t>(exponent));
        integer += fraction.substr(0, moved);
        fraction.erase(0, moved);
        integer.append(static_cast<size_t>(exponent) - moved, '0');
    } else if (exponent < 0) {
        const size_t moved = std::min(integer.size(), static_cast<size_t>(-exponent));
        fraction.insert(0, integer.substr(integer.size() - moved));
        fraction.insert(0, static_cast<size_t>(-exponent) - moved, '0');
        integer.erase(integer.size() - moved);
    }
}

std::string trimmed(const char* begin, const char* end) {
    while (begin < end && xml::syntax::isSpace(*begin)) {
        ++begin;
    }
    while (end > begin && xml::syntax::isSpace(end[-1])) {
        --end;
    }
    return std::string(begin, end);
}

}  // namespace

// --- Operands ---------------------------------------------------------------------

bool PluralRules::Operands::parse(const char* text, Operands& out) {
    std::string integer;
    std::string fraction;
    int exponent = 0;
    if (text == nullptr || !readDecimal(text, integer, fraction, exponent)) {
        return false;
    }
    movePoint(exponent, integer, fraction);
    Operands result;
    result.i = digitsValue(integer);
    result.v = static_cast<unsigned>(fraction.size());
    result.f = digitsValue(fraction);
    size_t significant = fraction.find_last_not_of('0');
    fraction.erase(significant == std::string::npos ? 0 : significant + 1);
    result.w = static_cast<unsigned>(fraction.size());
    result.t = digitsValue(fraction);
    result.e = exponent > 0 ? static_cast<unsigned>(exponent) : 0;
    out = result;
    return true;
}

PluralRules::Operands PluralRules::Operands::fromInteger(long long value) {
    uint64_t magnitude =
        value < 0 ? static_cast<uint64_t>(-(value + 1)) + 1 : static_cast<uint64_t>(value);
    Operands result;
    result.i = magnitude >= LARGE ? magnitude % LARGE + LARGE : magnitude;
    return result;
}

PluralRules::Operands PluralRules::Operands::fromDouble(double value, int fractionDigits) {
    Operands result;
    if (!std::isfinite(value)) {
        result.i = LARGE;  // no category of a finite number fits it
        return result;
    }
    fractionDigits = std::max(0, std::min(fractionDigits, 30));
    char text[400];  // up to 309 integer digits, 30 fraction digits
    std::snprintf(text, sizeof text, "%.*f", fractionDigits, value);
    parse(text, result);
    return result;
}

// --- Parser -------------------------------------------------------------------------

class PluralRules::Parser {
  public:
    Parser(PluralRules& rules, const char* text) : mRules(rules), mText(text), mPos(text) {}

    void parse() {
        for (;;) {
            skipBlanks();
            if (*mPos == '\0') {
                break;
            }
            parseRule();
            skipBlanks();
            if (*mPos == ';') {
                ++mPos;
            } else if (*mPos != '\0') {
                fail("\";\" or the end expected");
            }
        }
    }

  private:
    [[noreturn]] void fail(const char* what) const {
        throw ::core::Exception("plural rules, position %u: %s",
                                static_cast<unsigned>(mPos - mText) + 1, what);
    }

    void skipBlanks() {
        while (xml::syntax::isSpace(*mPos)) {
            ++mPos;
        }
    }

    // A word of letters (operands, "and", "or", "mod", category names).
    size_t wordLength() const {
        size_t n = 0;
        while (std::isalpha(static_cast<unsigned char>(mPos[n]))) {
            ++n;
        }
        return n;
    }

    bool takeWord(const char* word) {
        skipBlanks();
        size_t length = std::strlen(word);
        if (wordLength() == length && std::strncmp(mPos, word, length) == 0) {
            mPos += length;
            return true;
        }
        return false;
    }

    bool take(const char* symbol) {
        skipBlanks();
        size_t length = std::strlen(symbol);
        if (std::strncmp(mPos, symbol, length) == 0) {
            mPos += length;
            return true;
        }
        return false;
    }

    uint64_t value() {
        skipBlanks();
        size_t length = countDigits(mPos);
        if (length == 0) {
            fail("a number expected");
        }
        if (length > MAX_DIGITS) {
            fail("a number of more than 18 digits");
        }
        uint64_t result = digitsValue(std::string(mPos, length));
        mPos += length;
        return result;
    }

    void parseRule() {
        Category category;
        size_t length = wordLength();
        if (!categoryOf(mPos, length, category)) {
            fail("a category expected (zero, one, two, few, many, other)");
        }
        if (category != OTHER && mRules.has(category)) {
            fail("a category given twice");
        }
        mPos += length;
        if (!take(":")) {
            fail("\":\" expected after the category");
        }
        Rule& rule = mRules.mRules[category];
        rule.firstRelation = static_cast<uint32_t>(mRules.mRelations.size());
        const char* begin = mPos;
        skipBlanks();
        if (*mPos != '@' && *mPos != ';' && *mPos != '\0') {
            if (category == OTHER) {
                fail("\"other\" takes no condition");
            }
            parseCondition();
        } else if (category != OTHER) {
            fail("a condition expected");
        }
        rule.condition = trimmed(begin, mPos);
        rule.relationCount = static_cast<uint32_t>(mRules.mRelations.size()) - rule.firstRelation;
        parseSamples(rule);
        mRules.mCategories |= 1u << category;
        if (!rule.integerSamples.empty()) {
            mRules.mIntegerCategories |= 1u << category;
        }
        if (category != OTHER) {
            mRules.mOrder.push_back(category);
        }
    }

    void parseCondition() {
        bool beginsGroup = true;
        do {
            do {
                parseRelation(beginsGroup);
                beginsGroup = false;
            } while (takeWord("and"));
            beginsGroup = true;
        } while (takeWord("or"));
    }

    void parseRelation(bool beginsGroup) {
        skipBlanks();
        Relation relation{};
        relation.beginsGroup = beginsGroup;
        if (wordLength() != 1 || std::strchr("nivwftce", *mPos) == nullptr) {
            fail("an operand expected (n i v w f t c e)");
        }
        relation.operand = *mPos == 'c' ? 'e' : *mPos;
        ++mPos;
        if (take("%") || takeWord("mod")) {
            relation.modulus = value();
            if (relation.modulus == 0) {
                fail("a remainder by 0");
            }
        }
        if (take("!=")) {
            relation.negated = true;
        } else if (!take("=")) {
            fail("\"=\" or \"!=\" expected");
        }
        relation.firstRange = static_cast<uint32_t>(mRules.mRanges.size());
        do {
            Range range;
            range.low = value();
            range.high = take("..") ? value() : range.low;
            if (range.high < range.low) {
                fail("a range that ends below its start");
            }
            mRules.mRanges.push_back(range);
        } while (take(","));
        relation.rangeCount = static_cast<uint32_t>(mRules.mRanges.size()) - relation.firstRange;
        mRules.mRelations.push_back(relation);
    }

    void parseSamples(Rule& rule) {
        skipBlanks();
        bool integerTaken = false;
        bool decimalTaken = false;
        while (*mPos == '@') {
            const char* at = mPos++;
            bool integer = takeWord("integer");
            if (!integer && !takeWord("decimal")) {
                fail("\"@integer\" or \"@decimal\" expected");
            }
            if ((integer && (integerTaken || decimalTaken)) || (!integer && decimalTaken)) {
                mPos = at;
                fail("samples given twice or out of order");
            }
            const char* begin = mPos;
            while (*mPos != '\0' && *mPos != ';' && *mPos != '@') {
                ++mPos;
            }
            (integer ? rule.integerSamples : rule.decimalSamples) = trimmed(begin, mPos);
            (integer ? integerTaken : decimalTaken) = true;
        }
    }

    PluralRules& mRules;
    const char* mText;
    const char* mPos;
};

PluralRules::PluralRules(const char* description) {
    Parser(*this, description != nullptr ? description : "").parse();
    // Tried in CLDR's order, whatever the order written, as a PO file's
    // expression tries them.
    std::sort(mOrder.begin(), mOrder.end());
    reduceForWholeNumbers();
}

void PluralRules::reduceForWholeNumbers() {
    const Operands zero;
    for (Category category : mOrder) {
        const Rule& rule = mRules[category];
        WholeRule whole{category, false, static_cast<uint32_t>(mWholeRelations.size()), 0};
        bool groupHolds = true;
        size_t groupStart = mWholeRelations.size();
        auto closeGroup = [&]() {
            if (!groupHolds) {
                mWholeRelations.resize(groupStart);  // never true for a whole number
            } else if (mWholeRelations.size() == groupStart) {
                whole.always = true;  // holds for every whole number
            }
        };
        for (uint32_t k = 0; k < rule.relationCount; ++k) {
            Relation relation = mRelations[rule.firstRelation + k];
            if (relation.beginsGroup && k > 0) {
                closeGroup();
                groupStart = mWholeRelations.size();
                groupHolds = true;
            }
            if (relation.operand == 'n' || relation.operand == 'i') {
                relation.beginsGroup = mWholeRelations.size() == groupStart;
                mWholeRelations.push_back(relation);
            } else {
                groupHolds = groupHolds && holds(relation, zero);
            }
        }
        closeGroup();
        whole.relationCount = static_cast<uint32_t>(mWholeRelations.size()) - whole.firstRelation;
        mWholeRules.push_back(whole);
    }
}

// --- Evaluation ------------------------------------------------------------------------

bool PluralRules::holds(const Relation& relation, const Operands& number) const {
    uint64_t x;
    bool fraction = false;
    switch (relation.operand) {
        case 'n':
            x = number.i;
            fraction = number.hasFraction();
            break;
        case 'i':
            x = number.i;
            break;
        case 'v':
            x = number.v;
            break;
        case 'w':
            x = number.w;
            break;
        case 'f':
            x = number.f;
            break;
        case 't':
            x = number.t;
            break;
        default:
            x = number.e;
    }
    // CLDR's moduli are 10, 100, 1000 and 1000000: by a constant, the
    // remainder is a multiplication instead of a division.
    switch (relation.modulus) {
        case 0:
            break;
        case 10:
            x %= 10;
            break;
        case 100:
            x %= 100;
            break;
        case 1000:
            x %= 1000;
            break;
        case 1000000:
            x %= 1000000;
            break;
        default:
            x %= relation.modulus;
    }
    bool match = false;
    // n with a fraction equals no integer, and ranges hold integers only.
    if (!fraction) {
        const Range* range = mRanges.data() + relation.firstRange;
        for (const Range* end = range + relation.rangeCount; range < end && !match; ++range) {
            match = x >= range->low && x <= range->high;
        }
    }
    return match != relation.negated;
}

// "and" binds tighter: the condition holds when one group holds in full.
bool PluralRules::matches(const Rule& rule, const Operands& number) const {
    const Relation* relation = mRelations.data() + rule.firstRelation;
    const Relation* end = relation + rule.relationCount;
    bool group = true;
    for (; relation < end; ++relation) {
        if (relation->beginsGroup && relation != mRelations.data() + rule.firstRelation) {
            if (group) {
                return true;
            }
            group = true;
        }
        group = group && holds(*relation, number);
    }
    return group;
}

PluralRules::Category PluralRules::selectWhole(uint64_t i) const {
    return i < SMALL_COUNTS ? mSmallCounts.get(*this, i) : selectWholeByRules(i);
}

PluralRules::Category PluralRules::selectWholeByRules(uint64_t i) const {
    Operands number;
    number.i = i;
    for (const WholeRule& rule : mWholeRules) {
        if (rule.always) {
            return rule.category;
        }
        const Relation* relation = mWholeRelations.data() + rule.firstRelation;
        const Relation* end = relation + rule.relationCount;
        bool group = false;
        for (; relation < end; ++relation) {
            if (relation->beginsGroup) {
                if (group) {
                    return rule.category;
                }
                group = true;
            }
            group = group && holds(*relation, number);
        }
        if (group) {
            return rule.category;
        }
    }
    return OTHER;
}

PluralRules::Category PluralRules::select(const Operands& number) const {
    if (number.v == 0 && number.e == 0 && number.i < LARGE) {
        return selectWhole(number.i);
    }
    for (Category category : mOrder) {
        if (matches(mRules[category], number)) {
            return category;
        }
    }
    return OTHER;
}

PluralRules::Category PluralRules::selectInteger(long long value) const {
    uint64_t magnitude =
        value < 0 ? static_cast<uint64_t>(-(value + 1)) + 1 : static_cast<uint64_t>(value);
    return magnitude < LARGE ? selectWhole(magnitude) : select(Operands::fromInteger(value));
}

bool PluralRules::select(const char* decimal, Category& category) const {
    Operands number;
    if (!Operands::parse(decimal, number)) {
        return false;
    }
    category = select(number);
    return true;
}

const char* PluralRules::categoryName(Category category) {
    return CATEGORY_NAMES[category];
}

bool PluralRules::categoryOf(const char* name, size_t length, Category& category) {
    for (int k = 0; k < CATEGORY_COUNT; ++k) {
        if (std::strlen(CATEGORY_NAMES[k]) == length &&
            std::strncmp(name, CATEGORY_NAMES[k], length) == 0) {
            category = static_cast<Category>(k);
            return true;
        }
    }
    return false;
}

// --- Samples and descriptions --------------------------------------------------------

namespace {

// "0.00~0.04" spelt out in steps of its last digit; both ends have the same
// number of fraction digits.
void expandRange(const std::string& low, const std::string& high, size_t limit,
                 std::vector<std::string>& out) {
    size_t point = low.find('.');
    size_t decimals = point == std::string::npos ? 0 : low.size() - point - 1;
    std::string lowDigits = low;
    std::string highDigits = high;
    lowDigits.erase(std::remove(lowDigits.begin(), lowDigits.end(), '.'), lowDigits.end());
    highDigits.erase(std::remove(highDigits.begin(), highDigits.end(), '.'), highDigits.end());
    if (countDigits(lowDigits.c_str()) != lowDigits.size() ||
        countDigits(highDigits.c_str()) != highDigits.size() || lowDigits.size() > MAX_DIGITS ||
        highDigits.size() > MAX_DIGITS) {
        out.push_back(low);  // not a plain range: its ends as written
        out.push_back(high);
        return;
    }
    uint64_t from = digitsValue(lowDigits);
    uint64_t to = digitsValue(highDigits);
    for (uint64_t k = from; k <= to && out.size() < limit; ++k) {
        std::string digits = std::to_string(k);
        if (decimals > 0) {
            if (digits.size() <= decimals) {
                digits.insert(0, decimals + 1 - digits.size(), '0');
            }
            digits.insert(digits.size() - decimals, ".");
        }
        out.push_back(digits);
    }
}

}  // namespace

std::vector<std::string> PluralRules::samples(Category category, bool decimals,
                                              size_t limit) const {
    const std::string& text =
        decimals ? mRules[category].decimalSamples : mRules[category].integerSamples;
    std::vector<std::string> out;
    for (size_t from = 0; from < text.size() && out.size() < limit;) {
        size_t end = text.find(',', from);
        end = end == std::string::npos ? text.size() : end;
        std::string item = trimmed(text.c_str() + from, text.c_str() + end);
        size_t tilde = item.find('~');
        if (tilde != std::string::npos) {
            expandRange(item.substr(0, tilde), item.substr(tilde + 1), limit, out);
        } else if (!item.empty() && item != "…" && item != "...") {
            out.push_back(item);
        }
        from = end + 1;
    }
    if (out.size() > limit) {
        out.resize(limit);
    }
    return out;
}

std::string PluralRules::describe() const {
    std::string out;
    for (int k = 0; k < CATEGORY_COUNT; ++k) {
        const Rule& rule = mRules[k];
        if (!has(static_cast<Category>(k))) {
            continue;
        }
        out += CATEGORY_NAMES[k];
        out += ":";
        if (!rule.condition.empty()) {
            out += " " + rule.condition;
        }
        if (!rule.integerSamples.empty()) {
            out += " @integer " + rule.integerSamples;
        }
        if (!rule.decimalSamples.empty()) {
            out += " @decimal " + rule.decimalSamples;
        }
        out += ";\n";
    }
    out.erase(out.size() - 2, 1);  // the last rule ends the description
    return out;
}

// --- As gettext's expressions ------------------------------------------------------

std::string PluralRules::relationExpression(const Relation& relation) const {
    std::string x = "n";
    if (relation.modulus != 0) {
        x += " % " + std::to_string(relation.modulus);
    }
    std::string any;
    const Range* range = mRanges.data() + relation.firstRange;
    for (uint32_t k = 0; k < relation.rangeCount; ++k, ++range) {
        any += k == 0 ? "" : " || ";
        if (range->low == range->high) {
            any += x + (relation.negated && relation.rangeCount == 1 ? " != " : " == ") +
                   std::to_string(range->low);
        } else {
            any += x + " >= " + std::to_string(range->low) + " && " + x +
                   " <= " + std::to_string(range->high);
        }
    }
    bool single = relation.rangeCount == 1 && range[-1].low == range[-1].high;
    if (relation.negated && !single) {
        return "!(" + any + ")";
    }
    return relation.rangeCount > 1 ? "(" + any + ")" : any;
}

std::string PluralRules::integerExpression(Category category) const {
    if (category == OTHER || !has(category)) {
        return category == OTHER ? "1" : "0";
    }
    // A whole number's v, w, f, t and e are 0: relations on them are known,
    // a group with one that fails drops out, one that holds drops out of
    // its group.
    const Operands zero;
    const Rule& rule = mRules[category];
    std::vector<std::string> groups;
    std::vector<std::string> group;
    bool groupHolds = true;
    auto closeGroup = [&]() {
        if (!groupHolds) {
            return;
        }
        std::string joined;
        for (size_t k = 0; k < group.size(); ++k) {
            joined += (k == 0 ? "" : " && ") + group[k];
        }
        groups.push_back(joined.empty() ? "1" : joined);
    };
    for (uint32_t k = 0; k < rule.relationCount; ++k) {
        const Relation& relation = mRelations[rule.firstRelation + k];
        if (relation.beginsGroup && k > 0) {
            closeGroup();
            group.clear();
            groupHolds = true;
        }
        if (relation.operand == 'n' || relation.operand == 'i') {
            group.push_back(relationExpression(relation));
        } else {
            groupHolds = groupHolds && holds(relation, zero);
        }
    }
    closeGroup();
    if (groups.empty()) {
        return "0";
    }
    std::string out;
    for (size_t k = 0; k < groups.size(); ++k) {
        if (groups[k] == "1") {
            return "1";
        }
        bool wrap = groups.size() > 1 && groups[k].find("&&") != std::string::npos;
        out += (k == 0 ? "" : " || ") + (wrap ? "(" + groups[k] + ")" : groups[k]);
    }
    return out;
}

// --- The locales of CLDR ---------------------------------------------------------------

namespace {

struct LocaleTable {
    std::vector<std::unique_ptr<PluralRules>> rules;
    std::map<std::string, const PluralRules*> byLocale[2];
    const PluralRules* root[2] = {nullptr, nullptr};
};

const LocaleTable& localeTable() {
    static const LocaleTable table = [] {
        LocaleTable made;
        for (size_t k = 0; k < PLURAL_DATA_COUNT; ++k) {
            const PluralData& data = PLURAL_DATA[k];
            made.rules.emplace_back(new PluralRules(data.rules));
            const char* locales = data.locales;
            while (*locales != '\0') {
                size_t length = std::strcspn(locales, " ");
                made.byLocale[data.type].emplace(std::string(locales, length),
                                                 made.rules.back().get());
                locales += length;
                locales += *locales == ' ' ? 1 : 0;
            }
        }
        for (int type = 0; type < 2; ++type) {
            auto root = made.byLocale[type].find("root");
            made.root[type] = root != made.byLocale[type].end() ? root->second : nullptr;
        }
        return made;
    }();
    return table;
}

}  // namespace

const PluralRules& PluralRules::forLanguage(const char* code, Type type) {
    static const PluralRules OTHER_ONLY("other:");
    const LocaleTable& table = localeTable();
    const auto& locales = table.byLocale[type];
    for (std::string candidate = LocaleCode::cldr(code); !candidate.empty();
         candidate = LocaleCode::parent(candidate)) {
        auto found = locales.find(candidate);
        if (found != locales.end()) {
            return *found->second;
        }
    }
    return table.root[type] != nullptr ? *table.root[type] : OTHER_ONLY;
}

std::vector<std::string> PluralRules::locales(Type type) {
    std::vector<std::string> out;
    for (const auto& entry : localeTable().byLocale[type]) {
        out.push_back(entry.first);
    }
    return out;
}

const char* PluralRules::cldrVersion() {
    return PLURAL_CLDR_VERSION;
}

}  // namespace i18n
}  // namespace kavri
