#!/bin/sh
# The benchmarks in a Release build of their own (build-release).
#   tools/bench.sh            build, then run bench_files (with pandas for its
#                             anchors) and bench_chart
#   tools/bench.sh stats BEFORE
#                             build, then run bench_stats and bench_stats_window
#                             of this checkout and of BEFORE (the Release build
#                             folder of another one, such as main's) one after
#                             the other, three times each, and print the best
#                             figure of each side and this checkout's goals
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
MODE=${1:-files}
[ "$MODE" = files ] && "$ROOT/brenvale.sh" deps python3-pandas
cmake -S "$ROOT" -B "$ROOT/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
if [ "$MODE" = files ]; then
    nice cmake --build "$ROOT/build-release" -j "${JOBS:-2}" --target bench_files bench_chart
    "$ROOT/build-release/bench_files"
    "$ROOT/build-release/bench_chart"
    exit 0
fi
[ "$MODE" = stats ] && [ $# -eq 2 ] || { echo "usage: tools/bench.sh [stats BEFORE]" >&2; exit 2; }
BEFORE=$(cd "$2" && pwd)
nice cmake --build "$ROOT/build-release" -j "${JOBS:-2}" --target bench_stats bench_stats_window
export QT_QPA_PLATFORM=offscreen
OUT=$(mktemp)
trap 'rm -f "$OUT"' EXIT
for round in 1 2 3; do
    for side in before after; do
        dir=$ROOT/build-release
        [ $side = before ] && dir=$BEFORE
        for bench in bench_stats bench_stats_window; do
            "$dir/$bench" 2>/dev/null | sed "s/^/$side|/" >>"$OUT"
        done
    done
done
# A figure is the CPU time of bench_stats' lines, the update time of
# bench_stats_window's; the best of the three rounds counts.
awk -F'|' '
function keep(side, label, figure) {
    key = side "|" label
    if (!(key in best) || figure < best[key]) best[key] = figure
    if (side == "after" && !(label in seen)) { seen[label] = 1; order[++n] = label }
}
$2 ~ /^goal: / {
    if ($1 == "after") {
        figure = $2; sub(/ ms, goal .*/, "", figure); sub(/.* /, "", figure)
        label = $2; sub(/, [^,]*[0-9.]+ ms, goal .*$/, "", label)
        if (!(label in goal) || figure + 0 < goalFigure[label]) { goal[label] = $2; goalFigure[label] = figure + 0 }
    }
    next
}
{
    line = $2; label = line; sub(/: .*/, "", label); sub(/^ +/, "", label)
    if (match(line, /CPU [0-9.]+ ms/)) keep($1, label, substr(line, RSTART + 4, RLENGTH - 7) + 0)
    else if (match(line, /update [0-9.]+ ms/)) keep($1, label, substr(line, RSTART + 7, RLENGTH - 10) + 0)
    else if (match(line, /: [0-9.]+ ms$/)) keep($1, label, substr(line, RSTART + 2, RLENGTH - 5) + 0)
}
END {
    printf "best of 3 rounds, before (%s) and after (this checkout), ms\n", before
    for (i = 1; i <= n; ++i) {
        label = order[i]
        b = ("before|" label) in best ? sprintf("%9.3f", best["before|" label]) : "        -"
        printf "  %-78s before %s  after %9.3f\n", label, b, best["after|" label]
    }
    for (label in goal) print goal[label]
}' before="$BEFORE" "$OUT"
