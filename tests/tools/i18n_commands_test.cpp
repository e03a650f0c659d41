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
        {"i18n --frobnicate xml/texts.xml",
         {2, "", "kavrixml i18n: unknown option --frobnicate (see kavrixml i18n --help)\n"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runTool(kExamples, c.args), c.expected) << c.args;
    }
}

}  // namespace
