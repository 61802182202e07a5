#!/bin/sh
# The benchmarks of the data files and of the chart in a Release build of
# their own (build-release), with pandas for the anchors of bench_files.
#   tools/bench.sh            build, then run bench_files and bench_chart
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
"$ROOT/brenvale.sh" deps python3-pandas
cmake -S "$ROOT" -B "$ROOT/build-release" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
nice cmake --build "$ROOT/build-release" -j "${JOBS:-2}" --target bench_files bench_chart
"$ROOT/build-release/bench_files"
"$ROOT/build-release/bench_chart"
