# Shared by the benchmark drivers; sourced, not run. Before sourcing, set `build` and `work` to
# the defaults of the driver, and `reps` and `default_sizes` where the driver's differ from 5
# repetitions of 10000 100000 1000000. Parses the drivers' common options (-h prints the driver's
# opening comment) and leaves:
#   repo build work reps sizes   the repository, the options and the record counts to run
#   median VALUES...             the median of numbers
#   build_bench GUI TARGETS...   configures and builds a Release tree in $build (GUI: ON or OFF)

repo=$(cd "$(dirname "$0")/.." && pwd)
reps=${reps:-5}
while getopts "b:w:n:h" opt; do
    case $opt in
    b) build=$OPTARG ;;
    w) work=$OPTARG ;;
    n) reps=$OPTARG ;;
    *) sed -n '2,/^[^#]/p' "$0" | sed -n 's/^# \{0,1\}//p'; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
sizes=("$@")
[ -n "${default_sizes+set}" ] || default_sizes=(10000 100000 1000000)
[ ${#sizes[@]} -gt 0 ] || sizes=("${default_sizes[@]}")

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

build_bench() {
    local gui=$1
    shift
    cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQVN_BUILD_BENCH=ON \
        -DQVN_BUILD_GUI="$gui" -DQVN_BUILD_TESTS=OFF > /dev/null
    cmake --build "$build" --target "$@" > /dev/null
}
