#!/usr/bin/env bash
# Adds Qt Quick (qtdeclarative 6.4.2: Qml, Quick, Quick Controls 2 with the Basic, Fusion and Windows
# styles, Quick Layouts, Quick Test, Qt.labs.platform) to the Windows SDK that scripts/windows/build.sh
# unpacks to /var/cache/nimbra/qt-mingw-6.4.2, built from a source folder or tarball of the public
# qt/qtdeclarative repository at tag v6.4.2 with the SDK's mingw-w64 toolchain and Debian's Qt 6.4.2
# host tools. About 45 minutes on two otherwise idle cores.
#   qt.sh SOURCE [WORKDIR]      WORKDIR defaults to /var/cache/nimbra-qtbuild
# Each step leaves a marker in WORKDIR, so a run that was interrupted resumes where it stopped and one
# whose work is done returns at once. Says how long it took.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source=${1:?usage: qt.sh SOURCE [WORKDIR] (a folder or tarball of qtdeclarative v6.4.2)}
work=${2:-/var/cache/nimbra-qtbuild}
sdk=/var/cache/nimbra/qt-mingw-6.4.2
started=$(date +%s)
took() { echo "qt.sh: $1 in $(($(date +%s) - started)) s"; }

"$root/scripts/windows/build.sh" --unpack
for tool in qmlcachegen qmltyperegistrar qmlimportscanner; do
    [ -x /usr/lib/qt6/libexec/$tool ] ||
        { echo "qt.sh: Debian's $tool not found (packages qt6-declarative-dev-tools, qt6-shadertools-dev)" >&2; exit 1; }
done
if [ -f "$work/qtdeclarative.done" ] && [ -f "$sdk/lib/cmake/Qt6QuickControls2/Qt6QuickControls2Config.cmake" ]; then
    took "Qt Quick already in $sdk (marker $work/qtdeclarative.done); nothing to do"
    exit 0
fi
mkdir -p "$work"
cd "$work"
# The sources, copied or unpacked once; a copy cut short is made again.
if [ ! -f qtdeclarative-src/.unpacked ]; then
    rm -rf qtdeclarative-src
    mkdir qtdeclarative-src
    if [ -d "$source" ]; then cp -r "$source/." qtdeclarative-src/
    else tar -xf "$source" -C qtdeclarative-src --strip-components=1; fi
    [ -f qtdeclarative-src/CMakeLists.txt ] || { echo "qt.sh: $source holds no qtdeclarative sources" >&2; exit 1; }
    touch qtdeclarative-src/.unpacked
fi
grep -q '6\.4\.2' qtdeclarative-src/.cmake.conf ||
    { echo "qt.sh: $source is not qtdeclarative 6.4.2 (.cmake.conf)" >&2; exit 1; }
if [ ! -f qtdeclarative-build/build.ninja ]; then
    echo "qt.sh: configuring (log $work/qtdeclarative-configure.log)"
    cmake -S qtdeclarative-src -B qtdeclarative-build -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$sdk/mingw-w64-posix.toolchain.cmake" -DCMAKE_INSTALL_PREFIX="$sdk" \
        -DCMAKE_PREFIX_PATH="$sdk" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DBUILD_WITH_PCH=ON -DFEATURE_qml_debug=OFF \
        -DFEATURE_quick_particles=OFF -DFEATURE_quickcontrols2_material=OFF \
        -DFEATURE_quickcontrols2_universal=OFF -DFEATURE_quickcontrols2_imagine=OFF \
        >qtdeclarative-configure.log 2>&1 ||
        { tail -n 30 qtdeclarative-configure.log >&2; rm -f qtdeclarative-build/build.ninja; exit 1; }
fi
# Ninja resumes an interrupted build by itself.
echo "qt.sh: building (log $work/qtdeclarative-build.log)"
nice -n 5 cmake --build qtdeclarative-build --parallel "$(nproc)" >qtdeclarative-build.log 2>&1 ||
    { tail -n 30 qtdeclarative-build.log >&2; exit 1; }
cmake --install qtdeclarative-build >qtdeclarative-install.log 2>&1 ||
    { tail -n 30 qtdeclarative-install.log >&2; exit 1; }
touch qtdeclarative.done
took "Qt Quick added to $sdk"
