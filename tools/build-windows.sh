#!/usr/bin/env bash
# Cross-builds the engine, qvn-build.exe and their tests for 64-bit Windows with Debian's
# MinGW-w64, into build-windows/, and runs the tests under Wine: headless, without Wine's own
# messages, in a Wine prefix of the build's own (build-windows/wine-prefix). No windows: Qt for
# Windows is not packaged here. Runs apt-get as root, or through sudo for anyone else.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 googletest)
tools/apt-install.sh "${packages[@]}"

build=build-windows
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DQVN_BUILD_GUI=OFF -DQVN_WERROR=ON -DCMAKE_BUILD_TYPE=Release

# The Wine prefix is made once, before the build lists the tests through Wine, so that two test
# binaries never make it at the same time.
export WINEPREFIX="$PWD/$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY wineboot --init >/dev/null 2>&1
    wineserver --wait
fi

cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
wineserver --kill 2>/dev/null || true
