#!/usr/bin/env bash
# Times qvn-build on large generated link data beside the I/O floor of the same job, and prints a
# table. Usage:
#
#   bench/run-qvn-build-bench.sh [-b BUILD_DIR] [-w WORK_DIR] [-n REPETITIONS] [RECORDS...]
#
# Defaults: BUILD_DIR build-bench in the repository (configured and built here, Release, without
# the windows), WORK_DIR ${TMPDIR:-/tmp}/qvn-bench (about 0.7 GB for a million records),
# 5 repetitions, RECORDS 10000 100000 1000000.
#
# For every size, each repetition runs four jobs, one after another, each with its output file
# removed and the disk synced beforehand and the inputs in the page cache (warm cache):
#   qvn-build     qvn-build --data DATA --template TEMPLATE --output PAGE (its save is durable:
#                 the page is fsynced before it replaces the old one)
#   floor         cat DATA TEMPLATE > /dev/null, then write as many zero bytes as the page holds
#   floor+fsync   the same, the written file fsynced (dd conv=fsync)
#   check         qvn-build --check --data DATA --template TEMPLATE (reads both, writes no page;
#                 the generated inputs are clean, so it must print nothing and exit 0)
# Wall times are medians over the repetitions; peak memory is the largest resident set (GNU
# time's %M). Goals: at a million records, wall time at most 1.25 x the floor with fsync; peak
# memory at most 32 MiB at any size; the check within the build's CPU time, its memory flat.
set -euo pipefail

build=$(cd "$(dirname "$0")/.." && pwd)/build-bench
work=${TMPDIR:-/tmp}/qvn-bench
. "$(dirname "$0")/common.sh" "$@"

[ -x /usr/bin/time ] || { echo "needs GNU time (apt-get install time)" >&2; exit 1; }

build_bench OFF qvn-build qvn-bench-data
qvn=$build/cli/qvn-build
gen=$build/bench/qvn-bench-data
mkdir -p "$work"

# Runs a command under GNU time; sets wall (seconds, from the shell's microsecond clock), cpu
# (user and system seconds, every thread) and peak (KiB).
measure() {
    local out=$work/time.out start end
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M %U %S' -o "$out" "$@"
    end=$EPOCHREALTIME
    wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
    peak=$(tail -n 1 "$out" | cut -d' ' -f1)
    cpu=$(tail -n 1 "$out" | awk '{ printf "%.2f", $2 + $3 }')
}


fresh() { rm -f "$1"; sync; }

echo "qvn-build $("$qvn" --version | cut -d' ' -f2), $(nproc) CPU, kernel $(uname -r), $reps repetitions, load $(cut -d' ' -f1-3 /proc/loadavg), work folder $work"
printf '%9s %9s %9s | %9s %9s %9s | %7s %7s | %8s %8s | %8s %6s %9s | %7s %9s %6s\n' records "data MB" \
    "page MB" "qvn s" "floor s" "+fsync s" "x floor" "x fsync" "peak MiB" "goal MiB" \
    "check s" "x qvn" "check MiB" "qvn cpu" "check cpu" "x cpu"
for n in "${sizes[@]}"; do
    data=$work/links-$n.csv template=$work/template.html page=$work/page-$n.html floor=$work/floor.bin
    [ -s "$data" ] || "$gen" "$n" "$data" "$template"
    [ -s "$template" ] || "$gen" 0 "$work/empty.csv" "$template"

    cat "$data" "$template" > /dev/null # warm the cache, and the binary
    "$qvn" --data "$data" --template "$template" --output "$page"
    size=$(stat -c %s "$page")
    findings=$("$qvn" --check --data "$data" --template "$template") ||
        { echo "the check failed on generated inputs:" >&2; echo "$findings" >&2; exit 1; }
    [ -z "$findings" ] || { echo "the check reported on generated inputs:" >&2; echo "$findings" >&2; exit 1; }

    q=() f=() s=() peaks=() c=() cpeaks=() qc=() cc=()
    for ((r = 0; r < reps; r++)); do
        fresh "$page"
        measure "$qvn" --data "$data" --template "$template" --output "$page"
        q+=("$wall") peaks+=("$peak") qc+=("$cpu")
        [ "$(stat -c %s "$page")" = "$size" ] || { echo "page size changed" >&2; exit 1; }

        fresh "$floor"
        measure sh -c 'cat "$1" "$2" > /dev/null && dd if=/dev/zero of="$3" bs=1M count="$4" iflag=count_bytes status=none' \
            sh "$data" "$template" "$floor" "$size"
        f+=("$wall")

        fresh "$floor"
        measure sh -c 'cat "$1" "$2" > /dev/null && dd if=/dev/zero of="$3" bs=1M count="$4" iflag=count_bytes conv=fsync status=none' \
            sh "$data" "$template" "$floor" "$size"
        s+=("$wall")

        measure "$qvn" --check --data "$data" --template "$template"
        c+=("$wall") cpeaks+=("$peak") cc+=("$cpu")
    done
    rm -f "$floor"

    awk -v n="$n" -v d="$(stat -c %s "$data")" -v p="$size" -v q="$(median "${q[@]}")" \
        -v f="$(median "${f[@]}")" -v s="$(median "${s[@]}")" -v m="$(median "${peaks[@]}")" \
        -v c="$(median "${c[@]}")" -v cm="$(median "${cpeaks[@]}")" \
        -v qc="$(median "${qc[@]}")" -v cc="$(median "${cc[@]}")" '
        BEGIN {
            mb = 1000000
            printf "%9d %9.1f %9.1f | %9.3f %9.3f %9.3f | %7.2f %7.2f | %8.1f %8.1f | %8.3f %6.2f %9.1f | %7.2f %9.2f %6.2f\n",
                n, d / mb, p / mb, q, f, s, q / f, q / s, m / 1024, 32, c, c / q, cm / 1024, qc, cc, (qc > 0 ? cc / qc : 0)
        }'
done
echo "x floor, x fsync: qvn-build's time over the floor's;"
echo "x qvn: the check's time over the build's; cpu: user and system seconds (the check's two threads"
echo "together), x cpu: the check's over the build's."
