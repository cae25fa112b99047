#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

TEST(ApEn, TruncatedDistancesWithToleranceTwo) {
    // r 0.2 x sd 10 = tol 2: 0 vs 2.9 match (distance 2), 0 vs 3.0 do not (3).
    // Templates 0, 2.9, 0, 3.0 followed by 2.9, 0, 3.0, 0:
    // B = 3, 4, 3, 2 and A = 3, 3, 2, 2.
    const std::vector<double> x = {0, 2.9, 0, 3.0, 0};
    const double expected = (std::log(4.0 / 3.0) + std::log(3.0 / 2.0)) / 4.0;
    EXPECT_DOUBLE_EQ(ApEn(x.data(), 5, 1, 0.2, 10.0), expected);
    EXPECT_DOUBLE_EQ(expected, std::log(2.0) / 4.0);
}

TEST(ApEn, ConstantSeriesAndSingleTemplateGiveZero) {
    const std::vector<double> flat(30, 4.25);
    EXPECT_EQ(ApEn(flat.data(), 30, 2, 0.2, 1.0), 0.0);
    const std::vector<double> x = {0, 9, -4};
    EXPECT_EQ(ApEn(x.data(), 3, 2, 0.2, 1.0), 0.0);  // N = m + 1: one template
}

TEST(ApEn, ZeroLengthCountsEveryTemplateInB) {
    // m = 0, tol 0: B = 3 for each template; A = 2, 1, 2 (first samples 0, 5, 0).
    const std::vector<double> x = {0, 5, 0};
    const double expected = (2 * std::log(1.5) + std::log(3.0)) / 3.0;
    EXPECT_DOUBLE_EQ(ApEn(x.data(), 3, 0, 0.0, 1.0), expected);
}

TEST(ApEn, NegativeToleranceMatchesNothing) {
    const std::vector<double> x = {1, 2, 1, 2, 1};
    EXPECT_EQ(ApEn(x.data(), 5, 1, -0.5, 1.0), 0.0);
}

TEST(ApEn, NoTemplateGivesNaN) {
    const std::vector<double> x = {1, 2, 3};
    EXPECT_TRUE(std::isnan(ApEn(x.data(), 3, 3, 0.2, 1.0)));  // 0 / 0
    EXPECT_TRUE(std::isnan(ApEn(x.data(), 3, 4, 0.2, 1.0)));  // the count would wrap
    EXPECT_TRUE(std::isnan(ApEn(x.data(), 3, 0xffffffffu, 0.2, 1.0)));
}

// A negative int passed as the unsigned count (-1 is 4294967295) once read far
// past the series; such counts are rejected before any sample is read.
TEST(ApEn, CountOfANegativeIntIsRejected) {
    const std::vector<double> x = {1, 2, 3};
    for (int n : {-1, -3, INT32_MIN}) {
        EXPECT_TRUE(std::isnan(ApEn(x.data(), static_cast<unsigned>(n), 2, 0.2, 1.0))) << n;
        EXPECT_TRUE(std::isnan(ApEn(nullptr, static_cast<unsigned>(n), 0, 0.2, 1.0))) << n;
    }
}

TEST(AppEn1, IntegerPartOfRTimesSd) {
    // r = 0.2 gives tol 0: samples match when they differ by less than 1.
    // Templates 0, 0.5, 1.5 followed by 0.5, 1.5, 0: B = 2, 2, 1 and A = 1, 1, 1.
    std::vector<double> x = {0, 0.5, 1.5, 0};
    int n = 4, m = 1;
    double r = 0.2, out = -1;
    AppEn1(x.data(), &n, &m, &r, &out);
    EXPECT_DOUBLE_EQ(out, 2 * std::log(2.0) / 3.0);
    EXPECT_EQ(x, (std::vector<double>{0, 0.5, 1.5, 0}));
}

TEST(AppEn1, AgreesWithApEnGivenPopulationSd) {
    std::vector<double> x;
    for (int i = 0; i < 60; ++i) x.push_back(std::fmod(i * 7.3, 11.0) - 0.1 * i);
    double mean = 0, var = 0;
    for (double v : x) mean += v / 60;
    for (double v : x) var += (v - mean) * (v - mean) / 60;
    int n = 60, m = 2;
    double r = 1.7, out = 0;
    AppEn1(x.data(), &n, &m, &r, &out);
    EXPECT_DOUBLE_EQ(out, ApEn(x.data(), 60, 2, 1.0, std::sqrt(var)));
    EXPECT_GT(out, 0.0);
}

TEST(AppEn1, NegativeLengthIsRejected) {
    std::vector<double> x = {1, 2, 3};
    int n = 3, m = -1;
    double r = 1, out = 0;
    AppEn1(x.data(), &n, &m, &r, &out);
    EXPECT_TRUE(std::isnan(out));
}
