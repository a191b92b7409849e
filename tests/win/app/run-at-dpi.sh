#!/usr/bin/env bash
# Runs the resolution-dependent end-to-end tests (and the notification icon's size) in shell
# desktops at 120 and 144 dpi.
#   run-at-dpi.sh BUILD_DIR TEST_EXE
# The resolution is the registry's LogPixels, read when the desktop starts, so each run has
# a Wine prefix of its own (a linked copy of the build's prefix; the files Wine rewrites in
# place, the registry and the .ini files, are real copies), its own Wine server and its own
# X server.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
runner=$here/../../../tools/wine-run.sh
build=$(cd "$1" && pwd)
exe=$2
filter='TrayIcon.*:AppEndToEnd.OverlayLiesUnderTheTaskbar*:AppEndToEnd.OptionsWindowAndItsControls*:AppEndToEnd.SecondaryTaskbar*'
base=$build/wineprefix
copy=$build/wineprefix-dpi
unset DISPLAY MOIRELLE_IN_SESSION

# The build's prefix is made on first use; a test program run through the runner makes it.
[ -f "$base/.moirelle-ready" ] || WINEPREFIX=$base "$runner" "$exe" --gtest_list_tests >/dev/null
rc=0
for dpi in 120 144; do
    # A server left over by an interrupted run would serve the old registry.
    if [ -d "$copy" ]; then WINEPREFIX=$copy wineserver -k >/dev/null 2>&1 || true; fi
    rm -rf "$copy"
    cp -al "$base" "$copy"
    for f in "$copy"/*.reg "$copy"/drive_c/windows/*.ini; do
        if [ -f "$f" ]; then cp --remove-destination "$base/${f#"$copy"/}" "$f"; fi
    done
    export WINEPREFIX=$copy
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
    wineserver -w
    echo "run-at-dpi: $dpi dpi"
    MOIRELLE_EXPECT_DPI=$dpi "$runner" --session "$runner" "$exe" --gtest_brief=1 \
        --gtest_filter="$filter" || rc=1
done
rm -rf "$copy"
exit $rc
