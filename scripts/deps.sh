#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need, when
# any is missing. Quick when everything is there: apt-get runs only for what lacks.
set -euo pipefail

packages=(
    # toolchain and build
    g++ cmake ninja-build pkg-config make
    # tests, benchmarks, fuzzing
    libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev
    # imaging
    libjpeg62-turbo-dev libpng-dev
    # pictures from web servers; the tests' servers and certificates
    libcurl4-openssl-dev python3 openssl
    # text
    libfreetype-dev libharfbuzz-dev libfontconfig-dev fonts-dejavu-core
    # windows: SDL2, and a virtual X display for the window tests
    libsdl2-dev libx11-dev xvfb xauth
    # peers measured side by side in bench/
    libpixman-1-dev libcairo2-dev
    # the orvane program: scene files, its command line, and X input for its window test
    nlohmann-json3-dev libcli11-dev xdotool
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "deps.sh: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
