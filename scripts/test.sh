#!/usr/bin/env bash
# Builds disctrail and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh g++ cmake ninja-build libgtest-dev libmpfr-dev libbenchmark-dev libsdl2-dev \
  xvfb libx11-dev libxtst-dev libxres-dev libpng-dev x11-xserver-utils xserver-xorg-core xserver-xorg-video-dummy openbox

cmake -S . -B build -G Ninja >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2
