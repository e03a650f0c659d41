#!/usr/bin/env python3
"""Reads every XML-like file of the machine's system folders that xmllint
accepts with `kavrixml edit`, which reads losslessly, and checks what it
writes.

For each file under the roots (default /usr/share /usr/lib /etc) named *.xml,
*.svg, *.ui, *.xsd or *.xsl* that `xmllint --noout --nonet` accepts:
  - `kavrixml edit FILE` (no operation) must give the file back byte for
    byte;
  - `kavrixml edit -s /* -t attr -n kx-check -v 'a<b"c'` adds an attribute
    to the root element. Its output must be the input with one run of bytes
    inserted (nothing else changed), must read again (xmllint), and its
    canonical form (`xmllint --c14n`) must equal that of `xmlstarlet ed -P`
    (which keeps the white space between elements) making the same edit:
    the same tree, comments and white space included.

Usage:
  scripts/lossless-check.py [--tool build/bin/kavrixml] [--roots DIR ...]
                            [--list-misses]
Needs: python3, xmllint (libxml2-utils), xmlstarlet.
"""

import argparse
import concurrent.futures
import os
import subprocess
import sys

from xmlfiles import find_files

EDIT = ["-s", "/*", "-t", "attr", "-n", "kx-check", "-v", 'a<b"c']




def run(command, data=None):
    proc = subprocess.run(command, input=data, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE)
    return proc.returncode, proc.stdout


def canonical(data):
    status, out = run(["xmllint", "--nonet", "--c14n", "-"], data)
    return out if status == 0 else None


def one_insertion(before, after):
    """Whether `after` is `before` with one run of bytes put in."""
    if len(after) <= len(before):
        return False
    prefix = 0
    limit = len(before)
    while prefix < limit and before[prefix] == after[prefix]:
        prefix += 1
    suffix = 0
    while suffix < limit - prefix and before[-1 - suffix] == after[-1 - suffix]:
        suffix += 1
    return prefix + suffix == len(before)


def check(tool, path):
    """The first check the file fails ("" when it passes all), for a file
    xmllint accepts; None when xmllint refuses it."""
    if run(["xmllint", "--noout", "--nonet", path])[0] != 0:
        return None
    with open(path, "rb") as f:
        original = f.read()
    status, same = run([tool, "edit", path])
    if status != 0:
        return "not read"
    if same != original:
        return "changed when written unchanged"
    status, ours = run([tool, "edit"] + EDIT + [path])
    if status != 0:
        return "edit failed"
    if not one_insertion(original, ours):
        return "edit changed more than the tag"
    mine = canonical(ours)
    if mine is None:
        if canonical(original) is None:
            return "skipped: xmllint --c14n refuses the original too"
        return "edited file does not read"
    status, theirs = run(["xmlstarlet", "ed", "-P"] + EDIT + [path])
    reference = canonical(theirs) if status == 0 else None
    if reference is None:
        return "skipped: xmlstarlet's output does not read"
    return "" if mine == reference else "tree differs from xmlstarlet's"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tool", default="build/bin/kavrixml")
    parser.add_argument("--roots", nargs="+", default=["/usr/share", "/usr/lib", "/etc"])
    parser.add_argument("--list-misses", action="store_true")
    args = parser.parse_args()
    tool = os.path.abspath(args.tool)
    files = find_files(args.roots)
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        results = dict(zip(files, pool.map(lambda p: check(tool, p), files)))
    accepted = [p for p in files if results[p] is not None]
    outcome = {}
    for path in accepted:
        outcome.setdefault(results[path], []).append(path)
    print("| | files |")
    print("|---|---:|")
    print("| files found | {:,} |".format(len(files)))
    print("| accepted by `xmllint --noout` | {:,} |".format(len(accepted)))
    print("| written unchanged byte for byte | {:,} |".format(
        len(accepted) - len(outcome.get("not read", []))
        - len(outcome.get("changed when written unchanged", []))))
    print("| edited: one insertion, same tree as xmlstarlet's | {:,} |".format(
        len(outcome.get("", []))))
    for reason in sorted(r for r in outcome if r):
        print("| {} | {:,} |".format(reason, len(outcome[reason])))
    if args.list_misses:
        for reason in sorted(r for r in outcome if r):
            for path in outcome[reason]:
                print("%s: %s" % (reason, path))
    failed = sum(len(v) for r, v in outcome.items() if r and not r.startswith("skipped"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
