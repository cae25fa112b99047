// The core's spectral kernels on white noise, n = 256, 4096 and 12193: Burg
// order 16 and the five default band powers of an order-16 model (256 Hz),
// each also with one and two threads on separate series (items per second
// of wall time show the scaling).
#include <string>
#include <vector>

#include "common.h"
#include "zemba/core.h"

namespace {

double fastest(const std::vector<double>& v) {
    double best = v.empty() ? 0.0 : v[0];
    for (double t : v) best = t < best ? t : best;
    return best;
}

void burg16(benchmark::State& st, int n) {
    const auto& x = zb::series(zb::kWhite, n);
    double a[16], var = 0;
    for (auto _ : st) {
        benchmark::DoNotOptimize(zemba_burg(x.data(), x.size(), 16, 1, a, &var, nullptr));
        benchmark::DoNotOptimize(a);
    }
    st.SetItemsProcessed(st.iterations());
}

void bandPowers16(benchmark::State& st, int n) {
    const auto& x = zb::series(zb::kWhite, n);
    double out[ZEMBA_DEFAULT_BAND_COUNT];
    for (auto _ : st) {
        benchmark::DoNotOptimize(
            zemba_band_powers(x.data(), x.size(), 256.0, 16, nullptr, ZEMBA_DEFAULT_BAND_COUNT, 0, out, nullptr));
        benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(st.iterations());
}

// Each thread its own copy of the series (equal work), so that nothing is
// shared but the code.
void threaded(benchmark::State& st, int n, bool bands) {
    std::vector<double> x = zb::series(zb::kWhite, n);
    double a[16], var = 0, out[ZEMBA_DEFAULT_BAND_COUNT];
    for (auto _ : st) {
        if (bands)
            benchmark::DoNotOptimize(
                zemba_band_powers(x.data(), x.size(), 256.0, 16, nullptr, ZEMBA_DEFAULT_BAND_COUNT, 0, out, nullptr));
        else
            benchmark::DoNotOptimize(zemba_burg(x.data(), x.size(), 16, 1, a, &var, nullptr));
    }
    st.SetItemsProcessed(st.iterations());
}

const int kRegistered = [] {
    for (int n : {256, 4096, 12193}) {
        const std::string size = "/white/" + std::to_string(n);
        benchmark::RegisterBenchmark(("core_burg_16" + size).c_str(), burg16, n)
            ->Unit(benchmark::kMicrosecond)
            ->ComputeStatistics("min", fastest);
        benchmark::RegisterBenchmark(("core_band_powers_16" + size).c_str(), bandPowers16, n)
            ->Unit(benchmark::kMicrosecond)
            ->ComputeStatistics("min", fastest);
    }
    // The series are built before the threads start (the generator's cache is
    // not for concurrent use).
    zb::series(zb::kWhite, 4096);
    benchmark::RegisterBenchmark("core_burg_16_threads/4096", threaded, 4096, false)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("core_band_powers_16_threads/4096", threaded, 4096, true)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
    return 0;
}();

}  // namespace
