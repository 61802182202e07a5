#!/bin/sh
# Set-up and entry points on a fresh Debian 12 machine:
#   ./brenvale.sh run    install what is missing, build, run the demo
#   ./brenvale.sh test   install what is missing, build, run every test
set -eu
cd "$(dirname "$0")"
ROOT=$(pwd)
BUILD="$ROOT/build"

PACKAGES="cmake ninja-build g++ qt6-base-dev libqcustomplot-dev libqcustomplot2.1-qt6 libgl-dev"
# The checkers of the install test: desktop entry, catalogue entry, manual pages.
PACKAGES="$PACKAGES desktop-file-utils appstream man-db"

install_packages() {
    missing=""
    for p in $PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
}

build() {
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$BUILD" -j "$(nproc)"
}

case "${1:-}" in
run)
    install_packages
    build
    exec "$ROOT/tools/demo.sh" "$BUILD"
    ;;
test)
    install_packages
    build
    cd "$BUILD"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
