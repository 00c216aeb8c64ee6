#!/usr/bin/env bash
# Cross-builds the core, kestiva-cli.exe and the core's unit tests for 64-bit Windows with
# MinGW-w64 into build-windows/ (programs in build-windows/bin/, System/ beside them).
# Installs what it needs. Prints the build folder on its last line.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir="$top/build-windows"
# The posix thread model of MinGW-w64 gives std::thread; googletest is built from its source.
bash "$top/scripts/install-deps.sh" cmake ninja-build g++-mingw-w64-x86-64-posix \
    wine wine64 googletest >&2
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# -O2 as the Linux build has it; GCC 12's -O3 warns falsely about string copies (-Wrestrict).
cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" "${launcher[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" >&2
echo "$dir"
