// kavrixml i18n and i18n-check, run as a translator would: the samples are
// clean, every planted fault is found, and texts are shown or refused with
// exact messages.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tool_support.h"

namespace {

using namespace tooltest;

ToolRun runTool(const std::string& folder, const std::string& args) {
    return run(args, "", folder);
}

const std::string kExamples = std::string(KAVRIXML_SOURCE_DIR) + "/examples/i18n";

TEST(I18NCheckCommand, TheXmlAndJsonSamplesAreClean) {
    for (std::string format : {"xml", "json"}) {
        std::string expected;
        for (std::string language : {"base", "de", "en", "fr"}) {
            std::string file = language == "base" ? "texts." : "texts_" + language + ".";
            expected += "summary " + language + " (" + file + format + "): 22 texts, clean\n";
        }
        EXPECT_EQ(runTool(kExamples + "/" + format, "i18n-check texts." + format),
                  (ToolRun{0, expected, ""}));
    }
}

TEST(PluralCommand, PrintsCategoriesAndRules) {
    const struct {
        const char* args;
        ToolRun expected;
    } cases[] = {
        {"plural ru 1 22 5 1.5 1.2c6",
         {0, "1\tone\n22\tfew\n5\tmany\n1.5\tother\n1.2c6\tmany\n", ""}},
        {"plural en 1 1.0 -1", {0, "1\tone\n1.0\tother\n-1\tone\n", ""}},
        {"plural pt_pt 0", {0, "0\tother\n", ""}},
        {"plural ja 1", {0, "1\tother\n", ""}},
        {"plural xx 1",
         {0, "1\tother\n",
          "kavrixml plural: warning: CLDR has no cardinal rules for 'xx'; using root's, which "
          "answer other for every number\n"}},
        {"plural --ordinal en_GB 1 2 3 11", {0, "1\tone\n2\ttwo\n3\tfew\n11\tother\n", ""}},
        {"plural de 1 x 2",
         {1, "1\tone\n2\tother\n", "kavrixml plural: 'x' is no decimal number\n"}},
        {"plural --rules --ordinal de",
         {0, "ordinal rules of de (CLDR 41):\nother:\n    0, 1, 2, 3, 4, 5, 6, 7\n", ""}},
        {"plural --rules ar",
         {0,
          "cardinal rules of ar (CLDR 41):\n"
          "zero: n = 0\n    0, 0.0, 0.00, 0.000, 0.0000\n"
          "one: n = 1\n    1, 1.0, 1.00, 1.000, 1.0000\n"
          "two: n = 2\n    2, 2.0, 2.00, 2.000, 2.0000\n"
          "few: n % 100 = 3..10\n    3, 4, 5, 6, 7, 8, 9, 10, 3.0, 4.0, 5.0, 6.0\n"
          "many: n % 100 = 11..99\n    11, 12, 13, 14, 15, 16, 17, 18, 11.0, 12.0, 13.0, 14.0\n"
          "other:\n    100, 101, 102, 200, 201, 202, 300, 301, 0.1, 0.2, 0.3, 0.4\n",
          ""}},
        {"plural ru",
         {2, "",
          "kavrixml plural: expects LANG and at least one NUMBER (see kavrixml plural --help)\n"}},
        {"plural --rules",
         {2, "", "kavrixml plural: --rules expects one LANG (see kavrixml plural --help)\n"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runTool(kExamples, c.args), c.expected) << c.args;
    }
}

TEST(I18NCheckCommand, FindsEveryPlantedFault) {
    EXPECT_EQ(
        runTool(kExamples, "i18n-check broken/texts.xml"),
        (ToolRun{1,
                 "broken/texts.xml: about: unresolved reference ${app_nme}\n"
                 "broken/texts.xml: language_fr: missing (display name of language fr)\n"
                 "broken/texts_de.xml: confirm_delete: unresolved reference ${libary}\n"
                 "broken/texts_de.xml: discount: bad format: unknown conversion % R\n"
                 "broken/texts_de.xml: items: conversions differ: base has %d, this has %s\n"
                 "broken/texts_de.xml: status_busy: stale (not in base file)\n"
                 "broken/texts_de.xml: status_ready: untranslated\n"
                 "broken/texts_fr.xml: cannot be loaded: line 5, column 3: Unclosed node TEXT\n"
                 "summary base (broken/texts.xml): 9 texts, 2 findings\n"
                 "summary de (broken/texts_de.xml): 9 texts, 5 findings\n"
                 "summary fr (broken/texts_fr.xml): 0 texts, 1 finding\n",
                 ""}));
}

TEST(I18NCheckCommand, ComparesArgumentsNotSpellingAndChecksJsonFiles) {
    std::string folder = writeFolder({
        {"app.json", R"({"a": "%s has %d photos", "b": "%5.1f%%", "c": "%s, %s", "d": "${a} ${b}",)"
                     R"( "language_it": "Italian", "language_es": "Spanish"})"},
        {"app_it.json",
         R"({"a": "%2$d foto di %1$s", "b": "%.2f %%", "c": "%d, %s", "d": "${b} ${a}",)"
         R"( "language_it": "Italiano", "language_es": "Spagnolo"})"},
        {"app_es.json", "[\"not\", \"an object\"]"},
    });
    EXPECT_EQ(runTool(folder, "i18n-check app.json"),
              (ToolRun{1,
                       "app_es.json: cannot be loaded: the top level is not a JSON object\n"
                       "app_it.json: c: conversions differ: base has %s %s, this has %d %s\n"
                       "summary base (app.json): 6 texts, clean\n"
                       "summary es (app_es.json): 0 texts, 1 finding\n"
                       "summary it (app_it.json): 6 texts, 1 finding\n",
                       ""}));
}

// Plural keys: each language is checked against its own rules; forms it
// needs are never stale, forms it cannot use are named, and a form for a
// single number may leave the number out.
TEST(I18NCheckCommand, ChecksPluralFormsByEachLanguagesRules) {
    EXPECT_EQ(runTool(kExamples, "i18n-check plural/texts.xml"),
              (ToolRun{0,
                       "summary base (plural/texts.xml): 15 texts, clean\n"
                       "summary ar (plural/texts_ar.xml): 20 texts, clean\n"
                       "summary en (plural/texts_en.xml): 15 texts, clean\n"
                       "summary ru (plural/texts_ru.xml): 16 texts, clean\n",
                       ""}));
    std::string folder = writeFolder({
        {"t.json", R"({"files_one": "%d file", "files_other": "%d files", "files_=0": "none",)"
                   R"( "gb_one": "%.1f GB", "gb_other": "%.1f GB", "menu_other": "More",)"
                   R"( "pos_ordinal_one": "%dst", "pos_ordinal_other": "%dth"})"},
        {"t_de.json",
         R"({"files_one": "eine Datei", "files_few": "%d Dateien", "files_other": "%s",)"
         R"( "files_=0": "keine", "gb_one": "%.1f GB", "gb_other": "%.1f GB",)"
         R"( "menu_other": "Mehr", "pos_ordinal_other": "%d."})"},
        {"t_ru.json", R"({"files_one": "%d файл", "files_many": "%d файлов", "gb_one": "%.1f",)"
                      R"( "gb_few": "%.1f", "gb_many": "%.1f", "menu_other": "Ещё",)"
                      R"( "pos_ordinal_other": "%d-й", "files_=0": "нет"})"},
    });
    EXPECT_EQ(runTool(folder, "i18n-check t.json"),
              (ToolRun{1,
                       "t.json: language_de: missing (display name of language de)\n"
                       "t.json: language_ru: missing (display name of language ru)\n"
                       "t_de.json: files_few: plural form few is never chosen in de\n"
                       "t_de.json: files_other: conversions differ: base has %d, this has %s\n"
                       "t_ru.json: files: missing plural form few (2, 3, 4, 22, …)\n"
                       "t_ru.json: gb: missing plural form other (0.0, 0.1, 0.2, 0.3, …)\n"
                       "summary base (t.json): 8 texts, 2 findings\n"
                       "summary de (t_de.json): 8 texts, 2 findings\n"
                       "summary ru (t_ru.json): 8 texts, 2 findings\n",
                       ""}));
}

// Bundles of messages: each translation compiles, reads the base text's
// arguments, selects them by the same functions, and has a variant for every
// plural category its language needs.
TEST(I18NCheckCommand, ChecksMessagesAgainstTheBaseTextAndTheLanguagesForms) {
    EXPECT_EQ(runTool(kExamples, "i18n-check messages/texts.xml"),
              (ToolRun{1,
                       "messages/texts_ru.xml: photos: missing plural form few (2, 3, 4, 22, …)\n"
                       "summary base (messages/texts.xml): 6 texts, clean\n"
                       "summary de (messages/texts_de.xml): 6 texts, clean\n"
                       "summary ru (messages/texts_ru.xml): 6 texts, 1 finding\n",
                       ""}));
    const std::string two = ".input {$a :number} .input {$b :integer} .match $a $b ";
    std::string folder = writeFolder({
        {"m.json",
         R"({"@format": "messageformat", "language_ar": "Arabic", "language_ru": "Russian",)"
         R"( "bad": "Hi {$name", "n": ".input {$n :integer} .match $n one {{a}} * {{b}}",)"
         R"( "who": "{$name} and {$other}", "pct": "50% of {$n}", "two": ")" +
             two + R"(one one {{x}} * * {{y}}"})"},
        // Without the marker of its own: the base file's decides.
        {"m_ar.json",
         R"({"language_ar": "a", "language_ru": "r", "bad": "{{}}", "who": "{$name} {$other}",)"
         R"( "n": ".input {$n :integer} .match $n zero {{}} one {{}} few {{}} many {{}} * {{}}",)"
         R"( "pct": "{$n} %", "two": "{$who}"})"},
        {"m_ru.json",
         R"({"@format": "messageformat", "language_ar": "a", "language_ru": "r", "bad": "x",)"
         R"( "n": ".input {$n :string} .match $n one {{a}} * {{b}}", "pct": "{$n}",)"
         R"( "who": "{$name} и {$third}", "gone": "{{x", "two": ")" +
             two + R"(one one {{x}} few one {{y}} many many {{z}} * * {{w}}"})"},
    });
    EXPECT_EQ(runTool(folder, "i18n-check m.json"),
              (ToolRun{1,
                       "m.json: bad: does not compile: syntax-error: unexpected end of message "
                       "(at offset 9)\n"
                       "m_ar.json: n: missing plural form two (2)\n"
                       "m_ar.json: two: uses $who, which the base text lacks\n"
                       "m_ar.json: two: drops $a of the base text\n"
                       "m_ar.json: two: drops $b of the base text\n"
                       "m_ru.json: gone: stale (not in base file)\n"
                       "m_ru.json: gone: does not compile: syntax-error: unexpected end of "
                       "message (at offset 3)\n"
                       "m_ru.json: n: selector $n is :string, the base text's :integer\n"
                       "m_ru.json: two: missing plural form few (2, 3, 4, 22, …) for $b\n"
                       "m_ru.json: who: uses $third, which the base text lacks\n"
                       "m_ru.json: who: drops $other of the base text\n"
                       "summary base (m.json): 7 texts, 1 finding\n"
                       "summary ar (m_ar.json): 7 texts, 4 findings\n"
                       "summary ru (m_ru.json): 8 texts, 6 findings\n",
                       ""}));
}

// Languages listed in the chosen language; string conversions filled from
// the command line, every other conversion refused.
TEST(I18NCommand, ShowsLanguagesAndTextsOrRefusesWithOneLine) {
    const struct {
        const char* args;
        ToolRun expected;
    } cases[] = {
        {"i18n --lang de xml/texts.xml",
         {0,
          "languages of xml/texts.xml (current: de):\n"
          "* de  Deutsch\n"
          "  en  Englisch\n"
          "  fr  Franz\xc3\xb6sisch\n",
          ""}},
        {"i18n --lang=it json/texts.json",
         {0,
          "languages of json/texts.json (current: en):\n"
          "  de  German\n"
          "* en  English\n"
          "  fr  French\n",
          "kavrixml i18n: language it is not available; showing en\n"}},
        {"i18n --lang de json/texts.json photo_taken 2024-07-14 Q2",
         {0, "Mit Q2 aufgenommen am 2024-07-14\n", ""}},
        {"i18n --lang de xml/texts.xml album_count 3 4",
         {1, "",
          "kavrixml i18n: the text of \"album_count\" has the conversion %d, which cannot be "
          "filled from the command line (only %s can)\n"}},
        {"i18n xml/texts.xml welcome",
         {1, "", "kavrixml i18n: the text of \"welcome\" takes 1 argument, 0 given\n"}},
        {"i18n --lang de xml/texts.xml no_such_key",
         {1, "", "kavrixml i18n: no text under \"no_such_key\" in language de\n"}},
        {"i18n --lang ru --count 22 plural/texts.xml photos", {0, "22 фотографии\n", ""}},
        {"i18n --lang ru --count 1.5 plural/texts.xml free", {0, "Свободно 1.5 ГБ\n", ""}},
        // A code as the system spells it finds its language; a count %d cannot show is refused.
        {"i18n --lang ru_RU --count 22 plural/texts.xml photos", {0, "22 фотографии\n", ""}},
        {"i18n --lang ru-RU --count 22 plural/texts.xml photos", {0, "22 фотографии\n", ""}},
        {"i18n --lang RU.UTF-8 --count 22 plural/texts.xml photos", {0, "22 фотографии\n", ""}},
        {"i18n --lang ru --count 4294967297 plural/texts.xml photos",
         {1, "", "kavrixml i18n: the count 4294967297 cannot fill the conversion reading int\n"}},
        {"i18n --lang ar --count 2 plural/texts.xml photos", {0, "صورتان\n", ""}},
        {"i18n --lang en --count 3 --ordinal plural/texts.xml rank",
         {0, "3rd in your library\n", ""}},
        {"i18n --lang en --count x plural/texts.xml photos",
         {1, "", "kavrixml i18n: 'x' is no decimal number\n"}},
        {"i18n --lang en --count 2.5 plural/texts.xml photos",
         {1, "", "kavrixml i18n: the count 2.5 cannot fill the conversion reading int\n"}},
        {"i18n --lang en --count 2 plural/texts.xml nothing",
         {1, "", "kavrixml i18n: no plural forms of \"nothing\" in language en\n"}},
        {"i18n --ordinal plural/texts.xml rank",
         {2, "", "kavrixml i18n: --ordinal needs --count N (see kavrixml i18n --help)\n"}},
        // Bundles of messages take named arguments, read as kavrixml message reads them.
        {"i18n --lang ru --arg count=22 messages/texts.xml photos",
         {0, "Фотоальбом: 22 фотографий.\n", ""}},
        {"i18n --lang de --arg name=Ada --arg gender=female --arg count=1234 messages/texts.xml "
         "shared",
         {0, "Ada hat 1.234 Fotos aus ihrem Album geteilt.\n", ""}},
        {"i18n --lang de --arg name=Bo --arg count=1 messages/texts.xml shared",
         {1, "Bo hat 1 Foto geteilt.\n",
          "kavrixml i18n: shared: unresolved-variable at offset 8\n"}},
        {"i18n --lang de --arg free=12.5 messages/texts.xml space",
         {1, "12,5 GB von {$total} GB frei\n",
          "kavrixml i18n: space: unresolved-variable at offset 48\n"
          "kavrixml i18n: space: bad-operand at offset 47\n"}},
        {"i18n --arg x=1 plural/texts.xml photos",
         {1, "",
          "kavrixml i18n: plural/texts.xml holds no MessageFormat messages: --arg is for those "
          "(see kavrixml i18n --help)\n"}},
        {"i18n --lang ru messages/texts.xml photos 3",
         {2, "",
          "kavrixml i18n: the texts of messages/texts.xml are messages: give their arguments "
          "with --arg NAME=VALUE\n"}},
        {"i18n --arg count messages/texts.xml photos",
         {2, "", "kavrixml i18n: --arg expects NAME=VALUE (see kavrixml i18n --help)\n"}},
        {"i18n --arg x=1 messages/texts.xml",
         {2, "", "kavrixml i18n: --arg needs a KEY and no --count (see kavrixml i18n --help)\n"}},
        {"i18n --frobnicate xml/texts.xml",
         {2, "", "kavrixml i18n: unknown option --frobnicate (see kavrixml i18n --help)\n"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runTool(kExamples, c.args), c.expected) << c.args;
    }
    // A count with a fraction fills no whole-number conversion of any length.
    const std::string texts =
        "<LANGUAGE><TEXT key=\"n_one\"><![CDATA[%lld file]]></TEXT>"
        "<TEXT key=\"n_other\"><![CDATA[%lld files]]></TEXT></LANGUAGE>";
    const std::string folder = writeFolder({{"t.xml", texts}, {"t_en.xml", texts}});
    EXPECT_EQ(runTool(folder, "i18n --count 4 t.xml n"), (ToolRun{0, "4 files\n", ""}));
    EXPECT_EQ(runTool(folder, "i18n --count 1.5 t.xml n"),
              (ToolRun{1, "",
                       "kavrixml i18n: the count 1.5 cannot fill the conversion reading long "
                       "long\n"}));
}

// kavrixml message: output, errors by name, parts, JSON, and the exit codes.
TEST(MessageCommand, FormatsWithArgumentsAndReportsEachOutcome) {
    const char* plural = "'.input {$n :integer} .match $n one {{{$n} file}} * {{{$n} files}}'";
    const struct {
        std::string args;
        ToolRun expected;
    } cases[] = {
        {std::string("--arg n=1 ") + plural, {0, "1 file\n", ""}},
        {std::string("--args-json '{\"n\": 3}' ") + plural, {0, "3 files\n", ""}},
        {"--arg who=Ann 'Hi {$who}!'",
         {0,
          "Hi \xE2\x81\xA8"
          "Ann\xE2\x81\xA9!\n",
          ""}},
        {"--bidi-isolation none --arg 'who=\"x y\"' 'Hi {$who}!'", {0, "Hi x y!\n", ""}},
        {"--bidi-isolation none --arg n=12345678901234567890.5 '{$n :number}'",
         {0, "12,345,678,901,234,567,890.5\n", ""}},
        {"--bidi-isolation none 'Hi {$who}!'",
         {1, "Hi {$who}!\n", "kavrixml message: unresolved-variable at offset 4\n"}},
        {"--json --bidi-isolation none 'Hi {$who :number}'",
         {1,
          "{\"output\": \"Hi {$who}\", \"errors\": [{\"type\": \"unresolved-variable\", "
          "\"offset\": "
          "4}, {\"type\": \"bad-operand\", \"offset\": 3}]}\n",
          ""}},
        {"--parts --bidi-isolation none --arg n=5 '{#b}{$n :integer}{/b}'",
         {0, "markup open b\ninteger \"5\"\nmarkup close b\n", ""}},
        {"--json '{oops'",
         {2,
          "{\"output\": \"{\\ufffd}\", \"errors\": [{\"type\": \"syntax-error\", \"offset\": "
          "5}]}\n",
          "kavrixml message: syntax-error: unexpected end of message (at offset 5)\n  {oops\n      "
          " "
          "^\n"}},
        {"'.local $x = {1}\n.match $x\n* {{}}'",
         {2, "",
          "kavrixml message: missing-selector-annotation: a selector needs a function to select "
          "with (at offset 23)\n  .match $x\n         ^\n"}},
        {"--bidi-isolation sideways x",
         {2, "", "kavrixml message: --bidi-isolation is default or none\n"}},
        {"--arg =1 x", {2, "", "kavrixml message: --arg expects NAME=VALUE\n"}},
        {"", {2, "", "kavrixml message: expects MESSAGE (see kavrixml message --help)\n"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run("message " + c.args), c.expected) << c.args;
    }
}

}  // namespace
