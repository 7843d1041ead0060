#!/usr/bin/env bash
# Builds the Windows client and its installer: nimbra.exe and the core (scripts/windows/build.sh, which
# needs the SDK with Qt Quick, scripts/windows/qt.sh), the installed tree in build/windows/stage
# (cmake --install, which also checks every DLL import, packaging/windows/deploy.sh), then
# build/windows/Nimbra-Setup-<version>.exe with makensis. Exits 77 (skipped) with the reason when the
# SDK has no Qt Quick or a tool is missing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}/windows

"$root/scripts/windows/build.sh" --check-client | sed 's/^windows build/windows package/' &&
    [ "${PIPESTATUS[0]}" -eq 0 ] || exit 77
command -v makensis >/dev/null || { echo "windows package: skipped: makensis not found (package nsis)"; exit 77; }

started=$(date +%s)
"$root/scripts/windows/build.sh" nimbra nimbra-server
built=$(date +%s)

stage=$build/stage
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" --strip

# The installer's lists of that tree: what to install, and (deepest first) what to remove.
lists=$build/installer
mkdir -p "$lists"
windows() { echo "${1//\//\\}"; }
(
    cd "$stage"
    find . -type d | sort | while IFS= read -r dir; do
        dir=${dir#.}
        dir=${dir#/}
        echo "SetOutPath \"\$INSTDIR${dir:+\\$(windows "$dir")}\""
        find "./$dir" -maxdepth 1 -type f | sort | while IFS= read -r file; do
            echo "File \"$stage/${file#./}\""
        done
    done
) >"$lists/files.nsh"
(
    cd "$stage"
    find . -type f | sort | while IFS= read -r file; do echo "Delete \"\$INSTDIR\\$(windows "${file#./}")\""; done
    find . -mindepth 1 -type d | sort -r | while IFS= read -r dir; do echo "RMDir \"\$INSTDIR\\$(windows "${dir#./}")\""; done
) >"$lists/uninstall.nsh"

version=$(sed -n 's/^project(Nimbra VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
installer=$build/Nimbra-Setup-$version.exe
# Made again only when what it is made of changed (compressing takes about a minute): the built programs
# (strip gives their copies a new time stamp each time), the packaging, and the installed tree's files.
digest=$( (sha256sum "$build/nimbra.exe" "$build/data/nimbra-server.exe" "$root/packaging/windows/"* \
    "$root/resources/assets/app.ico"
    cd "$stage" && find . -type f -printf '%p %s\n' | sort) | sha256sum)
if [ ! -f "$installer" ] || [ "$(cat "$lists/digest" 2>/dev/null)" != "$digest" ]; then
    rm -f "$lists/digest"
    makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DLISTS="$lists" \
        -DICON="$root/resources/assets/app.ico" -DOUTFILE="$installer" "$root/packaging/windows/installer.nsi"
    echo "$digest" >"$lists/digest"
fi
finished=$(date +%s)
echo "windows package: $(basename "$installer"), $(du -k "$installer" | cut -f1) KiB; installed tree" \
    "$(du -sk "$stage" | cut -f1) KiB, $(find "$stage" -type f | wc -l) files; build $((built - started)) s," \
    "install and installer $((finished - built)) s"
