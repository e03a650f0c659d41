#!/usr/bin/env bash
# Compares NumberFormat with ICU's number formatter (Debian libicu-dev) on a
# decimal, a percent and two amounts of money in every CLDR locale the
# library carries, or on the rows of FILE (see scripts/number-format-vs-icu.cpp):
#   scripts/compare-number-format.sh [BUILD_DIR] [FILE]
# Differences are expected where ICU's copy of CLDR is of another release;
# after `make number-data` the list shows what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rows=${2:-}
cmake --build "$build" --target kavrixml >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++17 -O1 -I. scripts/number-format-vs-icu.cpp -o "$work/compare" \
    -L"$build" -Wl,-rpath,"$(realpath "$build")" -lkavrixml $(pkg-config --cflags --libs icu-i18n)
if [ -z "$rows" ]; then
    rows="$work/rows"
    sed -n 's/^    {"\([^"]*\)", -\{0,1\}[0-9]*, .*/\1/p' i18n/NumberData.cpp | grep -v '^root$' |
        while read -r locale; do
            tag=${locale//_/-}
            printf '%s decimal -1234567.891\n%s percent 0.256\n' "$tag" "$tag"
            printf '%s currency -1234.5 cur=EUR\n%s currency 1234.5 cur=USD disp=1\n' "$tag" "$tag"
        done >"$rows"
fi
"$work/compare" <"$rows"
