// The run-length pass of sampen_1 and sampen against a plain per-pair walk kept
// here: outputs, wk1/wk2 and the whole run/lastrun tables compared bit for bit.
#include "zemba.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/capture.h"

namespace {

constexpr int kCap = ZEMBA_SERIES_CAP;

struct State {
    std::vector<double> out, w1, w2;
    std::vector<int32_t> r, last;
};

State snapshot(const double* out, int outLen) {
    State s;
    s.out.assign(out, out + outLen);
    s.w1.assign(wk1, wk1 + kCap);
    s.w2.assign(wk2, wk2 + kCap);
    s.r.assign(run, run + kCap);
    s.last.assign(lastrun, lastrun + kCap);
    return s;
}

// Expected state after the call, built from the state before it: z-scored
// series, every pair visited with its run length, counts by template length.
State expected(State s, std::vector<double> z, int M, double r, int wkCleared) {
    const int n = static_cast<int>(z.size());
    normalize(z.data(), n);
    std::fill(s.r.begin(), s.r.begin() + n, 0);
    std::fill(s.last.begin(), s.last.begin() + n, 0);
    std::fill(s.w1.begin(), s.w1.begin() + wkCleared, 0.0);
    std::fill(s.w2.begin(), s.w2.begin() + wkCleared, 0.0);
    const int c = M + 1;
    std::vector<uint64_t> A(c, 0), C(c, 0);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const int d = j - i - 1;
            const bool match = r > z[j] - z[i] && r > z[i] - z[j];
            s.r[d] = match ? s.r[d] + 1 : 0;
            for (int k = 0; k < c && k < s.r[d]; ++k) {
                ++A[k];
                if (j != n - 1) ++C[k];
            }
        }
    for (int k = 0; k < c; ++k) {
        s.w1[k] += static_cast<double>(A[k]);
        s.w2[k] += static_cast<double>(C[k]);
    }
    for (int d = 0; d + 1 < n; ++d) s.last[d] = s.r[d];
    const int64_t pairs = static_cast<int64_t>(n) * (n - 1) / 2;
    s.out[0] = s.w1[0] / static_cast<double>(pairs);
    for (int q = 1; q <= M; ++q) s.out[q] = s.w1[q] / s.w2[q - 1];
    for (int q = 0; q <= M; ++q) s.out[q] = -std::log(s.out[q]);
    return s;
}

void expectSame(const State& want, const State& got, const std::string& what) {
    auto same = [](const auto& a, const auto& b) {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), sizeof(a[0]) * a.size()) == 0;
    };
    EXPECT_TRUE(same(want.out, got.out)) << what << " out";
    EXPECT_TRUE(same(want.w1, got.w1)) << what << " wk1";
    EXPECT_TRUE(same(want.w2, got.w2)) << what << " wk2";
    EXPECT_TRUE(same(want.r, got.r)) << what << " run";
    EXPECT_TRUE(same(want.last, got.last)) << what << " lastrun";
}

constexpr int kOut = 64;

// Runs both routines on x and compares each with the reference.
void check(const std::vector<double>& x, int M, double r, const std::string& what) {
    const int n = static_cast<int>(x.size());
    {
        std::vector<double> out(kOut, 7.5), xs(x);
        const State want = expected(snapshot(out.data(), kOut), x, M, r, kCap);
        int m = M, len = n;
        double rr = r;
        sampen_1(xs.data(), &m, &rr, &len, out.data());
        expectSame(want, snapshot(out.data(), kOut), what + " sampen_1");
    }
    {
        std::vector<double> out(kOut, 7.5), xs(x);
        const State want = expected(snapshot(out.data(), kOut), x, M, r, ZEMBA_SAMPEN_M_CAP);
        int m = M, len = n;
        double rr = r;
        const std::string printed =
            zemba_test::captureStdout([&] { sampen(xs.data(), &m, &rr, &len, out.data()); });
        expectSame(want, snapshot(out.data(), kOut), what + " sampen");
        EXPECT_EQ(m, M + 1);
        char line[128];
        std::snprintf(line, sizeof line, "SampEn(0,%g,%d) = %lf\n", r, n, want.out[0]);
        EXPECT_EQ(printed, line) << what;
    }
}

std::vector<double> whiteNoise(std::mt19937_64& g, int n) {
    std::normal_distribution<double> nd;
    std::vector<double> x(n);
    for (auto& v : x) v = nd(g);
    return x;
}

std::vector<double> smallIntegers(std::mt19937_64& g, int n, int levels) {
    std::uniform_int_distribution<int> u(0, levels - 1);
    std::vector<double> x(n);
    for (auto& v : x) v = u(g);
    return x;
}

const int kLengths[] = {2, 3, 4, 5, 6, 7, 8, 9, 13, 31, 64, 97, 255, 600};

TEST(SampleEntropyRunPass, MatchesPairWalkOnWhiteNoise) {
    std::mt19937_64 g(12);
    for (int n : kLengths)
        for (int M : {0, 1, 2, 3, 4, 5, 40})
            for (double r : {0.2, 0.5, 1.5})
                check(whiteNoise(g, n), M, r, "n=" + std::to_string(n) + " M=" + std::to_string(M));
}

TEST(SampleEntropyRunPass, MatchesPairWalkOnTiedIntegers) {
    std::mt19937_64 g(7);
    for (int n : kLengths)
        for (int M : {0, 1, 2, 3, 5})
            for (int levels : {2, 3, 5})
                for (double r : {0.5, 1.0, 2.0})
                    check(smallIntegers(g, n, levels), M, r,
                          "n=" + std::to_string(n) + " levels=" + std::to_string(levels));
}

// r equal to a difference present in the z-scored series, so some pairs sit
// exactly on the strict bound; a balanced +-1 series keeps its values (mean 0,
// SD 1) and differs by exactly 2.
TEST(SampleEntropyRunPass, StrictBoundOnExactDifferences) {
    std::mt19937_64 g(3);
    for (int n : {2, 9, 40, 301}) {
        std::vector<double> pm(n);
        for (int i = 0; i < n; ++i) pm[i] = i % 2 ? 1.0 : -1.0;
        if (n % 2 == 0) {
            std::shuffle(pm.begin(), pm.end(), g);
            for (int M : {0, 1, 2, 3}) check(pm, M, 2.0, "pm n=" + std::to_string(n));
        }
        for (int M : {0, 2, 3}) {
            const auto x = smallIntegers(g, n, 4);
            std::vector<double> z(x);
            normalize(z.data(), n);
            std::uniform_int_distribution<int> u(0, n - 1);
            for (int t = 0; t < 3; ++t) check(x, M, std::fabs(z[u(g)] - z[u(g)]), "bound n=" + std::to_string(n));
        }
    }
}

// Non-finite samples or overflowing spreads turn the z-scored series into NaN
// or signed zeros; r itself may be negative, zero, infinite or NaN.
TEST(SampleEntropyRunPass, NonFiniteSamplesAndRadii) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::mt19937_64 g(5);
    for (int n : {1, 2, 5, 17, 100}) {
        auto x = whiteNoise(g, n);
        for (double r : {-1.0, 0.0, 0.2, inf, nan}) check(x, 2, r, "plain r n=" + std::to_string(n));
        auto withNan = x;
        withNan[static_cast<size_t>(n / 2)] = nan;
        check(withNan, 2, 0.2, "nan n=" + std::to_string(n));
        auto withInf = x;
        withInf[0] = -inf;
        check(withInf, 3, 0.2, "inf n=" + std::to_string(n));
        auto huge = x;
        for (auto& v : huge) v = v > 0 ? 1e308 : -1e308;
        check(huge, 1, 0.5, "huge n=" + std::to_string(n));
        check(std::vector<double>(static_cast<size_t>(n), 3.0), 2, 0.2, "constant n=" + std::to_string(n));
    }
}

// Tables left longer by an earlier call keep their entries beyond n.
TEST(SampleEntropyRunPass, KeepsStaleEntriesOfLongerEarlierCall) {
    std::mt19937_64 g(9);
    check(smallIntegers(g, 500, 3), 2, 1.0, "long");
    check(whiteNoise(g, 37), 2, 0.2, "short after long");
    check(whiteNoise(g, 11), 0, 0.2, "shorter");
}

TEST(SampleEntropyRunPass, MatchesPairWalkAtFullLength) {
    std::mt19937_64 g(1);
    check(whiteNoise(g, ZEMBA_SERIES_CAP), 2, 0.2, "full length");
}

}  // namespace
