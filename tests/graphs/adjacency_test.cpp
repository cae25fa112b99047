#include "zemba.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "reference/visibility.h"

namespace {

std::vector<int> build(std::vector<double> x, int mode, std::size_t cells, int fill = 0) {
    std::vector<int> out(cells, fill);
    int n = int(x.size());
    getHVGAdjMatrix(x.data(), &n, &mode, out.data());
    return out;
}

}  // namespace

TEST(AdjacencyGraph, WorkedExampleSequencesAndMatrix) {
    const std::vector<double> x{5, 1, 3, 2, 4};
    EXPECT_EQ(build(x, 2, 10), (std::vector<int>{3, 2, 4, 2, 3, 15, 8, 13, 5, 11}));
    EXPECT_EQ(build(x, 4, 10), (std::vector<int>{1, 3, 2, 3, 1, 5, 11, 5, 8, 3}));
    std::vector<int> m(25);
    for (auto e : {std::pair{0, 1}, {1, 2}, {2, 3}, {3, 4}, {0, 2}, {0, 4}, {2, 4}}) m[e.first * 5 + e.second] = m[e.second * 5 + e.first] = 1;
    m[0] = 14, m[6] = 52;
    EXPECT_EQ(build(x, 1, 25), m);
}

TEST(AdjacencyGraph, FarWeightTruncatesTheProductAndEqualSampleBlocks) {
    EXPECT_EQ(build({2.5, 1, 2}, 2, 6), (std::vector<int>{2, 2, 2, 4, 4, 4}));
    EXPECT_EQ(build({1, 5, 5}, 4, 6), (std::vector<int>{1, 2, 1, 5, 6, 1}));
}

TEST(AdjacencyGraph, SmallSeriesAndOtherModesAndGuards) {
    EXPECT_EQ(build({7}, 1, 3, -1), (std::vector<int>{0, -1, 0}));
    EXPECT_EQ(build({7}, 2, 3, -1), (std::vector<int>{0, 0, -1}));
    EXPECT_EQ(build({}, 3, 3, -1), (std::vector<int>{0, 0, -1}));
    EXPECT_EQ(build({}, 4, 3, -1), (std::vector<int>{-1, -1, -1}));
    EXPECT_EQ(build({5, 1, 3, 2, 4}, 0, 3, -1), (std::vector<int>(3, -1)));
    EXPECT_EQ(outSets[2].degree, 4);
    EXPECT_EQ(build({5, 1, 3, 2, 4}, 5, 3, -1), (std::vector<int>(3, -1)));
    EXPECT_EQ(outSets[2].degree, 2);
    std::vector<double> x(12194, 1.0);
    std::vector<int> out(4, -1);
    for (int n : {12194, -1}) {
        int mode = 2;
        outSets[0].degree = 99, SortList1.top = 42;
        getHVGAdjMatrix(x.data(), &n, &mode, out.data());
        EXPECT_EQ(out, std::vector<int>(4, -1));
        EXPECT_TRUE(outSets[0].degree == 99 && SortList1.top == 42);
    }
}

TEST(AdjacencyGraph, MatchesBruteForceOnRandomSeries) {
    // Brute force over all pairs; the stack left behind holds the strict
    // suffix maxima (minima, inverted) and the last node.
    std::mt19937 g(3);
    for (int trial = 0; trial < 400; ++trial) {
        const int n = 1 + trial % 60;
        std::vector<double> x(n);
        for (double& v : x) v = trial % 2 ? double(g() % 4) : std::uniform_real_distribution<double>(-9, 9)(g);
        for (int mode : {1, 2, 3, 4}) {
            const bool inv = mode > 2;
            std::vector<int> adj(n * n + 2), seq(2 * n), stack;
            std::vector<double> wt(n);
            for (int i = 1; i < n; ++i)
                for (int j = 0; j < i; ++j) {
                    if (!zemba_ref::horizontalSees(x, j, i, inv)) continue;
                    double w = 1 + std::fabs(std::trunc(i - j == 1 ? x[i] - x[j] : (x[i] - x[j]) * (i - j)));
                    adj[i * n + j] = adj[j * n + i] = 1, seq[i]++, seq[j]++, wt[i] += w, wt[j] += w;
                }
            for (int k = 0; k < n; ++k) {
                seq[n + k] = int(wt[k]);
                bool last = true;
                for (int m = k + 1; m < n; ++m) last = last && (inv ? x[k] < x[m] : x[k] > x[m]);
                if (last) stack.push_back(k);
            }
            if (mode % 2) {
                adj[0] = 0, adj[n + 1] = 0;
                for (int k = 0; k < n; ++k) adj[0] += seq[k], adj[n + 1] += seq[n + k];
                ASSERT_EQ(build(x, mode, adj.size()), adj) << trial;
            } else {
                ASSERT_EQ(build(x, mode, seq.size()), seq) << trial;
            }
            ASSERT_EQ(std::vector<int>(SortList1.items, SortList1.items + SortList1.top + 1), stack);
        }
    }
}

TEST(DegreeDistribution, CountsOrWeightsPerDegreeOverNodes) {
    std::vector<int> seq{3, 2, 4, 2, 3, 15, 8, 13, 5, 11};
    int n = 5, maxDeg = 4, mode = 1;
    std::vector<double> d(5);
    EXPECT_EQ(getDegreeDistribute_int(seq.data(), &n, &maxDeg, &mode, d.data()), d.data());
    EXPECT_EQ(d, (std::vector<double>{0, 0, 0.4, 0.4, 0.2}));
    d.assign(5, 0.0), mode = 2;
    getDegreeDistribute_int(seq.data(), &n, &maxDeg, &mode, d.data());
    EXPECT_EQ(d, (std::vector<double>{0, 0, 13 / 5.0, 26 / 5.0, 13 / 5.0}));
    seq = {5, -1, 2, 1, 1, 1}, n = 3, maxDeg = 3, mode = 1;  // 5 > maxDeg and -1 skipped
    std::vector<double> guarded(6, 0.0);
    getDegreeDistribute_int(seq.data(), &n, &maxDeg, &mode, guarded.data() + 1);
    EXPECT_EQ(guarded, (std::vector<double>{0, 0, 0, 1 / 3.0, 0, 0}));
}

TEST(DegreeDistribution, ClusterSumsPerTruncatedDegree) {
    std::vector<double> deg{2.7, 0, 3, 4, -3, NAN, -0.5}, val{1, 2, 4, 8, 16, 32, 64, 1, 2, 3, 4, 5, 6, 7};
    int n = 7, maxDeg = 3, mode = 1;
    std::vector<double> d(6, 1.0);
    getDegreeClusterDistribute(deg.data(), val.data(), &n, &maxDeg, &mode, d.data() + 1);
    EXPECT_EQ(d, (std::vector<double>{1, 67, 1, 2, 5, 1}));
    mode = 2;
    getDegreeClusterDistribute(deg.data(), val.data(), &n, &maxDeg, &mode, d.data() + 1);
    EXPECT_EQ(d, (std::vector<double>{1, 76, 1, 3, 8, 1}));
}
