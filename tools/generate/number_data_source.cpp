// Writes i18n/NumberData.cpp from CLDR's locale files (common/main/*.xml)
// and supplemental data, read with the library's own XML reader, so that a
// program using the library never needs CLDR's files:
//
//   kavrixml_number_data_source 41 /usr/share/unicode/cldr/common > i18n/NumberData.cpp
//
// Every locale gets its values resolved here, as CLDR inherits them: from
// its parent locale (supplementalData's parentLocales, else the code
// without its last part, else root), "↑↑↑" meaning the parent's, root's
// aliases to the Latin records meaning the same locale's Latin records.
// Values CLDR marks provisional or unconfirmed are left out, as the common
// formatters do. Identical records are written once.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/kavrimain/FileInputStream.h"
#include "framework/plinth/Exception.h"
#include "i18n/LocaleCode.h"
#include "i18n/NumberData.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XNode.h"

namespace {

using kavri::xml::XNode;

const char* const INHERITED = "\xE2\x86\x91\xE2\x86\x91\xE2\x86\x91";  // "↑↑↑"
// The last two stand in currency amounts; a locale without them uses the first two.
const char* const SYMBOL_FIELDS[] = {"decimal",     "group",           "minusSign",    "plusSign",
                                     "percentSign", "currencyDecimal", "currencyGroup"};
const char* const PATTERN_KINDS[] = {"decimal", "percent", "currency"};

// What one locale file says itself.
struct LocaleFile {
    std::string defaultSystem;
    int minimumGrouping = 0;  // 0: not said
    // numbering system -> field or pattern kind -> value; an alias to the
    // Latin record is the value "=latn" under the field "".
    std::map<std::string, std::map<std::string, std::string>> symbols;
    std::map<std::string, std::map<std::string, std::string>> patterns;
    std::map<std::string, std::pair<std::string, std::string>> currencies;  // symbol, narrow
};

std::unique_ptr<kavri::xml::Document> read(const std::string& path) {
    kavri::stream::FileInputStream in(path.c_str());
    kavri::xml::DOMParser parser;
    parser.setLenient(true);  // CLDR names its DTD with SYSTEM alone
    return std::unique_ptr<kavri::xml::Document>(parser.parse(&in));
}

bool is(const XNode* node, const char* name) {
    return std::strcmp(node->getName(), name) == 0;
}

// A value the common formatters use: not provisional, not unconfirmed, no
// alternative, not "↑↑↑".
bool usable(const XNode* node) {
    std::string draft = node->getAttributeChar("draft", "");
    return draft != "provisional" && draft != "unconfirmed" &&
           *node->getAttributeChar("alt", "") == '\0' && node->getBodyString() != INHERITED;
}

bool isAlias(const XNode* node) {
    for (const auto& child : node->getChildren()) {
        if (is(child, "alias")) {
            return true;
        }
    }
    return false;
}

// The first descendant along a path of element names, each matching
// `type` when given (a length without type: the one without it).
const XNode* pattern(const XNode* formats, const char* length, const char* format,
                     const char* type) {
    for (const auto& lengthNode : formats->getChildren()) {
        if (!is(lengthNode, length) || *lengthNode->getAttributeChar("type", "") != '\0') {
            continue;
        }
        for (const auto& formatNode : lengthNode->getChildren()) {
            if (!is(formatNode, format) ||
                std::strcmp(formatNode->getAttributeChar("type", "standard"), type) != 0) {
                continue;
            }
            for (const auto& patternNode : formatNode->getChildren()) {
                if (is(patternNode, "pattern") && usable(patternNode) &&
                    *patternNode->getAttributeChar("count", "") == '\0') {
                    return patternNode;
                }
            }
        }
    }
    return nullptr;
}

void readSymbols(const XNode* node, std::map<std::string, std::string>& into) {
    if (isAlias(node)) {
        into[""] = "=latn";
    }
    for (const auto& child : node->getChildren()) {
        for (const char* field : SYMBOL_FIELDS) {
            if (is(child, field) && usable(child)) {
                into[field] = child->getBodyString();
            }
        }
    }
}

void readPatterns(const XNode* node, const char* kind, std::map<std::string, std::string>& into) {
    if (isAlias(node)) {
        into[std::string("=") + kind] = "=latn";
        return;
    }
    std::string name(kind);
    const XNode* found =
        pattern(node, (name + "FormatLength").c_str(), (name + "Format").c_str(), "standard");
    if (found != nullptr) {
        into[kind] = found->getBodyString();
    }
}

void readCurrencies(const XNode* currencies, LocaleFile& file) {
    for (const auto& currency : currencies->getChildren()) {
        if (!is(currency, "currency")) {
            continue;
        }
        auto& entry = file.currencies[currency->getAttributeChar("type", "")];
        for (const auto& symbol : currency->getChildren()) {
            std::string draft = symbol->getAttributeChar("draft", "");
            std::string alt = symbol->getAttributeChar("alt", "");
            if (!is(symbol, "symbol") || draft == "provisional" || draft == "unconfirmed" ||
                symbol->getBodyString() == INHERITED) {
                continue;
            }
            if (alt.empty()) {
                entry.first = symbol->getBodyString();
            } else if (alt == "narrow") {
                entry.second = symbol->getBodyString();
            }
        }
    }
}

LocaleFile readLocale(const std::string& path) {
    LocaleFile file;
    auto document = read(path);
    const XNode* numbers = document->getRootNode()->getFirstChild("numbers");
    if (numbers == nullptr) {
        return file;
    }
    for (const auto& child : numbers->getChildren()) {
        std::string system = child->getAttributeChar("numberSystem", "");
        if (is(child, "defaultNumberingSystem") && usable(child)) {
            file.defaultSystem = child->getBodyString();
        } else if (is(child, "minimumGroupingDigits") && usable(child)) {
            file.minimumGrouping = std::atoi(child->getBody());
        } else if (is(child, "symbols") && !system.empty()) {
            readSymbols(child, file.symbols[system]);
        } else if (system.empty()) {
            if (is(child, "currencies")) {
                readCurrencies(child, file);
            }
        } else {
            for (const char* kind : PATTERN_KINDS) {
                if (is(child, (std::string(kind) + "Formats").c_str())) {
                    readPatterns(child, kind, file.patterns[system]);
                }
            }
        }
    }
    return file;
}

// --- Resolving by inheritance -------------------------------------------------------

struct Cldr {
    std::map<std::string, LocaleFile> locales;
    std::map<std::string, std::string> parents;  // parentLocales
    std::map<std::string, std::string> systems;  // numeric numbering systems: digits
    std::map<std::string, int> currencyDigits;

    std::string parentOf(const std::string& name) const {
        auto found = parents.find(name);
        if (found != parents.end()) {
            return found->second;
        }
        std::string shorter = kavri::i18n::LocaleCode::parent(name);
        return name == "root" ? std::string() : (shorter.empty() ? "root" : shorter);
    }

    std::vector<const LocaleFile*> chain(const std::string& name) const {
        std::vector<const LocaleFile*> out;
        for (std::string at = name; !at.empty(); at = parentOf(at)) {
            auto found = locales.find(at);
            if (found != locales.end()) {
                out.push_back(&found->second);
            }
        }
        return out;
    }
};

// A value of a system's record (symbols or patterns) by inheritance; an
// alias in the chain, or a system nobody describes, starts over with the
// Latin record of the same locale. Without a value anywhere: `otherwise`,
// or a fault when that is null.
std::string resolve(const Cldr& cldr, const std::string& locale, const std::string& system,
                    const std::string& key, const std::string& aliasKey,
                    std::map<std::string, std::map<std::string, std::string>> LocaleFile::*table,
                    const char* otherwise = nullptr) {
    for (const LocaleFile* file : cldr.chain(locale)) {
        auto records = (file->*table).find(system);
        if (records == (file->*table).end()) {
            continue;
        }
        auto value = records->second.find(key);
        if (value != records->second.end()) {
            return value->second;
        }
        if (records->second.count(aliasKey) != 0 && system != "latn") {
            return resolve(cldr, locale, "latn", key, aliasKey, table, otherwise);
        }
    }
    if (system != "latn") {  // root's record for any system
        return resolve(cldr, locale, "latn", key, aliasKey, table, otherwise);
    }
    if (otherwise != nullptr) {
        return otherwise;
    }
    throw core::Exception("%s: no %s for %s", locale.c_str(), key.c_str(), system.c_str());
}

// --- Patterns -------------------------------------------------------------------------

struct Affixes {
    std::string prefix;
    std::string suffix;
};

// An affix as NumberFormat reads it: quotes removed, symbols as bytes.
std::string affix(const std::string& text) {
    std::string out;
    bool quoted = false;
    for (size_t k = 0; k < text.size(); ++k) {
        char c = text[k];
        if (c == '\'') {
            if (k + 1 < text.size() && text[k + 1] == '\'') {
                out += '\'', ++k;
            } else {
                quoted = !quoted;
            }
        } else if (quoted) {
            out += c;
        } else if (c == '%') {
            out += kavri::i18n::AFFIX_PERCENT;
        } else if (c == '-') {
            out += kavri::i18n::AFFIX_MINUS;
        } else if (c == '+') {
            out += kavri::i18n::AFFIX_PLUS;
        } else if (text.compare(k, 2, "\xC2\xA4") == 0) {
            while (text.compare(k + 2, 2, "\xC2\xA4") == 0) {
                k += 2;  // "¤¤" and longer name the currency otherwise; a symbol serves
            }
            out += kavri::i18n::AFFIX_CURRENCY, ++k;
        } else {
            out += c;
        }
    }
    return out;
}

// One part of a pattern: prefix, number, suffix; the number as written.
std::string splitPart(const std::string& text, Affixes& affixes) {
    const char* numberChars = "#0123456789@,.";
    size_t begin = 0;
    bool quoted = false;
    while (begin < text.size() && (quoted || !std::strchr(numberChars, text[begin]))) {
        quoted = text[begin++] == '\'' ? !quoted : quoted;
    }
    size_t end = begin;
    while (end < text.size() && std::strchr(numberChars, text[end])) {
        ++end;
    }
    affixes.prefix = affix(text.substr(0, begin));
    affixes.suffix = affix(text.substr(end));
    return text.substr(begin, end - begin);
}

struct Pattern {
    Affixes positive;
    Affixes negative;
    int primary = 0;
    int secondary = 0;
    int minimumInteger = 0;
    int minimumFraction = 0;
    int maximumFraction = 0;
};

Pattern parsePattern(const std::string& text) {
    Pattern out;
    size_t semicolon = text.find(';');
    std::string number = splitPart(text.substr(0, semicolon), out.positive);
    if (semicolon != std::string::npos) {
        splitPart(text.substr(semicolon + 1), out.negative);
    } else {
        out.negative.prefix = std::string(1, kavri::i18n::AFFIX_MINUS) + out.positive.prefix;
        out.negative.suffix = out.positive.suffix;
    }
    size_t point = std::min(number.find('.'), number.size());
    std::string integer = number.substr(0, point);
    size_t last = integer.rfind(',');
    if (last != std::string::npos) {
        out.primary = static_cast<int>(integer.size() - last - 1);
        size_t before = integer.rfind(',', last - 1);
        out.secondary =
            before == std::string::npos || last == 0 ? 0 : static_cast<int>(last - before - 1);
        out.secondary = out.secondary == out.primary ? 0 : out.secondary;
    }
    out.minimumInteger = static_cast<int>(std::count(integer.begin(), integer.end(), '0'));
    for (size_t k = point + 1; k < number.size(); ++k) {
        out.minimumFraction += number[k] == '0' ? 1 : 0;
        out.maximumFraction += 1;
    }
    return out;
}

// --- Writing ---------------------------------------------------------------------------

// A C string literal; control bytes in octal (they cannot run on into a
// following digit as hex would), UTF-8 as it is.
std::string literal(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\', out += static_cast<char>(c);
        } else if (c < 0x20) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Rows written once each, numbered in order of first use.
struct Table {
    std::vector<std::string> rows;
    std::map<std::string, size_t> index;

    size_t add(const std::string& row) {
        auto found = index.emplace(row, rows.size());
        if (found.second) {
            rows.push_back(row);
        }
        return found.first->second;
    }
};

struct Output {
    Table systems, symbols, patterns, formats;
    std::vector<size_t> localeFormats;
    std::vector<std::string> locales, currencies;
};

std::string patternRow(const std::string& text) {
    Pattern p = parsePattern(text);
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%d, %d, %d, %d, %d", p.primary, p.secondary,
                  p.minimumInteger, p.minimumFraction, p.maximumFraction);
    return literal(p.positive.prefix) + ", " + literal(p.positive.suffix) + ", " +
           literal(p.negative.prefix) + ", " + literal(p.negative.suffix) + ", " + numbers;
}

size_t formatsRow(const Cldr& cldr, const std::string& locale, const std::string& system,
                  Output& out) {
    std::string symbols;
    std::vector<std::string> values;
    values.reserve(sizeof SYMBOL_FIELDS / sizeof SYMBOL_FIELDS[0]);
    for (const char* field : SYMBOL_FIELDS) {
        const char* otherwise = values.size() >= 5 ? values[values.size() - 5].c_str() : nullptr;
        values.push_back(resolve(cldr, locale, system, field, "", &LocaleFile::symbols, otherwise));
        symbols += (symbols.empty() ? "" : ", ") + literal(values.back());
    }
    std::string row =
        std::to_string(out.systems.add(system)) + ", " + std::to_string(out.symbols.add(symbols));
    for (const char* kind : PATTERN_KINDS) {
        std::string text =
            resolve(cldr, locale, system, kind, std::string("=") + kind, &LocaleFile::patterns);
        row += ", " + std::to_string(out.patterns.add(patternRow(text)));
    }
    return out.formats.add(row);
}

// The systems a locale has records for: its default, Latin, and those its
// chain gives symbols of its own.
std::set<std::string> systemsOf(const Cldr& cldr, const std::string& locale,
                                const std::string& native) {
    std::set<std::string> out = {native, "latn"};
    for (const LocaleFile* file : cldr.chain(locale)) {
        for (const auto& record : file->symbols) {
            if (record.second.count("") == 0 && cldr.systems.count(record.first) != 0) {
                out.insert(record.first);
            }
        }
    }
    return out;
}

template <typename T>
T inherited(const Cldr& cldr, const std::string& locale, T LocaleFile::*field, T none) {
    for (const LocaleFile* file : cldr.chain(locale)) {
        if (file->*field != none) {
            return file->*field;
        }
    }
    return none;
}

// The first symbol (or narrow symbol) of a currency along a chain; "" when
// none gives one.
std::string firstSymbol(const std::vector<const LocaleFile*>& chain, const std::string& code,
                        bool narrow) {
    for (const LocaleFile* file : chain) {
        auto found = file->currencies.find(code);
        if (found != file->currencies.end()) {
            const std::string& value = narrow ? found->second.second : found->second.first;
            if (!value.empty()) {
                return value;
            }
        }
    }
    return std::string();
}

// The currency symbols of a locale that NumberFormat would not find by
// inheritance: a symbol is looked for along the chain, then the code
// stands; a narrow symbol along the chain, then the symbol stands.
void writeCurrencies(const Cldr& cldr, const std::string& locale, Output& out) {
    auto chain = cldr.chain(locale);
    auto parentChain = cldr.chain(cldr.parentOf(locale));
    for (const auto& currency : cldr.locales.at(locale).currencies) {
        const std::string& code = currency.first;
        std::string inherited = firstSymbol(parentChain, code, false);
        std::string symbol = firstSymbol(chain, code, false);
        bool newSymbol =
            !currency.second.first.empty() && symbol != (inherited.empty() ? code : inherited);
        std::string inheritedNarrow = firstSymbol(parentChain, code, true);
        const std::string& narrow = currency.second.second;
        bool newNarrow =
            !narrow.empty() && narrow != (inheritedNarrow.empty() ? (symbol.empty() ? code : symbol)
                                                                  : inheritedNarrow);
        if (newSymbol || newNarrow) {
            out.currencies.push_back(literal(code) + ", " +
                                     (newSymbol ? literal(symbol) : "nullptr") + ", " +
                                     (newNarrow ? literal(narrow) : "nullptr"));
        }
    }
}

void writeLocale(const Cldr& cldr, const std::string& locale, int parent, Output& out) {
    std::string native = inherited<std::string>(cldr, locale, &LocaleFile::defaultSystem, "");
    int grouping = inherited<int>(cldr, locale, &LocaleFile::minimumGrouping, 0);
    size_t firstFormats = out.localeFormats.size();
    size_t defaultFormats = 0;
    for (const std::string& system : systemsOf(cldr, locale, native)) {
        size_t row = formatsRow(cldr, locale, system, out);
        defaultFormats = system == native ? row : defaultFormats;
        out.localeFormats.push_back(row);
    }
    size_t firstCurrency = out.currencies.size();
    writeCurrencies(cldr, locale, out);
    char row[256];
    std::snprintf(row, sizeof row, "%s, %d, %d, %zu, %zu, %zu, %zu, %zu", literal(locale).c_str(),
                  parent, grouping > 0 ? grouping : 1, defaultFormats, firstFormats,
                  out.localeFormats.size() - firstFormats, firstCurrency,
                  out.currencies.size() - firstCurrency);
    out.locales.push_back(row);
}

void printTable(const char* declaration, const std::vector<std::string>& rows) {
    std::printf("%s = {\n", declaration);
    for (const std::string& row : rows) {
        std::printf("    {%s},\n", row.c_str());
    }
    std::printf("};\n\n");
}

void writeSource(const Cldr& cldr, const char* version) {
    Output out;
    std::vector<std::string> names;
    for (const auto& locale : cldr.locales) {
        names.push_back(locale.first);
    }
    for (const std::string& name : names) {
        std::string parent = cldr.parentOf(name);
        while (!parent.empty() && cldr.locales.count(parent) == 0) {
            parent = cldr.parentOf(parent);
        }
        int index = parent.empty()
                        ? -1
                        : static_cast<int>(std::lower_bound(names.begin(), names.end(), parent) -
                                           names.begin());
        writeLocale(cldr, name, index, out);
    }
    std::vector<std::string> systems, digits;
    for (const std::string& system : out.systems.rows) {
        systems.push_back(literal(system) + ", " + literal(cldr.systems.at(system)));
    }
    for (const auto& currency : cldr.currencyDigits) {
        digits.push_back(literal(currency.first) + ", " + std::to_string(currency.second));
    }
    std::printf(
        "// Generated from CLDR %s (common/main and common/supplemental) by\n"
        "// scripts/generate-number-data.sh: do not edit.\n"
        "// clang-format off\n"
        "#include \"i18n/NumberData.h\"\n\n"
        "namespace kavri {\nnamespace i18n {\n\n"
        "const char* const NUMBER_CLDR_VERSION = %s;\n\n",
        version, literal(version).c_str());
    printTable("const NumberingSystemData NUMBERING_SYSTEMS[]", systems);
    std::printf("const size_t NUMBERING_SYSTEMS_COUNT = %zu;\n\n", systems.size());
    printTable("const NumberSymbolsData NUMBER_SYMBOLS[]", out.symbols.rows);
    printTable("const NumberPatternData NUMBER_PATTERNS[]", out.patterns.rows);
    printTable("const NumberFormatsData NUMBER_FORMATS[]", out.formats.rows);
    std::printf("const uint16_t NUMBER_LOCALE_FORMATS[] = {");
    for (size_t k = 0; k < out.localeFormats.size(); ++k) {
        std::printf("%s%zu,", k % 24 == 0 ? "\n   " : "", out.localeFormats[k]);
    }
    std::printf("\n};\n\n");
    printTable("const NumberLocaleData NUMBER_LOCALES[]", out.locales);
    std::printf("const size_t NUMBER_LOCALES_COUNT = %zu;\n\n", out.locales.size());
    printTable("const CurrencySymbolsData CURRENCY_SYMBOLS[]", out.currencies);
    printTable("const CurrencyDigitsData CURRENCY_DIGITS[]", digits);
    std::printf("const size_t CURRENCY_DIGITS_COUNT = %zu;\n\n", digits.size());
    std::printf("}  // namespace i18n\n}  // namespace kavri\n");
}

// --- Supplemental data ------------------------------------------------------------------

void readSupplemental(const std::string& common, Cldr& cldr) {
    auto document = read(common + "/supplemental/supplementalData.xml");
    const XNode* root = document->getRootNode();
    for (const auto& section : root->getChildren()) {
        bool parents =
            is(section, "parentLocales") && *section->getAttributeChar("component", "") == '\0';
        for (const auto& entry : section->getChildren()) {
            if (parents && is(entry, "parentLocale")) {
                std::string locales = entry->getAttributeChar("locales", "");
                for (size_t at = 0; at < locales.size();) {
                    size_t end = std::min(locales.find(' ', at), locales.size());
                    cldr.parents[locales.substr(at, end - at)] =
                        entry->getAttributeChar("parent", "");
                    at = end + 1;
                }
            }
        }
        const XNode* fractions =
            is(section, "currencyData") ? section->getFirstChild("fractions") : nullptr;
        if (fractions == nullptr) {
            continue;
        }
        for (const auto& info : fractions->getChildren()) {
            std::string code = info->getAttributeChar("iso4217", "");
            int digits = std::atoi(info->getAttributeChar("digits", "2"));
            if (code != "DEFAULT" && digits != 2) {
                cldr.currencyDigits[code] = digits;
            }
        }
    }
    auto systems = read(common + "/supplemental/numberingSystems.xml");
    const XNode* list = systems->getRootNode()->getFirstChild("numberingSystems");
    for (const auto& system : list->getChildren()) {
        if (std::strcmp(system->getAttributeChar("type", ""), "numeric") == 0) {
            cldr.systems[system->getAttributeChar("id", "")] =
                system->getAttributeChar("digits", "");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CLDR_VERSION CLDR_COMMON_DIR\n", argv[0]);
        return 2;
    }
    try {
        Cldr cldr;
        std::string common = argv[2];
        readSupplemental(common, cldr);
        for (const auto& entry : std::filesystem::directory_iterator(common + "/main")) {
            std::string file = entry.path().filename().string();
            if (entry.path().extension() == ".xml") {
                cldr.locales[file.substr(0, file.size() - 4)] = readLocale(entry.path().string());
            }
        }
        writeSource(cldr, argv[1]);
    } catch (const core::Exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.getMessage());
        return 1;
    }
    return 0;
}
