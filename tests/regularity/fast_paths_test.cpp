// The optimised counting paths of the regularity statistics against
// straightforward versions kept here, compared bit for bit on random data.
#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "frame/arith.h"
#include "reference/regularity.h"
#include "support/capture.h"

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Approximate entropy by comparing every template with every template.
const auto referenceApEn = zemba_ref::truncatedApEn;

std::vector<double> noise(int n, uint64_t seed, double scale, bool integers) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> z(0.0, 1.0);
    std::vector<double> x(static_cast<size_t>(n));
    for (auto& v : x) v = integers ? std::round(scale * z(g)) : scale * z(g);
    return x;
}

TEST(ApproximateEntropyFastPath, MatchesAllPairsOnNoiseAndIntegers) {
    for (int trial = 0; trial < 24; ++trial) {
        const int n = 50 + 37 * trial;
        const bool integers = trial % 2 == 0;
        const double scale = trial % 3 == 0 ? 1.0 : trial % 3 == 1 ? 3.5 : 40.0;
        const auto x = noise(n, 100 + trial, scale, integers);
        for (unsigned m : {1u, 2u, 3u}) {
            for (double tol : {0.0, 0.5, 1.0, 2.0, 7.3}) {
                const double expect = referenceApEn(x, n, m, tol);
                const double got = ApEn(x.data(), n, m, tol, 1.0);
                EXPECT_TRUE(sameBits(got, expect)) << n << " " << m << " " << tol << ": " << got << " vs " << expect;
            }
        }
    }
}

TEST(ApproximateEntropyFastPath, AppEn1MatchesAllPairsWithItsTolerance) {
    const auto x = noise(3000, 9, 20.0, true);
    for (double r : {0.2, 1.0, 2.7}) {
        int n = 3000, m = 2;
        double rr = r, got = 0.0;
        AppEn1(const_cast<double*>(x.data()), &n, &m, &rr, &got);
        double sum = 0.0;
        for (double v : x) sum += v;
        const double mean = sum / n;
        double sq = 0.0;
        for (double v : x) sq += (v - mean) * (v - mean);
        const double tol = zemba::trunc32(r) * std::sqrt(sq / n);
        EXPECT_TRUE(sameBits(got, referenceApEn(x, n, m, tol))) << r;
    }
}

TEST(ApproximateEntropyFastPath, SamplesBeyondThirtyTwoBitsStillCountAsTheyDid) {
    // Differences past 2^31 truncate to INT32_MIN, whose "absolute value" is
    // negative and so within any tolerance; NaN does the same.
    auto x = noise(400, 4, 2.0, false);
    x[17] = 3e9;
    x[150] = -3e9;
    x[222] = std::numeric_limits<double>::quiet_NaN();
    x[300] = std::numeric_limits<double>::infinity();
    for (unsigned m : {1u, 2u}) {
        const double expect = referenceApEn(x, 400, m, 1.0);
        EXPECT_TRUE(sameBits(ApEn(x.data(), 400, m, 1.0, 1.0), expect)) << m;
    }
}

TEST(ApproximateEntropyFastPath, HugeAndNegativeTolerancesAndShortSeries) {
    const auto x = noise(300, 5, 4.0, false);
    for (double tol : {-1.0, 1e12, 1e300}) {
        EXPECT_TRUE(sameBits(ApEn(x.data(), 300, 2, tol, 1.0), referenceApEn(x, 300, 2, tol))) << tol;
    }
    for (int n = 1; n < 6; ++n) {
        const double expect = referenceApEn(x, n, 1, 2.0);
        EXPECT_TRUE(sameBits(ApEn(x.data(), n, 1, 2.0, 1.0), expect)) << n;
    }
    EXPECT_TRUE(sameBits(ApEn(x.data(), 200, 0, 1.0, 1.0), referenceApEn(x, 200, 0, 1.0)));
}

// Sample entropy of SmEn by comparing every pair of templates.
const auto referenceSmEn = zemba_ref::truncatedSmEn;

double callSmEn(std::vector<double>& x, int m, double r, double* out) {
    int n = static_cast<int>(x.size());
    return SmEn(x.data(), &m, &r, &n, out);
}

void expectSmEn(std::vector<double> x, int m, double r, const std::string& what) {
    const double expect = referenceSmEn(x, static_cast<int>(x.size()), m, r);
    double out = -7.0;
    const double got = callSmEn(x, m, r, &out);
    EXPECT_TRUE(sameBits(got, expect)) << what << " m=" << m << " r=" << r << ": " << got << " vs " << expect;
    EXPECT_TRUE(sameBits(out, expect)) << what;
}

TEST(SmEnFastPath, MatchesAllPairsOnNoiseAndIntegers) {
    for (int trial = 0; trial < 18; ++trial) {
        const int n = 20 + 53 * trial;
        const bool integers = trial % 2 == 1;
        const double scale = trial % 3 == 0 ? 1.0 : trial % 3 == 1 ? 3.5 : 40.0;
        const auto x = noise(n, 700 + trial, scale, integers);
        for (int m : {0, 1, 2, 3, 4})
            for (double r : {0.2, 1.0, 2.0, 3.9}) expectSmEn(x, m, r, "n=" + std::to_string(n));
    }
}

TEST(SmEnFastPath, ShortSeriesNegativeRadiiAndUnsortableSamples) {
    auto x = noise(300, 31, 3.0, false);
    for (int n = 0; n < 7; ++n)
        for (int m : {0, 1, 2, 3}) expectSmEn(std::vector<double>(x.begin(), x.begin() + n), m, 1.0, "short");
    expectSmEn(x, 2, -1.0, "negative r");
    expectSmEn(x, 2, 1e12, "r beyond 32 bits");
    auto wide = x;
    wide[40] = 3e9;  // differences past 2^31 truncate to INT32_MIN and match
    expectSmEn(wide, 2, 1.0, "wide");
    auto withNan = x;
    withNan[77] = std::numeric_limits<double>::quiet_NaN();
    expectSmEn(withNan, 1, 1.0, "nan");
}

}  // namespace
