# bash step_test.sh SOURCE_DIR
# A step of the scripts says one line when it works; when it fails, it ends
# the script at once with status 1, after the end of its output (or what its
# script has it show) and a line naming the step and where the whole of it
# is, or, where no log can be written, its output and that line. Installing
# without root or sudo is one line with the command that would do it, and so
# is test.sh's testbed once every other step has run; with no
# locale, what the scripts run has a UTF-8 one. A folder is taken only if
# it is new, empty or the scripts' own.
set -u
set -- "$(cd "$1" && pwd)"
# shellcheck source=../scripts/packages.sh
source "$1/scripts/packages.sh"
HEXLARK_LOGS="$(mktemp -d)"
trap 'rm -rf "$HEXLARK_LOGS"' EXIT
fails() { printf 'status %s, said:\n%s\n' "$status" "$said"; exit 1; }

# With no locale in the environment, what the scripts run has a UTF-8 one.
said="$(env -i PATH="$PATH" bash -c 'source "$1/scripts/step.sh"; locale charmap' - "$1" 2>&1)"
[ "$said" = "UTF-8" ] || { echo "with no locale, the scripts' charmap: $said"; exit 1; }

said="$(step "Passing on purpose" true 2>&1)"
[ "$said" = "Passing on purpose" ] || { echo "a good step said: $said"; exit 1; }
said="$( (step "Failing on purpose now" sh -c 'echo the reason; exit 3'; echo "went on") 2>&1)"
status=$?
expected="Failing on purpose now
the reason
Failing on purpose now failed; its whole output is in $HEXLARK_LOGS/failing-on-purpose-now.log"
[ "$status" = 1 ] && [ "$said" = "$expected" ] || fails

shown() { echo "shown from $1"; }
said="$( (step --show shown "Failing and shown" sh -c 'echo the reason; exit 3'; echo "went on") 2>&1)"
status=$?
expected="Failing and shown
shown from $HEXLARK_LOGS/failing-and-shown.log
Failing and shown failed; its whole output is in $HEXLARK_LOGS/failing-and-shown.log"
[ "$status" = 1 ] && [ "$said" = "$expected" ] || fails

mkdir "$HEXLARK_LOGS/no-log-here.log"
said="$( (step "No log here" sh -c 'echo the reason; exit 3'; echo "went on") 2>&1)"
status=$?
expected="No log here
the reason
No log here failed; its output is above (no log could be written at $HEXLARK_LOGS/no-log-here.log)"
[ "$status" = 1 ] && [ "$said" = "$expected" ] || fails

# A user who is not root (a stand-in id), with no terminal, on a system
# without sudo and with a sudo that would ask a password: installing is one
# line, with the command that would do it, and nothing more.
user="$HEXLARK_LOGS/user"
mkdir "$HEXLARK_LOGS/bin" "$user"
for tool in bash dirname dpkg-query grep; do
    ln -s "$(command -v "$tool")" "$HEXLARK_LOGS/bin/"
done
printf '#!/bin/sh\n[ "$1" = -u ] && echo 1000\n' >"$user/id"
printf '#!/bin/sh\necho "sudo: a password is required" >&2\nexit 1\n' >"$user/sudo"
chmod +x "$user/id" "$user/sudo"
ln -s "$user/id" "$HEXLARK_LOGS/bin/"
for sudo in none asking; do
    [ "$sudo" = none ] || ln -s "$user/sudo" "$HEXLARK_LOGS/bin/"
    said="$(setsid -w env PATH="$HEXLARK_LOGS/bin" bash -c \
        'source "$1/scripts/packages.sh"; ensure_packages hexlark-none-such; echo "went on"' - "$1" 2>&1 </dev/null)"
    status=$?
    [ "$status" = 1 ] && [ "$(wc -l <<<"$said")" = 1 ] &&
        [[ "$said" == *"apt-get install --no-install-recommends hexlark-none-such" ]] || fails
done
# That user's test.sh, everything installed (stand-ins for CMake's builds and
# tests, in a copy of the scripts): every preset it can run, then a line
# naming the command that would run the rest, and a failure.
for tool in cmake ctest; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/ran"\n' "$tool" "$HEXLARK_LOGS" >"$user/$tool"
    chmod +x "$user/$tool"
done
cp -r "$1/scripts" "$user/"
said="$(setsid -w env PATH="$user:$PATH" bash "$user/scripts/test.sh" 2>&1 </dev/null)"
status=$?
[ "$status" = 1 ] && [[ "$(tail -n 1 <<<"$said")" == *"bash scripts/autopkgtest.sh"* ]] &&
    grep -q "ctest --preset asan" "$HEXLARK_LOGS/ran" && ! grep -q "preset testbed" "$HEXLARK_LOGS/ran" || fails
# That user's autopkgtest.sh: with that sudo, one line and no folder made;
# with one that asks nothing (stand-ins for the package's build and for
# what must run as root, which fail unless run through sudo), it passes.
said="$(setsid -w env PATH="$user:$PATH" bash "$user/scripts/autopkgtest.sh" "$user/testbed" 2>&1 </dev/null)"
status=$?
[ "$status" = 1 ] && [[ "$said" == *"bash scripts/autopkgtest.sh" ]] && ! [ -e "$user/testbed" ] || fails
printf '#!/bin/sh\n[ "$1" != -n ] || shift\nAS_ROOT=yes exec "$@"\n' >"$user/sudo"
printf '#!/bin/sh\nfor root; do :; done\n[ "$AS_ROOT" ] && mkdir "$root"\n' >"$user/mmdebstrap"
printf '#!/bin/sh\nwhile [ "$1" != - ]; do shift; done\n[ "$AS_ROOT" ] && echo "hexlark PASS" >"$3"\n' >"$user/unshare"
printf '#!/bin/sh\necho hexlark.deb\n' >"$user/scripts/build-deb.sh"
chmod +x "$user/mmdebstrap" "$user/unshare"
said="$(setsid -w env PATH="$user:$PATH" bash "$user/scripts/autopkgtest.sh" "$user/testbed" 2>&1 </dev/null)"
status=$?
[ "$status" = 0 ] || fails

# Every script that takes a folder, given one that holds a file of the
# user's and another tree's build, by its path or as ".": refused in one
# line, the file kept. And
# build-deb.sh given none says how to use it.
mine="$(mktemp -d)"
ours="$mine.ours"
trap 'rm -rf "$HEXLARK_LOGS" "$mine" "$ours"' EXIT
echo "the user's" >"$mine/notes.txt"
echo "CMAKE_HOME_DIRECTORY:INTERNAL=/another/tree" >"$mine/CMakeCache.txt"
for script in build-deb.sh autopkgtest.sh build-windows.sh package-windows.sh; do
    for given in "$mine" .; do
        if [[ "$script" == *-windows.sh ]]; then
            said="$(cd "$mine" && HEXLARK_WINDOWS_BUILD="$given" timeout 10 bash "$1/scripts/$script" 2>&1)"
        else
            said="$(cd "$mine" && timeout 10 bash "$1/scripts/$script" "$given" 2>&1)"
        fi
        status=$?
        expected="$script: "*" ($mine) holds files that this script did not make: give a new or empty folder"
        # shellcheck disable=SC2053
        [ "$status" = 1 ] && [[ "$said" == $expected ]] && [ -f "$mine/notes.txt" ] || fails
    done
done
said="$(timeout 10 bash "$1/scripts/build-deb.sh" 2>&1)"
status=$?
[ "$status" = 2 ] && [ "$said" = "Usage: bash scripts/build-deb.sh DIR (a new or empty folder to build the package in)" ] || fails

# A folder build-deb.sh made, holding a file the user put there since: the
# next run takes it again and replaces only what it made (the build itself
# stopped at once), its log in the checkout's build/logs.
mkdir "$HEXLARK_LOGS/stub"
printf '#!/bin/sh\nexit 3\n' >"$HEXLARK_LOGS/stub/dpkg-buildpackage"
chmod +x "$HEXLARK_LOGS/stub/dpkg-buildpackage"
PATH="$HEXLARK_LOGS/stub:$PATH" timeout 60 bash "$1/scripts/build-deb.sh" "$ours" >/dev/null 2>&1
echo "the user's" >"$ours/notes.txt"
said="$(PATH="$HEXLARK_LOGS/stub:$PATH" timeout 60 bash "$1/scripts/build-deb.sh" "$ours" 2>&1)"
status=$?
expected="*Building the Debian package failed; its whole output is in $1/build/logs/building-the-debian-package.log"
# shellcheck disable=SC2053
[ "$status" = 1 ] && [[ "$said" == $expected ]] && [ -f "$ours/notes.txt" ] || fails
