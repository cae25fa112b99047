#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

std::string lineFor(double h) {
    uint64_t bits;
    std::memcpy(&bits, &h, 8);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d\n", int32_t(uint32_t(bits & 0xffffffffu)));
    return buf;
}

std::string hvgEntropy(std::vector<double> x, int m, int tau, double out[3]) {
    int n = int(x.size());
    return captureStdout([&] { HVG_Entropy(x.data(), &n, &m, &tau, out); });
}

}  // namespace

TEST(HVGEntropy, DegreeStrengthAndDegreePatternsOfWorkedSeries) {
    double out[3] = {0, 0, 0};
    const std::string printed = hvgEntropy({3, 1, 2, 4, 1, 5}, 3, 1, out);
    const int degrees[] = {3, 2, 3, 4, 2, 2};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(outSets[k].degree, degrees[k]);
    EXPECT_DOUBLE_EQ(out[0], 16.0 / 6);
    EXPECT_DOUBLE_EQ(out[1], 22.0 / 6);
    EXPECT_NEAR(out[2], std::log(4.0), 1e-15);
    EXPECT_EQ(printed, lineFor(out[2]));
    // Last window 3, 4, 5 (degrees 4, 2, 2) sorts to nodes 4, 5, 3; entry m is 6.
    EXPECT_EQ(PerList[0], 4);
    EXPECT_EQ(PerList[1], 5);
    EXPECT_EQ(PerList[2], 3);
    EXPECT_EQ(PerList[3], 6);
}

TEST(HVGEntropy, StrideSkipsWindowStarts) {
    double out[3];
    hvgEntropy({3, 1, 2, 4, 1, 5}, 3, 2, out);
    EXPECT_NEAR(out[2], std::log(2.0), 1e-15);
}

TEST(HVGEntropy, EqualHeightsBlockAndEqualDegreesStayInOrder) {
    double out[3];
    hvgEntropy({1, 1, 1, 1}, 2, 1, out);
    EXPECT_EQ(out[0], 1.5);
    EXPECT_EQ(out[1], 1.5);
    EXPECT_NEAR(out[2], -(2.0 / 3 * std::log(2.0 / 3) + 1.0 / 3 * std::log(1.0 / 3)), 1e-15);
    hvgEntropy({4, 3, 2, 1}, 2, 1, out);
    EXPECT_EQ(out[1], 0.0);  // every weight is a fall of 1 plus 1
}

TEST(HVGEntropy, RejectedWindowStillBuildsGraphButLeavesOtherResults) {
    for (int m : {1, 7, 64}) {
        for (int k = 0; k < ZEMBA_PERLIST_CAP; ++k) PerList[k] = -3;
        double out[3] = {5, 6, 7};
        std::vector<double> x(m == 64 ? 80 : 6, 0.0);
        for (size_t i = 0; i < x.size(); ++i) x[i] = double((i * 5) % 7);
        EXPECT_EQ(hvgEntropy(x, m, 1, out), "");
        EXPECT_EQ(out[0], -1.0);
        EXPECT_EQ(out[1], 6.0);
        EXPECT_EQ(out[2], 7.0);
        EXPECT_EQ(outSets[0].degree, 1);  // 0, 5, 3, 1, 6, ...: node 0 sees node 1 only
        EXPECT_EQ(outSets[1].degree, 3);  // nodes 0, 2 and 4
        EXPECT_EQ(PerList[0], -3);
    }
    double out[3];
    std::vector<double> x(80);
    for (int i = 0; i < 80; ++i) x[i] = std::sin(i * 1.3);
    hvgEntropy(x, 63, 1, out);  // the longest window the index list holds
    EXPECT_GT(out[0], 0.0);
}

TEST(HVGEntropy, ClearsAtLeast4096RecordsButRefusesSeriesBeyondTheStack) {
    outSets[4000].degree = 9;
    outSets[4096].degree = 9;
    double out[3];
    hvgEntropy({1, 2}, 2, 1, out);
    EXPECT_EQ(outSets[4000].degree, 0);
    EXPECT_EQ(outSets[4096].degree, 9);

    std::vector<double> big(ZEMBA_SERIES_CAP + 1, 1.0);
    outSets[0].degree = 77;
    double kept[3] = {4, 5, 6};
    EXPECT_EQ(hvgEntropy(big, 3, 1, kept), "");
    EXPECT_EQ(kept[0], 4.0);
    EXPECT_EQ(kept[2], 6.0);
    EXPECT_EQ(outSets[0].degree, 77);
}

TEST(HVGEntropy, GraphMatchesPairwiseVisibilityOnRandomSeries) {
    std::mt19937 gen(8);
    std::uniform_int_distribution<int> u(0, 9);  // many equal heights
    std::vector<double> x(300);
    for (double& v : x) v = u(gen);
    const int n = 300;
    std::vector<int> deg(n, 0);
    std::vector<double> wt(n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            bool sees = true;
            for (int k = i + 1; k < j && sees; ++k) sees = x[k] < x[i] && x[k] < x[j];
            if (!sees) continue;
            deg[i]++, deg[j]++;
            wt[i] += x[j] - x[i] + 1, wt[j] += x[j] - x[i] + 1;
        }
    double out[3];
    hvgEntropy(x, 2, 1, out);
    long dsum = 0;
    for (int k = 0; k < n; ++k) {
        ASSERT_EQ(outSets[k].degree, deg[k]) << k;
        EXPECT_NEAR(outSets[k].weight, wt[k], 1e-9);
        dsum += deg[k];
    }
    EXPECT_DOUBLE_EQ(out[0], double(dsum) / n);
    // Windows of two: a swap only for a strictly larger first degree.
    std::map<std::string, int> counts;
    for (int s = 0; s + 1 < n; ++s) counts[deg[s] > deg[s + 1] ? "10" : "01"]++;
    double h = 0;
    for (const auto& c : counts) h -= c.second / double(n - 1) * std::log(c.second / double(n - 1));
    EXPECT_NEAR(out[2], h, 1e-12);
}
