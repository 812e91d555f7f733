#!/usr/bin/env bash
# Builds disctrail and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh test
cmake --preset test >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2
