#!/usr/bin/env bash
# A short demonstration of dibtool over the sample pictures (run by `make run`).
#   tools/dibtool-demo.sh PATH/TO/dibtool.exe
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tool=$1
cd "$here/.."
show() {
    echo "\$ dibtool $*"
    "$here/wine-run.sh" "$tool" "$@"
    echo "(exit $?)"
    echo
}
for f in samples/*.png; do show info "$f"; done
show info --no-zlib samples/disc-rgba.png
show convert samples/disc-rgba.png disc.bmp
exit 0
