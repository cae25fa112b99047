// Benchmark driver: the library's diagnostics go to /dev/null, the report to
// standard error (and to the JSON file named by --benchmark_out).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <random>

#include "common.h"

namespace zb {

const char* kindName(int kind) { return kind == kWhite ? "white" : kind == kWalk ? "walk" : "int"; }

static std::vector<double> make(int kind, int n, uint64_t seed) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> z(0.0, 1.0);
    std::vector<double> x(static_cast<size_t>(n));
    double s = 0.0;
    for (auto& v : x) {
        const double e = z(g);
        if (kind == kWhite) v = e;
        else if (kind == kWalk) v = (s += e);
        else v = std::round(10.0 * e);
    }
    return x;
}

const std::vector<double>& series(int kind, int n) {
    static std::map<std::pair<int, int>, std::vector<double>> cache;
    auto& v = cache[{kind, n}];
    if (v.empty()) v = make(kind, n, 20240601u + kind);
    return v;
}

const std::vector<double>& series2(int kind, int n) {
    static std::map<std::pair<int, int>, std::vector<double>> cache;
    auto& v = cache[{kind, n}];
    if (v.empty()) v = make(kind, n, 777u + kind);
    return v;
}

const std::vector<int>& intSeries(int kind, int n) {
    static std::map<std::pair<int, int>, std::vector<int>> cache;
    auto& v = cache[{kind, n}];
    if (v.empty()) {
        const auto& d = series(kind == kWhite ? kInteger : kind, n);
        v.resize(d.size());
        for (size_t i = 0; i < d.size(); ++i) v[i] = static_cast<int>(std::lround(kind == kWalk ? 10.0 * d[i] : d[i]));
    }
    return v;
}

void perSample(benchmark::State& st, double units) {
    st.counters["ns_per_unit"] =
        benchmark::Counter(units * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace zb

int main(int argc, char** argv) {
    std::fflush(stdout);
    const int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) {
        dup2(devnull, STDOUT_FILENO);
        close(devnull);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter console;
    console.SetOutputStream(&std::cerr);
    console.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&console);
    benchmark::Shutdown();
    return 0;
}
