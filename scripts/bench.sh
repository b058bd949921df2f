#!/usr/bin/env bash
# Builds the benchmarks optimised and runs each; every program prints its ratios
# against its peer or the machine's limit.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_BUILD_BENCH=ON \
    -DORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)"
for b in build/bench/bench/*/bench_*; do
    [ -x "$b" ] || continue
    echo "=== $b"
    "$b" "$@"
done
