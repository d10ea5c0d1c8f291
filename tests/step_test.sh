# bash step_test.sh SOURCE_DIR
# A step of the scripts says one line when it works; when it fails, it ends
# the script at once with status 1, after the end of its output (or what its
# script has it show) and a line naming the step and where the whole of it
# is, or, where no log can be written, its output and that line. A failed
# test run shows each failing test's own output (without a report, the
# log's end). Installing without root or sudo is one line with the command
# that would do it, and so is test.sh's testbed once every other step has
# run; with no locale or the C one, what the scripts run has a UTF-8 one. A
# folder is taken only if it is new, empty or the scripts' own.
set -u
set -- "$(cd "$1" && pwd)"
# shellcheck source=../scripts/packages.sh
source "$1/scripts/packages.sh"
HEXLARK_LOGS="$(mktemp -d)"
mine="$(mktemp -d)"
trap 'rm -rf "$HEXLARK_LOGS" "$mine" "$mine.hidden" "$mine.ours"' EXIT
fails() { printf 'status %s, said:\n%s\n' "$status" "$said"; exit 1; }
# try COMMAND...: what it said, with nothing to read, in said, and its status in status.
try() { said="$("$@" 2>&1 </dev/null)"; status=$?; }

# With no locale in the environment, or a user's LC_ALL=C, what the scripts run has a UTF-8 one.
for locale in "" LC_ALL=C; do
    said="$(env -i PATH="$PATH" ${locale:+"$locale"} bash -c 'source "$1/scripts/step.sh"; locale charmap' - "$1" 2>&1)"
    [ "$said" = "UTF-8" ] || { echo "with ${locale:-no locale}, the scripts' charmap: $said"; exit 1; }
done

# A step by its --show function (or none), what it says, the status of what it runs, and the lines
# it says between its own and its last: one naming the step and its log, or the script's next.
shown() { echo "shown: $(cat "$1")"; }
mkdir "$HEXLARK_LOGS/no-log-here.log"
for row in "|Passing on purpose|0|" "|Failing on purpose now|3|the reason" \
    "shown|Failing and shown|3|shown: the reason" "|No log here|3|the reason"; do
    IFS="|" read -r show what exits lines <<<"$row"
    said="$( (step ${show:+--show "$show"} "$what" sh -c "echo the reason; exit $exits"; echo "went on") 2>&1)"
    status=$?
    last="$(tail -n 1 <<<"$said")"
    [ "$status" = $((exits ? 1 : 0)) ] && [ "$said" = "$(printf '%s\n' "$what" ${lines:+"$lines"} "$last")" ] &&
        [[ "$status$last" == 1*"$what"*"$HEXLARK_LOGS/"* || "$status$last" == "0went on" ]] || fails
done

# A user who is not root (a stand-in id), with no terminal, on a system
# without sudo and with a sudo that would ask a password: installing is one
# line, with the command that would do it, and nothing more. Stand-ins for
# that user's tools, each failing unless run through a sudo that asks nothing.
user="$HEXLARK_LOGS/user"
mkdir "$HEXLARK_LOGS/bin" "$user"
# shellcheck disable=SC2046
ln -s $(command -v bash dirname dpkg-query grep) "$HEXLARK_LOGS/bin/"
printf '#!/bin/sh\n[ "$1" = -u ] && echo 1000\n' >"$user/id"
printf '#!/bin/sh\necho "sudo: a password is required" >&2\nexit 1\n' >"$user/sudo"
printf '#!/bin/sh\necho "${0##*/} $*" >>"%s/ran"\n' "$HEXLARK_LOGS" | tee "$user/cmake" >"$user/ctest"
printf '#!/bin/sh\nfor root; do case "$root" in */testbed) break ;; esac; done\n[ "$AS_ROOT" ] && mkdir "$root" &&
    echo "$root" >>"%s/roots"\n' "$HEXLARK_LOGS" >"$user/mmdebstrap"
printf '#!/bin/sh\nwhile [ "$1" != - ]; do shift; done\n[ "$AS_ROOT" ] && echo "hexlark PASS" >"$3"\n' >"$user/unshare"
printf '#!/bin/sh\nexit 3\n' >"$user/dpkg-buildpackage"
printf '#!/bin/sh\necho "release o=Debian"\ncase "$*" in *wine*) echo "Candidate: $STUB_WINE" ;; *) echo "Candidate: 1.0" ;; esac\n' \
    >"$user/apt-cache"
printf '#!/bin/sh\n[ "$1" = install ] && echo "$*" >"%s/asked"\nexit 0\n' "$HEXLARK_LOGS" >"$user/apt-get"
# A package awaiting its triggers, as while another package is installed, is
# installed: nothing is asked for. So dpkg, with $user first, has everything.
printf '#!/bin/sh\necho triggers-pending\n' >"$user/dpkg-query"
chmod +x "$user/"*
ln -s "$user/id" "$HEXLARK_LOGS/bin/"
for row in "none|1|" "asking|1|" "triggers pending|0|$user:"; do
    IFS="|" read -r sudo wanted first <<<"$row"
    [ "$sudo" != asking ] || ln -s "$user/sudo" "$HEXLARK_LOGS/bin/"
    try setsid -w env PATH="$first$HEXLARK_LOGS/bin" bash -c \
        'source "$1/scripts/packages.sh"; ensure_packages hexlark-none-such; echo "went on"' - "$1"
    [ "$status" = "$wanted" ] && [ "$(wc -l <<<"$said")" = 1 ] && [[ "$status$said" == "0went on" ||
        "$said" == *"apt-get install --no-install-recommends hexlark-none-such" ]] || fails
done
# That user's test.sh, everything installed (in a copy of the scripts): every
# preset it can run, then a line naming the command that would run the rest,
# and a failure.
cp -r "$1/scripts" "$1/debian" "$user/"
try setsid -w env PATH="$user:$PATH" bash "$user/scripts/test.sh"
[ "$status" = 1 ] && [[ "$(tail -n 1 <<<"$said")" == *"run sudo -v && bash scripts/autopkgtest.sh" ]] &&
    [ "$(sed -n 's/^ctest --preset \([a-z]*\).*/\1/p' "$HEXLARK_LOGS/ran" | sort -u | xargs)" = "asan ci" ] || fails
# That user's autopkgtest.sh: with that sudo, one line and no folder made;
# with one that asks nothing (and stand-ins for the package's build and the
# design's pixels' build), it passes.
try setsid -w env PATH="$user:$PATH" bash "$user/scripts/autopkgtest.sh" "$user/testbed"
[ "$status" = 1 ] && [[ "$said" == *"bash scripts/autopkgtest.sh" ]] && ! [ -e "$user/testbed" ] || fails
printf '#!/bin/sh\n[ "$1" != -n ] || shift\nAS_ROOT=yes exec "$@"\n' >"$user/sudo"
printf '#!/bin/sh\nmkdir -p "$1/tree/tests"\necho hexlark.deb\n' >"$user/scripts/build-deb.sh"
printf '#!/bin/sh\n[ "$1" != --build ] || { mkdir -p "$2/tests" && echo {} >"$2/tests/design_pixels.json"; }\n' >"$user/cmake"
# A root made ahead (--root-only, which tests nothing) serves the next run, and that run alone.
for ahead in "" --root-only "" ""; do
    rm -f "$user/testbed/summary"
    try setsid -w env -u HEXLARK_DESIGN_PIXELS PATH="$user:$PATH" bash "$user/scripts/autopkgtest.sh" $ahead "$user/testbed"
    [ "$status" = 0 ] && if [ -n "$ahead" ]; then ! [ -e "$user/testbed/summary" ]; else [ -s "$user/testbed/summary" ]; fi ||
        fails
done
[ "$(wc -l <"$HEXLARK_LOGS/roots")" = 3 ] || { echo "roots made for 3 runs, one made ahead: $(cat "$HEXLARK_LOGS/roots")"; exit 1; }

# Every script that takes a folder, given one that holds files of the
# user's (another tree's build, and a signed/ of its own) or only a hidden
# one, by its path or as ".": refused in one line that names the script and
# the folder, the files kept; that user, with a sudo that asks nothing, so
# that the folder is what is refused. And build-deb.sh given none says how
# to use it.
mkdir "$mine/signed" "$mine.hidden"
echo "the user's" | tee "$mine/notes.txt" "$mine/signed/hexlark.msi" >"$mine.hidden/.notes"
echo "CMAKE_HOME_DIRECTORY:INTERNAL=/another/tree" >"$mine/CMakeCache.txt"
for script in build-deb.sh autopkgtest.sh build-windows.sh package-windows.sh; do
    for given in "$mine" . "$mine.hidden"; do
        try timeout 10 env -C "$mine" HEXLARK_WINDOWS_BUILD="$given" PATH="$user:$PATH" bash "$1/scripts/$script" "$given"
        [ "$status" = 1 ] && [ "$(wc -l <<<"$said")" = 1 ] && [[ "$said" == "$script: "*"${given/#./$mine}"* ]] &&
            [ -f "$mine/notes.txt" ] && [ -f "$mine/signed/hexlark.msi" ] && [ -f "$mine.hidden/.notes" ] || fails
    done
done
try timeout 10 bash "$1/scripts/build-deb.sh"
[ "$status" = 2 ] && [ "$(wc -l <<<"$said")" = 1 ] && [[ "$said" == *"scripts/build-deb.sh DIR"* ]] || fails

# A folder build-deb.sh made, holding a file the user put there since: the
# next run takes it again and replaces only what it made (the build itself
# stopped at once), its log in the checkout's build/logs.
PATH="$user:$PATH" timeout 60 bash "$1/scripts/build-deb.sh" "$mine.ours" >/dev/null 2>&1
echo "the user's" >"$mine.ours/notes.txt"
try env PATH="$user:$PATH" timeout 60 bash "$1/scripts/build-deb.sh" "$mine.ours"
[ "$status" = 1 ] && [[ "$(tail -n 1 <<<"$said")" == *"$1/build/logs/"*.log ]] && [ -f "$mine.ours/notes.txt" ] || fails

# A failed test run shows a failing test's own output, from the JUnit report of a real CTest
# run, and nothing of a test that passed; with no report, the end of the run's log.
printf '%s\n' "cmake_minimum_required(VERSION 3.25)" "project(failing NONE)" "enable_testing()" \
    'add_test(NAME passes COMMAND sh -c "echo all well")' \
    'add_test(NAME fails COMMAND sh -c "echo the reason; exit 1")' >"$HEXLARK_LOGS/CMakeLists.txt"
cmake -S "$HEXLARK_LOGS" -B "$HEXLARK_LOGS/ctest" >/dev/null
report="$HEXLARK_LOGS/report.xml"
ctest --test-dir "$HEXLARK_LOGS/ctest" --output-junit "$report" >/dev/null 2>&1
try failures /dev/null
[ "$status" = 0 ] && [[ "$said" == *fails*"the reason"* ]] && [[ "$said" != *"all well"* ]] || fails
report="" try failures <(seq 150)
[ "$status" = 0 ] && [ "$said" = "$(seq 51 150)" ] || fails

# Installing on a release that packages no Wine leaves it out, saying so in
# one line, and asks apt for the rest; on one that does, Wine is asked for.
for row in "(none):xclip:wine fonts-wine" "9.0:xclip wine fonts-wine:"; do
    IFS=: read -r wine wanted expected <<<"$row"
    STUB_WINE="$wine" PATH="$user:$PATH" try apt_install xclip wine fonts-wine
    # One line naming what was left out, or nothing.
    [[ "$said" == ${expected:+*"$expected"*} ]] && [ "$(wc -l <<<"$said")" = 1 ] && [ "$status" = 0 ] &&
        [ "$(sed 's/.*--no-install-recommends //' "$HEXLARK_LOGS/asked")" = "$wanted" ] ||
        { echo "with Wine's candidate $wine, apt was asked for: $(cat "$HEXLARK_LOGS/asked")"; fails; }
done
