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
trap 'rm -rf "$HEXLARK_LOGS"' EXIT
fails() { printf 'status %s, said:\n%s\n' "$status" "$said"; exit 1; }

# With no locale in the environment, or a user's LC_ALL=C, what the scripts run has a UTF-8 one.
for locale in "" LC_ALL=C; do
    said="$(env -i PATH="$PATH" ${locale:+"$locale"} bash -c 'source "$1/scripts/step.sh"; locale charmap' - "$1" 2>&1)"
    [ "$said" = "UTF-8" ] || { echo "with ${locale:-no locale}, the scripts' charmap: $said"; exit 1; }
done

said="$(step "Passing on purpose" true 2>&1)"
[ "$said" = "Passing on purpose" ] || { echo "a good step said: $said"; exit 1; }

# failed WHAT LOG LINES...: the step WHAT ended the script with status 1, having said its own
# line, then LINES, then one line that names the step and LOG.
failed() {
    local what="$1" log="$2" last
    shift 2
    last="$(tail -n 1 <<<"$said")"
    [ "$status" = 1 ] && [ "$said" = "$(printf '%s\n' "$what" "$@" "$last")" ] &&
        [[ "$last" == *"$what"*"$log"* ]] || fails
}
said="$( (step "Failing on purpose now" sh -c 'echo the reason; exit 3'; echo "went on") 2>&1)"
status=$?
failed "Failing on purpose now" "$HEXLARK_LOGS/failing-on-purpose-now.log" "the reason"

shown() { echo "shown from $1"; }
said="$( (step --show shown "Failing and shown" sh -c 'echo the reason; exit 3'; echo "went on") 2>&1)"
status=$?
failed "Failing and shown" "$HEXLARK_LOGS/failing-and-shown.log" "shown from $HEXLARK_LOGS/failing-and-shown.log"

mkdir "$HEXLARK_LOGS/no-log-here.log"
said="$( (step "No log here" sh -c 'echo the reason; exit 3'; echo "went on") 2>&1)"
status=$?
failed "No log here" "$HEXLARK_LOGS/no-log-here.log" "the reason"

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
[ "$status" = 1 ] && [[ "$(tail -n 1 <<<"$said")" == *"run sudo -v && bash scripts/autopkgtest.sh" ]] &&
    grep -q "ctest --preset asan" "$HEXLARK_LOGS/ran" && ! grep -q "preset testbed" "$HEXLARK_LOGS/ran" || fails
# That user's autopkgtest.sh: with that sudo, one line and no folder made;
# with one that asks nothing (stand-ins for the package's and the pixels' builds and for
# what must run as root, which fail unless run through sudo), it passes.
said="$(setsid -w env PATH="$user:$PATH" bash "$user/scripts/autopkgtest.sh" "$user/testbed" 2>&1 </dev/null)"
status=$?
[ "$status" = 1 ] && [[ "$said" == *"bash scripts/autopkgtest.sh" ]] && ! [ -e "$user/testbed" ] || fails
printf '#!/bin/sh\n[ "$1" != -n ] || shift\nAS_ROOT=yes exec "$@"\n' >"$user/sudo"
printf '#!/bin/sh\nfor root; do case "$root" in */testbed) break ;; esac; done\n[ "$AS_ROOT" ] && mkdir "$root"\n' >"$user/mmdebstrap"
printf '#!/bin/sh\nwhile [ "$1" != - ]; do shift; done\n[ "$AS_ROOT" ] && echo "hexlark PASS" >"$3"\n' >"$user/unshare"
printf '#!/bin/sh\nmkdir -p "$1/tree/tests"\necho hexlark.deb\n' >"$user/scripts/build-deb.sh"
chmod +x "$user/mmdebstrap" "$user/unshare"
printf '#!/bin/sh\n[ "$1" != --build ] || { mkdir -p "$2/tests" && echo {} >"$2/tests/design_pixels.json"; }\n' >"$user/cmake"
said="$(setsid -w env -u HEXLARK_DESIGN_PIXELS PATH="$user:$PATH" \
    bash "$user/scripts/autopkgtest.sh" "$user/testbed" 2>&1 </dev/null)"
status=$?
[ "$status" = 0 ] || fails

# Every script that takes a folder, given one that holds files of the
# user's (another tree's build, and a signed/ of its own) or only a hidden
# one, by its path or as ".": refused in one line that names the script and
# the folder, the files kept. And build-deb.sh given none says how to use it.
mine="$(mktemp -d)"
hidden="$mine.hidden"
ours="$mine.ours"
trap 'rm -rf "$HEXLARK_LOGS" "$mine" "$hidden" "$ours"' EXIT
mkdir "$mine/signed" "$hidden"
echo "the user's" | tee "$mine/notes.txt" "$mine/signed/hexlark.msi" >"$hidden/.notes"
echo "CMAKE_HOME_DIRECTORY:INTERNAL=/another/tree" >"$mine/CMakeCache.txt"
# A user who is not root is given a sudo that asks nothing, so that the
# folder is what is refused.
mkdir "$HEXLARK_LOGS/asks-nothing"
cp "$user/sudo" "$HEXLARK_LOGS/asks-nothing/"
for script in build-deb.sh autopkgtest.sh build-windows.sh package-windows.sh; do
    for given in "$mine" . "$hidden"; do
        if [[ "$script" == *-windows.sh ]]; then
            said="$(cd "$mine" && HEXLARK_WINDOWS_BUILD="$given" PATH="$HEXLARK_LOGS/asks-nothing:$PATH" \
                timeout 10 bash "$1/scripts/$script" 2>&1)"
        else
            said="$(cd "$mine" && PATH="$HEXLARK_LOGS/asks-nothing:$PATH" timeout 10 bash "$1/scripts/$script" "$given" 2>&1)"
        fi
        status=$?
        [ "$status" = 1 ] && [ "$(wc -l <<<"$said")" = 1 ] && [[ "$said" == "$script: "*"${given/#./$mine}"* ]] &&
            [ -f "$mine/notes.txt" ] && [ -f "$mine/signed/hexlark.msi" ] && [ -f "$hidden/.notes" ] || fails
    done
done
said="$(timeout 10 bash "$1/scripts/build-deb.sh" 2>&1)"
status=$?
[ "$status" = 2 ] && [ "$(wc -l <<<"$said")" = 1 ] && [[ "$said" == *"scripts/build-deb.sh DIR"* ]] || fails

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
[ "$status" = 1 ] && [[ "$(tail -n 1 <<<"$said")" == *"$1/build/logs/building-the-debian-package.log" ]] &&
    [ -f "$ours/notes.txt" ] || fails

# A failed test run shows a failing test's own output, from the JUnit report of a real CTest
# run, and nothing of a test that passed.
project="$HEXLARK_LOGS/ctest"
mkdir "$project"
printf '%s\n' "cmake_minimum_required(VERSION 3.25)" "project(failing NONE)" "enable_testing()" \
    'add_test(NAME passes COMMAND sh -c "echo all well")' \
    'add_test(NAME fails COMMAND sh -c "echo the reason; exit 1")' >"$project/CMakeLists.txt"
cmake -S "$project" -B "$project/build" >/dev/null
(cd "$project/build" && ctest --output-junit report.xml >/dev/null 2>&1)
report="$project/build/report.xml"
said="$(failures /dev/null 2>&1)"
status=$?
[ "$status" = 0 ] && [[ "$said" == *fails*"the reason"* ]] && [[ "$said" != *"all well"* ]] || fails

# With no report, the end of the run's log.
seq 150 >"$project/run.log"
report="$project/none.xml"
said="$(failures "$project/run.log" 2>&1)"
status=$?
[ "$status" = 0 ] && [ "$said" = "$(seq 51 150)" ] || fails

# Installing on a release that packages no Wine leaves it out, saying so in
# one line, and asks apt for the rest; on one that does, Wine is asked for.
mkdir "$HEXLARK_LOGS/apt"
cat >"$HEXLARK_LOGS/apt/apt-cache" <<'STUB'
#!/bin/sh
case "$*" in
    policy) printf ' 500 http://deb.debian.org/debian testing/main\n     release o=Debian\n' ;;
    *wine*) printf '%s:\n  Candidate: %s\n' "$2" "$STUB_WINE" ;;
    *) printf '%s:\n  Candidate: 1.0\n' "$2" ;;
esac
STUB
printf '#!/bin/sh\n[ "$1" = install ] && echo "$*" >"%s/apt/asked"\nexit 0\n' "$HEXLARK_LOGS" \
    >"$HEXLARK_LOGS/apt/apt-get"
printf '#!/bin/sh\nwhile [ "${1#-}" != "$1" ]; do shift; done\nexec "$@"\n' >"$HEXLARK_LOGS/apt/sudo"
chmod +x "$HEXLARK_LOGS/apt/"*
for row in "(none):xclip:wine fonts-wine" \
    "9.0:xclip wine fonts-wine:"; do
    IFS=: read -r wine wanted expected <<<"$row"
    said="$(STUB_WINE="$wine" PATH="$HEXLARK_LOGS/apt:$PATH" apt_install xclip wine fonts-wine 2>&1 >/dev/null)"
    status=$?
    asked="$(cat "$HEXLARK_LOGS/apt/asked")"
    # One line naming what was left out, or nothing.
    { [ -z "$expected" ] && [ -z "$said" ] || { [[ "$said" == *"$expected"* ]] && [ "$(wc -l <<<"$said")" = 1 ]; }; } &&
        [ "$status" = 0 ] && [ "${asked##*--no-install-recommends }" = "$wanted" ] ||
        { echo "with Wine's candidate $wine, apt was asked for: $asked"; fails; }
done
