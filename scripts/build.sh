#!/usr/bin/env bash
# Installs what is missing and builds everything into build/ (override with NIMBRA_BUILD_DIR), or only
# the targets named as arguments.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build.configure.log" 2>&1 ||
        { cat "$build.configure.log" >&2; exit 1; }
fi
cmake --build "$build" --parallel "$(nproc)" ${1:+--target "$@"}
