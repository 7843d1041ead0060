#!/usr/bin/env bash
# Builds the Windows half of platform/ and its tests with mingw-w64 and runs them under wine, without a
# display: into build/wintests (or $NIMBRA_BUILD_DIR/wintests), with a wine prefix of its own there.
# Prints each test program's closing line; exits non-zero when any check fails, and with 77 (skipped)
# when mingw-w64 or wine is not installed (scripts/install-deps.sh installs both).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}/wintests

skip() {
    echo "wine-tests: skipped: $*"
    exit 77
}

# NIMBRA_WINDOWS=0 leaves the Windows run out, as when measuring the test command without it.
[ "${NIMBRA_WINDOWS:-}" != 0 ] || skip "NIMBRA_WINDOWS=0"
command -v x86_64-w64-mingw32-g++ >/dev/null || skip "x86_64-w64-mingw32-g++ not found (package mingw-w64)"
command -v cmake >/dev/null || skip "cmake not found"
command -v ninja >/dev/null || skip "ninja not found (package ninja-build)"
# shellcheck source=scripts/windows/wine.sh
. "$root/scripts/windows/wine.sh"
find_wine || skip "wine64 not found (package wine64)"

mkdir -p "$build/logs"
log=$build/logs

use_prefix "$build/wineprefix"

# The first boot takes a while; it runs while the programs are built.
boot=
if ! prefix_ready; then
    make_prefix >"$log/wineboot.log" 2>&1 &
    boot=$!
fi
failure() {
    cat "$1" >&2
    if [ -n "$boot" ]; then wait "$boot" || true; fi
    exit 1
}

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root/platform/wintests" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >"$log/configure.log" 2>&1 ||
        failure "$log/configure.log"
fi
cmake --build "$build" >"$log/build.log" 2>&1 || failure "$log/build.log"
if [ -n "$boot" ]; then
    wait "$boot" || { boot=; failure "$log/wineboot.log"; }
fi

failed=0
shopt -s nullglob
tests=("$build"/tst_*.exe)
[ ${#tests[@]} -gt 0 ] || { echo "wine-tests: no test programs in $build" >&2; exit 1; }
for exe in "${tests[@]}"; do
    name=$(basename "$exe" .exe)
    status=0
    timeout 300 "$wine" "$exe" >"$log/$name.log" 2>&1 || status=$?
    # A program that printed nothing at all never got going under wine (seen once on a loaded
    # machine right after the prefix's first boot); one more start tells that apart from a failure.
    if [ "$status" -ne 0 ] && [ ! -s "$log/$name.log" ]; then
        echo "$name: no output (exit code $status); starting it once more"
        status=0
        timeout 300 "$wine" "$exe" >"$log/$name.log" 2>&1 || status=$?
    fi
    closing=$(grep -aE '^[0-9]+ passed, [0-9]+ failed' "$log/$name.log" | tail -n 1 | tr -d '\r' || true)
    if [ "$status" -ne 0 ] || [ -z "$closing" ] || [[ "$closing" != *" 0 failed" ]]; then
        failed=1
        grep -aE '^FAIL' "$log/$name.log" | tr -d '\r' | sed "s/^/$name: /" || true
        echo "$name: ${closing:-no closing line} (exit code $status, log $log/$name.log)"
    else
        echo "$name: $closing"
    fi
done

# The prefix's server ends a few seconds after its last program; wait so that nothing outlives us.
end_prefix
exit $failed
