// kavrixml edit: changes an XML document as xmlstarlet's ed does, and keeps
// every byte the edits do not touch.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/kavrimain/FileOperations.h"
#include "framework/plinth/Exception.h"
#include "syntax/XMLChars.h"
#include "tools/Command.h"
#include "tools/DocumentEdit.h"
#include "xml/Document.h"
#include "xml/XPath.h"

namespace kavrixml_tool {

namespace {

using kavri::xml::Document;
using kavri::xml::XPathException;

const char* const EDIT_USAGE =
    "usage: kavrixml edit [-L | -o OUT] OPERATION... FILE...\n"
    "\n"
    "Changes each XML document and writes it with every byte the operations\n"
    "do not touch as it was: declaration, DOCTYPE, comments, white space,\n"
    "quotes, attribute order, references, line ends and encoding. An attribute\n"
    "whose value changes keeps its place and quotes; a new attribute goes at\n"
    "the end of its tag; a new element is indented as the one before it; a\n"
    "deleted element takes the line it stood on with it. Without operations\n"
    "the document is written back unchanged.\n"
    "\n"
    "Operations, applied in order, each to every node XPATH selects:\n"
    "  -u XPATH -v VALUE           update: an attribute's value, or an\n"
    "                              element's content (it becomes the text)\n"
    "  -d XPATH                    delete elements, attributes or texts\n"
    "  -s XPATH -t TYPE -n NAME [-v VALUE]\n"
    "                              add a last child element (TYPE elem), an\n"
    "                              attribute (attr) or a text (text)\n"
    "  -i XPATH -t TYPE -n NAME [-v VALUE]\n"
    "                              insert an element or a text before\n"
    "  -a XPATH -t TYPE -n NAME [-v VALUE]\n"
    "                              append an element or a text after\n"
    "  -r XPATH -v NAME            rename elements or attributes\n"
    "The long forms --update, --delete, --subnode, --insert, --append,\n"
    "--rename, --type, --name and --value are accepted too.\n"
    "\n"
    "  -L, --inplace   write each FILE back in place (a temporary file beside\n"
    "                  it renamed over it)\n"
    "  -o OUT          write to the file OUT instead of standard output\n"
    "\n"
    "Documents are read leniently and kept whole. FILE may be \"-\" for\n"
    "standard input. Exit status: 0 done, 1 an operation selected no node\n"
    "(nothing is written for that document) or a document that cannot be\n"
    "read, 2 a usage error or an expression that does not compile.\n";

struct EditCall {
    std::vector<DocumentEdit> edits;
    std::vector<std::string> files;
    std::string output;
    bool inPlace = false;
};

// The action an option word names, or false.
bool actionOf(const std::string& arg, DocumentEdit::Action& action) {
    static const struct {
        const char* shortForm;
        const char* longForm;
        DocumentEdit::Action action = DocumentEdit::UPDATE;
    } ACTIONS[] = {
        {"-u", "--update", DocumentEdit::UPDATE},   {"-d", "--delete", DocumentEdit::DELETE},
        {"-s", "--subnode", DocumentEdit::SUBNODE}, {"-i", "--insert", DocumentEdit::INSERT},
        {"-a", "--append", DocumentEdit::APPEND},   {"-r", "--rename", DocumentEdit::RENAME}};
    for (const auto& known : ACTIONS) {
        if (arg == known.shortForm || arg == known.longForm) {
            action = known.action;
            return true;
        }
    }
    return false;
}

int typeOf(const std::string& word, DocumentEdit& edit) {
    if (word == "elem") {
        edit.setType(DocumentEdit::ELEMENT);
    } else if (word == "attr") {
        edit.setType(DocumentEdit::ATTRIBUTE);
    } else if (word == "text") {
        edit.setType(DocumentEdit::TEXT);
    } else {
        return report("edit", EXIT_USAGE, "-t takes elem, attr or text, not '%s'", word.c_str());
    }
    edit.markTyped();
    return EXIT_OK;
}

// "  EXPR\n  ^" under the character at `offset`.
int reportExpression(const std::string& expression, const XPathException& e) {
    const size_t offset = std::min(e.getOffset(), expression.size());
    std::fprintf(
        stderr, "kavrixml edit: %s\n  %s\n  %s^\n", e.getMessage(), expression.c_str(),
        std::string(kavri::xml::syntax::countCharacters(expression.data(), offset), ' ').c_str());
    return EXIT_USAGE;
}

// The word after args[i] (the option's argument), or an error.
bool argumentOf(const std::vector<std::string>& args, size_t& i, std::string& word, int& status) {
    if (i + 1 == args.size()) {
        status = report("edit", EXIT_USAGE, "%s needs an argument", args[i].c_str());
        return false;
    }
    word = args[++i];
    return true;
}

int takeOption(const std::vector<std::string>& args, size_t& i, EditCall& call) {
    const std::string& arg = args[i];
    std::string word;
    int status = EXIT_OK;
    DocumentEdit::Action action = DocumentEdit::UPDATE;
    if (arg == "-L" || arg == "--inplace") {
        call.inPlace = true;
    } else if (!isOption(arg)) {
        call.files.push_back(arg);
    } else if (!actionOf(arg, action) && arg != "-o" && arg != "-t" && arg != "--type" &&
               arg != "-n" && arg != "--name" && arg != "-v" && arg != "--value") {
        return unknownOption("edit", arg);
    } else if (!argumentOf(args, i, word, status)) {
        return status;
    } else if (arg == "-o") {
        call.output = word;
    } else if (actionOf(arg, action)) {
        try {
            call.edits.emplace_back(action, word);
        } catch (const XPathException& e) {
            return reportExpression(word, e);
        }
    } else if (call.edits.empty()) {
        return report("edit", EXIT_USAGE, "%s comes after an operation", arg.c_str());
    } else if (arg == "-t" || arg == "--type") {
        return typeOf(word, call.edits.back());
    } else if (arg == "-n" || arg == "--name") {
        call.edits.back().setName(word);
    } else {
        call.edits.back().setValue(word);
    }
    return EXIT_OK;
}

int parseCall(const std::vector<std::string>& args, EditCall& call) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (int status = takeOption(args, i, call)) {
            return status;
        }
    }
    for (const DocumentEdit& edit : call.edits) {
        const std::string missing = edit.missing();
        if (!missing.empty()) {
            return report("edit", EXIT_USAGE, "the operation on %s %s", edit.getPath().c_str(),
                          missing.c_str());
        }
    }
    if (call.files.empty()) {
        return report("edit", EXIT_USAGE, "expects a FILE (see kavrixml edit --help)");
    }
    if (call.inPlace && !call.output.empty()) {
        return report("edit", EXIT_USAGE, "takes -L or -o, not both");
    }
    if (call.files.size() > 1 && !call.output.empty()) {
        return report("edit", EXIT_USAGE, "writes one FILE to -o");
    }
    if (call.inPlace && std::find(call.files.begin(), call.files.end(), "-") != call.files.end()) {
        return report("edit", EXIT_USAGE, "cannot write standard input in place");
    }
    return EXIT_OK;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

// Replaces `path` by `bytes`: a temporary file in its folder, with its
// permissions, renamed over it, so that a reader sees the old file or the
// new one, never a part.
int replaceFile(const std::string& path, const std::string& bytes) {
    struct stat old;
    const bool known = ::stat(path.c_str(), &old) == 0;
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(&temporary[0]);
    if (fd < 0) {
        return report("edit", EXIT_FAULT, "cannot write beside %s: %s", path.c_str(),
                      std::strerror(errno));
    }
    bool good = (!known || ::fchmod(fd, old.st_mode & 07777) == 0) && writeAll(fd, bytes);
    good = ::close(fd) == 0 && good;
    if (good && ::rename(temporary.c_str(), path.c_str()) == 0) {
        return EXIT_OK;
    }
    const int fault = errno;
    ::unlink(temporary.c_str());
    return report("edit", EXIT_FAULT, "cannot write %s: %s", path.c_str(), std::strerror(fault));
}

int writeResult(const EditCall& call, const std::string& path, const std::string& bytes) {
    if (call.inPlace) {
        return replaceFile(path, bytes);
    }
    if (!call.output.empty() && call.output != "-") {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(call.output.c_str(), "wb"),
                                                            &std::fclose);
        if (out == nullptr ||
            std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size() ||
            std::fflush(out.get()) != 0) {
            return report("edit", EXIT_FAULT, "cannot write %s", call.output.c_str());
        }
        return EXIT_OK;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0) {
        return report("edit", EXIT_FAULT, "cannot write standard output");
    }
    return EXIT_OK;
}

int editFile(const EditCall& call, const std::string& path) {
    ReadOptions reading;
    reading.lossless = true;
    std::string error;
    std::unique_ptr<Document> doc = readDocument(path, error, reading);
    if (!doc) {
        return report("edit", EXIT_FAULT, "%s", error.c_str());
    }
    for (const DocumentEdit& edit : call.edits) {
        try {
            if (edit.apply(*doc) == 0) {
                return report("edit", EXIT_FAULT, "%s: %s selects no node to change",
                              displayName(path), edit.getPath().c_str());
            }
        } catch (const XPathException& e) {
            return reportExpression(edit.getPath(), e);
        }
    }
    std::string bytes;
    doc->writeLossless(bytes);
    keepUntilExit(std::move(doc));
    return writeResult(call, path, bytes);
}

int runEdit(const std::vector<std::string>& args) {
    EditCall call;
    if (int status = parseCall(args, call)) {
        return status;
    }
    int worst = EXIT_OK;
    for (const std::string& path : call.files) {
        try {
            worst = std::max(worst, editFile(call, path));
        } catch (const core::Exception& e) {
            worst = std::max(worst, report("edit", EXIT_FAULT, "%s", e.getMessage()));
        }
    }
    return worst;
}

const CommandRegistrar kEdit({"edit", "change a document and keep every byte the change misses",
                              EDIT_USAGE, &runEdit});

}  // namespace

}  // namespace kavrixml_tool
