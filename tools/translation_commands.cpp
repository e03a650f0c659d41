// kavrixml i18n-export and i18n-import: the round trip between a bundle's
// files and the XLIFF or PO files that translators work on in their tools.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/kavrimain/DiskFileSystem.h"
#include "framework/plinth/Exception.h"
#include "i18n/Bundle.h"
#include "i18n/BundleFile.h"
#include "i18n/FormatCheck.h"
#include "i18n/PluralExpression.h"
#include "tools/Command.h"
#include "tools/MessageChecks.h"
#include "tools/POFile.h"
#include "tools/PluralKeys.h"
#include "tools/TranslationFile.h"
#include "tools/XLIFFFile.h"

namespace kavrixml_tool {

namespace {

using kavri::i18n::BundleFile;
using kavri::i18n::FormatCheck;

const char* const EXPORT_USAGE =
    "usage: kavrixml i18n-export --lang CODE [--format xliff|po] [--source-lang CODE]\n"
    "                            [-o OUT] ROOTFILE\n"
    "\n"
    "Writes the texts of one language for a translator's tool: one unit per key\n"
    "of the base file ROOTFILE (texts.xml or texts.json), with the base text as\n"
    "source and the text of the localized file (texts_CODE.xml) as target.\n"
    "Keys the localized file lacks get an empty target, marked untranslated\n"
    "(XLIFF: state \"initial\"; PO: an empty msgstr); keys only the localized file\n"
    "has are left out. Each unit notes the printf conversions and ${name}\n"
    "references that its translation must keep.\n"
    "\n"
    "A plural key (KEY_one, KEY_other, ...) goes out in the forms the target\n"
    "language needs by CLDR's rules. PO: one entry with msgid_plural and\n"
    "msgstr[0..N-1] under a generated Plural-Forms header (forms only fractions\n"
    "reach, and ordinals, as entries of their own). XLIFF: one unit per form\n"
    "(id KEY_few). Each form notes the numbers it is for.\n"
    "\n"
    "  --lang CODE          the language to translate into (required)\n"
    "  --format xliff|po    XLIFF 2.0 (the default) or gettext PO; without it,\n"
    "                       an OUT ending in .po means PO\n"
    "  --source-lang CODE   the language of the base file (default: en)\n"
    "  -o OUT               write to the file OUT instead of standard output\n"
    "\n"
    "Exit status: 0 success, 1 a bundle file that cannot be read or an output\n"
    "that cannot be written, 2 usage error.\n";

const char* const IMPORT_USAGE =
    "usage: kavrixml i18n-import [--dry-run] [--lang CODE] ROOTFILE TRANSLATED\n"
    "\n"
    "Takes the translations of an XLIFF (.xlf, .xliff) or PO (.po) file into the\n"
    "localized file beside ROOTFILE (texts_CODE.xml beside texts.xml), in the\n"
    "root's format; the language is the file's (XLIFF trgLang, PO \"Language:\").\n"
    "\n"
    "Only keys of the base file are taken, and the plural forms that the file's\n"
    "language needs for its plural keys; a PO file's forms are mapped by its own\n"
    "Plural-Forms expression, which must order the same forms as CLDR's rules\n"
    "(else the file is refused: TRANSLATED:LINE: REASON). An empty target is untranslated and\n"
    "changes nothing (so does a fuzzy PO entry). A translation is refused when\n"
    "its printf conversions read other arguments than the base text's, when it\n"
    "is no valid format, or when it refers to a text that does not exist; each\n"
    "refusal is one line, and the other keys still go in:\n"
    "\n"
    "  TRANSLATED:LINE: KEY: REASON\n"
    "\n"
    "Keys the translated file does not mention keep their texts, byte for byte.\n"
    "The localized file is written beside itself and then renamed over the old\n"
    "one, so a failure leaves the old file whole; when nothing changes it is not\n"
    "written at all. Then one line per change and a summary:\n"
    "\n"
    "  FILE: KEY: added|changed\n"
    "  summary CODE (FILE): N added, M changed, R refused; written\n"
    "\n"
    "  --dry-run    print what would change; write nothing\n"
    "  --lang CODE  the language, for a file that does not name it\n"
    "\n"
    "Exit status: 0 success, 1 refusals or a file that cannot be read or written,\n"
    "2 usage error.\n";

const char* const DEFAULT_SOURCE_LANGUAGE = "en";

// A language code becomes part of a file name: letters, digits, "-", "_"
// and "@" only, so that no code reaches another folder.
bool isLanguageCode(const std::string& code) {
    if (code.empty()) {
        return false;
    }
    for (char c : code) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '-' && c != '_' && c != '@') {
            return false;
        }
    }
    return true;
}

// Writes `bytes` to a file beside `path` and renames it over `path`: readers
// of `path` see the old file or the new one, never a part, and a failure
// leaves the old file as it was. The new file keeps the old one's mode.
void replaceFile(const std::string& path, const std::string& bytes) {
    std::string temporary = path + ".kavrixml-tmp";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) {
        throw core::Exception("cannot write %s: %s", temporary.c_str(), std::strerror(errno));
    }
    struct stat old;
    if (stat(path.c_str(), &old) == 0) {
        fchmod(fileno(out), old.st_mode & 07777);
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() &&
                   std::fflush(out) == 0 && fsync(fileno(out)) == 0;
    int error = errno;
    if (std::fclose(out) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written) {
        if (std::rename(temporary.c_str(), path.c_str()) == 0) {
            return;
        }
        error = errno;
    }
    std::remove(temporary.c_str());
    throw core::Exception("cannot write %s: %s", path.c_str(), std::strerror(error));
}

// The texts of a bundle file; "FILE: cannot be loaded: REASON" when it has
// none to give.
BundleFile::Entries loadFile(kavri::vfs::FileSystem& fileSystem, const RootFile& root,
                             const std::string& name) {
    try {
        return BundleFile::readEntries(&fileSystem, name.c_str());
    } catch (const core::Exception& e) {
        throw core::Exception("%s: cannot be loaded: %s", root.display(name).c_str(),
                              e.getMessage());
    }
}

// The base file's texts, after the checks that every i18n command makes.
BundleFile::Entries loadBase(kavri::vfs::FileSystem& fileSystem, const RootFile& root,
                             const std::string& shown) {
    if (BundleFile::formatOf(root.name.c_str()) == BundleFile::UNKNOWN) {
        throw core::Exception("%s: a bundle file ends in .xml or .json", shown.c_str());
    }
    if (!fileSystem.exists(root.name.c_str())) {
        throw core::Exception("%s: no such file", shown.c_str());
    }
    return loadFile(fileSystem, root, root.name);
}

// The localized file's texts; none when there is no such file yet.
BundleFile::Entries loadLocalized(kavri::vfs::FileSystem& fileSystem, const RootFile& root,
                                  const std::string& name) {
    if (!fileSystem.exists(name.c_str())) {
        return BundleFile::Entries();
    }
    return loadFile(fileSystem, root, name);
}

using TextIndex = std::unordered_map<std::string, size_t>;  // key -> position

TextIndex indexOf(const BundleFile::Entries& entries) {
    TextIndex index;
    for (size_t i = 0; i < entries.size(); ++i) {
        index.emplace(entries[i].first, i);
    }
    return index;
}

// --- kavrixml i18n-export ---------------------------------------------------------

struct ExportArgs {
    std::string language;
    std::string sourceLanguage = DEFAULT_SOURCE_LANGUAGE;
    TranslationFormat format = TranslationFormat::UNKNOWN;
    std::string output;
    std::string rootFile;
};

bool parseExportArgs(const std::vector<std::string>& args, ExportArgs& parsed) {
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool hasValue = i + 1 < args.size();
        if (arg == "--lang" && hasValue) {
            parsed.language = args[++i];
        } else if (arg == "--source-lang" && hasValue) {
            parsed.sourceLanguage = args[++i];
        } else if (arg == "-o" && hasValue) {
            parsed.output = args[++i];
        } else if (arg == "--format" && hasValue) {
            const std::string& format = args[++i];
            parsed.format = format == "po"      ? TranslationFormat::PO
                            : format == "xliff" ? TranslationFormat::XLIFF
                                                : TranslationFormat::UNKNOWN;
            if (parsed.format == TranslationFormat::UNKNOWN) {
                report("i18n-export", EXIT_USAGE, "unknown format '%s' (xliff or po)",
                       format.c_str());
                return false;
            }
        } else if (isOption(arg)) {
            unknownOption("i18n-export", arg);
            return false;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1 || !isLanguageCode(parsed.language)) {
        report("i18n-export", EXIT_USAGE,
               "expects --lang CODE and one ROOTFILE (see kavrixml i18n-export --help)");
        return false;
    }
    parsed.rootFile = files[0];
    if (parsed.format == TranslationFormat::UNKNOWN) {
        parsed.format = translationFormatOf(parsed.output) == TranslationFormat::PO
                            ? TranslationFormat::PO
                            : TranslationFormat::XLIFF;
    }
    return true;
}

// The units of a plural key: the forms the target language needs, each with
// the base text of its category (or the base KEY_other) as source. A PO file
// carries the forms of whole numbers as one plural entry.
void appendPluralUnits(const std::string& key, bool ordinal, const TextIndex& baseIndex,
                       const BundleFile::Entries& base, const TextIndex& translated,
                       const BundleFile::Entries& localized, const std::string& code,
                       TranslationFormat format, std::vector<TranslationUnit>& units) {
    auto textOf = [](const TextIndex& index, const BundleFile::Entries& entries,
                     const std::string& name) {
        auto found = index.find(name);
        return found == index.end() ? std::string() : entries[found->second].second;
    };
    const PluralRules& rules = PluralRules::forLanguage(
        code.c_str(), ordinal ? PluralRules::ORDINAL : PluralRules::CARDINAL);
    std::string other = textOf(baseIndex, base, formKey(key, PluralRules::OTHER, ordinal));
    auto sourceOf = [&](PluralRules::Category category) {
        std::string name = formKey(key, category, ordinal);
        return baseIndex.count(name) != 0 ? textOf(baseIndex, base, name) : other;
    };
    bool entry = format == TranslationFormat::PO && !ordinal;
    if (entry) {
        TranslationUnit unit;
        unit.key = key;
        unit.plural = true;
        // msgid: the base form for one, or the base file's first form.
        unit.source = other;
        bool first = true;
        PluralForm form;
        for (const BundleFile::Entry& candidate : base) {
            if (parseFormKey(candidate.first, form) && form.base == key && !form.ordinal &&
                !form.exact && (first || form.category == PluralRules::ONE)) {
                unit.source = candidate.second;
                first = false;
                if (form.category == PluralRules::ONE) {
                    break;
                }
            }
        }
        unit.sourcePlural = other;
        std::vector<PluralRules::Category> order = integerCategories(rules);
        for (size_t k = 0; k < order.size(); ++k) {
            unit.targets.push_back(textOf(translated, localized, formKey(key, order[k], false)));
            unit.numbers += k == 0 ? "" : "; ";
            unit.numbers += "msgstr[" + std::to_string(k) + "] " +
                            PluralRules::categoryName(order[k]) + ": " +
                            sampleList(rules, order[k], 4);
        }
        units.push_back(unit);
    }
    for (int k = 0; k < PluralRules::CATEGORY_COUNT; ++k) {
        auto category = static_cast<PluralRules::Category>(k);
        if (!rules.has(category) || (entry && rules.reachedByIntegers(category))) {
            continue;
        }
        TranslationUnit unit;
        unit.key = formKey(key, category, ordinal);
        unit.source = sourceOf(category);
        unit.target = textOf(translated, localized, unit.key);
        unit.numbers = std::string(PluralRules::categoryName(category)) + ": " +
                       sampleList(rules, category, 6);
        units.push_back(unit);
    }
}

// One unit per key of the base file; a plural key's forms as the language
// needs them, where the base file has its first form.
std::vector<TranslationUnit> exportUnits(const BundleFile::Entries& base,
                                         const BundleFile::Entries& localized,
                                         const std::string& code, TranslationFormat format) {
    std::vector<std::string> keys;
    for (const BundleFile::Entry& entry : base) {
        keys.push_back(entry.first);
    }
    PluralKeys plurals = pluralKeys(keys);
    TextIndex baseIndex = indexOf(base);
    TextIndex translated = indexOf(localized);
    std::set<std::pair<std::string, bool>> done;
    std::vector<TranslationUnit> units;
    for (const BundleFile::Entry& entry : base) {
        PluralForm form;
        if (isFormOf(entry.first, plurals, form) && !form.exact) {
            if (done.insert({form.base, form.ordinal}).second) {
                appendPluralUnits(form.base, form.ordinal, baseIndex, base, translated, localized,
                                  code, format, units);
            }
            continue;
        }
        TranslationUnit unit;
        unit.key = entry.first;
        unit.source = entry.second;
        auto found = translated.find(entry.first);
        if (found != translated.end()) {
            unit.target = localized[found->second].second;
        }
        units.push_back(unit);
    }
    return units;
}

int runExport(const std::vector<std::string>& args) {
    ExportArgs parsed;
    if (!parseExportArgs(args, parsed)) {
        return EXIT_USAGE;
    }
    RootFile root(parsed.rootFile);
    kavri::vfs::DiskFileSystem fileSystem(root.root());
    BundleFile::Entries base = loadBase(fileSystem, root, parsed.rootFile);
    std::string localizedName =
        BundleFile::localizedPath(root.name.c_str(), parsed.language.c_str());
    BundleFile::Entries localized = loadLocalized(fileSystem, root, localizedName);
    // The marker of a bundle of messages is no text to translate.
    const bool messages = BundleFile::takeFormatMarker(base, true);
    BundleFile::takeFormatMarker(localized, true);

    Translation translation{root.name, parsed.sourceLanguage, parsed.language, {}, {}, 0};
    translation.messages = messages;
    translation.units = exportUnits(base, localized, parsed.language, parsed.format);
    size_t untranslated = 0;
    for (const TranslationUnit& unit : translation.units) {
        bool open = unit.plural ? std::find(unit.targets.begin(), unit.targets.end(),
                                            std::string()) != unit.targets.end()
                                : unit.target.empty();
        untranslated += open ? 1 : 0;
        if (unit.plural) {
            translation.pluralForms =
                pluralFormsHeader(PluralRules::forLanguage(parsed.language.c_str()));
        }
    }
    std::string bytes =
        parsed.format == TranslationFormat::PO ? writePO(translation) : writeXLIFF(translation);
    if (parsed.output.empty() || parsed.output == "-") {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return std::fflush(stdout) == 0
                   ? EXIT_OK
                   : report("i18n-export", EXIT_FAULT, "cannot write standard output");
    }
    replaceFile(parsed.output, bytes);
    std::printf("%s: %zu texts of %s, %zu untranslated\n", parsed.output.c_str(),
                translation.units.size(), root.display(localizedName).c_str(), untranslated);
    return EXIT_OK;
}

// --- kavrixml i18n-import ---------------------------------------------------------

struct ImportArgs {
    bool dryRun = false;
    std::string language;
    std::string rootFile;
    std::string translated;
    TranslationFormat format = TranslationFormat::UNKNOWN;
};

bool parseImportArgs(const std::vector<std::string>& args, ImportArgs& parsed) {
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--dry-run") {
            parsed.dryRun = true;
        } else if (args[i] == "--lang" && i + 1 < args.size()) {
            parsed.language = args[++i];
        } else if (isOption(args[i])) {
            unknownOption("i18n-import", args[i]);
            return false;
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) {
        report("i18n-import", EXIT_USAGE,
               "expects ROOTFILE and TRANSLATED (see kavrixml i18n-import --help)");
        return false;
    }
    parsed.rootFile = files[0];
    parsed.translated = files[1];
    parsed.format = translationFormatOf(parsed.translated);
    if (parsed.format == TranslationFormat::UNKNOWN) {
        report("i18n-import", EXIT_USAGE, "%s: a translated file ends in .xlf, .xliff or .po",
               parsed.translated.c_str());
        return false;
    }
    return true;
}

// The localized texts after an import, and what it changed and refused.
class Merge {
  public:
    Merge(const BundleFile::Entries& base, BundleFile::Entries localized, std::string file,
          std::string code, bool messages)
        : mMessages(messages),
          mBase(base),
          mBaseIndex(indexOf(base)),
          mTexts(std::move(localized)),
          mIndex(indexOf(mTexts)),
          mFile(std::move(file)),
          mCode(std::move(code)) {
        std::vector<std::string> keys;
        for (const BundleFile::Entry& entry : base) {
            keys.push_back(entry.first);
        }
        mPlurals = pluralKeys(keys);
    }

    void take(const TranslationUnit& unit) {
        if (!unit.problem.empty()) {
            refuse(unit, unit.problem);
            return;
        }
        // A plural form reads the arguments of the base KEY_other; the forms
        // the language needs are taken though the base file lacks them.
        PluralForm form;
        bool byRules = isFormOf(unit.key, mPlurals, form) && !form.exact;
        auto base = mBaseIndex.find(byRules ? formKey(form.base, PluralRules::OTHER, form.ordinal)
                                            : unit.key);
        if (base == mBaseIndex.end()) {
            refuse(unit, "stale (not in base file)");
            return;
        }
        const PluralRules& rules = PluralRules::forLanguage(
            mCode.c_str(), form.ordinal ? PluralRules::ORDINAL : PluralRules::CARDINAL);
        if (byRules && !rules.has(form.category)) {
            refuse(unit, std::string("plural form ") + PluralRules::categoryName(form.category) +
                             " is never chosen in " + mCode);
            return;
        }
        if (unit.target.empty()) {
            return;  // untranslated: the current text, if any, stays
        }
        std::vector<std::string> findings;
        std::string format =
            mMessages ? compileFault(substituted(unit.target), mCode)
                      : checkPluralForm(mBase[base->second].second.c_str(), unit.target.c_str(),
                                        byRules && holdsOneInteger(rules, form.category));
        if (!format.empty()) {
            findings.push_back(format);
        }
        FormatCheck::checkReferences(
            unit.target.c_str(),
            [this](const std::string& name) {
                return mBaseIndex.count(name) != 0 || mIndex.count(name) != 0;
            },
            findings);
        for (const std::string& finding : findings) {
            refuse(unit, finding);
        }
        if (findings.empty()) {
            store(unit.key, unit.target);
        }
    }

    const BundleFile::Entries& texts() const { return mTexts; }
    const std::vector<std::string>& refusals() const { return mRefusals; }
    const std::vector<std::string>& changes() const { return mChanges; }
    size_t added() const { return mAdded; }
    size_t changed() const { return mChanges.size() - mAdded; }

  private:
    // A message as it is compiled: each reference replaced by the localized
    // text, else the base text (an unknown one is refused on its own).
    std::string substituted(const std::string& text) const {
        std::string out;
        const char* scan = text.c_str();
        kavri::i18n::Bundle::Reference reference;
        while (kavri::i18n::Bundle::findReference(scan, reference)) {
            out.append(scan, reference.begin);
            const std::string name(reference.name, reference.nameLength);
            auto local = mIndex.find(name);
            auto base = mBaseIndex.find(name);
            out += local != mIndex.end()      ? mTexts[local->second].second
                   : base != mBaseIndex.end() ? mBase[base->second].second
                                              : name;
            scan = reference.end;
        }
        return out + scan;
    }

    void refuse(const TranslationUnit& unit, const std::string& reason) {
        std::string line = mFile + ":" + std::to_string(unit.line) + ": ";
        line += unit.key.empty() ? reason : unit.key + ": " + reason;
        mRefusals.push_back(line);
    }

    // A new key goes after the existing ones: the file keeps its order.
    void store(const std::string& key, const std::string& text) {
        auto found = mIndex.find(key);
        if (found == mIndex.end()) {
            mIndex.emplace(key, mTexts.size());
            mTexts.emplace_back(key, text);
            mChanges.push_back(key + ": added");
            ++mAdded;
        } else if (mTexts[found->second].second != text) {
            mTexts[found->second].second = text;
            mChanges.push_back(key + ": changed");
        }
    }

    bool mMessages;
    const BundleFile::Entries& mBase;
    TextIndex mBaseIndex;
    BundleFile::Entries mTexts;
    TextIndex mIndex;
    std::string mFile;
    std::string mCode;
    PluralKeys mPlurals;
    std::vector<std::string> mRefusals;
    std::vector<std::string> mChanges;
    size_t mAdded = 0;
};

// The language to import into: the file's, or --lang when the file names
// none; the two must agree when both are there.
std::string importLanguage(const ImportArgs& parsed, const Translation& translation) {
    const std::string& named = translation.targetLanguage;
    if (!parsed.language.empty() && !named.empty() && parsed.language != named) {
        throw core::Exception("%s is a translation into %s, not %s", displayName(parsed.translated),
                              named.c_str(), parsed.language.c_str());
    }
    std::string code = named.empty() ? parsed.language : named;
    if (code.empty()) {
        throw core::Exception("%s names no target language; give it with --lang",
                              displayName(parsed.translated));
    }
    if (!isLanguageCode(code)) {
        throw core::Exception("%s: '%s' is no language code", displayName(parsed.translated),
                              code.c_str());
    }
    return code;
}

// The Plural-Forms header of a PO file compiled, with its nplurals in
// `count`. Throws WHERE REASON when it is missing or does not compile.
std::unique_ptr<kavri::i18n::PluralExpression> pluralFormsExpression(const Translation& translation,
                                                                     const std::string& where,
                                                                     unsigned& count) {
    std::string text;
    if (translation.pluralForms.empty()) {
        throw core::Exception("%splural entries, but no Plural-Forms header", where.c_str());
    }
    if (!kavri::i18n::PluralExpression::splitHeader(translation.pluralForms, count, text)) {
        throw core::Exception("%sPlural-Forms is not \"nplurals=N; plural=EXPRESSION;\"",
                              where.c_str());
    }
    try {
        return std::unique_ptr<kavri::i18n::PluralExpression>(
            new kavri::i18n::PluralExpression(text.c_str()));
    } catch (const core::Exception& e) {
        throw core::Exception("%s%s", where.c_str(), e.getMessage());
    }
}

// For each form of a PO file, the category it holds: the file's own
// Plural-Forms expression is evaluated for n from 0 to 10,000, 100,000 and
// 1,000,000 and must give each of the language's whole-number categories a
// form of its own. Throws FILE:LINE: REASON when it does not.
std::vector<int> formCategories(const Translation& translation, const std::string& code,
                                const std::string& file, unsigned line) {
    const PluralRules& rules = PluralRules::forLanguage(code.c_str());
    std::vector<PluralRules::Category> order = integerCategories(rules);
    std::string where = file + ":" + std::to_string(line) + ": ";
    unsigned count = 0;
    const std::unique_ptr<kavri::i18n::PluralExpression> expression =
        pluralFormsExpression(translation, where, count);
    if (count != order.size()) {
        std::string names;
        for (PluralRules::Category category : order) {
            names += (names.empty() ? "" : ", ") + std::string(PluralRules::categoryName(category));
        }
        throw core::Exception("%snplurals=%u, but %s has %zu forms for whole numbers (%s)",
                              where.c_str(), count, code.c_str(), order.size(), names.c_str());
    }
    std::vector<int> categories(count, -1);
    std::vector<uint64_t> firstNumber(count, 0);
    for (uint64_t n = 0; n <= 1000000; n = n < 10000 ? n + 1 : n * 10) {
        uint64_t form = expression->evaluate(n);
        int category = rules.select(static_cast<long long>(n));
        if (form >= count) {
            throw core::Exception("%sthe expression gives form %llu for n=%llu, beyond nplurals=%u",
                                  where.c_str(), static_cast<unsigned long long>(form),
                                  static_cast<unsigned long long>(n), count);
        }
        int& known = categories[form];
        if (known == -1) {
            for (size_t other = 0; other < count; ++other) {
                if (categories[other] == category) {
                    throw core::Exception(
                        "%sthe expression does not order the plural forms of %s: forms %zu and "
                        "%llu both hold %s (n=%llu and n=%llu)",
                        where.c_str(), code.c_str(), other, static_cast<unsigned long long>(form),
                        PluralRules::categoryName(static_cast<PluralRules::Category>(category)),
                        static_cast<unsigned long long>(firstNumber[other]),
                        static_cast<unsigned long long>(n));
                }
            }
            known = category;
            firstNumber[form] = n;
        } else if (known != category) {
            throw core::Exception(
                "%sthe expression does not order the plural forms of %s: form %llu holds %llu "
                "(%s) and %llu (%s)",
                where.c_str(), code.c_str(), static_cast<unsigned long long>(form),
                static_cast<unsigned long long>(firstNumber[form]),
                PluralRules::categoryName(static_cast<PluralRules::Category>(known)),
                static_cast<unsigned long long>(n),
                PluralRules::categoryName(static_cast<PluralRules::Category>(category)));
        }
    }
    return categories;
}

// A PO file's plural entries become one unit per form, keyed KEY_CATEGORY.
void expandPluralEntries(Translation& translation, const BundleFile::Entries& base,
                         const std::string& code, const std::string& file) {
    std::vector<std::string> keys;
    for (const BundleFile::Entry& entry : base) {
        keys.push_back(entry.first);
    }
    PluralKeys plurals = pluralKeys(keys);
    std::vector<TranslationUnit> units;
    std::vector<int> categories;
    bool mapped = false;
    for (TranslationUnit& unit : translation.units) {
        bool known = std::binary_search(plurals.begin(), plurals.end(),
                                        std::pair<std::string, bool>(unit.key, false));
        if (unit.plural && !known && unit.problem.empty()) {
            unit.problem = "a plural entry, but the base file has no plural forms of " + unit.key;
        }
        if (!unit.plural || !known) {
            units.push_back(std::move(unit));
            continue;
        }
        if (!mapped) {
            unsigned line =
                translation.pluralFormsLine != 0 ? translation.pluralFormsLine : unit.line;
            categories = formCategories(translation, code, file, line);
            mapped = true;
        }
        for (size_t k = 0; k < categories.size(); ++k) {
            if (categories[k] < 0) {
                continue;
            }
            TranslationUnit form;
            form.key = formKey(unit.key, static_cast<PluralRules::Category>(categories[k]), false);
            form.target = k < unit.targets.size() ? unit.targets[k] : std::string();
            form.line = unit.line;
            form.problem = unit.problem;
            units.push_back(std::move(form));
        }
    }
    translation.units.swap(units);
}

int runImport(const std::vector<std::string>& args) {
    ImportArgs parsed;
    if (!parseImportArgs(args, parsed)) {
        return EXIT_USAGE;
    }
    RootFile root(parsed.rootFile);
    kavri::vfs::DiskFileSystem fileSystem(root.root());
    BundleFile::Entries base = loadBase(fileSystem, root, parsed.rootFile);
    const bool messages = BundleFile::takeFormatMarker(base, true);
    Translation translation = readTranslation(parsed.translated, parsed.format);
    std::string code = importLanguage(parsed, translation);
    std::string localizedName = BundleFile::localizedPath(root.name.c_str(), code.c_str());
    std::string shown = root.display(localizedName);

    expandPluralEntries(translation, base, code, displayName(parsed.translated));
    Merge merge(base, loadLocalized(fileSystem, root, localizedName),
                displayName(parsed.translated), code, messages);
    for (const TranslationUnit& unit : translation.units) {
        merge.take(unit);
    }
    for (const std::string& refusal : merge.refusals()) {
        std::printf("%s\n", refusal.c_str());
    }
    for (const std::string& change : merge.changes()) {
        std::printf("%s: %s\n", shown.c_str(), change.c_str());
    }
    const char* outcome = "no changes";
    if (!merge.changes().empty()) {
        outcome = parsed.dryRun ? "not written (dry run)" : "written";
        if (!parsed.dryRun) {
            BundleFile::Format format = BundleFile::formatOf(root.name.c_str());
            BundleFile::Entries texts = merge.texts();
            // A new file of messages says so, as its base file does.
            if (messages && !BundleFile::takeFormatMarker(texts, false)) {
                texts.insert(texts.begin(), {BundleFile::FORMAT_KEY, BundleFile::MESSAGE_FORMAT});
            }
            replaceFile(shown, BundleFile::write(texts, format));
        }
    }
    std::printf("summary %s (%s): %zu added, %zu changed, %zu refused; %s\n", code.c_str(),
                shown.c_str(), merge.added(), merge.changed(), merge.refusals().size(), outcome);
    return merge.refusals().empty() ? EXIT_OK : EXIT_FAULT;
}

const CommandRegistrar kExport({"i18n-export",
                                "write a language's texts as XLIFF or PO for translators",
                                EXPORT_USAGE, &runExport});
const CommandRegistrar kImport({"i18n-import",
                                "take an XLIFF or PO file's translations into a bundle file",
                                IMPORT_USAGE, &runImport});

}  // namespace

}  // namespace kavrixml_tool
