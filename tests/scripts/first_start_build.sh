#!/usr/bin/env bash
# run.sh's build on a fresh build folder: its commands (listed, nothing compiled) must link the
# three programs and copy the System files, and link no test and no benchmark.
# Usage: first_start_build.sh SOURCE_DIR
set -euo pipefail
top=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

grep -q 'build.sh" --programs' "$top/scripts/run.sh" || { echo "run.sh does not build --programs"; exit 1; }
KESTIVA_BUILD_DIR="$work/build" KESTIVA_BUILD_DRY_RUN=1 \
    bash "$top/scripts/build.sh" --programs >"$work/out" 2>"$work/plan"

status=0
for program in kestiva kestiva-cli kestiva-sim; do
    if ! grep -Eq -- "-o bin/$program( |\$)" "$work/plan"; then
        echo "not built: $program"
        status=1
    fi
done
grep -Eq "copy_directory .*/System .*bin/System" "$work/plan" ||
    { echo "System files not copied"; status=1; }
if grep -Eo -- "-o bin/[^ ]*(_test|_bench|bench_)[^ ]*" "$work/plan"; then
    echo "tests or benchmarks are built (above)"
    status=1
fi
if ! grep -q "^KESTIVA_TESTS:BOOL=OFF" "$work/build/CMakeCache.txt"; then
    echo "a fresh build folder was configured with the tests"
    status=1
fi
[ "$(tail -n 1 "$work/out")" = "$work/build" ] || { echo "build folder not printed"; status=1; }
[ $status -eq 0 ] || { echo "--- plan:"; cat "$work/plan"; }
exit $status
