#!/usr/bin/env bash
# Figures of kestiva.exe under Wine on a virtual display, against the simulator on Wine's COM1:
#
# - start: from the program's launch to the main window's first paint, the terms and the
#   check answered at once. Each step is timed from the click that ends the user's part to
#   the next window shown and painted, so the user's own time is left out: launch to the
#   terms, I Agree to the settings, Check Communication to its result (the link's exchange
#   included), OK to the main window. RUNS starts; each step's median.
# - pacing: a 20 ms data recording of 10 s started from the main window, timed by the
#   simulator's own clock (the arrival of each request's first byte): the achieved period
#   and its error, and how many cycles began more than 1 ms after their place on the grid
#   (cycle k's place is the first cycle's arrival + k x 20 ms), as the recording counts them.
#
# Usage: window_under_wine.sh LINUX_BIN WINDOWS_BIN [RUNS [PREFIX]]
#   LINUX_BIN    folder holding kestiva-sim and System/ (build/bin)
#   WINDOWS_BIN  folder holding kestiva.exe, window-driver.exe and System/ (build-windows/bin)
#   PREFIX       a Wine folder to keep between runs (build-windows/wine-window, the window
#                test's, saves its making); a new one in a temporary folder without it
set -euo pipefail

linux_bin=$(realpath "$1")
windows_bin=$(realpath "$2")
runs=${3:-5}
bitrate=38400
cycle_ms=20
record_s=10
command -v Xvfb >/dev/null || { echo "no Xvfb: nothing measured" >&2; exit 1; }
shots=$(mktemp -d /tmp/kestiva-wine-bench-shots.XXXXXX)
prefix=${4:-}
source "$(realpath "$(dirname "$0")/../../tests/win32/wine_window.sh")"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Through a file: the program the driver launches inherits its output, and a pipe's reader
# would wait for the program's end.
timed() {
    drive "$@" >"$work/timed.out" || return 1
    tr -d '\r' <"$work/timed.out"
}

start_sim --trace
exe="Z:${program//\//\\}\\kestiva.exe"
: >"$work/start.txt"
for run in $(seq "$runs"); do
    launch=$(timed launch "$exe") || die "no terms"
    terms=$(timed timed-click "Terms of Use" "I Agree" "Communication Settings") ||
        die "no communication settings"
    drive click "Communication Settings" "Manual" || die "no manual method"
    drive select "Communication Settings" 210 1 || die "no station 1"
    drive select "Communication Settings" 212 "$bitrate" || die "no bit rate $bitrate"
    check=$(timed timed-click "Communication Settings" "Check Communication" \
        "#32770|Communication Check" OK) || die "no check result"
    drive click "#32770|Communication Check" "OK" || die "could not close the check's result"
    shown=$(timed timed-click "Communication Settings" "OK" "$main") || die "no main window"
    echo "$launch $terms $check $shown" >>"$work/start.txt"
    [ "$run" = "$runs" ] && break
    drive close "$main" || die "could not close the main window"
    drive gone "$main" || die "the main window stayed"
done
column() { awk -v c="$1" '{ print $c }' "$work/start.txt" | median; }
total=$(awk '{ print $1 + $2 + $3 + $4 }' "$work/start.txt" | median)
echo "start (ms, median of $runs): launch to terms $(column 1), I Agree to settings $(column 2)," \
    "check to its result $(column 3), OK to the main window $(column 4); total $total"

# The recording, from the last start's main window.
drive select "$main" 412 "$cycle_ms" || die "no sampling cycle of $cycle_ms ms"
drive select "$main" 414 "$record_s" || die "no sampling time of $record_s s"
before=$(wc -l <"$work/sim.err")
drive press "$main" "Start" || die "could not start"
drive enabled "$main" "Stop" || die "Stop was not enabled during the recording"
drive --timeout $((record_s + 30)) enabled "$main" "Start" || die "the recording did not end"
# Each cycle sends each of its reads once, so the distinct requests are one cycle's.
tail -n +$((before + 1)) "$work/sim.err" | python3 -c '
import re, sys
cycle = float(sys.argv[1]) / 1000
pattern = re.compile(r"\[\s*([0-9.]+)\] rx (01 03 .*)")
requests = [(float(m.group(1)), m.group(2)) for m in map(pattern.match, sys.stdin) if m]
per_cycle = len({frame for _, frame in requests})
starts = [t for t, _ in requests[::per_cycle]] if requests else []
if len(starts) < 2:
    sys.exit("pacing: the simulator saw no recording")
period = (starts[-1] - starts[0]) / (len(starts) - 1)
behind = [t - (starts[0] + k * cycle) for k, t in enumerate(starts)]
late = sum(1 for b in behind if b > 0.001)
print(f"pacing: {len(starts)} cycles, achieved period {period * 1000:.5f} ms, error "
      f"{abs(period - cycle) / cycle * 100:.4f} %, late cycles {late}, "
      f"latest {max(behind) * 1000:.2f} ms behind its place")
' "$cycle_ms"
drive close "$main" || die "could not close the main window"
drive gone "$main" || die "the main window stayed"
rm -rf "$shots"
