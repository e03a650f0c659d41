// FormatCheck reads the printf conversions of a text, so that a translation
// can be checked against its original before a program formats it: "%d items"
// translated as "%s Elemente" would hand an int to a conversion that reads a
// string. It knows the ISO C conversions with flags, width, precision and
// length modifiers, "*" widths and precisions (each takes an int argument),
// and the numbered arguments of POSIX ("%2$s"), with which a translation may
// reorder its arguments.
//
//   FormatCheck base("%d of %s");
//   FormatCheck translated("%2$s: %1$d");
//   base.sameArguments(translated);          // true: int, then string
//   base.getArguments();                     // {"int", "char*"}
//
// A FormatCheck is a value; it keeps copies of what it reports.
#ifndef KAVRIXML_I18N_FORMATCHECK_H
#define KAVRIXML_I18N_FORMATCHECK_H

#include <functional>
#include <string>
#include <vector>

namespace kavri {
namespace i18n {

class FormatCheck {
  public:
    // One conversion as written ("%-5.2f"); `type` is the C type of the
    // argument it reads, empty for "%%" and "%m", which read none.
    struct Conversion {
        std::string specifier;
        std::string type;
    };

    explicit FormatCheck(const char* text);

    // False when the text is no usable format: an unknown conversion, a "%"
    // at the end, numbered and unnumbered arguments mixed, or a numbered
    // argument left out. getError() says which.
    bool isValid() const { return mError.empty(); }
    const std::string& getError() const { return mError; }

    // The conversions in text order, "%%" included.
    const std::vector<Conversion>& getConversions() const { return mConversions; }
    // The argument types in argument order: what a caller must pass.
    const std::vector<std::string>& getArguments() const { return mArguments; }
    // The conversions as written, separated by blanks; "none" without any.
    std::string describe() const;

    // Both texts read the same arguments, in the same order and of the same
    // types (so either can be formatted with the other's arguments).
    bool sameArguments(const FormatCheck& other) const { return mArguments == other.mArguments; }

    // True when every argument is a plain string ("%s", with any flags,
    // width or precision): the texts a caller can fill from strings alone.
    // Otherwise `offending` receives the first conversion that is not.
    bool takesOnlyStrings(std::string& offending) const;

    // --- The rules for translations --------------------------------------------
    // What the translators' check and the import say about a text, so that
    // both say the same. The finding for `translated` as the translation of
    // `original` (null when there is none): empty when the text may be used,
    // "bad format: REASON" when it is no valid format, or "conversions differ:
    // base has A, this has B" when it reads other arguments than the original.
    static std::string checkTranslation(const char* original, const char* translated);
    // Appends "unresolved reference ${NAME}" to `findings` for each "${NAME}"
    // of `text` for which `known(NAME)` is false.
    static void checkReferences(const char* text,
                                const std::function<bool(const std::string&)>& known,
                                std::vector<std::string>& findings);

  private:
    void scan(const char* text);
    // Reads the conversion that starts at `text[0] == '%'`; returns the
    // position after it, or null (with mError set) when it is malformed.
    const char* scanConversion(const char* text);
    void setArgument(int position, const std::string& type, const std::string& specifier);

    std::vector<Conversion> mConversions;
    std::vector<std::string> mArguments;
    std::vector<std::string> mArgumentSpecs;  // the conversion that reads each argument
    std::string mError;
    int mNumbered = 0;    // conversions with "n$"
    int mUnnumbered = 0;  // conversions (and "*") without
};

}  // namespace i18n
}  // namespace kavri

#endif  // KAVRIXML_I18N_FORMATCHECK_H
