#!/usr/bin/env bash
# Measures what a newcomer waits for, in a fresh clone of this repository's HEAD under a temporary
# folder: scripts/run.sh to the first window, scripts/test.sh right after it (without the Windows
# run), and scripts/test.sh after a one-line change in app/accelerationsession.cpp. Prints
# `name: seconds` lines and the machine's load before each step.
#   --fresh  first removes the packages scripts/install-deps.sh installs (but Debian's base tools)
#            and empties the compiler cache, as on a new machine (only on a machine you can spare;
#            root only)
# Usage: scripts/bench-setup.sh [--fresh]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ "${1:-}" = --fresh ]; then
    [ "$(id -u)" -eq 0 ] || { echo "bench-setup: --fresh needs root" >&2; exit 1; }
    # Debian's base tools stay: a new machine of this kind has them, and apt refuses to remove some.
    keep='^(build-essential|cmake|ninja-build|pkg-config|dpkg-dev|file|iproute2|libcap2-bin|python3|util-linux|xauth)$'
    mapfile -t packages < <("$root/scripts/install-deps.sh" test --list | grep -Ev "$keep")
    echo "bench-setup: removing ${#packages[@]} packages and the compiler cache"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "${packages[@]}" >/dev/null 2>&1 || true
    DEBIAN_FRONTEND=noninteractive apt-get autoremove --purge -y -qq >/dev/null 2>&1 || true
    apt-get clean
    command -v ccache >/dev/null && ccache -C >/dev/null || true
    rm -rf "${CCACHE_DIR:-$HOME/.cache/ccache}"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# As an ordinary clone's folder: the helper's tests run the build's core as other users.
chmod 755 "$work"
git clone -q "$root" "$work/nimbra"
cd "$work/nimbra"

load() { echo "load before $1: $(cut -d' ' -f1-3 /proc/loadavg)"; }
measure() {
    local name=$1 log=$work/$1.log started status=0
    shift
    load "$name"
    started=$(date +%s)
    "$@" >"$log" 2>&1 || status=$?
    echo "$name: $(($(date +%s) - started))"
    if [ "$status" -ne 0 ]; then
        tail -n 30 "$log" >&2
        echo "bench-setup: $name failed (exit $status)" >&2
        exit 1
    fi
}

# One second of the window is enough: the first frame is out well within it.
measure run_to_first_window env NIMBRA_RUN_SECONDS=1 DISPLAY= WAYLAND_DISPLAY= scripts/run.sh
measure test_after_run env NIMBRA_WINDOWS=0 scripts/test.sh
echo 'static_assert(sizeof(int) >= 4);' >>app/accelerationsession.cpp
measure test_after_one_line_change env NIMBRA_WINDOWS=0 scripts/test.sh
