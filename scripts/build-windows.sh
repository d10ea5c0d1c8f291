#!/usr/bin/env bash
# Installs what is missing, cross-builds the Windows edition of Hexlark with
# mingw-w64 and prints the path of hexlark.exe on its last line.
# HEXLARK_WINDOWS_BUILD names another build folder than build/windows: a new
# or empty one, or a build of this tree.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${HEXLARK_WINDOWS_BUILD:-$root/build/windows}")"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
own_folder "$build" HEXLARK_WINDOWS_BUILD
ensure_packages "${WINDOWS_BUILD_PACKAGES[@]}"

step "Configuring the Windows edition" cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
step "Building the Windows edition" cmake --build "$build" --parallel 2
echo "$build/windows/hexlark.exe"
