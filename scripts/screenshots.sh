#!/usr/bin/env bash
# Renders the scenes of tools/screenshots/scenes and the whole main window in its states (or only the
# .qml files given as arguments, or with --window only the window) with the dev service's catalogue
# under Xvfb, in the dark and the light theme, into build/screenshots/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}
out=${NIMBRA_SCREENSHOT_DIR:-$build/screenshots}

[ -f "$build/build.ninja" ] || [ -f "$build/Makefile" ] || "$root/scripts/build.sh"
cmake --build "$build" --target nimbra-screenshots --parallel "$(nproc)"

# --window: only the whole window.
scenes=("$@")
whole_window=0
if [ "${1:-}" = --window ]; then
    scenes=()
    whole_window=1
elif [ ${#scenes[@]} -eq 0 ]; then
    scenes=("$root"/tools/screenshots/scenes/*.qml)
    whole_window=1
fi

# A private home, so the run neither reads nor writes the user's settings and data files.
home=$(mktemp -d)
. "$root/scripts/devservice.sh"
trap 'stop_devservice; rm -rf "$home"' EXIT
start_devservice "$home/devservice.log" --quiet
export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
render() {
    LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1600x1000x24" "$build/tools/screenshots/nimbra-screenshots" --out "$out" "$@"
}
[ ${#scenes[@]} -eq 0 ] || render "${scenes[@]}"
[ "$whole_window" = 0 ] || render --window
