#!/usr/bin/env bash
# Builds the program and the unit tests with clang (preset clang, in build-clang/) and
# runs the tests: the second compiler the tree is held to.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh clang
cmake --preset clang >/dev/null
cmake --build build-clang
ctest --test-dir build-clang --output-on-failure -j2
