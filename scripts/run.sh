#!/usr/bin/env bash
# Installs what is missing, builds, starts the dev service on loopback and runs the app against it.
# Without a display the app runs under Xvfb for NIMBRA_RUN_SECONDS (default 8) and leaves a
# screenshot at build/screenshot.png.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}

"$root/scripts/build.sh"

port_file=$(mktemp)
python3 "$root/tools/devservice/devservice.py" --port 0 --port-file "$port_file" 2>"$build/devservice.log" &
service=$!
trap 'kill "$service" 2>/dev/null || true; rm -f "$port_file"' EXIT
for _ in $(seq 100); do
    [ -s "$port_file" ] && break
    kill -0 "$service" 2>/dev/null || { cat "$build/devservice.log" >&2; exit 1; }
    sleep 0.1
done
export NIMBRA_API_BASE_URL="http://127.0.0.1:$(cat "$port_file")"
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
