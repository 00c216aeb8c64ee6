#!/usr/bin/env bash
# Configures and builds one build folder.  Usage: scripts/build.sh [--sanitize | --tsan | --programs]
#   (none)      build/ with everything: the programs, every test and benchmark (test.sh)
#   --sanitize  build-sanitize/ with AddressSanitizer and UBSan; --tsan: build-tsan/, ThreadSanitizer
#   --programs  build/, but only what run.sh starts: kestiva, kestiva-cli, kestiva-sim and the
#               System files. A build/ made here leaves the tests and benchmarks out of its
#               configuration (GoogleTest and Google Benchmark need not be installed); one
#               configured before keeps its settings, and test.sh adds them back.
# KESTIVA_BUILD_DIR names another build folder; KESTIVA_BUILD_DRY_RUN=1 lists the commands of
# the build instead of running them.
# Prints the build folder on its last line.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir="$top/build"
flags=(-DKESTIVA_SANITIZE=OFF -DKESTIVA_TESTS=ON -DKESTIVA_BENCH=ON)
targets=()
if [ "${1:-}" = "--sanitize" ]; then
    dir="$top/build-sanitize"
    # Benchmarks measure the plain build only.
    flags=(-DKESTIVA_SANITIZE=ON -DKESTIVA_TESTS=ON -DKESTIVA_BENCH=OFF)
elif [ "${1:-}" = "--tsan" ]; then
    dir="$top/build-tsan"
    flags=(-DKESTIVA_SANITIZE=OFF -DKESTIVA_TSAN=ON -DKESTIVA_TESTS=ON -DKESTIVA_BENCH=OFF)
elif [ "${1:-}" = "--programs" ]; then
    targets=(kestiva kestiva-cli kestiva-sim system_files)
    flags=(-DKESTIVA_SANITIZE=OFF -DKESTIVA_TESTS=OFF -DKESTIVA_BENCH=OFF)
fi
dir="${KESTIVA_BUILD_DIR:-$dir}"
if [ ${#targets[@]} -gt 0 ] && [ -f "$dir/CMakeCache.txt" ]; then
    flags=()
fi
cmake -S "$top" -B "$dir" -G Ninja "${flags[@]}" >/dev/null
if [ "${KESTIVA_BUILD_DRY_RUN:-0}" = 1 ]; then
    # Every command the targets take, as a fresh folder would run them (Ninja's own dry run
    # stops at the check of the globs, which it cannot pretend to run).
    ninja -C "$dir" -t commands "${targets[@]}" >&2
else
    build=(cmake --build "$dir" -j "$(nproc)")
    [ ${#targets[@]} -gt 0 ] && build+=(--target "${targets[@]}")
    "${build[@]}" >&2
fi
echo "$dir"
