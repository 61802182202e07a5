#!/bin/sh
# The folders of src/ are layered: a file includes only its own folder and the
# folders before it in this order. The main window (app/) is seen only by
# app/ itself, the handler files and the windows that act on it.
set -eu
cd "$(dirname "$0")/../src"
ORDER="platform model decode files chart report link app"
status=0
for file in $(find . -name '*.cpp' -o -name '*.h' | sed 's#^\./##' | sort); do
    folder=${file%%/*}
    [ "$folder" = "$file" ] && continue # main.cpp sees everything
    case " $ORDER " in
    *" $folder "*) ;;
    *) echo "$file: folder $folder/ has no place in the layer order" >&2; status=1; continue ;;
    esac
    allowed=""
    for f in $ORDER; do
        allowed="$allowed $f"
        [ "$f" = "$folder" ] && break
    done
    case "$file" in
    *_handlers.cpp | link/port_dialog.cpp | link/diagnostics_view.cpp) allowed="$ORDER" ;;
    esac
    for used in $(sed -n 's#^\#include "\([a-z]*\)/.*#\1#p' "$file" | sort -u); do
        case " $allowed " in
        *" $used "*) ;;
        *) echo "$file includes $used/, which its folder may not see" >&2; status=1 ;;
        esac
    done
done
exit $status
