# bash guard_test.sh SOURCE_DIR
# The guard (.ci/check-releases.sh) with stand-ins for its slow parts (the
# roots, entering them, the scripts run there): every release it is given
# ends in a line of its own, and a step that fails anywhere, a release it
# does not know or a mirror that does not answer ends it non-zero with a
# line naming the release, its folder removed; two of its scripts run at
# once, no more. Where the mirror's Release file has expired, that root
# alone goes on without apt's date check.
set -u
set -- "$(cd "$1" && pwd)"
# shellcheck source=../.ci/check-releases.sh
source "$1/.ci/check-releases.sh"
set +e
TMPDIR="$(mktemp -d)"
trap 'rm -rf "$TMPDIR"' EXIT

# FAULT is RELEASE:WHAT, what the stand-ins get wrong there.
prepare() { :; }
make_root() {
    echo "$*" >>"$TMPDIR/made"
    case "$FAULT" in
    "$1:mirror") echo "E: Failed to fetch InRelease  Could not connect" && return 1 ;;
    "$1:expired") [[ "$*" == *Check-Valid-Until* ]] ||
        { echo "E: Release file for http://deb.debian.org/debian/dists/$1/InRelease is expired" && return 1; } ;;
    esac
    mkdir -p "$2"
}
furnish() { mkdir -p "$1$(home_of "$2")/hexlark" && cp -r "$root/scripts" "$1$(home_of "$2")/hexlark"; }
# Each says how many were inside at once, as the guard runs at most two.
enter() {
    touch "$work/in.$BASHPID"
    echo "inside $(find "$work" -maxdepth 1 -name 'in.*' | wc -l)" >>"$TMPDIR/made"
    sleep 0.2
    rm "$work/in.$BASHPID"
    case "$FAULT" in
    "$2:run.sh said more") [[ "$4" != *run.sh ]] || echo "QStandardPaths: runtime directory not owned" ;;
    "$2:plain passed") [ "$3" != plain ] || return 0 ;;
    "$2:${4##*/}") return 1 ;;
    esac
    # Without root or sudo, test.sh ends with the line naming what it could not run.
    [ "$3" != plain ] || { echo "run bash scripts/autopkgtest.sh as root" && return 1; }
}

# name: FAULT, the releases given, the status wanted, what a line must say, how many roots are made
# without apt's date check, the releases that end in lines of their own (every one given)
rows=(
    "all pass, none given|||0||0|bookworm testing trixie"
    "run.sh fails|trixie:run.sh|bookworm trixie testing|1|trixie: *run.sh*|0|bookworm testing trixie"
    "run.sh says more|trixie:run.sh said more|trixie|1|trixie: *run.sh*|0|trixie"
    "test.sh fails|bookworm:test.sh|bookworm trixie testing|1|bookworm: *test.sh*|0|bookworm testing trixie"
    "packaging fails|testing:autopkgtest.sh|bookworm testing|1|testing: *autopkgtest.sh*|0|bookworm testing"
    "without sudo ends 0|trixie:plain passed|trixie|1|trixie: *|0|trixie"
    "unknown release|none:|bookworm hexlark-none-such|1|*hexlark-none-such*|0|"
    "mirror silent|testing:mirror|bookworm testing|1|testing: *mirror*|0|bookworm testing"
    "expired Release|testing:expired|bookworm testing|0|testing: *expired*|1|bookworm testing"
)
for row in "${rows[@]}"; do
    IFS="|" read -r name FAULT given wanted line off ends <<<"$row"
    : >"$TMPDIR/made"
    # shellcheck disable=SC2086
    said="$( (main $given) 2>&1)"
    status=$?
    most="$(sed -n 's/^inside //p' "$TMPDIR/made" | sort -n | tail -n 1)"
    # Where no release ends in a line (one it does not know), that is one line, before any root is made.
    [ "${most:-0}" -le 2 ] && { [ -n "$given" ] || [ "$most" = 2 ]; } &&
        [ "$status" = "$wanted" ] && { [ -z "$line" ] || grep -qx -- "${line//\*/.*}" <<<"$said"; } &&
        [ "$(grep -c Check-Valid-Until "$TMPDIR/made")" = "$off" ] && [ -z "$(ls -A "$TMPDIR" | grep -v '^made$')" ] &&
        [ "$(sed -n 's/^\([a-z]*\): .*/\1/p' <<<"$said" | sort -u | xargs)" = "$ends" ] &&
        { [ -n "$ends" ] || { [ ! -s "$TMPDIR/made" ] && [ "$(wc -l <<<"$said")" = 1 ]; }; } ||
        { printf '%s: status %s, said:\n%s\n' "$name" "$status" "$said"; exit 1; }
done
