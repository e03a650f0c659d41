// Bundle holds the user-visible texts of one language under text keys, and
// the child bundles below it. A text may carry "${key}" references, replaced
// by the texts of other keys, and printf conversions, filled from arguments.
// A look-up with `inherit` falls back from a bundle to its ancestors, and a
// key without a text anywhere stands for itself, so look-ups never fail.
//
// Ownership: bundles are reference-counted. A parent holds a counted
// reference to each child; a child points back to its parent with a plain
// pointer. A new bundle has count 0 and lives through its first holder (a
// parent's addChild, the language manager or a caller's SmartPtr). The bundle
// owns copies of its keys and texts; a returned `const char*` stays valid
// until that entry changes (or is the caller's own key).
//
//   core::SmartPtr<Bundle> texts(new Bundle("texts", "i18n/texts.xml"));
//   texts->load(&fileSystem, true);              // texts_<lang>.xml, then texts.xml
//   texts->getText("greeting", out, true, "Ada"); // "Hello, %s!" -> "Hello, Ada!"
//   texts->getPluralText("files", 3, out, true, 3); // "files_few" in Russian: "3 файла"
//
// A bundle whose file says its texts are MessageFormat messages (see
// BundleFile) formats them with named arguments through formatMessage:
//   texts->formatMessage("photos", {{"count", 3}}, out, true);  // "3 photos"
//
// Bundles take no lock: one thread at a time.
#ifndef KAVRIXML_I18N_BUNDLE_H
#define KAVRIXML_I18N_BUNDLE_H

#include <cstdarg>
#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "core/CKHashMap.h"
#include "core/SmartPtr.h"
#include "framework/plinth/IRefCount.h"
#include "i18n/MessageFormat.h"
#include "i18n/PluralRules.h"

namespace kavri {
namespace json {
class JSObject;
}
namespace vfs {
class FileSystem;
}

namespace i18n {

// A count as a plural look-up takes it: an integer; a double, whose category
// follows the digits the text will show ("%.1f" of 1 shows "1.0"); or a
// decimal text exactly as shown ("1.50", "1.2c6").
class PluralCount {
  public:
    template <class T, typename std::enable_if<std::is_integral<T>::value, int>::type = 0>
    PluralCount(T value)  // NOLINT: a count is written as the number it is
        : mKind(INTEGER),
          mOperands(PluralRules::Operands::fromInteger(static_cast<long long>(value))),
          mNegative(value < static_cast<T>(0)) {}
    PluralCount(double value)  // NOLINT: as above
        : mKind(DOUBLE), mValue(value), mNegative(value < 0) {}
    // False, leaving `count` as it was, for a text that is no decimal number.
    static bool fromText(const char* decimal, PluralCount& count);

    bool isDouble() const { return mKind == DOUBLE; }
    // Below zero: only the exact forms of negative values (KEY_=-1) answer it.
    bool isNegative() const { return mNegative; }
    double value() const { return mValue; }
    // The operands of the number as shown; for a double, as "%.*f" shows it
    // with `fractionDigits`.
    PluralRules::Operands operands(int fractionDigits = 0) const;

  private:
    enum Kind { INTEGER, DOUBLE, TEXT };
    PluralCount() = default;
    Kind mKind = TEXT;
    PluralRules::Operands mOperands;
    double mValue = 0;
    bool mNegative = false;
};

class Bundle : public ::core::IRefCount {
  public:
    using TextMap = ::core::CKHashMap<const char*>;
    using ChildList = std::vector<::core::SmartPtr<Bundle>>;
    using ChildIndex = ::core::CKHashMap<Bundle*>;

    // The longest reference name: it is copied into a 64-byte buffer.
    static const size_t MAX_REFERENCE_NAME = 63;

    // One "${name}" reference inside a text, as findReference finds it.
    struct Reference {
        const char* begin;  // the "$"
        const char* name;   // the first character of the name
        size_t nameLength;  // 1 to MAX_REFERENCE_NAME
        const char* end;    // just after the "}"
    };

    // The language is the system's; a path without extension gets ".xml".
    Bundle(const char* name, const char* path);
    Bundle(const std::string& name, const std::string& path) : Bundle(name.c_str(), path.c_str()) {}
    ~Bundle() override;
    // Keys, texts and child references are owned storage: no copies.
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    const char* getName() const { return mName.c_str(); }
    const char* getPath() const { return mPath.c_str(); }
    const char* getLanguage() const { return mLanguage.c_str(); }

    // --- Tree ---------------------------------------------------------------
    Bundle* getParent() { return mParent; }
    const Bundle* getParent() const { return mParent; }
    unsigned int getChildCount() const { return static_cast<unsigned int>(mChildren.size()); }
    // The caller keeps `index` below getChildCount().
    Bundle* getChild(unsigned int index) { return mChildren[index]; }
    const Bundle* getChild(unsigned int index) const { return mChildren[index]; }
    // By name among the children; with `deep` also among the grandchildren,
    // where a grandchild under an earlier-named child wins over a later child.
    Bundle* getChild(const char* name, bool deep);
    const Bundle* getChild(const char* name, bool deep) const;
    // Appends `child`, first detaching it from another parent. A child in
    // another language is added all the same, with a warning.
    void addChild(Bundle* child);
    // Detaches `child` (searching the grandchildren too with `deep`) and
    // releases the reference; false when it was not found.
    bool removeChild(Bundle* child, bool deep);

    // Sets the language of this bundle and its subtree (no reload).
    void setLanguage(const char* code);
    // Empties the texts of this bundle and its subtree; children stay.
    void clear();

    // --- Texts ----------------------------------------------------------------
    // Stores a copy of `text` under `key`; null key or text: nothing happens.
    void setText(const char* key, const char* text);
    void setText(const std::string& key, const std::string& text) {
        setText(key.c_str(), text.c_str());
    }
    // The text of `key` here, else (with `inherit`) in the nearest ancestor
    // that has one, else the `key` pointer itself.
    const char* getText(const char* key, bool inherit) const;
    bool containsKey(const char* key) const { return findText(key) != nullptr; }
    bool containsKey(const std::string& key) const { return containsKey(key.c_str()); }
    // This bundle's own text, or `key`; ancestors are not asked.
    const char* operator[](const char* key) const;
    // This bundle's own texts, in byte order of their keys.
    const TextMap& getTexts() const { return mTexts; }

    // printf into `out`, sized exactly; a format the formatter rejects gives
    // an empty result. Returns out's C string.
    static const char* parametrize(const char* format, std::string& out, va_list args);
    // getText, then the text used as printf format (an empty text stays
    // empty). References are not substituted.
    const char* vgetText(const char* key, std::string& out, bool inherit, va_list args) const;
    const char* getText(const char* key, std::string& out, bool inherit, ...) const;

    // True when the text contains "${".
    static bool needsResolving(const char* text);
    // Substitutes the references of `text` (one level deep: texts put in are
    // not scanned again), then formats the result with the arguments.
    const char* vresolve(const char* text, std::string& out, bool inherit, va_list args) const;
    const char* resolve(const char* text, std::string& out, bool inherit, ...) const;
    // Substitutes the references alone: the text as resolve would hand it to
    // the formatter (for tools that check the conversions before formatting).
    const char* resolveReferences(const char* text, std::string& out, bool inherit) const {
        return _resolve(text, out, inherit);
    }
    // The next well-formed reference at or after `from`: a "${" followed by
    // 1 to 63 characters and the first "}" after it. A "${" with no "}", an
    // empty name or a longer one is plain text. False when there is none.
    static bool findReference(const char* from, Reference& reference);

    // --- Plural forms and choices ------------------------------------------------
    // Forms are ordinary texts under suffixed keys (spelt by PluralKey):
    // KEY_=N for an exact value (an integer N, "-1" for minus one;
    // KEY_ordinal_=N among ordinals), KEY_zero, KEY_one, KEY_two, KEY_few, KEY_many and
    // KEY_other for the categories of the bundle's language (CLDR's rules),
    // KEY_ordinal_CATEGORY for ordinals, KEY_WORD for a choice by a word.
    //
    // The form of `key` for `count`: the exact value, then the category (for
    // ordinals KEY_ordinal_CATEGORY, then KEY_ordinal_other), then
    // KEY_other, then KEY itself as getText gives it, so that a look-up never
    // fails. A fallback past the category is written once per key and
    // language as a warning to the root logger. For a double count the
    // category follows what KEY_other's first conversion shows of it.
    const char* getPluralForm(const char* key, const PluralCount& count, bool ordinal,
                              bool inherit) const;
    // The form, formatted like getText: the arguments fill its conversions,
    // so a text that shows the count takes it among them. References are
    // not substituted; hand the form to resolve for that.
    const char* vgetPluralText(const char* key, const PluralCount& count, std::string& out,
                               bool inherit, va_list args) const;
    const char* getPluralText(const char* key, const PluralCount& count, std::string& out,
                              bool inherit, ...) const;
    const char* vgetOrdinalText(const char* key, const PluralCount& count, std::string& out,
                                bool inherit, va_list args) const;
    const char* getOrdinalText(const char* key, const PluralCount& count, std::string& out,
                               bool inherit, ...) const;
    // KEY_WORD (say a grammatical gender), then KEY_other, then KEY itself,
    // with the same warnings.
    const char* getChoiceForm(const char* key, const char* word, bool inherit) const;
    const char* getChoiceText(const char* key, const char* word, std::string& out, bool inherit,
                              ...) const;
    // The rules of this bundle's language.
    const PluralRules& getPluralRules(bool ordinal) const;

    // --- Messages ---------------------------------------------------------------
    // Whether a file of this bundle said its texts are messages; a bundle
    // without the mark keeps its texts for getText and printf alone.
    bool isMessageBundle() const { return mMessageBundle; }
    void setMessageBundle(bool messages) { mMessageBundle = messages; }
    // The text of `key` as getText finds it, its references substituted (one
    // level deep, as resolve does: a text put in is message source too), then
    // compiled as a message in the bundle's language (once per key and
    // text: a new text for the key replaces the compiled old one) and
    // formatted with `arguments` into `out`. A text that does not compile
    // gives `key`, with a warning once per key and text. Formatting errors (a missing
    // argument, say) leave the fallback the message defines, as "{$count}",
    // and go to `errors` when given. Returns out's C string.
    const char* formatMessage(
        const char* key, const MessageArguments& arguments, std::string& out, bool inherit,
        std::vector<MessageError>* errors = nullptr,
        MessageFormat::BidiIsolation isolation = MessageFormat::BIDI_DEFAULT) const;

    // --- Files ------------------------------------------------------------------
    // Reloads this bundle and its subtree: for each bundle the localized file
    // of its language ("texts_de.xml"), then the base file for the keys still
    // missing. XML or JSON by the path's extension. A file that cannot be read
    // costs a warning and is skipped; nothing is thrown for it. `flag` is
    // handed on to the children.
    void load(vfs::FileSystem* fileSystem, bool flag);

  private:
    const char* _resolve(const char* text, std::string& out, bool inherit) const;
    // The compiled message of `key`'s text (references substituted) in the
    // bundle's language; null, warned about once, when it does not compile.
    const MessageFormat* compileMessage(const std::string& text, const char* key) const;
    void loadXML(vfs::FileSystem* fileSystem, const char* path);
    void loadJSON(vfs::FileSystem* fileSystem, const char* path);
    void load(const json::JSObject* object, bool overwrite);
    // The localized file of `path` in this bundle's language; empty when the
    // language is empty.
    std::string localizedPath(const char* path) const;
    bool isAncestorOrSelf(const Bundle* bundle) const;
    // The text of `key` + `suffix` here or (with `inherit`) in an ancestor;
    // null when there is none.
    const char* findForm(const char* key, size_t keyLength, const char* suffix, size_t suffixLength,
                         bool inherit) const;
    // True when this bundle (or, with `inherit`, an ancestor) holds a key
    // with "_=": only then can a count have an exact form.
    bool hasExactForms(bool inherit) const;
    // KEY_ordinal_other (for ordinals), KEY_other, else KEY as getText gives
    // it; warns once per key and language that `wanted` was missing.
    const char* fallBack(const char* key, size_t keyLength, const char* wanted, bool ordinal,
                         bool inherit) const;
    PluralRules::Operands countOperands(const char* key, size_t keyLength, const PluralCount& count,
                                        bool inherit) const;
    void storeText(const char* key, const char* text);
    // This bundle's own text under `key`, or null.
    const char* findText(const char* key) const {
        if (key == nullptr) {
            return nullptr;
        }
        auto it = mTextIndex.find(std::string_view(key));
        return it != mTextIndex.end() ? it->second : nullptr;
    }

    TextMap mTexts;
    ChildList mChildren;
    ChildIndex mChildIndex;
    Bundle* mParent;
    std::string mName;
    std::string mPath;
    std::string mLanguage;
    // A hash index over mTexts, so that a look-up costs a hash and a probe or
    // two instead of a walk down the ordered tree. The views point into the
    // key copies that mTexts owns, which a replaced text keeps.
    std::unordered_map<std::string_view, const char*> mTextIndex;
    // The rules of mLanguage, found at the first plural look-up after a
    // change of language.
    mutable const PluralRules* mPluralRules[2] = {nullptr, nullptr};
    // The keys holding "_=" (exact forms) among mTexts.
    size_t mExactForms = 0;
    // "LANGUAGE KEY" of each missing form already warned about.
    mutable std::set<std::string> mMissingForms;
    bool mMessageBundle = false;
    // Compiled messages by key, each with the source text it was compiled
    // from, in mLanguage; null for a text that does not compile (warned
    // about once). One entry per key formatted, whatever setText does.
    mutable std::unordered_map<std::string, std::pair<std::string, std::unique_ptr<MessageFormat>>>
        mMessages;
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_BUNDLE_H
