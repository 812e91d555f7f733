#!/usr/bin/env bash
# Cross-builds the program and the unit tests for 64-bit ARM with Debian's cross compiler,
# against Debian's arm64 libraries (preset aarch64, in build-aarch64/), and runs the unit
# tests, the exhaustive disc test among them, under qemu-aarch64.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh aarch64
cmake --preset aarch64 >/dev/null
cmake --build build-aarch64
ctest --test-dir build-aarch64 --output-on-failure -j2
