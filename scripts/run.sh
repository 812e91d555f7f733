#!/usr/bin/env bash
# Builds disctrail and runs it. Any key, or closing the window, ends it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh g++ cmake ninja-build libsdl2-dev libgtest-dev libmpfr-dev

cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target disctrail >/dev/null
exec build/disctrail "$@"
