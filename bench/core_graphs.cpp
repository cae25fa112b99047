// Core visibility graph kernels on seeded white noise: degrees of the
// horizontal and natural graphs at n = 256, 4096, 12193 and 10^6 (on one
// series called again and again, and on 64 different series in turn, which
// the branch predictor cannot learn), edge lists,
// the irreversibility features, and the same degree kernels on one and two
// threads at once (each thread its own series copy and output).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "common.h"
#include "zemba/core.h"

namespace {

const int kSizes[] = {256, 4096, 12193, 1000000};

// The better of repeated runs: the machine is shared.
double fastest(const std::vector<double>& v) {
    double best = v.empty() ? 0.0 : v[0];
    for (double t : v) best = t < best ? t : best;
    return best;
}

zemba_vg_options options(int kind) {
    zemba_vg_options o;
    zemba_vg_options_init(&o, kind);
    return o;
}

void degrees(benchmark::State& st, int kind, int n) {
    const auto& x = zb::series(zb::kWhite, n);
    std::vector<size_t> d(x.size());
    const zemba_vg_options o = options(kind);
    for (auto _ : st) {
        if (zemba_vg_degrees(&o, x.data(), nullptr, x.size(), d.data()) != ZEMBA_OK) st.SkipWithError("status");
        benchmark::DoNotOptimize(d.data());
        benchmark::ClobberMemory();
    }
    zb::perSample(st, n);
}

// A different series on every call, as in a recording cut into epochs.
void degreesFresh(benchmark::State& st, int kind, int n) {
    std::vector<std::vector<double>> xs(64, std::vector<double>(static_cast<size_t>(n)));
    std::mt19937_64 g(11);
    std::normal_distribution<double> z;
    for (auto& x : xs)
        for (double& v : x) v = z(g);
    std::vector<size_t> d(static_cast<size_t>(n));
    const zemba_vg_options o = options(kind);
    size_t i = 0;
    for (auto _ : st) {
        const auto& x = xs[i++ % xs.size()];
        if (zemba_vg_degrees(&o, x.data(), nullptr, x.size(), d.data()) != ZEMBA_OK) st.SkipWithError("status");
        benchmark::DoNotOptimize(d.data());
        benchmark::ClobberMemory();
    }
    zb::perSample(st, n);
}

void edges(benchmark::State& st, int kind, int n) {
    const auto& x = zb::series(zb::kWhite, n);
    const zemba_vg_options o = options(kind);
    size_t count = 0;
    zemba_vg_edge_count(&o, x.data(), nullptr, x.size(), &count);
    std::vector<size_t> from(count), to(count);
    for (auto _ : st) {
        size_t c = 0;
        if (zemba_vg_edges(&o, x.data(), nullptr, x.size(), count, from.data(), to.data(), nullptr, &c) != ZEMBA_OK)
            st.SkipWithError("status");
        benchmark::DoNotOptimize(from.data());
    }
    zb::perSample(st, n);
}

// Each thread builds the graph of its own copy of the series.
void threaded(benchmark::State& st, int kind, int n) {
    const std::vector<double> x = zb::series(zb::kWhite, n);
    std::vector<size_t> d(x.size());
    const zemba_vg_options o = options(kind);
    for (auto _ : st) {
        zemba_vg_degrees(&o, x.data(), nullptr, x.size(), d.data());
        benchmark::DoNotOptimize(d.data());
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
}

void irreversibility(benchmark::State& st, int n) {
    const auto& x = zb::series(zb::kWhite, n);
    zemba_vg_options o = options(ZEMBA_VG_HORIZONTAL);
    o.weight = ZEMBA_VG_SEED_SPAN;
    double f[7];
    for (auto _ : st) {
        zemba_vg_irreversibility(&o, x.data(), nullptr, x.size(), f);
        benchmark::DoNotOptimize(f);
    }
    zb::perSample(st, n);
}

const bool kRegistered = [] {
    // The first series (white noise of the main suite) is generated before
    // threads start.
    for (int n : kSizes) zb::series(zb::kWhite, n);
    for (int kind : {ZEMBA_VG_HORIZONTAL, ZEMBA_VG_NATURAL}) {
        const std::string name = kind == ZEMBA_VG_HORIZONTAL ? "CoreHVG" : "CoreNVG";
        for (int n : kSizes) {
            benchmark::RegisterBenchmark((name + "_degrees/white/" + std::to_string(n)).c_str(),
                                         [=](benchmark::State& st) { degrees(st, kind, n); })
                ->Unit(benchmark::kMicrosecond)
                ->ComputeStatistics("min", fastest);
            benchmark::RegisterBenchmark((name + "_edges/white/" + std::to_string(n)).c_str(),
                                         [=](benchmark::State& st) { edges(st, kind, n); })
                ->Unit(benchmark::kMicrosecond)
                ->ComputeStatistics("min", fastest);
        }
        for (int n : {256, 4096, 12193})
            benchmark::RegisterBenchmark((name + "_degrees_fresh/white/" + std::to_string(n)).c_str(),
                                         [=](benchmark::State& st) { degreesFresh(st, kind, n); })
                ->Unit(benchmark::kMicrosecond)
                ->ComputeStatistics("min", fastest);
        for (int n : {4096, 1000000})
            benchmark::RegisterBenchmark((name + "_degrees_threads/white/" + std::to_string(n)).c_str(),
                                         [=](benchmark::State& st) { threaded(st, kind, n); })
                ->Unit(benchmark::kMicrosecond)
                ->ComputeStatistics("min", fastest)
                ->UseRealTime()
                ->Threads(1)
                ->Threads(2);
    }
    for (int n : {4096, 1000000})
        benchmark::RegisterBenchmark(("CoreHVG_irreversibility/white/" + std::to_string(n)).c_str(),
                                     [=](benchmark::State& st) { irreversibility(st, n); })
            ->Unit(benchmark::kMicrosecond)
            ->ComputeStatistics("min", fastest);
    return true;
}();

}  // namespace
