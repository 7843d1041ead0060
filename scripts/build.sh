#!/usr/bin/env bash
# Installs what is missing and builds everything into build/ (override with NIMBRA_BUILD_DIR), or only
# the targets named as arguments. NIMBRA_DEPS names the package set to install (install-deps.sh: run
# or test, the default). Extra configure options for a new build folder: NIMBRA_CMAKE_OPTIONS.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh" "${NIMBRA_DEPS:-test}"
# ccache caches compiles that use a precompiled header only when told these may be ignored.
export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}
if [ ! -f "$build/build.ninja" ]; then
    mkdir -p "$build"
    # shellcheck disable=SC2086 # the options are words on purpose
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${NIMBRA_CMAKE_OPTIONS:-} \
        >"$build.configure.log" 2>&1 || { cat "$build.configure.log" >&2; exit 1; }
fi
cmake --build "$build" --parallel "$(nproc)" ${1:+--target "$@"}
