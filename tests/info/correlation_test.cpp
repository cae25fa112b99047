#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

// Pearson correlation from raw power sums (a different route from deviations).
double pearson(const std::vector<int>& x, const std::vector<int>& y) {
    long double n = x.size(), sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i], sy += y[i];
        sxx += (long double)x[i] * x[i], syy += (long double)y[i] * y[i], sxy += (long double)x[i] * y[i];
    }
    return double((n * sxy - sx * sy) / std::sqrt((n * sxx - sx * sx) * (n * syy - sy * sy)));
}

struct LagPeak {
    double value;
    int lag;
};

// Brute-force lagged correlation over an explicit lag list, overlap by index test.
LagPeak lagPeak(const std::vector<double>& x, const std::vector<double>& y, int lo, int hi) {
    const int n = static_cast<int>(x.size());
    long double mx = 0, my = 0;
    for (int i = 0; i < n; ++i) mx += x[i], my += y[i];
    mx /= n, my /= n;
    long double vx = 0, vy = 0;
    for (int i = 0; i < n; ++i) vx += (x[i] - mx) * (x[i] - mx), vy += (y[i] - my) * (y[i] - my);
    LagPeak best{0.0, 0};
    for (int lag = lo; lag <= hi; ++lag) {
        long double c = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (j - i == lag) c += (x[i] - mx) * (y[j] - my);
        const double r = double(c / std::sqrt(vx * vy));
        if (r > best.value + 1e-12) best = {r, lag};
    }
    return best;
}

double lagged(const std::vector<double>& x, const std::vector<double>& y, std::string* printed) {
    double r = -1.0;
    *printed = captureStdout([&] { r = Calculate_Correlation_double(x.data(), y.data(), int(x.size())); });
    return r;
}

}  // namespace

TEST(Variance, IsAboutTheGivenMeanDividedByN) {
    const int x[] = {1, 2, 3, 4};
    EXPECT_EQ(CalculateVariane(x, 2.0, 4), 1.5);  // (1 + 0 + 1 + 4) / 4
    EXPECT_EQ(CalculateVariane(x, 2.5, 4), 1.25);
    EXPECT_TRUE(std::isnan(CalculateVariane(x, 2.0, 0)));
}

TEST(Covariance, MeanArgumentsAccumulateOntoWhatIsPassedIn) {
    const int x[] = {1, 2, 3};
    double mx = 1.0, my = 0.0;
    const double cov = Calculate_Covariance(x, x, 3, mx, my);
    EXPECT_EQ(mx, 7.0 / 3.0);
    EXPECT_EQ(my, 2.0);
    // ((1 - 7/3)(-1) + (3 - 7/3)(1)) / 3 = 2/3
    EXPECT_NEAR(cov, 2.0 / 3.0, 1e-15);
}

TEST(Covariance, EmptySeriesDividesTheMeansByZero) {
    const int x[] = {1};
    double mx = 3.0, my = 0.0;
    const double cov = Calculate_Covariance(x, x, 0, mx, my);
    EXPECT_TRUE(std::isinf(mx));
    EXPECT_TRUE(std::isnan(my));
    EXPECT_TRUE(std::isnan(cov));
}

TEST(Correlation, SelfAndNegationGiveOneAndMinusOne) {
    int x[] = {3, 1, 4, 1, 5, 9, 2, 6};
    int neg[8];
    for (int i = 0; i < 8; ++i) neg[i] = -x[i];
    EXPECT_NEAR(Calculate_Correlation(x, x, 8), 1.0, 1e-15);
    EXPECT_NEAR(Calculate_Correlation(x, neg, 8), -1.0, 1e-15);
    int flat[] = {2, 2, 2, 2, 2, 2, 2, 2};
    EXPECT_TRUE(std::isnan(Calculate_Correlation(x, flat, 8)));
}

TEST(Correlation, MatchesPowerSumFormulaOnRandomSeries) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 30; ++trial) {
        const int n = 2 + int(rng() % 200);
        std::vector<int> x(n), y(n);
        for (int i = 0; i < n; ++i) x[i] = int(rng() % 41) - 20, y[i] = x[i] / 2 + int(rng() % 15);
        EXPECT_NEAR(Calculate_Correlation(x.data(), y.data(), n), pearson(x, y), 1e-12) << trial;
    }
}

TEST(LaggedCorrelation, SeriesWithItselfPeaksAtLagZero) {
    std::vector<double> x = {0.5, 2.0, -1.0, 3.5, 0.25, -2.0};
    std::string printed;
    EXPECT_NEAR(lagged(x, x, &printed), 1.0, 1e-15);
    EXPECT_EQ(printed, "tr=1.0000(0)\n");
}

TEST(LaggedCorrelation, LagsRunFromMinusHalfToHalfMinusOne) {
    // The spike of y sits two samples after that of x: lag 2 would be perfect,
    // but n = 5 examines only -2 .. 1.
    std::vector<double> x = {0, 0, 1, 0, 0}, y = {0, 0, 0, 0, 1};
    EXPECT_EQ(lagPeak(x, y, -2, 2).lag, 2);
    const LagPeak ref = lagPeak(x, y, -2, 1);
    std::string printed;
    EXPECT_NEAR(lagged(x, y, &printed), ref.value, 1e-15);
    char line[64];
    std::snprintf(line, sizeof line, "tr=%6.4f(%d)\n", ref.value, ref.lag);
    EXPECT_EQ(printed, line);
    // The mirrored pair: lag -2 is examined and wins, normalised by the whole
    // series (0.8) rather than the overlap: (0.64 + 0.04 + 0.04) / 0.8.
    EXPECT_NEAR(lagged(y, x, &printed), 0.9, 1e-15);
    EXPECT_EQ(printed, "tr=0.9000(-2)\n");
}

TEST(LaggedCorrelation, NegativeCorrelationIsNeverReported) {
    std::vector<double> x = {1, 0, -1}, y = {-1, 0, 1};
    std::string printed;
    EXPECT_EQ(lagged(x, y, &printed), 0.0);
    EXPECT_EQ(printed, "tr=0.0000(0)\n");
    EXPECT_EQ(lagged({4.0}, {1.0}, &printed), 0.0);
    EXPECT_EQ(printed, "tr=0.0000(0)\n");
}

TEST(LaggedCorrelation, MatchesBruteForceOnRandomSeries) {
    std::mt19937 rng(5);
    std::normal_distribution<double> g;
    for (int trial = 0; trial < 25; ++trial) {
        const int n = 2 + int(rng() % 60);
        std::vector<double> x(n), y(n);
        for (int i = 0; i < n; ++i) x[i] = g(rng), y[i] = g(rng);
        if (trial % 3 == 0)
            for (int i = 0; i < n; ++i) y[i] = -x[i];
        const LagPeak ref = lagPeak(x, y, -(n / 2), n / 2 - 1);
        std::string printed;
        EXPECT_NEAR(lagged(x, y, &printed), ref.value, 1e-12) << trial;
        char line[64];
        std::snprintf(line, sizeof line, "tr=%6.4f(%d)\n", ref.value, ref.lag);
        EXPECT_EQ(printed, line) << trial;
    }
}
