#!/usr/bin/env bash
# Runs the demo program once it exists.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f apps/CMakeLists.txt ]; then
    echo "The orvane demo program is not part of this version yet; see README.md."
    exit 0
fi
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target orvane_app
build/release/apps/orvane "$@"
