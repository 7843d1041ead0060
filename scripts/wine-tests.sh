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
# Debian's wine64 package puts its loader outside PATH; the wine package adds the wrappers.
wine=$(command -v wine64 || true)
if [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ]; then
    wine=/usr/lib/wine/wine64
fi
[ -n "$wine" ] || skip "wine64 not found (package wine64)"
wineserver=
for candidate in "$(dirname "$wine")/wineserver64" /usr/lib/wine/wineserver64 "$(command -v wineserver || true)"; do
    if [ -z "$wineserver" ] && [ -n "$candidate" ] && [ -x "$candidate" ]; then
        wineserver=$candidate
    fi
done

mkdir -p "$build/logs"
log=$build/logs

# A private prefix, no display, no wine messages, no offer to install Mono or Gecko.
unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
stamp=$WINEPREFIX/.nimbra-ready

make_prefix() {
    rm -rf "$WINEPREFIX"
    "$wine" wineboot -i || return 1
    # Windows without a display: wine's null graphics driver instead of X11.
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f || return 1
    # The desktop started during the boot keeps its driver until the prefix's server ends.
    if [ -n "$wineserver" ]; then "$wineserver" -w; fi
    touch "$stamp"
}

# The first boot takes a while; it runs while the programs are built.
boot=
if [ ! -f "$stamp" ]; then
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
if [ -n "$wineserver" ]; then
    "$wineserver" -w || true
fi
exit $failed
