# Debian packages Hexlark needs, by what for. Sourced by the other scripts.

# To build and run the program.
BUILD_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libgl-dev
    fonts-liberation2 fonts-dejavu-core
    qt6-wayland
)

# To show it where there is no display: a private X server and a screenshot.
HEADLESS_PACKAGES=(xvfb xauth xdotool x11-utils imagemagick)

# To run every test and build the benchmarks.
TEST_PACKAGES=(
    xclip strace icoutils
    libbenchmark-dev libx11-dev libxdamage-dev
    binutils-mingw-w64-x86-64 desktop-file-utils appstream
    dpkg-dev file build-essential debhelper lintian
    weston xwayland wl-clipboard at-spi2-core python3-pyatspi dbus-daemon dbus-bin
    x11-xserver-utils xfce4-settings
    python3-pytest python3-pil python3-xlib openbox
    wine wine64 fonts-wine python3-pefile g++-mingw-w64-x86-64-posix
    orca qt6-gtk-platformtheme fonts-cantarell fonts-noto-core
    wixl msitools osslsigncode openssl liblnk-utils autopkgtest faketime mmdebstrap
)

# To cross-build the Windows edition (scripts/build-windows.sh).
WINDOWS_BUILD_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)

# To package and sign it (scripts/package-windows.sh).
WINDOWS_PACKAGE_PACKAGES=(wixl msitools faketime osslsigncode openssl)

# To run the as-installed tests in a fresh Debian root (scripts/autopkgtest.sh).
TESTBED_PACKAGES=(dpkg-dev debhelper autopkgtest mmdebstrap)

# Installs whichever of the named packages are missing, and nothing else.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
