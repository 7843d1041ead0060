#!/usr/bin/env bash
# Installs what is missing, checks the C++ formatting, builds with warnings as errors, and runs every
# test through CTest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
"$root/scripts/check-format.sh"
# Warnings are errors here; a build folder configured earlier keeps its other settings.
if [ -f "$build/CMakeCache.txt" ]; then
    cmake -B "$build" -DNIMBRA_WERROR=ON >"$build.configure.log" 2>&1
else
    mkdir -p "$build"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNIMBRA_WERROR=ON \
        >"$build.configure.log" 2>&1
fi || { cat "$build.configure.log" >&2; exit 1; }
"$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
