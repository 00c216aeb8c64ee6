#!/usr/bin/env bash
# kestiva-cli.exe under Wine against the simulator, whose pseudo-terminal Wine knows as COM1:
# the communication check, a recording and its info. The Windows build's CSV of a
# deterministic recording equals the Linux build's byte for byte, each build reads the
# other's file the same, and a controller that vanishes mid-recording fails the recording.
#
# Usage: cli_under_wine.sh LINUX_BIN WINDOWS_BIN
#   LINUX_BIN    folder holding kestiva-sim, kestiva-cli and System/ (build/bin)
#   WINDOWS_BIN  folder holding kestiva-cli.exe and System/
# Prints the Windows build's pacing report for the recording. Exit code 0 when all passed.
set -euo pipefail

linux_bin=$(realpath "$1")
windows_bin=$(realpath "$2")
bitrate=115200
cycle_ms=20
record_s=5

work=$(mktemp -d /tmp/kestiva-wine-cli.XXXXXX)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Starts the simulator on a new pseudo-terminal in deterministic mode; sets sim_pid and pty.
start_sim() {
    : >"$work/sim.out"
    "$linux_bin/kestiva-sim" --mode deterministic --bitrate "$bitrate" >"$work/sim.out" \
        2>"$work/sim.err" &
    sim_pid=$!
    for _ in $(seq 100); do
        pty=$(head -n 1 "$work/sim.out")
        [ -n "$pty" ] && return 0
        sleep 0.05
    done
    echo "the simulator printed no device" >&2
    exit 1
}

stop_sim() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
}

# Wine's COM1 is whatever HKLM\Software\Wine\Ports says; its start-up turns that into the
# dosdevices link. Anything but our pseudo-terminal there (a real /dev/ttyS*) and the test
# would talk to real hardware: it refuses to go on.
map_com1_to() {
    wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$1" /f >/dev/null
    wineserver -w
    wine reg query 'HKLM\Software\Wine\Ports' /v COM1 >/dev/null
    wineserver -w
    local target
    target=$(readlink "$WINEPREFIX/dosdevices/com1" || true)
    if [ "$target" != "$1" ]; then
        echo "REFUSED: Wine's COM1 is '$target', not the simulator's $1" >&2
        exit 1
    fi
}

# A program folder of each build, with COM1 linked to the simulator for the Linux one.
mkdir -p "$work/linux" "$work/windows" "$work/files"
cp -r "$linux_bin/System" "$work/linux/"
cp -r "$windows_bin/System" "$work/windows/"
cp "$windows_bin/kestiva-cli.exe" "$work/windows/"
mkdir -p "$work/linux/System/ports"

wine_cli() { (cd "$work/windows" && wine ./kestiva-cli.exe "$@"); }
linux_cli() { "$linux_bin/kestiva-cli" "$@"; }
link_args=(--port COM1 --station 1 --bitrate "$bitrate")

started=$(date +%s%N)
wineboot -i >/dev/null 2>&1
wineserver -w

start_sim
map_com1_to "$pty"

# The check finds the controller through COM1.
check_json=$(wine_cli check "${link_args[@]}" --system System --json | tr -d '\r') ||
    fail "check exited with $?"
grep -q '"result": "found"' <<<"$check_json" || fail "check did not find the controller: $check_json"

# The same recording with each build.
record_out=$(wine_cli record data --cycle "$cycle_ms" --time "$record_s" --out windows.csv \
    "${link_args[@]}" --system System | tr -d '\r') || fail "Windows record exited with $?"
stop_sim
echo "$record_out" | grep -E '^(Samples|Achieved|Late|Scheduling):'
start_sim
ln -sfn "$pty" "$work/linux/System/ports/COM1"
linux_cli record data --cycle "$cycle_ms" --time "$record_s" --out "$work/files/linux.csv" \
    "${link_args[@]}" --system "$work/linux/System" >/dev/null || fail "Linux record exited with $?"
stop_sim
cp "$work/windows/windows.csv" "$work/files/windows.csv"

# Byte for byte, but for the start minute in the first line: the two ran one after the other.
if ! cmp -s <(tail -n +2 "$work/files/windows.csv") <(tail -n +2 "$work/files/linux.csv"); then
    fail "the CSVs differ"
    diff <(tail -n +2 "$work/files/windows.csv") <(tail -n +2 "$work/files/linux.csv") | head >&2
fi
first_line='^[0-9]{8} [0-9]{2}:[0-9]{2},V100,data\r$'
for f in windows linux; do
    head -n 1 "$work/files/$f.csv" | grep -qE "$first_line" || fail "$f.csv's first line"
done
grep -c $'\r$' "$work/files/windows.csv" | grep -qx "$(wc -l <"$work/files/windows.csv")" ||
    fail "windows.csv has lines without CR LF"

# Each build reads both files, and tells the same about each.
cp "$work/files/"*.csv "$work/windows/"
for f in windows linux; do
    from_windows=$(wine_cli info "$f.csv" --monitor data --system System --json | tr -d '\r') ||
        fail "the Windows build refused $f.csv"
    from_linux=$(cd "$work/files" && linux_cli info "$f.csv" --monitor data \
        --system "$work/linux/System" --json) || fail "the Linux build refused $f.csv"
    [ "$from_windows" = "$from_linux" ] || {
        fail "the builds read $f.csv differently"
        diff <(echo "$from_windows") <(echo "$from_linux") | head >&2
    }
    grep -q "\"samples\": $((record_s * 1000 / cycle_ms + 1))" <<<"$from_windows" ||
        fail "$f.csv does not hold $((record_s * 1000 / cycle_ms + 1)) samples"
done

# The controller goes away a second into a recording: the recording fails, it does not hang
# or save.
start_sim
map_com1_to "$pty"
(sleep 1 && kill "$sim_pid") &
killer=$!
if timeout 60 bash -c "cd '$work/windows' && wine ./kestiva-cli.exe record data --cycle $cycle_ms \
        --time $record_s --out lost.csv ${link_args[*]} --system System" >/dev/null 2>&1; then
    fail "a recording whose controller vanished succeeded"
fi
wait "$killer" || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
[ ! -e "$work/windows/lost.csv" ] || fail "a recording whose controller vanished was saved"

echo "Wine CLI test: $((($(date +%s%N) - started) / 1000000)) ms"
if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "All Wine CLI checks passed"
