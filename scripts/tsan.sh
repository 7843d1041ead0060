#!/usr/bin/env bash
# Builds the tests that run work on other threads (the network thread, the core worker, the latency
# prober and their wiring) with ThreadSanitizer into build-tsan/ (override with NIMBRA_TSAN_BUILD_DIR)
# and runs them through CTest; any race report fails its test. Too slow for scripts/test.sh: run it by
# hand after changing code that crosses threads.
# Usage: scripts/tsan.sh [area/name ...]   (CTest names; default: the list below)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_TSAN_BUILD_DIR:-$root/build-tsan}

if [ $# -gt 0 ]; then
    tests=("$@")
else
    # The programs that start the network thread or the core worker; the other tests of these
    # folders run on one thread and would only take longer here.
    tests=(net/httpmanager accel/acceleratorapi accel/singboxmanager accel/latencyprober app/wiring)
fi

"$root/scripts/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
    mkdir -p "$build"
    # Qt's own libraries are not instrumented: what TSan checks is our code and Qt's inline code in it.
    # The Qt Test programs get a longer limit, as instrumented code runs several times slower.
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=thread" \
        -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=thread" -DNIMBRA_TEST_TIMEOUT=1200 \
        >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
fi

targets=()
pattern=
for name in "${tests[@]}"; do
    targets+=("tst_${name##*/}")
    pattern+="${pattern:+|}${name}"
done
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"

# Every report, not only the first; exit code 66 from a program that reported one fails its test.
# QProcess forks while other threads run and the child only calls exec, which TSan would otherwise
# refuse (killing the dev service and the stub core the tests start).
export TSAN_OPTIONS="halt_on_error=0 second_deadlock_stack=1 die_after_fork=0 ${TSAN_OPTIONS:-}"
export QTEST_FUNCTION_TIMEOUT=1200000
cd "$build"
started=$(date +%s)
status=0
ctest --output-on-failure -R "^(${pattern})\$" || status=$?
echo "tsan: ${#tests[@]} test programs in $(($(date +%s) - started)) s"
exit "$status"
