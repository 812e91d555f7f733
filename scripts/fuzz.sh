#!/usr/bin/env bash
# Fuzzes the raster and the key translation with libFuzzer (clang, with AddressSanitizer
# and UndefinedBehaviorSanitizer), each for SECONDS (default 60). A crash, a sanitizer
# report, or a single input that runs past a second fails the run.
#   scripts/fuzz.sh [SECONDS]      e.g. scripts/fuzz.sh 3600 for an hour each
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/ensure-packages.sh fuzz
cmake --preset fuzz >/dev/null
cmake --build build-fuzz --target raster_fuzz key_map_fuzz >/dev/null

for target in raster_fuzz key_map_fuzz; do
  corpus=$(mktemp -d)
  echo "== $target for ${seconds} s"
  # Output goes to a log: libFuzzer's progress lines run to thousands.
  if ! build-fuzz/tests/fuzz/$target -max_total_time="$seconds" -timeout=1 -rss_limit_mb=1024 \
       -print_final_stats=1 "$corpus" >"$corpus.log" 2>&1; then
    tail -n 40 "$corpus.log"
    exit 1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$corpus.log"
  rm -rf "$corpus" "$corpus.log"
done
