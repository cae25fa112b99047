// Every exported routine timed at n = 256, 4096 and 12193 (where its capacity
// allows) on white noise, a random walk and integer-valued data, with the
// time per sample (per pair for the quadratic routines) as a counter, and the
// streaming baselines that read the series and write as many bytes.
#include <dlfcn.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common.h"
#include "zemba.h"

#ifndef ZEMBA_BENCH_DATA_DIR
// bench/routines.cpp -> data/eeg beside it
#define ZEMBA_BENCH_DATA_DIR (std::string(__FILE__).substr(0, std::string(__FILE__).rfind("/bench/")) + "/data/eeg")
#endif

namespace {

using zb::series;
using zb::series2;
using zb::intSeries;

const int kSizes[] = {256, 4096, 12193};
const int kKinds[] = {zb::kWhite, zb::kWalk, zb::kInteger};

enum Cost { kLinear, kQuadratic };

// Units behind the counter: samples, or pairs n (n - 1) / 2.
double units(Cost c, int n) { return c == kLinear ? n : 0.5 * n * (n - 1.0); }

// The better of repeated runs: the machine is shared.
double fastest(const std::vector<double>& v) {
    double best = v.empty() ? 0.0 : v[0];
    for (double t : v) best = t < best ? t : best;
    return best;
}

using Body = std::function<void(int kind, int n, benchmark::State&)>;

void add(const std::string& name, Cost cost, int maxN, Body body, std::vector<int> sizes = {256, 4096, 12193}) {
    for (int n : sizes) {
        if (n > maxN) continue;
        for (int kind : kKinds) {
            const std::string full = name + "/" + zb::kindName(kind) + "/" + std::to_string(n);
            benchmark::RegisterBenchmark(full.c_str(), [=](benchmark::State& st) {
                body(kind, n, st);
                zb::perSample(st, units(cost, n));
            })->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
        }
    }
}

// Scratch the routines write into.
std::vector<int> gInts(4 * 12194 + 64);
std::vector<double> gOut(4 * 12194 + 64);
std::vector<double> gWork(12194);

// The streaming baseline: one pass over the series, writing `bytes` bytes.
alignas(64) static unsigned char gSink[64 * 12194];
void baseline(benchmark::State& st, int n, size_t bytes) {
    const auto& x = series(zb::kWhite, n);
    for (auto _ : st) {
        double s = 0.0;
        for (int i = 0; i < n; ++i) s += x[i];
        benchmark::DoNotOptimize(s);
        for (size_t off = 0; off < bytes; off += sizeof(double)) {
            const double v = x[(off / sizeof(double)) % static_cast<size_t>(n)];
            std::memcpy(gSink + off, &v, sizeof v);
        }
        benchmark::ClobberMemory();
    }
    zb::perSample(st, n);
}

// The library's exported data, found at run time: a direct reference from
// the program would make the loader copy all of it (1.8 GB) at start-up.
template <class T>
T* exported(const char* name) {
    return static_cast<T*>(dlsym(RTLD_DEFAULT, name));
}
using SlopeRow = double[ZEMBA_NODE_CAP];

// The baseline of the slope matrix: every row of SlopMatrix written once.
void baselineMatrix(benchmark::State& st, int n) {
    const auto& x = series(zb::kWhite, n);
    SlopeRow* slopes = exported<SlopeRow>("SlopMatrix");
    for (auto _ : st) {
        for (int i = 0; i < n; ++i) std::memcpy(slopes[i], x.data(), sizeof(double) * static_cast<size_t>(n));
        benchmark::ClobberMemory();
    }
    zb::perSample(st, 0.5 * n * (n - 1.0));
}

// Four real trials into myData.
void loadTrials() {
    static const char* names[] = {"co2a0000364.rd.000", "co2a0000364.rd.007", "co2a0000364.rd.009",
                                  "co2a0000365.rd.103"};
    std::vector<std::string> paths;
    for (auto s : names) paths.push_back(std::string(ZEMBA_BENCH_DATA_DIR) + "/" + s);
    std::vector<char*> ptrs;
    for (auto& p : paths) ptrs.push_back(&p[0]);
    int nFiles = 4, select = 1;
    char opt[] = "o";
    char* optPtr = opt;
    double out[300];
    LoadAlcoholFile(ptrs.data(), &nFiles, &select, nullptr, &optPtr, nullptr, out);
}

int registerAll() {
    for (int n : kSizes) {
        for (int perSample : {8, 16, 24, 32}) {
            const std::string name = "Baseline/write" + std::to_string(perSample) + "B/" + std::to_string(n);
            benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) {
                baseline(st, n, static_cast<size_t>(perSample) * n);
            })->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", fastest);
        }
        benchmark::RegisterBenchmark(("Baseline/slopeRows/" + std::to_string(n)).c_str(),
                                     [=](benchmark::State& st) { baselineMatrix(st, n); })
            ->Unit(benchmark::kMicrosecond)
            ->ComputeStatistics("min", fastest);
    }

    // ---- visibility graphs ----
    add("Z_HVA", kQuadratic, 12193, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        int len = n, crit = 1;
        for (auto _ : st) benchmark::DoNotOptimize(Z_HVA(x.data(), &len, &crit, gOut.data()));
    });
    add("Z_DTW", kQuadratic, 12193, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        int len = n;
        for (auto _ : st) Z_DTW(x.data(), nullptr, &len, gOut.data());
    });
    add("Z_ZEMBA", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        int len = n;
        for (auto _ : st) benchmark::DoNotOptimize(Z_ZEMBA(x.data(), &len, gOut.data()));
    });
    for (int mode : {2, 4}) {
        add("getHVGAdjMatrix_mode" + std::to_string(mode), kLinear, 12193, [mode](int k, int n, benchmark::State& st) {
            auto x = series(k, n);
            int len = n, md = mode;
            for (auto _ : st) {
                getHVGAdjMatrix(x.data(), &len, &md, gInts.data());
                benchmark::ClobberMemory();
            }
        });
    }
    add("getHVGAdjMatrix_mode1", kLinear, 4096, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        std::vector<int> m(static_cast<size_t>(n) * n);
        int len = n, md = 1;
        for (auto _ : st) {
            getHVGAdjMatrix(x.data(), &len, &md, m.data());
            benchmark::ClobberMemory();
        }
    }, {256, 4096});
    add("getZEMBG_4features", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        auto x = intSeries(k, n);
        for (auto _ : st) getZEMBG_4features(x.data(), n, gOut.data());
    });
    add("getDegreeDistribute_int", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        std::vector<int> seq(2 * static_cast<size_t>(n));
        auto x = series(k, n);
        int len = n, md = 2;
        getHVGAdjMatrix(x.data(), &len, &md, seq.data());
        int maxD = 64, mode = 1;
        std::vector<double> dist(80);
        for (auto _ : st) benchmark::DoNotOptimize(getDegreeDistribute_int(seq.data(), &len, &maxD, &mode, dist.data()));
    });
    add("getDegreeClusterDistribute", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        std::vector<double> deg(static_cast<size_t>(n)), val(2 * static_cast<size_t>(n), 1.0);
        auto x = series(k, n);
        for (int i = 0; i < n; ++i) deg[i] = static_cast<double>(static_cast<int>(x[i] * x[i]) % 20);
        int len = n, maxD = 64, mode = 1;
        std::vector<double> dist(80);
        for (auto _ : st) benchmark::DoNotOptimize(getDegreeClusterDistribute(deg.data(), val.data(), &len, &maxD, &mode, dist.data()));
    });
    add("Z_ZEMBA_Entropy", kQuadratic, 12193, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        for (auto _ : st) benchmark::DoNotOptimize(Z_ZEMBA_Entropy(x.data(), 2, n));
    });
    add("Z_ZEMBA_KLD", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        int len = n;
        for (auto _ : st) benchmark::DoNotOptimize(Z_ZEMBA_KLD(x.data(), &len, gOut.data()));
    });
    for (int mode : {0, 1}) {
        add(std::string("getVGFast_mode") + (mode ? "1" : "2"), kQuadratic, mode ? 4096 : 12193,
            [mode](int k, int n, benchmark::State& st) {
                auto x = series(k, n);
                std::vector<int> m(mode ? static_cast<size_t>(n) * n : 4 * static_cast<size_t>(n) + 4);
                int len = n, md = mode ? 1 : 2, tau = 1;
                for (auto _ : st) benchmark::DoNotOptimize(getVGFast(x.data(), &len, &md, &tau, m.data()));
            });
        add(std::string("getRevVGFast_mode") + (mode ? "1" : "2"), kQuadratic, mode ? 4096 : 12193,
            [mode](int k, int n, benchmark::State& st) {
                auto x = series(k, n);
                std::vector<int> m(mode ? static_cast<size_t>(n) * n : 4 * static_cast<size_t>(n) + 4);
                int len = n, md = mode ? 1 : 2, tau = 1;
                for (auto _ : st) benchmark::DoNotOptimize(getRevVGFast(x.data(), &len, &md, &tau, m.data()));
            });
    }
    add("getRecurrenceAdj_m3", kQuadratic, 4096, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        std::vector<double> m(static_cast<size_t>(n) * n);
        int len = n, dim = 3, tau = 1;
        for (auto _ : st) getRecurrenceAdj(x.data(), &len, &dim, &tau, m.data());
    }, {256, 4096});
    add("getRecurrenceMatrix_m3", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        for (auto _ : st) benchmark::DoNotOptimize(getRecurrenceMatrix(x.data(), n, 3, 1));
    });

    // ---- entropies ----
    add("calculateEntropy", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        auto x = intSeries(k, n);
        for (auto& v : x) v = v < 0 ? -v : v;
        int len = n, mode = 1;
        double r;
        for (auto _ : st) benchmark::DoNotOptimize(calculateEntropy(x.data(), &len, &mode, &r));
    });
    for (int m : {3, 5}) {
        add("calculatePermutationEntropy_m" + std::to_string(m), kLinear, 12193, [m](int k, int n, benchmark::State& st) {
            auto x = series(k, n);
            int len = n;
            double r;
            for (auto _ : st) {
                int mm = m;
                calculatePermutationEntropy(x.data(), &len, &mm, &r);
                benchmark::DoNotOptimize(r);
            }
        });
        add("calculateDelayPermutationEntropy_m" + std::to_string(m), kLinear, 12193,
            [m](int k, int n, benchmark::State& st) {
                auto x = series(k, n);
                int len = n, tau = 1;
                double r;
                for (auto _ : st) {
                    int mm = m;
                    calculateDelayPermutationEntropy(x.data(), &len, &mm, &tau, &r);
                    benchmark::DoNotOptimize(r);
                }
            });
        add("FastDPE_m" + std::to_string(m), kLinear, 12193, [m](int k, int n, benchmark::State& st) {
            auto x = series(k, n);
            int len = n, mm = m, tau = 1;
            double r;
            for (auto _ : st) FastDPE(x.data(), &len, &mm, &tau, &r);
        });
    }
    add("MultiScale_DPE_m4_s2", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        const auto& src = series(k, n);
        std::vector<double> x(src);
        int len = n, tau = 1, scale = 2;
        double r;
        for (auto _ : st) {
            std::memcpy(x.data(), src.data(), sizeof(double) * n);
            int mm = 4;
            MultiScale_DPE(x.data(), &len, &mm, &tau, &scale, &r);
        }
    });
    add("DDPE_m4", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        int len = n, tau = 1;
        double r;
        for (auto _ : st) {
            int mm = 4;
            DDPE(x.data(), &len, &mm, &tau, &r);
        }
    });
    add("HVG_Entropy_m3", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        int len = n, tau = 1;
        for (auto _ : st) {
            int mm = 3;
            HVG_Entropy(x.data(), &len, &mm, &tau, gOut.data());
        }
    });
    add("calculateShannonEntropy", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        const auto& x = intSeries(k, n);
        std::vector<std::string> s;
        for (int v : x) s.push_back(std::to_string(v % 16));
        for (auto _ : st) benchmark::DoNotOptimize(calculateShannonEntropy(s));
    });

    // ---- information and correlation ----
    add("calculateMutualInformation", kLinear, 4096, [](int k, int n, benchmark::State& st) {
        auto a = series(k, n), b = series2(k, n);
        if (k == zb::kWalk)  // keep the joint states within the tables
            for (int i = 0; i < n; ++i) a[i] = a[i] / 8.0, b[i] = b[i] / 8.0;
        int len = n;
        double r;
        for (auto _ : st) calculateMutualInformation(a.data(), b.data(), &len, &r);
    }, {256, 4096});
    add("calculateJointProbability_int", kLinear, 4096, [](int k, int n, benchmark::State& st) {
        std::vector<int> a(n), b(n);
        const auto& x = series(k, n);
        const auto& y = series2(k, n);
        for (int i = 0; i < n; ++i) a[i] = static_cast<int>(x[i]) % 8, b[i] = static_cast<int>(y[i]) % 8;
        for (auto _ : st) benchmark::DoNotOptimize(calculateJointProbability(static_cast<const int*>(a.data()), b.data(), n));
    }, {256, 4096});
    add("Calculate_Correlation", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        auto a = intSeries(k, n);
        auto b = a;
        for (auto _ : st) benchmark::DoNotOptimize(Calculate_Correlation(a.data(), b.data(), n));
    });
    add("Calculate_Correlation_double", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        const auto& a = series(k, n);
        const auto& b = series2(k, n);
        for (auto _ : st) benchmark::DoNotOptimize(Calculate_Correlation_double(a.data(), b.data(), n));
    });
    add("Calculate_Covariance", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        const auto& a = intSeries(k, n);
        double mx, my;
        for (auto _ : st) benchmark::DoNotOptimize(Calculate_Covariance(a.data(), a.data(), n, mx, my));
    });
    add("CalculateVariane", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        const auto& a = intSeries(k, n);
        for (auto _ : st) benchmark::DoNotOptimize(CalculateVariane(a.data(), 0.5, n));
    });
    add("normaliseArray_double", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        auto a = series(k, n);
        for (auto _ : st) benchmark::DoNotOptimize(normaliseArray(a.data(), gInts.data(), n));
    });

    // ---- regularity ----
    add("sampen_1_m2", kQuadratic, 12193, [](int k, int n, benchmark::State& st) {
        const auto& src = series(k, n);
        std::vector<double> x(src);
        int M = 2, len = n;
        double r = 0.2;
        for (auto _ : st) {
            std::memcpy(x.data(), src.data(), sizeof(double) * n);
            sampen_1(x.data(), &M, &r, &len, gOut.data());
        }
    });
    add("sampen_m2", kQuadratic, 12193, [](int k, int n, benchmark::State& st) {
        const auto& src = series(k, n);
        std::vector<double> x(src);
        int len = n;
        double r = 0.2;
        for (auto _ : st) {
            std::memcpy(x.data(), src.data(), sizeof(double) * n);
            int M = 2;
            sampen(x.data(), &M, &r, &len, gOut.data());
        }
    });
    add("sampen2_m2", kQuadratic, 4064, [](int k, int n, benchmark::State& st) {
        const auto& src = series(k, n);
        std::vector<double> x(src);
        int M = 2, len = n;
        double r = 0.2;
        for (auto _ : st) {
            std::memcpy(x.data(), src.data(), sizeof(double) * n);
            sampen2(x.data(), &M, &r, &len, gOut.data());
        }
    }, {256, 4064});
    add("SmEn_m2", kQuadratic, 12193, [](int k, int n, benchmark::State& st) {
        const auto& x = series(k, n);
        int m = 2, len = n;
        double r = 1.0;  // tol = 1 x SD, the truncated r
        for (auto _ : st) benchmark::DoNotOptimize(SmEn(x.data(), &m, &r, &len, gOut.data()));
    });
    add("AppEn1_m2", kQuadratic, 12193, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        int m = 2, len = n;
        double r = 0.2;
        for (auto _ : st) AppEn1(x.data(), &len, &m, &r, gOut.data());
    });
    add("ApEn_m2", kQuadratic, 12193, [](int k, int n, benchmark::State& st) {
        const auto& x = series(k, n);
        for (auto _ : st) benchmark::DoNotOptimize(ApEn(x.data(), n, 2, 0.2, 1.0));
    });
    add("normalize", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        const auto& src = series(k, n);
        std::vector<double> x(src);
        for (auto _ : st) {
            std::memcpy(x.data(), src.data(), sizeof(double) * n);
            benchmark::DoNotOptimize(normalize(x.data(), n));
        }
    });

    // ---- spectral ----
    add("memcof_16", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        const auto& x = series(k, n);
        double xms, d[20];
        for (auto _ : st) benchmark::DoNotOptimize(memcof(x.data(), n, 16, xms, d));
    });
    add("memse", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        auto x = series(k, n);
        int len = n;
        double fs = 256.0;
        for (auto _ : st) memse(x.data(), &len, &fs, gOut.data());
    });
    add("band_power_16", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        const auto& x = series(k, n);
        double xms, d[20];
        memcof(x.data(), n, 16, xms, d);
        for (auto _ : st) benchmark::DoNotOptimize(band_power(8.0 / 256, 13.0 / 256, d, 16, xms));
    }, {256});

    // ---- matching ----
    add("Z_HVG_Match", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        const auto& a = intSeries(k, n);
        const auto& b = intSeries(k == zb::kWhite ? zb::kWalk : zb::kWhite, n);
        int len = n;
        for (auto _ : st) benchmark::DoNotOptimize(Z_HVG_Match(const_cast<int*>(a.data()), const_cast<int*>(b.data()), &len, nullptr, nullptr, gOut.data()));
    });
    add("Z_HVG_Match_back", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        std::vector<int> a(n), b(n);
        const auto& x = series(k, n);
        for (int i = 0; i < n; ++i) a[i] = 2 + (static_cast<int>(x[i] * 3) & 3), b[i] = 2 + (i % 3);
        int len = n;
        for (auto _ : st) benchmark::DoNotOptimize(Z_HVG_Match_back(a.data(), b.data(), &len, nullptr, nullptr, gOut.data()));
    });
    add("Z_HVGS", kLinear, 12193, [](int k, int n, benchmark::State& st) {
        std::vector<int> a(n), b(n);
        const auto& x = series(k, n);
        for (int i = 0; i < n; ++i) a[i] = 2 + (static_cast<int>(x[i] * 3) & 3), b[i] = 2 + (i % 3);
        int len = n;
        double q = 0, r = 0;
        for (auto _ : st) benchmark::DoNotOptimize(Z_HVGS(a.data(), b.data(), &len, &q, &r, gOut.data()));
    });

    // ---- stack, EEG path ----
    add("StackPushPop", kLinear, 12193, [](int, int n, benchmark::State& st) {
        stackT* stack = exported<stackT>("SortList1");
        for (auto _ : st) {
            stack->top = -1;
            for (int i = 0; i < n; ++i) StackPush(stack, i);
            int s = 0;
            while (!StackIsEmpty(stack)) s += StackPop(stack);
            benchmark::DoNotOptimize(s);
        }
    }, {256});
    benchmark::RegisterBenchmark("LoadAlcoholFile/4files", [](benchmark::State& st) {
        for (auto _ : st) loadTrials();
        zb::perSample(st, 64.0 * 1024);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("RunHVGS/64ch", [](benchmark::State& st) {
        loadTrials();
        std::vector<double> out(80);
        for (auto _ : st) RunHVGS(64, 256, out.data());
        zb::perSample(st, 64.0 * 63 / 2);
    })->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("RunMI/64ch", [](benchmark::State& st) {
        loadTrials();
        std::vector<double> out(80);
        for (auto _ : st) RunMI(64, 256, out.data());
        zb::perSample(st, 64.0 * 63 / 2);
    })->Unit(benchmark::kMicrosecond);
    return 0;
}

const int registered = registerAll();

}  // namespace
