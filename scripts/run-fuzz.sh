#!/usr/bin/env bash
# Runs the libFuzzer targets one after another, each for a given time.
#   scripts/run-fuzz.sh BUILD_DIR SECONDS [TARGET...]
# Each target works on a copy of its seed corpus under BUILD_DIR/corpus/<name>
# (kept between runs, so later runs start from what earlier ones found; the
# committed seeds in fuzz/<name>/corpus are never written). Findings go to
# BUILD_DIR/artifacts, the whole output to BUILD_DIR/logs/<name>.log, and a
# summary line per target (executions, coverage, corpus) to standard output.
# Exits non-zero when a target found a fault.
set -uo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: run-fuzz.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: run-fuzz.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(dom_document dom_fragment roundtrip bundle_load bundle_resolve differential
                                  lenient_document lenient_entities lenient_differential plural_rules
                                  xpath_expression xpath_differential message_format
                                  lossless_roundtrip)

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

mkdir -p "$build/logs" "$build/artifacts"
failed=()
for target in "${targets[@]}"; do
    binary="$build/fuzz/$target"
    [ -x "$binary" ] || { echo "missing fuzz target $binary" >&2; exit 2; }
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    cp fuzz/"$target"/corpus/* "$corpus"/
    dict=fuzz/"$target"/"$target".dict
    [ -f "$dict" ] || dict=fuzz/xml.dict
    log="$build/logs/$target.log"
    echo "== $target: ${seconds} s on $corpus"
    "$binary" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=10 \
        -print_final_stats=1 -dict="$dict" \
        -artifact_prefix="$build/artifacts/$target-" "$corpus" >"$log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    coverage=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -1 |
               sed -E 's/.*cov: ([0-9]+) ft: ([0-9]+) corp: ([0-9]+).*/cov \1, ft \2, corpus \3/')
    echo "   executions ${runs:-?}; ${coverage:-no coverage line}; exit $status; log $log"
    if [ $status -ne 0 ]; then
        failed+=("$target")
        grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz check failed|artifact_prefix|Test unit written)' "$log" | head -5
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "faults found by: ${failed[*]}" >&2
    exit 1
fi
