#!/usr/bin/env bash
# Builds the orvane program and renders the built-in demo scene to demo.png without a
# display (its pictures are made on first use). Arguments go to `orvane render`.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/release/build.ninja ]; then
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)" --target orvane_app
build/release/apps/orvane render -o demo.png "$@"
echo "The demo picture is $(pwd)/demo.png"
echo "Explore it in a window: build/release/apps/orvane view"
