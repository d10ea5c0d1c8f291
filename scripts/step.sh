# Runs one step of a script quietly: a line saying what it does, its whole
# output in a log under build/logs, and on failure the end of that log and
# its path. Sourced by the other scripts.

HEXLARK_LOGS="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/logs"

# step "What it does" command [arguments...]
step() {
    local what="$1"
    shift
    mkdir -p "$HEXLARK_LOGS"
    # The log is named by the step's first four words.
    local name
    name="$(printf '%s' "$what" | cut -d' ' -f1-4)"
    name="${name,,}"
    local log="$HEXLARK_LOGS/${name//[^a-z0-9]/-}.log"
    echo "$what"
    if ! "$@" >"$log" 2>&1; then
        tail -n 100 "$log" >&2
        echo "$what failed; its whole output is in $log" >&2
        exit 1
    fi
    STEP_LOG="$log"
}
