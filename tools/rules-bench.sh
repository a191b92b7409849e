#!/usr/bin/env bash
# What following the desktop's states costs the application under Wine (`make bench-rules`).
#   tools/rules-bench.sh BUILD_DIR MINUTES
# Runs rulescost (idle CPU with the rules off and on; a window maximised and restored every
# second for MINUTES) and, beside it, samples the application's process from the Linux side
# once a minute: resident and data memory and open descriptors, because Wine answers 0 for
# another process's handle count, private memory and GDI objects.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-build/win}" && pwd)
minutes=${2:-10}
out=$build/rules-bench
mkdir -p "$out"
cp "$build/bin/Moirelle_Portable.exe" "$out/"
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
if [ -z "${MOIRELLE_IN_SESSION:-}" ]; then
    exec "$here/wine-run.sh" --session "$0" "$build" "$minutes"
fi
exe=$(winepath -w "$out/Moirelle_Portable.exe")
wine "$build/bin/rulescost.exe" "$exe" "$minutes" >"$build/rules-bench.txt" 2>&1 &
cost=$!
sample() {
    local pid
    pid=$(pgrep -f 'rules-bench.Moirelle_Portable.exe$' | head -1 || true)
    [ -n "$pid" ] || return 0
    local rss data fds
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    data=$(awk '/^VmData/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
    echo "$(date +%s) pid $pid rss ${rss} KiB data ${data} KiB fds ${fds}"
}
: >"$build/rules-bench-linux.txt"
while kill -0 $cost 2>/dev/null; do
    sample >>"$build/rules-bench-linux.txt"
    sleep 30
done
wait $cost || true
cat "$build/rules-bench.txt"
echo "--- the application's process seen from Linux, every 30 s:"
cat "$build/rules-bench-linux.txt"
