#!/usr/bin/env bash
# Times the soak test: 100,000 presses of Generate and 10,000 of Copy in one
# process on Qt's offscreen platform, and reports the time per press and the
# memory the process held. Usage: bench/run_soak.sh [build dir] (default build/ci)
set -euo pipefail

build="${1:-build/ci}"
soak="$build/tests/soak_test"
if [ ! -x "$soak" ]; then
    echo "run_soak.sh: $soak is not there; build the tests first (cmake --preset ci)" >&2
    exit 1
fi
presses=100000

runtime="$(mktemp -d)"
trap 'rm -rf "$runtime"' EXIT
log="$runtime/soak.log"
TIMEFORMAT='cpu: user %U s, system %S s'
start=$(date +%s%N)
time QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$runtime" "$soak" >"$log" 2>&1
end=$(date +%s%N)

grep -E 'resident memory|Totals' "$log"
awk -v ns=$((end - start)) -v n=$presses \
    'BEGIN { printf "wall %.2f s, %.1f us per Generate press (Copy every tenth)\n", ns / 1e9, ns / 1e3 / n }'
