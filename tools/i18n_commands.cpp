// kavrixml i18n and kavrixml i18n-check: an application's texts seen from the
// command line, and the check that translators run before a release.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/SmartPtr.h"
#include "framework/kavrimain/DiskFileSystem.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/Logger.h"
#include "i18n/Bundle.h"
#include "i18n/BundleFile.h"
#include "i18n/FormatCheck.h"
#include "i18n/I18N.h"
#include "i18n/LocaleCode.h"
#include "i18n/MessageFormat.h"
#include "tools/Command.h"
#include "tools/CommandArguments.h"
#include "tools/MessageChecks.h"
#include "tools/PluralKeys.h"

namespace kavrixml_tool {

namespace {

using kavri::i18n::Bundle;
using kavri::i18n::BundleFile;
using kavri::i18n::FormatCheck;
using kavri::i18n::I18N;
using kavri::i18n::LocaleCode;

const char* const I18N_USAGE =
    "usage: kavrixml i18n [--lang CODE] [--count N [--ordinal]] ROOTFILE [KEY [ARG...]]\n"
    "       kavrixml i18n [--lang CODE] --arg NAME=VALUE... ROOTFILE KEY\n"
    "\n"
    "Shows the languages of an application's texts, or one text in a language.\n"
    "ROOTFILE is the base bundle file (texts.xml or texts.json); the languages are\n"
    "the localized files beside it (texts_de.xml, texts_fr.xml, ...).\n"
    "\n"
    "Without KEY, lists the available languages, each with its display name in\n"
    "the current language (the \"language_CODE\" texts), and marks the current one.\n"
    "With KEY, prints the text of KEY in the current language with its ${name}\n"
    "references substituted and its conversions filled from the ARGs. Every ARG is\n"
    "passed as a string, so only texts whose conversions are all %s can be filled;\n"
    "for any other the tool names the conversion it cannot fill.\n"
    "\n"
    "  --lang CODE   the language to show (default: the system's), in any case;\n"
    "                ru_RU, ru-RU and ru.UTF-8 find ru. A code that is not\n"
    "                available falls back to \"en\", then to the first language.\n"
    "  --count N     show the plural form of KEY for the number N (KEY_one,\n"
    "                KEY_few, ... by the language's rules; an exact KEY_=N first).\n"
    "                N may be a decimal text (1.5, 1.0) and fills the text's first\n"
    "                conversion (%d, %f or %s), which must show it as it is (a\n"
    "                count too large for %d is refused); the ARGs fill the rest.\n"
    "  --ordinal     the ordinal form instead (KEY_ordinal_one, ...): 1st, 2nd, 3rd\n"
    "  --arg NAME=VALUE\n"
    "                an argument of a MessageFormat text (a bundle file marked\n"
    "                format=\"messageformat\"), read as kavrixml message reads it:\n"
    "                a JSON string, number or boolean, else the text itself. The\n"
    "                text of KEY in such a bundle is always formatted as a message,\n"
    "                with or without arguments; placeholders are not isolated.\n"
    "\n"
    "Exit status: 0 success, 1 no such text or a text that cannot be filled (a\n"
    "message that does not compile or formats with errors, each named on stderr),\n"
    "2 usage error.\n";

const char* const I18N_CHECK_USAGE =
    "usage: kavrixml i18n-check ROOTFILE\n"
    "\n"
    "Checks every localized file beside ROOTFILE (texts_de.xml beside texts.xml)\n"
    "against it, as translators need before a release. One line per finding:\n"
    "\n"
    "  FILE: KEY: untranslated\n"
    "      the base file has KEY, this file lacks it (the base text shows instead)\n"
    "  FILE: KEY: stale (not in base file)\n"
    "      only this file has KEY: the program no longer asks for it, or it is misspelt\n"
    "  FILE: KEY: conversions differ: base has A, this has B\n"
    "      the printf conversions read other arguments (number, order or type) than\n"
    "      the base text's, so formatting the text would read wrong values or crash\n"
    "  FILE: KEY: bad format: REASON\n"
    "      the text is no valid printf format\n"
    "  FILE: KEY: unresolved reference ${NAME}\n"
    "      no text NAME in this language: the bare name would show on screen\n"
    "  FILE: KEY: missing plural form CATEGORY (SAMPLES)\n"
    "      KEY has plural forms (KEY_one, KEY_other, ...) and this file lacks the\n"
    "      form its language needs for those numbers (by CLDR's rules)\n"
    "  FILE: KEY_CATEGORY: plural form CATEGORY is never chosen in CODE\n"
    "      the language's rules give no number that category\n"
    "  FILE: KEY: does not compile: ERROR\n"
    "      in a bundle of MessageFormat messages: the syntax or data model error\n"
    "  FILE: KEY: uses $NAME, which the base text lacks\n"
    "  FILE: KEY: drops $NAME of the base text\n"
    "      a message reads other arguments than its base text\n"
    "  FILE: KEY: selector $NAME is :F, the base text's :G\n"
    "      a .match selects the same argument by another function\n"
    "  FILE: KEY: missing plural form CATEGORY (SAMPLES)\n"
    "      also: a message's plural selector (:number, :integer) has no variant\n"
    "      for a category its language needs; those numbers fall to *\n"
    "  FILE: language_CODE: missing (display name of language CODE)\n"
    "      the base file does not name a language that was found\n"
    "  FILE: cannot be loaded: REASON\n"
    "      the file is missing, unreadable or malformed\n"
    "\n"
    "Then a summary line per file, base file first:\n"
    "\n"
    "  summary LANGUAGE (FILE): N texts, clean\n"
    "  summary LANGUAGE (FILE): N texts, M findings\n"
    "\n"
    "Keys are listed in byte order. Numbered arguments (%1$s) may be reordered by a\n"
    "translation as long as each argument keeps its type. The forms of a plural\n"
    "key read the arguments of the base file's KEY_other, except that a form for\n"
    "a single number (German one, Arabic zero) may leave the number out. Forms\n"
    "that only fractions reach are needed when KEY_other shows a fraction (%f).\n"
    "\n"
    "Exit status: 0 clean, 1 findings, 2 usage error.\n";

// The most ARGs `i18n KEY` hands to the formatter.
const size_t MAX_TEXT_ARGUMENTS = 16;

// Deletes the manager on every way out, so that each run starts afresh.
struct ManagerScope {
    ~ManagerScope() { I18N::deleteSingleton(); }
};

// Keeps the root logger's warnings off the screen while it lives: the check
// reports the faults of the files as findings of its own.
struct QuietLogger {
    QuietLogger() {
        logging::Logger::mROOT_LOGGER->setSink([](int, const char*) {});
    }
    ~QuietLogger() { logging::Logger::mROOT_LOGGER->setSink(nullptr); }
    QuietLogger(const QuietLogger&) = delete;
    QuietLogger& operator=(const QuietLogger&) = delete;
};

// --- kavrixml i18n ------------------------------------------------------------

struct I18NArgs {
    std::string language;  // empty: the system's
    std::string rootFile;
    std::string key;
    bool hasKey = false;
    std::vector<std::string> textArguments;
    bool hasCount = false;
    std::string count;
    bool ordinal = false;
    bool hasArguments = false;
    kavri::i18n::MessageArguments messageArguments;
};

bool parseI18NArgs(const std::vector<std::string>& args, I18NArgs& parsed) {
    size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
        if (args[i] == "--lang" && i + 1 < args.size()) {
            parsed.language = args[++i];
        } else if (args[i].compare(0, 7, "--lang=") == 0) {
            parsed.language = args[i].substr(7);
        } else if (args[i] == "--count" && i + 1 < args.size()) {
            parsed.hasCount = true;
            parsed.count = args[++i];
        } else if (args[i] == "--ordinal") {
            parsed.ordinal = true;
        } else if (args[i] == "--arg" && i + 1 < args.size()) {
            std::string error;
            if (!readNamedArgument(args[++i], parsed.messageArguments, error)) {
                report("i18n", EXIT_USAGE, "%s (see kavrixml i18n --help)", error.c_str());
                return false;
            }
            parsed.hasArguments = true;
        } else if (args[i] == "--") {
            ++i;
            break;
        } else {
            report("i18n", EXIT_USAGE, "unknown option %s (see kavrixml i18n --help)",
                   args[i].c_str());
            return false;
        }
    }
    if (i >= args.size()) {
        report("i18n", EXIT_USAGE, "missing ROOTFILE (see kavrixml i18n --help)");
        return false;
    }
    parsed.rootFile = args[i++];
    if (i < args.size()) {
        parsed.hasKey = true;
        parsed.key = args[i++];
        parsed.textArguments.assign(args.begin() + static_cast<long>(i), args.end());
    }
    if ((parsed.hasCount || parsed.ordinal) && !parsed.hasKey) {
        report("i18n", EXIT_USAGE, "--count and --ordinal need a KEY (see kavrixml i18n --help)");
        return false;
    }
    if (parsed.hasArguments && (!parsed.hasKey || parsed.hasCount)) {
        report("i18n", EXIT_USAGE, "--arg needs a KEY and no --count (see kavrixml i18n --help)");
        return false;
    }
    if (parsed.ordinal && !parsed.hasCount) {
        report("i18n", EXIT_USAGE, "--ordinal needs --count N (see kavrixml i18n --help)");
        return false;
    }
    return true;
}

void listLanguages(const I18N& i18n, const std::string& rootFile) {
    unsigned int count = i18n.getAvailableLanguageCount();
    if (count == 0) {
        std::printf("%s: no localized files beside it; base texts only (language %s)\n",
                    rootFile.c_str(), i18n.getLanguageCode());
        return;
    }
    std::printf("languages of %s (current: %s):\n", rootFile.c_str(), i18n.getLanguageCode());
    for (unsigned int i = 0; i < count; ++i) {
        bool current = static_cast<int>(i) == i18n.getLanguageIndex();
        std::printf("%c %s  %s\n", current ? '*' : ' ', i18n.getLanguageCode(i),
                    i18n.getLanguageName(i));
    }
}

// The count of `i18n --count` as the text's first conversion reads it.
struct CountArgument {
    std::string text;  // as given
    kavri::i18n::PluralCount count = 0;
};

// A count written as a whole number that a long long holds.
bool wholeNumber(const std::string& text, long long& value) {
    if (text.find_first_of(".ceE") != std::string::npos) {
        return false;
    }
    errno = 0;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return errno != ERANGE;
}

// Whether a conversion reading `type` is one of the integer type `name`
// (signed or unsigned) and shows `value` as it is, without wrapping.
bool fitsInteger(long long value, const std::string& type, long long low, long long high,
                 unsigned long long unsignedHigh, const char* name) {
    if (type == name) {
        return value >= low && value <= high;
    }
    return type == std::string("unsigned ") + name && value >= 0 &&
           static_cast<unsigned long long>(value) <= unsignedHigh;
}

// Formats `text` with the count (when `count` is given) before the string
// values; `type` is what the first conversion reads. Every other conversion
// reads a string and there are exactly as many as the text reads; the
// formatter ignores the unused trailing slots.
bool formatText(const I18N& i18n, const char* text, const CountArgument* count,
                const std::string& type, const std::vector<std::string>& values, std::string& out) {
    const char* a[MAX_TEXT_ARGUMENTS];
    for (size_t i = 0; i < MAX_TEXT_ARGUMENTS; ++i) {
        a[i] = i < values.size() ? values[i].c_str() : "";
    }
    if (count == nullptr) {
        i18n.resolve(text, out, true, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9],
                     a[10], a[11], a[12], a[13], a[14], a[15]);
        return true;
    }
    auto fill = [&](auto first) {
        i18n.resolve(text, out, true, first, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8],
                     a[9], a[10], a[11], a[12], a[13], a[14]);
    };
    const std::string& n = count->text;
    long long integer = 0;
    bool integral = wholeNumber(n, integer);
    if (type == "char*") {
        fill(n.c_str());
    } else if (type == "double") {
        fill(count->count.value());
    } else if (integral && fitsInteger(integer, type, INT_MIN, INT_MAX, UINT_MAX, "int")) {
        fill(static_cast<int>(integer));
    } else if (integral && fitsInteger(integer, type, LONG_MIN, LONG_MAX, ULONG_MAX, "long")) {
        fill(static_cast<long>(integer));
    } else if (integral &&
               fitsInteger(integer, type, LLONG_MIN, LLONG_MAX, LLONG_MAX, "long long")) {
        fill(integer);
    } else {
        return false;
    }
    return true;
}

// Prints the message of `key` in a bundle of messages, formatted with the
// --arg values; a message that does not compile or reports errors is named
// on stderr, fault by fault.
int printMessage(const I18N& i18n, const I18NArgs& parsed) {
    const Bundle* root = i18n.getBundle();
    const char* key = parsed.key.c_str();
    if (!parsed.textArguments.empty() || parsed.hasCount) {
        return report("i18n", EXIT_USAGE,
                      "the texts of %s are messages: give their arguments with --arg NAME=VALUE",
                      parsed.rootFile.c_str());
    }
    if (!root->containsKey(key)) {
        return report("i18n", EXIT_FAULT, "no text under \"%s\" in language %s", key,
                      i18n.getLanguageCode());
    }
    std::string source;
    root->resolveReferences(root->getText(key, true), source, true);
    try {
        kavri::i18n::MessageFormat check(source, i18n.getLanguageCode());
    } catch (const kavri::i18n::MessageFormatException& e) {
        return report("i18n", EXIT_FAULT, "the message of \"%s\" does not compile: %s", key,
                      e.getMessage());
    }
    std::string out;
    std::vector<kavri::i18n::MessageError> errors;
    i18n.getBundle()->formatMessage(key, parsed.messageArguments, out, true, &errors,
                                    kavri::i18n::MessageFormat::BIDI_NONE);
    std::printf("%s\n", out.c_str());
    for (const kavri::i18n::MessageError& error : errors) {
        std::fprintf(stderr, "kavrixml i18n: %s: %s at offset %zu\n", key, error.name(),
                     error.offset);
    }
    return errors.empty() ? EXIT_OK : EXIT_FAULT;
}

// The text of `key`, or its form for the count (parsed into `count`), in
// `text`; EXIT_OK, or the exit status after reporting why there is none.
int findText(const I18N& i18n, const I18NArgs& parsed, CountArgument& count, const char*& text) {
    const std::string& key = parsed.key;
    const Bundle* root = i18n.getBundle();
    if (!parsed.hasCount) {
        if (!root->containsKey(key.c_str())) {
            return report("i18n", EXIT_FAULT, "no text under \"%s\" in language %s", key.c_str(),
                          i18n.getLanguageCode());
        }
        text = root->getText(key.c_str(), true);
        return EXIT_OK;
    }
    count.text = parsed.count;
    if (!kavri::i18n::PluralCount::fromText(count.text.c_str(), count.count)) {
        return report("i18n", EXIT_FAULT, "'%s' is no decimal number", count.text.c_str());
    }
    // A text that shows the count as a fraction chooses by what it shows.
    std::string otherKey = key + (parsed.ordinal ? "_ordinal_other" : "_other");
    FormatCheck other(root->getText(otherKey.c_str(), true));
    if (other.isValid() && !other.getArguments().empty() &&
        other.getArguments().front() == "double") {
        count.count = kavri::i18n::PluralCount(std::strtod(count.text.c_str(), nullptr));
    }
    if (!root->containsKey(key.c_str()) && !root->containsKey(otherKey.c_str())) {
        return report("i18n", EXIT_FAULT, "no plural forms of \"%s\" in language %s", key.c_str(),
                      i18n.getLanguageCode());
    }
    text = root->getPluralForm(key.c_str(), count.count, parsed.ordinal, true);
    return EXIT_OK;
}

// Prints the text of `key` (or its form for the count) filled with the
// arguments; refuses texts that would make the formatter read anything else.
int printText(const I18N& i18n, const I18NArgs& parsed) {
    const std::string& key = parsed.key;
    const std::vector<std::string>& values = parsed.textArguments;
    const Bundle* root = i18n.getBundle();
    CountArgument count;
    const char* text = nullptr;
    const int found = findText(i18n, parsed, count, text);
    if (found != EXIT_OK) {
        return found;
    }
    std::string substituted;
    root->resolveReferences(text, substituted, true);
    FormatCheck check(substituted.c_str());
    if (!check.isValid()) {
        return report("i18n", EXIT_FAULT, "the text of \"%s\" is no valid format: %s", key.c_str(),
                      check.getError().c_str());
    }
    std::vector<std::string> types = check.getArguments();
    // A form may leave the number out ("one file" for German "one").
    bool takesCount = parsed.hasCount && types.size() == values.size() + 1;
    std::string countType = takesCount ? types.front() : std::string();
    if (takesCount) {
        types.erase(types.begin());
    }
    std::string offending;
    if (!takesCount && !check.takesOnlyStrings(offending)) {
        return report("i18n", EXIT_FAULT,
                      "the text of \"%s\" has the conversion %s, which cannot be filled from "
                      "the command line (only %%s can)",
                      key.c_str(), offending.c_str());
    }
    for (const std::string& type : types) {
        if (type != "char*") {
            return report("i18n", EXIT_FAULT,
                          "the text of \"%s\" reads %s after the count, which cannot be filled "
                          "from the command line (only %%s can)",
                          key.c_str(), type.c_str());
        }
    }
    if (types.size() != values.size()) {
        return report("i18n", EXIT_FAULT, "the text of \"%s\" takes %zu argument%s, %zu given",
                      key.c_str(), types.size(), types.size() == 1 ? "" : "s", values.size());
    }
    if (values.size() + (takesCount ? 1 : 0) > MAX_TEXT_ARGUMENTS) {
        return report("i18n", EXIT_FAULT, "at most %zu arguments can be filled",
                      MAX_TEXT_ARGUMENTS);
    }
    std::string out;
    if (!formatText(i18n, text, takesCount ? &count : nullptr, countType, values, out)) {
        return report("i18n", EXIT_FAULT, "the count %s cannot fill the conversion reading %s",
                      count.text.c_str(), countType.c_str());
    }
    std::printf("%s\n", out.c_str());
    return EXIT_OK;
}

// The available language that a requested code stands for by CLDR's
// fallback, in any case: "ru_RU", "ru-RU" and "ru.UTF-8" find "ru", "pt-pt"
// finds "pt_PT". Empty when none does.
std::string availableLanguage(const I18N& i18n, const std::string& requested) {
    for (std::string candidate = LocaleCode::cldr(requested.c_str()); !candidate.empty();
         candidate = LocaleCode::parent(candidate)) {
        for (unsigned int k = 0; k < i18n.getAvailableLanguageCount(); ++k) {
            if (LocaleCode::cldr(i18n.getLanguageCode(k)) == candidate) {
                return i18n.getLanguageCode(k);
            }
        }
    }
    return std::string();
}

int runI18N(const std::vector<std::string>& args) {
    I18NArgs parsed;
    if (!parseI18NArgs(args, parsed)) {
        return EXIT_USAGE;
    }
    RootFile root(parsed.rootFile);
    kavri::vfs::DiskFileSystem fileSystem(root.root());
    if (!fileSystem.exists(root.name.c_str())) {
        return report("i18n", EXIT_FAULT, "%s: no such file", parsed.rootFile.c_str());
    }
    ManagerScope scope;
    I18N& i18n = I18N::getSingleton();
    i18n.initialize(&fileSystem, root.name.c_str(),
                    parsed.language.empty() ? nullptr : parsed.language.c_str());
    std::string chosen = parsed.language.empty() ? "" : availableLanguage(i18n, parsed.language);
    if (!chosen.empty() && chosen != i18n.getLanguageCode()) {
        i18n.setLanguage(&fileSystem, chosen.c_str());
    }
    if (!parsed.language.empty() && chosen.empty()) {
        std::fprintf(stderr, "kavrixml i18n: language %s is not available; showing %s\n",
                     parsed.language.c_str(), i18n.getLanguageCode());
    }
    if (!parsed.hasKey) {
        listLanguages(i18n, parsed.rootFile);
        return EXIT_OK;
    }
    if (i18n.getBundle()->isMessageBundle()) {
        return printMessage(i18n, parsed);
    }
    if (parsed.hasArguments) {
        return report("i18n", EXIT_FAULT,
                      "%s holds no MessageFormat messages: --arg is for those (see kavrixml "
                      "i18n --help)",
                      parsed.rootFile.c_str());
    }
    return printText(i18n, parsed);
}

// --- kavrixml i18n-check --------------------------------------------------------

using Finding = std::pair<std::string, std::string>;  // key ("" for the file), what

// The checks of one file, printed together, keys in byte order.
class FileReport {
  public:
    explicit FileReport(std::string file) : mFile(std::move(file)) {}

    void add(const std::string& key, const std::string& what) { mFindings.emplace_back(key, what); }
    size_t count() const { return mFindings.size(); }

    void print() {
        std::stable_sort(mFindings.begin(), mFindings.end(),
                         [](const Finding& a, const Finding& b) {
                             return std::strcmp(a.first.c_str(), b.first.c_str()) < 0;
                         });
        for (const Finding& finding : mFindings) {
            if (finding.first.empty()) {
                std::printf("%s: %s\n", mFile.c_str(), finding.second.c_str());
            } else {
                std::printf("%s: %s: %s\n", mFile.c_str(), finding.first.c_str(),
                            finding.second.c_str());
            }
        }
    }

    void printSummary(const std::string& language, size_t texts) const {
        if (mFindings.empty()) {
            std::printf("summary %s (%s): %zu texts, clean\n", language.c_str(), mFile.c_str(),
                        texts);
        } else {
            std::printf("summary %s (%s): %zu texts, %zu finding%s\n", language.c_str(),
                        mFile.c_str(), texts, mFindings.size(), mFindings.size() == 1 ? "" : "s");
        }
    }

  private:
    std::string mFile;
    std::vector<Finding> mFindings;
};

// Reads one file alone (no localized file, no fallback) into `bundle`, and
// reports a file that cannot be read; false then.
bool loadAlone(Bundle& bundle, kavri::vfs::FileSystem& fileSystem, const std::string& name,
               FileReport& report) {
    try {
        BundleFile::Entries entries = BundleFile::readEntries(&fileSystem, name.c_str());
        bundle.setMessageBundle(BundleFile::takeFormatMarker(entries, true));
        for (const BundleFile::Entry& entry : entries) {
            bundle.setText(entry.first, entry.second);
        }
        return true;
    } catch (const core::Exception& e) {
        report.add(std::string(), std::string("cannot be loaded: ") + e.getMessage());
        return false;
    }
}

// The references in the texts of `texts` that `available` cannot resolve.
void checkReferences(const Bundle& texts, const Bundle& available, FileReport& report) {
    auto known = [&available](const std::string& name) {
        return available.containsKey(name.c_str());
    };
    for (const auto& entry : texts.getTexts()) {
        std::vector<std::string> findings;
        FormatCheck::checkReferences(entry.second, known, findings);
        for (const std::string& finding : findings) {
            report.add(entry.first, finding);
        }
    }
}

// --- Messages: what a translation of a MessageFormat text must keep ---------

// The text of a message bundle as it is compiled: its references substituted
// from `texts`.
std::string messageSource(const char* text, const Bundle& texts) {
    std::string source;
    texts.resolveReferences(text, source, true);
    return source;
}

// The findings of one message: base text (null for a stale key) and its
// translation in language `code`, both with references from `texts`.
std::vector<std::string> checkBundleMessage(const char* original, const char* translated,
                                            const std::string& code, const Bundle& texts) {
    if (original == nullptr) {
        return checkMessage(nullptr, messageSource(translated, texts), code);
    }
    const std::string base = messageSource(original, texts);
    return checkMessage(&base, messageSource(translated, texts), code);
}

// Why `source` does not compile in language `code`; empty when it does.
void checkBase(const Bundle& base, const I18N& i18n, FileReport& report) {
    for (const auto& entry : base.getTexts()) {
        std::string finding =
            base.isMessageBundle()
                ? compileFault(messageSource(entry.second, base), base.getLanguage())
                : FormatCheck::checkTranslation(nullptr, entry.second);
        if (!finding.empty()) {
            report.add(entry.first, finding);
        }
    }
    checkReferences(base, base, report);
    for (unsigned int i = 0; i < i18n.getAvailableLanguageCount(); ++i) {
        std::string key = std::string("language_") + i18n.getLanguageCode(i);
        if (!base.containsKey(key.c_str())) {
            report.add(key, std::string("missing (display name of language ") +
                                i18n.getLanguageCode(i) + ")");
        }
    }
}

std::vector<std::string> keysOf(const Bundle& bundle) {
    std::vector<std::string> keys;
    for (const auto& entry : bundle.getTexts()) {
        keys.emplace_back(entry.first);
    }
    return keys;
}

bool readsFraction(const char* text) {
    FormatCheck check(text != nullptr ? text : "");
    return check.isValid() && !check.getArguments().empty() &&
           (check.getArguments().front() == "double" ||
            check.getArguments().front() == "long double");
}

// The plural keys of the base file against the rules of `code`: each form
// the language needs is there, none it never chooses, and every form reads
// the arguments of the base KEY_other.
void checkPlurals(const Bundle& base, const Bundle& localized, const PluralKeys& plurals,
                  const std::string& code, FileReport& report) {
    for (const auto& plural : plurals) {
        const PluralRules& rules = PluralRules::forLanguage(
            code.c_str(), plural.second ? PluralRules::ORDINAL : PluralRules::CARDINAL);
        std::string otherKey = formKey(plural.first, PluralRules::OTHER, plural.second);
        const char* original = base[otherKey.c_str()];
        bool fractions = readsFraction(original);
        for (int k = 0; k < PluralRules::CATEGORY_COUNT; ++k) {
            auto category = static_cast<PluralRules::Category>(k);
            bool needed = rules.has(category) && (rules.reachedByIntegers(category) || fractions);
            if (needed && !localized.containsKey(formKey(plural.first, category, plural.second))) {
                report.add(plural.first, std::string("missing plural form ") +
                                             PluralRules::categoryName(category) + " (" +
                                             sampleList(rules, category, 4) + ")");
            }
        }
    }
    for (const auto& entry : localized.getTexts()) {
        PluralForm form;
        if (!isFormOf(entry.first, plurals, form)) {
            continue;
        }
        const PluralRules& rules = PluralRules::forLanguage(
            code.c_str(), form.ordinal ? PluralRules::ORDINAL : PluralRules::CARDINAL);
        if (!form.exact && !rules.has(form.category)) {
            report.add(entry.first, std::string("plural form ") +
                                        PluralRules::categoryName(form.category) +
                                        " is never chosen in " + code);
        }
        std::string otherKey = formKey(form.base, PluralRules::OTHER, form.ordinal);
        bool single = form.exact || holdsOneInteger(rules, form.category);
        std::string finding = checkPluralForm(base[otherKey.c_str()], entry.second, single);
        if (!finding.empty()) {
            report.add(entry.first, finding);
        }
    }
}

void checkLocalized(const Bundle& base, const Bundle& localized, const Bundle& merged,
                    const std::string& code, FileReport& report) {
    PluralKeys plurals = pluralKeys(keysOf(base));
    PluralForm form;
    for (const auto& entry : base.getTexts()) {
        // The forms a language needs are checked by its own rules below; an
        // exact value (KEY_=0) is the same in every language.
        bool byRules = isFormOf(entry.first, plurals, form) && !form.exact;
        if (!localized.containsKey(entry.first) && !byRules) {
            report.add(entry.first, "untranslated");
        }
    }
    for (const auto& entry : localized.getTexts()) {
        if (isFormOf(entry.first, plurals, form)) {
            continue;
        }
        bool inBase = base.containsKey(entry.first);
        if (!inBase) {
            report.add(entry.first, "stale (not in base file)");
        }
        if (base.isMessageBundle()) {
            for (const std::string& finding : checkBundleMessage(
                     inBase ? base[entry.first] : nullptr, entry.second, code, merged)) {
                report.add(entry.first, finding);
            }
            continue;
        }
        std::string finding =
            FormatCheck::checkTranslation(inBase ? base[entry.first] : nullptr, entry.second);
        if (!finding.empty()) {
            report.add(entry.first, finding);
        }
    }
    checkPlurals(base, localized, plurals, code, report);
    checkReferences(localized, merged, report);
}

int runI18NCheck(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return report("i18n-check", EXIT_USAGE,
                      "expects one ROOTFILE (see kavrixml i18n-check --help)");
    }
    RootFile root(args[0]);
    kavri::vfs::DiskFileSystem fileSystem(root.root());
    if (!fileSystem.exists(root.name.c_str())) {
        return report("i18n-check", EXIT_FAULT, "%s: no such file", args[0].c_str());
    }
    QuietLogger quiet;
    ManagerScope scope;
    I18N& i18n = I18N::getSingleton();
    i18n.initialize(&fileSystem, root.name.c_str(), nullptr);

    size_t findings = 0;
    core::SmartPtr<Bundle> base(new Bundle("base", root.name));
    FileReport baseReport(root.display(root.name));
    loadAlone(*base, fileSystem, root.name, baseReport);
    checkBase(*base, i18n, baseReport);
    baseReport.print();
    findings += baseReport.count();

    std::vector<std::pair<std::string, size_t>> summaries;
    std::vector<FileReport> reports;
    for (unsigned int i = 0; i < i18n.getAvailableLanguageCount(); ++i) {
        std::string code = i18n.getLanguageCode(i);
        std::string name = BundleFile::localizedPath(root.name.c_str(), code.c_str());
        core::SmartPtr<Bundle> localized(new Bundle(code, name));
        FileReport fileReport(root.display(name));
        // A file that cannot be loaded would list every key as untranslated.
        if (loadAlone(*localized, fileSystem, name, fileReport)) {
            i18n.setLanguage(&fileSystem, code.c_str());  // what the application would show
            checkLocalized(*base, *localized, *i18n.getBundle(), code, fileReport);
        }
        fileReport.print();
        findings += fileReport.count();
        summaries.emplace_back(code, localized->getTexts().size());
        reports.push_back(std::move(fileReport));
    }

    baseReport.printSummary("base", base->getTexts().size());
    for (size_t i = 0; i < reports.size(); ++i) {
        reports[i].printSummary(summaries[i].first, summaries[i].second);
    }
    return findings == 0 ? EXIT_OK : EXIT_FAULT;
}

const CommandRegistrar kI18N({"i18n", "list an application's languages or show one text",
                              I18N_USAGE, &runI18N});
const CommandRegistrar kI18NCheck({"i18n-check",
                                   "check translations: untranslated, stale, formats, references",
                                   I18N_CHECK_USAGE, &runI18NCheck});

}  // namespace

}  // namespace kavrixml_tool
