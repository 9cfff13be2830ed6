#!/usr/bin/env bash
# Cross-builds a static libcurl for 64-bit Windows with Debian's MinGW-w64, from Debian's own curl
# source package, into a cache folder outside the repository, for tools/build-windows.sh to build
# the link check with. TLS is Windows' own (Schannel, with the system's certificate store),
# international domain names go through Windows' own conversion, and names are looked up on a
# thread of curl's: the library needs no DLL beyond the system's. Only HTTP and HTTPS are built in.
# The folder is named by the curl version and a hash of the build options; when it is already
# complete, the script only prints its path.
#
# The source comes through apt-get source with a private apt set-up (tools/fetch-debian-source.sh):
# the system's apt set-up is left untouched. Runs apt-get as root, or through sudo for anyone else.
#
# It builds with the project's toolchain file, cmake/mingw-w64-x86_64.cmake; the cache folder, its
# lock and the folders' names are tools/lib-cache.sh's. A build stopped midway starts afresh the
# next time: it takes a few minutes.
#
# Usage: tools/build-curl-windows.sh [--print-prefix]
#   --print-prefix  prints the folder the build goes to (complete or not) and does nothing else.
# QVN_CACHE (default /var/cache/quorvane) is the cache's parent folder.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib-cache.sh

# The version of the Linux build's libcurl (Debian 12), so that both programs behave alike.
curl_version=7.88.1

# Any change here changes the folder's name, so a different build never mixes with an older one.
curl_options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF
    -DENABLE_MANUAL=OFF -DHTTP_ONLY=ON -DCURL_DISABLE_LDAP=ON
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF
    -DCURL_USE_GSSAPI=OFF -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF
    -DCURL_USE_LIBPSL=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=ON -DENABLE_THREADED_RESOLVER=ON
    -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none
)
cache_folders "curl-$curl_version-mingw64-static" "${curl_options[@]}"

if [ "${1:-}" = --print-prefix ]; then echo "$prefix"; exit 0; fi

if [ -f "$prefix/.complete" ]; then
    echo "libcurl for Windows is already built: $prefix"
    exit 0
fi

tools/apt-install.sh cmake ninja-build g++-mingw-w64-x86-64-posix dpkg-dev
cache_lock "libcurl for Windows"

echo "Building libcurl $curl_version for Windows into $prefix (work folder $work)"
start=$SECONDS

src=$work/src
tools/fetch-debian-source.sh "$work" curl
curl_src=$(find "$src" -maxdepth 1 -type d -name "curl-$curl_version*" | head -n1)
[ -n "$curl_src" ] || { echo "The curl source is not version $curl_version" >&2; exit 1; }
echo "Source fetched: $((SECONDS - start)) s"

rm -rf "$work/build" "$prefix"
cmake -S "$curl_src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${curl_options[@]}"
cmake --build "$work/build" -j2
cmake --install "$work/build"

# curl's licence and Debian's copyright file, for the packages to carry beside the programs.
mkdir -p "$prefix/licenses/curl"
cp "$curl_src/COPYING" "$prefix/licenses/curl/"
cp "$curl_src/debian/copyright" "$prefix/licenses/curl/debian-copyright"
touch "$prefix/.complete"
echo "libcurl for Windows built in $((SECONDS - start)) s: $prefix"
