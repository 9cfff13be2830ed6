#!/usr/bin/env bash
# Fetches Debian source packages with apt-get source, for the Windows builds of the libraries the
# distribution has no MinGW-w64 build of (tools/build-qt-windows.sh, tools/build-curl-windows.sh).
#
# apt-get runs with a private copy of the system's apt sources file, its "Types: deb" turned into
# "Types: deb-src", and private lists and caches under WORK/apt: the system's apt set-up is left
# untouched, and no repository address is written anywhere but where the system keeps its own.
# The unpacked sources (with Debian's patches applied) go to WORK/src; once they are there
# (WORK/src/.fetched), the script does nothing.
#
# Usage: tools/fetch-debian-source.sh WORK PACKAGE...
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: tools/fetch-debian-source.sh WORK PACKAGE..." >&2
    exit 2
fi
work=$1
shift
src=$work/src
[ -f "$src/.fetched" ] && exit 0

apt_dir=$work/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$src"
system_sources=/etc/apt/sources.list.d/debian.sources
[ -f "$system_sources" ] || { echo "No $system_sources to take the repositories from" >&2; exit 1; }
sed 's/^Types:.*/Types: deb-src/' "$system_sources" > "$apt_dir/sources.list.d/debian-src.sources"
: > "$apt_dir/sources.list"
apt_private=(-o "Dir::Etc::SourceList=$apt_dir/sources.list"
             -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
             -o "APT::Sandbox::User=root")
apt-get "${apt_private[@]}" update -qq
# What an interrupted fetch left would stop dpkg-source from unpacking again.
find "$src" -mindepth 1 -delete
(cd "$src" && apt-get "${apt_private[@]}" source -qq "$@")
touch "$src/.fetched"
