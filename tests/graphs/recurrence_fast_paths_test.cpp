// getRecurrenceAdj against the plain pair walk kept here: the whole distance
// matrix (cells the routine must not touch included), the summary cell and
// the delay vectors in SlopMatrix, compared bit for bit.
#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr double kSentinel = -7.25;
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Upper triangle in walk order, both cells from the same difference. No
// vector (N <= 0) or no coordinate (m < 1): only the summary cell, 0.
std::vector<double> referenceMatrix(const std::vector<double>& x, int m, int tau) {
    const int n = static_cast<int>(x.size());
    const int count = n - m * tau + 1;
    std::vector<double> out(count > 0 ? static_cast<size_t>(count) * count : 1, kSentinel);
    if (count <= 0 || m < 1) {
        out[0] = 0.0;
        return out;
    }
    double sum = 0.0;
    for (int a = 0; a < count; ++a) {
        for (int b = a + 1; b < count; ++b) {
            double sq = 0.0;
            for (int k = 0; k < m; ++k) {
                const double diff = x[a + k * tau] - x[b + k * tau];
                sq += diff * diff;
            }
            const double d = std::sqrt(sq);
            out[static_cast<size_t>(a) * count + b] = d;
            out[static_cast<size_t>(b) * count + a] = d;
            sum += d;
        }
    }
    out[0] = count > 1 ? sum / ((count - 1) * count) + 1.0 : 0.0;
    return out;
}

void expectSameAsWalk(std::vector<double> x, int m, int tau) {
    const int n = static_cast<int>(x.size());
    const std::vector<double> want = referenceMatrix(x, m, tau);
    std::vector<double> got(want.size(), kSentinel);
    int len = n, dim = m, delay = tau;
    getRecurrenceAdj(x.data(), &len, &dim, &delay, got.data());
    ASSERT_EQ(0, std::memcmp(want.data(), got.data(), want.size() * sizeof(double)))
        << "n=" << n << " m=" << m << " tau=" << tau;
    const int count = n - m * tau + 1;
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < m; ++k)
            ASSERT_EQ(0, std::memcmp(&SlopMatrix[i][k], &x[i + k * tau], sizeof(double))) << i << "," << k;
}

std::vector<double> whiteNoise(std::mt19937& rng, int n) {
    std::normal_distribution<double> g(0.0, 1.0);
    std::vector<double> x(n);
    for (double& v : x) v = g(rng);
    return x;
}

std::vector<double> randomWalk(std::mt19937& rng, int n) {
    std::normal_distribution<double> g(0.0, 1.0);
    std::vector<double> x(n);
    double s = 0.0;
    for (double& v : x) v = s += g(rng);
    return x;
}

std::vector<double> smallIntegers(std::mt19937& rng, int n) {
    std::uniform_int_distribution<int> u(-3, 3);
    std::vector<double> x(n);
    for (double& v : x) v = u(rng);
    return x;
}

const int kLengths[] = {1, 2, 3, 4, 5, 7, 8, 9, 11, 15, 16, 17, 23, 31, 32, 33, 47, 64, 65, 100, 129, 257};

}  // namespace

TEST(RecurrenceFastPath, MatchesPairWalkOnWhiteNoise) {
    std::mt19937 rng(11);
    for (int n : kLengths)
        for (int m = 1; m <= 5; ++m)
            for (int tau = 1; tau <= 3; ++tau) expectSameAsWalk(whiteNoise(rng, n), m, tau);
}

TEST(RecurrenceFastPath, MatchesPairWalkOnRandomWalk) {
    std::mt19937 rng(12);
    for (int n : kLengths)
        for (int m = 1; m <= 5; ++m)
            for (int tau = 1; tau <= 3; ++tau) expectSameAsWalk(randomWalk(rng, n), m, tau);
}

TEST(RecurrenceFastPath, MatchesPairWalkOnTiedIntegers) {
    std::mt19937 rng(13);
    for (int n : kLengths)
        for (int m = 1; m <= 5; ++m)
            for (int tau = 1; tau <= 3; ++tau) expectSameAsWalk(smallIntegers(rng, n), m, tau);
}

TEST(RecurrenceFastPath, MatchesPairWalkForLongEmbeddings) {
    std::mt19937 rng(14);
    for (int n : {20, 41, 77})
        for (int m : {6, 7, 9})
            for (int tau = 1; tau <= 3; ++tau) expectSameAsWalk(whiteNoise(rng, n), m, tau);
}

TEST(RecurrenceFastPath, NonFiniteSamplesPropagateTheSameWay) {
    std::mt19937 rng(15);
    const double specials[] = {kNaN, kInf, -kInf, 1e300, -1e300};
    for (int n : {9, 18, 40, 71}) {
        for (int m = 1; m <= 5; ++m) {
            for (int tau = 1; tau <= 3; ++tau) {
                std::vector<double> x = whiteNoise(rng, n);
                std::uniform_int_distribution<int> at(0, n - 1);
                for (double s : specials) x[at(rng)] = s;
                expectSameAsWalk(x, m, tau);
            }
        }
    }
}

TEST(RecurrenceFastPath, DegenerateEmbeddings) {
    expectSameAsWalk({1.0, 2.0}, 3, 1);       // N <= 0: only the summary cell
    expectSameAsWalk({1.0, 2.0, 3.0}, 3, 1);  // N = 1: summary 0, nothing else
    expectSameAsWalk({4.0, 1.0, 2.0, 3.0}, 2, 2);
    std::mt19937 rng(17);
    expectSameAsWalk(whiteNoise(rng, 20), 0, 1);  // m = 0: rejected, nothing but the summary cell
}

TEST(RecurrenceFastPath, LargeMatrixMatchesPairWalk) {
    std::mt19937 rng(16);
    expectSameAsWalk(whiteNoise(rng, 1203), 3, 1);
    expectSameAsWalk(randomWalk(rng, 998), 2, 2);
}
