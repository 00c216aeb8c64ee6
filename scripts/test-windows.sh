#!/usr/bin/env bash
# Cross-builds for Windows (scripts/build-windows.sh), runs kestiva-cli.exe and kestiva.exe
# against the simulator and the core's unit tests under Wine, ending with CTest's summary.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$(bash "$top/scripts/build-windows.sh" | tail -n 1)
# The tests' own Wine folder, inside the build, and one Wine server with its service processes
# kept for all the tests. Started here, away from CTest's output pipes: a service started by a
# test would hold the test's output open, and CTest would wait for it until its time-out.
export WINEPREFIX="$dir/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 </dev/null
trap 'wineserver -k 2>/dev/null || true' EXIT
# Makes the folder the first time (several seconds) and starts the services.
wineboot >/dev/null 2>&1 </dev/null
# The shell's own tests make real windows and controls; this folder has no display, so Wine
# draws them with its display-less driver.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 </dev/null
# The Wine tests compare pictures with ImageMagick and drive the window on a virtual display.
bash "$top/scripts/install-deps.sh" xvfb imagemagick >&2
# kestiva-cli.exe through Wine's COM1 against the simulator, with the Linux build beside it
# (the simulator, and the reference for the recording and the plots it makes). Its Wine folder
# is its own.
linux_dir=$(bash "$top/scripts/build.sh" | tail -n 1)
cli_status=0
bash "$top/tests/tools/cli_under_wine.sh" "$linux_dir/bin" "$dir/bin" "$dir/wine-serial" ||
    cli_status=$?
# kestiva.exe worked as a user works it, on a virtual display, against the simulator; its
# Wine folder is its own too. The screenshots of its steps are taken with ImageMagick.
bash "$top/tests/win32/window_under_wine.sh" "$linux_dir/bin" "$dir/bin" "$dir/wine-window" ||
    cli_status=$?
cd "$dir"
ctest --output-on-failure -j "$(nproc)" --timeout 300
exit "$cli_status"
