#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build/fuzz and runs each from its seed corpus for a
# bounded time. `short` (make test) stays under a minute in all; `long` (make fuzz)
# runs longer. A crash fails the run; its input is kept in build/fuzz/artifacts/ and
# belongs in tests/data/images/crashes/ once fixed.
# Usage: scripts/fuzz.sh [short|long]
set -uo pipefail
cd "$(dirname "$0")/.."

mode=${1:-short}
case "$mode" in
    short) seconds=15 ;;
    long) seconds=300 ;;
    *)
        echo "usage: $0 [short|long]" >&2
        exit 2
        ;;
esac

if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz.sh: clang++ not found; fuzzing skipped"
    exit 0
fi

dir=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVANE_BUILD_FUZZ=ON -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_APPS=OFF \
    -DORVANE_BUILD_BENCH=OFF >/dev/null || exit 1
targets=(fuzz_image_load fuzz_canvas)
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target "${targets[@]}" || exit 1

mkdir -p "$dir/artifacts"
failed=0
for t in "${targets[@]}"; do
    seeds=fuzz/corpus/${t#fuzz_}
    work=$(mktemp -d)
    cp "$seeds"/* "$work"/ 2>/dev/null
    rm -f "$work"/README.md
    echo "=== $t for ${seconds}s"
    if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
        UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$dir/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -malloc_limit_mb=1024 -max_len=65536 -print_final_stats=0 \
        -artifact_prefix="$dir/artifacts/$t-" "$work" >"$dir/$t.log" 2>&1; then
        echo "=== $t FAILED (see $dir/$t.log and $dir/artifacts/)"
        tail -n 40 "$dir/$t.log"
        failed=1
    else
        grep -E '^Done [0-9]+ runs' "$dir/$t.log" | tail -n 1
    fi
    rm -rf "$work"
done
exit $failed
