#!/usr/bin/env bash
# Builds and runs every benchmark: the raster against memset, the page conversion against
# SDL's blit and memcpy, and the whole program (frame pace, lock, CPU, memory, start-up)
# under Xvfb at a 640x480 window, at 640x480 and at 1920x1080 full screen, and as a
# Wayland client of weston, full screen.
#   scripts/benchmarks.sh           full runs: five repetitions, 10 s program runs, three each
#   scripts/benchmarks.sh --smoke   a few seconds in all, to show that each one runs and prints
set -euo pipefail
cd "$(dirname "$0")/.."

smoke=false
[ "${1:-}" = "--smoke" ] && smoke=true

scripts/ensure-packages.sh benchmarks
cmake --preset bench >/dev/null
cmake --build build --target raster_bench convert_bench measure_display >/dev/null

if $smoke; then
  build/bench/raster_bench --benchmark_min_time=0.01
  build/bench/convert_bench --benchmark_min_time=0.01
  build/bench/measure_display --seconds 2 --screen 1024x768 --window
  build/bench/measure_display --seconds 2 --wayland
  exit 0
fi

aggregates=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true)
build/bench/raster_bench "${aggregates[@]}"
build/bench/convert_bench "${aggregates[@]}"
for run in 1 2 3; do
  echo "--- run $run"
  build/bench/measure_display --seconds 10 --screen 1024x768 --window
  build/bench/measure_display --seconds 10 --screen 640x480
  build/bench/measure_display --seconds 10 --screen 1920x1080
  build/bench/measure_display --seconds 10 --wayland
done
