#!/bin/sh
# The demo: a settings folder (./demo) whose COM1 is the simulated logger on a
# pseudo-terminal. With a display the window opens there, ready for "Upload
# Data"; without one the same upload runs headless, saves the data file and
# its duplicate, renders the chart and prints the three paths.
set -eu
BUILD="$(cd "$1" && pwd)"
DEMO="$(cd "$(dirname "$0")/.." && pwd)/demo"
mkdir -p "$DEMO"
cd "$DEMO"

"$BUILD/bvsim" --link "$DEMO/COM1" --format 2 --rh 1 --count 5760 --per-hour 240 \
    --events 3387:fffe,3462:fffc --no-reading 1800 \
    --pace >/dev/null &
SIM=$!
trap 'kill $SIM 2>/dev/null' EXIT INT TERM
while [ ! -e "$DEMO/COM1" ]; do sleep 0.1; done

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$BUILD/brenvale"
else
    "$BUILD/brenvale" --headless --upload --save "$DEMO/demo.csv" --chart "$DEMO/demo.png"
    echo "$DEMO/demo.csv"
    echo "$DEMO/demo.bvx"
    echo "$DEMO/demo.png"
fi
