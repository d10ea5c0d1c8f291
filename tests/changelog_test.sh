# bash changelog_test.sh CHANGELOG VERSION DATE
# The Debian changelog's latest entry is of the project's version, released on
# the date the version record gives.
set -eu
version="$(dpkg-parsechangelog -l "$1" -S Version)"
date="$(date -u -d "$(dpkg-parsechangelog -l "$1" -S Date)" +%F)"
[ "$version $date" = "$2 $3" ] || {
    echo "$1 gives $version of $date; the project $2 of $3"
    exit 1
}
