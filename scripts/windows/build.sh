#!/usr/bin/env bash
# Cross-builds for 64-bit Windows, with warnings as errors, into build/windows (or
# $NIMBRA_BUILD_DIR/windows): the back end, the stub core as data/nimbra-server.exe and every test
# program that needs no Qt Quick (and, where the SDK has Qt Quick, the client on request), against the Qt 6.4.2 mingw-w64 SDK of ../shared/qt-mingw/ (unpacked
# to /var/cache/nimbra/qt-mingw-6.4.2 on first use; its CMake files expect that place). Debian's own
# Qt 6.4.2 provides moc and rcc. Exits 77 (skipped) with the reason when something is missing;
# NIMBRA_QT_MINGW_DIR names another folder holding the SDK's tarball. Arguments: targets to build, or
# --check to only say whether it can build (0, or 77 with the reason), --check-client the same for the
# client, or --unpack to only put the SDK in place.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}/windows
source=${NIMBRA_QT_MINGW_DIR:-$root/../shared/qt-mingw}
tarball=$source/qtbase-6.4.2-mingw-w64-posix.tar.xz
cache=/var/cache/nimbra
sdk=$cache/qt-mingw-6.4.2

skip() {
    echo "windows build: skipped: $*"
    exit 77
}

[ -f "$tarball" ] || skip "no Qt SDK for Windows at $tarball"
command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
    skip "x86_64-w64-mingw32-g++-posix not found (package mingw-w64)"
command -v cmake >/dev/null || skip "cmake not found"
command -v ninja >/dev/null || skip "ninja not found (package ninja-build)"
[ -x /usr/lib/qt6/libexec/moc ] || skip "Debian's Qt host tools not found (package qt6-base-dev-tools)"
[ "${1:-}" != --check ] || exit 0
if [ "${1:-}" = --check-client ]; then
    [ -f "$sdk/lib/cmake/Qt6QuickControls2/Qt6QuickControls2Config.cmake" ] ||
        skip "the SDK in $sdk has no Qt Quick (scripts/windows/qt.sh adds it)"
    [ -x /usr/lib/qt6/libexec/qmlcachegen ] ||
        skip "Debian's Qt Quick host tools not found (package qt6-declarative-dev-tools)"
    exit 0
fi

# Unpacked once, when the SDK is not there yet: an SDK already in place is used as it is, as Qt Quick may
# have been added to it since (see its README). Unpacked beside its place and moved in, under a lock,
# so a build running at the same time never sees half an SDK.
complete() { [ -f "$sdk/mingw-w64-posix.toolchain.cmake" ] && [ -f "$sdk/lib/cmake/Qt6/Qt6Config.cmake" ]; }
if ! complete; then
    mkdir -p "$cache" || skip "cannot create $cache"
    exec 9>"$cache/.qt-mingw.lock"
    flock 9
    if ! complete; then
        echo "windows build: unpacking $(basename "$tarball") to $sdk"
        staging=$(mktemp -d "$cache/.unpack.XXXXXX")
        tar -xJf "$tarball" -C "$staging"
        if [ -d "$sdk" ]; then
            # Left incomplete by an interrupted unpacking: completed, keeping what else is there.
            cp -a "$staging/qt-mingw-6.4.2/." "$sdk/"
            rm -rf "$staging"
        else
            mv "$staging/qt-mingw-6.4.2" "$sdk"
            rmdir "$staging"
        fi
    fi
    flock -u 9
fi
[ "${1:-}" != --unpack ] || exit 0

# The client (nimbra.exe and its QML module) too where Qt Quick was added to the SDK (scripts/windows/qt.sh);
# it is not part of the default target, so the back end's test run does not build it.
client=OFF
[ -f "$sdk/lib/cmake/Qt6QuickControls2/Qt6QuickControls2Config.cmake" ] && client=ON
mkdir -p "$build"
if [ -f "$build/build.ninja" ] && ! grep -qx "NIMBRA_WITH_CLIENT:BOOL=$client" "$build/CMakeCache.txt"; then
    cmake -DNIMBRA_WITH_CLIENT=$client "$build" >"$build.configure.log" 2>&1 ||
        { cat "$build.configure.log" >&2; rm -f "$build/build.ninja"; exit 1; }
fi
if [ ! -f "$build/build.ninja" ]; then
    launcher=()
    if command -v ccache >/dev/null; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$sdk/mingw-w64-posix.toolchain.cmake" -DCMAKE_PREFIX_PATH="$sdk" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DNIMBRA_BACKEND_ONLY=ON -DNIMBRA_WITH_CLIENT=$client -DNIMBRA_WERROR=ON "${launcher[@]}" >"$build.configure.log" 2>&1 ||
        { cat "$build.configure.log" >&2; rm -f "$build/build.ninja"; exit 1; }
fi
cmake --build "$build" --parallel "$(nproc)" ${1:+--target "$@"}
