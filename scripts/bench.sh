#!/usr/bin/env bash
# Installs what is missing, builds, and runs every benchmark. Each prints `name: value` lines, with the
# floor it is compared against measured in the same run; a failed benchmark makes the script fail.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${NIMBRA_BUILD_DIR:-$root/build}

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
