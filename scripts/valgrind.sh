#!/usr/bin/env bash
# Runs disctrail under valgrind's memcheck on a private Xvfb for about 5 s, with a switch
# to a window and back and focus changes, and ends it with a key. Fails on any memory
# error, or definite or indirect leak, whose stack passes through the project's own code
# (demo/, platform/, main.cpp). Findings of SDL, Xlib, dbus and the like that never pass
# through it are listed but not counted; tests/sanitizers/valgrind.supp holds the few that do
# (our call into SDL at the bottom of their stack), each with why it is not ours.
#   scripts/valgrind.sh
# DISCTRAIL_BUILD_DIR names the build directory (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd -P)"
build="${DISCTRAIL_BUILD_DIR:-build}"

scripts/ensure-packages.sh test valgrind
cmake --preset test -B "$build" >/dev/null
cmake --build "$build" --target soak disctrail >/dev/null

logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT
echo "valgrind.sh: disctrail under memcheck for 5 s; then the findings of each process it made"
echo "(the program, its mode guardian, and whatever SDL forks)"
run=0
"$build/tests/e2e/soak" --seconds 5 --every 2 --no-growth-check --start-limit 120 --switch-limit 10 --end-limit 120 -- \
  "$(command -v valgrind)" --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect,possible \
  --errors-for-leak-kinds=definite,indirect --num-callers=50 --suppressions="$root/tests/sanitizers/valgrind.supp" \
  --fullpath-after= --log-file="$logs/memcheck.%p.log" "$build/disctrail" || run=$?

# One line per finding: OURS, THIRD-PARTY or, for leaks that are only possible, INFO;
# its first line as valgrind wrote it. A finding is ours when any frame of its stacks is
# in the project's sources: valgrind prints them with full paths (--fullpath-after=).
ours=0
shopt -s nullglob
for log in "$logs"/memcheck.*.log; do
  command="$(grep -m1 'Command:' "$log" | sed 's/^==[0-9]*== //')"
  echo "--- $command, $(grep -m1 'Parent PID' "$log" | sed 's/^==\([0-9]*\)== /process \1, /')"
  grep -E 'ERROR SUMMARY|definitely lost:|indirectly lost:|possibly lost:' "$log" | sed 's/^==[0-9]*== */    /' || true
  found="$(sed 's/^==[0-9]*== \{0,1\}//' "$log" | awk -v root="$root" '
    function finish() {
      if (header != "" && frames > 0) {
        counted = header !~ /are possibly lost/
        print (counted && mine ? "OURS" : counted ? "THIRD-PARTY" : "INFO") ": " header
      }
      header = ""; frames = 0; mine = 0
    }
    /^$/ { finish(); next }
    header == "" { header = $0; next }
    header ~ /^Thread [0-9]+/ && frames == 0 && !/^ +(at|by) 0x/ { header = header " " $0; next }
    /^ +(at|by) 0x/ {
      frames += 1
      if (index($0, "(" root "/demo/") || index($0, "(" root "/platform/") || index($0, "(" root "/main.cpp:")) mine = 1
    }
    END { finish() }')"
  if [ -n "$found" ]; then
    echo "$found" | sed 's/^/    /'
  fi
  mine="$(echo "$found" | grep -c '^OURS' || true)"
  ours=$((ours + mine))
  if [ "$mine" -gt 0 ]; then
    echo "    the whole report:"
    sed 's/^/    /' "$log"
  fi
done

if [ "$ours" -gt 0 ]; then
  echo "valgrind.sh: FAILED: $ours finding(s) through the project's own code"
  exit 1
fi
if [ "$run" -ne 0 ]; then
  echo "valgrind.sh: FAILED: the run under valgrind did not go as it should (see soak's lines above)"
  exit 1
fi
echo "valgrind.sh: passed: no memory error or definite or indirect leak through the project's own code"
