#!/bin/sh
# Runs the MessageFormat 2 conformance tests against the
# library: builds scripts/messageformat-conformance.cpp against the library
# of BUILD_DIR (default: build) and runs it on the suite's files for the
# syntax, errors, selection, fallback, bidi, u: options and the functions the
# library implements. SUITE_DIR is a checkout of MessageFormat 2's
# repository (its test/tests folder is read).
#
#   scripts/messageformat-conformance.sh ~/message-format-wg
set -eu
if [ $# -ne 1 ]; then
    echo "usage: $0 SUITE_DIR" >&2
    exit 2
fi
suite=$1/test/tests
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
[ -d "$suite" ] || { echo "$0: no test suite in $suite" >&2; exit 2; }
[ -f "$build/libkavrixml.so" ] || cmake --build "$build" --target kavrixml
program=$build/messageformat-conformance
${CXX:-g++} -std=c++17 -O1 -I"$root" "$root/scripts/messageformat-conformance.cpp" \
    -L"$build" -Wl,-rpath,"$build" -lkavrixml -o "$program"
files=""
for name in syntax syntax-errors data-model-errors pattern-selection fallback bidi u-options \
    functions/string functions/number functions/integer functions/percent \
    functions/currency functions/offset; do
    files="$files $suite/$name.json"
done
# shellcheck disable=SC2086
exec "$program" $files
