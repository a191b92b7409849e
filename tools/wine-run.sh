#!/usr/bin/env bash
# Runs a Windows program of the Windows build under Wine, inside a "shell" virtual
# desktop of 1024x768 (a real taskbar with a Start button and a notification area).
#
#   tools/wine-run.sh PROGRAM.exe [ARGS...]   run one program; its exit code passes through
#   tools/wine-run.sh --session COMMAND...    run COMMAND (e.g. ctest) with one X server and
#                                             one Wine server shared by every program it starts
#
# The Wine prefix lives in the build tree (BUILD/wineprefix, BUILD being the parent of the
# program's bin/ folder) unless WINEPREFIX is set; it is created on first use.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEDEBUG=${WINEDEBUG:--all}
# Debian's Wine carries a zlib1.dll of its own as a built-in system library and would
# hand it out even for a full path to another zlib1.dll; "n,b" makes Wine load the file
# that was asked for, as Windows does.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree=;mshtml=;zlib1=n,b"}
screen="-screen 0 1024x768x24"

ensure_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.moirelle-ready" ]; then
            echo "wine-run: creating Wine prefix $WINEPREFIX" >&2
            wineboot -i >/dev/null 2>&1 || true
            wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f >/dev/null 2>&1
            wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f >/dev/null 2>&1
            wineserver -w
            touch "$WINEPREFIX/.moirelle-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}

if [ "${1:-}" = "--session" ]; then
    shift
    [ $# -gt 0 ] || { echo "usage: $0 --session COMMAND..." >&2; exit 2; }
    if [ -z "${MOIRELLE_IN_SESSION:-}" ]; then
        export MOIRELLE_IN_SESSION=1
        exec xvfb-run -a -s "$screen" "$0" --session "$@"
    fi
    set +e
    "$@"
    rc=$?
    # Stop the Wine server (and its desktop) before the X server goes away.
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
    exit $rc
fi

[ $# -gt 0 ] || { echo "usage: $0 PROGRAM.exe [ARGS...] | --session COMMAND..." >&2; exit 2; }
program=$1
shift
if [ -z "${WINEPREFIX:-}" ]; then
    build=$(cd "$(dirname "$program")/.." && pwd)
    export WINEPREFIX="$build/wineprefix"
fi
ensure_prefix
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "$screen" wine "$program" "$@"
fi
exec wine "$program" "$@"
