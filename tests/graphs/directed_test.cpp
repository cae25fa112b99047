#include "zemba.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "reference/visibility.h"

namespace {

std::vector<double> features(std::vector<int> x) {
    std::vector<double> out(6, -1.0);
    getZEMBG_4features(x.data(), int(x.size()), out.data());
    return out;
}

}  // namespace

TEST(DirectedGraph, WorkedExamples) {
    EXPECT_EQ(features({5, 1, 3, 2, 4}), (std::vector<double>{14, 6, 7, 52, 32, 26}));
    const int db[] = {0, 1, 2, 1, 3}, df[] = {3, 1, 2, 1, 0}, wb[] = {0, 5, 8, 2, 11}, wf[] = {15, 3, 5, 3, 0};
    for (int k = 0; k < 5; ++k) {
        EXPECT_TRUE(outSets[k].degree == db[k] && outSets[k].weight == wb[k]) << k;
        EXPECT_TRUE(inSets[k].degree == df[k] && inSets[k].weight == wf[k]) << k;
    }
    EXPECT_EQ(features({1, 2, 3}), (std::vector<double>{4, 2, 2, 8, 4, 4}));
    EXPECT_EQ(features({3, 3, 3}), (std::vector<double>{4, 2, 2, 4, 2, 2}));
}

TEST(DirectedGraph, EmptyAndOversizedSeries) {
    EXPECT_EQ(features({7}), std::vector<double>(6, 0.0));
    SortList1.top = 9;
    int x = 1;
    std::vector<double> out(6, -1.0);
    getZEMBG_4features(&x, -3, out.data());
    EXPECT_EQ(out, std::vector<double>(6, 0.0));
    EXPECT_TRUE(SortList1.top == 0 && SortList1.items[0] == 0);
    std::vector<int> big(12194, 1);
    out.assign(6, -1.0);
    inSets[0].degree = 99;
    getZEMBG_4features(big.data(), 12194, out.data());
    EXPECT_EQ(out, std::vector<double>(6, -1.0));
    EXPECT_EQ(inSets[0].degree, 99);
}

TEST(DirectedGraph, MatchesBruteForceOnRandomIntegerSeries) {
    std::mt19937 g(7);
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<int> x(1 + trial % 80);
        for (int& v : x) v = int(g() % (trial % 2 ? 4 : 1000)) - 2;
        const int n = int(x.size());
        std::vector<long long> db(n), df(n), wb(n), wf(n);
        for (int i = 1; i < n; ++i)
            for (int j = 0; j < i; ++j) {
                if (!zemba_ref::horizontalSees(x, j, i)) continue;
                long long w = std::llabs((long long)(x[i] - x[j]) * (i - j)) + 1;
                db[i]++, df[j]++, wb[i] += w, wf[j] += w;
            }
        std::vector<double> expect(6);
        for (int k = 0; k < n; ++k) {
            expect[0] += db[k] + df[k], expect[1] += std::llabs(db[k] - df[k]), expect[2] += db[k];
            expect[3] += wb[k] + wf[k], expect[4] += std::llabs(wb[k] - wf[k]), expect[5] += wb[k];
        }
        std::vector<double> out = features(x);
        ASSERT_EQ(out, expect) << trial;
        EXPECT_TRUE(out[0] == 2 * out[2] && out[3] == 2 * out[5]);
    }
}
