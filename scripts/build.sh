#!/usr/bin/env bash
# Builds the optimised libraries in build/release, and installs them.
# Usage: scripts/build.sh [build | install [PREFIX]]
#   build    the shared libraries orvane, pixmere and quorra (the default)
#   install  builds them, then installs the headers, the libraries, the CMake package and
#            the pkg-config file under PREFIX (default /usr/local)
set -euo pipefail

what=${1:-build}
prefix=${2-/usr/local}
if [ -z "$prefix" ]; then
    echo "build.sh: the install prefix is empty" >&2
    exit 2
fi
# A relative prefix means the caller's directory, not the repository's.
prefix=$(realpath -m -- "$prefix")
cd "$(dirname "$0")/.."

case "$what" in
    build | install) ;;
    *)
        echo "usage: $0 [build | install [PREFIX]]" >&2
        exit 2
        ;;
esac

dir=build/release
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" -G Ninja -Werror=dev -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j "$jobs" --target orvane_dist

if [ "$what" = build ]; then
    echo "build.sh: libraries built in $dir; 'make install' installs them under /usr/local"
    exit 0
fi
if ! mkdir -p "$prefix" 2>/dev/null || [ ! -w "$prefix" ]; then
    echo "build.sh: cannot write to $prefix; choose another prefix (make install PREFIX=...)" \
        "or run as a user who may write there" >&2
    exit 1
fi
cmake --install "$dir" --prefix "$prefix"
echo "build.sh: installed under $prefix"
