#!/usr/bin/env bash
# Times the reader of two revisions side by side: whether a change made
# parsing faster or slower than a revision before it.
#
#   scripts/compare-revisions.sh [--lenient|--both] [--rounds N] [--parses N] BASE [REVISION] DOCUMENT...
#
# Each revision (REVISION defaults to the working tree) is built in a
# directory of its own (Release, -O2, the library alone), and
# scripts/parse-timer.cpp is compiled against that revision's own headers and
# library. The two programs then alternate ROUNDS times (default 12) on one
# CPU, each printing its best of PARSES (default 5) parses and frees of the
# document; per document the script prints both best times and the median of
# the paired ratios REVISION ÷ BASE (below 1: REVISION is faster); --both
# times each document read strictly and then leniently. Documents
# are files; `make bench` leaves its corpus in build-bench/bench/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

modes=strict
rounds=12
parses=5
while [[ $# -gt 0 && $1 == --* ]]; do
    case $1 in
        --lenient) modes=lenient; shift ;;
        --both) modes="strict lenient"; shift ;;
        --rounds) rounds=$2; shift 2 ;;
        --parses) parses=$2; shift 2 ;;
        *) echo "compare-revisions: unknown option $1" >&2; exit 2 ;;
    esac
done
if [[ $# -lt 2 ]]; then
    sed -n '4,5p' "$0" | sed 's/^# *//' >&2
    exit 2
fi
base=$1
shift
revision=
if [[ ! -f $1 ]]; then
    revision=$1
    shift
fi

work=$(mktemp -d)
cleanup() {
    git worktree remove --force "$work/base" >/dev/null 2>&1 || true
    [[ -z $revision ]] || git worktree remove --force "$work/revision" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

# build NAME SOURCE_TREE: the library and the timer of one revision.
build() {
    local name=$1 tree=$2
    cmake -S "$tree" -B "$work/$name-build" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DKAVRIXML_BUILD_TESTS=OFF \
          -DKAVRIXML_BUILD_TOOLS=OFF >/dev/null
    cmake --build "$work/$name-build" --target kavrixml -j "$(nproc)" >/dev/null
    g++ -std=c++17 -O2 -I"$tree" "$root/scripts/parse-timer.cpp" -L"$work/$name-build" \
        -lkavrixml -Wl,-rpath,"$work/$name-build" -o "$work/$name-timer"
}

git worktree add --quiet --detach "$work/base" "$base" >/dev/null
build base "$work/base"
if [[ -n $revision ]]; then
    git worktree add --quiet --detach "$work/revision" "$revision" >/dev/null
    build revision "$work/revision"
else
    build revision "$root"
fi

cpu=$(($(nproc) - 1))
echo "document  base (best ms)  ${revision:-working tree} (best ms)  median ratio ($rounds rounds)"
for document in "$@"; do
  for mode in $modes; do
    for ((round = 0; round < rounds; ++round)); do
        b=$(taskset -c "$cpu" "$work/base-timer" "$document" "$parses" "$mode")
        r=$(taskset -c "$cpu" "$work/revision-timer" "$document" "$parses" "$mode")
        echo "$b $r"
    done | python3 -c '
import statistics, sys
rows = [tuple(map(float, line.split())) for line in sys.stdin]
ratio = statistics.median(r / b for b, r in rows)
print("%s %s  %.2f  %.2f  %.3f" % (sys.argv[1], sys.argv[2], min(b for b, _ in rows), min(r for _, r in rows), ratio))
' "$(basename "$document")" "$mode"
  done
done
