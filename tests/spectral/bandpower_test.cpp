// Adaptive integration of the model spectrum, band powers and the five EEG
// band powers of memse.
#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "reference/spectral.h"
#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

const double kLow[5] = {0.53, 4, 8, 13, 30};
const double kHigh[5] = {4, 8, 13, 30, 60};

// One channel of a trial file: 4 header lines, then per channel a
// "# NAME chan k" line and 256 lines "trial NAME s value".
std::vector<double> readChannel(const std::string& file, const std::string& channel) {
    std::vector<double> x;
    FILE* fp = std::fopen((std::string(ZEMBA_DATA_DIR) + "/" + file).c_str(), "r");
    if (!fp) return x;
    char line[256], name[64];
    int trial, s;
    double v;
    while (std::fgets(line, sizeof line, fp)) {
        if (line[0] == '#') continue;
        if (std::sscanf(line, "%d %63s %d %lf", &trial, name, &s, &v) == 4 && channel == name) x.push_back(v);
    }
    std::fclose(fp);
    return x;
}

// 2 x composite Simpson of the model spectrum over [lo, hi].
double fineBandPower(double lo, double hi, double* d, int m, double pm) {
    return 2 * zemba_reference::simpson([&](double f) { return evlmem(f, d, m, pm); }, lo, hi, 200000);
}

using zemba_reference::Ar2;

}  // namespace

TEST(BandPower, EmptyBandIsZero) {
    double d[] = {0.4};
    EXPECT_EQ(band_power(0.1, 0.1, d, 1, 1.0), 0.0);
    EXPECT_EQ(band_power(-0.2, -0.1, d, 1, 1.0), 0.0);  // both edges clamp to 0
}

TEST(BandPower, SwappedEdgesGiveSamePower) {
    double d[] = {0.4, -0.3};
    EXPECT_EQ(band_power(0.3, 0.05, d, 2, 2.0), band_power(0.05, 0.3, d, 2, 2.0));
}

TEST(BandPower, NegativeEdgeCountsAsZero) {
    double d[] = {0.4, -0.3};
    EXPECT_EQ(band_power(-0.1, 0.2, d, 2, 2.0), band_power(0.0, 0.2, d, 2, 2.0));
    EXPECT_EQ(band_power(0.2, -5.0, d, 2, 2.0), band_power(0.0, 0.2, d, 2, 2.0));
}

TEST(BandPower, WhiteNoiseModelIsTwicePmTimesWidth) {
    double zeros[4] = {0, 0, 0, 0};
    const double pm = 0.8;  // a third's estimate 0.8 x width / 3 stays far from 1
    for (auto band : {std::make_pair(0.0, 0.5), std::make_pair(0.1, 0.3), std::make_pair(0.02, 0.0234)}) {
        const double expected = 2 * pm * (band.second - band.first);
        EXPECT_NEAR(band_power(band.first, band.second, zeros, 0, pm), expected, 1e-14);
        EXPECT_NEAR(band_power(band.first, band.second, zeros, 4, pm), expected, 1e-14);
    }
}

TEST(Integ, SmoothAr2SpectrumIntegratesToProcessVariance) {
    for (double w : {0.7, 2.5}) {
        Ar2 ar(0.5, w);
        // The spectrum is even, so [0, 0.5] holds half of the full period.
        EXPECT_NEAR(2 * integ(ar.d, 2, 1.0, 0.0, 0.5, 1e-07), ar.variance, 1e-7 * ar.variance) << w;
        EXPECT_NEAR(band_power(0.0, 0.5, ar.d, 2, 3.0), 3.0 * ar.variance, 3e-7 * ar.variance) << w;
    }
}

TEST(Integ, LevelLimitedIntervalsContributeTheirEstimate) {
    // A negative tolerance is never met: every interval runs to the level
    // limit and then the budget ends. Simpson estimates of a smooth spectrum
    // still add up to close to its integral (a constant per interval would not).
    Ar2 ar(0.5, 0.7);
    EXPECT_NEAR(2 * integ(ar.d, 2, 1.0, 0.0, 0.5, -1.0), ar.variance, 1e-2 * ar.variance);
    EXPECT_NEAR(2 * integ(ar.d, 2, 1.0, 0.0, 0.5, 0.0), ar.variance, 1e-2 * ar.variance);
}

TEST(Integ, ExhaustedBudgetStillCoversWholeBand) {
    // A pole 0.001 inside the unit circle: the peak of width ~1.6e-4 needs
    // more than 512 interval starts at the band-power tolerance, so the
    // unfinished intervals contribute their coarse estimates.
    for (double w : {0.7, 2.5}) {
        Ar2 ar(0.999, w);
        EXPECT_NEAR(band_power(0.0, 0.5, ar.d, 2, 1.0), ar.variance, 1e-2 * ar.variance) << w;
    }
}

TEST(BandPower, MatchesFineSimpsonOverEegBandsOfRealChannel) {
    const std::vector<double> x = readChannel("co2a0000364.rd.000", "CZ");
    ASSERT_EQ(x.size(), 256u);
    double d[16], xms = 0;
    memcof(x.data(), 256, 16, xms, d);
    for (int b = 0; b < 5; ++b) {
        const double lo = kLow[b] / 256, hi = kHigh[b] / 256;
        const double ref = fineBandPower(lo, hi, d, 16, xms);
        EXPECT_NEAR(band_power(lo, hi, d, 16, xms), ref, 1e-6 * ref) << b;
    }
}

TEST(Memse, OrderIsNearestIntegerToRootOfLength) {
    const std::vector<double> x = readChannel("co2c0000337.rd.000", "FP1");
    ASSERT_EQ(x.size(), 256u);
    double fs = 256, out[5];
    for (auto c : {std::make_pair(256, 16), std::make_pair(12, 3), std::make_pair(42, 6)}) {
        int n = c.first;
        const std::string printed = captureStdout([&] { memse(const_cast<double*>(x.data()), &n, &fs, out); });
        EXPECT_EQ(printed, "df*freq=1.620253\t poles=" + std::to_string(c.second) + "\n");
    }
}

TEST(Memse, OutputsAreBandPowersOfOwnFit) {
    std::vector<double> x = readChannel("co2c0000342.rd.004", "P8");
    ASSERT_EQ(x.size(), 256u);
    int n = 256;
    double fs = 256, out[5];
    captureStdout([&] { memse(x.data(), &n, &fs, out); });
    double d[16], xms = 0;
    memcof(x.data(), 256, 16, xms, d);
    for (int b = 0; b < 5; ++b) EXPECT_EQ(out[b], band_power(kLow[b] / fs, kHigh[b] / fs, d, 16, xms)) << b;
}

TEST(Memse, ClearsWorkBuffersBeforeFitting) {
    std::vector<double> x = readChannel("co2a0000364.rd.000", "FP1");
    ASSERT_EQ(x.size(), 256u);
    wk1[ZEMBA_SERIES_CAP - 1] = 5;
    wk2[300] = 6;
    wkm[ZEMBA_BURG_ORDER_CAP - 1] = 7;
    int n = 256;
    double fs = 173.61, out[5];
    const std::string printed = captureStdout([&] { memse(x.data(), &n, &fs, out); });
    EXPECT_EQ(printed, "df*freq=1.098797\t poles=16\n");
    EXPECT_EQ(wk1[ZEMBA_SERIES_CAP - 1], 0.0);
    EXPECT_EQ(wk2[300], 0.0);
    EXPECT_EQ(wkm[ZEMBA_BURG_ORDER_CAP - 1], 0.0);
    // Above Nyquist the gamma band runs over the periodic continuation.
    for (double v : out) EXPECT_GT(v, 0.0);
}

TEST(MemseGuards, OrderAbove106GivesNaNAndTouchesNothing) {
    std::vector<double> x(11343);
    for (size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.1 * i) + 0.01 * (i % 7);
    wk1[0] = 5;
    int n = 11343;  // sqrt = 106.502 -> order 107
    double fs = 256, out[5] = {1, 2, 3, 4, 5};
    const std::string printed = captureStdout([&] { memse(x.data(), &n, &fs, out); });
    EXPECT_EQ(printed, "");
    for (double v : out) EXPECT_TRUE(std::isnan(v));
    EXPECT_EQ(wk1[0], 5.0);

    n = 11342;  // sqrt = 106.497 -> order 106, the largest accepted
    const std::string ok = captureStdout([&] { memse(x.data(), &n, &fs, out); });
    EXPECT_EQ(ok, "df*freq=1.620253\t poles=106\n");
    for (double v : out) EXPECT_FALSE(std::isnan(v));
}

// A sampling rate that is not a finite positive number once gave five zeros
// (and printed its line); it is rejected like the other inputs.
TEST(MemseGuards, RateNotFinitePositiveGivesNaNAndTouchesNothing) {
    std::vector<double> x = readChannel("co2a0000364.rd.000", "FP1");
    int n = 256;
    wk1[0] = 5;
    const double inf = HUGE_VAL, nan = std::nan("");
    for (double fs : {0.0, -256.0, -0.0, inf, -inf, nan}) {
        double out[5] = {1, 2, 3, 4, 5};
        EXPECT_EQ(captureStdout([&] { memse(x.data(), &n, &fs, out); }), "") << fs;
        for (double v : out) EXPECT_TRUE(std::isnan(v)) << fs;
        EXPECT_EQ(wk1[0], 5.0);
    }
}

TEST(MemseGuards, SeriesShorterThanTwoGivesNaN) {
    double x[1] = {1.0}, fs = 256;
    for (int len : {1, 0, -4}) {
        double out[5] = {1, 2, 3, 4, 5};
        int n = len;
        EXPECT_EQ(captureStdout([&] { memse(x, &n, &fs, out); }), "") << len;
        for (double v : out) EXPECT_TRUE(std::isnan(v)) << len;
    }
}
