#!/bin/sh
# Installs the build into a scratch prefix and checks that the programs, the help page (where
# qvn1 looks for it, relative to its own folder), the desktop entry and its icon are in place.
# Usage: install-layout.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
for f in bin/qvn1 bin/qvn-build share/quorvane/qvn-help.html share/applications/quorvane.desktop \
         share/icons/hicolor/32x32/apps/quorvane.png; do
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
