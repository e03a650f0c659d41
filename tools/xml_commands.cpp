// kavrixml format, check, dump and find: the XML reader and writer from the
// command line. A malformed document is reported as FILE:LINE:COLUMN: MESSAGE,
// the position being that of the token where reading failed.
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/kavrimain/FileOutputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "framework/plinth/Logger.h"
#include "tools/Command.h"
#include "xml/Document.h"
#include "xml/XMLUtils.h"
#include "xml/XMLWriter.h"
#include "xml/XNode.h"

namespace kavrixml_tool {

namespace {

using kavri::xml::Document;
using kavri::xml::XNode;

// What lenient reading (DOMParser::setLenient) reads beyond the strict subset.
#define LENIENT_TEXT                                                                \
    "Lenient reading takes XML as it is found in files: any encoding iconv knows\n" \
    "(converted to UTF-8), version 1.1, every DOCTYPE form, entities declared in\n" \
    "the document, processing instructions (skipped) and text after comments.\n"    \
    "Lossless reading is lenient reading that keeps the whole document.\n"          \
    "\n"

const char* const FORMAT_USAGE =
    "usage: kavrixml format [--compact] [--crlf] [--bom] [--no-declaration]\n"
    "                       [--strict | --lenient] [-o OUT] FILE\n"
    "\n"
    "Reads an XML document and writes it back: tidy by default (one line per\n"
    "tag, body and CDATA section, indented with tabs), attributes in byte order\n"
    "of their names, text and attribute values escaped. The document is read\n"
    "losslessly: comments, processing instructions, the DOCTYPE and the text of\n"
    "mixed content stay where they stand, and indentation is added only inside\n"
    "elements whose content is elements alone, never inside mixed content or\n"
    "xml:space=\"preserve\". White space around each element's text is dropped,\n"
    "so that formatting a formatted document changes nothing. The output is\n"
    "always UTF-8 (kavrixml edit keeps a document's own bytes).\n"
    "\n"
    "  --compact          everything on one line, no indentation\n"
    "  --crlf             end lines with CR LF instead of LF\n"
    "  --bom              begin with the UTF-8 byte-order mark\n"
    "  --no-declaration   leave out the <?xml ...?> declaration\n"
    "  --lenient          read leniently (see below) into the tree without\n"
    "                     comments: attribute defaults supplied, comments and\n"
    "                     instructions dropped, text before the children\n"
    "  --strict           read only what the library reads by default\n"
    "  -o OUT             write to the file OUT instead of standard output\n"
    "\n" LENIENT_TEXT
    "FILE may be \"-\" for standard input. Exit status: 0 success, 1 unreadable\n"
    "or malformed input or an output that cannot be written, 2 usage error.\n";

const char* const CHECK_USAGE =
    "usage: kavrixml check [-v] [--lenient] FILE...\n"
    "\n"
    "Reads each XML document and prints one line per document that does not\n"
    "read, as FILE:LINE:COLUMN: MESSAGE (line and column of the offending\n"
    "token, counted from 1, in bytes). Prints nothing when all read. By default\n"
    "a document is read as the library reads it by default, strictly; a\n"
    "document that would read leniently has \"(reads with --lenient)\" at the\n"
    "end of its line.\n"
    "\n"
    "  -v          also print how many documents were read\n"
    "  --lenient   read leniently (see below)\n"
    "\n" LENIENT_TEXT
    "FILE may be \"-\" for standard input. Exit status: 0 all read, 1 any\n"
    "failed, 2 usage error.\n";

const char* const DUMP_USAGE =
    "usage: kavrixml dump [--strict | --lenient] FILE\n"
    "\n"
    "Reads an XML document and prints the debugging picture of its tree on\n"
    "standard error: three blanks of indentation per level, each element's\n"
    "children before its text and CDATA, nothing escaped. The document is read\n"
    "losslessly; --lenient reads it leniently (attribute defaults supplied),\n"
    "--strict reads only what the library reads by default.\n"
    "\n"
    "FILE may be \"-\" for standard input. Exit status: 0 success, 1 unreadable\n"
    "or malformed input, 2 usage error.\n";

const char* const FIND_USAGE =
    "usage: kavrixml find [--strict | --lenient] NAME FILE\n"
    "\n"
    "Reads an XML document and writes the first element named NAME, in\n"
    "breadth-first order (the shallowest, then the leftmost; the root counts),\n"
    "as tidy XML without a declaration, its comments and mixed content in\n"
    "order. The document is read losslessly; --lenient reads it leniently\n"
    "(attribute defaults supplied, comments dropped), --strict reads only what\n"
    "the library reads by default.\n"
    "\n"
    "FILE may be \"-\" for standard input. Exit status: 0 found, 1 no such\n"
    "element or unreadable or malformed input, 2 usage error.\n";

// The writer lays the tree out anew: white space around text is layout.
// Commands that show a document to a person read it losslessly unless told
// otherwise, so that nothing the author wrote goes missing; check reads as
// the library does by default.
ReadOptions showing() {
    ReadOptions options;
    options.trimBodies = true;
    options.lenient = true;
    options.lossless = true;
    return options;
}

// --- format --------------------------------------------------------------------------

int runFormat(const std::vector<std::string>& args) {
    kavri::xml::XMLWriter writer;
    ReadOptions reading = showing();
    std::string output;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (readingOption(arg, reading)) {
            continue;
        }
        if (arg == "--compact") {
            writer.setTidyOutput(false);
        } else if (arg == "--crlf") {
            writer.setCRLF(true);
        } else if (arg == "--bom") {
            writer.setWriteBOM(true);
        } else if (arg == "--no-declaration") {
            writer.setWriteDeclaration(false);
        } else if (arg == "-o") {
            if (i + 1 == args.size()) {
                return report("format", EXIT_USAGE, "-o needs a file name");
            }
            output = args[++i];
        } else if (isOption(arg)) {
            return unknownOption("format", arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1) {
        return report("format", EXIT_USAGE, "expects one FILE (see kavrixml format --help)");
    }
    std::string error;
    std::unique_ptr<Document> doc = readDocument(files[0], error, reading);
    if (!doc) {
        return report("format", EXIT_FAULT, "%s", error.c_str());
    }
    // The output is opened only now, so that a document that does not read
    // leaves it untouched (it may be the input itself).
    std::unique_ptr<kavri::stream::FileOutputStream> out;
    if (output.empty() || output == "-") {
        out.reset(new kavri::stream::StdOutputStream());
    } else {
        out.reset(new kavri::stream::FileOutputStream(output.c_str()));
    }
    writer.write(doc.get(), out.get());
    keepUntilExit(std::move(doc));
    if (!out->good()) {
        return report("format", EXIT_FAULT, "cannot write %s",
                      output.empty() ? "standard output" : output.c_str());
    }
    return EXIT_OK;
}

// --- check ----------------------------------------------------------------------------

int runCheck(const std::vector<std::string>& args) {
    bool verbose = false;
    ReadOptions reading = showing();
    reading.lenient = false;
    reading.lossless = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (readingOption(arg, reading)) {
            continue;
        }
        if (arg == "-v") {
            verbose = true;
        } else if (isOption(arg)) {
            return unknownOption("check", arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        return report("check", EXIT_USAGE, "expects at least one FILE (see kavrixml check --help)");
    }
    unsigned parsed = 0;
    for (const std::string& path : files) {
        std::string error;
        try {
            if (std::unique_ptr<Document> doc = readDocument(path, error, reading)) {
                ++parsed;
                if (&path == &files.back()) {
                    keepUntilExit(std::move(doc));
                }
                continue;
            }
            std::fprintf(stderr, "%s\n", error.c_str());
        } catch (const core::Exception& e) {
            // Unreadable and empty inputs: reported, and the next file read.
            report("check", EXIT_FAULT, "%s", e.getMessage());
        }
    }
    if (verbose) {
        std::printf("%u %s parsed\n", parsed, parsed == 1 ? "file" : "files");
    }
    return parsed == files.size() ? EXIT_OK : EXIT_FAULT;
}

// --- dump and find -----------------------------------------------------------------------

// The words that are no reading option (--lenient, --strict) go to
// `words`; an unknown option gives its usage error.
bool takeReadingOptions(const char* command, const std::vector<std::string>& args,
                        ReadOptions& reading, std::vector<std::string>& words, int& status) {
    for (const std::string& arg : args) {
        if (readingOption(arg, reading)) {
            continue;
        }
        if (isOption(arg)) {
            status = unknownOption(command, arg);
            return false;
        }
        words.push_back(arg);
    }
    return true;
}

int runDump(const std::vector<std::string>& args) {
    ReadOptions reading = showing();
    std::vector<std::string> words;
    int status = EXIT_OK;
    if (!takeReadingOptions("dump", args, reading, words, status)) {
        return status;
    }
    if (words.size() != 1) {
        return report("dump", EXIT_USAGE, "expects one FILE (see kavrixml dump --help)");
    }
    std::string error;
    std::unique_ptr<Document> doc = readDocument(words[0], error, reading);
    if (!doc) {
        return report("dump", EXIT_FAULT, "%s", error.c_str());
    }
    logging::Logger::mROOT_LOGGER->setDebugEnabled(true);
    kavri::xml::XMLUtils::dumpNode(doc->getRootNode());
    return EXIT_OK;
}

int runFind(const std::vector<std::string>& args) {
    ReadOptions reading = showing();
    std::vector<std::string> words;
    int status = EXIT_OK;
    if (!takeReadingOptions("find", args, reading, words, status)) {
        return status;
    }
    if (words.size() != 2) {
        return report("find", EXIT_USAGE, "expects NAME and FILE (see kavrixml find --help)");
    }
    const std::string& name = words[0];
    const std::string& path = words[1];
    std::string error;
    std::unique_ptr<Document> doc = readDocument(path, error, reading);
    if (!doc) {
        return report("find", EXIT_FAULT, "%s", error.c_str());
    }
    XNode* found = doc->getRootNode()->findBreadthFirst(name);
    if (found == nullptr) {
        return report("find", EXIT_FAULT, "no element named '%s' in %s", name.c_str(),
                      displayName(path));
    }
    kavri::xml::XMLWriter writer(false, true);
    kavri::stream::MemoryOutputStream element;
    writer.write(found, &element);
    // One element per line, whether the tree was laid out anew or in order.
    std::string text = element.str();
    if (text.empty() || text.back() != '\n') {
        text += '\n';
    }
    const bool written =
        std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
    return written ? EXIT_OK : report("find", EXIT_FAULT, "cannot write standard output");
}

const CommandRegistrar kFormat({"format", "read an XML document and write it back, tidy or compact",
                                FORMAT_USAGE, &runFormat});
const CommandRegistrar kCheck({"check", "check that XML documents read; report where they fail",
                               CHECK_USAGE, &runCheck});
const CommandRegistrar kDump({"dump", "print the debugging picture of a document's tree",
                              DUMP_USAGE, &runDump});
const CommandRegistrar kFind({"find", "write the first element of a name (breadth-first)",
                              FIND_USAGE, &runFind});

}  // namespace

}  // namespace kavrixml_tool
