#!/usr/bin/env bash
# Every test under AddressSanitizer with UndefinedBehaviorSanitizer, then the end-to-end
# tests against disctrail built with ThreadSanitizer (its refresh thread beside the
# animation's). Any report fails the run; the suppressions cover libraries only.
set -euo pipefail
cd "$(dirname "$0")/.."
here=$PWD

scripts/ensure-packages.sh test

export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$here/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=suppressions=$here/tests/sanitizers/tsan.supp:halt_on_error=1:second_deadlock_stack=1

echo "== AddressSanitizer and UndefinedBehaviorSanitizer: every test"
cmake --preset asan >/dev/null
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j2

echo "== ThreadSanitizer: the end-to-end tests"
cmake --preset tsan >/dev/null
cmake --build build-tsan --target disctrail e2e_tests
ctest --test-dir build-tsan --output-on-failure -j2 -L e2e
