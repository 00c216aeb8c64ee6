#!/usr/bin/env bash
# kestiva.exe under Wine on a virtual display, against the simulator that Wine knows as COM1,
# worked from outside as a user works it, by window-driver.exe (tests/win32/driver): declining
# the terms ends the program; the search finds a controller at station 5 and 19200 bit/s, a
# network target is given to COM1 in the serial ports and taken back, and Quit ends the
# program; accepting them again, a manual check finds the controller, OK opens the
# main window, a recording of the data monitor runs to its end, File > CSV save writes it, a
# second recording is stopped early and saved, a new colour table repaints the page at once,
# File > CSV read shows the first recording again as it was, Image save writes it as .bmp and
# .jpg and Image capture copies it, markers placed by keys show the measurements and Copy
# measurements copies the Linux build's figures, a typed range and a wheel turn change the
# page's labels, the I/O page records and saves, and the window closes during a last
# recording; a recording killed with the program is offered at the next start, and Yes shows
# it, as File > Unsaved Recordings' Restore does again; Help > Version names the program.
# The saved CSV must equal, but for the start minute in its first line, the Linux build's CSV
# of the same recording of the deterministic simulator, for each page.
#
# Usage: window_under_wine.sh LINUX_BIN WINDOWS_BIN [PREFIX]
#   LINUX_BIN    folder holding kestiva-sim, kestiva-cli and System/ (build/bin)
#   WINDOWS_BIN  folder holding kestiva.exe, window-driver.exe and System/
#   PREFIX       the Wine folder this test keeps for itself between runs; a new one in a
#                temporary folder without it
# Screenshots of each step land in WINDOWS_BIN/../e2e-window/. Exit code 0 when all passed;
# without Xvfb the test says so and passes.
set -euo pipefail

linux_bin=$(realpath "$1")
windows_bin=$(realpath "$2")
bitrate=38400
cycle_ms=20
io_cycle_ms=50
record_s=10

if ! command -v Xvfb >/dev/null; then
    echo "SKIPPED: no Xvfb for the window under Wine"
    exit 0
fi
source "$(dirname "$0")/../support/picture_checks.sh"
require_imagemagick

shots="$windows_bin/../e2e-window"
mkdir -p "$shots"
rm -f "$shots"/*.png
prefix=${3:-}
source "$(dirname "$0")/wine_window.sh"

# Declining the terms ends the program and writes no settings.
settings_before=$(md5sum <"$program/System/CommunicationSetting.ini")
start_program
drive wait "Terms of Use" || die "no terms"
shot 1-terms
drive click "Terms of Use" "I Do Not Agree" || die "could not decline"
program_ended || fail "declining ended the program with an error"
[ "$(md5sum <"$program/System/CommunicationSetting.ini")" = "$settings_before" ] ||
    fail "declining the terms changed the settings"

# The search, with its progress window and Cancel, finds a controller at station 5 and
# 19200 bit/s; Quit then ends the program.
start_sim --station 5 --bitrate 19200
start_program
drive click "Terms of Use" "I Agree" || die "could not accept"
drive wait "Communication Settings" || die "no communication settings"
drive click "Communication Settings" "Automatic search" || die "no automatic search"
drive click "Communication Settings" "Check Communication" || die "could not search"
drive enabled "#32770|Communication Check" "Cancel" || fail "the search showed no progress window"
found=$(drive --timeout 120 message "#32770|Communication Check") || die "no search result"
grep -q "19200" <<<"$found" && grep -qE "^ *5\s*$" <<<"$found" ||
    fail "the search did not find station 5 at 19200 bit/s: $found"
drive click "#32770|Communication Check" "OK" || die "could not close the search's result"
# Serial ports: a network target typed for COM1 (the first row, chosen when the dialog opens;
# its device list is control 324) is written to the port's target file and named by the
# port list (control 203); the default entry removes it again.
ports="#32770|Serial ports"
target_file="$program/System/ports/COM1-target"
drive click "Communication Settings" "Serial ports..." || die "no Serial ports button"
first_port=$(drive rows "$ports" 322 | head -n 1 | tr -d '\r') || die "no list of ports"
[ "$first_port" = $'*COM1\t(default: \\\\.\\COM1)' ] || fail "the first port's row: $first_port"
drive fill "$ports" 324 "tcp://127.0.0.1:1502" || die "could not type a network target"
shot 3-serial-ports
drive click "$ports" "OK" || die "could not accept the serial ports"
drive gone "$ports" || die "the serial ports stayed open"
[ "$(tr -d '\r\n' <"$target_file" 2>/dev/null)" = "tcp://127.0.0.1:1502" ] ||
    fail "COM1's target file does not hold the typed target"
drive text "Communication Settings" 203 | grep -q "tcp://127.0.0.1:1502" ||
    fail "the port list does not name COM1's target"
drive click "Communication Settings" "Serial ports..." || die "no Serial ports button again"
drive select "$ports" 324 '(default: \\.\COM1)' || die "no default entry for COM1"
drive click "$ports" "OK" || die "could not accept the serial ports again"
drive gone "$ports" || die "the serial ports stayed open again"
[ ! -e "$target_file" ] || fail "the default entry left COM1's target file"
drive click "Communication Settings" "Quit" || die "could not quit"
program_ended || fail "quitting ended the program with an error"
stop_pid "$sim_pid"
sim_pid=""

# Accepted: the manual check at station 1 and 38400 bit/s finds the controller, and OK opens
# the main window.
start_sim
start_program
drive click "Terms of Use" "I Agree" || die "could not accept"
drive wait "Communication Settings" || die "no communication settings"
drive click "Communication Settings" "Manual" || die "no manual method"
# The station and bit-rate lists are controls 210 and 212.
drive select "Communication Settings" 210 1 || die "no station 1"
drive select "Communication Settings" 212 "$bitrate" || die "no bit rate $bitrate"
shot 2-settings
drive click "Communication Settings" "Check Communication" || die "could not check"
answer=$(drive message "#32770|Communication Check") || die "no check result"
shot 3-check
grep -q "Communication is established" <<<"$answer" || fail "check: $answer"
drive click "#32770|Communication Check" "OK" || die "could not close the check's result"
drive click "Communication Settings" "OK" || die "OK stayed disabled after the check"
drive wait "$main" || die "no main window"
# The data page's graph is control 430; what it shows, as a hash of its pixels: empty yet.
empty=$(drive picture "$main" 430) || die "no graph"

# A recording of the data monitor, drawn as it arrives, to its end.
# The data page's lists are controls 412 (cycle) and 414 (time).
drive select "$main" 412 "$cycle_ms" || die "no sampling cycle of $cycle_ms ms"
drive select "$main" 414 "$record_s" || die "no sampling time of $record_s s"
drive press "$main" "Start" || die "could not start"
drive enabled "$main" "Stop" || fail "Stop was not enabled during the recording"
sleep 2
shot 4-recording
drive --timeout $((record_s + 30)) enabled "$main" "Start" || die "the recording did not end"
shot 5-recorded
recorded=$(drive picture "$main" 430) || die "no graph"

# File > CSV save (menu command 500).
drive command "$main" 500 || die "no CSV save"
# Into the program folder (this test's own, Z: in Wine), never over an earlier run's file.
window_csv="$program/kestiva-window.csv"
drive file "Save CSV File." "Z:${window_csv//\//\\}" || die "no save dialog"
saved=$(drive message "$box") || die "no message after the save"
grep -q "saved" <<<"$saved" || fail "save: $saved"
drive click "$box" "OK" || die "could not close the save's message"

# Stop during a recording: the recording ends early, and its CSV holds fewer samples.
drive press "$main" "Start" || die "could not start again"
drive enabled "$main" "Stop" || die "Stop was not enabled during the second recording"
sleep 1
drive press "$main" "Stop" || die "could not stop"
drive --timeout 30 enabled "$main" "Start" || die "the stopped recording did not end"
shot 6-stopped
stopped_csv="$program/kestiva-stopped.csv"
drive command "$main" 500 || die "no CSV save of the stopped recording"
drive file "Save CSV File." "Z:${stopped_csv//\//\\}" || die "no save dialog"
drive message "$box" >/dev/null || die "no message after the second save"
drive click "$box" "OK" || die "could not close the second save's message"

# Setting > Colour: another table (menu command 701) repaints the page at once in its colours,
# and the first one (700) brings them back.
before=$(drive picture "$main" 430) || die "no graph"
drive command "$main" 701 || die "no second colour table"
recoloured=""
for _ in $(seq 50); do
    recoloured=$(drive picture "$main" 430) || true
    [ "$recoloured" != "$before" ] && break
    sleep 0.2
done
[ "$recoloured" != "$before" ] || fail "another colour table did not repaint the page"
drive command "$main" 700 || die "no first colour table"
back=""
for _ in $(seq 50); do
    back=$(drive picture "$main" 430) || true
    [ "$back" = "$before" ] && break
    sleep 0.2
done
[ "$back" = "$before" ] || fail "the first colour table did not bring the page's colours back"

# File > CSV read (menu command 501) of the saved file shows the whole recording again: its
# picture, and its span (control 1256) rather than the stopped recording's. (The simulator's
# values may be flat, so that recordings of any length look alike.)
drive command "$main" 501 || die "no CSV read"
drive file "Read CSV File." "Z:${window_csv//\//\\}" || die "no read dialog"
shown="" span=""
for _ in $(seq 100); do
    shown=$(drive picture "$main" 430) || true
    span=$(drive text "$main" 1256 | tr -d '\r') || true
    [ "$shown" = "$recorded" ] && [ "$span" = "$record_s.0" ] && break
    sleep 0.2
done
shot 7-read
[ "$shown" = "$recorded" ] || fail "the CSV read does not show the recording that was saved"
[ "$span" = "$record_s.0" ] || fail "the CSV read shows a span of $span s, not $record_s.0"

# File > Image save (menu command 503), as a bitmap and as a JPEG: the picture is the window
# with its frame, and its graph is the graph as the screen showed it just before (the JPEG's
# nearly, as JPEG is lossy).
# (Wine's console ends the driver's lines with CR LF.)
read -r wx wy ww wh < <(drive rect "$main" 0 | tr -d '\r') || die "no window rectangle"
read -r gx gy gw gh < <(drive rect "$main" 430 | tr -d '\r') || die "no graph rectangle"
import -window root "$work/screen.png" || die "no screenshot"
for kind in bmp jpg; do
    image="$program/kestiva-window.$kind"
    drive command "$main" 503 || die "no Image save"
    drive file "Save Image File." "Z:${image//\//\\}" || die "no image save dialog"
    said=$(drive message "$box") || die "no message after the image save"
    drive click "$box" "OK" || die "could not close the image save's message"
    grep -q "saved" <<<"$said" || fail "image save ($kind): $said"
    size=$(identify -format '%w %h' "$image" 2>/dev/null) || size="none"
    [ "$size" = "$ww $wh" ] || fail "the $kind picture is $size, not the window's $ww $wh"
done
# The bitmap holds the graph pixel for pixel; the JPEG only nearly (it is lossy).
convert "$program/kestiva-window.bmp" -crop "${gw}x${gh}+$((gx - wx))+$((gy - wy))" +repage \
    "$work/saved-graph.png"
convert "$work/screen.png" -crop "${gw}x${gh}+${gx}+${gy}" +repage "$work/screen-graph.png"
differing=$(compare -metric AE "$work/saved-graph.png" "$work/screen-graph.png" null: 2>&1) || true
[ "$differing" = "0" ] || fail "the saved bitmap's graph differs from the screen's in $differing pixels"
# The JPEG's graph: its mean error against the screen's no larger than another encoder's JPEG
# of the same picture has (with some room), and no channel far from that JPEG (at thin lines
# every JPEG strays, but a moved or recoloured graph strays much further).
convert "$program/kestiva-window.jpg" -crop "${gw}x${gh}+$((gx - wx))+$((gy - wy))" +repage \
    "$work/saved-jpeg-graph.png"
convert "$program/kestiva-window.bmp" -quality 75 "$work/reference.jpg"
convert "$work/reference.jpg" -crop "${gw}x${gh}+$((gx - wx))+$((gy - wy))" +repage \
    "$work/reference-graph.png"
mean=$(picture_error MAE "$work/saved-jpeg-graph.png" "$work/screen-graph.png")
usual=$(picture_error MAE "$work/reference-graph.png" "$work/screen-graph.png")
most=$(picture_error PAE "$work/saved-jpeg-graph.png" "$work/reference-graph.png")
jpeg_close "$mean" "$usual" "$most" ||
    fail "the saved JPEG's graph: mean error ${mean:-none} against the screen's (another JPEG's ${usual:-none}), largest against that JPEG ${most:-none}"

# File > Image capture (menu command 504) puts the same picture on the clipboard.
drive command "$main" 504 || die "no Image capture"
copied=$(drive clipboard | tr -d '\r') || copied="none"
[ "$copied" = "$ww $wh" ] || fail "the clipboard's picture is $copied, not the window's $ww $wh"

# Markers by keys on the recording read back: a click focuses the graph with the mouse over its
# middle; A goes there and five samples to the right, B to the mouse and one to the right. The
# measurement panel appears, and Copy measurements puts on the clipboard the figures the Linux
# build gives for the same recording between the same two samples, four samples apart.
drive click-control "$main" 430 || die "could not click the graph"
drive keys "$main" A Right Right Right Right Right B Right || die "the marker keys did not go"
drive enabled "$main" "Copy measurements" || fail "no measurement panel with both markers placed"
shot 11-markers
drive empty-clipboard || fail "could not empty the clipboard"
drive click "$main" "Copy measurements" || die "no Copy measurements"
drive clipboard-text | tr -d '\r' >"$work/measurements.tsv" ||
    fail "Copy measurements put no text on the clipboard"
marker_a="" marker_b=""
read -r marker_a marker_b < <(awk -F '\t' 'NR == 2 { print $3, $4 }' "$work/measurements.tsv") ||
    true
mkdir -p "$work/between/System"
cp "$linux_bin/System/"*.ini "$work/between/System/"
if "$linux_bin/kestiva-cli" info "$window_csv" --monitor data --between "${marker_a:-0}" \
    "${marker_b:-0}" --system "$work/between/System" --json >"$work/between.json" 2>&1; then
    python3 - "$work/measurements.tsv" "$work/between.json" "$cycle_ms" <<'CHECK' ||
import json, sys
rows = [line.split("\t") for line in open(sys.argv[1]).read().splitlines()]
between = json.load(open(sys.argv[2]))["between"]
keys = ["atA", "atB", "difference", "minimum", "minimumTime", "maximum", "maximumTime",
        "mean", "rms"]
problems = []
if abs(abs(float(rows[1][3]) - float(rows[1][2])) - 4 * int(sys.argv[3]) / 1000) > 1e-9:
    problems.append("the markers lie %s and %s s apart, not 4 samples" % (rows[1][2], rows[1][3]))
if len(rows) - 1 != len(between["items"]):
    problems.append("%d rows, not %d" % (len(rows) - 1, len(between["items"])))
for row, item in zip(rows[1:], between["items"]):
    mine = [float(cell) for cell in row[6:15]]
    theirs = [float(item[key]) for key in keys]
    if row[0] != item["name"] or mine != theirs:
        problems.append("%s: %s, the Linux build %s" % (row[0], row[6:15], theirs))
print("\n".join(problems))
sys.exit(1 if problems else 0)
CHECK
        fail "the copied measurements differ from the Linux build's"
else
    fail "the Linux build measured nothing between ${marker_a:-no time} and ${marker_b:-no time}"
fi

# A range typed into the first item's upper edit (control 1320) moves the item's value labels
# (1416 at 3/4 of its range); a wheel turn over the graph zooms, and the time labels under it
# (1128 at 1/4 of the window) follow.
upper=$(drive text "$main" 1320 | tr -d '\r') || die "no upper range edit"
value_before=$(drive text "$main" 1416 | tr -d '\r') || die "no value label"
drive type "$main" 1320 "$(awk -v u="$upper" 'BEGIN { printf "%.1f", u + 100 }')" ||
    die "could not type a range"
value_after=""
for _ in $(seq 50); do
    value_after=$(drive text "$main" 1416 | tr -d '\r') || true
    [ "$value_after" != "$value_before" ] && break
    sleep 0.1
done
[ "$value_after" != "$value_before" ] ||
    fail "a typed range left the value label at $value_before"
time_before=$(drive text "$main" 1128 | tr -d '\r') || die "no time label"
drive wheel "$main" 430 2 || die "no wheel over the graph"
time_after=""
for _ in $(seq 50); do
    time_after=$(drive text "$main" 1128 | tr -d '\r') || true
    [ "$time_after" != "$time_before" ] && break
    sleep 0.1
done
shot 12-zoomed
[ "$time_after" != "$time_before" ] || fail "a wheel turn left the time label at $time_before"

# The I/O page: the switch shows it, and a recording of it, drawn as it arrives, is saved.
drive click "$main" "Data Monitor" || die "no page switch"
drive enabled "$main" "I/O Monitor" || die "the switch does not name the I/O page"
drive select "$main" 422 "$io_cycle_ms" || die "no I/O sampling cycle of $io_cycle_ms ms"
drive select "$main" 424 "$record_s" || die "no I/O sampling time of $record_s s"
drive press "$main" "Start" || die "could not start the I/O recording"
drive enabled "$main" "Stop" || die "Stop was not enabled during the I/O recording"
sleep 2
shot 8-io-recording
drive --timeout $((record_s + 30)) enabled "$main" "Start" || die "the I/O recording did not end"
io_csv="$program/kestiva-io.csv"
drive command "$main" 500 || die "no CSV save of the I/O recording"
drive file "Save CSV File." "Z:${io_csv//\//\\}" || die "no save dialog"
drive message "$box" >/dev/null || die "no message after the I/O save"
drive click "$box" "OK" || die "could not close the I/O save's message"

# Closing during a recording stops it and ends the program.
drive press "$main" "Start" || die "could not start the last recording"
drive enabled "$main" "Stop" || die "Stop was not enabled during the last recording"
drive close "$main" || die "could not close the main window"
program_ended || fail "the program ended with an error"

# A recording cut short by a crash (the program killed with Wine) is offered at the next
# start, and Yes shows it on its page.
start_program
confirm_link
drive press "$main" "Start" || die "could not start the recording to kill"
drive enabled "$main" "Stop" || die "Stop was not enabled during the recording to kill"
sleep 2
wineserver -k 2>/dev/null || true
wait "$server_pid" 2>/dev/null || true
wait "$program_pid" 2>/dev/null || true
program_pid=""
wineserver -f -p >>"$work/wineserver.log" 2>&1 &
server_pid=$!
start_program
confirm_link
question=$(drive message "$box") || die "no restore offer after the crash"
shot 9-offer
grep -q "was not saved" <<<"$question" || fail "the offer: $question"
drive click "$box" "Yes" || die "could not answer the offer"
restored=""
for _ in $(seq 100); do
    restored=$(drive picture "$main" 430) || true
    [ -n "$restored" ] && [ "$restored" != "$empty" ] && break
    sleep 0.2
done
shot 10-restored
[ -n "$restored" ] && [ "$restored" != "$empty" ] || fail "the restored recording is not shown"

# File > Unsaved Recordings (menu command 505) lists the killed recording first and chosen;
# Close leaves the page as it is, and Restore shows the recording again once a CSV read has
# put another one on the page: the page's span label (control 1256) and end time edit (1064)
# say which recording it shows (its pixels would show the mouse's cursor readout too).
unsaved="#32770|Unsaved recordings"
restored_span=$(drive text "$main" 1256 | tr -d '\r') || die "no span label"
restored_end=$(drive text "$main" 1064 | tr -d '\r') || die "no end time edit"
drive command "$main" 505 || die "no Unsaved Recordings"
rows=$(drive rows "$unsaved" 312 | tr -d '\r') || die "no list of unsaved recordings"
shot 11-unsaved
IFS=$'\t' read -r started monitor controller duration <<<"$(head -n 1 <<<"$rows")"
[[ "$started" == "*"20[0-9][0-9]-* ]] || fail "the newest recording is not chosen first: $rows"
[ "$monitor" = "Data Monitor" ] && [ -n "$controller" ] && [[ "$duration" == 0:0[1-4] ]] ||
    fail "the killed recording's row: $rows"
drive click "$unsaved" "Close" || die "could not close the unsaved recordings"
drive gone "$unsaved" || fail "Close left the unsaved recordings open"
drive command "$main" 501 || die "no CSV read after the restore"
drive file "Read CSV File." "Z:${window_csv//\//\\}" || die "no read dialog after the restore"
span=$restored_span
for _ in $(seq 100); do
    span=$(drive text "$main" 1256 | tr -d '\r') || true
    [ "$span" != "$restored_span" ] && break
    sleep 0.2
done
[ "$span" != "$restored_span" ] || fail "the CSV read after the restore left a span of $span s"
drive command "$main" 505 || die "no Unsaved Recordings the second time"
drive click "$unsaved" "Restore" || die "could not restore from the unsaved recordings"
for _ in $(seq 100); do
    span=$(drive text "$main" 1256 | tr -d '\r') || true
    [ "$span" = "$restored_span" ] && break
    sleep 0.2
done
shot 12-restored-again
end=$(drive text "$main" 1064 | tr -d '\r') || end="none"
[ "$span" = "$restored_span" ] && [ "$end" = "$restored_end" ] ||
    fail "Restore shows $span s ending at $end, not the offer's $restored_span s at $restored_end"

# Help > Version (menu command 502): the program's icon (control 331), its name and version
# (control 332), and OK.
about="#32770|Version Information"
drive command "$main" 502 || die "no Help > Version"
drive wait "$about" || die "no version dialog"
shot 13-version
version=$(drive text "$about" 332 | tr -d '\r') || die "no version text"
[ "$version" = "Kestiva Data Monitor    V100" ] || fail "the version dialog says '$version'"
drive controls "$about" | grep -q "^331 Static" || fail "the version dialog shows no icon"
drive click "$about" "OK" || die "could not close the version dialog"
drive gone "$about" || fail "OK left the version dialog open"
drive close "$main" || die "could not close the main window after the restore"
program_ended || fail "the program ended with an error after the restore"
stop_pid "$sim_pid"
sim_pid=""
[ -s "$window_csv" ] || fail "no CSV was saved"

# The same recording of the simulator, made by the Linux build's command.
mkdir -p "$work/linux/System/ports"
cp "$linux_bin/System/"*.ini "$work/linux/System/"
ln -sfn "$com1_link" "$work/linux/System/ports/COM1"
start_sim
"$linux_bin/kestiva-cli" record data --cycle "$cycle_ms" --time "$record_s" \
    --out "$work/linux.csv" --port COM1 --station 1 --bitrate "$bitrate" \
    --system "$work/linux/System" >"$work/linux-record.out" 2>&1 ||
    fail "the Linux build's record exited with $?"
stop_pid "$sim_pid"
sim_pid=""
start_sim
"$linux_bin/kestiva-cli" record io --cycle "$io_cycle_ms" --time "$record_s" \
    --out "$work/linux-io.csv" --port COM1 --station 1 --bitrate "$bitrate" \
    --system "$work/linux/System" >"$work/linux-record-io.out" 2>&1 ||
    fail "the Linux build's I/O record exited with $?"
stop_pid "$sim_pid"
sim_pid=""
for pair in "$window_csv:$work/linux.csv" "$io_csv:$work/linux-io.csv"; do
    mine=${pair%%:*} theirs=${pair#*:}
    if [ ! -s "$mine" ] || ! cmp -s <(tail -n +2 "$mine") <(tail -n +2 "$theirs"); then
        fail "the window's $(basename "$mine") differs from the Linux build's"
        diff <(tail -n +2 "$mine") <(tail -n +2 "$theirs") | head >&2
    fi
done
samples=$((record_s * 1000 / cycle_ms + 1))
if "$linux_bin/kestiva-cli" info "$stopped_csv" --monitor data --system "$work/linux/System" \
    --json >"$work/stopped.json" 2>&1; then
    stopped_samples=$(grep -o '"samples": [0-9]*' "$work/stopped.json" | grep -o '[0-9]*$')
    [ "${stopped_samples:-0}" -gt 0 ] && [ "$stopped_samples" -lt "$samples" ] ||
        fail "the stopped recording holds ${stopped_samples:-no} samples, not fewer than $samples"
else
    fail "the Linux build refused the stopped recording's CSV"
fi
"$linux_bin/kestiva-cli" info "$window_csv" --monitor data --system "$work/linux/System" \
    --json >"$work/info.json" 2>&1 || fail "the Linux build refused the window's CSV"
grep -q "\"samples\": $samples" "$work/info.json" || fail "the window's CSV does not hold $samples samples"

if [ "$failures" -gt 0 ]; then
    echo "the window under Wine: $failures failure(s); screenshots in $shots" >&2
    exit 1
fi
echo "the window under Wine: all flows passed"
