#!/usr/bin/env bash
# Times the link list window's edits and its save on large generated link data, in the real
# application on Qt's offscreen platform, beside the durable floor of writing as many bytes, and
# prints a table. Usage:
#
#   bench/run-table-edit-bench.sh [-b BUILD_DIR] [-w WORK_DIR] [-n REPETITIONS] [RECORDS...]
#
# Defaults: BUILD_DIR build-gui-bench in the repository (configured and built here, Release, with
# the windows, without the tests), WORK_DIR ${TMPDIR:-/tmp}/qvn-edit-bench (about 0.6 GB for a
# million records), 5 repetitions, RECORDS 10000 100000 1000000.
#
# Every repetition is a fresh process (qvn-gui-edit-bench) on a fresh copy of the data, with the
# disk synced beforehand: it loads the copy, then makes each edit at the top of the list five
# times ("追加", "削除", "上へ", "下へ", a cell's text, Ctrl+Z) and keeps the slowest, then saves
# with "保存" (durable: the file is fsynced before it replaces the old one). Medians over the
# repetitions of:
#   edit ms      the slowest of all the edits and of the arrow keys before them, from the click or
#                key to the grid repainted
#   save ms      "保存", from the click to its return
#   floor        cat DATA > /dev/null, then as many zero bytes as the data file written and
#                fsynced (dd conv=fsync): the durable floor of the same save
#   page floor   the same for the page that qvn-build makes of DATA: the "+fsync" floor of
#                bench/run-qvn-build-bench.sh
#   replace fl   the floor as the save does the job: a fresh copy of DATA in place (synced), then
#                the floor's bytes written to another file, fsynced, renamed over the copy and the
#                folder fsynced (the old file's blocks are freed inside the time, as in the save)
#   qvn-build    for calibration on a busy machine, qvn-build making the page of DATA (output
#                removed and the disk synced beforehand), over the same page floor: its own goal
#                is 1.25 x
#   loaded, edited, save peak   the process's resident set after the load, after the edits, and
#                its peak during the save (MiB)
# Goals at a million records: every edit within 50 ms; the save at most 1.5 x the page floor;
# memory after the edits and during the save at most 1.2 x the loaded list.
set -euo pipefail

build=$(cd "$(dirname "$0")/.." && pwd)/build-gui-bench
work=${TMPDIR:-/tmp}/qvn-edit-bench
. "$(dirname "$0")/common.sh" "$@"

build_bench ON qvn-gui-edit-bench qvn-bench-data qvn-build
bench=$build/bench/qvn-gui-edit-bench
gen=$build/bench/qvn-bench-data
qvn=$build/cli/qvn-build
mkdir -p "$work"
export QT_QPA_PLATFORM=offscreen

field() { printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }
fresh() { rm -f "$1"; sync; }
# Wall time in seconds of a command, from the shell's microsecond clock.
seconds() {
    local start=$EPOCHREALTIME
    "$@"
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f", b - a }'
}
floor() { # DATA SIZE OUT
    cat "$1" > /dev/null && dd if=/dev/zero of="$3" bs=1M count="$2" iflag=count_bytes conv=fsync status=none
}
replace_floor() { # DATA SIZE OUT TARGET
    floor "$1" "$2" "$3" && mv "$3" "$4" && sync "$(dirname "$4")"
}

echo "$(nproc) CPU, kernel $(uname -r), $reps repetitions, load $(cut -d' ' -f1-3 /proc/loadavg), work folder $work"
printf '%9s %8s | %8s %8s %8s %7s %8s %6s %8s %6s %8s | %8s %8s %8s %6s\n' records "data MB" \
    "edit ms" "save ms" "floor ms" "x floor" "page fl" "x page" "repl fl" "x repl" "qvn x pg" \
    "loaded" "edited" "save pk" "x load"
for n in "${sizes[@]}"; do
    data=$work/links-$n.csv template=$work/template.html copy=$work/edit.csv out=$work/floor.bin
    [ -s "$data" ] || "$gen" "$n" "$data" "$template"
    "$qvn" --data "$data" --template "$template" --output "$work/page.html"
    size=$(stat -c %s "$data") page=$(stat -c %s "$work/page.html")
    rm -f "$work/page.html"
    edit=() save=() fl=() pfl=() rfl=() loaded=() edited=() peak=() qb=()
    for ((r = 0; r < reps; r++)); do
        cp "$data" "$copy"
        sync
        res=$("$bench" "$copy" 2>/dev/null)
        cmp -s <(tr -d '\r' < "$copy" | wc -l) <(tr -d '\r' < "$data" | wc -l) ||
            { echo "the saved copy lost or gained lines: $res" >&2; exit 1; }
        edit+=("$(printf '%s\n' arrow add delete up down edit undo | while read -r k; do field "$res" "${k}_ms"; done | sort -g | tail -n 1)")
        save+=("$(field "$res" save_ms)")
        loaded+=("$(field "$res" loaded_kib)") edited+=("$(field "$res" edited_kib)")
        peak+=("$(field "$res" save_peak_kib)")
        fresh "$out"
        fl+=("$(seconds floor "$data" "$size" "$out")")
        fresh "$out"
        pfl+=("$(seconds floor "$data" "$page" "$out")")
        cp "$data" "$copy"
        fresh "$out"
        rfl+=("$(seconds replace_floor "$data" "$size" "$out" "$copy")")
        fresh "$out"
        qb+=("$(seconds "$qvn" --data "$data" --template "$template" --output "$out")")
    done
    rm -f "$out" "$copy"
    awk -v n="$n" -v d="$size" -v e="$(median "${edit[@]}")" -v s="$(median "${save[@]}")" \
        -v f="$(median "${fl[@]}")" -v pf="$(median "${pfl[@]}")" -v l="$(median "${loaded[@]}")" \
        -v ed="$(median "${edited[@]}")" -v p="$(median "${peak[@]}")" -v q="$(median "${qb[@]}")" -v rf="$(median "${rfl[@]}")" '
        BEGIN {
            printf "%9d %8.1f | %8.2f %8.1f %8.1f %7.2f %8.1f %6.2f %8.1f %6.2f %8.2f | %8.1f %8.1f %8.1f %6.2f\n",
                n, d / 1000000, e, s, f * 1000, s / (f * 1000), pf * 1000, s / (pf * 1000),
                rf * 1000, s / (rf * 1000), q / pf,
                l / 1024, ed / 1024, p / 1024, (p > ed ? p : ed) / l
        }'
done
echo "x floor: the save over the floor of writing the data file's size; x page: over the page's"
echo "(run-qvn-build-bench.sh's +fsync floor); x repl: over the floor that replaces a file as the save"
echo "does; qvn x pg: qvn-build over that floor, for calibration;"
echo "x load: the larger of edited and save peak over loaded."
