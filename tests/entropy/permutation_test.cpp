#include "zemba.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "reference/entropy.h"

namespace {

// Stable ordinal patterns of m' members tau apart, for windows with i + m'*tau <= n (nats).
double referenceDelayEntropy(const std::vector<double>& x, int mp, int tau) {
    std::map<std::vector<int>, int> counts;
    for (int i = 0; i + mp * tau <= int(x.size()); ++i) counts[zemba_ref::stableOrder(x, i, mp, tau)]++;
    return zemba_ref::shannon(counts, std::log);
}

std::vector<double> randomSeries(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-5.0, 5.0);
    std::vector<double> x(n);
    for (double& v : x) v = u(gen);
    return x;
}

}  // namespace

// ---- rise-fall permutation entropy ------------------------------------------

TEST(PermutationEntropy, RiseAndFallPatternsNormalisedByLogOfOrderings) {
    double x[] = {1, 2, 3, 2, 1};
    int n = 5, m = 3;
    double r = 0;
    calculatePermutationEntropy(x, &n, &m, &r);
    EXPECT_NEAR(r, std::log(3.0) / std::log(2.0), 1e-15);
    EXPECT_EQ(m, 2);
}

TEST(PermutationEntropy, EqualNeighboursCountAsFallsSoConstantSeriesIsZero) {
    double x[] = {2, 2, 2, 2, 2, 2};
    int n = 6, m = 3;
    double r = 7;
    calculatePermutationEntropy(x, &n, &m, &r);
    EXPECT_EQ(r, 0.0);
    double y[] = {3, 1, 2, 5};  // single window
    n = 4, m = 4;
    calculatePermutationEntropy(y, &n, &m, &r);
    EXPECT_EQ(r, 0.0);
}

TEST(PermutationEntropy, WindowOfTwoDividesByLogOne) {
    double x[] = {1, 2, 1};
    int n = 3, m = 2;
    double r = 0;
    calculatePermutationEntropy(x, &n, &m, &r);
    EXPECT_TRUE(std::isinf(r) && r > 0);
    double y[] = {1, 2, 3};
    m = 2;
    calculatePermutationEntropy(y, &n, &m, &r);
    EXPECT_TRUE(std::isnan(r));
}

TEST(PermutationEntropy, RejectsShortSeriesAndTinyWindowWithoutTouchingM) {
    double x[] = {1, 2, 3};
    int n = 3, m = 4;
    double r = 5;
    calculatePermutationEntropy(x, &n, &m, &r);
    EXPECT_EQ(r, -1.0);
    EXPECT_EQ(m, 4);
    m = 1;
    calculatePermutationEntropy(x, &n, &m, &r);
    EXPECT_EQ(r, -1.0);
    EXPECT_EQ(m, 1);
}

TEST(PermutationEntropy, LongWindowsDivideByTheTrueFactorial) {
    std::vector<double> x = randomSeries(300, 7);
    for (int m : {15, 26}) {
        const int L = m - 1;
        std::map<std::string, int> counts;
        for (int i = 0; i + L < int(x.size()); ++i) counts[zemba_ref::riseFallPattern(x, i, m)]++;
        // 14! and 25! written out; the compiler rounds the latter once.
        const double fact = L == 14 ? 87178291200.0 : 15511210043330985984000000.0;
        int n = int(x.size()), mm = m;
        double r = 0;
        calculatePermutationEntropy(x.data(), &n, &mm, &r);
        EXPECT_NEAR(r, zemba_ref::shannon(counts, std::log) / std::log(fact), 1e-13) << m;
        EXPECT_EQ(mm, L);
    }
}

// ---- delay permutation entropy ----------------------------------------------

TEST(DelayPermutationEntropy, OrdinalPatternsOfWorkedSeries) {
    double x[] = {4, 7, 9, 10, 6, 11, 3};
    int n = 7, m = 4, tau = 1;
    double r = 0;
    calculateDelayPermutationEntropy(x, &n, &m, &tau, &r);
    EXPECT_NEAR(r, -(0.8 * std::log(0.4) + 0.2 * std::log(0.2)), 1e-15);
    EXPECT_EQ(m, 3);
    // Last window 6, 11, 3 sorted by value, then the bound entry i + m'.
    EXPECT_EQ(PerList[0], 6);
    EXPECT_EQ(PerList[1], 4);
    EXPECT_EQ(PerList[2], 5);
    EXPECT_EQ(PerList[3], 7);
}

TEST(DelayPermutationEntropy, SelectionSortReordersTiedValues) {
    double x[] = {5, 5, 3, 0};
    int n = 4, m = 4, tau = 1;
    double r = 1;
    calculateDelayPermutationEntropy(x, &n, &m, &tau, &r);
    EXPECT_EQ(r, 0.0);  // both windows "210"
    double y[] = {9, 5, 5, 3};  // "120" then "210" (a stable order would give "201")
    m = 4;
    calculateDelayPermutationEntropy(y, &n, &m, &tau, &r);
    EXPECT_NEAR(r, std::log(2.0), 1e-15);
    EXPECT_EQ(PerList[0], 3);
    EXPECT_EQ(PerList[1], 2);
    EXPECT_EQ(PerList[2], 1);
}

TEST(DelayPermutationEntropy, WindowMustEndOneDelayInsideTheSeries) {
    // Window 3 (members 3 and 5) would fit but fails i + m'*tau <= n; it alone falls.
    double x[] = {1, 2, 3, 4, 5, 0};
    int n = 6, m = 3, tau = 2;
    double r = 1;
    calculateDelayPermutationEntropy(x, &n, &m, &tau, &r);
    EXPECT_EQ(r, 0.0);
    EXPECT_EQ(PerList[0], 3);  // the stopping window, filled but unsorted
    EXPECT_EQ(PerList[1], 5);
    EXPECT_EQ(PerList[2], 7);
    // No window at all: an empty sequence gives 0, not -1.
    n = 5, m = 3, tau = 3;
    calculateDelayPermutationEntropy(x, &n, &m, &tau, &r);
    EXPECT_EQ(r, 0.0);
    EXPECT_EQ(m, 2);
}

TEST(DelayPermutationEntropy, WindowOfTwoGivesOnePatternAndZero) {
    double x[] = {3, 1, 4, 1, 5};
    int n = 5, m = 2, tau = 0;
    double r = 1;
    calculateDelayPermutationEntropy(x, &n, &m, &tau, &r);
    EXPECT_EQ(r, 0.0);
    EXPECT_EQ(m, 1);
}

TEST(DelayPermutationEntropy, MatchesDirectCountOnTieFreeData) {
    std::vector<double> x = randomSeries(500, 11);
    for (int m : {3, 4, 6, 64})
        for (int tau : {1, 2, 3}) {
            int n = int(x.size()), mm = m, t = tau;
            double r = 0;
            calculateDelayPermutationEntropy(x.data(), &n, &mm, &t, &r);
            EXPECT_NEAR(r, referenceDelayEntropy(x, m - 1, tau), 1e-12) << m << " " << tau;
        }
}

TEST(DelayPermutationEntropy, RejectsWindowsLongerThanTheIndexList) {
    std::vector<double> x = randomSeries(100, 3);
    for (int k = 0; k < ZEMBA_PERLIST_CAP; ++k) PerList[k] = -7;
    int n = 100, m = 65, tau = 1;
    double r = 0;
    calculateDelayPermutationEntropy(x.data(), &n, &m, &tau, &r);
    EXPECT_EQ(r, -1.0);
    EXPECT_EQ(m, 65);
    EXPECT_EQ(PerList[0], -7);
    EXPECT_EQ(PerList[63], -7);
    n = 2, m = 3;
    calculateDelayPermutationEntropy(x.data(), &n, &m, &tau, &r);
    EXPECT_EQ(r, -1.0);
    EXPECT_EQ(m, 3);
}

// ---- multi-scale ------------------------------------------------------------

TEST(MultiScaleDPE, OverwritesSeriesWithBlockSums) {
    double x[] = {1, 2, 3, 4, 5};
    int n = 5, m = 2, tau = 1, scale = 2;
    double r = 1;
    MultiScale_DPE(x, &n, &m, &tau, &scale, &r);
    const double expect[] = {3, 7, 3, 4, 5};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(x[i], expect[i]);
    EXPECT_EQ(r, 0.0);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(n, 5);
}

TEST(MultiScaleDPE, EqualsDelayEntropyOfTheBlockSums) {
    std::vector<double> x = randomSeries(301, 5);
    for (int scale : {1, 3}) {
        std::vector<double> y = x, sums(x.size() / scale);
        for (size_t j = 0; j < sums.size(); ++j)
            for (int t = 0; t < scale; ++t) sums[j] += x[j * scale + t];
        int n = int(y.size()), m = 4, tau = 2, s = scale;
        double r = 0;
        MultiScale_DPE(y.data(), &n, &m, &tau, &s, &r);
        EXPECT_EQ(m, 3);
        EXPECT_NEAR(r, referenceDelayEntropy(sums, 3, 2), 1e-12);
        for (size_t j = 0; j < sums.size(); ++j) EXPECT_EQ(y[j], sums[j]);
        for (size_t j = sums.size(); j < y.size(); ++j) EXPECT_EQ(y[j], x[j]);
    }
}

TEST(MultiScaleDPE, RejectsScaleBelowOneAndOverlongWindowBeforeTouchingSeries) {
    double x[] = {1, 2, 3, 4, 5};
    for (int bad : {0, -2}) {
        int n = 5, m = 3, tau = 1, scale = bad;
        double r = 0;
        MultiScale_DPE(x, &n, &m, &tau, &scale, &r);
        EXPECT_EQ(r, -1.0);
        EXPECT_EQ(m, 3);
    }
    int n = 5, m = 65, tau = 1, scale = 2;
    double r = 0;
    MultiScale_DPE(x, &n, &m, &tau, &scale, &r);
    EXPECT_EQ(r, -1.0);
    EXPECT_EQ(m, 65);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(x[i], i + 1);
    m = 2, scale = 6;  // no full block: the callee rejects
    MultiScale_DPE(x, &n, &m, &tau, &scale, &r);
    EXPECT_EQ(r, -1.0);
    EXPECT_EQ(m, 2);
}

// ---- delayed rise-fall ------------------------------------------------------

TEST(DDPE, RiseFallStringsWithUnitDelay) {
    double x[] = {1, 2, 3, 2, 1};
    int n = 5, m = 3, tau = 1;
    double r = 0;
    DDPE(x, &n, &m, &tau, &r);
    EXPECT_NEAR(r, std::log(3.0), 1e-15);
    EXPECT_EQ(m, 2);
}

TEST(DDPE, DelayedStringsShrinkAndShortOnesAreDropped) {
    double x[] = {1, 2, 3, 4, 5, 6};  // "000", "00", and "0" dropped
    int n = 6, m = 3, tau = 2;
    double r = 0;
    DDPE(x, &n, &m, &tau, &r);
    EXPECT_NEAR(r, std::log(2.0), 1e-15);
    m = 7;
    DDPE(x, &n, &m, &tau, &r);
    EXPECT_EQ(r, -1.0);
    EXPECT_EQ(m, 7);
}

TEST(DDPE, UnitDelayIsThePermutationEntropyBeforeNormalising) {
    std::vector<double> x = randomSeries(400, 9);
    int n = 400, m = 4, tau = 1;
    double d = 0, p = 0;
    DDPE(x.data(), &n, &m, &tau, &d);
    m = 4;
    calculatePermutationEntropy(x.data(), &n, &m, &p);
    EXPECT_NEAR(d, p * std::log(6.0), 1e-12);
}

TEST(DelayPermutationEntropy, HugeDelaysFindNoWindowInsteadOfWrapping) {
    double x[] = {1, 5, 2, 4, 3, 6, 0, 7, 9, 8};
    int n = 10, m = 3, tau = 2147483647;
    double r = 1;
    calculateDelayPermutationEntropy(x, &n, &m, &tau, &r);
    EXPECT_EQ(r, 0.0);
    m = 3, r = 1;
    DDPE(x, &n, &m, &tau, &r);
    EXPECT_EQ(r, 0.0);
    EXPECT_EQ(m, 2);
}
