#!/usr/bin/env bash
# Builds the benchmark suite (Release, without tests) and runs it: the report
# goes to standard error, the results to bench/results.json. Extra arguments
# are passed to the benchmark program (for example --benchmark_filter=...).
# BUILD_DIR overrides the build directory (default build-bench/). The speed
# goals (bench/goals.py) are printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-bench}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZEMBA_BENCH=ON -DZEMBA_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target zemba_bench >/dev/null
"$build/zemba_bench" --benchmark_min_time=0.1 --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_out=bench/results.json \
  --benchmark_out_format=json "$@"
echo "results: bench/results.json" >&2
python3 bench/goals.py bench/results.json >&2
