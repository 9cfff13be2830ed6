#!/usr/bin/env bash
# Runs the fuzz targets of a fuzz build for a while each, one after another, starting from their
# corpora in the repository:
#   fuzz/run.sh BUILD_DIR SECONDS [TARGET...]     (targets: lines links page codec cli table; all if none)
# BUILD_DIR comes from cmake -DCMAKE_CXX_COMPILER=clang++ -DQVN_BUILD_FUZZ=ON. What a run finds
# beyond the seeds goes to BUILD_DIR/fuzz-work/TARGET/corpus, never into the repository, and is
# where the next run starts from. A crash (a sanitizer's report, a failed check, a leak, a
# timeout) fails the script, after the end of libFuzzer's report and the input in hex; the input
# itself is kept in BUILD_DIR/fuzz-work/TARGET/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
    echo "usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(lines links page codec cli table)

# The corpora a target starts from: its own, and for the link table the texts of the line and
# link data targets too.
corpora() {
    echo "fuzz/corpus/$1"
    [ "$1" != table ] || echo fuzz/corpus/lines fuzz/corpus/links
}

failed=()
for t in "${targets[@]}"; do
    fuzzer="$build/fuzz/${t}_fuzzer"
    [ -x "$fuzzer" ] || { echo "no fuzz target $fuzzer" >&2; exit 2; }
    work="$build/fuzz-work/$t"
    mkdir -p "$work/corpus" "$work/crashes"
    rm -f "$work/crashes"/*
    echo "+ $t: ${seconds} s"
    if "$fuzzer" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
        -artifact_prefix="$work/crashes/" "$work/corpus" $(corpora "$t") >"$work/log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
        speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log")
        size=$(find "$work/corpus" $(corpora "$t") -type f | wc -l)
        echo "  $runs runs, $speed a second; $size inputs in the corpus"
    else
        failed+=("$t")
        tail -n 60 "$work/log"
        for f in "$work/crashes"/*; do
            [ -f "$f" ] || continue
            echo "reproducer $f ($(stat -c %s "$f") bytes), in hex:"
            od -An -v -tx1 "$f"
        done
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]}" >&2
    exit 1
fi
