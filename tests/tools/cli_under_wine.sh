#!/usr/bin/env bash
# kestiva-cli.exe under Wine against the simulator, whose pseudo-terminal Wine knows as COM1:
# the communication check, a recording and its info. The Windows build's CSV of a
# deterministic recording equals the Linux build's byte for byte, each build reads the
# other's file the same, and a controller that vanishes mid-recording fails the recording but
# keeps its samples in the file. plot draws the same pictures in both builds.
# Then the same over the loopback address through Winsock: the simulator serving Modbus TCP
# and RTU over TCP, a port assigned a network target, the check and a short recording equal
# to the Linux build's.
#
# Usage: cli_under_wine.sh LINUX_BIN WINDOWS_BIN [PREFIX]
#   LINUX_BIN    folder holding kestiva-sim, kestiva-cli and System/ (build/bin)
#   WINDOWS_BIN  folder holding kestiva-cli.exe and System/
#   PREFIX       the Wine folder this test keeps for itself between runs (making one takes
#                several seconds); a new one in a temporary folder without it
# Prints the Windows build's pacing report for the recording. Exit code 0 when all passed.
set -euo pipefail

source "$(dirname "$0")/../support/picture_checks.sh"
require_imagemagick

linux_bin=$(realpath "$1")
windows_bin=$(realpath "$2")
bitrate=115200
cycle_ms=20
record_s=5

work=$(mktemp -d /tmp/kestiva-wine-cli.XXXXXX)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(realpath -m "${3:-$work/prefix}")
# Wine's COM1 is this link, which each simulator points at its own pseudo-terminal.
com1_link="$WINEPREFIX/kestiva-sim-com1"
sim_pid=""
server_pid=""

start_wineserver() {
    wineserver -f -p >"$work/wineserver.log" 2>&1 &
    server_pid=$!
}
stop_wineserver() {
    [ -n "$server_pid" ] || return 0
    wineserver -k 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
}
stop_sim() {
    [ -n "$sim_pid" ] || return 0
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
}
net_pid=""
stop_net_sim() {
    [ -n "$net_pid" ] || return 0
    kill "$net_pid" 2>/dev/null || true
    wait "$net_pid" 2>/dev/null || true
    net_pid=""
}
cleanup() {
    stop_sim
    stop_net_sim
    # A kept Wine folder must not keep a COM1 that leads to a pseudo-terminal someone else gets.
    rm -f "$com1_link"
    stop_wineserver
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Starts the simulator on a new pseudo-terminal in deterministic mode, COM1's link pointing to
# it; sets sim_pid and pty.
start_sim() {
    : >"$work/sim.out"
    "$linux_bin/kestiva-sim" --mode deterministic --bitrate "$bitrate" --link "$com1_link" \
        >"$work/sim.out" 2>"$work/sim.err" &
    sim_pid=$!
    for _ in $(seq 100); do
        pty=$(head -n 1 "$work/sim.out")
        [ -n "$pty" ] && [ "$(readlink "$com1_link")" = "$pty" ] && return 0
        sleep 0.05
    done
    echo "the simulator did not start" >&2
    exit 1
}

# Wine's COM1 is what HKLM\Software\Wine\Ports says; Wine's start turns that into the
# dosdevices link, and without the key it is the first /dev/ttyS*. Anything but the
# simulator's link there, and the test would talk to real hardware: it refuses to go on.
map_com1() {
    if [ ! -e "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1
    fi
    wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$com1_link" /f >/dev/null 2>&1
    # A server that ends on its own writes the registry to disk for the next one.
    wineserver -w
}
check_com1_is_the_simulator() {
    local target=""
    for _ in $(seq 100); do
        target=$(readlink "$WINEPREFIX/dosdevices/com1" || true)
        [ "$target" = "$com1_link" ] && return 0
        sleep 0.1
    done
    echo "REFUSED: Wine's COM1 is '$target', not the simulator's $com1_link" >&2
    exit 1
}

# Wine's own processes live on after a program and keep its output open: the programs write
# to files, never to a pipe that a caller waits to see closed.
wine_cli() {
    local out=$1
    shift
    # The time-out only keeps a program that hangs from hanging the test.
    (cd "$work/windows" && timeout 120 wine ./kestiva-cli.exe "$@" >"$work/$out" 2>"$work/$out.err")
    local status=$?
    tr -d '\r' <"$work/$out" >"$work/$out.tmp" && mv "$work/$out.tmp" "$work/$out"
    return $status
}
linux_cli() { "$linux_bin/kestiva-cli" "$@"; }

started=$(date +%s%N)
# A program folder of each build; the Linux one finds COM1 through the same link.
mkdir -p "$work/linux" "$work/windows" "$work/files"
cp -r "$linux_bin/System" "$work/linux/"
cp -r "$windows_bin/System" "$work/windows/"
cp "$windows_bin/kestiva-cli.exe" "$work/windows/"
mkdir -p "$work/linux/System/ports" "$WINEPREFIX"
ln -sfn "$com1_link" "$work/linux/System/ports/COM1"
link_args=(--port COM1 --station 1 --bitrate "$bitrate")

map_com1
# The server stays in the foreground of this script, not a daemon that leads a session of its
# own: such a daemon takes the first terminal it opens, the pseudo-terminal, as its
# controlling terminal and is killed with all its programs by the hang-up when the simulator
# goes.
start_wineserver
wine reg query 'HKLM\Software\Wine\Ports' /v COM1 >/dev/null 2>&1
check_com1_is_the_simulator
start_sim

# The check finds the controller through COM1.
wine_cli check.json check "${link_args[@]}" --system System --json || fail "check exited with $?"
grep -q '"result": "found"' "$work/check.json" ||
    fail "check did not find the controller: $(cat "$work/check.json")"

# The system's port list (the registry's device map, which Wine fills) shows COM1, there.
wine_cli ports.json ports --system System --json || fail "ports exited with $?"
/usr/bin/python3 - "$work/ports.json" <<'PY' || fail "ports: $(cat "$work/ports.json")"
import json, sys
listed = json.load(open(sys.argv[1]))
assert any(d["path"] == "\\\\.\\COM1" for d in listed["devices"]), "COM1 is not listed"
assert any(p["name"] == "COM1" and p["present"] for p in listed["ports"]), "COM1 is not there"
PY

# The same recording with each build.
wine_cli record.out record data --cycle "$cycle_ms" --time "$record_s" --out windows.csv \
    "${link_args[@]}" --system System || fail "the Windows build's record exited with $?"
stop_sim
grep -E '^(Samples|Achieved|Late|Scheduling):' "$work/record.out" || true
start_sim
linux_cli record data --cycle "$cycle_ms" --time "$record_s" --out "$work/files/linux.csv" \
    "${link_args[@]}" --system "$work/linux/System" >/dev/null 2>&1 ||
    fail "the Linux build's record exited with $?"
stop_sim
cp "$work/windows/windows.csv" "$work/files/windows.csv"

# Byte for byte, but for the start minute in the first line: the two ran one after the other.
if ! cmp -s <(tail -n +2 "$work/files/windows.csv") <(tail -n +2 "$work/files/linux.csv"); then
    fail "the CSVs differ"
    diff <(tail -n +2 "$work/files/windows.csv") <(tail -n +2 "$work/files/linux.csv") | head >&2
fi
for f in windows linux; do
    head -n 1 "$work/files/$f.csv" | grep -qE $'^[0-9]{8} [0-9]{2}:[0-9]{2},V100,data\r$' ||
        fail "$f.csv's first line: $(head -n 1 "$work/files/$f.csv")"
done

# Each build reads both files, and tells the same about each.
samples=$((record_s * 1000 / cycle_ms + 1))
cp "$work/files/"*.csv "$work/windows/"
for f in windows linux; do
    wine_cli info.json info "$f.csv" --monitor data --system System --json ||
        fail "the Windows build refused $f.csv"
    (cd "$work/files" && linux_cli info "$f.csv" --monitor data --system "$work/linux/System" \
        --json >"$work/info-linux.json") || fail "the Linux build refused $f.csv"
    if ! cmp -s "$work/info.json" "$work/info-linux.json"; then
        fail "the builds read $f.csv differently"
        diff "$work/info.json" "$work/info-linux.json" | head >&2
    fi
    grep -q "\"samples\": $samples" "$work/info.json" || fail "$f.csv does not hold $samples samples"
done

# plot in each build, of the data file above and of an I/O file: the PNG and the bitmap hold
# the Linux build's pixels exactly (the bare graph, and the graph inside the Windows build's
# frame, which it lays out around its own font's texts); the JPEG only nearly, as JPEG is
# lossy: its mean error against the exact picture stays near another encoder's JPEG's, and no
# channel strays far from that JPEG.
plot_dir="$work/plot"
mkdir -p "$plot_dir"
cp "$work/files/linux.csv" "$plot_dir/data.csv"
{
    printf '20261207 11:00,V100,IO\r\n50,1\r\n1%s\r\nms%s\r\nTime,Fast,,Slow%s\r\n' \
        "$(printf ',%.0s' {1..16})" "$(printf ',%.0s' {1..16})" "$(printf ',%.0s' {1..13})"
    for j in $(seq 0 200); do
        printf '%d,%d,,%d%s\r\n' $((j * 50)) $(((j % 8) < 4)) $(((j % 20) < 5)) \
            "$(printf ',%.0s' {1..13})"
    done
} >"$plot_dir/io.csv"
cp "$plot_dir/"*.csv "$work/windows/"
linux_plot() {
    local out=$1
    shift
    (cd "$plot_dir" && "$linux_bin/kestiva-cli" plot "$@" --system "$work/linux/System" \
        >"$work/$out" 2>"$work/$out.err")
}
for monitor in data io; do
    for kind in png bmp jpg; do
        wine_cli plot.out plot "$monitor.csv" --out "$monitor-bare.$kind" --bare --system System ||
            fail "plot $monitor --bare .$kind exited with $?"
        linux_plot plot-linux.out "$monitor.csv" --out "$monitor-bare.$kind" --bare ||
            fail "the Linux build's plot $monitor --bare .$kind exited with $?"
        cmp -s "$work/plot.out" "$work/plot-linux.out" ||
            fail "plot $monitor .$kind: the builds say '$(cat "$work/plot.out")' and '$(cat "$work/plot-linux.out")'"
        wine_cli framed.json plot "$monitor.csv" --out "$monitor-framed.$kind" --json \
            --system System || fail "plot $monitor .$kind exited with $?"
    done
    bare="$plot_dir/$monitor-bare.png"
    for kind in png bmp; do
        n=$(differing_pixels "$work/windows/$monitor-bare.$kind" "$bare")
        [ "$n" = "0" ] || fail "plot $monitor --bare .$kind differs from the Linux build's in $n pixels"
    done
    # The frame's graph: the Linux build's bare graph of that size, pixel for pixel.
    read -r gx gy gw gh < <(/usr/bin/python3 -c '
import json, sys
g = json.load(open(sys.argv[1]))["graph"]
print(g["x"], g["y"], g["width"], g["height"])' "$work/framed.json") || {
        fail "plot $monitor: no graph area in $(cat "$work/framed.json")"
        continue
    }
    linux_plot plot-linux.out "$monitor.csv" --out "$monitor-graph.png" --bare --size "${gw}x${gh}" ||
        fail "the Linux build's plot $monitor --size ${gw}x${gh} exited with $?"
    for kind in png bmp; do
        framed="$work/windows/$monitor-framed.$kind"
        [ "$(picture_size "$framed")" = "1000 600" ] ||
            fail "plot $monitor .$kind is $(picture_size "$framed"), not 1000 600"
        convert "$framed" -crop "${gw}x${gh}+${gx}+${gy}" +repage "$work/framed-graph.png" ||
            fail "plot $monitor .$kind could not be read"
        n=$(differing_pixels "$work/framed-graph.png" "$plot_dir/$monitor-graph.png")
        [ "$n" = "0" ] || fail "plot $monitor .$kind: the framed graph differs in $n pixels"
    done
    n=$(differing_pixels "$work/windows/$monitor-framed.bmp" "$work/windows/$monitor-framed.png")
    [ "$n" = "0" ] || fail "plot $monitor: the framed bitmap and PNG differ in $n pixels"
    for shape in bare framed; do
        jpeg="$work/windows/$monitor-$shape.jpg"
        [ "$(picture_size "$jpeg")" = "1000 600" ] ||
            fail "plot $monitor $shape .jpg is $(picture_size "$jpeg"), not 1000 600"
    done
    mean=$(picture_error MAE "$work/windows/$monitor-bare.jpg" "$bare")
    usual=$(picture_error MAE "$plot_dir/$monitor-bare.jpg" "$bare")
    most=$(picture_error PAE "$work/windows/$monitor-bare.jpg" "$plot_dir/$monitor-bare.jpg")
    jpeg_close "$mean" "$usual" "$most" ||
        fail "plot $monitor .jpg: mean error ${mean:-none} (the Linux JPEG's ${usual:-none}), largest against the Linux JPEG ${most:-none}"
    # The framed JPEG against its own PNG, the Windows build's frame in both.
    convert "$work/windows/$monitor-framed.png" -quality 75 "$work/reference.jpg"
    mean=$(picture_error MAE "$work/windows/$monitor-framed.jpg" "$work/windows/$monitor-framed.png")
    usual=$(picture_error MAE "$work/reference.jpg" "$work/windows/$monitor-framed.png")
    most=$(picture_error PAE "$work/windows/$monitor-framed.jpg" "$work/reference.jpg")
    jpeg_close "$mean" "$usual" "$most" ||
        fail "plot $monitor framed .jpg: mean error ${mean:-none} (another JPEG's ${usual:-none}), largest against it ${most:-none}"
done
# What each build says and returns when plot cannot write what it was asked for.
refusals=(
    "2|--out plot.gif"
    "2|--out plot"
    "2|--size 100x20 --out plot.png"
    "1|--out missing/plot.png"
)
for refusal in "${refusals[@]}"; do
    status=${refusal%%|*}
    args=${refusal#*|}
    read -r -a words <<<"$args"
    wine_cli refused.out plot data.csv "${words[@]}" --system System && code=0 || code=$?
    linux_plot refused-linux.out data.csv "${words[@]}" && linux_code=0 || linux_code=$?
    [ "$code" = "$status" ] && [ "$linux_code" = "$status" ] ||
        fail "plot $args: exit codes $code (Windows) and $linux_code (Linux), not $status"
    if ! cmp -s <(tr -d '\r' <"$work/refused.out.err") "$work/refused-linux.out.err"; then
        fail "plot $args: the builds' messages differ"
        diff <(tr -d '\r' <"$work/refused.out.err") "$work/refused-linux.out.err" >&2 || true
    fi
done

# The controller goes away a second into a recording: the recording fails, and nothing is saved.
start_sim
(sleep 1 && kill "$sim_pid") &
killer=$!
if wine_cli lost.out record data --cycle "$cycle_ms" --time "$record_s" --out lost.csv \
    "${link_args[@]}" --system System; then
    fail "a recording whose controller vanished succeeded"
fi
wait "$killer" || true
stop_sim
# The port is lost, not what was recorded before: the file holds those samples.
grep -q '^End state: *7 ' "$work/lost.out" || fail "vanished controller: $(cat "$work/lost.out")"
lost_samples=$(sed -n 's/^Samples: *//p' "$work/lost.out")
[ "${lost_samples:-0}" -ge 2 ] || fail "vanished controller: no samples kept: $(cat "$work/lost.out")"
[ -e "$work/windows/lost.csv" ] &&
    [ "$(wc -l <"$work/windows/lost.csv")" -ge "$lost_samples" ] ||
    fail "a recording whose controller vanished did not keep its samples in its file"
# Over the loopback address: the simulator serves one framing on a free port; sets target.
start_net_sim() {
    : >"$work/net.out"
    "$linux_bin/kestiva-sim" --mode deterministic "$1" 0 >"$work/net.out" 2>"$work/net.err" &
    net_pid=$!
    for _ in $(seq 100); do
        target=$(head -n 1 "$work/net.out")
        [ -n "$target" ] && return 0
        sleep 0.05
    done
    echo "the network simulator did not start" >&2
    exit 1
}
net_args=(--station 1 --bitrate "$bitrate")
for framing in --tcp --rtu-tcp; do
    start_net_sim "$framing"
    # Assigned to COM7 by the Windows build itself, then checked and recorded through it.
    wine_cli assign.json ports --assign "COM7=$target" --system System --json ||
        fail "$framing: ports --assign exited with $?"
    grep -q "\"device\": \"$target\"" "$work/assign.json" ||
        fail "$framing: COM7 does not show its target: $(cat "$work/assign.json")"
    wine_cli net-check.json check --port COM7 "${net_args[@]}" --system System --json ||
        fail "$framing: check exited with $?"
    grep -q '"result": "found"' "$work/net-check.json" ||
        fail "$framing: check did not find the controller: $(cat "$work/net-check.json")"
    wine_cli net-record.out record data --cycle "$cycle_ms" --time 1 --out net-windows.csv \
        --port COM7 "${net_args[@]}" --system System || fail "$framing: record exited with $?"
    grep -E '^(Samples|Achieved|Late):' "$work/net-record.out" || true
    linux_cli record data --cycle "$cycle_ms" --time 1 --out "$work/files/net-linux.csv" \
        --port "$target" "${net_args[@]}" --system "$work/linux/System" >/dev/null 2>&1 ||
        fail "$framing: the Linux build's record exited with $?"
    if ! cmp -s <(tail -n +2 "$work/windows/net-windows.csv") \
        <(tail -n +2 "$work/files/net-linux.csv"); then
        fail "$framing: the CSVs differ"
    fi
    wine_cli unassign.json ports --assign "COM7=" --system System --json ||
        fail "$framing: ports --assign COM7= exited with $?"
    stop_net_sim
done
# Nothing listens on a port just given up: the system's reason comes through Winsock.
wine_cli refused.out check --port "$target" "${net_args[@]}" --system System && fail "refused: check passed"
grep -q "$target: connection refused." "$work/refused.out.err" ||
    fail "refused connection: $(cat "$work/refused.out.err")"

echo "Wine CLI test: $((($(date +%s%N) - started) / 1000000)) ms"
if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "All Wine CLI checks passed"
