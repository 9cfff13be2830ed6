#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks it the way the distribution would: the
# package's name, control fields and files, lintian, desktop-file-validate, appstreamcli and
# man --warnings, the programs' hardening and the package's reproducibility. Then unpacks it into a
# scratch root (dpkg -x) and runs the programs from there: qvn-build's version and the example
# build, qvn-build's own tests against the installed program, and qvn1 on a virtual display.
# Usage: debian-package.sh BUILD_DIR SOURCE_DIR VERSION CLI_TESTS
# Needs cpack, dpkg-dev, binutils, lintian, desktop-file-utils, appstream, man-db and librsvg2-bin
# (tools/install-deps.sh).
set -euo pipefail
build=$1
source=$2
version=$3
cli_tests=$4

for tool in cpack dpkg-deb dpkg-shlibdeps readelf lintian desktop-file-validate appstreamcli man \
            rsvg-convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "debian-package: $tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "debian-package: $1" >&2
    failures=$((failures + 1))
}
step() { echo "debian-package: $1"; }

# --- The package ---------------------------------------------------------------------------------
step "cpack -G DEB"
# SOURCE_DATE_EPOCH comes from the build, not from whoever runs the test.
cpack_deb() {
    env -u SOURCE_DATE_EPOCH cpack -G DEB -B "$1" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 || {
        cat "$work/cpack.log" >&2
        echo "debian-package: cpack failed" >&2
        exit 1
    }
}
cpack_deb "$work/out"
deb=$work/out/quorvane_${version}-1_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "debian-package: no $(basename "$deb"); cpack made: $(ls "$work/out")" >&2; exit 1; }
# The same build packed again, a second later, gives the same bytes.
sleep 1
cpack_deb "$work/again"
cmp -s "$deb" "$work/again/$(basename "$deb")" || fail "two packages of one build differ"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = quorvane ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version-1" ] || fail "Version is '$(field Version)', not $version-1"
[ "$(field Section)" = web ] || fail "Section is '$(field Section)'"
[ "$(field Priority)" = optional ] || fail "Priority is '$(field Priority)'"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@example\.com\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
[[ $(field Homepage) =~ ^https://[a-z.]*example\.com/ ]] || fail "Homepage is '$(field Homepage)'"
# A synopsis line and an extended description of more than one line.
[ "$(field Description | wc -l)" -ge 3 ] || fail "the description has no extended part"
# Libraries found by dpkg-shlibdeps, and what the program needs without linking to it: a
# Japanese font, any of them, and Qt's platform plugins; Qt's Japanese texts are only recommended.
depends=$(field Depends)
for need in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 \
            'fonts-ipafont-gothic | fonts-japanese-gothic' qt6-qpa-plugins; do
    [[ ", $depends," == *", $need "* || ", $depends," == *", $need,"* ]] ||
        fail "Depends lacks $need: $depends"
done
[[ ", $(field Recommends)," == *", qt6-translations-l10n,"* ]] ||
    fail "Recommends lacks qt6-translations-l10n: $(field Recommends)"

step "lintian"
# Every warning kept is listed, with its reason, in the package's lintian overrides.
lintian --fail-on error,warning --display-info --pedantic "$deb" >"$work/lintian.log" 2>&1 || {
    cat "$work/lintian.log" >&2
    fail "lintian reports errors or warnings"
}
# Down to the pedantic level, nothing about hardening.
if grep ': hardening-' "$work/lintian.log" >&2; then
    fail "lintian finds the programs not hardened"
fi

# --- Its files, unpacked into a scratch root -----------------------------------------------------
root=$work/root
dpkg -x "$deb" "$root"
usr=$root/usr
for f in bin/qvn1 bin/qvn-build share/quorvane/qvn-help.html \
         share/applications/quorvane.desktop share/metainfo/com.example.Quorvane.metainfo.xml \
         share/icons/hicolor/32x32/apps/quorvane.png share/icons/hicolor/128x128/apps/quorvane.png \
         share/icons/hicolor/256x256/apps/quorvane.png share/icons/hicolor/scalable/apps/quorvane.svg \
         share/man/man1/qvn1.1.gz share/man/man1/qvn-build.1.gz \
         share/bash-completion/completions/qvn-build \
         share/doc/quorvane/copyright share/doc/quorvane/changelog.Debian.gz \
         share/doc/quorvane/examples/links-utf8.csv share/doc/quorvane/examples/template-utf8.html; do
    [ -f "$usr/$f" ] || fail "/usr/$f is not in the package"
done
[ "$(zcat "$usr/share/doc/quorvane/changelog.Debian.gz" | head -n 1 | cut -d ' ' -f 1-2)" = \
  "quorvane ($version-1)" ] || fail "the Debian changelog's latest entry is not $version-1"

# An icon's size, from its PNG header: width and height, big-endian, at bytes 16 to 23.
png_size() { od -A n -t u1 -j 16 -N 8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'; }
for size in 32 128 256; do
    icon=$usr/share/icons/hicolor/${size}x${size}/apps/quorvane.png
    [ ! -f "$icon" ] || [ "$(png_size "$icon")" = "${size}x$size" ] ||
        fail "the ${size}x$size icon is $(png_size "$icon")"
done

# The scalable icon is an SVG picture that renders.
svg=$usr/share/icons/hicolor/scalable/apps/quorvane.svg
if [ -f "$svg" ]; then
    rsvg-convert -w 64 -h 64 -o "$work/icon.png" "$svg" && [ "$(png_size "$work/icon.png")" = 64x64 ] ||
        fail "the scalable icon does not render"
fi

# The programs are hardened as the distribution's are: every symbol bound at start-up, relocations
# read-only, no run path (the libraries are the system's).
for program in qvn1 qvn-build; do
    readelf -d "$usr/bin/$program" >"$work/dynamic.txt"
    grep -q 'BIND_NOW\|FLAGS_1.* NOW' "$work/dynamic.txt" || fail "$program is not bound at start-up (-z now)"
    ! grep -q '(RUNPATH)\|(RPATH)' "$work/dynamic.txt" || fail "$program has a run path"
    readelf -l "$usr/bin/$program" | grep -q GNU_RELRO || fail "$program has no RELRO segment"
done

step "desktop-file-validate"
desktop=$usr/share/applications/quorvane.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
for key in 'Name\[ja\]' 'Comment\[ja\]' 'Keywords' 'Keywords\[ja\]'; do
    grep -q "^$key=." "$desktop" || fail "the desktop entry has no $key"
done
# The menu entry starts a program the package installs, with the icon it installs.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$usr/bin/${exec_line%% *}" ] || fail "the desktop entry runs '$exec_line', not in /usr/bin"
grep -q '^Icon=quorvane$' "$desktop" || fail "the desktop entry does not use the quorvane icon"

step "appstreamcli validate"
metainfo=$usr/share/metainfo/com.example.Quorvane.metainfo.xml
# --strict fails on warnings too; only pedantic hints may remain.
appstreamcli validate --no-net --strict "$metainfo" || fail "appstreamcli rejects the metainfo file"
newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[ "$newest" = "$version" ] || fail "the metainfo file's newest release is '$newest', not $version"
grep -q '<launchable type="desktop-id">quorvane.desktop</launchable>' "$metainfo" ||
    fail "the metainfo file does not launch quorvane.desktop"

step "man --warnings"
for page in qvn1 qvn-build; do
    file=$usr/share/man/man1/$page.1.gz
    # The pages quote qvn-build's Japanese messages, which need a UTF-8 locale.
    if ! LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" >"$work/$page.txt" 2>"$work/$page.err" ||
        [ -s "$work/$page.err" ]; then
        cat "$work/$page.err" >&2
        fail "man --warnings complains about $page(1)"
    fi
    zcat "$file" | grep -q "^\.TH .* \"Quorvane $version\"" || fail "$page(1) does not say version $version"
done
# Every option that qvn-build --help lists has its entry in the manual page and its completion.
options=$("$usr/bin/qvn-build" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "qvn-build --help lists no options"
for option in $options; do
    grep -q "^\.BI\? ${option//-/\\\\-}\( \|$\)" <(zcat "$usr/share/man/man1/qvn-build.1.gz") ||
        fail "qvn-build(1) has no entry for $option"
    grep -q -- "$option\b" "$usr/share/bash-completion/completions/qvn-build" ||
        fail "the bash completion does not know $option"
done
bash -n "$usr/share/bash-completion/completions/qvn-build" || fail "the bash completion is not valid bash"

# --- The programs, run from the scratch root ---------------------------------------------------
step "qvn-build from the package"
out=$("$usr/bin/qvn-build" --version) || fail "qvn-build --version failed"
[ "$out" = "qvn-build $version" ] || fail "qvn-build --version says '$out'"
grep -q "Version $version<" "$usr/share/quorvane/qvn-help.html" || fail "the help page does not say version $version"

examples=$usr/share/doc/quorvane/examples
if "$usr/bin/qvn-build" --data "$examples/links-utf8.csv" --template "$examples/template-utf8.html" \
    --output "$work/links.html"; then
    # The example's first site, with the page's CR LF line ends.
    grep -q $'^<dt><a href="https://neko-techo.example/">猫の手帖</a> (管理者: 三毛野たま)</dt>\r$' \
        "$work/links.html" || fail "the example page lacks its first site"
    [ "$(grep -c '^<dt>' "$work/links.html")" = "$(wc -l <"$examples/links-utf8.csv")" ] ||
        fail "the example page does not have one entry per site"
else
    fail "the example build failed"
fi

# qvn-build's own tests of the program as a whole, run against the installed program.
if ! QVN_BUILD_EXE=$usr/bin/qvn-build QVN_EXAMPLES=$examples \
    "$cli_tests" --gtest_filter='BinaryTest.*' >"$work/cli.log" 2>&1; then
    cat "$work/cli.log" >&2
    fail "qvn-build's tests fail on the installed program"
elif ! grep -q '^\[  PASSED  \] [1-9]' "$work/cli.log"; then
    cat "$work/cli.log" >&2
    fail "no test of the installed qvn-build ran"
fi

step "qvn1 from the package, on a virtual display"
# The help page where qvn1 looks for it, relative to its own folder (a UTF-16 string literal).
rel=$(strings -e l "$usr/bin/qvn1" | grep -m 1 'qvn-help\.html$' || true)
[ -n "$rel" ] && [ -f "$usr/bin/$rel" ] || fail "qvn1 looks for its help page at '$rel', not installed there"
"$source/tests/smoke/qvn1-xvfb.sh" "$usr/bin/qvn1" || fail "the installed qvn1 does not start and quit"

if [ "$failures" -ne 0 ]; then
    echo "debian-package: $failures check(s) failed" >&2
    exit 1
fi
echo "debian-package: $(basename "$deb") passes every check"
