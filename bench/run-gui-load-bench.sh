#!/usr/bin/env bash
# Times the link list window's "読み込み" on large generated link data, in the real application on
# Qt's offscreen platform, and prints a table. Usage:
#
#   bench/run-gui-load-bench.sh [-b BUILD_DIR] [-w WORK_DIR] [-n REPETITIONS] [RECORDS...]
#
# Defaults: BUILD_DIR build-gui-bench in the repository (configured and built here, Release, with
# the windows, without the tests), WORK_DIR ${TMPDIR:-/tmp}/qvn-gui-bench (about 150 MB for a
# million records), 5 repetitions, RECORDS 10000 100000 1000000.
#
# Every repetition is a fresh process (qvn-gui-load-bench) that builds the application, shows the
# link list window and clicks "読み込み" once on the data file; times are medians over the
# repetitions, peak memory is the largest resident set of the process (its own getrusage).
#   load       click to grid laid out and painted
#   last/first scrolling to the last row, then back to the first, each painted
#   reload     a second click on the same file while the first load's lists are still held
#   save       then "編集/出力" in the main window, saving the page (same process as the load):
#              its time from the click to the confirmation, the check of both inputs before the
#              save dialog included, and what it adds to the resident set (its peak over the
#              resident set before the click)
#   check      that check of both inputs alone, run once more after the save: wall time, and
#              CPU time of the process (all threads), which other load on the machine leaves alone
# Goals at a million records: load under 1 s; peak memory under 3 x the data file + 150 MB
# (one load in a fresh process); the last row as quick to reach as the first; the save adds at
# most 64 MiB; the check adds at most 0.3 s to the save.
set -euo pipefail

build=$(cd "$(dirname "$0")/.." && pwd)/build-gui-bench
work=${TMPDIR:-/tmp}/qvn-gui-bench
. "$(dirname "$0")/common.sh" "$@"

build_bench ON qvn-gui-load-bench qvn-bench-data
bench=$build/bench/qvn-gui-load-bench
gen=$build/bench/qvn-bench-data
mkdir -p "$work"
export QT_QPA_PLATFORM=offscreen

# The value of key in a line of key=value pairs.
field() { printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }

echo "$(nproc) CPU, kernel $(uname -r), Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6), $reps repetitions, work folder $work"
printf '%9s %8s | %8s %8s %8s | %8s %8s %6s | %9s %9s | %8s %9s %8s %8s\n' records "data MB" \
    "load ms" "last ms" "first ms" "peak MB" "goal MB" "x data" "reload ms" "peak MB" \
    "save ms" "save MiB" "check ms" "cpu ms"
for n in "${sizes[@]}"; do
    data=$work/links-$n.csv
    [ -s "$data" ] || "$gen" "$n" "$data" "$work/template.html"
    cat "$data" > /dev/null # warm the cache
    load=() last=() first=() peak=() save=() adds=() check=() cpu=()
    for ((r = 0; r < reps; r++)); do
        rm -f "$work/page.html"
        sync
        out=$("$bench" --save "$work/template.html" "$work/page.html" "$data" 2>/dev/null)
        [ -s "$work/page.html" ] || { echo "no page saved: $out" >&2; exit 1; }
        [ "$(field "$out" rows)" = $((n + 1)) ] || { echo "wrong row count: $out" >&2; exit 1; }
        load+=("$(field "$out" load_ms)") last+=("$(field "$out" last_row_ms)")
        first+=("$(field "$out" first_row_ms)") peak+=("$(field "$out" peak_kib)")
        save+=("$(field "$out" save_ms)") check+=("$(field "$out" check_ms)")
        cpu+=("$(field "$out" check_cpu_ms)")
        adds+=($(($(field "$out" save_peak_kib) - $(field "$out" before_save_kib))))
    done
    twice=$("$bench" --twice "$data" 2>/dev/null)
    awk -v n="$n" -v d="$(stat -c %s "$data")" -v l="$(median "${load[@]}")" \
        -v a="$(median "${last[@]}")" -v f="$(median "${first[@]}")" -v p="$(median "${peak[@]}")" \
        -v rl="$(field "$twice" reload_ms)" -v rp="$(field "$twice" peak_kib)" \
        -v s="$(median "${save[@]}")" -v sa="$(median "${adds[@]}")" \
        -v c="$(median "${check[@]}")" -v cc="$(median "${cpu[@]}")" '
        BEGIN {
            mb = 1000000
            printf "%9d %8.1f | %8.1f %8.2f %8.2f | %8.1f %8.1f %6.2f | %9.1f %9.1f | %8.1f %9.1f %8.1f %8.1f\n",
                n, d / mb, l, a, f, p * 1024 / mb, 3 * d / mb + 150, p * 1024 / d, rl, rp * 1024 / mb,
                s, sa / 1024, c, cc
        }'
done
echo "x data: peak memory over the data file's size; reload: one run, second click on the same file."
