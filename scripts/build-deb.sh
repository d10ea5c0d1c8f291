#!/usr/bin/env bash
# Installs what is missing and builds the Debian package of Hexlark (its tests
# left to the caller) from a copy of this tree as Debian has the source: no
# build output, no git. Works in the folder given (a new or empty one, or one
# it made before), anew each time, and prints the package's path on its last
# line.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ $# -ne 1 ]; then
    echo "Usage: bash scripts/build-deb.sh DIR (a new or empty folder to build the package in)" >&2
    exit 2
fi
work="$(realpath -m "$1")"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
own_folder "$work" "the folder given"
ensure_packages "${BUILD_PACKAGES[@]}" "${DEB_PACKAGES[@]}"

# What an earlier run made here.
rm -rf "$work/tree" "$work"/hexlark_* "$work"/hexlark-dbgsym_*
mkdir "$work/tree"
tar -C "$root" --exclude=./build --exclude=./.git --exclude='./obj-*' -cf - . | tar -C "$work/tree" -xf -
# Cleaned after the build, as autopkgtest wants the source it tests from.
step "Building the Debian package" env -C "$work/tree" DEB_BUILD_OPTIONS="nocheck parallel=2" \
    DEB_BUILD_PROFILES=nocheck dpkg-buildpackage -us -uc -b --post-clean
ls "$work"/hexlark_*.deb
