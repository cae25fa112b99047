#include "zemba.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "reference/entropy.h"
#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

double runFast(std::vector<double> x, int m, int tau, std::string* printed = nullptr) {
    int n = int(x.size());
    double r = 0;
    std::string out = captureStdout([&] { FastDPE(x.data(), &n, &m, &tau, &r); });
    if (printed) *printed = out;
    return r;
}

// Stable ranking; code digits (offsets in sorted order) most significant first.
double referenceFast(const std::vector<double>& x, int m, int tau, std::vector<int>* codes) {
    std::map<int, int> counts;
    const int n = int(x.size());
    for (int i = 0; i + (m - 1) * tau <= n - 1; ++i) {
        int code = 0;
        for (int offset : zemba_ref::stableOrder(x, i, m, tau)) code = code * (m + 1) + offset;
        codes->push_back(code);
        counts[code]++;
    }
    return zemba_ref::shannon(counts, std::log) / (m - 1);
}

}  // namespace

TEST(FastDPE, PacksOrdinalPatternsIntoCodesAndNormalisesByOrder) {
    std::string printed;
    const double r = runFast({4, 7, 9, 10, 6, 11, 3}, 3, 1, &printed);
    const int codes[] = {6, 6, 33, 18, 33};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(DPE_Sort[i], codes[i]);
    EXPECT_NEAR(r, -(0.8 * std::log(0.4) + 0.2 * std::log(0.2)) / 2, 1e-15);
    EXPECT_EQ(printed, "ratio=1.0000 maxData=    33\n");
}

TEST(FastDPE, EqualValuesKeepTheirOffsetOrder) {
    EXPECT_NEAR(runFast({5, 5, 3, 0}, 3, 1), std::log(2.0) / 2, 1e-15);
    EXPECT_EQ(DPE_Sort[0], 33);  // offsets 2, 0, 1
    EXPECT_EQ(DPE_Sort[1], 36);
    // m = 2: a fall is 3, a rise or an equal pair is 1.
    const double r = runFast({1, 1, 0, 2}, 2, 1);
    EXPECT_EQ(DPE_Sort[0], 1);
    EXPECT_EQ(DPE_Sort[1], 3);
    EXPECT_EQ(DPE_Sort[2], 1);
    EXPECT_NEAR(r, -(2.0 / 3 * std::log(2.0 / 3) + 1.0 / 3 * std::log(1.0 / 3)), 1e-15);
}

TEST(FastDPE, UsesOnlyWindowsWhollyInsideTheSeries) {
    DPE_Sort[2] = 99;
    std::string printed;
    EXPECT_EQ(runFast({1, 2, 3, 4, 5, 6}, 3, 2, &printed), 0.0);
    EXPECT_EQ(DPE_Sort[0], 6);
    EXPECT_EQ(DPE_Sort[1], 6);
    EXPECT_EQ(DPE_Sort[2], 99);
    EXPECT_EQ(printed, "ratio=1.0000 maxData=     6\n");
}

TEST(FastDPE, NoWindowStillSetsCodeSpaceAndReportsStaleFirstCode) {
    DPE_Sort[0] = 17;
    FREQ_LEN = 1;
    std::string printed;
    EXPECT_EQ(runFast({1, 2, 3, 4, 5}, 3, 3, &printed), 0.0);
    EXPECT_EQ(printed, "ratio=1.0000 maxData=    17\n");
    EXPECT_EQ(FREQ_LEN, 2930);
}

TEST(FastDPE, CodeSpaceSizeIsCappedWithoutOverflow) {
    const int expected[] = {228, 2930, 44790, 800667, 16434824, 150652547, 150652547, 150652547};
    std::vector<double> x(40);
    for (int i = 0; i < 40; ++i) x[i] = (i * 7) % 13;
    for (int m = 2; m <= 9; ++m) {
        FREQ_LEN = 0;
        runFast(x, m, 1);
        EXPECT_EQ(FREQ_LEN, expected[m - 2]) << m;
    }
}

TEST(FastDPE, RejectsBadInputWithoutTouchingAnything) {
    std::vector<double> x(20, 1.0);
    struct Case { int n, m, tau; } cases[] = {{3, 4, 1}, {20, 1, 1}, {20, 10, 1}, {20, 64, 1}};
    for (const Case& c : cases) {
        FREQ_LEN = 5;
        DPE_Sort[0] = 41;
        int n = c.n, m = c.m, tau = c.tau;
        double r = 0;
        std::string printed = captureStdout([&] { FastDPE(x.data(), &n, &m, &tau, &r); });
        EXPECT_EQ(r, -1.0);
        EXPECT_EQ(printed, "");
        EXPECT_EQ(FREQ_LEN, 5);
        EXPECT_EQ(DPE_Sort[0], 41);
    }
}

TEST(FastDPE, WindowCountIsBoundedByTheCodeBuffer) {
    std::vector<double> x(ZEMBA_DPE_CAP + 2);
    for (size_t i = 0; i < x.size(); ++i) x[i] = double(i % 3);
    FREQ_LEN = 5;
    EXPECT_EQ(runFast(x, 2, 1), -1.0);  // one window too many
    EXPECT_EQ(FREQ_LEN, 5);
    x.pop_back();  // exactly full
    const double r = runFast(x, 2, 1);
    EXPECT_EQ(DPE_Sort[ZEMBA_DPE_CAP - 1], 3);  // 2 then 0: a fall
    EXPECT_NEAR(r, -(2.0 / 3 * std::log(2.0 / 3) + 1.0 / 3 * std::log(1.0 / 3)), 1e-9);
}

TEST(FastDPE, MatchesStableDirectCountIncludingTies) {
    std::mt19937 gen(21);
    std::uniform_int_distribution<int> coarse(0, 3);
    std::uniform_real_distribution<double> fine(0.0, 1.0);
    for (bool ties : {false, true}) {
        std::vector<double> x(400);
        for (double& v : x) v = ties ? coarse(gen) : fine(gen);
        for (int m : {3, 4, 5})
            for (int tau : {1, 2, 3}) {
                std::vector<int> codes;
                const double expect = referenceFast(x, m, tau, &codes);
                EXPECT_NEAR(runFast(x, m, tau), expect, 1e-12) << m << " " << tau;
                for (size_t i = 0; i < codes.size(); ++i) ASSERT_EQ(DPE_Sort[i], codes[i]);
            }
    }
}

TEST(FastDPE, AgreesWithDelayPermutationEntropyOnTieFreeData) {
    std::mt19937 gen(4);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> x(300);
    for (double& v : x) v = u(gen);
    // Same windows when the string routine gets one more member and tau = 1.
    int n = 300, m = 5, tau = 1;
    double s = 0;
    calculateDelayPermutationEntropy(x.data(), &n, &m, &tau, &s);
    EXPECT_NEAR(runFast(x, 4, 1) * 3, s, 1e-12);
}

TEST(FastDPE, HugeDelayFindsNoWindowInsteadOfWrapping) {
    DPE_Sort[0] = 0;
    EXPECT_EQ(runFast({1, 5, 2, 4, 3, 6, 0, 7, 9, 8}, 3, 2147483647), 0.0);
}
