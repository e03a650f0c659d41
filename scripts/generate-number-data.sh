#!/usr/bin/env bash
# Regenerates i18n/NumberData.cpp, how every CLDR locale writes numbers, from
# the Debian package unicode-cldr-core (installed by `make number-data`):
#   scripts/generate-number-data.sh [BUILD_DIR]
# The files are read with the library's own XML reader; only this step needs
# the package, never a program that uses the library.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cldr=${CLDR_DIR:-/usr/share/unicode/cldr}
version=$(sed -n 's/.*cldrVersion CDATA #FIXED "\([0-9.]*\)".*/\1/p' \
    "$cldr/common/dtd/ldmlSupplemental.dtd")
[ -n "$version" ] || { echo "no CLDR version in $cldr/common/dtd/ldmlSupplemental.dtd" >&2; exit 1; }
cmake --build "$build" --target kavrixml_number_data_source >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$build/bin/kavrixml_number_data_source" "$version" "$cldr/common" >"$out"
mv "$out" i18n/NumberData.cpp
trap - EXIT
echo "i18n/NumberData.cpp: number formats of CLDR $version"
