#!/usr/bin/env bash
# Adds to an installed nimbra.exe what it loads, and nothing else: the plugins it needs, the QML modules
# its interface imports (as qmlimportscanner finds them from the module's sources), then every DLL these
# import, found in Qt's bin folder or the compiler's runtime folders, until none is missing. Finally
# checks the whole tree (check-imports.sh). Run by cmake --install (install.cmake).
#   deploy.sh DEST QT_PREFIX QML_SOURCE_DIR RUNTIME_DIR...
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dest=$1 qt=$2 qml_source=$3
shift 3
search=("$qt/bin" "$@")
objdump=${NIMBRA_OBJDUMP:-x86_64-w64-mingw32-objdump}
strip=${NIMBRA_STRIP:-x86_64-w64-mingw32-strip}

# The window's platform; JPEG and ICO pictures (game tiles and backgrounds, the window icon; PNG is built
# into Qt Gui); the native style of the tray's menus; TLS for the service's HTTPS.
for plugin in platforms/qwindows imageformats/qjpeg imageformats/qico styles/qwindowsvistastyle \
    tls/qschannelbackend; do
    install -D -m 644 "$qt/plugins/$plugin.dll" "$dest/$plugin.dll"
done

# The QML modules imported, directly or through other modules. A module's folder holds its qmldir,
# plugin and type descriptions; its subfolders are modules of their own, copied only when imported.
scanner=${NIMBRA_QMLIMPORTSCANNER:-/usr/lib/qt6/libexec/qmlimportscanner}
modules=$("$scanner" -rootPath "$qml_source" -importPath "$qt/qml" |
    python3 -c 'import json, sys
for m in json.load(sys.stdin):
    if m.get("type") == "module" and m.get("path"): print(m["path"])' | sort -u)
[ -n "$modules" ] || { echo "deploy: qmlimportscanner found no QML module" >&2; exit 1; }
while IFS= read -r path; do
    case $path in "$qt/qml/"*) ;; *) continue ;; esac
    target=$dest/qml/${path#"$qt/qml/"}
    mkdir -p "$target"
    find "$path" -maxdepth 1 -type f ! -name '*.debug' -exec cp {} "$target/" \;
done <<<"$modules"

imports() { "$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr -d '\r'; }
find_runtime() {
    local dir
    for dir in "${search[@]}"; do
        [ -f "$dir/$1" ] && { echo "$dir/$1"; return 0; }
    done
    return 1
}
# Breadth first from every binary in place; what is not found is left to the check below (a system DLL,
# or a fault it reports).
mapfile -t queue < <(find "$dest" -type f \( -iname '*.exe' -o -iname '*.dll' \) ! -path "$dest/data/*")
while [ ${#queue[@]} -gt 0 ]; do
    binary=${queue[0]}
    queue=("${queue[@]:1}")
    while IFS= read -r name; do
        [ -n "$name" ] && [ ! -f "$dest/$name" ] || continue
        if found=$(find_runtime "$name"); then
            install -m 644 "$found" "$dest/$name"
            # The compiler's runtime comes with its debug sections (Qt's DLLs are stripped already).
            [[ $found == "$qt/"* ]] || "$strip" --strip-debug "$dest/$name"
            queue+=("$dest/$name")
        fi
    done < <(imports "$binary")
done
bash "$here/check-imports.sh" "$dest"
