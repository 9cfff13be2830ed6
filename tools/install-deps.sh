#!/usr/bin/env bash
# Installs everything Quorvane needs to build, run and test on Debian (12 or later).
# Runs apt-get as root, or through sudo for anyone else (tools/apt-install.sh).
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libjpeg-dev
    # the link check: HTTP and HTTPS through libcurl (OpenSSL flavour)
    libcurl4-openssl-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev time
    # fuzzing: clang with libFuzzer and the sanitizers' runtimes (libclang-rt-dev is the release's
    # default version of them, libclang-rt-14-dev on Debian 12)
    clang libclang-rt-dev
    # the windows: Japanese and condensed fonts, Qt's own texts in Japanese, the desktop's
    # browser for web links, a virtual display for tests
    fonts-ipafont-gothic fonts-dejavu-core fonts-dejavu-extra qt6-translations-l10n xdg-utils
    xvfb xauth xdotool
    # the Debian package and its checkers: cpack runs dpkg-shlibdeps (dpkg-dev); the tests run
    # lintian, desktop-file-validate, appstreamcli, man --warnings and the bash completion
    dpkg-dev lintian desktop-file-utils appstream man-db bash-completion
)

"$(dirname "$0")/apt-install.sh" "${packages[@]}"
