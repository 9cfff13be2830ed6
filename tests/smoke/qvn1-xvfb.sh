#!/bin/sh
# Starts qvn1 on a virtual X server with the xcb platform, finds its main window by title with
# xdotool, opens the help window, quits through the main window's menu (Alt+Q, "終了") and expects
# a clean exit with status 0.
# Usage: qvn1-xvfb.sh /path/to/qvn1 [screenshot.png]
# Needs xvfb-run (xvfb), xauth and xdotool; ImageMagick's import only for the screenshot.
set -eu

if [ "${1:-}" != "--inside" ]; then
    for tool in xvfb-run xauth xdotool; do
        command -v "$tool" >/dev/null 2>&1 || { echo "qvn1-xvfb: $tool is not installed" >&2; exit 1; }
    done
    # xvfb-run's choice of a free display races with other X servers starting at the same
    # moment; status 3 below means the display was not usable, so try another one.
    for attempt in 1 2 3; do
        status=0
        xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" "$0" --inside "$@" ||
            status=$?
        [ "$status" -eq 3 ] || exit "$status"
        echo "qvn1-xvfb: the virtual display was not usable (attempt $attempt)" >&2
        sleep 1
    done
    exit 1
fi
shift
qvn1=$1
shot=${2:-}

xdotool getmouselocation >/dev/null 2>&1 || exit 3

errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
QT_QPA_PLATFORM=xcb LANG=C.UTF-8 "$qvn1" 2>"$errors" &
pid=$!

fail() {
    echo "qvn1-xvfb: $1" >&2
    kill "$pid" 2>/dev/null || true
    cat "$errors" >&2
    # Now and then Qt cannot connect to a virtual display that xdotool reached a moment before
    # (seen when X servers start and stop in quick succession on a busy machine). That is the
    # display's fault, not qvn1's: the caller tries another display.
    grep -q 'could not connect to display' "$errors" && exit 3
    exit 1
}

# The main window, found by its exact title once it is mapped (within 30 seconds: a program under
# Wine on a busy machine starts slowly).
wid=""
for _ in $(seq 300); do
    wid=$(xdotool search --onlyvisible --name '^Quorvane \[QVN\]$' 2>/dev/null | head -n 1) || true
    [ -n "$wid" ] && break
    kill -0 "$pid" 2>/dev/null || fail "qvn1 ended before showing its window"
    sleep 0.1
done
[ -n "$wid" ] || fail "no window titled 'Quorvane [QVN]' appeared"
echo "qvn1-xvfb: found window $wid: $(xdotool getwindowname "$wid")"

if [ -n "$shot" ]; then
    sleep 0.5 # let the first paint finish
    import -window "$wid" "$shot"
fi

# The help window opens beside it (Alt+H, L for "QVN のヘルプ(&L)") and stays open: the program
# still ends when the main window closes.
xdotool windowfocus --sync "$wid"
xdotool key --clearmodifiers alt+h
sleep 0.3
xdotool key --clearmodifiers l
help=""
for _ in $(seq 50); do
    help=$(xdotool search --onlyvisible --name '^QVN のヘルプ$' 2>/dev/null | head -n 1) || true
    [ -n "$help" ] && break
    sleep 0.1
done
[ -n "$help" ] || fail "no window titled 'QVN のヘルプ' appeared"
echo "qvn1-xvfb: found help window $help"

# Quit as a user would: bring the main window forward with a click on an empty spot of it (between
# the two lower buttons), then press Alt+Q for "終了(&Q)". X's input focus alone would do on Linux,
# but under Wine a window becomes Windows' active window, the one that takes the keys, only when
# it is clicked, and the help window lies over the main window.
xdotool windowraise "$wid"
xdotool windowfocus --sync "$wid"
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove --window "$wid" $((WIDTH / 2)) $((HEIGHT - 12)) click 1
sleep 0.3
xdotool key --clearmodifiers alt+q

for _ in $(seq 200); do
    if ! kill -0 "$pid" 2>/dev/null; then
        status=0
        wait "$pid" || status=$?
        [ "$status" -eq 0 ] || fail "qvn1 exited with status $status"
        echo "qvn1-xvfb: qvn1 quit cleanly"
        exit 0
    fi
    sleep 0.1
done
fail "qvn1 did not quit after Alt+Q"
