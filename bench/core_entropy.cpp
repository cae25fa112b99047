// The core's entropy kernels on seeded white noise at the sizes of the peer
// figures (256, 4096, 12193) and at 1e5 and 1e6: permutation entropy (orders 3
// and 5), sample and approximate entropy (order 2, tolerance 0.2 x SD computed
// in the timed call, as the Python functions do). Thread scaling: the same
// call on one and on two threads, items per second of wall time.
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

using Kernel = double (*)(const std::vector<double>&);

double permEntropy3(const std::vector<double>& x) {
    double h;
    zemba_perm_entropy(x.data(), x.size(), 3, 1, 0, &h);
    return h;
}
double permEntropy5(const std::vector<double>& x) {
    double h;
    zemba_perm_entropy(x.data(), x.size(), 5, 1, 0, &h);
    return h;
}
double sampleEntropy(const std::vector<double>& x) {
    double r, e;
    zemba_default_tolerance(x.data(), x.size(), &r);
    zemba_sample_entropy(x.data(), x.size(), 2, r, &e);
    return e;
}
double sampleEntropyWithError(const std::vector<double>& x) {
    double r, e, se;
    zemba_default_tolerance(x.data(), x.size(), &r);
    zemba_sample_entropy_ex(x.data(), x.size(), 2, r, &e, &se, nullptr, nullptr);
    return se;
}
double approximateEntropy(const std::vector<double>& x) {
    double r, e;
    zemba_default_tolerance(x.data(), x.size(), &r);
    zemba_approximate_entropy(x.data(), x.size(), 2, r, &e);
    return e;
}

void add(const std::string& name, Kernel k, std::vector<int> sizes) {
    for (int n : sizes) {
        const std::string full = "Core/" + name + "/white/" + std::to_string(n);
        auto* b = benchmark::RegisterBenchmark(full.c_str(), [=](benchmark::State& st) {
            const auto& x = zb::series(zb::kWhite, n);
            for (auto _ : st) benchmark::DoNotOptimize(k(x));
            zb::perSample(st, n);
        });
        b->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
        if (n >= 1000000 && name != "perm_entropy_o3" && name != "perm_entropy_o5") b->Iterations(1);
    }
}

// Items per second of wall time on 1 and 2 threads, each thread on the same
// (read-only) series.
void addThreads(const std::string& name, Kernel k, int n) {
    const std::string full = "Core/threads/" + name + "/white/" + std::to_string(n);
    benchmark::RegisterBenchmark(full.c_str(), [=](benchmark::State& st) {
        const auto& x = zb::series(zb::kWhite, n);
        for (auto _ : st) benchmark::DoNotOptimize(k(x));
        st.SetItemsProcessed(st.iterations());
    })
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime()
        ->Threads(1)
        ->Threads(2);
}

int registerAll() {
    // Series are built before any timing starts (and before threads share them).
    for (int n : {256, 4096, 12193, 100000, 1000000}) zb::series(zb::kWhite, n);
    add("perm_entropy_o3", permEntropy3, {256, 4096, 12193, 100000, 1000000});
    add("perm_entropy_o5", permEntropy5, {256, 4096, 12193, 100000, 1000000});
    add("sample_entropy", sampleEntropy, {256, 4096, 12193, 100000, 1000000});
    add("sample_entropy_se", sampleEntropyWithError, {4096, 12193, 100000});
    add("app_entropy", approximateEntropy, {256, 4096, 12193, 100000, 1000000});
    addThreads("perm_entropy_o3", permEntropy3, 1000000);
    addThreads("sample_entropy", sampleEntropy, 12193);
    addThreads("app_entropy", approximateEntropy, 12193);
    return 0;
}

const int registered = registerAll();

}  // namespace
