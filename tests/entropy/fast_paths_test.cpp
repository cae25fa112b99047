// Permutation entropy counted over integer pattern codes against the
// straightforward path kept here (one string per window, counted by
// calculateShannonEntropy), compared bit for bit.
#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

double referencePermutationEntropy(const std::vector<double>& x, int m) {
    const int n = static_cast<int>(x.size());
    const int L = m - 1;
    std::vector<std::string> patterns;
    for (int i = 0; i + m <= n; ++i) {
        std::string p;
        for (int k = 0; k < L; ++k) p += x[i + k + 1] > x[i + k] ? '0' : '1';
        patterns.push_back(p);
    }
    uint32_t f = 1;  // L! in 32 bits, L <= 12
    for (int t = 2; t <= L; ++t) f *= static_cast<uint32_t>(t);
    return calculateShannonEntropy(patterns) / std::log(static_cast<double>(static_cast<int32_t>(f)));
}

std::vector<double> series(int n, uint64_t seed, int kind) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> z(0.0, 1.0);
    std::vector<double> x(static_cast<size_t>(n));
    double s = 0.0;
    for (auto& v : x) {
        const double e = z(g);
        v = kind == 0 ? e : kind == 1 ? (s += e) : std::round(2.0 * e);  // kind 2: many ties
    }
    return x;
}

TEST(PermutationEntropyFastPath, MatchesStringCountingBitForBit) {
    for (int kind = 0; kind < 3; ++kind)
        for (int n : {3, 20, 257, 4096, 12193})
            for (int m : {2, 3, 4, 5, 7, 10, 13}) {
                if (m > n) continue;
                auto x = series(n, 31 * n + m + kind, kind);
                int len = n, mm = m;
                double got = 0.0;
                calculatePermutationEntropy(x.data(), &len, &mm, &got);
                const double expect = referencePermutationEntropy(x, m);
                EXPECT_TRUE(sameBits(got, expect)) << kind << " " << n << " " << m << ": " << got << " vs " << expect;
                EXPECT_EQ(mm, m - 1);
            }
}

TEST(PermutationEntropyFastPath, NaNSamplesNeverRise) {
    auto x = series(600, 3, 0);
    for (int i = 5; i < 600; i += 37) x[i] = std::nan("");
    for (int m : {3, 5}) {
        int len = 600, mm = m;
        double got = 0.0;
        calculatePermutationEntropy(x.data(), &len, &mm, &got);
        EXPECT_TRUE(sameBits(got, referencePermutationEntropy(x, m))) << m;
    }
}

TEST(PermutationEntropyFastPath, RepeatedCallsLeaveNoCountsBehind) {
    const auto a = series(1000, 1, 0), b = series(700, 2, 1);
    for (int round = 0; round < 3; ++round)
        for (const auto* x : {&a, &b}) {
            auto y = *x;
            int len = static_cast<int>(y.size()), mm = 5;
            double got = 0.0;
            calculatePermutationEntropy(y.data(), &len, &mm, &got);
            EXPECT_TRUE(sameBits(got, referencePermutationEntropy(*x, 5)));
        }
}

}  // namespace
