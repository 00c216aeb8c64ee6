#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program: only what the programs need, so that
# the first start waits for no test or benchmark (scripts/test.sh builds those). When no controller is attached
# (System/ports/COM1 does not point at a device), the bundled controller simulator is started
# on a pseudo-terminal and linked as COM1 for the program to talk to.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh" --programs
dir=$(bash "$top/scripts/build.sh" --programs | tail -n 1)
bin="$dir/bin"

echo "Built in $bin:"
for p in kestiva kestiva-cli kestiva-sim; do
    if [ -x "$bin/$p" ]; then echo "  $p"; fi
done

sim_pid=""
stop_sim() { if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi; }
trap stop_sim EXIT
if [ ! -e "$bin/System/ports/COM1" ]; then
    "$bin/kestiva-sim" --mode demo --link "$bin/System/ports/COM1" >/dev/null &
    sim_pid=$!
    for _ in $(seq 50); do [ -e "$bin/System/ports/COM1" ] && break; sleep 0.1; done
    echo "No controller attached: the simulator answers on COM1."
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting kestiva; the simulator stops when the program ends."
    "$bin/kestiva" "$@"
    exit $?
fi

# Without a display the window cannot open: the companion command shows the same work.
echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): the companion command records instead."
cli="$bin/kestiva-cli"
out="$dir/demo"
mkdir -p "$out"
"$cli" check --port COM1 --station 1 --bitrate 38400
"$cli" record data --controller 1 --cycle 50 --time 5 --port COM1 --station 1 --bitrate 38400 \
    --out "$out/demo.csv"
"$cli" info "$out/demo.csv" --monitor data
"$cli" plot "$out/demo.csv" --monitor data --out "$out/demo.png"
echo "Recording: $out/demo.csv   Graph: $out/demo.png"
