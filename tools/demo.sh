#!/bin/sh
# Starts the program in a demo settings folder (./demo) whose COM1 is a
# simulated logger on a pseudo-terminal.
set -eu
BUILD="$1"
DEMO="$(cd "$(dirname "$0")/.." && pwd)/demo"
mkdir -p "$DEMO"
cd "$DEMO"
exec "$BUILD/brenvale" "$@"
