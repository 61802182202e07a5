#!/bin/sh
# Set-up and entry points on a fresh Debian 12 machine:
#   ./brenvale.sh run    install what is missing, build, run the demo
#   ./brenvale.sh test   install what is missing, build, run every test
#   ./brenvale.sh deps [PACKAGE...]  install only what is missing
set -eu
cd "$(dirname "$0")"
ROOT=$(pwd)
BUILD="$ROOT/build"

PACKAGES="cmake ninja-build g++ qt6-base-dev libqcustomplot-dev libqcustomplot2.1-qt6 libgl-dev locales poppler-utils"
# The checkers of the install test: desktop entry, catalogue entry, manual pages,
# and the Debian package (built with dpkg-shlibdeps and file, checked by lintian).
PACKAGES="$PACKAGES desktop-file-utils appstream man-db dpkg-dev file lintian"
# The tests run the program under these users' locales.
LOCALES="en_US.UTF-8 de_DE.UTF-8 fr_FR.UTF-8 ko_KR.UTF-8 hu_HU.UTF-8 ja_JP.UTF-8"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

install_packages() {
    missing=""
    for p in $PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        $SUDO apt-get update
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
    fi
    generate_locales
}

generate_locales() {
    missing=""
    for l in $LOCALES; do
        locale -a | grep -qx "$(echo "$l" | sed 's/UTF-8/utf8/')" || missing="$missing $l"
    done
    [ -z "$missing" ] && return 0
    for l in $missing; do
        $SUDO sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
    done
    $SUDO locale-gen
}

build() {
    # BRENVALE_CMAKE_ARGS: further configure options (CI: warnings as errors).
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${BRENVALE_CMAKE_ARGS:-}
    cmake --build "$BUILD" -j "$(nproc)"
}

case "${1:-}" in
deps)
    # The build's packages and any named after "deps" (tools/sanitize.sh uses it).
    shift
    PACKAGES="$PACKAGES $*"
    install_packages
    ;;
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
    echo "usage: $0 run|test|deps [PACKAGE...]" >&2
    exit 2
    ;;
esac
