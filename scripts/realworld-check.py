#!/usr/bin/env python3
"""Reads every XML-like file of the machine's system folders with kavrixml
(strict and lenient) and with reference readers, and compares the trees.

For each file under the roots (default /usr/share /usr/lib /etc) named *.xml,
*.svg, *.ui, *.xsd or *.xsl*:
  - xmllint --noout --nonet says whether the reference accepts it;
  - kavrixml reads it strictly and leniently (a small reader program built
    against the library; see READER below) and writes it back compactly;
  - for every file the lenient reading accepts, Python's expat reads the
    original (transcoded to UTF-8 by xmllint first when it is in an encoding
    expat does not read itself) and kavrixml's output, and the two trees
    must be the same.

Trees are compared under the reader's documented normalisations: attributes
in any order, the text of an element joined into one body (its place
between the children is not kept), CDATA sections joined apart from the
text, comments and processing instructions dropped, attributes as the
document specifies them with the defaults of its internal subset supplied
(and values of tokenized types normalised), and a reference to an entity
that only an unread external subset could declare kept as written.

With --baseline BUILD_DIR the strict readings are also made with the library
of another build (for example of the branch before lenient reading) and must
be the same, byte for byte, message for message.

Usage:
  scripts/realworld-check.py [--build build] [--baseline DIR] [--roots DIR ...]
                             [--list-misses]
Needs: a C++ compiler, xmllint (Debian package libxml2-utils), python3.
"""

import argparse
import collections
import concurrent.futures
import os
import re
import subprocess
import sys

from xmlfiles import find_files
import tempfile
import xml.parsers.expat

# Why a tree read back differs when the reading was right.
WRITTEN_PLAIN = ("the writer writes a carriage return of a text, or a tab, line feed or "
                 "carriage return of an attribute value, as a plain character, which "
                 "reads back as a line feed or a blank")


# Reads file paths from standard input and writes, per file, a header line
# "STATUS LENGTH" followed by LENGTH bytes: the compact document (OK) or the
# failure's message (ERR).
READER = r"""
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "framework/kavrimain/MemoryInputStream.h"
#include "framework/kavrimain/MemoryOutputStream.h"
#include "framework/plinth/Exception.h"
#include "xml/DOMParser.h"
#include "xml/Document.h"
#include "xml/XMLWriter.h"

int main(int argc, char** argv) {
    const bool lenient = argc > 1 && std::string(argv[1]) == "lenient";
    std::string path;
    while (std::getline(std::cin, path)) {
        std::ifstream file(path, std::ios::binary);
        std::stringstream bytes;
        bytes << file.rdbuf();
        std::string status = "OK";
        std::string payload;
        kavri::xml::DOMParser parser;
#ifndef NO_LENIENT
        parser.setLenient(lenient);
#else
        (void)lenient;
#endif
        try {
            kavri::stream::MemoryInputStream in(bytes.str());
            std::unique_ptr<kavri::xml::Document> doc(parser.parse(&in));
            kavri::stream::MemoryOutputStream out;
            kavri::xml::XMLWriter(false, false).write(doc.get(), &out);
            payload = out.str();
        } catch (const ::core::Exception& e) {
            status = "ERR";
            payload = e.getMessage();
        } catch (const std::exception& e) {
            status = "ERR";
            payload = e.what();
        }
        std::cout << status << ' ' << payload.size() << '\n';
        std::cout.write(payload.data(), static_cast<std::streamsize>(payload.size()));
        std::cout.flush();
    }
    return 0;
}
"""




def build_reader(source_dir, build_dir, work, name, lenient_api=True):
    source = os.path.join(work, "reader.cpp")
    with open(source, "w") as out:
        out.write(READER)
    binary = os.path.join(work, name)
    command = ["c++", "-std=c++17", "-O1", "-I", source_dir, source, "-o", binary,
               "-L", build_dir, "-lkavrixml", "-Wl,-rpath," + os.path.abspath(build_dir)]
    if not lenient_api:
        command.insert(1, "-DNO_LENIENT")
    subprocess.run(command, check=True)
    return binary


def source_of(build_dir):
    """The source tree a CMake build was configured from: the reader program
    is built with the headers of the library it links."""
    with open(os.path.join(build_dir, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("CMAKE_HOME_DIRECTORY:"):
                return line.split("=", 1)[1].strip()
    raise SystemExit("%s: not a CMake build" % build_dir)


def read_all(binary, mode, files):
    proc = subprocess.run([binary, mode], input="\n".join(files).encode() + b"\n",
                          stdout=subprocess.PIPE, check=True)
    data = proc.stdout
    results = {}
    pos = 0
    for path in files:
        end = data.index(b"\n", pos)
        status, length = data[pos:end].decode().split(" ")
        pos = end + 1
        results[path] = (status, data[pos:pos + int(length)])
        pos += int(length)
    return results


def xmllint(path):
    proc = subprocess.run(["xmllint", "--noout", "--nonet", path],
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    first = proc.stderr.decode("utf-8", "replace").splitlines()
    return proc.returncode == 0, (first[0] if first else "")


class Tree:
    """An element: name, attributes, joined text, joined CDATA, children."""

    def __init__(self, name, attributes):
        self.name = name
        self.attributes = dict(attributes)
        self.text = []
        self.cdata = []
        self.children = []

    def key(self, plain=False):
        """With `plain`, the tree as it reads back when carriage returns in
        text, and tabs, line feeds and carriage returns in attribute values,
        are written as plain characters rather than as references."""
        if plain:
            def lines(text):
                return text.replace("\r\n", "\n").replace("\r", "\n")

            def blanks(text):
                return re.sub(r"[\t\n\r]", " ", text.replace("\r\n", "\n"))
            return (self.name, sorted((k, blanks(v)) for k, v in self.attributes.items()),
                    lines("".join(self.text)), lines("".join(self.cdata)),
                    [child.key(True) for child in self.children])
        return self._key()

    def _key(self):
        return (self.name, sorted(self.attributes.items()), "".join(self.text),
                "".join(self.cdata), [child.key() for child in self.children])


def expat_tree(data):
    parser = xml.parsers.expat.ParserCreate()
    parser.specified_attributes = False  # defaults of the internal subset too
    stack = []
    result = []
    in_cdata = [False]

    def start(name, attributes):
        node = Tree(name, attributes)
        if stack:
            stack[-1].children.append(node)
        else:
            result.append(node)
        stack.append(node)

    def end(_):
        stack.pop()

    def characters(text):
        if stack:
            (stack[-1].cdata if in_cdata[0] else stack[-1].text).append(text)

    def skipped(name, is_parameter):
        if stack and not is_parameter:
            stack[-1].text.append("&" + name + ";")

    def external(context, base, system_id, public_id):
        # Nothing outside the document is read; the reference stays as written.
        if stack:
            stack[-1].text.append("&" + context + ";")
        return 1

    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = characters
    parser.StartCdataSectionHandler = lambda: in_cdata.__setitem__(0, True)
    parser.EndCdataSectionHandler = lambda: in_cdata.__setitem__(0, False)
    parser.SkippedEntityHandler = skipped
    parser.ExternalEntityRefHandler = external
    parser.Parse(data, True)
    return result[0]


DECLARED = re.compile(rb"""^(?:\xEF\xBB\xBF)?<\?xml[^>]*?encoding\s*=\s*["']([A-Za-z0-9._-]+)["']""")
NATIVE = {"utf-8", "utf8", "utf-16", "utf16", "iso-8859-1", "us-ascii"}


def reference_input(path, data):
    """The original as expat is to read it: a document in an encoding that
    expat does not read itself is first transcoded by xmllint, so that the
    reference's conversion tables are libxml2's (iconv's), not Python's."""
    match = DECLARED.match(data)
    if not match or match.group(1).decode().lower() in NATIVE:
        return data
    return subprocess.run(["xmllint", "--nonet", "--encode", "UTF-8", path],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True).stdout


def reason(message):
    """A refusal's message without the names and numbers in it."""
    message = re.sub(r"\d+", "N", message)
    for prefix in ("Unclosed node", "Unexpected token found while parsing node",
                   "Invalid token", "Unsupported encoding", "Invalid byte sequence",
                   "Root node do not match", "Invalid declaration. Expecting DOCTYPE",
                   "Invalid DOCTYPE declaration. Expecting PUBLIC keyword",
                   "Unexpected token", "Unexpected string", "Invalid entity declaration"):
        if message.startswith(prefix):
            return prefix
    return message


def main():
    arguments = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    arguments.add_argument("--build", default="build")
    arguments.add_argument("--baseline", help="a build whose strict readings must be the same")
    arguments.add_argument("--roots", nargs="+", default=["/usr/share", "/usr/lib", "/etc"])
    arguments.add_argument("--list-misses", action="store_true")
    options = arguments.parse_args()
    source_dir = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

    files = find_files(options.roots)
    with tempfile.TemporaryDirectory() as work:
        reader = build_reader(source_dir, options.build, work, "reader")
        strict = read_all(reader, "strict", files)
        lenient = read_all(reader, "lenient", files)
        baseline = None
        if options.baseline:
            base_reader = build_reader(source_of(options.baseline), options.baseline, work,
                                       "base", False)
            baseline = read_all(base_reader, "strict", files)
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        lint = dict(zip(files, pool.map(xmllint, files)))

    mismatches, reference_fails = [], []
    for path in files:
        if lenient[path][0] != "OK":
            continue
        with open(path, "rb") as original:
            data = original.read()
        try:
            reference = expat_tree(reference_input(path, data))
            expected = reference.key()
        except Exception as error:  # the reference cannot read it either
            reference_fails.append((path, str(error)))
            continue
        try:
            got = expat_tree(lenient[path][1]).key()
        except Exception as error:
            mismatches.append((path, "output unreadable: %s" % error))
            continue
        if got == expected:
            continue
        if got == reference.key(True):
            mismatches.append((path, WRITTEN_PLAIN))
        else:
            mismatches.append((path, "trees differ"))

    lint_ok = {p for p in files if lint[p][0]}
    strict_ok = {p for p in files if strict[p][0] == "OK"}
    lenient_ok = {p for p in files if lenient[p][0] == "OK"}
    missed = sorted(lint_ok - lenient_ok)
    beyond = sorted(lenient_ok - lint_ok)
    print("| files | %d |" % len(files))
    print("| accepted by xmllint --noout | %d |" % len(lint_ok))
    print("| accepted by kavrixml, strict | %d |" % len(strict_ok))
    print("| accepted by kavrixml, lenient | %d |" % len(lenient_ok))
    print("| accepted by xmllint, refused by lenient | %d |" % len(missed))
    print("| accepted by lenient, refused by xmllint | %d |" % len(beyond))
    print("| lenient trees compared | %d |" % (len(lenient_ok) - len(reference_fails)))
    print("| mismatches | %d |" % len(mismatches))
    for why, count in collections.Counter(why for _, why in mismatches).most_common():
        print("|   %s | %d |" % (why, count))
    if baseline is not None:
        changed = [p for p in files if baseline[p] != strict[p]]
        print("| strict readings changed from the baseline | %d |" % len(changed))
        for path in changed:
            print("  changed: %s" % path)
    print()
    for title, results in (("strict", strict), ("lenient", lenient)):
        counts = collections.Counter(reason(results[p][1].decode("utf-8", "replace"))
                                     for p in files if results[p][0] != "OK")
        print("Refusals, %s:" % title)
        for message, count in counts.most_common():
            print("  %5d  %s" % (count, message))
    xmllint_reasons = collections.Counter(re.sub(r"^[^:]*:\d+: ", "", lint[p][1])[:60]
                                          for p in files if not lint[p][0])
    print("Refusals, xmllint:")
    for message, count in xmllint_reasons.most_common():
        print("  %5d  %s" % (count, message))
    if options.list_misses or mismatches or missed:
        for path in missed:
            print("missed: %s: %s" % (path, lenient[path][1].decode("utf-8", "replace")))
        for path, why in mismatches:
            print("mismatch: %s: %s" % (path, why))
        for path in beyond:
            print("beyond xmllint: %s: %s" % (path, lint[path][1]))
        for path, why in reference_fails:
            print("reference cannot read: %s: %s" % (path, why))
    return 0 if not mismatches and not missed else 1


if __name__ == "__main__":
    sys.exit(main())
