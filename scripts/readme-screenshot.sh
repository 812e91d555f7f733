#!/usr/bin/env bash
# Makes docs/screenshot.png: disctrail after two seconds on a 640x480 screen of its own
# (a private Xvfb server, stopped again afterwards).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh screenshot
cmake --preset screenshot >/dev/null
cmake --build build --target disctrail screenshot >/dev/null

ready=$(mktemp)
program=""
cleanup() {
  [ -n "$program" ] && kill -TERM "$program" 2>/dev/null && wait "$program" || true
  kill -TERM "$xvfb" 2>/dev/null && wait "$xvfb" || true
  rm -f "$ready"
}
# -displayfd picks a free display number and writes it once the server accepts clients.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$ready" 2>/dev/null &
xvfb=$!
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$ready" ] && break; sleep 0.05; done
display=":$(head -n1 "$ready")"

DISPLAY=$display build/disctrail &
program=$!
sleep 2
DISPLAY=$display build/screenshot docs/screenshot.png
echo "wrote docs/screenshot.png"
