# bash step_test.sh SOURCE_DIR
# A step of the scripts says one line when it works; when it fails, it ends
# the script at once with status 1, after the end of its output and a line
# naming the step and where the whole of it is.
set -u
# shellcheck source=../scripts/step.sh
source "$1/scripts/step.sh"
HEXLARK_LOGS="$(mktemp -d)"
trap 'rm -rf "$HEXLARK_LOGS"' EXIT

said="$(step "Passing on purpose" true 2>&1)"
[ "$said" = "Passing on purpose" ] || { echo "a good step said: $said"; exit 1; }
said="$( (step "Failing on purpose now" sh -c 'echo the reason; exit 3'; echo "went on") 2>&1)"
status=$?
expected="Failing on purpose now
the reason
Failing on purpose now failed; its whole output is in $HEXLARK_LOGS/failing-on-purpose-now.log"
[ "$status" = 1 ] && [ "$said" = "$expected" ] || { printf 'status %s, said:\n%s\n' "$status" "$said"; exit 1; }
