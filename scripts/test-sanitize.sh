#!/usr/bin/env bash
# Builds the library, tools and tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs the whole C++ suite.
# Any sanitizer report aborts the process that triggered it, so the run fails.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${ZEMBA_ASAN_DIR:-build-asan}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEMBA_SANITIZE=ON >/dev/null
cmake --build "$dir" -j"$(nproc)"

common=abort_on_error=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:detect_odr_violation=2
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:abort_on_error=1
# ASan copes with the 1.8 GB of zeroed buffers: their shadow stays untouched
# until a routine uses them. The leak checker, though, scans every global for
# pointers when a process exits, seconds per process; so ctest (one process per
# test) runs without it, and a second pass runs each test program once, whole,
# with leak checking on.
ASAN_OPTIONS=detect_leaks=0:$common ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 900
status=0
programs=("$dir"/*_test)
if [ ! -x "${programs[0]}" ]; then
  echo "leak pass: no test programs in $dir"
  exit 1
fi
for t in "${programs[@]}"; do
  if ! ASAN_OPTIONS=detect_leaks=1:$common "$t" >"$t.leaks.log" 2>&1; then
    echo "leak pass failed: $t (see $t.leaks.log)"
    tail -n 30 "$t.leaks.log"
    status=1
  fi
done
[ $status -eq 0 ] && echo "sanitizer suite passed"
exit $status
