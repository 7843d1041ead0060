#!/usr/bin/env bash
# Installs what is missing, builds, and runs every benchmark. Each prints `name: value` lines, with the
# floor it is compared against measured in the same run; a failed benchmark makes the script fail.
# They build into build-release/ (override with NIMBRA_BUILD_DIR), with QML bindings compiled to C++
# as the package has them, so the start-up benchmark measures what a user runs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export NIMBRA_BUILD_DIR=${NIMBRA_BUILD_DIR:-$root/build-release}
export NIMBRA_CMAKE_OPTIONS="${NIMBRA_CMAKE_OPTIONS:-} -DNIMBRA_QML_NATIVE=ON"
build=$NIMBRA_BUILD_DIR

# Executables in build/bench/; the floor and probe programs they start are not listed.
benchmarks=(
    nimbra_bench_startup
    nimbra_bench_purchase
    nimbra_bench_supervisor
    nimbra_bench_transport
    nimbra_bench_controller
    nimbra_bench_prober
    nimbra_bench_session
)

"$root/scripts/build.sh"
status=0
for name in "${benchmarks[@]}"; do
    echo "== $name"
    "$build/bench/$name" || { echo "$name failed" >&2; status=1; }
done
exit "$status"
