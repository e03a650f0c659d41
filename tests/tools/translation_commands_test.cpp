// kavrixml i18n-export and i18n-import, run as a translator's round trip
// would run them: exact files out, translations back in with every refusal
// on its line, and the localized file never lost or half written.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tool_support.h"

namespace {

using namespace tooltest;

const std::string kBase =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- base texts -->\n"
    "<LANGUAGE>\n"
    "  <TEXT key=\"title\"><![CDATA[Main menu]]></TEXT>\n"
    "  <TEXT key=\"count\"><![CDATA[%d of %s]]></TEXT>\n"
    "  <TEXT key=\"saved\"><![CDATA[Saved to ${folder}]]></TEXT>\n"
    "  <TEXT key=\"folder\"><![CDATA[Photos]]></TEXT>\n"
    "</LANGUAGE>\n";
// Translated in part, with a key the base file no longer has.
const std::string kGerman =
    "<LANGUAGE><TEXT key=\"title\"><![CDATA[Hauptmen\xc3\xbc]]></TEXT>"
    "<TEXT key=\"gone\"><![CDATA[alt]]></TEXT></LANGUAGE>\n";

const std::string kPOHeader =
    "msgid \"\"\n"
    "msgstr \"\"\n"
    "\"Project-Id-Version: texts.xml\\n\"\n"
    "\"PO-Revision-Date: \\n\"\n"
    "\"Last-Translator: \\n\"\n"
    "\"Language-Team: \\n\"\n"
    "\"Language: de\\n\"\n"
    "\"MIME-Version: 1.0\\n\"\n"
    "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
    "\"Content-Transfer-Encoding: 8bit\\n\"\n";

ToolRun tool(const std::string& args, const std::string& folder) {
    return run(args, "", folder);
}

std::string sample() {
    return writeFolder({{"texts.xml", kBase}, {"texts_de.xml", kGerman}});
}

TEST(I18NExportCommand, WritesXliffAndPoWithUntranslatedUnitsMarked) {
    std::string folder = sample();
    EXPECT_EQ(
        tool("i18n-export --lang de texts.xml", folder),
        (ToolRun{0,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<xliff srcLang=\"en\" trgLang=\"de\" version=\"2.0\" "
                 "xmlns=\"urn:oasis:names:tc:xliff:document:2.0\">\n"
                 "  <file id=\"f1\" original=\"texts.xml\" xml:space=\"preserve\">\n"
                 "    <unit id=\"title\"><segment state=\"translated\"><source>Main menu</source>"
                 "<target>Hauptmen\xc3\xbc</target></segment></unit>\n"
                 "    <unit id=\"count\"><notes><note category=\"format\">keep the printf "
                 "conversions: %d %s</note></notes><segment state=\"initial\"><source>%d of "
                 "%s</source><target/></segment></unit>\n"
                 "    <unit id=\"saved\"><notes><note category=\"format\">keep the references: "
                 "${folder}</note></notes><segment state=\"initial\"><source>Saved to "
                 "${folder}</source><target/></segment></unit>\n"
                 "    <unit id=\"folder\"><segment state=\"initial\"><source>Photos</source>"
                 "<target/></segment></unit>\n"
                 "  </file>\n"
                 "</xliff>\n",
                 ""}));

    EXPECT_EQ(tool("i18n-export --lang de -o de.po --source-lang en texts.xml", folder),
              (ToolRun{0, "de.po: 4 texts of texts_de.xml, 3 untranslated\n", ""}));
    EXPECT_EQ(readFile(folder + "/de.po"), "# texts.xml translated into de.\n" + kPOHeader +
                                               "\n"
                                               "msgctxt \"title\"\n"
                                               "msgid \"Main menu\"\n"
                                               "msgstr \"Hauptmen\xc3\xbc\"\n"
                                               "\n"
                                               "#. keep the printf conversions: %d %s\n"
                                               "#, c-format\n"
                                               "msgctxt \"count\"\n"
                                               "msgid \"%d of %s\"\n"
                                               "msgstr \"\"\n"
                                               "\n"
                                               "#. keep the references: ${folder}\n"
                                               "msgctxt \"saved\"\n"
                                               "msgid \"Saved to ${folder}\"\n"
                                               "msgstr \"\"\n"
                                               "\n"
                                               "msgctxt \"folder\"\n"
                                               "msgid \"Photos\"\n"
                                               "msgstr \"\"\n");
}

TEST(I18NImportCommand, ARoundTripWithoutChangesLeavesTheFileByteForByte) {
    for (std::string base : {"texts.xml", "texts.json"}) {
        for (std::string exported : {"de.xlf", "de.po"}) {
            std::string folder = base == "texts.xml"
                                     ? sample()
                                     : writeFolder({{"texts.json", "{\"a\": \"%s\", \"b\": \"B\"}"},
                                                    {"texts_de.json", "{ \"a\" : \"%s!\" }"}});
            std::string localized = folder + "/texts_de." + (base == "texts.xml" ? "xml" : "json");
            std::string before = readFile(localized);
            ASSERT_EQ(tool("i18n-export --lang de -o " + exported + " " + base, folder).status, 0);
            ToolRun run = tool("i18n-import " + base + " " + exported, folder);
            EXPECT_EQ(run.status, 0) << run.out << run.err;
            EXPECT_EQ(run.out.substr(run.out.find(": 0 added")),
                      ": 0 added, 0 changed, 0 refused; no changes\n");
            EXPECT_EQ(readFile(localized), before) << base << " " << exported;
        }
    }
}

TEST(I18NImportCommand, TakesHardTextsFromPoAndXliffIntoEitherFormat) {
    // Multi-line strings, escapes, markup, %%, numbered arguments in another
    // order and references: all arrive byte for byte.
    std::string po = kPOHeader +
                     "\n"
                     "#, c-format\n"
                     "msgctxt \"count\"\n"
                     "msgid \"%d of %s\"\n"
                     "msgstr \"\"\n"
                     "\"%2$s: <b>%1$d</b> & \\\"100%%\\\"\\n\"\n"
                     "\"zweite\\tZeile ]]> \\\\ \"\n"
                     "\n"
                     "msgctxt \"saved\"\n"
                     "msgid \"Saved to ${folder}\"\n"
                     "msgstr \"In ${folder} gesichert\"\n";
    std::string folder = writeFolder({{"texts.xml", kBase}, {"de.po", po}});
    EXPECT_EQ(tool("i18n-import texts.xml de.po", folder),
              (ToolRun{0,
                       "texts_de.xml: count: added\n"
                       "texts_de.xml: saved: added\n"
                       "summary de (texts_de.xml): 2 added, 0 changed, 0 refused; written\n",
                       ""}));
    EXPECT_EQ(readFile(folder + "/texts_de.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<LANGUAGE>\n"
              "  <TEXT key=\"count\"><![CDATA[%2$s: <b>%1$d</b> & \"100%%\"\n"
              "zweite\tZeile ]]]]><![CDATA[> \\ ]]></TEXT>\n"
              "  <TEXT key=\"saved\"><![CDATA[In ${folder} gesichert]]></TEXT>\n"
              "</LANGUAGE>\n");
    // Exported again, the multi-line text keeps the form it came in.
    EXPECT_EQ(tool("i18n-export --lang de -o back.po texts.xml", folder).status, 0);
    const std::string back = readFile(folder + "/back.po");
    EXPECT_NE(back.find("msgstr \"\"\n"
                        "\"%2$s: <b>%1$d</b> & \\\"100%%\\\"\\n\"\n"
                        "\"zweite\\tZeile ]]> \\\\ \"\n"),
              std::string::npos)
        << back;

    std::string xliff =
        "<?xml version=\"1.0\"?>\n"
        "<xliff version=\"2.0\" srcLang=\"en\" trgLang=\"fr\">\n"
        "<file id=\"1\"><group id=\"g\">\n"
        "<unit id=\"a\"><segment><source>x</source><target>&lt;i&gt;\"%s\"\n"
        "  &amp; ${b}</target></segment></unit>\n"
        "</group></file></xliff>\n";
    folder = writeFolder({{"texts.json", "{\"a\": \"%s\", \"b\": \"B\"}"}, {"fr.xliff", xliff}});
    EXPECT_EQ(tool("i18n-import texts.json fr.xliff", folder),
              (ToolRun{0,
                       "texts_fr.json: a: added\n"
                       "summary fr (texts_fr.json): 1 added, 0 changed, 0 refused; written\n",
                       ""}));
    EXPECT_EQ(readFile(folder + "/texts_fr.json"), "{\n  \"a\": \"<i>\\\"%s\\\"\\n  & ${b}\"\n}\n");
}

TEST(I18NImportCommand, ReadsPoFilesAsGettextToolsWriteThem) {
    // CR LF line ends, strings wrapped over several lines, comments of every
    // kind, obsolete entries, octal escapes and a plural entry.
    std::string po =
        "# Translator's comment\r\n"
        "msgid \"\"\r\n"
        "msgstr \"\"\r\n"
        "\"Language: de\\n\"\r\n"
        "\"Plural-Forms: nplurals=2; plural=(n != 1);\\n\"\r\n"
        "\r\n"
        "#. keep the printf conversions: %d %s\r\n"
        "#: src/main.c:12\r\n"
        "#, c-format\r\n"
        "#| msgid \"%d from %s\"\r\n"
        "msgctxt \"count\"\r\n"
        "msgid \"%d of \"\r\n"
        "\"%s\"\r\n"
        "msgstr \"%d \"\r\n"
        "\"von \\001%s\"\r\n"
        "\r\n"
        "msgctxt \"title\"\r\n"
        "msgid \"one\"\r\n"
        "msgid_plural \"many\"\r\n"
        "msgstr[0] \"eins\"\r\n"
        "msgstr[1] \"viele\"\r\n"
        "\r\n"
        "#~ msgctxt \"folder\"\r\n"
        "#~ msgid \"Photos\"\r\n"
        "#~ msgstr \"Fotos\"\r\n";
    std::string folder = writeFolder({{"texts.xml", kBase}, {"de.po", po}});
    EXPECT_EQ(
        tool("i18n-import texts.xml de.po", folder),
        (ToolRun{1,
                 "de.po:20: title: a plural entry, but the base file has no plural forms of title\n"
                 "texts_de.xml: count: added\n"
                 "summary de (texts_de.xml): 1 added, 0 changed, 1 refused; written\n",
                 ""}));
    EXPECT_EQ(readFile(folder + "/texts_de.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<LANGUAGE>\n"
              "  <TEXT key=\"count\"><![CDATA[%d von \x01%s]]></TEXT>\n"
              "</LANGUAGE>\n");
}

TEST(I18NImportCommand, RefusesBadTranslationsOnTheirLinesAndTakesTheRest) {
    std::string po = kPOHeader +
                     "\n"
                     "msgctxt \"title\"\n"
                     "msgid \"Main menu\"\n"
                     "msgstr \"Men\xc3\xbc\"\n"  // line 14: changed
                     "\n"
                     "#, c-format\n"
                     "msgctxt \"count\"\n"
                     "msgid \"%d of %s\"\n"
                     "msgstr \"%s von %d\"\n"  // 19: conversions differ
                     "\n"
                     "msgctxt \"saved\"\n"
                     "msgid \"Saved to ${folder}\"\n"
                     "msgstr \"In ${ordner} gesichert %\"\n"  // 23: two findings
                     "\n"
                     "msgctxt \"gone\"\n"
                     "msgid \"old\"\n"
                     "msgstr \"alt!\"\n"  // 27: stale
                     "\n"
                     "#, fuzzy\n"
                     "msgctxt \"folder\"\n"
                     "msgid \"Photos\"\n"
                     "msgstr \"Fotos?\"\n"  // 32: fuzzy, left out
                     "\n"
                     "msgid \"no context\"\n"
                     "msgstr \"kein Kontext\"\n"  // 35: not ours
                     "\n"
                     "#~ msgctxt \"title\"\n"
                     "#~ msgid \"Main menu\"\n"
                     "#~ msgstr \"obsolete\"\n";
    std::string folder =
        writeFolder({{"texts.xml", kBase}, {"texts_de.xml", kGerman}, {"de.po", po}});
    EXPECT_EQ(tool("i18n-import texts.xml de.po", folder),
              (ToolRun{1,
                       "de.po:19: count: conversions differ: base has %d %s, this has %s %d\n"
                       "de.po:23: saved: bad format: incomplete conversion % at the end\n"
                       "de.po:23: saved: unresolved reference ${ordner}\n"
                       "de.po:27: gone: stale (not in base file)\n"
                       "de.po:35: no msgctxt: the entry names no text key\n"
                       "texts_de.xml: title: changed\n"
                       "summary de (texts_de.xml): 0 added, 1 changed, 5 refused; written\n",
                       ""}));
    // The stale key that the import refused stays as it was.
    EXPECT_EQ(readFile(folder + "/texts_de.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<LANGUAGE>\n"
              "  <TEXT key=\"title\"><![CDATA[Men\xc3\xbc]]></TEXT>\n"
              "  <TEXT key=\"gone\"><![CDATA[alt]]></TEXT>\n"
              "</LANGUAGE>\n");

    std::string xliff =
        "<xliff version=\"2.0\" srcLang=\"en\" trgLang=\"de\"><file id=\"f\">\n"
        "<!-- <unit id=\"commented\"> -->\n"
        "<unit id=\"count\">\n"
        "  <segment><source>%d of %s</source><target>%d von %s %d</target></segment>\n"
        "</unit>\n"
        "<unit id=\"title\"><segment><source>x</source><target>Haupt<pc id=\"1\">men\xc3\xbc</pc>"
        "</target></segment></unit>\n"
        "<unit id=\"folder\"><segment><source>Photos</source><target/></segment></unit>\n"
        "</file></xliff>\n";
    folder = writeFolder({{"texts.xml", kBase}, {"texts_de.xml", kGerman}, {"de.xlf", xliff}});
    EXPECT_EQ(tool("i18n-import --dry-run texts.xml de.xlf", folder),
              (ToolRun{1,
                       "de.xlf:3: count: conversions differ: base has %d %s, this has %d %s %d\n"
                       "de.xlf:6: title: inline markup in the unit is not supported\n"
                       "summary de (texts_de.xml): 0 added, 0 changed, 2 refused; no changes\n",
                       ""}));
    EXPECT_EQ(readFile(folder + "/texts_de.xml"), kGerman);
}

TEST(I18NImportCommand, AFailureLeavesTheOldFileWhole) {
    std::string po = kPOHeader + "\nmsgctxt \"folder\"\nmsgid \"Photos\"\nmsgstr \"Fotos\"\n";
    std::string folder = sample();
    std::ofstream(folder + "/de.po") << po;

    // The dry run lists the change and writes nothing.
    EXPECT_EQ(
        tool("i18n-import --dry-run texts.xml de.po", folder),
        (ToolRun{
            0,
            "texts_de.xml: folder: added\n"
            "summary de (texts_de.xml): 1 added, 0 changed, 0 refused; not written (dry run)\n",
            ""}));
    EXPECT_EQ(readFile(folder + "/texts_de.xml"), kGerman);

    // The new file cannot be written beside the old one.
    mkdir((folder + "/texts_de.xml.kavrixml-tmp").c_str(), 0755);
    EXPECT_EQ(
        tool("i18n-import texts.xml de.po", folder),
        (ToolRun{
            1, "texts_de.xml: folder: added\n",
            "kavrixml i18n-import: cannot write texts_de.xml.kavrixml-tmp: Is a directory\n"}));
    EXPECT_EQ(readFile(folder + "/texts_de.xml"), kGerman);
    rmdir((folder + "/texts_de.xml.kavrixml-tmp").c_str());

    // A localized file that does not read is never replaced by a new one.
    std::ofstream(folder + "/texts_de.xml") << "<LANGUAGE><TEXT key='a'>";
    EXPECT_EQ(
        tool("i18n-import texts.xml de.po", folder),
        (ToolRun{
            1, "",
            "kavrixml i18n-import: texts_de.xml: cannot be loaded: line 1, column 25: Unexpected "
            "end of input (expected '<')\n"}));
    EXPECT_EQ(readFile(folder + "/texts_de.xml"), "<LANGUAGE><TEXT key='a'>");

    // Nor is anything written for a translated file that does not read.
    std::ofstream(folder + "/bad.po") << kPOHeader << "\nmsgctxt \"a\"\nmsgid \"b\nmsgstr \"\"\n";
    EXPECT_EQ(
        tool("i18n-import texts.xml bad.po", folder),
        (ToolRun{
            1, "",
            "kavrixml i18n-import: bad.po:13: a string that does not end with \" on its line\n"}));
    std::ofstream(folder + "/bad.xlf") << "<xliff version=\"2.0\">\n<file></xliff>";
    EXPECT_EQ(tool("i18n-import --lang de texts.xml bad.xlf", folder),
              (ToolRun{1, "", "kavrixml i18n-import: bad.xlf:2:9: Unclosed node file\n"}));
    EXPECT_EQ(readFile(folder + "/texts_de.xml"), "<LANGUAGE><TEXT key='a'>");
}

TEST(I18NImportCommand, UsageAndLanguageErrors) {
    std::string folder = sample();
    std::ofstream(folder + "/x.xlf") << "<xliff version=\"2.0\" trgLang=\"fr\"/>";
    std::ofstream(folder + "/old.xlf") << "<xliff version=\"1.2\"/>";
    std::ofstream(folder + "/none.po") << "msgid \"\"\nmsgstr \"\"\n";
    struct Case {
        const char* args;
        int status;
        const char* err;
    } cases[] = {
        {"i18n-export texts.xml", 2,
         "kavrixml i18n-export: expects --lang CODE and one ROOTFILE (see kavrixml i18n-export "
         "--help)\n"},
        {"i18n-export --lang ../x texts.xml", 2,
         "kavrixml i18n-export: expects --lang CODE and one ROOTFILE (see kavrixml i18n-export "
         "--help)\n"},
        {"i18n-export --lang de --format mo texts.xml", 2,
         "kavrixml i18n-export: unknown format 'mo' (xliff or po)\n"},
        {"i18n-export --lang de texts.txt", 1,
         "kavrixml i18n-export: texts.txt: a bundle file ends in .xml or .json\n"},
        {"i18n-export --lang de missing.xml", 1,
         "kavrixml i18n-export: missing.xml: no such file\n"},
        {"i18n-import texts.xml de.txt", 2,
         "kavrixml i18n-import: de.txt: a translated file ends in .xlf, .xliff or .po\n"},
        {"i18n-import --keep texts.xml x.xlf", 2,
         "kavrixml i18n-import: unknown option '--keep' (see kavrixml i18n-import --help)\n"},
        {"i18n-import --lang de texts.xml x.xlf", 1,
         "kavrixml i18n-import: x.xlf is a translation into fr, not de\n"},
        {"i18n-import texts.xml old.xlf", 1,
         "kavrixml i18n-import: old.xlf: XLIFF version \"1.2\" is not read; version 2.0 is\n"},
        {"i18n-import texts.xml none.po", 1,
         "kavrixml i18n-import: none.po names no target language; give it with --lang\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tool(c.args, folder), (ToolRun{c.status, "", c.err}));
    }
}

}  // namespace

namespace {

// Plural keys: every form each language needs goes out and comes back
// unchanged, in PO and in XLIFF; a PO file's own order of forms is mapped
// back by its Plural-Forms expression, and one that is no reordering of the
// language's forms is refused on the header's line.
TEST(I18NImportCommand, PluralKeysRoundTripAndForeignOrdersMapBack) {
    const std::string samples = std::string(KAVRIXML_SOURCE_DIR) + "/examples/i18n/plural/";
    for (std::string language : {"en", "ru", "ar"}) {
        for (std::string exported : {"out.po", "out.xlf"}) {
            std::string folder = writeFolder(
                {{"texts.xml", readFile(samples + "texts.xml")},
                 {"texts_" + language + ".xml", readFile(samples + "texts_" + language + ".xml")}});
            std::string localized = folder + "/texts_" + language + ".xml";
            std::string before = readFile(localized);
            ToolRun out =
                tool("i18n-export --lang " + language + " -o " + exported + " texts.xml", folder);
            ASSERT_EQ(out.status, 0);
            EXPECT_EQ(out.out.substr(out.out.find(".xml, ")), ".xml, 0 untranslated\n");
            ToolRun run = tool("i18n-import texts.xml " + exported, folder);
            EXPECT_EQ(run.out, "summary " + language + " (texts_" + language +
                                   ".xml): 0 added, 0 changed, 0 refused; no changes\n")
                << language << " " << exported << run.err;
            EXPECT_EQ(readFile(localized), before);
        }
    }
    std::string folder = writeFolder({{"texts.xml", readFile(samples + "texts.xml")}});
    ASSERT_EQ(tool("i18n-export --lang pl -o pl.po texts.xml", folder).status, 0);
    std::string po = readFile(folder + "/pl.po");
    EXPECT_NE(po.find("\"Plural-Forms: nplurals=3; plural=(n == 1) ? 0 : (n % 10 >= 2 && n % 10 "
                      "<= 4 && !(n % 100 >= 12 && n % 100 <= 14)) ? 1 : 2;\\n\"\n"),
              std::string::npos);
    EXPECT_NE(
        po.find("#. msgstr[0] one: 1; msgstr[1] few: 2, 3, 4, 22, …; msgstr[2] many: 0, 5, "
                "6, 7, …\n#, c-format\nmsgctxt \"photos\"\nmsgid \"%d photo\"\n"
                "msgid_plural \"%d photos\"\nmsgstr[0] \"\"\nmsgstr[1] \"\"\nmsgstr[2] \"\"\n"),
        std::string::npos);
    // Two forms of three translated: fuzzy, which msgfmt -c accepts (an empty
    // msgstr[2] beside filled ones it refuses), read back as untranslated.
    std::ofstream(folder + "/texts_pl.xml")
        << "<LANGUAGE><T key=\"photos_one\"><![CDATA[%d zdjęcie]]></T>"
           "<T key=\"photos_few\"><![CDATA[%d zdjęcia]]></T></LANGUAGE>";
    ASSERT_EQ(tool("i18n-export --lang pl -o part.po texts.xml", folder).status, 0);
    std::string part = readFile(folder + "/part.po");
    EXPECT_NE(part.find("#, fuzzy, c-format\nmsgctxt \"photos\"\nmsgid \"%d photo\"\n"
                        "msgid_plural \"%d photos\"\nmsgstr[0] \"%d zdjęcie\"\n"
                        "msgstr[1] \"%d zdjęcia\"\nmsgstr[2] \"\"\n"),
              std::string::npos)
        << part;
    if (std::system("command -v msgfmt >/dev/null") == 0) {
        EXPECT_EQ(std::system(("msgfmt -c -o /dev/null " + folder + "/part.po").c_str()), 0);
    }
    std::remove((folder + "/texts_pl.xml").c_str());
    // Another tool's order: many first, then one, then few.
    const std::string header =
        kPOHeader.substr(0, kPOHeader.find("\"Language: ")) + "\"Language: pl\\n\"\n";
    auto withForms = [&](const std::string& forms) {
        return header + "\"Plural-Forms: " + forms + "\\n\"\n\n" +
               "msgctxt \"photos\"\nmsgid \"%d photo\"\nmsgid_plural \"%d photos\"\n"
               "msgstr[0] \"%d zdjęć\"\nmsgstr[1] \"%d zdjęcie\"\nmsgstr[2] \"%d zdjęcia\"\n";
    };
    std::string foreign = folder + "/foreign.po";
    std::ofstream(foreign) << withForms(
        "nplurals=3; plural=n==1 ? 1 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 2 : 0;");
    EXPECT_EQ(tool("i18n-import --dry-run texts.xml foreign.po", folder),
              (ToolRun{0,
                       "texts_pl.xml: photos_many: added\ntexts_pl.xml: photos_one: added\n"
                       "texts_pl.xml: photos_few: added\nsummary pl (texts_pl.xml): 3 added, 0 "
                       "changed, 0 refused; not written (dry run)\n",
                       ""}));
    const struct {
        const char* forms;
        const char* error;
    } refused[] = {
        {"nplurals=2; plural=(n != 1);",
         "nplurals=2, but pl has 3 forms for whole numbers (one, few, many)"},
        {"nplurals=3; plural=n==1 ? 0 : n<5 ? 1 : 2;",
         "the expression does not order the plural forms of pl: form 1 holds 0 (many) and 2 "
         "(few)"},
        {"nplurals=3; plural=n==1 ? 0 : n%10>=2 && n%10<=4 ? 1 : 2;",
         "the expression does not order the plural forms of pl: form 1 holds 2 (few) and 12 "
         "(many)"},
        {"nplurals=3; plural=n==1 ? 3 : 0;",
         "the expression gives form 3 for n=1, beyond nplurals=3"},
        {"nplurals=3; plural=n ==;",
         "plural expression, position 5: n, a number, \"!\" or \"(\" "
         "expected"},
    };
    for (const auto& r : refused) {
        std::ofstream(foreign) << withForms(r.forms);
        EXPECT_EQ(
            tool("i18n-import texts.xml foreign.po", folder),
            (ToolRun{1, "", std::string("kavrixml i18n-import: foreign.po:8: ") + r.error + "\n"}))
            << r.forms;
    }
}

}  // namespace

namespace {

// The translators' own tools take what the export writes (msgfmt -c,
// xmllint, gettext's CLDR converter): run where gettext is installed.
TEST(I18NExportCommand, GettextsToolsTakeTheExportedFiles) {
    if (std::system("command -v msgfmt >/dev/null && command -v xmllint >/dev/null") != 0) {
        GTEST_SKIP() << "gettext or xmllint is not installed";
    }
    std::string script = std::string(KAVRIXML_SOURCE_DIR) + "/tests/tools/check_with_gettext.sh";
    EXPECT_EQ(std::system(("bash " + script + " " + KAVRIXML_TOOL_PATH + " >/dev/null").c_str()),
              0);
}

// A bundle of messages: the marker is no unit, messages travel whole with
// their arguments noted and no printf flag, a translation that does not
// compile is refused, and a new localized file is marked as its base file.
TEST(I18NImportCommand, MessagesTravelWholeAndMustCompileToComeBack) {
    const std::string base =
        "{\"@format\": \"messageformat\", \"app\": \"Album\",\n"
        " \"n\": \".input {$n :integer} .match $n one {{${app}: {$n} photo, 100%}} "
        "* {{{$n} photos}}\",\n"
        " \"free\": \"{$gb :number} GB free\"}";
    std::string folder = writeFolder({{"m.json", base}});
    EXPECT_EQ(tool("i18n-export --lang fr -o fr.po m.json", folder),
              (ToolRun{0, "fr.po: 3 texts of m_fr.json, 3 untranslated\n", ""}));
    const std::string po = readFile(folder + "/fr.po");
    EXPECT_EQ(po.find("@format"), std::string::npos);
    EXPECT_EQ(po.find("c-format"), std::string::npos);
    EXPECT_NE(po.find("#. a MessageFormat message: keep the arguments $n\n"
                      "#. keep the references: ${app}\n"
                      "msgctxt \"n\"\n"
                      "msgid \".input {$n :integer} .match $n one {{${app}: {$n} photo, 100%}} * "
                      "{{{$n} photos}}\"\n"),
              std::string::npos)
        << po;
    EXPECT_NE(tool("i18n-export --lang fr -o fr.xlf m.json", folder).out, "");
    EXPECT_NE(readFile(folder + "/fr.xlf")
                  .find("<source>.input {$n :integer} .match $n one {{${app}: {$n} photo, 100%}} "
                        "* {{{$n} photos}}</source>"),
              std::string::npos);

    std::string translated = po;
    auto fill = [&translated](const std::string& id, const std::string& text) {
        size_t at = translated.find("msgstr \"\"", translated.find("msgctxt \"" + id + "\""));
        translated.replace(at, 9, "msgstr \"" + text + "\"");
    };
    fill("n", ".input {$n :integer} .match $n one {{${app} : {$n} photo}} * {{{$n} photos}}");
    fill("free", "{$gb :number} Go libres sur {$total");
    std::ofstream(folder + "/fr.po", std::ios::binary) << translated;
    ToolRun imported = tool("i18n-import m.json fr.po", folder);
    EXPECT_EQ(imported.status, 1);
    EXPECT_NE(imported.out.find(": free: does not compile: syntax-error: "), std::string::npos)
        << imported.out;
    EXPECT_NE(imported.out.find("m_fr.json: n: added\n"), std::string::npos) << imported.out;
    EXPECT_EQ(readFile(folder + "/m_fr.json"),
              "{\n  \"@format\": \"messageformat\",\n  \"n\": \".input {$n :integer} .match $n "
              "one {{${app} : {$n} photo}} * {{{$n} photos}}\"\n}\n");
}

}  // namespace
