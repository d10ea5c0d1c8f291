#!/usr/bin/env bash
# Runs the README's two commands, bash scripts/run.sh and then
# bash scripts/test.sh, as a new developer does on a fresh Debian 12, Debian
# 13 and Debian testing: each in a bare root made with mmdebstrap from
# Debian's mirror (the release's important packages, git and
# ca-certificates, and sudo where a user runs them), holding nothing of this
# machine but a clone of this checkout's last commit, entered with chroot
# with an empty environment, and in pid and mount namespaces of its own with
# what a booted machine has mounted: / itself, /proc, /sys, /dev/pts,
# /dev/shm and /run (and /tmp, which Debian 13 and later keep in memory).
#
# Who runs them where (RUNS_AS): on Debian 12 "dev", a user made with
# useradd -m who may sudo without a password, the commands run with su from
# a clone in that user's home; elsewhere root. On Debian 13, once root's run
# has installed everything, "plain", a user with neither root nor sudo, runs
# test.sh, which must run every step it can and end non-zero with one line
# naming the step that needs root. The releases run side by side, and beside
# each, in a copy of its bare root, package-windows.sh and autopkgtest.sh
# each first thing, as the release's user; of all these scripts, two run at
# a time (in the folder HEXLARK_SLOTS, where given, shared with a caller).
# Each release says whether and how fast its commands passed and that
# run.sh said only the lines it is written to say; on a failure, the end of
# what the step said and a line naming the release and the step. Where the
# mirror's Release file has expired, it says so and that root alone goes on
# without apt's date check.
# Needs root and Debian's mirror; works in a new folder of its own under
# TMPDIR (/var/tmp unless set), removed at the end.
#
#   bash .ci/check-releases.sh [RELEASE...]     (bookworm trixie testing unless given)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=../scripts/packages.sh
source "$root/scripts/packages.sh"

declare -A RUNS_AS=([bookworm]=dev [trixie]=root [testing]=root)
NO_SUDO_IN=trixie
# Bounds that end a mirror that does not answer, or a step that hangs.
ROOT_TIME=20m
STEP_TIME=75m
# What apt is told where the mirror's Release file has expired.
NO_DATE_CHECK=(--aptopt='Acquire::Check-Valid-Until "false"')

# The commands that do the slow work, as functions of their own so that
# tests/guard_test.sh can put stand-ins in their place.

prepare() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "check-releases.sh: making and entering a Debian root needs root" >&2
        exit 1
    fi
    ensure_packages mmdebstrap git
}

# bounded TIME COMMAND...: runs COMMAND for at most TIME, ended with all it
# started when the guard ends.
bounded() {
    timeout --signal=KILL --kill-after=5s "$@" &
    echo "$!" >>"$work/running"
    wait "$!"
}

# make_root RELEASE FOLDER [MMDEBSTRAP OPTION...]
make_root() {
    bounded "$ROOT_TIME" mmdebstrap --variant=important --include=git,ca-certificates \
        "${@:3}" "$1" "$2"
}

# furnish FOLDER USER: makes the user in the root (root is there), "dev" one who
# may sudo, and clones this checkout's last commit into the user's home.
furnish() {
    local home=/root
    if [ "$2" != root ]; then
        home="/home/$2"
        chroot "$1" useradd --create-home --shell /bin/bash "$2"
        if [ "$2" = dev ]; then
            echo "dev ALL=(ALL) NOPASSWD:ALL" >"$1/etc/sudoers.d/dev"
            chmod 440 "$1/etc/sudoers.d/dev"
        fi
    fi
    git clone --quiet "$root" "$1$home/hexlark"
    chroot "$1" chown -R "$2:" "$home/hexlark"
}

# enter FOLDER RELEASE USER COMMAND: runs COMMAND (a shell line) in the root
# in FOLDER, of that release, at the top of the user's clone, as a login on
# a booted machine would.
enter() {
    bounded "$STEP_TIME" unshare --pid --fork --kill-child --mount --propagation private -- bash -c '
        set -e
        r="$1"
        # A booted machine'"'"'s / is a mount point, as unshare --propagation wants.
        mount --bind "$r" "$r"
        mount -t proc proc "$r/proc"
        mount -t sysfs sysfs "$r/sys"
        mount -t devpts -o newinstance,ptmxmode=0666,mode=620,gid=5 devpts "$r/dev/pts"
        mount -t tmpfs -o mode=1777 tmpfs "$r/dev/shm"
        mount -t tmpfs -o mode=755 tmpfs "$r/run"
        if [ "$2" != bookworm ]; then
            mount -t tmpfs -o mode=1777 tmpfs "$r/tmp"
        fi
        if [ "$3" = root ]; then
            exec chroot "$r" env -i HOME=/root TERM=xterm PATH=/usr/sbin:/usr/bin:/sbin:/bin \
                bash -c "cd /root/hexlark && $4"
        fi
        exec chroot "$r" env -i TERM=xterm su - "$3" -c "cd hexlark && $4"' - "$@"
}

home_of() {
    if [ "$1" = root ]; then echo /root; else echo "/home/$1"; fi
}

# in_slot COMMAND...: runs it once one of the slots (files in $slots, two) is
# free. The heavy steps, each root's scripts and CI's own test run (which
# holds the first slot while it runs), go two at a time: ten at once on two
# cores end tests on their bounds, not on their faults.
in_slot() {
    local slot fd status=0
    while [ ! -e "$work/stopping" ]; do
        for slot in "$slots"/*; do
            exec {fd}>>"$slot"
            if flock -n "$fd"; then
                "$@" || status=$?
                exec {fd}>&-
                return "$status"
            fi
            exec {fd}>&-
        done
        sleep 0.5
    done
    return 1
}

# run_step RELEASE FOLDER USER SCRIPT...: runs the scripts one after the
# other as the user, in a slot, the output in $work/FOLDER-USER-SCRIPT.log
# (the first script's name) and the seconds they took in took_s; on a
# failure says the end of it and a line naming the release.
run_step() {
    in_slot run_step_now "$@"
}

run_step_now() {
    local release="$1" folder="$2" user="$3" start=$SECONDS log="$work/$2-$3-${4%.sh}.log"
    local line status=0
    line="$(printf 'bash scripts/%s && ' "${@:4}")"
    enter "$work/$folder" "$release" "$user" "${line% && }" >"$log" 2>&1 || status=$?
    took_s=$((SECONDS - start))
    [ "$status" -eq 0 ] && return 0
    tail -n 100 "$log"
    echo "$release: ${line% && } as $user failed after $took_s s"
    return 1
}

# The lines run.sh is written to say, its own and its steps', read from the
# scripts in FOLDER: a string's text up to its first expansion, or whole.
said_only_its_lines() {
    awk 'FILENAME == ARGV[1] { i = index($0, "$"); if (i > 1) { start[substr($0, 1, i - 1)] } else if (!i) { whole[$0] }; next }
         $0 in whole { next }
         { for (s in start) { if (index($0, s) == 1) { next } }; print }' \
        <(sed -n 's/.*\<\(echo\|step\) "\([^"]*\)".*/\2/p' "$1/scripts/run.sh" "$1/scripts/packages.sh") "$2"
}

# check RELEASE: makes its root and runs both commands there, with its
# lines in $work/RELEASE.log, its verdict the last. Beside them, in a copy of
# the bare root, the packaging scripts each work alone: package-windows.sh
# first thing, then autopkgtest.sh, which builds the Debian package with
# build-deb.sh before anything else has installed what that needs.
check() {
    local release="$1" user="${RUNS_AS[$1]}" took=() alone options=() extra
    local made="$work/$release-root.log"
    {
        [ "$user" = root ] || options+=(--include=sudo)
        if ! make_root "$release" "$work/$release" "${options[@]}" >"$made" 2>&1; then
            if grep -q "Release file for .* is expired" "$made"; then
                echo "$release: the mirror's Release file has expired; this root goes on without apt's date check"
                rm -rf --one-file-system "${work:?}/$release"
                make_root "$release" "$work/$release" "${options[@]}" "${NO_DATE_CHECK[@]}" >"$made" 2>&1
            else
                false
            fi || {
                echo "$release: no bare root could be made (does Debian's mirror answer?): $(grep -m 1 '^E: ' "$made")"
                return 1
            }
        fi
        furnish "$work/$release" "$user" >>"$made" 2>&1 &&
            cp -a "$work/$release" "$work/$release-alone" || {
            tail -n 20 "$made"
            echo "$release: the bare root could not be furnished"
            return 1
        }
        # Its status in a file: this shell forks so often (in_slot's sleeps) that the
        # pid may be another child's by the time it is waited for, and then
        # wait knows it no more.
        {
            run_step "$release" "$release-alone" "$user" package-windows.sh autopkgtest.sh
            echo "$?" >"$work/$release-alone.status"
        } &
        alone=$!
        # A release that fails early still waits for them: left behind, they would
        # wait for a slot in a folder the guard has removed, for ever.
        trap 'wait' EXIT
        run_step "$release" "$release" "$user" run.sh || return 1
        took+=("run.sh $took_s s")
        extra="$(said_only_its_lines "$work/$release$(home_of "$user")/hexlark" "$work/$release-$user-run.log")"
        if [ -n "$extra" ]; then
            echo "$extra"
            echo "$release: run.sh said more than the lines it is written to say (above)"
            return 1
        fi
        run_step "$release" "$release" "$user" test.sh || return 1
        took+=("test.sh $took_s s")
        wait "$alone" 2>/dev/null || true
        [ "$(cat "$work/$release-alone.status" 2>/dev/null)" = 0 ] || return 1
        if [ "$release" = "$NO_SUDO_IN" ]; then
            if ! furnish "$work/$release" plain >>"$made" 2>&1 ||
                run_step "$release" "$release" plain test.sh >/dev/null ||
                ! tail -n 1 "$work/$release-plain-test.log" | grep -q "scripts/autopkgtest.sh"; then
                tail -n 20 "$work/$release-plain-test.log"
                echo "$release: test.sh as a user without root or sudo did not end non-zero with one line naming the step that needs root"
                return 1
            fi
            took+=("and as plain $took_s s")
        fi
        echo "$release: both commands passed as $user (${took[*]}), and the packaging scripts alone"
    } >"$work/$release.log" 2>&1
}

# Ends what still runs: no step starts any more, and each timeout of bounded
# passes TERM on to all it started, and KILL after, which an unshare of enter
# needs (it ignores TERM; killed, it takes every process of its namespace
# with it). Then removes the roots: nothing mounted inside one is removed
# with it.
stop_all() {
    local pid
    touch "$work/stopping"
    kill -TERM "${checks[@]}" 2>/dev/null || true
    while read -r pid; do
        kill -TERM "$pid" 2>/dev/null || true
    done <"$work/running"
    while read -r pid; do
        while kill -0 "$pid" 2>/dev/null; do sleep 0.2; done
    done <"$work/running"
    wait
    rm -rf --one-file-system "$work"
}

main() {
    local release status=0 checks=() pid
    [ $# -gt 0 ] || set -- bookworm trixie testing
    for release in "$@"; do
        if [ -z "${RUNS_AS[$release]:-}" ]; then
            echo "check-releases.sh: $release is no release this guard knows (it knows ${!RUNS_AS[*]})" >&2
            exit 1
        fi
    done
    prepare
    work="$(mktemp -d "${TMPDIR:-/var/tmp}/hexlark-releases.XXXXXX")"
    : >"$work/running"
    # CI's run hands on the slots it shares with its own test run.
    slots="${HEXLARK_SLOTS:-$work/slots}"
    mkdir -p "$slots"
    touch "$slots/1" "$slots/2"
    trap 'stop_all' EXIT
    trap 'exit 1' INT TERM
    for release in "$@"; do
        check "$release" &
        checks+=("$!")
    done
    # Each by its id: wait -n can miss one that ended before it was called.
    for pid in "${checks[@]}"; do
        wait "$pid" || status=1
    done
    checks=()
    # Every release's lines, the last its verdict.
    for release in "$@"; do
        cat "$work/$release.log" 2>/dev/null || true
        if ! tail -n 1 "$work/$release.log" 2>/dev/null | grep -q "^$release: "; then
            echo "$release: ended without a verdict"
            status=1
        fi
    done
    exit "$status"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    main "$@"
fi
