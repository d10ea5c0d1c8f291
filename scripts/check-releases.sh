#!/usr/bin/env bash
# Runs the README's two commands, bash scripts/run.sh and then
# bash scripts/test.sh, as a new user does on a fresh Debian 12 and Debian 13:
# each in a bare root made with mmdebstrap from Debian's mirror (the release's
# important packages, git and ca-certificates, nothing else), holding nothing
# of this machine but a clone of this checkout's last commit, entered with
# chroot as root with an empty environment, and in pid and mount namespaces
# of its own with what a booted machine has mounted: / itself, /proc, /sys, /dev/pts,
# /dev/shm and /run (and /tmp, which Debian 13 keeps in memory). The two
# releases run side by side, and beside each, in a copy of its bare root,
# package-windows.sh and autopkgtest.sh each first thing. Each says whether
# and how fast both commands passed, that run.sh said no more than its own
# lines, and on a failure the end of what it said. Needs root and Debian's mirror; works in a new folder
# of its own under TMPDIR (/var/tmp unless set), removed at the end.
#
#   bash scripts/check-releases.sh [RELEASE...]     (bookworm trixie unless given)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
if [ "$(id -u)" -ne 0 ]; then
    echo "check-releases.sh: making and entering a Debian root needs root" >&2
    exit 1
fi
ensure_packages mmdebstrap git
releases=("${@:-bookworm}")
[ $# -gt 0 ] || releases+=(trixie)

work="$(mktemp -d "${TMPDIR:-/var/tmp}/hexlark-releases.XXXXXX")"
: >"$work/unshares"
cleanup() {
    # An unshare of enter ignores TERM; killed, it takes every process of its
    # namespace with it.
    local pid
    while read -r pid; do
        kill -KILL "$pid" 2>/dev/null || true
    done <"$work/unshares"
    wait
    # Nothing mounted inside a root is removed with it.
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# The lines run.sh says on a machine without a display, and no other.
RUN_LINES='^(Installing .*|Configuring Hexlark|Building Hexlark|No display \(neither DISPLAY nor WAYLAND_DISPLAY is set\): showing Hexlark on a private Xvfb\.|Screenshot of the window: /root/hexlark/build/hexlark-screenshot\.png)$'

# enter ROOT RELEASE COMMAND: runs COMMAND (a shell line) in the root (a
# folder of $work) of that release, at the top of its clone, as a login on a
# booted machine would.
enter() {
    unshare --pid --fork --kill-child --mount --propagation private -- bash -c '
        set -e
        r="$1"
        # A booted machine'"'"'s / is a mount point, as unshare --propagation wants.
        mount --bind "$r" "$r"
        mount -t proc proc "$r/proc"
        mount -t sysfs sysfs "$r/sys"
        mount -t devpts -o newinstance,ptmxmode=0666,mode=620,gid=5 devpts "$r/dev/pts"
        mount -t tmpfs -o mode=1777 tmpfs "$r/dev/shm"
        mount -t tmpfs -o mode=755 tmpfs "$r/run"
        if [ "$2" = trixie ]; then
            mount -t tmpfs -o mode=1777 tmpfs "$r/tmp"
        fi
        exec chroot "$r" env -i HOME=/root TERM=xterm PATH=/usr/sbin:/usr/bin:/sbin:/bin \
            bash -c "cd /root/hexlark && $3"' - "$work/$1" "$2" "$3" &
    echo "$!" >>"$work/unshares"
    wait "$!"
}

# check RELEASE: makes its root and runs both commands there, with its
# output in $work/RELEASE.log and its verdict the last line there. Beside
# them, in a copy of the bare root, the packaging scripts each work alone:
# package-windows.sh first thing, then autopkgtest.sh, which builds the
# Debian package with build-deb.sh before anything else has installed what
# that needs.
check() {
    local release="$1" log="$work/$1.log" start took=() alone
    {
        mmdebstrap --quiet --variant=important --include=git,ca-certificates "$release" "$work/$release" &&
            git clone --quiet "$root" "$work/$release/root/hexlark" &&
            cp -a "$work/$release" "$work/$release-alone" || {
            echo "$release: no bare root could be made (are Debian's mirrors reachable?)"
            return 1
        }
        enter "$release-alone" "$release" "bash scripts/package-windows.sh && bash scripts/autopkgtest.sh" \
            >"$work/$release-alone.log" 2>&1 &
        alone=$!
        for command in run test; do
            start=$SECONDS
            enter "$release" "$release" "bash scripts/$command.sh" >"$work/$release-$command.log" 2>&1 || {
                tail -n 200 "$work/$release-$command.log"
                echo "$release: bash scripts/$command.sh failed after $((SECONDS - start)) s"
                return 1
            }
            took+=("$command.sh $((SECONDS - start)) s")
        done
        wait "$alone" || {
            tail -n 50 "$work/$release-alone.log"
            echo "$release: package-windows.sh, then autopkgtest.sh, in a bare root failed"
            return 1
        }
        if grep -vqE "$RUN_LINES" "$work/$release-run.log"; then
            grep -vE "$RUN_LINES" "$work/$release-run.log"
            echo "$release: run.sh said more than its own lines (above)"
            return 1
        fi
        echo "$release: both commands passed (${took[*]}), and the packaging scripts alone"
    } >"$log" 2>&1
}

for release in "${releases[@]}"; do
    check "$release" &
done
status=0
for release in "${releases[@]}"; do
    wait -n || status=1
done
for release in "${releases[@]}"; do
    if [ "$status" -eq 0 ]; then
        tail -n 1 "$work/$release.log"
    else
        cat "$work/$release.log"
    fi
done
exit "$status"
