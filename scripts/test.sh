#!/usr/bin/env bash
# Builds and runs the suite. Phases: release, asan (AddressSanitizer and
# UndefinedBehaviorSanitizer: any report fails), tsan (the threaded tests under
# ThreadSanitizer), fuzz (each fuzzer for a short time, when clang is present).
# Usage: scripts/test.sh [all|release|asan|tsan|fuzz]
set -uo pipefail
cd "$(dirname "$0")/.."

what=${1:-all}
jobs=$(nproc 2>/dev/null || echo 2)
failed=()

configure() {  # dir, extra cmake arguments...
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -Werror=dev -DORVANE_BUILD_TESTS=ON "$@" >/dev/null
}

run_phase() {  # name, commands...
    local name=$1
    shift
    echo "=== $name"
    if ! "$@"; then
        failed+=("$name")
        echo "=== $name FAILED"
    fi
}

phase_release() {
    configure build/release -DCMAKE_BUILD_TYPE=Release &&
        cmake --build build/release -j "$jobs" &&
        ctest --test-dir build/release --output-on-failure -j "$jobs"
}

phase_asan() {
    configure build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
        -DCMAKE_C_FLAGS_DEBUG="-O1 -g" "-DORVANE_SANITIZE=address;undefined" &&
        cmake --build build/asan -j "$jobs" &&
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:check_initialization_order=1 \
            UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            ctest --test-dir build/asan --output-on-failure -j "$jobs" -LE install
}

phase_tsan() {
    configure build/tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
        -DCMAKE_C_FLAGS_DEBUG="-O1 -g" -DORVANE_SANITIZE=thread -DORVANE_BUILD_APPS=OFF &&
        cmake --build build/tsan -j "$jobs" --target threaded_tests &&
        TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
            ctest --test-dir build/tsan --output-on-failure -j "$jobs" -L threaded
}

phase_fuzz() {
    if [ -x scripts/fuzz.sh ] || [ -f scripts/fuzz.sh ]; then
        bash scripts/fuzz.sh short
    else
        echo "no fuzz targets yet"
    fi
}

case "$what" in
    all)
        run_phase release phase_release
        run_phase asan phase_asan
        run_phase tsan phase_tsan
        run_phase fuzz phase_fuzz
        ;;
    release | asan | tsan | fuzz) run_phase "$what" "phase_$what" ;;
    *)
        echo "usage: $0 [all|release|asan|tsan|fuzz]" >&2
        exit 2
        ;;
esac

if [ ${#failed[@]} -ne 0 ]; then
    echo "test.sh: failed phases: ${failed[*]}"
    exit 1
fi
echo "test.sh: all phases passed"
