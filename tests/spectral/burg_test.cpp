// Burg coefficients (memcof) and model spectrum (evlmem).
#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "reference/spectral.h"

namespace {

const double kTwoPi = 6.283185307179586;

// Standard normal deviates from a fixed-seed engine (Box-Muller), so the
// simulated series is the same on every standard library.
class Gaussian {
public:
    explicit Gaussian(uint64_t seed) : eng_(seed) {}
    double operator()() {
        const double u1 = (static_cast<double>(eng_() >> 11) + 1.0) / 9007199254740993.0;
        const double u2 = static_cast<double>(eng_() >> 11) / 9007199254740992.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(kTwoPi * u2);
    }

private:
    std::mt19937_64 eng_;
};

std::vector<double> noise(int n, uint64_t seed) {
    Gaussian g(seed);
    std::vector<double> x(n);
    for (double& v : x) v = g();
    return x;
}

}  // namespace

TEST(BurgSingleStage, MatchesClosedFormReflectionAndResidual) {
    // Small integers: every sum below is exact, so the closed form is too.
    const double x[] = {3, -1, 4, 1, -5, 9, 2, -6, 5, 3};
    const int n = 10;
    double num = 0, den = 0, sq = 0;
    for (int j = 0; j < n; ++j) sq += x[j] * x[j];
    for (int j = 0; j + 1 < n; ++j) {
        num += x[j] * x[j + 1];
        den += x[j] * x[j] + x[j + 1] * x[j + 1];
    }
    const double k1 = 2 * num / den;
    double d = 99, xms = 99;
    EXPECT_EQ(memcof(x, n, 1, xms, &d), 0);
    EXPECT_EQ(d, k1);
    EXPECT_EQ(xms, sq / n * (1 - k1 * k1));
}

TEST(BurgSingleStage, AlternatingSeriesIsPerfectlyPredicted) {
    std::vector<double> x(50);
    for (size_t i = 0; i < x.size(); ++i) x[i] = (i % 2) ? -1.0 : 1.0;
    double d = 0, xms = -1;
    memcof(x.data(), 50, 1, xms, &d);
    EXPECT_EQ(d, -1.0);
    EXPECT_EQ(xms, 0.0);
}

TEST(BurgRecursion, RecoversCoefficientsOfSimulatedAr2Process) {
    // x_t = 0.75 x_{t-1} - 0.5 x_{t-2} + e_t with unit-variance noise.
    const double phi1 = 0.75, phi2 = -0.5;
    const int n = 10000;
    // Asymptotic standard error of both AR(2) estimates is sqrt((1 - phi2^2) / n);
    // five of them leave a negligible chance of a false alarm.
    const double kCoefficientTolerance = 5.0 * std::sqrt((1.0 - phi2 * phi2) / n);
    // The residual variance estimate has standard error about sqrt(2 / n).
    const double kResidualTolerance = 5.0 * std::sqrt(2.0 / n);

    Gaussian g(20240611);
    std::vector<double> x(n);
    double a = 0, b = 0;
    for (int t = -500; t < n; ++t) {  // burn-in forgets the zero start
        const double v = phi1 * a + phi2 * b + g();
        b = a;
        a = v;
        if (t >= 0) x[t] = v;
    }
    double d[4] = {0, 0, 0, 0}, xms = 0;
    memcof(x.data(), n, 2, xms, d);
    EXPECT_NEAR(d[0], phi1, kCoefficientTolerance);
    EXPECT_NEAR(d[1], phi2, kCoefficientTolerance);
    EXPECT_NEAR(xms, 1.0, kResidualTolerance);

    // Extra poles of an over-fitted model stay near zero.
    memcof(x.data(), n, 4, xms, d);
    EXPECT_NEAR(d[0], phi1, kCoefficientTolerance);
    EXPECT_NEAR(d[1], phi2, kCoefficientTolerance);
    EXPECT_NEAR(d[2], 0.0, kCoefficientTolerance);
    EXPECT_NEAR(d[3], 0.0, kCoefficientTolerance);
}

TEST(BurgRecursion, LeavesPreviousStageCoefficientsInWkm) {
    const std::vector<double> x = noise(200, 7);
    double d2[2], d3[3], xms;
    memcof(x.data(), 200, 2, xms, d2);
    memcof(x.data(), 200, 3, xms, d3);
    EXPECT_EQ(wkm[0], d2[0]);
    EXPECT_EQ(wkm[1], d2[1]);
    // Levinson step of the third stage from the second stage's coefficients.
    EXPECT_EQ(d3[0], d2[0] - d3[2] * d2[1]);
    EXPECT_EQ(d3[1], d2[1] - d3[2] * d2[0]);
}

TEST(BurgRecursion, LongArgumentsAreThirtyTwoBit) {
    const std::vector<double> x = noise(64, 3);
    double d[3], e[3], xms, yms;
    const long high = 1L << 32;
    memcof(x.data(), 64, 3, xms, d);
    memcof(x.data(), high + 64, high + 3, yms, e);
    EXPECT_EQ(xms, yms);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(d[k], e[k]);
    EXPECT_EQ(evlmem(0.2, d, high + 3, 1.5), evlmem(0.2, d, 3, 1.5));
}

TEST(BurgGuards, SeriesBeyondPredictionErrorBuffersIsRejectedUntouched) {
    const std::vector<double> x = noise(12195, 11);
    double d = 42, xms = 42;
    wk1[0] = 17;
    wk2[0] = 18;
    EXPECT_EQ(memcof(x.data(), 12195, 1, xms, &d), 0);
    EXPECT_EQ(d, 42);
    EXPECT_EQ(xms, 42);
    EXPECT_EQ(wk1[0], 17);
    EXPECT_EQ(wk2[0], 18);

    // The longest series that fits fills the last error slot.
    memcof(x.data(), 12194, 1, xms, &d);
    EXPECT_TRUE(std::isfinite(d));
    EXPECT_EQ(wk1[ZEMBA_SERIES_CAP - 1], x[12192]);
    EXPECT_EQ(wk2[ZEMBA_SERIES_CAP - 1], x[12193]);
}

TEST(BurgGuards, OrderBeyondWkmIsRejectedUntouched) {
    const std::vector<double> x = noise(400, 12);
    std::vector<double> d(108, 42.0);
    double xms = 42;
    EXPECT_EQ(memcof(x.data(), 400, 108, xms, d.data()), 0);
    for (double v : d) EXPECT_EQ(v, 42.0);
    EXPECT_EQ(xms, 42);

    memcof(x.data(), 400, 107, xms, d.data());
    for (int k = 0; k < 107; ++k) EXPECT_TRUE(std::isfinite(d[k])) << k;
    EXPECT_EQ(d[107], 42.0);
    EXPECT_LT(xms, 1.0);
}

TEST(MemSpectrum, ZeroFrequencyAndNyquistClosedForms) {
    double d[] = {0.5, -0.25, 0.125};
    const double pm = 2.0;
    const double s0 = 1 - (0.5 - 0.25 + 0.125);
    const double sh = 1 - (-0.5 - 0.25 - 0.125);  // (-1)^(k+1) d[k]
    EXPECT_DOUBLE_EQ(evlmem(0.0, d, 3, pm), pm / (s0 * s0));
    EXPECT_NEAR(evlmem(0.5, d, 3, pm), pm / (sh * sh), 1e-14);
}

TEST(MemSpectrum, IsPeriodicWithUnitPeriod) {
    double d[] = {0.9, -0.6, 0.3, 0.1};
    for (double f : {0.01, 0.13, 0.37, 0.49}) {
        const double v = evlmem(f, d, 4, 1.0);
        EXPECT_NEAR(evlmem(f + 1.0, d, 4, 1.0), v, 1e-12 * v) << f;
        EXPECT_NEAR(evlmem(f - 3.0, d, 4, 1.0), v, 1e-12 * v) << f;
    }
}

TEST(MemSpectrum, NoPolesGivesScaleEverywhere) {
    double d[] = {123.0};
    for (double f : {0.0, 0.1, 0.25, 0.7}) {
        EXPECT_EQ(evlmem(f, d, 0, 3.25), 3.25);
        EXPECT_EQ(evlmem(f, d, -2, 3.25), 3.25);
    }
}

TEST(MemSpectrum, MatchesDirectComplexEvaluation) {
    const std::vector<double> x = noise(512, 5);
    std::vector<double> d(16);
    double xms = 0;
    memcof(x.data(), 512, 16, xms, d.data());
    for (int i = 0; i <= 100; ++i) {
        const double f = i * 0.005;
        const double ref = zemba_reference::arSpectrum<double>(f, d, xms);
        EXPECT_NEAR(evlmem(f, d.data(), 16, xms), ref, 1e-11 * ref) << f;
    }
}
