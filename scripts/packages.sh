# Debian packages Hexlark needs, by what for, and how the scripts install
# them. Sourced by the other scripts.

# shellcheck source=step.sh
source "$(dirname "${BASH_SOURCE[0]}")/step.sh"

# To build and run the program, and to build its tests (a plain build does):
# the widget tests queue input through Qt's platform interface.
BUILD_PACKAGES=(
    cmake ninja-build make g++ pkg-config
    qt6-base-dev qt6-base-private-dev libgl-dev libxkbcommon-dev
    fonts-liberation2 fonts-dejavu-core
    qt6-wayland
)

# To show it where there is no display: a private X server and a screenshot.
HEADLESS_PACKAGES=(xvfb xauth xdotool x11-utils imagemagick)

# To run the Windows edition's tests that need Wine: asked for only where the
# release packages Wine (Debian testing may not); configure leaves those tests
# out where the release has none.
WINE_PACKAGES=(wine wine64 fonts-wine)

# To run every test and build the benchmarks.
TEST_PACKAGES=(
    xclip strace icoutils
    libbenchmark-dev libx11-dev libxdamage-dev
    binutils-mingw-w64-x86-64 desktop-file-utils appstream
    dpkg-dev file build-essential debhelper lintian
    weston xwayland wl-clipboard at-spi2-core python3-pyatspi dbus-daemon dbus-bin
    x11-xserver-utils xfce4-settings
    python3-pytest python3-pil python3-xlib openbox icewm fluxbox kwin-x11 wmctrl
    "${WINE_PACKAGES[@]}" python3-pefile g++-mingw-w64-x86-64-posix
    orca qt6-gtk-platformtheme fonts-cantarell fonts-noto-core
    wixl msitools osslsigncode openssl python3-liblnk autopkgtest faketime mmdebstrap
    clang-format
)

# To cross-build the Windows edition (scripts/build-windows.sh).
WINDOWS_BUILD_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)

# To package and sign it (scripts/package-windows.sh).
WINDOWS_PACKAGE_PACKAGES=(wixl msitools faketime osslsigncode openssl)

# To build the Debian package (scripts/build-deb.sh): dpkg-buildpackage
# wants build-essential itself.
DEB_PACKAGES=(dpkg-dev debhelper build-essential)

# To run its as-installed tests in a fresh Debian root (scripts/autopkgtest.sh).
TESTBED_PACKAGES=(autopkgtest mmdebstrap)

# Installs whichever of the named packages are missing, and nothing else.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! installed "$package" && ! unpackaged "$package"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    if ! may_be_root; then
        echo "Installing ${missing[*]} needs root or sudo; an administrator can run:" \
            "apt-get install --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    step "Installing ${missing[*]}" apt_install "${missing[@]}"
}

# Whether as_root can work here: as root, or with a sudo that asks no
# password or has a terminal to ask it on.
may_be_root() {
    [ "$(id -u)" -eq 0 ] || { command -v sudo >/dev/null &&
        { sudo -n true 2>/dev/null || { true </dev/tty; } 2>/dev/null; }; }
}

# as_root COMMAND [ARGUMENTS...]: runs it as root, through sudo when not root.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

apt_install() {
    as_root apt-get update
    local wanted
    mapfile -t wanted < <(packaged_here "$@")
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${wanted[@]}"
}

# Whether the package is installed: while dpkg installs another that
# activates its triggers (a menu entry, an icon), it awaits them, and is
# installed all the same.
installed() {
    [[ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" == @(installed|triggers-pending|triggers-awaited) ]]
}

# Whether the package is one of WINE_PACKAGES that apt, knowing an archive,
# has no candidate for.
unpackaged() {
    [[ " ${WINE_PACKAGES[*]} " == *" $1 "* ]] && LC_ALL=C apt-cache policy | grep "release .*o=" >/dev/null &&
        ! LC_ALL=C apt-cache policy "$1" | grep "Candidate: [^(]" >/dev/null
}

# The named packages, less those that unpackaged finds, which it names in one line.
packaged_here() {
    local package unpackaged=()
    for package in "$@"; do
        if unpackaged "$package"; then
            unpackaged+=("$package")
        else
            echo "$package"
        fi
    done
    if [ ${#unpackaged[@]} -gt 0 ]; then
        echo "This release packages no ${unpackaged[*]}: the tests that need Wine are left out" >&2
    fi
}
