#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# Usage: scripts/test.sh [--sanitize | --tsan]
#   --sanitize: AddressSanitizer + UBSan, halting on error; --tsan: ThreadSanitizer
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
# Before the long build: the Python peers of the interoperability tests must import.
bash "$top/scripts/check-python-modules.sh"
dir=$(bash "$top/scripts/build.sh" "$@" | tail -n 1)
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
export QT_QPA_PLATFORM=offscreen
cd "$dir"
ctest --output-on-failure -j "$(nproc)" --timeout 300
