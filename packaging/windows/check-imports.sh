#!/usr/bin/env bash
# Lists every DLL import of every executable and DLL under an installed tree and fails on one that is
# neither shipped (beside the importing binary, or beside nimbra.exe, where the loader looks) nor a
# Windows system DLL (system-dlls.txt, or an API set). Prints the binaries and imports it checked.
#   check-imports.sh INSTALL_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dest=$1
objdump=${NIMBRA_OBJDUMP:-x86_64-w64-mingw32-objdump}
system=$(grep -v '^#' "$here/system-dlls.txt" | tr 'A-Z' 'a-z')
shipped() { [ -n "$(find "$1" -maxdepth 1 -iname "$2" -print -quit)" ]; }

binaries=0 checked=0 missing=0
while IFS= read -r binary; do
    binaries=$((binaries + 1))
    dir=$(dirname "$binary")
    while IFS= read -r name; do
        checked=$((checked + 1))
        lower=$(echo "$name" | tr 'A-Z' 'a-z')
        if [[ $lower == api-ms-win-* || $lower == ext-ms-win-* ]] || grep -qxF "$lower" <<<"$system"; then
            continue
        fi
        # A program in a folder of its own (the core in data/) is its own application folder.
        if shipped "$dir" "$name" || { [[ $binary != *.exe ]] && shipped "$dest" "$name"; }; then
            continue
        fi
        echo "check-imports: ${binary#"$dest/"} imports $name, which is neither shipped nor a Windows system DLL" >&2
        missing=$((missing + 1))
    done < <("$objdump" -p "$binary" | sed -n 's/^\s*DLL Name: //p' | tr -d '\r')
done < <(find "$dest" -type f \( -iname '*.exe' -o -iname '*.dll' \) | sort)
[ "$binaries" -gt 0 ] || { echo "check-imports: no binaries under $dest" >&2; exit 1; }
echo "check-imports: $binaries binaries, $checked imports, $missing missing"
[ "$missing" -eq 0 ]
