#!/usr/bin/env bash
# Runs disctrail for SECONDS (default 600) on a private Xvfb, with Alt+Enter and a focus
# change every 5 s, samples its resident memory every second and prints a summary. Fails
# if the program dies, if its memory grows by more than 256 KB after the first 10 s, or
# if it does not end with status 0 on a final key.
#   scripts/soak.sh [SECONDS]
# DISCTRAIL_BUILD_DIR names the build directory (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
build="${DISCTRAIL_BUILD_DIR:-build}"

scripts/ensure-packages.sh test
cmake --preset test -B "$build" >/dev/null
cmake --build "$build" --target soak disctrail >/dev/null
"$build/tests/e2e/soak" --seconds "$seconds" --every 5 --growth-limit 256
