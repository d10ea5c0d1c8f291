#!/usr/bin/env bash
# Installs what is missing, builds Hexlark and starts it. Where there is no
# display, shows it on a private X server, saves a screenshot and closes it.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/release"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"

have_display() {
    [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]
}

if have_display; then
    ensure_packages "${BUILD_PACKAGES[@]}"
else
    ensure_packages "${BUILD_PACKAGES[@]}" "${HEADLESS_PACKAGES[@]}"
fi

step "Configuring Hexlark" cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF -DHEXLARK_BUILD_BENCHMARKS=OFF
step "Building Hexlark" cmake --build "$build" --parallel
program="$build/qt/hexlark"

if have_display; then
    exec "$program"
fi

echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): showing Hexlark on a private Xvfb."
workdir="$(mktemp -d)"
xvfb_pid=""
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$workdir"
}
trap cleanup EXIT

exec 3<> "$workdir/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$workdir/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
for _ in $(seq 100); do
    display="$(head -n1 "$workdir/displayfd" 2>/dev/null || true)"
    [ -n "$display" ] && break
    sleep 0.05
done
[ -n "$display" ] || { echo "Xvfb did not start; see $workdir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$display"
chmod 700 "$workdir"
export XDG_RUNTIME_DIR="$workdir"

"$program" &
program_pid=$!
window="$(timeout 20 xdotool search --sync --onlyvisible --name '^Hexlark$' | head -n1)"
screenshot="$root/build/hexlark-screenshot.png"
import -window "$window" "$screenshot"
echo "Screenshot of the window: $screenshot"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=""
