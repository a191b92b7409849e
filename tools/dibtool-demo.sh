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
out=build/demo # the written bitmaps
mkdir -p "$out"
for f in samples/*.png; do show info "$f"; done
show info --no-zlib samples/disc-rgba.png
show convert samples/disc-rgba.png $out/disc.bmp
# PNG output goes through GDI+; the result loads back like any PNG.
show convert samples/disc-rgba.png $out/disc-copy.png
show info $out/disc-copy.png
show convert --no-gdiplus samples/disc-rgba.png $out/disc-copy.png
show render samples/stripes-palette.png $out/stripes-turned.bmp --size 240x200 --bg checker \
    --at 120,100 --center --angle 30 --quality bilinear --shadow 6,000000,80,10,10
show render samples/disc-rgba.png $out/disc-gray.bmp --size 160x120 --bg 3366CC --at 10,10 \
    --dest 140x100 --gray 0 --opacity 70 --mirror 1
exit 0
