#!/usr/bin/env bash
# Builds the Debian package build-release/nimbra_<version>_amd64.deb (override the build folder with
# NIMBRA_BUILD_DIR) and prints its path. Install it with:
# apt-get install ./build-release/nimbra_<version>_amd64.deb
# A new build folder compiles the QML bindings to C++, as a release should.
# The core inside is the build's data/nimbra-server: the stub core unless the build was configured
# with -DNIMBRA_CORE_EXECUTABLE=/path/to/sing-box.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -z "${NIMBRA_BUILD_DIR:-}" ]; then
    export NIMBRA_BUILD_DIR=$root/build-release
    export NIMBRA_CMAKE_OPTIONS="${NIMBRA_CMAKE_OPTIONS:-} -DNIMBRA_QML_NATIVE=ON"
fi
build=$NIMBRA_BUILD_DIR

"$root/scripts/build.sh" nimbra_package_files
rm -rf "$build/cpack"
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
deb=$(ls "$build"/cpack/nimbra_*_amd64.deb)
mv -f "$deb" "$build/"
echo "$build/$(basename "$deb")"
