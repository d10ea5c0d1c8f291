#!/usr/bin/env bash
# Installs what is missing, cross-builds the Windows edition of Hexlark,
# packages it as a Windows Installer package with wixl and prints the
# package's path on its last line.
#
# With HEXLARK_SIGN_PFX (a PKCS#12 file) and HEXLARK_SIGN_PASSWORD (its
# password) set, it signs hexlark.exe before packaging it, then the package
# (Authenticode, with osslsigncode); HEXLARK_SIGN_TIMESTAMP may name an
# RFC 3161 timestamp server to countersign both. HEXLARK_WINDOWS_BUILD names
# another build folder than build/windows.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${HEXLARK_WINDOWS_BUILD:-$root/build/windows}"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
ensure_packages "${WINDOWS_BUILD_PACKAGES[@]}" "${WINDOWS_PACKAGE_PACKAGES[@]}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build" --parallel 2 >&2

if [ -z "${HEXLARK_SIGN_PFX:-}" ] || [ -z "${HEXLARK_SIGN_PASSWORD:-}" ]; then
    echo "Not signed: HEXLARK_SIGN_PFX and HEXLARK_SIGN_PASSWORD are not both set." >&2
    echo "$build/windows/hexlark.msi"
    exit 0
fi

# A property of the build's package, such as its product name.
property() {
    msiinfo export "$build/windows/hexlark.msi" Property | tr -d '\r' | sed -n "s/^$1\t//p"
}

# Signs the file $1 into $2, naming the product and its web page, as Windows
# shows them before it runs the file. The password goes through a pipe, never
# the command line.
sign() {
    local timestamp=()
    if [ -n "${HEXLARK_SIGN_TIMESTAMP:-}" ]; then
        timestamp=(-ts "$HEXLARK_SIGN_TIMESTAMP")
    fi
    osslsigncode sign -pkcs12 "$HEXLARK_SIGN_PFX" \
        -readpass <(printf '%s' "$HEXLARK_SIGN_PASSWORD") \
        -n "$(property ProductName)" -i "$(property ARPURLINFOABOUT)" \
        -h sha256 "${timestamp[@]}" -in "$1" -out "$2" >&2
}

# The build's own program and package stay unsigned: the signed ones are
# made apart, with the build's own packaging step.
signed="$build/signed"
rm -rf "$signed"
mkdir -p "$signed"
sign "$build/windows/hexlark.exe" "$signed/hexlark.exe"
cmake -DDIR="$build/windows" -DPROGRAM="$signed/hexlark.exe" -DMSI="$signed/unsigned.msi" \
    -P "$build/windows/package_msi.cmake"
sign "$signed/unsigned.msi" "$signed/hexlark.msi"
rm "$signed/unsigned.msi"
echo "$signed/hexlark.msi"
