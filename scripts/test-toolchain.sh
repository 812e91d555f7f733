#!/usr/bin/env bash
# Builds the program and the unit tests with another toolchain and runs the tests:
#   scripts/test-toolchain.sh clang     clang 14 (in build-clang/)
#   scripts/test-toolchain.sh aarch64   cross-built for 64-bit ARM with Debian's cross compiler
#                                       against Debian's arm64 libraries (in build-aarch64/);
#                                       the tests, the exhaustive disc test among them, run
#                                       under qemu-aarch64
# The CMake preset, the package list (scripts/packages.sh) and the build directory share
# the toolchain's name.
set -euo pipefail
cd "$(dirname "$0")/.."
toolchain=${1:?usage: scripts/test-toolchain.sh clang|aarch64}

scripts/ensure-packages.sh "$toolchain"
cmake --preset "$toolchain" >/dev/null
cmake --build "build-$toolchain"
ctest --test-dir "build-$toolchain" --output-on-failure -j2
