#!/usr/bin/env bash
# Installs what is missing, checks the C++ formatting, builds everything with warnings as errors
# (the same flags scripts/run.sh builds with, so its objects are reused) and runs every test through
# CTest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh" test
"$root/scripts/check-format.sh"
# A folder configured before warnings were errors by default gets them turned on.
if [ -f "$build/CMakeCache.txt" ] && grep -q '^NIMBRA_WERROR:BOOL=OFF' "$build/CMakeCache.txt"; then
    cmake -B "$build" -DNIMBRA_WERROR=ON >"$build.configure.log" 2>&1 ||
        { cat "$build.configure.log" >&2; exit 1; }
fi
"$root/scripts/build.sh"
cd "$build"
# Most tests wait on timers, sockets and child processes rather than compute: two per core keep the
# cores busy (a run used under half of them at one per core).
ctest --output-on-failure --parallel "$(($(nproc) * 2))" --timeout 600
