#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14) against an instrumented library and
# runs them one after the other.
#   scripts/fuzz.sh --short     a bounded run of each target (CI)
#   scripts/fuzz.sh [seconds]   each target for that many seconds (default 600)
# New corpus entries go to build-fuzz/corpus/<target>/; the seed corpus in
# fuzz/corpus/<target>/ is read, never written. Crash inputs are kept in
# build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh clang-14 libclang-rt-14-dev
dir=${ZEMBA_FUZZ_DIR:-$root/build-fuzz}
CC=${CC:-clang-14}
CXX=${CXX:-clang++-14}
short=0
seconds=600
case "${1:-}" in
  --short) short=1 ;;
  "") ;;
  *) seconds=$1 ;;
esac

san="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O1"
# The library: coverage-instrumented, not linked with libFuzzer. Its sanitizer
# references are resolved by the runtime linked into each target, so the
# library's no-undefined-symbols rule is lifted at the end of its link line.
CC=$CC CXX=$CXX cmake -S . -B "$dir/lib" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEMBA_TESTS=OFF -DZEMBA_TOOLS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link $san" \
  -DCMAKE_SHARED_LINKER_FLAGS="" -DCMAKE_CXX_STANDARD_LIBRARIES="-Wl,-z,undefs" >/dev/null
cmake --build "$dir/lib" -j"$(nproc)" --target zemba zemba-core
lib=$dir/lib/libzemba.so
core=$dir/lib/libzemba-core.so

targets=(loader_fuzz numeric_fuzz)
for t in "${targets[@]}"; do
  "$CXX" -std=c++17 -fsanitize=fuzzer $san -I include -I fuzz \
    "fuzz/$t.cpp" "$lib" "$core" -Wl,-rpath,"$dir/lib" -o "$dir/$t"
done

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$dir/crashes"
status=0
for t in "${targets[@]}"; do
  mkdir -p "$dir/corpus/$t"
  if [ $short -eq 1 ]; then
    # the loader writes files and parses them: fewer runs in the same time
    if [ "$t" = loader_fuzz ]; then limit=(-runs=4000); else limit=(-runs=20000); fi
  else
    limit=(-max_total_time="$seconds" -print_final_stats=1)
  fi
  echo "== $t ${limit[*]}"
  "$dir/$t" "${limit[@]}" -max_len=8192 -timeout=120 -rss_limit_mb=4096 \
    -artifact_prefix="$dir/crashes/$t-" "$dir/corpus/$t" "fuzz/corpus/$t" || status=1
done
if [ $status -eq 0 ]; then echo "fuzz targets passed"; else echo "a fuzz target failed"; fi
exit $status
