#!/usr/bin/env bash
# Builds everything and runs every test: the C++ suites (CTest), the Python
# and R bindings, the Windows library under Wine, the C++ suites again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a short fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
status=0
ctest --test-dir build --output-on-failure -j"$(nproc)" || status=1
if [ -x scripts/test-hosts.sh ]; then
  scripts/test-hosts.sh || status=1
fi
scripts/test-r.sh || status=1  # R package: R CMD build + check --no-manual
scripts/test-windows.sh || status=1
scripts/test-sanitize.sh || status=1
scripts/fuzz.sh --short || status=1
if [ $status -eq 0 ]; then echo "all test suites passed"; else echo "some test suites failed"; fi
exit $status
