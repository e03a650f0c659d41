#!/usr/bin/env bash
# Checks exported files with the translators' own tools, which `make test`
# does not need: gettext (msgfmt, msgcat, msgen) and libxml2-utils (xmllint).
#   tests/tools/check_with_gettext.sh build/bin/kavrixml
# For each sample (XML and JSON) and language: the PO file passes msgfmt's
# format and header checks, the XLIFF file is well-formed for xmllint, a PO
# file that gettext has rewritten in its own layout imports back without a
# change, and a PO file filled in by msgen imports every key. Plural keys:
# for languages of every kind of rule the exported PO file passes msgfmt -c,
# and where gettext's own converter (cldr-plurals) can read CLDR's rule, a
# file carrying its Plural-Forms instead of ours is taken: its expression
# orders the same forms (gettext's own order may differ, e.g. Icelandic).
set -euo pipefail
tool=$(realpath "${1:?usage: tests/tools/check_with_gettext.sh PATH_TO_KAVRIXML}")
samples=$(cd "$(dirname "$0")/../../examples/i18n" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
checked=0
for format in xml json; do
    for lang in de en fr it; do
        rm -rf "$work/s" && mkdir "$work/s" && cp "$samples/$format"/* "$work/s" && cd "$work/s"
        "$tool" i18n-export --lang "$lang" -o out.po "texts.$format" >/dev/null
        "$tool" i18n-export --lang "$lang" -o out.xlf "texts.$format" >/dev/null
        msgfmt --check-format --check-header -o /dev/null out.po
        xmllint --noout out.xlf
        msgcat --width=30 out.po -o rewrapped.po
        "$tool" i18n-import "texts.$format" rewrapped.po | grep -q '; no changes$'
        msgen out.po -o filled.po
        "$tool" i18n-import "texts.$format" filled.po | grep -q ' 0 refused; '
        checked=$((checked + 1))
    done
done
cldr_plurals=$(ls /usr/lib/*/gettext/cldr-plurals /usr/lib/gettext/cldr-plurals 2>/dev/null | head -1 || true)
plurals_xml=/usr/share/unicode/cldr/common/supplemental/plurals.xml
for lang in ar be br cs cy en fr ga gd he is ja lt lv mk mt pl pt ro ru sl uk; do
    rm -rf "$work/s" && mkdir "$work/s" && cp "$samples/plural"/texts.xml "$work/s" && cd "$work/s"
    "$tool" i18n-export --lang "$lang" -o out.po texts.xml >/dev/null
    msgfmt -c -o /dev/null out.po
    msgen out.po -o filled.po
    "$tool" i18n-import texts.xml filled.po | grep -q ' 0 refused; '
    if [ -n "$cldr_plurals" ] && [ -r "$plurals_xml" ] &&
        theirs=$("$cldr_plurals" "$lang" "$plurals_xml" 2>/dev/null); then
        awk -v forms="$theirs" '/^"Plural-Forms: /{print "\"Plural-Forms: " forms "\\n\""; next} {print}' \
            filled.po >theirs.po
        "$tool" i18n-import texts.xml theirs.po | grep -q ' 0 refused; '
    fi
    checked=$((checked + 1))
done
echo "$checked passed, 0 failed"
