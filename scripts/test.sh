#!/usr/bin/env bash
# Installs what is missing, builds Hexlark twice (warnings as errors; then
# with AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test
# in both builds, then the Debian package's as-installed tests in a fresh
# Debian root (scripts/autopkgtest.sh), which take minutes. One line a step;
# each step's output is in build/logs.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${HEADLESS_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cd "$root"
for preset in ci asan; do
    step "Configuring the $preset build" cmake --preset "$preset"
    step "Building the $preset build" cmake --build --preset "$preset" --parallel 2
    step "Testing the $preset build" ctest --preset "$preset"
    grep -E "tests passed|Total Test time" "$STEP_LOG"
done
step "Testing the Debian package in a fresh testbed" ctest --preset testbed
grep -E "tests passed|Total Test time" "$STEP_LOG"
