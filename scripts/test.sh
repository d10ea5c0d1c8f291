#!/usr/bin/env bash
# Installs what is missing, builds Hexlark twice (warnings as errors; then
# with AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test
# in both builds, with the Debian package's as-installed tests in a fresh
# Debian root (scripts/autopkgtest.sh), which take root or a sudo that asks
# no password: without either it says so once the rest has run, and ends a
# failure. The sanitizer build and its tests run beside the first build's
# tests, which mostly wait on displays, Wine and Debian's mirror. One line a step;
# each step's output is in build/logs, and a failed test run shows each
# failing test's own output.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${HEADLESS_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

# tests PRESET "What it does": one test run, each failing test's own output shown.
tests() {
    report="$HEXLARK_LOGS/$1-tests.xml"
    rm -f "$report"
    step --show failures "$2" ctest --preset "$1" --output-junit "$report"
    grep -E "tests passed|Total Test time" "$STEP_LOG" || true
}

cd "$root"
step "Configuring the ci build" cmake --preset ci
step "Building the ci build" cmake --build --preset ci --parallel 2
# Built at a lower priority: the first build's tests that build the Debian
# package, and the testbed that waits on it, go first.
(
    step "Configuring the asan build" cmake --preset asan
    step "Building the asan build" nice -n 10 cmake --build --preset asan --parallel 2
    tests asan "Testing the asan build"
) &
sanitized=$!
# A failing step ends the script once the sanitizer build's steps have ended too.
trap 'wait "$sanitized" 2>/dev/null' EXIT
if ! may_be_root; then
    tests ci "Testing the ci build"
    wait "$sanitized" || exit 1
    echo "Testing the Debian package in a fresh testbed was not run: it needs root or a sudo that asks" \
        "no password; run sudo -v && bash scripts/autopkgtest.sh" >&2
    exit 1
fi
tests full "Testing the ci build and the Debian package in a fresh testbed"
wait "$sanitized"
