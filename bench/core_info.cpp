// Core information and matching kernels: mutual information with 16 bins
// (and on integer-part states) at n = 256 .. 10^6 on white noise, the same
// from one and from two threads (items per second: each thread computes its
// own pair), and the degree matching of two horizontal-visibility degree
// sequences, core against the original interface.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <mutex>
#include <vector>

#include "common.h"
#include "zemba.h"
#include "zemba/core.h"

namespace {

using zb::series;

// The better of repeated runs (the `_min` aggregate bench/goals.py reads).
double fastest(const std::vector<double>& v) {
    double best = v.empty() ? 0.0 : v[0];
    for (double t : v) best = t < best ? t : best;
    return best;
}
using zb::series2;

void CoreMutualInformation(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    const auto& a = series(zb::kWhite, n);
    const auto& b = series2(zb::kWhite, n);
    double r = 0.0;
    for (auto _ : st) {
        zemba_mutual_information(a.data(), b.data(), a.size(), 16, 16, &r);
        benchmark::DoNotOptimize(r);
    }
    zb::perSample(st, n);
}
BENCHMARK(CoreMutualInformation)->Name("CoreMutualInformation/white")->Arg(256)->Arg(4096)->Arg(12193)->Arg(1000000)
    ->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

void CoreMutualInformationFloor(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    const auto& a = series(zb::kWhite, n);
    const auto& b = series2(zb::kWhite, n);
    double r = 0.0;
    for (auto _ : st) {
        zemba_mutual_information_floor(a.data(), b.data(), a.size(), &r);
        benchmark::DoNotOptimize(r);
    }
    zb::perSample(st, n);
}
BENCHMARK(CoreMutualInformationFloor)->Name("CoreMutualInformationFloor/white")->Arg(256)->Arg(4096)
    ->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

// Thread scaling: every thread computes mutual information of its own pair;
// compare items_per_second of threads:2 with threads:1.
void CoreMutualInformationThreads(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    std::vector<double> a, b;
    {
        static std::mutex cache;  // the cache of series is not thread-safe: copy under a lock
        std::lock_guard<std::mutex> hold(cache);
        a = series(zb::kWhite, n);
        b = series2(zb::kWhite, n);
    }
    double r = 0.0;
    for (auto _ : st) {
        zemba_mutual_information(a.data(), b.data(), a.size(), 16, 16, &r);
        benchmark::DoNotOptimize(r);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()) * n);
}

// HVG degree sequences, counted with a stack.
std::vector<int64_t> hvgDegrees(const std::vector<double>& x) {
    std::vector<int64_t> d(x.size(), 0);
    std::vector<size_t> s;
    for (size_t j = 0; j < x.size(); ++j) {
        while (!s.empty() && x[s.back()] < x[j]) ++d[s.back()], ++d[j], s.pop_back();
        if (!s.empty()) {
            ++d[s.back()], ++d[j];
            if (x[s.back()] == x[j]) s.pop_back();
        }
        s.push_back(j);
    }
    return d;
}

void CoreDegreeMatch(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    const auto a = hvgDegrees(series(zb::kWhite, n));
    const auto b = hvgDegrees(series2(zb::kWhite, n));
    zemba_match_result r{};
    for (auto _ : st) {
        zemba_degree_match(a.data(), b.data(), a.size(), &r, nullptr, nullptr);
        benchmark::DoNotOptimize(r);
    }
    st.counters["comparisons"] = static_cast<double>(r.comparisons);
    zb::perSample(st, n);
}
BENCHMARK(CoreDegreeMatch)->Name("CoreDegreeMatch/white")->Arg(256)->Arg(4096)->Arg(12193)
    ->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

// The original interface on the same degree sequences (its lines go to /dev/null).
void SeedDegreeMatch(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    const auto a64 = hvgDegrees(series(zb::kWhite, n));
    const auto b64 = hvgDegrees(series2(zb::kWhite, n));
    std::vector<int> a(a64.begin(), a64.end()), b(b64.begin(), b64.end());
    double out[2];
    int len = n;
    for (auto _ : st) benchmark::DoNotOptimize(Z_HVG_Match(a.data(), b.data(), &len, nullptr, nullptr, out));
    zb::perSample(st, n);
}
BENCHMARK(SeedDegreeMatch)->Name("Z_HVG_Match_hvg/white")->Arg(256)->Arg(4096)->Arg(12193)
    ->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

BENCHMARK(CoreMutualInformationThreads)->Name("CoreMutualInformationThreads/white")->Arg(4096)->Arg(65536)
    ->Threads(1)->Threads(2)->UseRealTime()->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);

}  // namespace
