#!/usr/bin/env bash
# Regenerates i18n/PluralData.cpp, the plural rules of every CLDR locale, from
# the Debian package unicode-cldr-core (installed by `make plural-rules`):
#   scripts/generate-plural-rules.sh [BUILD_DIR]
# The files are read with the library's own XML reader; only this step needs
# the package, never a program that uses the library.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cldr=${CLDR_DIR:-/usr/share/unicode/cldr}
supplemental="$cldr/common/supplemental"
version=$(sed -n 's/.*cldrVersion CDATA #FIXED "\([0-9.]*\)".*/\1/p' \
    "$cldr/common/dtd/ldmlSupplemental.dtd")
[ -n "$version" ] || { echo "no CLDR version in $cldr/common/dtd/ldmlSupplemental.dtd" >&2; exit 1; }
cmake --build "$build" --target kavrixml_plural_rules_source >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$build/bin/kavrixml_plural_rules_source" "$version" "$supplemental/plurals.xml" \
    "$supplemental/ordinals.xml" >"$out"
mv "$out" i18n/PluralData.cpp
trap - EXIT
echo "i18n/PluralData.cpp: plural rules of CLDR $version"
