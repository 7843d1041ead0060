#!/usr/bin/env bash
# Checks every tracked C++ file against the repository's .clang-format without changing any; lists the
# files that differ and exits 1 when there are any. Fix them with clang-format -i.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

command -v clang-format >/dev/null || { echo "check-format: clang-format not found" >&2; exit 1; }
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
    # An unpacked source tree without git: every C++ file outside the build folders.
    mapfile -t files < <(find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
[ ${#files[@]} -gt 0 ] || exit 0

# One diagnostic per differing spot, "file:line:column: error: ..."; one name per file is enough.
status=0
report=$(printf '%s\0' "${files[@]}" | xargs -0 -n 16 -P "$(nproc)" clang-format --dry-run --Werror 2>&1) ||
    status=$?
mapfile -t unformatted < <(sed -n 's/^\(.*\.\(cpp\|h\)\):[0-9]*:[0-9]*: error: .*/\1/p' <<<"$report" | sort -u)
if [ "$status" -ne 0 ] && [ ${#unformatted[@]} -eq 0 ]; then
    # clang-format itself failed (a bad .clang-format, an unreadable file): say so rather than pass.
    echo "check-format: clang-format failed:" >&2
    echo "$report" >&2
    exit 1
fi
if [ ${#unformatted[@]} -gt 0 ]; then
    echo "check-format: ${#unformatted[@]} file(s) not formatted with .clang-format (clang-format -i fixes them):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files formatted"
