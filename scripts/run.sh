#!/usr/bin/env bash
# Installs what running needs, builds the app, the network helper and the stand-in core (nothing
# else), starts the dev service on loopback and runs the app against it. Without a display the app
# runs under Xvfb for NIMBRA_RUN_SECONDS (default 8) and leaves a screenshot at build/screenshot.png.
# Run it as yourself: packages are installed through sudo and the app runs as you. As root (CI,
# containers) it works the same and the app runs as root.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}

started=$(date +%s)
targets=(nimbra nimbra-net nimbra-server)
NIMBRA_DEPS=run "$root/scripts/build.sh" "${targets[@]}"
# A real core configured with NIMBRA_CORE_EXECUTABLE is copied into data/ by a target of its own.
if ninja -C "$build" -t targets all 2>/dev/null | grep -q '^nimbra-core-executable:'; then
    cmake --build "$build" --target nimbra-core-executable
fi
echo "run: built in $(($(date +%s) - started)) s"

# The helper runs only a core that root owns, in folders only root can write, and needs its capability:
# a build folder of one's own has neither, so accelerating from it needs root (or the package).
if [ "$(id -u)" -ne 0 ]; then
    echo "run: \"一键加速\" needs the installed package (scripts/package.sh) or a run as root; the rest works as you"
fi

. "$root/scripts/devservice.sh"
trap stop_devservice EXIT
start_devservice "$build/devservice.log"
echo "dev service: $NIMBRA_API_BASE_URL (log: $build/devservice.log)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$build/nimbra"
    exit $?
fi

shot="$build/screenshot.png"
seconds=${NIMBRA_RUN_SECONDS:-8}
xvfb-run -a -s "-screen 0 1440x900x24" bash -c '
    "$1" & app=$!
    sleep "$3"
    import -window root "$2"
    kill -TERM "$app"
    wait "$app"' _ "$build/nimbra" "$shot" "$seconds"
echo "no display: ran under Xvfb for ${seconds}s; screenshot: $shot"
