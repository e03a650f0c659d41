#!/usr/bin/env python3
"""Builds the benchmark corpus: synthetic documents and real ones from Debian.

    make_corpus.py --out DIR            write every document and DIR/manifest.tsv
        [--size BYTES]                  ... synthetic and repeated ones of this size
    make_corpus.py --sanitize FILE      print FILE as our reader accepts it
        [--repeat-to BYTES]             ... with its root's content repeated

The documents are regenerated identically on every run (fixed seeds), so runs
on different days measure the same bytes. Every document is turned into the
XML subset that our reader takes: an optional 1.0/UTF-8 declaration, no
DOCTYPE, no comment, no processing instruction, and no entity other than the
five predefined ones and numeric references.

manifest.tsv has one line per document: name, file name, kind, source.
"""

import argparse
import os
import random
import re
import sys

TARGET_BYTES = 20 * 1000 * 1000
DECLARATION = '<?xml version="1.0" encoding="UTF-8"?>\n'
PREDEFINED = {"amp", "lt", "gt", "quot", "apos"}

# Real documents shipped by Debian packages that `make bench` installs.
REAL_DOCUMENTS = [
    ("xkb-base", "/usr/share/X11/xkb/rules/base.xml", "xkb-data"),
    ("iso639-3", "/usr/share/xml/iso-codes/iso_639-3.xml", "iso-codes"),
    ("iso3166-2", "/usr/share/xml/iso-codes/iso_3166-2.xml", "iso-codes"),
    ("mime", "/usr/share/mime/packages/freedesktop.org.xml", "shared-mime-info"),
]


# --- Sanitising real documents ---------------------------------------------

def _skip_quoted(text, i):
    """Index just past the quoted literal that starts at text[i]."""
    end = text.index(text[i], i + 1)
    return end + 1


def _doctype_end(text, start):
    """Index just past the DOCTYPE starting at `start`, internal subset included.

    Brackets and '>' inside quoted literals, comments and PIs of the subset do
    not count, which a plain regular expression would get wrong.
    """
    i = start + len("<!DOCTYPE")
    depth = 0
    while i < len(text):
        c = text[i]
        if c in "\"'":
            i = _skip_quoted(text, i)
            continue
        if text.startswith("<!--", i):
            i = text.index("-->", i) + 3
            continue
        if text.startswith("<?", i):
            i = text.index("?>", i) + 2
            continue
        if c == "[":
            depth += 1
        elif c == "]":
            depth -= 1
        elif c == ">" and depth == 0:
            return i + 1
        i += 1
    raise ValueError("unterminated DOCTYPE")


_ENTITY_DECL = re.compile(r"<!ENTITY\s+([^\s%]+)\s+(\"[^\"]*\"|'[^']*')\s*>")


def _internal_entities(subset):
    """General entities with literal values declared in an internal subset."""
    return {m.group(1): m.group(2)[1:-1] for m in _ENTITY_DECL.finditer(subset)}


_REFERENCE = re.compile(r"&(#[0-9]+;|#x[0-9a-fA-F]+;|[A-Za-z_:][-A-Za-z0-9._:]*;)?")


def _replace_entities(text, entities, in_tag=False):
    """Expands declared entities and escapes every other '&' that opens no
    predefined or numeric reference (some real files carry a bare '&').

    In a tag the expansion lands in an attribute value, whose quotes it must
    not close."""

    def replace(match):
        reference = match.group(1)
        if reference is None:
            return "&amp;"
        name = reference[:-1]
        if name in PREDEFINED or name.startswith("#"):
            return match.group(0)
        if name in entities:
            value = entities[name]
            if in_tag:
                value = value.replace('"', "&quot;").replace("'", "&apos;").replace("<", "&lt;")
            return value
        return "&amp;" + reference

    return _REFERENCE.sub(replace, text)


def sanitize(text):
    """Returns `text` in the XML subset our reader accepts.

    Markup is removed outside CDATA sections only: a section is copied whole,
    so comment or PI lookalikes inside it survive, as they do in XML.
    """
    out = []
    entities = {}
    i = 0
    n = len(text)
    if text.startswith("\ufeff"):
        i = 1
    while i < n:
        lt = text.find("<", i)
        if lt < 0:
            out.append(_replace_entities(text[i:], entities))
            break
        out.append(_replace_entities(text[i:lt], entities))
        if text.startswith("<![CDATA[", lt):
            end = text.index("]]>", lt) + 3
            out.append(text[lt:end])
            i = end
        elif text.startswith("<!--", lt):
            i = text.index("-->", lt + 4) + 3
        elif text.startswith("<?", lt):
            i = text.index("?>", lt) + 2
        elif text.startswith("<!DOCTYPE", lt):
            end = _doctype_end(text, lt)
            entities.update(_internal_entities(text[lt:end]))
            i = end
        else:
            end = _tag_end(text, lt)
            out.append(_replace_entities(text[lt:end], entities, in_tag=True))
            i = end
    return DECLARATION + "".join(out).lstrip()


def _tag_end(text, start):
    """Index just past the tag at `start`; '>' inside attribute values is skipped."""
    i = start + 1
    while i < len(text):
        c = text[i]
        if c in "\"'":
            i = _skip_quoted(text, i)
            continue
        if c == ">":
            return i + 1
        i += 1
    raise ValueError("unterminated tag")


def repeat_to_size(document, target):
    """Repeats the root element's content until the document reaches `target`.

    The result is one root holding the original children many times over, so
    it has the same shape of markup as the original at a larger size.
    """
    body_start = document.index(DECLARATION) + len(DECLARATION)
    open_end = _tag_end(document, document.index("<", body_start))
    close_start = document.rindex("</")
    head = document[:open_end]
    content = document[open_end:close_start]
    tail = document[close_start:]
    count = max(1, -(-(target - len(head) - len(tail)) // len(content.encode("utf-8"))))
    return head + content * count + tail


# --- Synthetic documents ----------------------------------------------------

WORDS = (
    "the of and to in is that for it as was with be by on not he this are or his "
    "from at which but have an they you were her she there been one all we their "
    "has would when if so what up out about who them into more some could time "
    "river stone window garden letter journey market silver winter morning "
    "number system value table record engine module signal buffer parser "
    "café naïve façade über straße crème résumé"
).split()


def _sentence(rng, low, high):
    return " ".join(rng.choice(WORDS) for _ in range(rng.randint(low, high)))


def _grow(parts, emit, target):
    """Calls emit(parts) until the joined parts reach `target` bytes."""
    size = 0
    while size < target:
        before = len(parts)
        emit(parts)
        size += sum(len(p.encode("utf-8")) for p in parts[before:])


def attribute_heavy(rng, size):
    """Many small elements with 3 to 5 attributes each, in groups."""
    parts = [DECLARATION, "<catalog>\n"]
    counter = [0]

    def emit(out):
        counter[0] += 1
        out.append('  <group name="g%d" region="%s">\n' % (counter[0], rng.choice(WORDS)))
        for _ in range(rng.randint(8, 24)):
            counter[0] += 1
            attrs = [
                ('id', str(counter[0])),
                ('sku', "%s-%04d" % (rng.choice(WORDS)[:3].upper(), rng.randint(0, 9999))),
                ('price', "%d.%02d" % (rng.randint(1, 999), rng.randint(0, 99))),
                ('qty', str(rng.randint(0, 500))),
                ('label', rng.choice(WORDS) + (" &amp; " + rng.choice(WORDS)
                                              if rng.random() < 0.05 else "")),
            ]
            attrs = attrs[: rng.randint(3, 5)]
            out.append("    <item %s/>\n" % " ".join('%s="%s"' % a for a in attrs))
        out.append("  </group>\n")

    _grow(parts, emit, size)
    parts.append("</catalog>\n")
    return "".join(parts)


def text_heavy(rng, size):
    """Chapters of long paragraphs with a sprinkling of &amp; and &lt;."""
    parts = [DECLARATION, "<book>\n"]

    def paragraph():
        words = []
        for _ in range(rng.randint(60, 180)):
            r = rng.random()
            if r < 0.02:
                words.append("&amp;")
            elif r < 0.03:
                words.append("a &lt; b")
            else:
                words.append(rng.choice(WORDS))
        return " ".join(words)

    def emit(out):
        out.append('  <chapter title="%s">\n' % _sentence(rng, 2, 5))
        for _ in range(rng.randint(5, 15)):
            out.append("    <p>%s</p>\n" % paragraph())
        out.append("  </chapter>\n")

    _grow(parts, emit, size)
    parts.append("</book>\n")
    return "".join(parts)


def cdata_heavy(rng, size):
    """Script elements whose code sits in CDATA sections full of markup characters."""
    parts = [DECLARATION, "<scripts>\n"]
    counter = [0]

    def code_line():
        a, b = rng.choice(WORDS), rng.choice(WORDS)
        return rng.choice([
            "if (%s < %s && %s > 0) { %s = \"<%s/>\"; }" % (a, b, b, a, b),
            "for (i = 0; i < n; i++) total += %s[i] & mask;" % a,
            "emit('<%s attr=\"%s\">' + %s + '</%s>');" % (a, b, a, a),
            "// %s" % _sentence(rng, 4, 12),
        ])

    def emit(out):
        counter[0] += 1
        lines = "\n".join(code_line() for _ in range(rng.randint(5, 40)))
        out.append('  <script name="s%d" lang="js"><![CDATA[\n%s\n]]></script>\n'
                   % (counter[0], lines))

    _grow(parts, emit, size)
    parts.append("</scripts>\n")
    return "".join(parts)


DEEP_LEVELS = 199  # below the root: 200 levels in all


def deep(rng, size):
    """Chains nested 200 levels deep, each level with an attribute and some text."""
    parts = [DECLARATION, "<deep>\n"]

    def emit(out):
        opening = []
        for level in range(1, DEEP_LEVELS + 1):
            text = rng.choice(WORDS) if rng.random() < 0.3 else ""
            opening.append('<n d="%d">%s' % (level, text))
        out.append("".join(opening))
        out.append(_sentence(rng, 3, 10))
        out.append("</n>" * DEEP_LEVELS)
        out.append("\n")

    _grow(parts, emit, size)
    parts.append("</deep>\n")
    return "".join(parts)


SYNTHETIC = [
    ("attributes", attribute_heavy, 1),
    ("text", text_heavy, 2),
    ("cdata", cdata_heavy, 3),
    ("deep", deep, 4),
]


# --- Driver -------------------------------------------------------------------

def _write(folder, file_name, text):
    path = os.path.join(folder, file_name)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)


def build(folder, size):
    os.makedirs(folder, exist_ok=True)
    manifest = []
    for name, generate, seed in SYNTHETIC:
        _write(folder, name + ".xml", generate(random.Random(seed), size))
        manifest.append((name, name + ".xml", "synthetic", "generated"))
    for name, path, package in REAL_DOCUMENTS:
        if not os.path.exists(path):
            print("make_corpus: %s missing (Debian package %s); document %s left out"
                  % (path, package, name), file=sys.stderr)
            continue
        with open(path, encoding="utf-8") as f:
            document = sanitize(f.read())
        _write(folder, name + ".xml", document)
        manifest.append((name, name + ".xml", "real", path))
        big = name + "-20M"
        _write(folder, big + ".xml", repeat_to_size(document, size))
        manifest.append((big, big + ".xml", "real, repeated", path))
    # The manifest is written last: it is the build's stamp for the whole corpus.
    _write(folder, "manifest.tsv", "".join("\t".join(row) + "\n" for row in manifest))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--out", help="folder for the documents and manifest.tsv")
    group.add_argument("--sanitize", help="print this file in the accepted subset")
    parser.add_argument("--size", type=int, default=TARGET_BYTES, metavar="BYTES",
                        help="with --out: size of the synthetic and repeated documents")
    parser.add_argument("--repeat-to", type=int, metavar="BYTES",
                        help="with --sanitize: repeat the root's content up to this size")
    args = parser.parse_args()
    if args.sanitize:
        with open(args.sanitize, encoding="utf-8") as f:
            document = sanitize(f.read())
        if args.repeat_to:
            document = repeat_to_size(document, args.repeat_to)
        sys.stdout.buffer.write(document.encode("utf-8"))
    else:
        build(args.out, args.size)


if __name__ == "__main__":
    main()
