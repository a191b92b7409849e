#!/usr/bin/env bash
# Starts Moirelle in the Wine "shell" desktop (run by `make run`).
#   tools/run-app.sh BUILD_DIR
# With a DISPLAY it runs there until the user chooses "Exit" (notification icon menu or the
# "Exit Application" button). Without one it runs on a private Xvfb for RUN_SECONDS
# (default 15), writes a screenshot of the desktop after start-up (the pointer resting on a
# gallery thumbnail, whose skin the taskbar previews) to build/run/moirelle.png,
# then chooses "Exit" through the notification menu and reports whether the taskbar was
# restored.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-build/win}" && pwd)
out=$(cd "$here/.." && pwd)/build/run
mkdir -p "$out"
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}

# A folder of its own: the program writes its skin files beside itself.
cp "$build/bin/Moirelle_Portable.exe" "$out/"
[ -f "$build/bin/zlib1.dll" ] && cp "$build/bin/zlib1.dll" "$out/"
probe=$build/bin/shellprobe.exe
# Under Wine the Unix root is drive Z:.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

if [ -n "${DISPLAY:-}" ] && [ -z "${MOIRELLE_IN_SESSION:-}" ]; then
    echo "run-app: Moirelle runs in the Wine desktop; choose \"Exit\" to end it."
    "$here/wine-run.sh" "$probe" "$(winpath "$out/Moirelle_Portable.exe")" >"$out/probe.log" 2>&1 || true
    cat "$out/probe.log"
    exit 0
fi

if [ -z "${MOIRELLE_IN_SESSION:-}" ]; then
    exec "$here/wine-run.sh" --session "$0" "$build"
fi

# Inside the private X server. The desktop inherits the first program's output: a file.
rm -f "$out/ready" "$out/shot" "$out/moirelle.png"
seconds=${RUN_SECONDS:-15}
"$here/wine-run.sh" "$probe" "$(winpath "$out/Moirelle_Portable.exe")" "$seconds" \
    "$(winpath "$out/ready")" "$(winpath "$out/shot")" >"$out/probe.log" 2>&1 &
pid=$!
for _ in $(seq 1 3000); do # the Wine prefix may be made first
    [ -f "$out/ready" ] && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
done
if [ -f "$out/ready" ]; then
    import -window root -depth 8 "$out/moirelle.png"
    echo "run-app: screenshot written to build/run/moirelle.png"
fi
touch "$out/shot"
rc=0
wait $pid || rc=$?
cat "$out/probe.log"
exit $rc
