#!/usr/bin/env bash
# Installs what Quorvane needs on Debian (12 or later): with no argument, everything to build,
# run and test it; with --build-only, what building, running and packaging it need, without the
# tests' tools. Runs apt-get as root, or through sudo for anyone else (tools/apt-install.sh).
set -euo pipefail

build=(
    # the compiler and the build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libjpeg-dev
    # the link check: HTTP and HTTPS through libcurl (OpenSSL flavour), internationalised host
    # names through libidn2, gzip and deflate answers through zlib, --format json through
    # nlohmann/json (header-only)
    libcurl4-openssl-dev libidn2-dev zlib1g-dev nlohmann-json3-dev
    # the windows: Japanese and condensed fonts, Qt's own texts in Japanese, the desktop's
    # browser for web links
    fonts-ipafont-gothic fonts-dejavu-core fonts-dejavu-extra qt6-translations-l10n xdg-utils
    # the Debian package: cpack runs dpkg-shlibdeps
    dpkg-dev
)
tests=(
    # tests and benchmarks
    libgtest-dev libgmock-dev time
    # fuzzing: clang with libFuzzer and the sanitizers' runtimes (libclang-rt-dev is the release's
    # default version of them, libclang-rt-14-dev on Debian 12)
    clang libclang-rt-dev
    # a virtual display for the windows
    xvfb xauth xdotool
    # the package's checkers: lintian, desktop-file-validate, appstreamcli, man --warnings, the
    # bash completion, and rsvg-convert for the scalable icon
    lintian desktop-file-utils appstream man-db bash-completion librsvg2-bin
)

case "${1:-}" in
    "") packages=("${build[@]}" "${tests[@]}") ;;
    --build-only) packages=("${build[@]}") ;;
    *) echo "usage: $0 [--build-only]" >&2; exit 2 ;;
esac
"$(dirname "$0")/apt-install.sh" "${packages[@]}"
