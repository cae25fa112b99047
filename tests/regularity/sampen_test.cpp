#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "reference/regularity.h"
#include "support/capture.h"

using zemba_test::captureStdout;
using zemba_ref::populationSd;
using zemba_ref::zScores;

namespace {

const double kInf = std::numeric_limits<double>::infinity();

std::vector<double> gaussian(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> dist(0.0, 1.0);
    std::vector<double> x(n);
    for (double& v : x) v = dist(gen);
    return x;
}

std::vector<double> smallIntegers(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> dist(0, 3);
    std::vector<double> x(n);
    for (double& v : x) v = dist(gen);
    return x;
}

// Template pairs s < t of length len that agree strictly within r at every
// point, the later template ending at or before sample lastEnd.
const auto matchingTemplates = zemba_ref::strictMatchingTemplates;

struct Brute {
    std::vector<double> A, C;
};

// A_q: pairs matching over q + 1 points; C_q: those whose later template can still grow.
Brute bruteCounts(const std::vector<double>& z, int M, double r) {
    const int n = static_cast<int>(z.size());
    Brute b;
    for (int q = 0; q <= M; ++q) {
        b.A.push_back(matchingTemplates(z, q + 1, r, n - 1));
        b.C.push_back(matchingTemplates(z, q + 1, r, n - 2));
    }
    return b;
}

}  // namespace

TEST(Normalize, LeavesZScoresAndReturnsPopulationSd) {
    std::vector<double> x = {2, 4, 4, 4, 5, 5, 7, 9};  // mean 5, population SD 2
    EXPECT_DOUBLE_EQ(normalize(x.data(), 8), 2.0);
    const double expected[] = {-1.5, -0.5, -0.5, -0.5, 0, 0, 1, 2};
    for (int i = 0; i < 8; ++i) EXPECT_DOUBLE_EQ(x[i], expected[i]);
}

TEST(SampleEntropyCounts, RunLengthCountsEqualTemplateComparison) {
    struct Case {
        std::vector<double> x;
        int M;
        double r;
    };
    const Case cases[] = {{gaussian(300, 1), 3, 0.5}, {smallIntegers(250, 2), 4, 0.5},
                          {smallIntegers(200, 3), 2, 1.2}, {gaussian(120, 4), 0, 0.3}};
    for (const Case& c : cases) {
        std::vector<double> x = c.x;
        int M = c.M, n = static_cast<int>(x.size());
        double r = c.r;
        std::vector<double> out(M + 1);
        sampen_1(x.data(), &M, &r, &n, out.data());
        const Brute b = bruteCounts(x, M, r);
        const double pairs = n * (n - 1) / 2.0;
        for (int q = 0; q <= M; ++q) {
            EXPECT_EQ(wk1[q], b.A[q]) << "q=" << q;
            EXPECT_EQ(wk2[q], b.C[q]) << "q=" << q;
            const double ratio = q == 0 ? b.A[0] / pairs : b.A[q] / b.C[q - 1];
            EXPECT_DOUBLE_EQ(out[q], -std::log(ratio));
        }
        for (int d = 0; d + 1 < n; ++d) EXPECT_EQ(lastrun[d], run[d]);
    }
}

TEST(SampleEntropyCounts, TwoPassesOnSameArrayWorkOnNormalisedData) {
    std::vector<double> x = gaussian(100, 9);
    const std::vector<double> z = zScores(x);
    int M = 2, n = 100;
    double r = 0.4, first[3], second[3];
    sampen_1(x.data(), &M, &r, &n, first);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], z[i], 1e-12);
    sampen_1(x.data(), &M, &r, &n, second);
    for (int q = 0; q <= M; ++q) EXPECT_NEAR(first[q], second[q], 1e-12);
}

TEST(SampleEntropyCounts, DifferenceOfExactlyRDoesNotMatch) {
    std::vector<double> x = {-1, 1, -1, 1};  // already z-scores: differences 0 and 2
    int M = 0, n = 4;
    double r = 2.0, out[1];
    sampen_1(x.data(), &M, &r, &n, out);
    EXPECT_EQ(wk1[0], 2.0);  // only the equal pairs (0,2), (1,3)
    EXPECT_DOUBLE_EQ(out[0], -std::log(2.0 / 6.0));
    r = std::nextafter(2.0, 3.0);
    sampen_1(x.data(), &M, &r, &n, out);
    EXPECT_EQ(wk1[0], 6.0);
    EXPECT_EQ(out[0], 0.0);
}

TEST(SampleEntropyLimits, LargestTemplateLengthAcceptedNextRejectedUntouched) {
    std::vector<double> x = gaussian(50, 5);
    const std::vector<double> orig = x;
    int n = 50, M = 128;
    double r = 0.5;
    std::vector<double> out(2 * 130, 7.0);
    sampen_1(x.data(), &M, &r, &n, out.data());
    EXPECT_EQ(out[0], -1.0);
    EXPECT_EQ(out[1], 7.0);
    EXPECT_EQ(x, orig);
    std::string printed = captureStdout([&] { sampen(x.data(), &M, &r, &n, out.data()); });
    EXPECT_EQ(out[0], -1.0);
    EXPECT_EQ(M, 128);  // not incremented on rejection
    EXPECT_EQ(printed, "");
    EXPECT_EQ(x, orig);

    M = 127;
    sampen_1(x.data(), &M, &r, &n, out.data());
    EXPECT_NE(out[0], -1.0);
    EXPECT_TRUE(std::isnan(out[127])) << "no run reaches 127 points in 50 samples: 0 / 0";
    EXPECT_EQ(out[128], 7.0);
    x = orig;
    captureStdout([&] { sampen(x.data(), &M, &r, &n, out.data()); });
    EXPECT_EQ(M, 128);
    EXPECT_NE(out[0], -1.0);
}

TEST(SampleEntropyLimits, LengthsBeyondTheTablesAreRejected) {
    std::vector<double> x = gaussian(8, 6);
    const std::vector<double> orig = x;
    double r = 0.5, out[4];
    const int bad[][2] = {{2, 12194}, {2, -1}, {-1, 8}};
    for (const auto& mn : bad) {
        int M = mn[0], n = mn[1];
        out[0] = 0;
        sampen_1(x.data(), &M, &r, &n, out);
        EXPECT_EQ(out[0], -1.0);
        out[0] = 0;
        captureStdout([&] { sampen(x.data(), &M, &r, &n, out); });
        EXPECT_EQ(out[0], -1.0);
        EXPECT_EQ(M, mn[0]);
        out[0] = 0;
        sampen2(x.data(), &M, &r, &n, out);
        EXPECT_EQ(out[0], -1.0);
        EXPECT_EQ(x, orig);
    }
}

TEST(SampleEntropyLimits, Sampen2RejectsWhatItsTablesCannotHold) {
    std::vector<double> x = gaussian(112, 7);
    const std::vector<double> orig = x;
    double r = 0.5;
    std::vector<double> out(2 * 110);
    int M = 109, n = 100;  // (M+1)(M+2) = 12210 > 12193
    sampen2(x.data(), &M, &r, &n, out.data());
    EXPECT_EQ(out[0], -1.0);
    M = 108, n = 112;  // 2 (M+1) n = 24416 > 24386
    sampen2(x.data(), &M, &r, &n, out.data());
    EXPECT_EQ(out[0], -1.0);
    EXPECT_EQ(x, orig);
    n = 111;  // 24198 and 11990 fit
    sampen2(x.data(), &M, &r, &n, out.data());
    EXPECT_NE(out[0], -1.0);
}

TEST(SampenPrinting, IncrementsMAndPrintsTheFirstEntropy) {
    std::vector<double> x = {3, 5, 3, 5};  // z-scores -1, 1, -1, 1: two of six pairs match
    int M = 0, n = 4;
    double r = 0.5;
    double out[2] = {0, 42};
    std::string printed = captureStdout([&] { sampen(x.data(), &M, &r, &n, out); });
    EXPECT_EQ(printed, "SampEn(0,0.5,4) = 1.098612\n");
    EXPECT_EQ(M, 1);
    EXPECT_DOUBLE_EQ(out[0], std::log(3.0));
    EXPECT_EQ(out[1], 42);  // M + 1 = 1 entropy for the M passed in
    EXPECT_EQ(x, (std::vector<double>{-1, 1, -1, 1}));

    printed = captureStdout([&] { sampen(x.data(), &M, &r, &n, out); });
    EXPECT_EQ(M, 2);
    EXPECT_DOUBLE_EQ(out[1], -std::log(1.0 / 1.0));  // (1,3) of C_0 = {(0,2)} extends
}

TEST(SampleEntropyConstant, ConstantSeriesHasNoMatches) {
    std::vector<double> x(20, 3.5);
    int M = 2, n = 20;
    double r = 0.2, out[6];
    sampen_1(x.data(), &M, &r, &n, out);
    EXPECT_TRUE(std::isnan(x[0]));
    EXPECT_EQ(out[0], kInf);
    EXPECT_TRUE(std::isnan(out[1]) && std::isnan(out[2]));
    x.assign(20, 3.5);
    std::string printed = captureStdout([&] { sampen(x.data(), &M, &r, &n, out); });
    EXPECT_EQ(printed, "SampEn(0,0.2,20) = inf\n");
    EXPECT_EQ(out[0], kInf);
    x.assign(20, 3.5);
    M = 2;
    sampen2(x.data(), &M, &r, &n, out);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_TRUE(std::isnan(out[1]) && std::isnan(out[2]));
}

TEST(Sampen2Tables, CountsAndPerTemplateTablesMatchTemplateComparison) {
    for (unsigned seed : {11u, 12u}) {
        std::vector<double> x = seed == 11 ? gaussian(150, seed) : smallIntegers(150, seed);
        int M = 2, n = 150;
        double r = 0.45;
        std::vector<double> out(2 * (M + 1));
        sampen2(x.data(), &M, &r, &n, out.data());
        const Brute b = bruteCounts(x, M, r);
        EXPECT_EQ(wk2[0], n * (n - 1) / 2.0);
        for (int q = 0; q <= M; ++q) {
            EXPECT_EQ(wk1[q], b.A[q]);
            if (q > 0) {
                EXPECT_EQ(wk2[q], b.C[q - 1]);
            }
            const double p = b.A[q] / (q == 0 ? n * (n - 1) / 2.0 : b.C[q - 1]);
            EXPECT_DOUBLE_EQ(out[q], -std::log(p));
        }
        // Per template ending at i: partners after, before, and in all, over k + 1 points.
        for (int k = 0; k <= M; ++k)
            for (int i = 0; i < n; ++i) {
                double after = 0, before = 0;
                for (int j = 0; j < n; ++j) {
                    if (j == i || i < k || j < k) continue;
                    bool all = true;
                    for (int s = 0; s <= k && all; ++s) all = std::fabs(x[i - s] - x[j - s]) < r;
                    (j > i ? after : before) += all;
                }
                ASSERT_EQ(myF1[i + k * n], after) << i << "," << k;
                ASSERT_EQ(myF2[i + k * n], before) << i << "," << k;
                ASSERT_EQ(myF[i + k * n], after + before) << i << "," << k;
            }
    }
}

// Run length of the pair (a, b): matching points counted backwards from (a, b).
const auto runLength = zemba_ref::strictRunLength;

TEST(Sampen2Tables, RunTablesHoldRunLengthsEvenForShortSeries) {
    for (int n : {40, 6}) {  // with 6 samples the tables are wider than the series
        std::vector<double> x = smallIntegers(n, 20 + n);
        int M = 5;
        double r = 0.6;
        std::vector<double> out(2 * (M + 1));
        sampen2(x.data(), &M, &r, &n, out.data());
        const int width = 2 * (M + 1);
        for (int t = 2; t < n; ++t)
            for (int k = 0; k < width && k <= t - 2; ++k)
                ASSERT_EQ(R2[t + k * n], runLength(x, t - 1 - k, t, r)) << t << "," << k;
        for (int i = 0; i + 1 < n; ++i)
            for (int d = 0; d < width; ++d) {
                // beyond the row: the last pair that reached entry d, (n-2-d, n-1), or 0
                const int expected = i + 1 + d < n ? runLength(x, i, i + 1 + d, r)
                                     : d <= n - 2  ? runLength(x, n - 2 - d, n - 1, r)
                                                   : 0;
                ASSERT_EQ(R1[i + d * n], expected) << i << "," << d;
            }
    }
}

// The reported standard errors against the spread of p_q over independent
// series. The errors describe a fixed tolerance on the data; each series is
// therefore given r = kTolerance / its own SD, so that after z-scoring the
// samples match when they differ by less than kTolerance in raw units. (With one
// r for all series the z-scoring would also fix each series' own scale, which
// takes most of the spread of p_0 away: for Gaussian noise about 80 %.) For
// q = 0 the estimate is first-order exact (measured ratio about 1.0). For q >= 1
// the terms of overlapping templates take a pair's extension as independent of
// the next template's match, which for white noise overstates the SD by about
// half (measured ratio about 1.5); hence the factor, either way.
const double kStandardErrorFactor = 1.75;
const double kTolerance = 0.25;

TEST(Sampen2StandardErrors, AgreeWithSpreadOverIndependentSeries) {
    const int n = 400, series = 800, M = 2;
    std::vector<double> sum(M + 1), sumSq(M + 1), seSum(M + 1);
    std::vector<double> out(2 * (M + 1));
    for (int s = 0; s < series; ++s) {
        std::vector<double> x = gaussian(n, 1000 + s);
        double r = kTolerance / populationSd(x);
        int MM = M, nn = n;
        sampen2(x.data(), &MM, &r, &nn, out.data());
        for (int q = 0; q <= M; ++q) {
            const double p = std::exp(-out[q]);
            sum[q] += p;
            sumSq[q] += p * p;
            seSum[q] += out[M + 1 + q];
        }
    }
    for (int q = 0; q <= M; ++q) {
        const double mean = sum[q] / series;
        const double sd = std::sqrt((sumSq[q] / series - mean * mean) * series / (series - 1));
        const double se = seSum[q] / series;
        std::printf("q=%d mean p=%.5f measured SD=%.6f mean SE=%.6f ratio=%.3f\n", q, mean, sd, se, se / sd);
        EXPECT_LT(se, sd * kStandardErrorFactor) << "q=" << q;
        EXPECT_GT(se, sd / kStandardErrorFactor) << "q=" << q;
    }
}

TEST(SmEn, TruncatedDistancesAgainstIntegerTolerance) {
    // SD 1.4754..; r = 2 gives tol 2.95: distance 2 (0 vs 2.9) matches, 3 (0 vs 3.0) does not.
    const std::vector<double> x = {0, 0, 2.9, 3.0};
    const std::vector<double> orig = x;
    int m = 1, n = 4;
    double r = 2.0, out = -5;
    // pairs (0,1), (0,2), (1,2) match on one point; (0,1) and (1,2) also on the next.
    EXPECT_DOUBLE_EQ(SmEn(x.data(), &m, &r, &n, &out), std::log(3.0 / 2.0));
    EXPECT_DOUBLE_EQ(out, std::log(1.5));
    EXPECT_EQ(x, orig);
    r = 1.99;  // tol = SD < 2: only (0,1) matches and does not extend
    EXPECT_EQ(SmEn(x.data(), &m, &r, &n, &out), 0.0);
    EXPECT_EQ(out, 0.0);
}

TEST(SmEn, HalfToleranceMatchesDifferencesBelowOne) {
    const std::vector<double> x = {0, 0.5, 0, 0.5, 5};
    int m = 1, n = 5;
    double r = 0.5, out;
    // all six pairs of starts 0..3 match; only those with later start < 3 extend
    EXPECT_DOUBLE_EQ(SmEn(x.data(), &m, &r, &n, &out), std::log(2.0));
    const std::vector<double> apart = {0, 1, 2, 3, 4};
    EXPECT_EQ(SmEn(apart.data(), &m, &r, &n, &out), 0.0);
    m = 0;  // every pair of starts 0..4 counts in B; equal-within-tolerance ones in A
    const std::vector<double> y = {0, 7, 0.9, 7.5, 0};
    EXPECT_DOUBLE_EQ(SmEn(y.data(), &m, &r, &n, &out), std::log(10.0 / 4.0));
}

TEST(SmEn, TemplateLengthOutsideTheSeriesGivesZero) {
    const std::vector<double> x = {1, 1, 1, 1};
    int n = 4;
    double r = 1.0, out = 9;
    for (int m : {-3, -1, 4, 9}) {
        out = 9;
        EXPECT_EQ(SmEn(x.data(), &m, &r, &n, &out), 0.0);
        EXPECT_EQ(out, 0.0);
    }
}
