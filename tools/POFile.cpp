// gettext PO: writing and reading the translators' files.
#include "tools/POFile.h"

#include <cstring>
#include <map>

#include "framework/plinth/Exception.h"
#include "tools/Command.h"

namespace kavrixml_tool {

namespace {

// `keyword "text"`; a text with inner line breaks as gettext writes it: an
// empty first string, then one string per line.
void appendPOString(const char* keyword, const std::string& text, std::string& out) {
    out += keyword;
    size_t lineEnd = text.find('\n');
    if (lineEnd == std::string::npos || lineEnd + 1 == text.size()) {
        out += " \"";
        appendEscaped(text, 0, text.size(), out);
        out += "\"\n";
        return;
    }
    out += " \"\"\n";
    for (size_t from = 0; from < text.size();) {
        size_t end = text.find('\n', from);
        end = end == std::string::npos ? text.size() : end + 1;
        out += '"';
        appendEscaped(text, from, end, out);
        out += "\"\n";
        from = end;
    }
}

// One entry of a PO file as read.
struct POEntry {
    bool hasContext = false;
    std::string context;
    std::string id;
    std::string str;
    std::map<unsigned, std::string> strs;  // msgstr[N]
    bool plural = false;
    bool fuzzy = false;
    bool started = false;  // a keyword was read
    bool hasStr = false;
    unsigned line = 0;  // of its msgstr, where the translation stands
};

class POReader {
  public:
    POReader(const std::string& path, const std::string& bytes) : mPath(path), mBytes(bytes) {}

    Translation read() {
        size_t from = 0;
        while (from <= mBytes.size()) {
            size_t end = mBytes.find('\n', from);
            if (end == std::string::npos) {
                end = mBytes.size();
            }
            ++mLine;
            std::string line = mBytes.substr(from, end - from);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            readLine(line);
            from = end + 1;
        }
        finish();
        return mTranslation;
    }

  private:
    [[noreturn]] void fail(const char* reason) const {
        throw core::Exception("%s:%u: %s", displayName(mPath), mLine, reason);
    }

    void readLine(const std::string& line) {
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) {
            finish();
            return;
        }
        if (line[start] == '#') {
            // Comments belong to the entry that follows: one after a
            // keyword begins the next entry. Obsolete entries ("#~") are
            // comments to us.
            if (mEntry.started) {
                finish();
            }
            if (line.compare(start, 2, "#,") == 0 &&
                line.find("fuzzy", start) != std::string::npos) {
                mEntry.fuzzy = true;
            }
            return;
        }
        if (line[start] == '"') {
            if (mField == nullptr) {
                fail("a string without a keyword before it");
            }
            *mField += quoted(line, start);
            return;
        }
        readKeyword(line, start);
    }

    void readKeyword(const std::string& line, size_t start) {
        size_t end = line.find_first_of(" \t", start);
        if (end == std::string::npos) {
            fail("a keyword without a string");
        }
        std::string keyword = line.substr(start, end - start);
        bool beginsEntry = keyword == "msgctxt" || (keyword == "msgid" && !mEntry.hasContext);
        if (beginsEntry && mEntry.hasStr) {
            finish();
        }
        mEntry.started = true;
        if (keyword == "msgctxt") {
            mEntry.hasContext = true;
            mField = &mEntry.context;
        } else if (keyword == "msgid") {
            mField = &mEntry.id;
        } else if (keyword == "msgid_plural") {
            mEntry.plural = true;
            mField = &mIgnored;
        } else if (keyword.compare(0, 7, "msgstr[") == 0) {
            mEntry.hasStr = true;
            mEntry.line = mEntry.line == 0 ? mLine : mEntry.line;
            mField = &mEntry.strs[formIndex(keyword)];
        } else if (keyword == "msgstr") {
            mEntry.hasStr = true;
            mEntry.line = mLine;
            mField = &mEntry.str;
        } else {
            fail(("unknown keyword " + keyword).c_str());
        }
        mField->clear();
        size_t text = line.find_first_not_of(" \t", end);
        if (text == std::string::npos || line[text] != '"') {
            fail("a keyword without a string");
        }
        *mField += quoted(line, text);
    }

    // N of "msgstr[N]"; gettext allows at most a few forms.
    unsigned formIndex(const std::string& keyword) const {
        size_t close = keyword.find(']');
        if (close == std::string::npos || close == 7 || close + 1 != keyword.size() ||
            keyword.find_first_not_of("0123456789", 7) != close || close > 9) {
            fail(("unknown keyword " + keyword).c_str());
        }
        return static_cast<unsigned>(std::stoul(keyword.substr(7, close - 7)));
    }

    // The string that begins at line[start] == '"', its escapes resolved.
    std::string quoted(const std::string& line, size_t start) const {
        std::string out;
        size_t i = start + 1;
        for (; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] != '\\') {
                out += line[i];
                continue;
            }
            if (++i == line.size()) {
                break;
            }
            i = escape(line, i, out);
        }
        if (i >= line.size() || line.find_first_not_of(" \t", i + 1) != std::string::npos) {
            fail("a string that does not end with \" on its line");
        }
        return out;
    }

    // Resolves the escape whose letter is at line[i]; returns the position of
    // its last character.
    size_t escape(const std::string& line, size_t i, std::string& out) const {
        static const char LETTERS[] = "ntr\"\\abfv";
        static const char BYTES[] = "\n\t\r\"\\\a\b\f\v";
        if (const char* letter = std::strchr(LETTERS, line[i])) {
            out += BYTES[letter - LETTERS];
            return i;
        }
        if (line[i] >= '0' && line[i] <= '7') {
            unsigned value = 0;
            size_t end = i;
            for (; end < line.size() && end < i + 3 && line[end] >= '0' && line[end] <= '7';
                 ++end) {
                value = value * 8 + static_cast<unsigned>(line[end] - '0');
            }
            out += static_cast<char>(value);
            return end - 1;
        }
        fail(("unknown escape \\" + std::string(1, line[i])).c_str());
    }

    void finish() {
        if (mEntry.started) {
            if (!mEntry.hasStr) {
                fail("an entry without msgstr");
            }
            take(mEntry);
        }
        mEntry = POEntry();
        mField = nullptr;
    }

    void take(const POEntry& entry) {
        if (!entry.hasContext && entry.id.empty()) {
            readHeader(entry.str, entry.line);
            return;
        }
        TranslationUnit unit;
        unit.key = entry.context;
        unit.source = entry.id;
        // A fuzzy translation waits for its translator's review, as msgfmt
        // leaves it out too.
        unit.target = entry.fuzzy ? std::string() : entry.str;
        unit.line = entry.line;
        if (!entry.hasContext) {
            unit.problem = "no msgctxt: the entry names no text key";
        }
        if (entry.plural) {
            unit.plural = true;
            for (const auto& form : entry.strs) {
                if (form.first >= unit.targets.size()) {
                    unit.targets.resize(form.first + 1);
                }
                unit.targets[form.first] = entry.fuzzy ? std::string() : form.second;
            }
        }
        mTranslation.units.push_back(unit);
    }

    // The fields of the header entry, one per line of its msgstr (as every
    // tool writes them, so the field on the k-th line stands k lines below).
    void readHeader(const std::string& header, unsigned line) {
        const std::string language = "Language:";
        const std::string pluralForms = "Plural-Forms:";
        for (size_t from = 0; from < header.size(); ++line) {
            size_t end = header.find('\n', from);
            end = end == std::string::npos ? header.size() : end;
            for (const std::string* field : {&language, &pluralForms}) {
                if (header.compare(from, field->size(), *field) != 0) {
                    continue;
                }
                size_t value = header.find_first_not_of(" \t", from + field->size());
                std::string text = value != std::string::npos && value < end
                                       ? header.substr(value, end - value)
                                       : std::string();
                if (field == &language) {
                    mTranslation.targetLanguage = text;
                } else {
                    mTranslation.pluralForms = text;
                    mTranslation.pluralFormsLine = line + 1;
                }
            }
            from = end + 1;
        }
    }

    std::string mPath;
    const std::string& mBytes;
    unsigned mLine = 0;
    POEntry mEntry;
    std::string* mField = nullptr;  // where continuation strings go
    std::string mIgnored;
    Translation mTranslation;
};

// Some forms translated and some not: msgfmt refuses such an entry (an
// empty msgstr[N] beside filled ones), so it goes out fuzzy, keeping the
// translator's forms for review, and reads back as untranslated.
bool partlyTranslated(const std::vector<std::string>& targets) {
    bool empty = false;
    bool filled = false;
    for (const std::string& target : targets) {
        (target.empty() ? empty : filled) = true;
    }
    return empty && filled;
}

}  // namespace

std::string writePO(const Translation& translation) {
    std::string out =
        "# " + translation.original + " translated into " + translation.targetLanguage + ".\n";
    appendPOString("msgid", "", out);
    out += "msgstr \"\"\n";
    // The fields gettext's header check asks for; the translator's tool
    // fills in the revision date, the translator and the team.
    const std::string fields[] = {"Project-Id-Version: " + translation.original,
                                  "PO-Revision-Date: ",
                                  "Last-Translator: ",
                                  "Language-Team: ",
                                  "Language: " + translation.targetLanguage,
                                  "MIME-Version: 1.0",
                                  "Content-Type: text/plain; charset=UTF-8",
                                  "Content-Transfer-Encoding: 8bit",
                                  "Plural-Forms: " + translation.pluralForms};
    for (const std::string& field : fields) {
        if (&field == &fields[8] && translation.pluralForms.empty()) {
            break;  // a file without plural entries says nothing of them
        }
        out += '"';
        appendEscaped(field + "\n", 0, field.size() + 1, out);
        out += "\"\n";
    }
    for (const TranslationUnit& unit : translation.units) {
        out += '\n';
        for (const std::string& note : keepNotes(unit.source, translation.messages)) {
            out += "#. " + note + "\n";
        }
        if (!unit.numbers.empty()) {
            out += "#. " + unit.numbers + "\n";
        }
        bool cFormat = !translation.messages &&
                       (isCFormat(unit.source) || (unit.plural && isCFormat(unit.sourcePlural)));
        bool fuzzy = unit.plural && partlyTranslated(unit.targets);
        if (cFormat || fuzzy) {
            out += std::string("#, ") + (fuzzy ? "fuzzy" : "") + (cFormat && fuzzy ? ", " : "") +
                   (cFormat ? "c-format" : "") + "\n";
        }
        appendPOString("msgctxt", unit.key, out);
        appendPOString("msgid", unit.source, out);
        if (!unit.plural) {
            appendPOString("msgstr", unit.target, out);
            continue;
        }
        appendPOString("msgid_plural", unit.sourcePlural, out);
        for (size_t k = 0; k < unit.targets.size(); ++k) {
            appendPOString(("msgstr[" + std::to_string(k) + "]").c_str(), unit.targets[k], out);
        }
    }
    return out;
}

Translation readPO(const std::string& path, const std::string& bytes) {
    return POReader(path, bytes).read();
}

}  // namespace kavrixml_tool
