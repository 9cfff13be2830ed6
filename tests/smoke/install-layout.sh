#!/bin/sh
# Installs the build into a scratch prefix and checks that the programs, the help page (where
# qvn1 looks for it, relative to its own folder), the desktop entry with its icons, the AppStream
# file, the manual pages, the bash completion and the examples are in place.
# Usage: install-layout.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
for f in bin/qvn1 bin/qvn-build share/quorvane/qvn-help.html share/applications/quorvane.desktop \
         share/icons/hicolor/32x32/apps/quorvane.png share/icons/hicolor/128x128/apps/quorvane.png \
         share/icons/hicolor/256x256/apps/quorvane.png share/icons/hicolor/scalable/apps/quorvane.svg \
         share/metainfo/com.example.Quorvane.metainfo.xml \
         share/man/man1/qvn1.1.gz share/man/man1/qvn-build.1.gz \
         share/bash-completion/completions/qvn-build \
         share/doc/quorvane/examples/links-utf8.csv share/doc/quorvane/examples/template-utf8.html; do
    if [ ! -f "$prefix/$f" ]; then
        echo "install-layout: $f is missing" >&2
        status=1
    fi
done
grep -q '^Exec=qvn1$' "$prefix/share/applications/quorvane.desktop" || {
    echo "install-layout: the desktop entry does not start qvn1" >&2
    status=1
}
# The path qvn1 was built to use, read from the program itself (a UTF-16 string literal).
rel=$(strings -e l "$prefix/bin/qvn1" | grep -m 1 'qvn-help\.html$' || true)
if [ -z "$rel" ] || [ ! -f "$prefix/bin/$rel" ]; then
    echo "install-layout: qvn1 looks for its help page at '$rel', not installed there" >&2
    status=1
fi
exit $status
