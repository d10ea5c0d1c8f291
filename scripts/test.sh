#!/usr/bin/env bash
# Installs what is missing, builds Hexlark twice (warnings as errors; then
# with AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test
# in both builds, then the Debian package's as-installed tests in a fresh
# Debian root (scripts/autopkgtest.sh), which take minutes and root or a
# sudo that asks no password: without either it says so once the rest has
# run, and ends a failure. One line a step;
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
for preset in ci asan; do
    step "Configuring the $preset build" cmake --preset "$preset"
    step "Building the $preset build" cmake --build --preset "$preset" --parallel 2
    tests "$preset" "Testing the $preset build"
done
if ! may_be_root; then
    echo "Testing the Debian package in a fresh testbed was not run: it needs root or a sudo that asks" \
        "no password; run sudo -v && bash scripts/autopkgtest.sh" >&2
    exit 1
fi
tests testbed "Testing the Debian package in a fresh testbed"
