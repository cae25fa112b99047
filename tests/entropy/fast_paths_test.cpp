// The pattern entropies counted over integer pattern codes against the
// straightforward path kept here (one string per window, counted by
// calculateShannonEntropy), compared bit for bit, with what they print and
// leave in the shared buffers.
#include "zemba.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "reference/entropy.h"
#include "support/capture.h"
#include "support/series.h"

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

double referencePermutationEntropy(const std::vector<double>& x, int m) {
    const int n = static_cast<int>(x.size());
    const int L = m - 1;
    std::vector<std::string> patterns;
    for (int i = 0; i + m <= n; ++i) patterns.push_back(zemba_ref::riseFallPattern(x, i, m));
    uint32_t f = 1;  // L! in 32 bits, L <= 12
    for (int t = 2; t <= L; ++t) f *= static_cast<uint32_t>(t);
    return calculateShannonEntropy(patterns) / std::log(static_cast<double>(static_cast<int32_t>(f)));
}

std::vector<double> series(int n, uint64_t seed, int kind) { return zemba_test::series(n, seed, kind, 2.0); }

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

TEST(PermutationEntropyFastPath, CodesReachTwentySteps) {
    // L = 16 and 20 are counted as codes, L = 21 as strings.
    for (int m : {17, 21, 22})
        for (int kind = 0; kind < 3; ++kind) {
            auto x = series(5000, m + kind, kind);
            std::vector<std::string> patterns;
            for (int i = 0; i + m <= 5000; ++i) patterns.push_back(zemba_ref::riseFallPattern(x, i, m));
            double f = 1.0;  // every product exact: the odd part of 21! stays below 2^53
            for (int t = 2; t < m; ++t) f *= t;
            const double expect = calculateShannonEntropy(patterns) / std::log(f);
            int len = 5000, mm = m;
            double got = 0.0;
            calculatePermutationEntropy(x.data(), &len, &mm, &got);
            EXPECT_TRUE(sameBits(got, expect)) << m << " " << kind;
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

// ---- ordinal and delayed patterns ---------------------------------------------

// kind 3: noise with NaN samples sprinkled in.
std::vector<double> testSeries(int n, uint64_t seed, int kind) {
    auto x = series(n, seed, kind == 3 ? 0 : kind);
    if (kind == 3)
        for (int i = static_cast<int>(seed % 5); i < n; i += 9) x[i] = std::nan("");
    return x;
}

using zemba_ref::selectionSort;

struct Expected {
    double h;
    std::vector<int32_t> list;  // PerList afterwards
};

Expected referenceDelayEntropy(const std::vector<double>& x, int m, int tau) {
    const int n = static_cast<int>(x.size()), mp = m - 1;
    if (tau < 1) tau = 1;
    std::vector<int32_t> list(PerList, PerList + ZEMBA_PERLIST_CAP);
    std::vector<std::string> patterns;
    for (int i = 0; i <= n - mp; ++i) {
        for (int k = 0; k <= mp; ++k) list[k] = static_cast<int32_t>(i + int64_t(k) * tau);
        if (i + int64_t(mp) * tau > n) break;
        if (m != 2) selectionSort(list.data(), mp, [&](int32_t a) { return x[a]; });
        std::string p;
        for (int k = 0; k < mp; ++k) p += static_cast<char>('0' + (list[k] - i) / tau);
        patterns.push_back(p);
    }
    return {calculateShannonEntropy(patterns), list};
}

double referenceDDPE(const std::vector<double>& x, int m, int tau) {
    return calculateShannonEntropy(zemba_ref::delayedRiseFallPatterns(x, m, tau));
}

// Degree patterns over windows of m consecutive nodes whose starts advance by tau.
Expected referenceDegreePatterns(int n, int m, int tau) {
    if (tau < 1) tau = 1;
    std::vector<int32_t> list(PerList, PerList + ZEMBA_PERLIST_CAP);
    std::vector<std::string> patterns;
    for (int w = 0; w <= n - m; ++w) {
        const int64_t s = int64_t(w) * tau;
        for (int k = 0; k <= m; ++k) list[k] = static_cast<int32_t>(s + k);
        if (s + m > n) break;
        selectionSort(list.data(), m, [](int32_t a) { return outSets[a].degree; });
        std::string p;
        for (int k = 0; k < m; ++k) p += static_cast<char>('0' + (list[k] - s));
        patterns.push_back(p);
    }
    return {calculateShannonEntropy(patterns), list};
}

void scramblePerList() {
    for (int k = 0; k < ZEMBA_PERLIST_CAP; ++k) PerList[k] = 1000 + 7 * k;
}

std::vector<int32_t> perList() { return std::vector<int32_t>(PerList, PerList + ZEMBA_PERLIST_CAP); }

const int kTaus[] = {-2, 0, 1, 2, 3, 5};

TEST(DelayPermutationEntropyFastPath, MatchesStringCountingBitForBit) {
    for (int kind = 0; kind < 4; ++kind)
        for (int n : {2, 3, 7, 64, 1000, 12193})
            for (int m : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 16, 17, 30, 64, 65})
                for (int tau : kTaus) {
                    if (n > 1000 && (m > 17 || tau == 2 || tau < 1)) continue;  // keep the long series quick
                    auto x = testSeries(n, 7 * n + m + 100 * kind, kind);
                    scramblePerList();
                    const bool runs = n >= m && m > 1 && m <= ZEMBA_PERLIST_CAP;
                    const Expected expect = runs ? referenceDelayEntropy(x, m, tau) : Expected{-1.0, perList()};
                    scramblePerList();
                    int len = n, mm = m, t = tau;
                    double got = 0.0;
                    calculateDelayPermutationEntropy(x.data(), &len, &mm, &t, &got);
                    const std::string where = std::to_string(kind) + " n=" + std::to_string(n) +
                                              " m=" + std::to_string(m) + " tau=" + std::to_string(tau);
                    EXPECT_TRUE(sameBits(got, expect.h)) << where << ": " << got << " vs " << expect.h;
                    EXPECT_EQ(mm, runs ? m - 1 : m) << where;
                    EXPECT_EQ(perList(), expect.list) << where;
                }
}

TEST(DelayPermutationEntropyFastPath, HashedAndOverflowingCodeTablesStillMatch) {
    // Long patterns are hashed; more windows than the hash holds take the string path.
    for (int n : {20000, 70000})
        for (int m : {5, 7, 8, 9, 12, 16}) {
            auto x = testSeries(n, n + m, 2);
            const Expected expect = referenceDelayEntropy(x, m, 1);
            int len = n, mm = m, t = 1;
            double got = 0.0;
            calculateDelayPermutationEntropy(x.data(), &len, &mm, &t, &got);
            EXPECT_TRUE(sameBits(got, expect.h)) << n << " " << m;
            EXPECT_EQ(perList(), expect.list);
        }
}

TEST(MultiScaleDPEFastPath, BlockSumsThenDelayEntropyBitForBit) {
    for (int kind = 0; kind < 4; ++kind)
        for (int scale : {1, 2, 3})
            for (int m : {3, 4, 6})
                for (int tau : {1, 2}) {
                    const auto x = testSeries(5001, 11 * scale + m + kind, kind);
                    std::vector<double> sums(x);
                    const int coarse = 5001 / scale;
                    for (int j = 0; j < coarse; ++j) {
                        double s = 0.0;
                        for (int t = 0; t < scale; ++t) s += x[j * scale + t];
                        sums[j] = s;
                    }
                    const Expected expect = referenceDelayEntropy(std::vector<double>(sums.begin(), sums.begin() + coarse), m, tau);
                    auto y = x;
                    int len = 5001, mm = m, t = tau, sc = scale;
                    double got = 0.0;
                    MultiScale_DPE(y.data(), &len, &mm, &t, &sc, &got);
                    EXPECT_TRUE(sameBits(got, expect.h)) << kind << " " << scale << " " << m << " " << tau;
                    EXPECT_EQ(std::memcmp(y.data(), sums.data(), sizeof(double) * y.size()), 0);
                    EXPECT_EQ(mm, m - 1);
                }
}

TEST(DDPEFastPath, MatchesStringCountingBitForBit) {
    // Spans up to 19 steps index a table, up to 62 are hashed, longer ones are strings.
    for (int kind = 0; kind < 4; ++kind)
        for (int n : {2, 3, 8, 100, 3001, 12193})
            for (int m : {-1, 1, 2, 3, 4, 5, 6, 8, 9, 12, 20, 64})
                for (int tau : kTaus) {
                    if (n > 3001 && (m > 20 || tau == 2 || tau < 1)) continue;
                    auto x = testSeries(n, 13 * n + m + kind, kind);
                    const bool runs = n >= m && m > 1;
                    const double expect = runs ? referenceDDPE(x, m, tau) : -1.0;
                    int len = n, mm = m, t = tau;
                    double got = 0.0;
                    DDPE(x.data(), &len, &mm, &t, &got);
                    EXPECT_TRUE(sameBits(got, expect))
                        << kind << " n=" << n << " m=" << m << " tau=" << tau << ": " << got << " vs " << expect;
                    EXPECT_EQ(mm, runs ? m - 1 : m);
                }
}

TEST(DDPEFastPath, LongSeriesOverEveryCodeTable) {
    // Spans of 9 steps index a table, 24 are hashed; 20 steps over 69980
    // windows overflow the hash and go back to strings.
    auto x = testSeries(70000, 5, 0);
    for (auto [m, tau] : {std::pair<int, int>{4, 3}, {9, 3}, {21, 1}}) {
        const double expect = referenceDDPE(x, m, tau);
        int len = 70000, mm = m, t = tau;
        double got = 0.0;
        DDPE(x.data(), &len, &mm, &t, &got);
        EXPECT_TRUE(sameBits(got, expect)) << m;
    }
}

TEST(HVGEntropyFastPath, DegreePatternsPrintedLineAndIndexListMatchStrings) {
    for (int kind = 0; kind < 4; ++kind)
        for (int n : {1, 2, 5, 40, 999, 12193})
            for (int m : {-1, 1, 2, 3, 4, 5, 7, 9, 15, 16, 63, 64})
                for (int tau : kTaus) {
                    if (n > 999 && (m > 16 || tau == 2 || tau < 1)) continue;
                    auto x = testSeries(n, 17 * n + m + kind, kind);
                    const bool runs = n >= m && m > 1 && m < ZEMBA_PERLIST_CAP;
                    scramblePerList();
                    double out[3] = {5.0, 6.0, 7.0};
                    int len = n, mm = m, t = tau;
                    const std::string printed =
                        zemba_test::captureStdout([&] { HVG_Entropy(x.data(), &len, &mm, &t, out); });
                    std::vector<int32_t> left = perList();
                    scramblePerList();
                    const Expected expect = runs ? referenceDegreePatterns(n, m, tau) : Expected{7.0, perList()};
                    const std::string where = std::to_string(kind) + " n=" + std::to_string(n) +
                                              " m=" + std::to_string(m) + " tau=" + std::to_string(tau);
                    EXPECT_TRUE(sameBits(out[2], expect.h)) << where << ": " << out[2] << " vs " << expect.h;
                    EXPECT_EQ(left, expect.list) << where;
                    EXPECT_EQ(mm, m);
                    if (!runs) {
                        EXPECT_EQ(out[0], -1.0);
                        EXPECT_EQ(out[1], 6.0);
                        EXPECT_EQ(printed, "");
                        continue;
                    }
                    uint64_t bits;
                    std::memcpy(&bits, &expect.h, sizeof bits);
                    EXPECT_EQ(printed, std::to_string(static_cast<int32_t>(static_cast<uint32_t>(bits))) + "\n");
                }
}

}  // namespace
