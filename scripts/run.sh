#!/usr/bin/env bash
# Builds disctrail and runs it. Any key, or closing the window, ends it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh run
cmake --preset run >/dev/null
cmake --build build --target disctrail >/dev/null
exec build/disctrail "$@"
