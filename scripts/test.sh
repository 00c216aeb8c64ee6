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
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$top/tests/support/tsan-suppressions.txt}
export QT_QPA_PLATFORM=offscreen
cd "$dir"
exclude=()
if [ "${1:-}" = "--tsan" ]; then
    # Qt's libraries are not built with ThreadSanitizer; in a widget test its event loop and
    # painting threads make it report races it cannot see ordered and crash in its own shadow
    # memory. The widget tests run in the plain and the AddressSanitizer builds; here the
    # core's threads (engine, check, session, workers, the companion command) are checked.
    echo "ThreadSanitizer run: the widget tests (label 'widgets') run in the other two builds."
    exclude=(-LE widgets)
elif [ "${1:-}" = "--sanitize" ]; then
    # The whole program on a virtual display runs in the plain build; here the leak checker
    # would report what Qt and the X libraries keep until the process ends.
    exclude=(-LE e2e)
fi
ctest --output-on-failure -j "$(nproc)" --timeout 300 "${exclude[@]}"
