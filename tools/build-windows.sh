#!/usr/bin/env bash
# Cross-builds Quorvane for 64-bit Windows with Debian's MinGW-w64 into build-windows/, runs the
# tests under Wine (headless, without Wine's own messages, in a Wine prefix of the build's own:
# build-windows/wine-prefix), and makes the packages: build-windows/Quorvane-<version>-win64.zip
# and build-windows/Quorvane-<version>-setup.exe, which are then installed, run and removed under
# Wine; the installed qvn1.exe is started on a virtual X server (tests/smoke/qvn1-xvfb.sh).
#
# The engine and qvn-build.exe are built and tested in every run. qvn1.exe and its window tests
# are built and tested too whenever the static Qt for Windows that tools/build-qt-windows.sh
# builds is in its cache folder; when it is not, the log says so and the packages hold
# qvn-build.exe alone.
#
# Usage: tools/build-windows.sh [--with-qt] [--qt-time-limit=SECONDS]
#   --with-qt        builds that Qt first when it is missing (half an hour on two quiet cores,
#                    more on a busy machine).
#   --qt-time-limit  builds it too, but for SECONDS at most (CI's way, .ci/run): when the time is
#                    up, the Qt build is stopped, the run goes on without qvn1.exe and says so in
#                    its log (at the point and again on its last line), and the next run's Qt build
#                    goes on where this one stopped. A limit under a minute builds no Qt at all.
# Runs apt-get as root, or through sudo for anyone else.
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: tools/build-windows.sh [--with-qt] [--qt-time-limit=SECONDS]"
qt=cached qt_limit=
for arg in "$@"; do
    case $arg in
    --with-qt) qt=build ;;
    --qt-time-limit=*)
        qt=build qt_limit=${arg#*=}
        [[ $qt_limit =~ ^-?[0-9]+$ ]] || { echo "$usage" >&2; exit 2; } ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
done

# The window tests run on Qt's offscreen platform, which under Windows takes its fonts from one
# folder rather than the system's: Debian's IPA Gothic fonts give them Japanese (see
# tests/gui/CMakeLists.txt). Xvfb, xauth and xdotool start qvn1.exe on a virtual display.
# dpkg-dev is for the libraries' builds (apt-get source): everything is installed here, so that a
# time limit on the Qt build never stops apt-get halfway. The link check reads pages with zlib
# (Debian's static build for MinGW-w64) and writes JSON with nlohmann/json (headers only).
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 googletest icoutils nsis unzip
          qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
          fonts-ipafont-gothic xvfb xauth xdotool dpkg-dev libz-mingw-w64-dev nlohmann-json3-dev)
tools/apt-install.sh "${packages[@]}"

# --- Qt for Windows and qvn1.exe -------------------------------------------------------------
qt_prefix=$(tools/build-qt-windows.sh --print-prefix)
# What the log says, there and on its last line, when the time limit leaves qvn1.exe out.
left_out=
leave_out() { left_out="+ WITHOUT qvn1.exe AND ITS WINDOW TESTS: $*"; echo "$left_out"; }
if [ $qt = build ] && [ ! -f "$qt_prefix/.complete" ]; then
    if [ -z "$qt_limit" ]; then
        tools/build-qt-windows.sh
    elif [ "$qt_limit" -lt 60 ]; then
        leave_out "Qt for Windows is not built, and $qt_limit s is no time to build any of it"
    else
        echo "+ Qt for Windows is not built: building it for $qt_limit s at most"
        # timeout stops the script with everything it started (ninja, the compilers). What they
        # built stays in the cache's scratch folder for the next run to go on with. It runs them in
        # a process group of its own, which a terminal's Ctrl+C does not reach: this script hands
        # Ctrl+C and SIGTERM on to it.
        timeout --kill-after=60 "$qt_limit" tools/build-qt-windows.sh &
        qt_build=$!
        stop_qt_build() {
            kill -TERM "$qt_build" 2>/dev/null || true
            wait "$qt_build" || true
            exit 130
        }
        trap stop_qt_build INT TERM
        status=0
        wait "$qt_build" || status=$?
        trap - INT TERM
        case $status in
        0) ;;
        124 | 137)
            leave_out "the Qt for Windows was not finished in $qt_limit s and was stopped;" \
                "the next run's Qt build goes on where this one stopped" ;;
        *) exit "$status" ;;
        esac
    fi
fi
if [ -f "$qt_prefix/.complete" ]; then
    tools/build-qt-windows.sh # only checks the cached build, and its licences
    echo "+ Qt for Windows is cached in $qt_prefix: building and testing qvn1.exe and its" \
         "window tests too"
    gui=(-DQVN_BUILD_GUI=ON -DQVN_WINDOWS_PREFIX="$qt_prefix" -DQT_HOST_PATH=/usr
         -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
         -DQVN_WINDOWS_LICENSES="$qt_prefix/licenses")
else
    echo "+ Qt for Windows is not built ($qt_prefix has none): building and testing the engine" \
         "and qvn-build.exe only, without qvn1.exe; tools/build-windows.sh --with-qt builds Qt" \
         "first (half an hour or more)"
    gui=(-DQVN_BUILD_GUI=OFF)
fi
# ---------------------------------------------------------------------------------------------

# -- libcurl for the link check: a static one with Windows' own TLS, cached like Qt (a few minutes
# the first time, nothing after). --
curl_prefix=$(tools/build-curl-windows.sh --print-prefix)
tools/build-curl-windows.sh
curl=(-DQVN_CURL_PREFIX="$curl_prefix")
# -- end of libcurl --

build=build-windows
# A qvn1.exe left from an earlier run with the cached Qt is no part of a run without it.
[ "${gui[0]}" = -DQVN_BUILD_GUI=OFF ] && rm -rf "$build/app"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DQVN_WERROR=ON -DCMAKE_BUILD_TYPE=Release "${gui[@]}" "${curl[@]}"

# The Wine prefix is made once, before the build lists the tests through Wine, so that two test
# binaries never make it at the same time.
export WINEPREFIX="$PWD/$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY wineboot --init >/dev/null 2>&1
    wineserver --wait
fi

# One Wine server, and the Windows services it starts with the first program, serve the build's
# test listing and the tests, all started here with their output closed. Started by a test, they
# would inherit its output pipe, and ctest, waiting for the pipe to close, counted that test as
# running until the server ended after the last test: one of the two test slots was lost for the
# whole run. Two tests starting at once no longer race to start them either. (Wine's desktop
# process, which the first window test starts, still holds that test's pipe while window tests
# follow one another: it cannot be started ahead without a display.)
wineserver --persistent </dev/null >/dev/null 2>&1
trap 'wineserver --kill 2>/dev/null || true' EXIT
env -u DISPLAY -u WAYLAND_DISPLAY wine cmd /c exit </dev/null >/dev/null 2>&1

cmake --build "$build" -j2
# A test that fails under Wine is run once more: Wine now and then fails to start a program at
# all (a CI run once saw a test end in 0.01 s with no output). The log keeps the failed run's
# output, and the line after the tests names every test that needed the second run.
ctest --test-dir "$build" --output-on-failure -j2 --repeat until-pass:2 | tee "$build/ctest.log"
reruns=$(grep -E '\*\*\*(Failed|Exception|Timeout)' "$build/ctest.log" |
         grep -oE '#[0-9]+: [^ ]+' | tr '\n' ' ' || true)
[ -z "$reruns" ] || echo "+ passed under Wine only when run again: $reruns"
# The package test waits for the server to end between its steps.
wineserver --kill
wineserver --wait

rm -f "$build"/Quorvane-*-win64.zip "$build"/Quorvane-*-setup.exe
(cd "$build" && cpack -G ZIP && cpack -G NSIS)
tests/smoke/windows-package.sh "$build"
[ -z "$left_out" ] || echo "$left_out"
