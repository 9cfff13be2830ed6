#!/usr/bin/env bash
# Measures the link check: URLS links over HOSTS web hosts, every answer after DELAY_MS, all on
# loopback (127.1.x.y, one address a host, served by qvn-bench-link-server). In the same run and on
# the same URLs it measures qvn-build --check-links, linkchecker (Debian's package) and linkinator
# (npm), and prints a table. Usage:
#
#   bench/run-link-check-bench.sh [-b BUILD_DIR] [-w WORK_DIR] [-n REPETITIONS] [URLS HOSTS DELAY_MS]
#
# Defaults: BUILD_DIR build-bench in the repository (configured and built here, Release, without
# the windows), WORK_DIR ${TMPDIR:-/tmp}/qvn-link-bench, 1 repetition, 10000 URLs over 1000 hosts
# answering after 100 ms, each page a small HTML document with a title (any other path 404).
# qvn-build runs twice: as it is, and with --state and --format json (a fresh history, so every
# URL is asked). linkchecker is installed with apt-get (tools/apt-install.sh), linkinator with npm
# into ${XDG_CACHE_HOME:-~/.cache}/quorvane-bench; either is left out when it cannot be, and both
# when PEERS=0 is set. Each tool starts against a fresh server, which counts the requests it saw,
# the most that were open at once to one host and over all hosts, and the bytes it sent. Peak
# memory is GNU time's %M (linkinator's own page server included, as it runs in the same
# process). Goal for qvn-build: at least 1,500 URLs/s with every check on, never more than 2
# requests at once to one host, at most 64 MiB.
set -euo pipefail

build=$(cd "$(dirname "$0")/.." && pwd)/build-bench
work=${TMPDIR:-/tmp}/qvn-link-bench
reps=1
default_sizes=(10000 1000 100)
. "$(dirname "$0")/common.sh" "$@"
urls=${sizes[0]}
hosts=${sizes[1]:-1000}
delay=${sizes[2]:-100}

[ -x /usr/bin/time ] || { echo "needs GNU time (apt-get install time)" >&2; exit 1; }
build_bench OFF qvn-build qvn-bench-link-server
qvn=$build/cli/qvn-build
server_bin=$build/bench/qvn-bench-link-server

tools=${XDG_CACHE_HOME:-$HOME/.cache}/quorvane-bench
linkinator=$tools/node/node_modules/.bin/linkinator
if [ "${PEERS:-1}" != 0 ]; then
    "$repo/tools/apt-install.sh" linkchecker > /dev/null 2>&1 || echo "linkchecker could not be installed" >&2
    [ -x "$linkinator" ] ||
        npm install --prefix "$tools/node" --no-audit --no-fund linkinator > /dev/null 2>&1 ||
        echo "linkinator could not be installed" >&2
fi

calc() { awk "BEGIN { print $* }"; }

mkdir -p "$work"
chmod 755 "$work" # linkchecker run as root reads the page as nobody

# The same URLs for every tool: a data file for qvn-build, a page of links for the others.
# Written once the server's port is known.
make_inputs() {
    local port=$1
    awk -v n="$urls" -v h="$hosts" -v port="$port" 'BEGIN {
        for (i = 0; i < n; i++) {
            host = i % h
            printf "site %d,http://127.1.%d.%d:%d/page/%d,admin,about\n", i, int(host / 250), host % 250 + 1, port, i
        }
    }' > "$work/links.csv"
    {
        echo '<!DOCTYPE html><html><head><meta charset="utf-8"><title>links</title></head><body>'
        awk -F, '{ printf "<a href=\"%s\">%s</a>\n", $2, $1 }' "$work/links.csv"
        echo '</body></html>'
    } > "$work/links.html"
    chmod 644 "$work/links.csv" "$work/links.html"
}

# run NAME COMMAND...: one repetition against a fresh server; prints "NAME seconds KiB stats".
run() {
    local name=$1
    shift
    local fifo=$work/server.in
    rm -f "$fifo"
    mkfifo "$fifo"
    "$server_bin" "$hosts" "$delay" < "$fifo" > "$work/server.out" &
    local server=$!
    exec 9> "$fifo"
    local port=""
    for _ in $(seq 100); do
        port=$(head -n1 "$work/server.out" 2>/dev/null || true)
        [ -n "$port" ] && break
        sleep 0.05
    done
    make_inputs "$port"
    local start end
    start=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$work/time.out" "$@" > "$work/$name.out" 2>&1 || true
    end=$EPOCHREALTIME
    exec 9>&-
    wait "$server"
    local stats
    stats=$(tail -n1 "$work/server.out")
    echo "$name $(calc "$end - $start") $(tail -n1 "$work/time.out") $stats"
}

results=()
for ((r = 0; r < reps; r++)); do
    results+=("$(run qvn-build "$qvn" --check-links --data "$work/links.csv")")
    rm -f "$work/state"
    results+=("$(run qvn-build-state-json "$qvn" --check-links --data "$work/links.csv" \
        --state "$work/state" --format json)")
    [ "${PEERS:-1}" != 0 ] || continue
    if [ -x "$linkinator" ]; then
        results+=("$(run linkinator "$linkinator" "$work/links.html")")
    fi
    if command -v linkchecker > /dev/null; then
        results+=("$(run linkchecker linkchecker --check-extern -r 1 --no-status -o none \
            "$work/links.html")")
    fi
done

echo
echo "$urls URLs over $hosts hosts, each answer after $delay ms; $reps repetition(s)"
echo
echo "| Tool | Wall s | URLs/s | Peak MiB | Requests | Most at once to one host | Most at once overall | Bytes sent a URL |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for line in "${results[@]}"; do
    read -r name wall kib _ requests _ host _ overall _ bytes <<< "$line"
    printf '| %s | %.1f | %.0f | %.1f | %s | %s | %s | %.0f |\n' "$name" "$wall" \
        "$(calc "$urls / $wall")" "$(calc "$kib / 1024")" "$requests" "$host" "$overall" \
        "$(calc "$bytes / $urls")"
done
