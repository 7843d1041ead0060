#!/usr/bin/env bash
# Builds the Windows back end and its test programs (scripts/windows/build.sh) and runs every one of
# them under wine, without a display, in a wine prefix of its own in build/windows: the Qt Test
# totals of each program, the failures in full. The dev service is this machine's python on
# loopback; route.exe is the stand-in, whose table is a file. Exits non-zero when a check fails, and
# with 77 (skipped) when the SDK, mingw-w64 or wine is missing. Arguments: test programs to run (their
# names without .exe), all by default.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}/windows
sdk=/var/cache/nimbra/qt-mingw-6.4.2

skip() {
    echo "windows tests: skipped: $*"
    exit 77
}

# shellcheck source=scripts/windows/wine.sh
. "$root/scripts/windows/wine.sh"
find_wine || skip "wine64 not found (package wine64)"
python=$(python3 -c 'import os, sys; print(os.path.realpath(sys.executable))' 2>/dev/null) ||
    skip "python3 not found (the dev service needs it)"

"$root/scripts/windows/build.sh" --check | sed 's/^windows build/windows tests/' && [ "${PIPESTATUS[0]}" -eq 0 ] ||
    exit 77

log=$build/logs
mkdir -p "$log"
use_prefix "$build/wineprefix"
# The first boot takes a while; it runs while the programs are built.
boot=
if ! prefix_ready; then
    make_prefix >"$log/wineboot.log" 2>&1 &
    boot=$!
fi
status=0
"$root/scripts/windows/build.sh" >"$log/build.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    if [ -n "$boot" ]; then wait "$boot" || true; fi
    [ "$status" -eq 77 ] && { tail -n 1 "$log/build.log"; exit 77; }
    cat "$log/build.log" >&2
    exit 1
fi
if [ -n "$boot" ]; then
    wait "$boot" || { cat "$log/wineboot.log" >&2; exit 1; }
fi

# Qt's and the compiler's DLLs. route.exe, which the client runs from the system folder, is the stand-in
# there: this prefix is the test run's own, and wine has none.
windows_path() { echo "Z:${1//\//\\}"; }
WINEPATH="$(windows_path "$sdk/bin");$(windows_path /usr/lib/gcc/x86_64-w64-mingw32/12-posix)"
WINEPATH+=";$(windows_path /usr/x86_64-w64-mingw32/lib)"
export WINEPATH
cp "$build/route-standin/route.exe" "$WINEPREFIX/drive_c/windows/system32/route.exe"
export QT_QPA_PLATFORM=offscreen
export NIMBRA_PYTHON=$(windows_path "$python")
# The dev service's port files, where both sides see them.
export NIMBRA_DEVSERVICE_DIR=$build/devservice
mkdir -p "$NIMBRA_DEVSERVICE_DIR"

if [ $# -gt 0 ]; then
    programs=("$@")
else
    programs=()
    for exe in "$build"/tst_*.exe "$build"/fuzz_*_replay.exe; do
        programs+=("$(basename "$exe" .exe)")
    done
fi
[ ${#programs[@]} -gt 0 ] || { echo "windows tests: no test programs in $build" >&2; exit 1; }

# Runs one program for at most 10 minutes. Under wine a process that has run the core sometimes never
# ends after its last line (the Windows process is gone, wine's loader waits on): once the program
# has said it finished, it gets 10 seconds, then its loader is ended and that is reported.
run_program() {
    local name=$1 pid waited=0 finished=0
    shift
    "$wine" "$build/$name.exe" "$@" >"$log/$name.log" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        if [ "$waited" -ge 6000 ]; then
            kill "$pid"
            wait "$pid" || true
            return 124
        fi
        if grep -aq '^\*\*\*\*\*\*\*\*\* Finished testing' "$log/$name.txt" 2>/dev/null; then
            finished=$((finished + 1))
            if [ "$finished" -ge 100 ]; then
                echo "$name: still running 10 s after it finished; ended" >>"$log/$name.log"
                hung+=("$name")
                kill "$pid"
                wait "$pid" || true
                return 0
            fi
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    wait "$pid"
}

cd "$build"
failed=0
hung=()
for name in "${programs[@]}"; do
    arguments=(-o "$(windows_path "$log/$name.txt"),txt")
    if [[ $name == fuzz_* ]]; then
        corpus=${name#fuzz_}
        arguments=("$root/tests/fuzz/corpus/${corpus%_replay}")
    fi
    export NIMBRA_ROUTE_TABLE=$(windows_path "$build/routes-$name.txt")
    export NIMBRA_ROUTE_LOG=$(windows_path "$log/routes-$name.log")
    rm -f "$log/$name.txt" "$build/routes-$name.txt" "$log/routes-$name.log"
    code=0
    run_program "$name" "${arguments[@]}" || code=$?
    if [[ $name == fuzz_* ]]; then
        # A replay prints nothing of its own; its exit code says it all.
        if [ "$code" -eq 0 ]; then echo "$name: replayed"; else
            failed=1
            echo "$name: FAILED (exit code $code, log $log/$name.log)"
        fi
        continue
    fi
    totals=$(grep -a '^Totals:' "$log/$name.txt" 2>/dev/null | tr -d '\r' || true)
    if [ "$code" -ne 0 ] || [ -z "$totals" ] || [[ $totals != *" 0 failed"* ]]; then
        failed=1
        grep -a -A3 '^FAIL!' "$log/$name.txt" 2>/dev/null | tr -d '\r' | sed "s/^/$name: /" || true
        echo "$name: ${totals:-no totals} (exit code $code, log $log/$name.txt)"
    else
        echo "$name: $totals"
    fi
done

if [ ${#hung[@]} -gt 0 ]; then
    echo "windows tests: did not exit on their own after finishing: ${hung[*]}"
fi
end_prefix
exit $failed
