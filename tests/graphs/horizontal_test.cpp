#include "zemba.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "reference/visibility.h"

namespace {

// Brute force: a pair sees over (or, inverted, under) its whole interior, a
// NaN never blocking; cost = tests until the first interior sample reaching
// the lower (higher) end.
struct Ref {
    std::vector<int> deg;
    std::vector<double> wt;
    long long cost = 0;
};
Ref reference(const std::vector<double>& x, bool inverted) {
    const int n = static_cast<int>(x.size());
    Ref r{std::vector<int>(n), std::vector<double>(n)};
    for (int i = 1; i < n; ++i)
        for (int j = 0; j < i; ++j) {
            r.cost += zemba_ref::horizontalCost(x, j, i, inverted);
            if (!zemba_ref::horizontalSees(x, j, i, inverted, false)) continue;
            double w = std::fabs(std::trunc(x[j] - x[i])) * (i - j) + 1;
            r.deg[i]++, r.deg[j]++, r.wt[i] += w, r.wt[j] += w;
        }
    return r;
}
std::vector<double> series(std::mt19937& g, int n, bool ties) {
    std::vector<double> x(n);
    for (double& v : x) v = ties ? double(g() % 4) : std::uniform_real_distribution<double>(-50, 50)(g);
    return x;
}
const std::vector<double> kExample{5, 1, 3, 2, 4};

}  // namespace

TEST(PairwiseGraph, WorkedExampleOrdinaryAndInverted) {
    std::vector<double> x = kExample, out(4);
    int n = 5, ordinary = 2, inverted = 3;
    EXPECT_EQ(Z_HVA(x.data(), &n, &ordinary, out.data()), 14.0);
    EXPECT_EQ(out, (std::vector<double>{14 / 5.0, 52 / 5.0, 2 / 5.0, 19 / 5.0}));
    const int deg[] = {3, 2, 4, 2, 3}, wt[] = {15, 8, 13, 5, 11};
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(outSets[k].degree == deg[k] && outSets[k].weight == wt[k]) << k;
    EXPECT_EQ(Z_HVA(x.data(), &n, &inverted, out.data()), 10.0);
    EXPECT_EQ(out, (std::vector<double>{10 / 5.0, 32 / 5.0, 1 / 5.0, 16 / 5.0}));
    const int ideg[] = {1, 3, 2, 3, 1}, iwt[] = {5, 11, 5, 8, 3};
    for (int k = 0; k < 5; ++k) EXPECT_TRUE(outSets[k].degree == ideg[k] && outSets[k].weight == iwt[k]) << k;
}

TEST(PairwiseGraph, EqualSampleBlocksAndNaNDoesNot) {
    std::vector<double> x{3, 1, 3, 1, 3}, out(4);
    int n = 5, c = 1;
    EXPECT_EQ(Z_HVA(x.data(), &n, &c, out.data()), 12.0);  // 4 neighbours + (0,2), (2,4)
    EXPECT_EQ(outSets[0].degree, 2);
    x = {1, NAN, 1}, n = 3;
    EXPECT_EQ(Z_HVA(x.data(), &n, &c, out.data()), 6.0);
    EXPECT_EQ(out[3], 4 / 3.0);
}

TEST(PairwiseGraph, TinySeriesAndCapacityGuard) {
    std::vector<double> x(12194, 1.0), out(4, -7.0);
    int n = 1, c = 0;
    EXPECT_EQ(Z_HVA(x.data(), &n, &c, out.data()), 0.0);
    EXPECT_EQ(out, std::vector<double>(4, 0.0));
    out.assign(6, -7.0);
    EXPECT_EQ(Z_ZEMBA(x.data(), &n, out.data()), 0.0);
    EXPECT_EQ(out, std::vector<double>(6, 0.0));
    n = 0;
    Z_ZEMBA(x.data(), &n, out.data());
    for (double v : out) EXPECT_TRUE(std::isnan(v));
    out.assign(4, -7.0);
    Z_HVA(x.data(), &n, &c, out.data());
    for (double v : out) EXPECT_TRUE(std::isnan(v));
    for (int bad : {12194, -1}) {
        out.assign(6, -7.0);
        outSets[0].degree = 99;
        n = bad;
        EXPECT_EQ(Z_HVA(x.data(), &n, &c, out.data()), 0.0);
        EXPECT_EQ(Z_ZEMBA(x.data(), &n, out.data()), 0.0);
        EXPECT_EQ(out, std::vector<double>(6, -7.0));
        EXPECT_EQ(outSets[0].degree, 99);
    }
}

TEST(PairwiseGraph, HugeDifferencesWrapIn32Bits) {
    // trunc(3e9) is out of range: INT32_MIN, whose magnitude stays INT32_MIN;
    // + 1 gives -2147483647 per node, and two of them add to 2 in 32 bits.
    std::vector<double> x{3e9, 0}, out(6);
    int n = 2, c = 1;
    Z_HVA(x.data(), &n, &c, out.data());
    EXPECT_EQ(outSets[1].weight, -2147483647.0);
    EXPECT_EQ(out[1], 1.0);
    Z_ZEMBA(x.data(), &n, out.data());
    EXPECT_EQ(out[1], -2147483647.0);
}

TEST(PairwiseGraph, CostCountIsNotLimitedTo32Bits) {
    // Valley |k - c|: cross pairs of heights a, b cost 2 (a > b), 2a (a = b),
    // 1 + 2a (a < b); within a flank, neighbours cost 1 and other pairs 2.
    const long long c = 2000;
    std::vector<double> x(2 * c + 1), out(4);
    for (long long k = 0; k <= 2 * c; ++k) x[k] = double(std::llabs(k - c));
    long long cost = 2 * (c + 2 * (c * (c + 1) / 2 - c));
    for (long long a = 1; a <= c; ++a)
        for (long long b = 1; b <= c; ++b) cost += a > b ? 2 : a == b ? 2 * a : 1 + 2 * a;
    ASSERT_GT(cost, 2147483647LL);
    int n = int(x.size()), crit = 1;
    Z_HVA(x.data(), &n, &crit, out.data());
    EXPECT_EQ(out[3], double(cost) / n);
}

TEST(PairwiseGraph, MatchesBruteForceOnRandomSeries) {
    std::mt19937 g(11);
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<double> x = series(g, 1 + trial % 70, trial % 2), out(4), dtw(4);
        int n = int(x.size());
        for (int crit : {0, 2, 3}) {
            Ref r = reference(x, crit > 2);
            double ret = Z_HVA(x.data(), &n, &crit, out.data());
            long long D = 0, W = 0, c2 = 0;
            for (int k = 0; k < n; ++k) {
                ASSERT_EQ(outSets[k].degree, r.deg[k]);
                ASSERT_EQ(outSets[k].weight, r.wt[k]);
                D += r.deg[k], W += (long long)r.wt[k], c2 += r.deg[k] == 2;
            }
            EXPECT_EQ(ret, double(D));
            EXPECT_EQ(out, (std::vector<double>{double(D) / n, double(W) / n, double(c2) / n, double(r.cost) / n}));
        }
        Z_DTW(x.data(), nullptr, &n, dtw.data());
        int crit = 1;
        Z_HVA(x.data(), &n, &crit, out.data());
        EXPECT_EQ(dtw, out);
    }
}

TEST(PairwiseGraph, NaNSamplesNeverBlockOnRandomSeries) {
    std::mt19937 g(13);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<double> x = series(g, 2 + trial % 40, trial % 2), out(4);
        for (double& v : x) v = g() % 4 ? v : NAN;
        int n = int(x.size()), crit = trial % 3 ? 1 : 3;
        Ref r = reference(x, crit > 2);
        Z_HVA(x.data(), &n, &crit, out.data());
        for (int k = 0; k < n; ++k) ASSERT_EQ(outSets[k].degree, r.deg[k]);
        EXPECT_EQ(out[3], double(r.cost) / n);
    }
}

TEST(PairwiseSummary, WorkedExamplesAndGuards) {
    std::vector<double> v{1, 1, 1}, out(4, -7.0);
    int n = 3;
    Z_DTW(v.data(), nullptr, &n, out.data());
    EXPECT_EQ(out, (std::vector<double>{4 / 3.0, 4 / 3.0, 1 / 3.0, 4 / 3.0}));
    v = {3, 1, 2};
    Z_DTW(v.data(), nullptr, &n, out.data());
    EXPECT_EQ(out, (std::vector<double>{2, 16 / 3.0, 1, 4 / 3.0}));
    n = 0;
    Z_DTW(v.data(), nullptr, &n, out.data());
    for (double o : out) EXPECT_TRUE(std::isnan(o));
    for (int bad : {12195, -2}) {
        out.assign(4, -7.0);
        n = bad;
        Z_DTW(v.data(), nullptr, &n, out.data());
        EXPECT_EQ(out, std::vector<double>(4, -7.0));
    }
    std::vector<double> big(12194, 0.0);  // the full outSets capacity is accepted
    n = 12194;
    Z_DTW(big.data(), nullptr, &n, out.data());
    EXPECT_EQ(outSets[12193].degree, 1);
    EXPECT_EQ(out[0], 2.0 * 12193 / 12194);
}

TEST(StackGraph, WorkedExampleAndStackLeftVisible) {
    std::vector<double> x = kExample, out(6);
    int n = 5;
    EXPECT_EQ(Z_ZEMBA(x.data(), &n, out.data()), 14.0);
    EXPECT_EQ(out, (std::vector<double>{2.8, 10.4, 0.4, 1.8, 0.4, 0.2}));
    EXPECT_EQ(x, kExample);
    EXPECT_EQ(SortList1.top, 1);
    EXPECT_EQ(SortList1.items[0], 0);
    EXPECT_EQ(SortList1.items[1], 4);
}

TEST(StackGraph, MatchesBruteForceOnRandomSeries) {
    // Every stack pop at a step with x[b] >= x[b-1] yields one edge to an
    // earlier node; n - 1 nodes are pushed.
    std::mt19937 g(5);
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<double> x = series(g, 1 + trial % 90, trial % 2), out(6);
        const std::vector<double> copy = x;
        int n = int(x.size());
        Ref r = reference(x, false);
        std::vector<int> back(n);
        for (int i = 1; i < n; ++i)
            for (int j = 0; j < i; ++j) back[i] += zemba_ref::horizontalSees(x, j, i);
        double D = 0, W = 0, c[6] = {}, P = n - 1;
        const double ret = Z_ZEMBA(x.data(), &n, out.data());
        for (int k = 0; k < n; ++k) {
            ASSERT_EQ(outSets[k].degree, r.deg[k]);
            ASSERT_EQ(outSets[k].weight, r.wt[k]);
            D += r.deg[k], W += r.wt[k], c[std::min(r.deg[k], 5)] += 1;
            if (k > 0 && x[k] >= x[k - 1]) P += back[k];
        }
        EXPECT_EQ(ret, D);
        EXPECT_EQ(out, (std::vector<double>{D / n, W / n, c[2] / n, P / n, c[3] / n, c[4] / n}));
        EXPECT_EQ(x, copy);
    }
}
