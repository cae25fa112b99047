// Natural visibility graphs with their slopes computed a row at a time,
// against the straightforward one-pass construction kept here: the slope
// matrix, the outputs and the printed text must agree bit for bit.
#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "frame/arith.h"
#include "support/capture.h"

namespace {

struct Reference {
    std::vector<double> slopes;  // n x n
    std::vector<int32_t> degree;
    std::vector<double> weight;
};

Reference referenceNatural(const std::vector<double>& v, int tau) {
    const int n = static_cast<int>(v.size());
    Reference r{std::vector<double>(static_cast<size_t>(n) * n, 0.0), std::vector<int32_t>(n, 0),
                std::vector<double>(n, 0.0)};
    for (int i = 0; i + tau < n; ++i) {
        double best = 0.0;
        for (int j = i + tau; j < n; j += tau) {
            const double slope = (v[i] - v[j]) / static_cast<double>(i - j);
            r.slopes[static_cast<size_t>(i) * n + j] = slope;
            if (j == i + tau || slope > best) {
                const int32_t w = zemba::wrapAdd(zemba::wrapAbs(zemba::trunc32(v[j] - v[i])), 1);
                r.degree[i]++, r.degree[j]++;
                r.weight[i] += w, r.weight[j] += w;
                best = slope;
            }
        }
    }
    return r;
}

std::vector<double> series(int n, uint64_t seed, int kind) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> z(0.0, 1.0);
    std::vector<double> x(static_cast<size_t>(n));
    double s = 0.0;
    for (auto& v : x) {
        const double e = z(g);
        v = kind == 0 ? e : kind == 1 ? (s += e) : std::round(3.0 * e);
    }
    return x;
}

TEST(NaturalVisibilityFastPath, SlopesDegreesAndWeightsMatchOnePassConstruction) {
    for (int kind = 0; kind < 3; ++kind)
        for (int n : {2, 3, 17, 256, 1001})
            for (int tau : {1, 2, 5}) {
                auto v = series(n, 7 * n + tau + kind, kind);
                const Reference r = referenceNatural(v, tau);
                std::vector<int> out(2 * static_cast<size_t>(n) + 4, 0);
                int len = n, mode = 2, t = tau;
                double ret = 0.0;
                const std::string printed = zemba_test::captureStdout([&] { ret = getVGFast(v.data(), &len, &mode, &t, out.data()); });
                int32_t sum = 0;
                for (int i = 0; i < n; ++i) {
                    sum += r.degree[i];
                    ASSERT_EQ(out[i], r.degree[i]) << n << " " << tau << " " << i;
                    ASSERT_EQ(out[n + i], zemba::trunc32(r.weight[i]));
                    ASSERT_EQ(0, std::memcmp(SlopMatrix[i], &r.slopes[static_cast<size_t>(i) * n], sizeof(double) * n))
                        << "row " << i << " n " << n << " tau " << tau;
                }
                EXPECT_EQ(ret, sum);
                EXPECT_EQ(printed, "Degree=" + std::to_string(sum) + "\n");
            }
}

TEST(NaturalVisibilityFastPath, FarEdgesArePrintedInScanOrder) {
    auto v = series(120, 11, 1);
    const Reference r = referenceNatural(v, 1);
    std::string expect;
    for (int i = 0; i + 1 < 120; ++i) {
        double best = r.slopes[static_cast<size_t>(i) * 120 + i + 1];
        for (int j = i + 2; j < 120; ++j) {
            const double s = r.slopes[static_cast<size_t>(i) * 120 + j];
            if (s > best) {
                best = s;
                expect += "i=" + std::to_string(i) + ":" + std::to_string(j) + "\n";
            }
        }
    }
    std::vector<int> adj(120 * 120, 0);
    int len = 120, mode = 1, tau = 1;
    const std::string printed = zemba_test::captureStdout([&] { getVGFast(v.data(), &len, &mode, &tau, adj.data()); });
    EXPECT_EQ(printed.substr(0, expect.size()), expect);
    for (int i = 0; i < 120; ++i)
        ASSERT_EQ(0, std::memcmp(SlopMatrix[i], &r.slopes[static_cast<size_t>(i) * 120], sizeof(double) * 120));
}

}  // namespace
