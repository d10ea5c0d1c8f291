# Runs one step of a script quietly: a line saying what it does, its whole
# output in a log under build/logs, and on failure what went wrong (the end
# of that log, or what its script has it show) and the log's path; and
# takes the folders the scripts are given to work in. Sourced by the other
# scripts.

HEXLARK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
HEXLARK_LOGS="$HEXLARK_ROOT/build/logs"
# What marks a folder as made by the scripts.
HEXLARK_MADE=".made-by-hexlark-scripts"

# Qt and the tests want a UTF-8 locale, and Qt says so when it has none:
# C.UTF-8 is on every Debian system.
if [ "$(locale charmap 2>/dev/null)" != "UTF-8" ]; then
    export LC_ALL=C.UTF-8
fi

# step [--show FUNCTION] "What it does" command [arguments...]
# FUNCTION, given the log, says what failed in place of the log's end.
step() {
    local show=""
    if [ "$1" = --show ]; then
        show="$2"
        shift 2
    fi
    local what="$1"
    shift
    # The log is named by the step's first four words.
    local name
    name="$(printf '%s' "$what" | cut -d' ' -f1-4)"
    name="${name,,}"
    local log="$HEXLARK_LOGS/${name//[^a-z0-9]/-}.log"
    echo "$what"
    # Where no log can be written (a folder the user cannot write, a full
    # disk), the output goes to the terminal instead, and the step's line
    # still ends a failure.
    if ! { mkdir -p "$HEXLARK_LOGS" && : >"$log"; } 2>/dev/null; then
        STEP_LOG=/dev/null
        "$@" >&2 && return 0
        echo "$what failed; its output is above (no log could be written at $log)" >&2
        exit 1
    fi
    if ! "$@" >"$log" 2>&1; then
        if [ -n "$show" ]; then "$show" "$log"; else tail -n 100 "$log"; fi >&2 || true
        echo "$what failed; its whole output is in $log" >&2
        exit 1
    fi
    STEP_LOG="$log"
}

# failures LOG: the output of each test that failed, from the JUnit report
# CTest wrote at $report, however long the run's log LOG; the log's end
# where there is no report. A step's --show for a test run.
failures() {
    if [ -s "$report" ]; then
        python3 - "$report" <<'PYTHON'
import sys
import xml.etree.ElementTree as ElementTree

for case in ElementTree.parse(sys.argv[1]).iter("testcase"):
    if case.get("status") == "fail":
        print(f"{case.get('name')} failed:\n{case.findtext('system-out', '').rstrip()}\n")
PYTHON
    else
        tail -n 100 "$1"
    fi
}

# own_folder FOLDER WHAT: takes FOLDER, which the user gave as WHAT, for the
# script to work in, where it replaces what it made on an earlier run. A new
# or empty folder is marked as the scripts' own; a folder so marked, or a
# CMake build of this tree, is theirs already. Any other is refused in one
# line: it holds files that are the user's.
own_folder() {
    local folder="$1" what="$2" source=""
    if [ -f "$folder/CMakeCache.txt" ]; then
        source="$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$folder/CMakeCache.txt")"
    fi
    if [ -e "$folder/$HEXLARK_MADE" ] || { [ -n "$source" ] && [ "$source" -ef "$HEXLARK_ROOT" ]; }; then
        return 0
    fi
    if [ -e "$folder" ] && { ! [ -d "$folder" ] || [ -n "$(ls -A "$folder")" ]; }; then
        echo "$(basename "$0"): $what ($folder) holds files that this script did not make: give a new or empty folder" >&2
        exit 1
    fi
    mkdir -p "$folder"
    echo "Made by Hexlark's scripts, which replace what they made here." >"$folder/$HEXLARK_MADE"
}
