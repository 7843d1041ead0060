#!/usr/bin/env bash
# Installs what is missing, builds, starts the dev service on loopback and runs the app against it.
# Without a display the app runs under Xvfb for NIMBRA_RUN_SECONDS (default 8) and leaves a
# screenshot at build/screenshot.png.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}

"$root/scripts/build.sh"

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
