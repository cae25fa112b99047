#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

void markSlopes(double mark) {
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c) SlopMatrix[r][c] = mark;
}

std::vector<double> adjacency(std::vector<double> x, int m, int tau, size_t cells, double fill = -1.0) {
    std::vector<double> out(cells, fill);
    int n = static_cast<int>(x.size());
    getRecurrenceAdj(x.data(), &n, &m, &tau, out.data());
    return out;
}

}  // namespace

TEST(RecurrenceNetwork, ScalarEmbeddingGivesAbsoluteDifferencesAndSummary) {
    std::vector<double> out = adjacency({0, 3, 4}, 1, 1, 9);
    EXPECT_EQ(out[1], 3.0);
    EXPECT_EQ(out[3], 3.0);
    EXPECT_EQ(out[2], 4.0);
    EXPECT_EQ(out[6], 4.0);
    EXPECT_EQ(out[5], 1.0);
    EXPECT_EQ(out[7], 1.0);
    EXPECT_EQ(out[0], 8.0 / 6 + 1.0);
    EXPECT_EQ(out[4], -1.0);  // diagonal cells keep what the caller put there
    EXPECT_EQ(out[8], -1.0);
}

// m <= 0 once gave n - m*tau + 1 > n "vectors" and wrote that many squared
// cells; it is rejected as the other sizes are: out[0] = 0.0 and nothing else.
TEST(RecurrenceNetwork, EmbeddingLengthBelowOneIsRejected) {
    for (int m : {0, -1, -7}) {
        markSlopes(-5.0);
        std::vector<double> out = adjacency({0, 3, 4, 1, 5}, m, 2, 200, 9.0);
        EXPECT_EQ(out[0], 0.0) << m;
        for (size_t i = 1; i < out.size(); ++i) ASSERT_EQ(out[i], 9.0) << m << " " << i;
        EXPECT_EQ(SlopMatrix[0][0], -5.0);
    }
}

TEST(RecurrenceNetwork, DelayVectorsFillRowsAndLeaveTheRestAlone) {
    markSlopes(-5.0);
    std::vector<double> x = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    EXPECT_EQ(getRecurrenceMatrix(x.data(), 10, 3, 2), 5);
    for (int i = 0; i < 5; ++i) {
        for (int k = 0; k < 3; ++k) EXPECT_EQ(SlopMatrix[i][k], x[i + 2 * k]);
        EXPECT_EQ(SlopMatrix[i][3], -5.0);
    }
    EXPECT_EQ(SlopMatrix[4][2], 18.0);  // x[9] is never used
    EXPECT_EQ(SlopMatrix[5][0], -5.0);
}

TEST(RecurrenceNetwork, DistancesMatchDirectFormulaOnRandomSeries) {
    std::mt19937 rng(9);
    std::normal_distribution<double> gauss(0.0, 3.0);
    for (int m : {1, 2, 4}) {
        for (int tau : {1, 3}) {
            std::vector<double> x(60);
            for (double& v : x) v = gauss(rng);
            const int count = 60 - m * tau + 1;
            std::vector<double> out = adjacency(x, m, tau, static_cast<size_t>(count) * count);
            double total = 0.0;
            for (int a = 0; a < count; ++a)
                for (int b = 0; b < count; ++b) {
                    if (a == b) continue;
                    double sq = 0.0;
                    for (int k = 0; k < m; ++k) sq += std::pow(x[a + k * tau] - x[b + k * tau], 2);
                    ASSERT_DOUBLE_EQ(out[a * count + b], std::sqrt(sq)) << a << "," << b;
                    total += std::sqrt(sq);
                }
            // One plus half the mean over ordered pairs (each pair counted twice).
            EXPECT_NEAR(out[0], 0.5 * total / (count * (count - 1.0)) + 1.0, 1e-12);
        }
    }
}

TEST(RecurrenceNetwork, TooShortSeriesEmbedsNothing) {
    markSlopes(-5.0);
    double x[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(getRecurrenceMatrix(x, 5, 3, 2), 0);
    EXPECT_EQ(getRecurrenceMatrix(x, 3, 3, 2), -2);
    EXPECT_EQ(SlopMatrix[0][0], -5.0);
    std::vector<double> out = adjacency({1, 2, 3, 4, 5}, 3, 2, 3, 7.0);
    EXPECT_EQ(out, (std::vector<double>{0.0, 7.0, 7.0}));
    EXPECT_EQ(SlopMatrix[0][0], -5.0);
}

TEST(RecurrenceNetwork, SingleVectorHasZeroSummary) {
    markSlopes(-5.0);
    std::vector<double> out = adjacency({1, 2, 3, 4}, 2, 2, 2, 7.0);
    EXPECT_EQ(out, (std::vector<double>{0.0, 7.0}));
    EXPECT_EQ(SlopMatrix[0][0], 1.0);
    EXPECT_EQ(SlopMatrix[0][1], 3.0);
    EXPECT_EQ(SlopMatrix[1][0], -5.0);
}

TEST(RecurrenceNetwork, EmbeddingBeyondSlopeMatrixIsRejectedUntouched) {
    std::vector<double> x(ZEMBA_NODE_CAP + 200, 1.5);
    const int n = static_cast<int>(x.size());
    struct Case {
        int n, m, tau;
    };
    // Too many vectors; vectors too long; m*tau past 32 bits; a delay that
    // would read outside the series.
    for (Case c : {Case{ZEMBA_NODE_CAP + 1, 1, 1}, Case{n, ZEMBA_NODE_CAP + 1, 1}, Case{n, 65536, 65536},
                   Case{n, -65536, 65536}, Case{10, 2, 0}, Case{10, 1, -3}}) {
        markSlopes(-5.0);
        EXPECT_EQ(getRecurrenceMatrix(x.data(), c.n, c.m, c.tau), 0);
        double out[2] = {9.0, 9.0};
        getRecurrenceAdj(x.data(), &c.n, &c.m, &c.tau, out);
        EXPECT_EQ(out[0], 0.0);
        EXPECT_EQ(out[1], 9.0);
        EXPECT_EQ(SlopMatrix[0][0], -5.0);
    }
}
