#!/usr/bin/env bash
# Installs what is missing, builds Hexlark twice (warnings as errors; then
# with AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test
# in both builds, then the Debian package's as-installed tests in a fresh
# Debian root (scripts/autopkgtest.sh), which take minutes.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
ensure_packages "${BUILD_PACKAGES[@]}" "${HEADLESS_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

cd "$root"
for preset in ci asan; do
    echo "=== $preset build ==="
    cmake --preset "$preset"
    cmake --build --preset "$preset" --parallel 2
    ctest --preset "$preset"
done
echo "=== Debian package in a fresh testbed ==="
ctest --preset testbed
