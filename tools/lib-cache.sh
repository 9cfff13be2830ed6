# shellcheck shell=bash
# The cache folder that tools/build-qt-windows.sh and tools/build-curl-windows.sh build their
# libraries for Windows into, sourced by both from the top of the repository: where the cache is,
# the names of one build's two folders in it, and the lock that keeps two builds out of the same
# folder. Both builds use the project's own toolchain file, cmake/mingw-w64-x86_64.cmake.
#
# QVN_CACHE (default /var/cache/quorvane) is the cache's parent folder.

cache=${QVN_CACHE:-/var/cache/quorvane}
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake

# cache_folders NAME OPTION...: sets prefix, the folder the build installs into (complete once it
# holds .complete), and work, the folder of its sources and build trees, which is kept, so that a
# build stopped midway goes on where it stopped. Both are named by NAME and a hash of the options
# and of the toolchain file's lines other than comments: a change to either gives new folders, and
# a different build never mixes with an older one.
cache_folders() {
    local name=$1 hash
    shift
    hash=$({ printf '%s\n' "$@"; grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$toolchain"; } |
           sha256sum | cut -c1-10)
    prefix=$cache/$name-$hash
    work=$cache/scratch/$name-$hash
}

# cache_lock WHAT: makes the cache folder (through sudo for anyone but root, then owned by the
# user) and the work folder, and takes the work folder's lock on file descriptor 9 for the rest of
# the script: only one build at a time goes into the same folder. When another build holds the
# lock, says so, naming WHAT is built, and exits.
cache_lock() {
    local what=$1 sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" mkdir -p "$cache"
    "${sudo[@]}" chown "$(id -u):$(id -g)" "$cache"
    mkdir -p "$work"
    exec 9>"$work.lock"
    flock -n 9 || { echo "Another build of $what is running into $prefix" >&2; exit 1; }
}
