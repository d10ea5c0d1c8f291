#!/usr/bin/env bash
# Installs what is missing, cross-builds the Windows edition of Hexlark,
# packages it as a Windows Installer package with wixl and prints the
# package's path on its last line.
#
# With HEXLARK_SIGN_PFX (a PKCS#12 file) and HEXLARK_SIGN_PASSWORD (its
# password; set but empty for a file without one) it signs hexlark.exe before
# packaging it, then the package (Authenticode, with osslsigncode);
# HEXLARK_SIGN_TIMESTAMP may name an RFC 3161 timestamp server to countersign
# both, each given HEXLARK_SIGN_TIMEOUT seconds (60 unless set) to answer.
# Only one of the two set is a mistake, not a request for an unsigned build.
# HEXLARK_WINDOWS_BUILD names another build folder than build/windows: a new
# or empty one, or a build of this tree.
set -Eeuo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${HEXLARK_WINDOWS_BUILD:-$root/build/windows}")"
signed="$build/signed"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"

fail() {
    echo "package-windows.sh: $1" >&2
    exit "${2:-1}"
}
own_folder "$build" HEXLARK_WINDOWS_BUILD
# One line for the command that failed, said by this shell alone: not again by
# each command substitution and function the failure passes through.
trap 'failed=$?; [ "$BASH_SUBSHELL" != 0 ] || echo "package-windows.sh: failed (status $failed): $BASH_COMMAND" >&2' ERR
# Whatever this run ends with, no signed file is left that it did not make,
# nor half of what it meant to make.
rm -rf "$signed"
trap 'rm -rf "$signed"' EXIT

signing=
if [ -n "${HEXLARK_SIGN_PFX+set}" ] || [ -n "${HEXLARK_SIGN_PASSWORD+set}" ]; then
    signing=yes
    [ -n "${HEXLARK_SIGN_PFX:-}" ] ||
        fail "HEXLARK_SIGN_PASSWORD is set but HEXLARK_SIGN_PFX names no certificate: set both to sign, or neither"
    [ -n "${HEXLARK_SIGN_PASSWORD+set}" ] ||
        fail "HEXLARK_SIGN_PFX is set but HEXLARK_SIGN_PASSWORD is not (set it empty for a certificate without a password)"
    [[ "${HEXLARK_SIGN_TIMEOUT:-60}" =~ ^[1-9][0-9]*$ ]] ||
        fail "HEXLARK_SIGN_TIMEOUT is not a whole number of seconds: ${HEXLARK_SIGN_TIMEOUT:-}"
    [ -f "$HEXLARK_SIGN_PFX" ] || fail "no certificate file at $HEXLARK_SIGN_PFX (HEXLARK_SIGN_PFX)" 255
    # The password goes through standard input, never a command line.
    certificate="$(openssl pkcs12 -in "$HEXLARK_SIGN_PFX" -passin stdin -nokeys -clcerts \
        <<<"$HEXLARK_SIGN_PASSWORD" 2>/dev/null)" ||
        fail "cannot open $HEXLARK_SIGN_PFX with HEXLARK_SIGN_PASSWORD: wrong password, or not a PKCS#12 file" 255
    from="$(openssl x509 -noout -startdate <<<"$certificate" | cut -d= -f2)"
    until="$(openssl x509 -noout -enddate <<<"$certificate" | cut -d= -f2)"
    if [ "$(date -d "$until" +%s)" -le "$(date +%s)" ]; then
        fail "the certificate in $HEXLARK_SIGN_PFX expired on $until (valid from $from)"
    fi
    if [ "$(date -d "$from" +%s)" -gt "$(date +%s)" ]; then
        fail "the certificate in $HEXLARK_SIGN_PFX is not valid before $from (valid until $until)"
    fi
    [[ "$(openssl x509 -noout -ext extendedKeyUsage <<<"$certificate")" == *"Code Signing"* ]] ||
        fail "the certificate in $HEXLARK_SIGN_PFX is not for code signing (no Code Signing extended key usage)"
fi

ensure_packages "${WINDOWS_PACKAGE_PACKAGES[@]}"
# The build build-windows.sh makes, in the same folder; its lines go to
# standard error, which keeps the package's path the last line of the output.
bash "$root/scripts/build-windows.sh" >&2 || fail "the Windows edition did not build in $build"

if [ -z "$signing" ]; then
    echo "Not signed: neither HEXLARK_SIGN_PFX nor HEXLARK_SIGN_PASSWORD is set." >&2
    echo "$build/windows/hexlark.msi"
    exit 0
fi

# A property of the build's package, such as its product name.
property() {
    msiinfo export "$build/windows/hexlark.msi" Property | tr -d '\r' | sed -n "s/^$1\t//p"
}

# Signs the file $1 into $2, naming the product and its web page, as Windows
# shows them before it runs the file; the password goes through standard
# input. A timestamp server that never answers would hold the run for as long
# as it keeps the connection open: each signing gets a bounded time.
sign() {
    local options=() status=0 bound="${HEXLARK_SIGN_TIMEOUT:-60}"
    # osslsigncode 2.5 (Debian 12) reads "-" as a file's name; 2.9 and 2.5
    # both read the password from /dev/stdin, which names the standard input.
    if [ -n "$HEXLARK_SIGN_PASSWORD" ]; then
        options+=(-readpass /dev/stdin)
    fi
    if [ -n "${HEXLARK_SIGN_TIMESTAMP:-}" ]; then
        options+=(-ts "$HEXLARK_SIGN_TIMESTAMP")
    fi
    timeout -k 5 "$bound" osslsigncode sign -pkcs12 "$HEXLARK_SIGN_PFX" \
        -n "$product" -i "$homepage" -h sha256 "${options[@]}" \
        -in "$1" -out "$2" <<<"$HEXLARK_SIGN_PASSWORD" >&2 || status=$?
    if [ "$status" -eq 124 ]; then
        fail "the timestamp server ${HEXLARK_SIGN_TIMESTAMP:-} did not answer within $bound s" "$status"
    fi
    [ "$status" -eq 0 ] || fail "osslsigncode could not sign $1 (its status $status)"
}

# Read apart from the signing, for a package that cannot be read to end the run.
product="$(property ProductName)"
homepage="$(property ARPURLINFOABOUT)"
# The build's own program and package stay unsigned: the signed ones are
# made apart, with the build's own packaging step.
mkdir -p "$signed"
sign "$build/windows/hexlark.exe" "$signed/hexlark.exe"
cmake -DDIR="$build/windows" -DPROGRAM="$signed/hexlark.exe" -DMSI="$signed/unsigned.msi" \
    -P "$build/windows/package_msi.cmake"
sign "$signed/unsigned.msi" "$signed/hexlark.msi"
rm "$signed/unsigned.msi"
trap - EXIT
echo "$signed/hexlark.msi"
