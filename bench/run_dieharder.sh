#!/usr/bin/env bash
# Runs dieharder's full battery on the random source as GenerateAddress uses
# it, once with the real clock and once with a frozen one, and summarises the
# verdicts. With --test it re-runs one test with more samples instead, which is
# how a WEAK verdict is settled: a good generator's WEAK does not come back.
#
#   run_dieharder.sh [--build-dir DIR | --stream PATH] [--clock real|frozen|both]
#                    [--nice N] [OUT_DIR]
#   run_dieharder.sh ... --test TEST [--multiply M | --psamples P] [--ntuple T] [OUT_DIR]
#   run_dieharder.sh --summary [OUT_DIR]
#
# TEST is a dieharder test's name (diehard_dna) or number (dieharder -l).
# OUT_DIR (default /tmp) gets dieharder-<clock>.txt for the battery and
# dieharder-<clock>-test-<TEST>.txt for a re-run. --multiply M (default 10)
# takes M times the test's usual samples; --psamples P sets their number.
set -euo pipefail

readonly kStdinRawGenerator=200 # dieharder -g -1: stdin_input_raw
readonly kDefaultMultiply=10
readonly kDefaultNice=19 # the battery runs for an hour or more; let other work come first

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir="$script_dir/../build-bench"
stream=""
clocks=(real frozen)
nice_level=$kDefaultNice
test_id=""
multiply=""
psamples=""
ntuple=""
summary_only=false
out_dir=/tmp

usage()
{
    # The comment at the top of this file, up to its first command.
    awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "${BASH_SOURCE[0]}"
}

while (($# > 0)); do
    case $1 in
    --build-dir) build_dir=$2; shift 2 ;;
    --stream) stream=$2; shift 2 ;;
    --clock)
        case $2 in
        real | frozen) clocks=("$2") ;;
        both) clocks=(real frozen) ;;
        *) usage >&2; exit 2 ;;
        esac
        shift 2
        ;;
    --nice) nice_level=$2; shift 2 ;;
    --test) test_id=$2; shift 2 ;;
    --multiply) multiply=$2; shift 2 ;;
    --psamples) psamples=$2; shift 2 ;;
    --ntuple) ntuple=$2; shift 2 ;;
    --summary) summary_only=true; shift ;;
    -h | --help) usage; exit 0 ;;
    -*) usage >&2; exit 2 ;;
    *) out_dir=$1; shift ;;
    esac
done
stream=${stream:-$build_dir/bench/random_stream}

# Counts the verdicts of one dieharder output and lists all but the passes.
summarise()
{
    local clock=$1 file=$2
    if [[ ! -s $file ]]; then
        echo "$clock clock: no output yet in $file"
        return
    fi
    local counts
    counts=$(awk -F'|' '$NF ~ /^ *(PASSED|WEAK|FAILED) *$/ { v = $NF; gsub(/ /, "", v); n[v]++ }
        END { printf "PASSED %d  WEAK %d  FAILED %d", n["PASSED"], n["WEAK"], n["FAILED"] }' "$file")
    echo "$clock clock ($file): $counts"
    # Each verdict that is not a pass, with the command that re-runs its test.
    awk -F'|' -v clock="$clock" '$NF ~ /^ *(WEAK|FAILED) *$/ {
        name = $1; gsub(/ /, "", name); ntuple = $2 + 0
        print "    " $0
        printf "      re-run: %s --clock %s --test %s%s --multiply %d\n", script, clock, name,
            ntuple ? " --ntuple " ntuple : "", multiply
    }' script="${BASH_SOURCE[0]}" multiply="$kDefaultMultiply" "$file"
}

if $summary_only; then
    for clock in "${clocks[@]}"; do
        summarise "$clock" "$out_dir/dieharder-$clock.txt"
        for rerun in "$out_dir/dieharder-$clock-test-"*.txt; do
            if [[ -e $rerun ]]; then
                summarise "$clock" "$rerun"
            fi
        done
    done
    exit 0
fi

if [[ ! -x $stream ]]; then
    echo "run_dieharder.sh: no random_stream at $stream (build the bench targets first)" >&2
    exit 2
fi
command -v dieharder >/dev/null || { echo "run_dieharder.sh: dieharder is not installed" >&2; exit 2; }
mkdir -p "$out_dir"

dieharder_args=(-g "$kStdinRawGenerator")
if [[ -n $test_id ]]; then
    dieharder_args+=(-d "$test_id")
    if [[ -n $psamples ]]; then
        dieharder_args+=(-p "$psamples")
    else
        dieharder_args+=(-m "${multiply:-$kDefaultMultiply}")
    fi
    if [[ -n $ntuple ]]; then
        dieharder_args+=(-n "$ntuple")
    fi
else
    dieharder_args+=(-a)
fi

# Stops the pipelines this script started, should it be stopped early.
pids=()
# shellcheck disable=SC2317 # run by the trap below
stop_pipelines()
{
    local p
    for p in "${pids[@]}"; do
        pkill -P "$p" 2>/dev/null || true
        kill "$p" 2>/dev/null || true
    done
}
trap stop_pipelines EXIT

outputs=()
for clock in "${clocks[@]}"; do
    if [[ -n $test_id ]]; then
        output="$out_dir/dieharder-$clock-test-$test_id${ntuple:+-n$ntuple}.txt"
    else
        output="$out_dir/dieharder-$clock.txt"
    fi
    outputs+=("$output")
    echo "$(date '+%F %T') $clock clock: dieharder ${dieharder_args[*]} > $output"
    # The stream ends with EPIPE, cleanly, when dieharder has read enough.
    (nice -n "$nice_level" "$stream" --clock "$clock" |
        nice -n "$nice_level" dieharder "${dieharder_args[@]}" >"$output") &
    pids+=($!)
done

status=0
for p in "${pids[@]}"; do
    wait "$p" || status=$?
done
pids=()
echo "$(date '+%F %T') done"
for i in "${!clocks[@]}"; do
    summarise "${clocks[$i]}" "${outputs[$i]}"
done
exit "$status"
