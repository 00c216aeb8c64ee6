#!/usr/bin/env bash
# Configures and builds one build folder.  Usage: scripts/build.sh [--sanitize | --tsan]
# Prints the build folder on its last line.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir="$top/build"
flags=(-DKESTIVA_SANITIZE=OFF)
if [ "${1:-}" = "--sanitize" ]; then
    dir="$top/build-sanitize"
    # Benchmarks measure the plain build only.
    flags=(-DKESTIVA_SANITIZE=ON -DKESTIVA_BENCH=OFF)
elif [ "${1:-}" = "--tsan" ]; then
    dir="$top/build-tsan"
    flags=(-DKESTIVA_SANITIZE=OFF -DKESTIVA_TSAN=ON -DKESTIVA_BENCH=OFF)
fi
cmake -S "$top" -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" >&2
echo "$dir"
