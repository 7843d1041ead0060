#!/usr/bin/env bash
# Builds every tests/fuzz/fuzz_<name>.cpp as a libFuzzer target with clang (into build-fuzz/, override
# with NIMBRA_FUZZ_BUILD_DIR) and runs each for FUZZ_SECONDS (default 60) over its corpus. Inputs that
# crash are copied into tests/fuzz/corpus/<name>/, where the normal test run replays them.
# Usage: scripts/fuzz.sh [name...]   (default: every fuzz target)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}

# clang 14 is Debian 12's default; libFuzzer and the sanitizer runtimes come with libclang-rt-14-dev.
"$root/scripts/install-deps.sh"
packages=(clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "fuzz: missing packages: ${missing[*]} (run as root or install them)" >&2
        exit 1
    fi
    echo "fuzz: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ $# -gt 0 ]; then
    names=("$@")
else
    names=()
    for source in "$root"/tests/fuzz/fuzz_*.cpp; do
        [ -e "$source" ] || continue
        stem=$(basename "$source" .cpp)
        names+=("${stem#fuzz_}")
    done
fi
if [ ${#names[@]} -eq 0 ]; then
    echo "fuzz: no tests/fuzz/fuzz_*.cpp" >&2
    exit 1
fi

# Coverage feedback and sanitizers for all of our code, not only for the fuzz entry files.
if [ ! -f "$build/build.ninja" ]; then
    mkdir -p "$build"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
        >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
fi
targets=()
for name in "${names[@]}"; do
    targets+=("fuzz_$name")
done
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

failed=()
for name in "${names[@]}"; do
    seeds=$root/tests/fuzz/corpus/$name
    work=$build/fuzz-corpus/$name
    artifacts=$build/fuzz-artifacts/$name
    mkdir -p "$seeds" "$work" "$artifacts"
    rm -f "$artifacts"/*
    echo "fuzz: $name for ${seconds}s"
    # New inputs go to the first (working) corpus; the kept seeds stay as they are.
    # An optional tests/fuzz/fuzz_<name>.dict names the input's vocabulary.
    options=(-max_total_time="$seconds" -timeout=10 -artifact_prefix="$artifacts/" -print_final_stats=1)
    [ -f "$root/tests/fuzz/fuzz_$name.dict" ] && options+=(-dict="$root/tests/fuzz/fuzz_$name.dict")
    status=0
    "$build/tests/fuzz/fuzz_$name" "$work" "$seeds" "${options[@]}" >"$build/fuzz-$name.log" 2>&1 || status=$?
    tail -n 15 "$build/fuzz-$name.log"
    found=0
    # Slow-unit reports are no failures; crashes, leaks, time-outs and out-of-memory inputs are.
    for artifact in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
        [ -e "$artifact" ] || continue
        cp "$artifact" "$seeds/"
        echo "fuzz: $name: kept $(basename "$artifact") in tests/fuzz/corpus/$name/"
        found=1
    done
    if [ $status -ne 0 ] || [ $found -ne 0 ]; then
        echo "fuzz: $name FAILED (exit $status); full log: $build/fuzz-$name.log" >&2
        failed+=("$name")
    else
        echo "fuzz: $name passed"
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: failures in: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: ${#names[@]} targets ran ${seconds}s each without a crash"
