#!/usr/bin/env bash
# Cross-builds a static Qt (qtbase) and libjpeg-turbo for 64-bit Windows with Debian's MinGW-w64,
# from Debian's own source packages, into a cache folder outside the repository, for
# tools/build-windows.sh to build qvn1.exe with. The folder is named by the Qt version and a hash of
# the build options; when it is already complete, the script only prints its path.
#
# The build is long (half an hour on two quiet cores, see docs/windows.md), and may be stopped at
# any point (tools/build-windows.sh --qt-time-limit stops it after a time): the sources, build
# trees and what is done stay in the cache's scratch folder, and the next run goes on where it
# stopped, ninja building only the steps not yet done. It builds with the project's toolchain file,
# cmake/mingw-w64-x86_64.cmake; the cache folder, its lock and the folders' names are
# tools/lib-cache.sh's.
#
# The sources come through apt-get source with a private apt set-up (tools/fetch-debian-source.sh):
# the system's apt set-up is left untouched. Runs apt-get as root, or through sudo for anyone else.
#
# Usage: tools/build-qt-windows.sh [--print-prefix]
#   --print-prefix  prints the folder the build goes to (complete or not) and does nothing else.
# QVN_CACHE (default /var/cache/quorvane) is the cache's parent folder.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib-cache.sh

# The host's Qt tools (moc, rcc, uic) come from Debian's qt6-base-dev, so the Windows Qt must be
# the same version.
qt_version=6.4.2

# Everything the cross-built Qt leaves out or takes from its own copies. Any change here changes
# the folder's name, so a different build never mixes with an older one.
qt_options=(
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
    -DINPUT_opengl=no -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_icu=OFF
    -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_pkg_config=OFF -DFEATURE_zstd=OFF
    # The Debian source leaves out the Wintab headers that tablet events need.
    -DFEATURE_tabletevent=OFF
    # qvn1 decodes JPEG with libjpeg-turbo itself; Qt's own copy of libjpeg would clash with it
    # in one static program.
    -DFEATURE_jpeg=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_testlib=ON
)
jpeg_options=(-DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
              -DCMAKE_BUILD_TYPE=Release)
cache_folders "qt-$qt_version-mingw64-static" "${qt_options[@]}" "${jpeg_options[@]}"

if [ "${1:-}" = --print-prefix ]; then echo "$prefix"; exit 0; fi

# The licences of what the programs are built from, for the packages to carry beside them: Qt's,
# those of the parts Qt bundles, libjpeg-turbo's, and the Debian copyright files of the sources.
copy_licenses() {
    local qt=$1 jpeg=$2 to=$prefix/licenses
    [ -d "$qt" ] && [ -d "$jpeg" ] || return 0
    mkdir -p "$to/Qt" "$to/libjpeg-turbo"
    cp "$qt"/LICENSES/* "$to/Qt/"
    cp "$qt/debian/copyright" "$to/Qt/debian-copyright"
    local part
    for part in "$qt"/src/3rdparty/*/; do
        local files
        files=$(find "$part" -maxdepth 1 -type f \( -iname '*licen[cs]e*' -o -iname 'copying*' \
                     -o -name qt_attribution.json \))
        [ -n "$files" ] || continue
        mkdir -p "$to/Qt-3rdparty/$(basename "$part")"
        # shellcheck disable=SC2086 # one name a line, none with a space
        cp $files "$to/Qt-3rdparty/$(basename "$part")/"
    done
    cp "$jpeg/LICENSE.md" "$jpeg/README.ijg" "$to/libjpeg-turbo/"
    cp "$jpeg/debian/copyright" "$to/libjpeg-turbo/debian-copyright"
}

if [ -f "$prefix/.complete" ]; then
    if [ ! -d "$prefix/licenses" ]; then
        copy_licenses "$(find "$work/src" -maxdepth 1 -type d -name "qt6-base-$qt_version*" | head -n1)" \
            "$(find "$work/src" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n1)"
    fi
    echo "Qt for Windows is already built: $prefix"
    exit 0
fi

tools/apt-install.sh cmake ninja-build g++-mingw-w64-x86-64-posix dpkg-dev qt6-base-dev \
    qt6-base-dev-tools
cache_lock "Qt for Windows"

echo "Building Qt $qt_version for Windows into $prefix (work folder $work)"
start=$SECONDS

# -- Sources, through a private apt set-up (the system's is left untouched). --
src=$work/src
tools/fetch-debian-source.sh "$work" qt6-base libjpeg-turbo
qt_src=$(find "$src" -maxdepth 1 -type d -name "qt6-base-$qt_version*" | head -n1)
jpeg_src=$(find "$src" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n1)
[ -n "$qt_src" ] || { echo "The qt6-base source is not version $qt_version" >&2; exit 1; }
[ -n "$jpeg_src" ] || { echo "No libjpeg-turbo source" >&2; exit 1; }
# Qt 6.4 builds its DirectWrite font database only along with Direct2D, yet the windows platform
# plugin asks for it whenever DirectWrite 3 is there: without Direct2D it keeps to the GDI one.
# (Changed once only: a file rewritten on every run would be compiled again on every run.)
integration=$qt_src/src/plugins/platforms/windows/qwindowsintegration.cpp
if grep -q '^#if QT_CONFIG(directwrite3)$' "$integration"; then
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
        "$integration"
fi

# The toolchain file looks for libraries in the folder the build installs into, too.
cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQVN_WINDOWS_PREFIX="$prefix")

# -- libjpeg-turbo: quick, so first. --
if [ ! -f "$work/jpeg.done" ]; then
    cmake -S "$jpeg_src" -B "$work/build-jpeg" -G Ninja "${cross[@]}" \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${jpeg_options[@]}"
    cmake --build "$work/build-jpeg" -j2
    cmake --install "$work/build-jpeg"
    touch "$work/jpeg.done"
    echo "libjpeg-turbo done: $((SECONDS - start)) s"
fi

# -- qtbase: configured once (a configure stopped midway leaves no build.ninja and runs again);
# after that, ninja builds what an earlier run left undone, and reconfigures by itself if
# anything the configure read has changed. --
if [ ! -f "$work/build-qt/build.ninja" ]; then
    PKG_CONFIG= cmake -S "$qt_src" -B "$work/build-qt" -G Ninja "${cross[@]}" \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake "${qt_options[@]}"
    echo "qtbase configured: $((SECONDS - start)) s"
fi
steps=$(ninja -C "$work/build-qt" -n | grep -c '^\[' || true)
echo "qtbase: $steps build steps to go"
cmake --build "$work/build-qt" -j2
cmake --install "$work/build-qt"
copy_licenses "$qt_src" "$jpeg_src"
touch "$prefix/.complete"
echo "Qt for Windows built in $((SECONDS - start)) s: $prefix"
