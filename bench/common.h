// Shared inputs and helpers of the benchmark suite.
#ifndef ZEMBA_BENCH_COMMON_H
#define ZEMBA_BENCH_COMMON_H

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace zb {

enum Kind { kWhite = 0, kWalk = 1, kInteger = 2 };
const char* kindName(int kind);

// Seeded series of n samples: Gaussian white noise, its running sum, or
// integers round(10 * noise). Built once per (kind, n).
const std::vector<double>& series(int kind, int n);
const std::vector<int>& intSeries(int kind, int n);
// A second, independent series of the same kind.
const std::vector<double>& series2(int kind, int n);

// Per-sample (or per-pair) time as a counter in nanoseconds.
void perSample(benchmark::State& st, double units);

}  // namespace zb

#endif
