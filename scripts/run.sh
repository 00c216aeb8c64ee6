#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program. When no controller is attached
# (System/ports/COM1 does not point at a device), the bundled controller simulator is started
# on a pseudo-terminal and linked as COM1 for the program to talk to.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
dir=$(bash "$top/scripts/build.sh" | tail -n 1)
bin="$dir/bin"

echo "Built in $bin:"
for p in kestiva kestiva-sim kestiva-cli; do
    [ -x "$bin/$p" ] && echo "  $p"
done

if [ ! -x "$bin/kestiva" ]; then
    echo "The desktop program is not part of this build yet."
    exit 0
fi

sim_pid=""
if [ ! -e "$bin/System/ports/COM1" ] && [ -x "$bin/kestiva-sim" ]; then
    "$bin/kestiva-sim" --mode demo --link "$bin/System/ports/COM1" &
    sim_pid=$!
    trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null' EXIT
    for _ in $(seq 50); do [ -e "$bin/System/ports/COM1" ] && break; sleep 0.1; done
    echo "No controller attached: the simulator answers on COM1."
fi
"$bin/kestiva" "$@"
