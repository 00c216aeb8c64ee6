#!/usr/bin/env bash
# Installs what building, running and testing need, from Debian's packages only.
# Idempotent: apt-get runs only when a package is missing.
# Usage: scripts/install-deps.sh [--programs | PACKAGE...]
#   --programs: only what building and running the three programs needs (run.sh)
#   packages given: those instead of the list
set -euo pipefail

programs=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libsystemd-dev)
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libgl-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    python3 python3-pymodbus python3-serial python3-serial-asyncio mbpoll socat
    xvfb xdotool imagemagick x11-utils dbus at-spi2-core python3-gi gir1.2-atspi-2.0 python3-xlib
    libsystemd-dev rtkit polkitd dbus-daemon dbus-bin util-linux
    gdb  # the end-to-end test keeps the stacks of a program that does not end
)
if [ "${1:-}" = "--programs" ]; then
    packages=("${programs[@]}")
elif [ $# -gt 0 ]; then
    packages=("$@")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
