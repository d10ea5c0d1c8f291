#!/usr/bin/env bash
# Builds the Debian package from this tree and runs its as-installed tests
# (debian/tests) as Debian's CI does: with autopkgtest, in a fresh minimal
# root of the Debian release this one is (the one the package is built for)
# made with mmdebstrap, which holds only what the package and
# debian/tests/control bring in, so that a tool the tests start but the
# control file leaves out fails here. The package is built here, or is the
# one scripts/build-deb.sh built in HEXLARK_PACKAGE_DIR, with the tree it
# was built from (the test build's). Needs Debian's mirrors, and root for
# the testbed: run by a user, it makes and enters it through sudo (which
# must ask no password where there is no terminal), and removes what root
# made there. Works in the folder given (build/autopkgtest unless given: a
# new or empty one, or one it made before), anew each time.
#
# bash scripts/autopkgtest.sh --root-only DIR makes the testbed's root, with
# what the tests need, and stops: while the package builds, for the next run
# in DIR to test it in (once).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
root_only=""
if [ "${1:-}" = --root-only ]; then
    root_only=yes
    shift
fi
work="$(realpath -m "${1:-$root/build/autopkgtest}")"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"

fail() {
    echo "autopkgtest.sh: $1" >&2
    exit 1
}
may_be_root ||
    fail "making the testbed needs root or a sudo that asks no password: run sudo -v && bash scripts/autopkgtest.sh"
own_folder "$work" "the folder given"
ensure_packages "${TESTBED_PACKAGES[@]}"
release="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
[ -n "$release" ] || fail "/etc/os-release names no Debian release to make the testbed of"

# The testbed's root, with what debian/tests/control has the tests depend
# on besides the package (@), so that autopkgtest then installs only the
# package and what it depends on.
make_root() {
    as_root rm -rf "$work/testbed"
    local depends valid_until
    depends="$(/usr/bin/python3 -I - "$root/debian/tests/control" <<'EOF'
import sys
from debian.deb822 import Deb822
names = {name.strip() for test in Deb822.iter_paragraphs(open(sys.argv[1], encoding="utf-8"))
         for name in test.get("Depends", "").split(",")}
print(",".join(sorted(names - {"@", ""})))
EOF
)"
    # With this system's leave, if any, to use a Release file past its
    # Valid-Until (a testing mirror's lasts about a week).
    valid_until="$(apt-config dump --no-empty --format '%v' Acquire::Check-Valid-Until)"
    # Its package lists are kept: autopkgtest installs from them, as fresh as the root.
    as_root mmdebstrap --quiet --variant=apt --include="$depends" --skip=cleanup/apt/lists "$release" \
        "$work/testbed" --aptopt="Acquire::Check-Valid-Until \"${valid_until:-true}\"" ||
        fail "mmdebstrap could not make a root of $release (are Debian's mirrors reachable?)"
}
# Marked unused only once it is whole: a root that failed to be made is never taken.
if [ -n "$root_only" ]; then
    rm -f "$work/testbed.unused"
    make_root
    touch "$work/testbed.unused"
    exit 0
fi
# The package, and the source it was built from in tree/ beside it.
if [ -n "${HEXLARK_PACKAGE_DIR:-}" ]; then
    package="$HEXLARK_PACKAGE_DIR"
    deb="$(ls "$package"/hexlark_*.deb 2>/dev/null)" && [ -d "$package/tree" ] ||
        fail "no package built by scripts/build-deb.sh in $package"
else
    package="$work"
    deb="$(bash "$root/scripts/build-deb.sh" "$work" | tail -n 1)"
fi
# The design's pixels the smoke test clicks and crops by, as a build of this
# tree writes them: the test build's (ctest --preset testbed or full), or one made here.
pixels() {
    cmake -S "$package/tree" -B "$work/pixels" -DHEXLARK_WINDOWS_EDITION=OFF -DHEXLARK_BUILD_BENCHMARKS=OFF &&
        cmake --build "$work/pixels" --target design_pixels_json
}
if [ -z "${HEXLARK_DESIGN_PIXELS:-}" ]; then
    rm -rf "$work/pixels"
    step "Writing the design's pixels for the smoke test" pixels
    HEXLARK_DESIGN_PIXELS="$work/pixels/tests/design_pixels.json"
fi
[ -f "$HEXLARK_DESIGN_PIXELS" ] || fail "no design's pixels at $HEXLARK_DESIGN_PIXELS"
cp "$HEXLARK_DESIGN_PIXELS" "$package/tree/tests/design_pixels.json"
rm -f "$work/summary"
# A root made ahead is used once; any other is made anew.
rm "$work/testbed.unused" 2>/dev/null || make_root
# autopkgtest's chroot runner mounts nothing itself: the testbed gets /proc
# in a mount namespace of this run's own (mmdebstrap made its /dev).
status=0
as_root unshare --mount --propagation private bash -c 'mount -t proc proc "$1/proc" &&
    exec autopkgtest --summary-file "$2" "$3" "$4" -- chroot "$1"' - \
    "$work/testbed" "$work/summary" "$deb" "$package/tree/" || status=$?
# A run that tested nothing leaves no summary; each test's line there ends in PASS.
[ "$status" -eq 0 ] && [ -s "$work/summary" ] && ! grep -qv ' PASS$' "$work/summary" ||
    fail "debian/tests failed in a fresh $release testbed (autopkgtest status $status; see $work/summary)"
as_root rm -rf "$work/testbed"
