#!/usr/bin/env bash
# Compares hexlark's start-up with a bare Qt window of the same size and
# controls (reference_window): both are started alternately on a private Xvfb
# by startup_probe, and the medians of each measure are set side by side.
# A benchmark, not a test: it reports PASS or OVER against the targets and
# exits 0 either way (non-zero only when it could not measure).
#
#   run_startup.sh [-n RUNS] [--log FILE] BUILD_DIR
#   run_startup.sh [-n RUNS] [--log FILE] HEXLARK REFERENCE_WINDOW STARTUP_PROBE
#
# BUILD_DIR is a build with the benchmarks on: qt/hexlark,
# bench/reference_window and bench/startup_probe are taken from it. Each
# program runs RUNS times (default 15); the first run of each warms the caches
# and is left out of the medians. --log keeps the probe's line for every run
# in FILE, and what the programs and the probe wrote to stderr in FILE.stderr.
# The CPU rows, the processor time a program had used by its map and first
# paint, move little with other work on the machine, so they show what the
# wall-clock rows mean on a busy one.
set -euo pipefail

readonly kDefaultRuns=15
readonly kWarmUpRuns=1
readonly kMapTarget=1.10    # time to map, at most this times the reference's
readonly kMemoryTarget=1.05 # resident memory, at most this times the reference's
readonly kScreen=1280x1024x24
readonly kXvfbStartSeconds=30

usage()
{
    # The comment at the top of this file, up to its first command.
    awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "${BASH_SOURCE[0]}"
}

runs=$kDefaultRuns
log=""
paths=()
while (($# > 0)); do
    case $1 in
    -n) runs=$2; shift 2 ;;
    --log) log=$2; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) paths+=("$1"); shift ;;
    esac
done
case ${#paths[@]} in
1)
    hexlark=${paths[0]}/qt/hexlark
    reference=${paths[0]}/bench/reference_window
    probe=${paths[0]}/bench/startup_probe
    ;;
3) hexlark=${paths[0]} reference=${paths[1]} probe=${paths[2]} ;;
*) usage >&2; exit 2 ;;
esac
for program in "$hexlark" "$reference" "$probe"; do
    if [[ ! -x $program ]]; then
        echo "run_startup.sh: $program is not there or not executable" >&2
        exit 2
    fi
done
if ((runs <= kWarmUpRuns)); then
    echo "run_startup.sh: need more than $kWarmUpRuns run(s) of each" >&2
    exit 2
fi

work=$(mktemp -d)
xvfb_pid=""
# shellcheck disable=SC2317 # run by the trap below
cleanup()
{
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the pipe once it
# accepts connections, so nothing has to guess or wait blindly. -noreset: an X
# server otherwise resets whenever its last client leaves, which is between
# every two runs here, and refuses connections while it does.
mkfifo "$work/displayfd"
Xvfb -displayfd 5 -noreset -screen 0 "$kScreen" -nolisten tcp 5>"$work/displayfd" \
    2>"$work/xvfb.log" &
xvfb_pid=$!
if ! read -r -t "$kXvfbStartSeconds" display_number <"$work/displayfd"; then
    echo "run_startup.sh: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
display=":$display_number"

# The same private environment for both programs.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

echo "hexlark:   $hexlark"
echo "reference: $reference"
echo "display $display, $runs runs each, alternately; first $kWarmUpRuns of each left out"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

results="$work/runs"
for ((run = 1; run <= runs; run++)); do
    for program in hexlark reference; do
        if [[ $program == hexlark ]]; then path=$hexlark; else path=$reference; fi
        line=$("$probe" --display "$display" --label "$program" -- "$path" 2>>"$work/programs.log") ||
            true
        if [[ -z $line ]]; then
            line="label=$program result=probe-failed"
        fi
        echo "run=$run $line" | tee -a "$results"
    done
done
echo "load average after:  $(cut -d' ' -f1-3 /proc/loadavg)"
if [[ -n $log ]]; then
    cp "$results" "$log"
    cp "$work/programs.log" "$log.stderr"
fi

# The median of one measure over one program's measured runs.
median()
{
    local label=$1 key=$2
    awk -v label="$label" -v key="$key" -v skip="$kWarmUpRuns" '
        {
            delete f
            for (i = 1; i <= NF; i++) { split($i, kv, "="); f[kv[1]] = kv[2] }
            if (f["label"] == label && f["run"] > skip && f["result"] == "ok") print f[key]
        }' "$results" | sort -g | awk '
        { v[NR] = $1 }
        END {
            if (NR == 0) { print "NA"; exit }
            if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2
        }'
}

ratio()
{
    awk -v a="$1" -v b="$2" 'BEGIN { if (a == "NA" || b == "NA" || b == 0) print "NA"; else printf "%.3f", a / b }'
}

verdict()
{
    awk -v r="$1" -v t="$2" 'BEGIN { if (r == "NA") print "NA"; else if (r <= t) print "PASS"; else print "OVER" }'
}

failed=$(grep -vc ' result=ok$' "$results" || true)
measured=$(grep -c ' result=ok$' "$results" || true)
echo
printf '%-24s %12s %12s %8s  %s\n' "median of $((runs - kWarmUpRuns)) runs" hexlark reference ratio target
map_ratio=""
memory_ratio=""
for measure in map_ms:"time to map (ms)" paint_ms:"first paint (ms)" \
    map_cpu_ms:"CPU used by map (ms)" paint_cpu_ms:"CPU used by paint (ms)" \
    close_ms:"close to exit (ms)" rss_kib:"RSS when shown (KiB)" hwm_kib:"peak RSS (KiB)"; do
    key=${measure%%:*}
    title=${measure#*:}
    h=$(median hexlark "$key")
    r=$(median reference "$key")
    q=$(ratio "$h" "$r")
    target=""
    case $key in
    map_ms) map_ratio=$q; target="<= $kMapTarget x reference: $(verdict "$q" "$kMapTarget")" ;;
    rss_kib) memory_ratio=$q; target="<= $kMemoryTarget x reference: $(verdict "$q" "$kMemoryTarget")" ;;
    esac
    printf '%-24s %12s %12s %8s  %s\n' "$title" "$h" "$r" "$q" "$target"
done
echo
echo "time to map: hexlark/reference = $map_ratio, target <= $kMapTarget: $(verdict "$map_ratio" "$kMapTarget")"
echo "memory:      hexlark/reference = $memory_ratio, target <= $kMemoryTarget: $(verdict "$memory_ratio" "$kMemoryTarget")"
echo "$measured runs measured, $failed failed"
if ((measured == 0)); then
    echo "run_startup.sh: no run could be measured; the programs said:" >&2
    tail -n 20 "$work/programs.log" >&2
    exit 1
fi
exit 0
