// memcof's vectorised stages against the plain loops, bit for bit: the
// coefficients, the residual power and the error buffers it leaves behind.
#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "reference/spectral.h"

namespace {

bool same(const double* a, const double* b, size_t count) { return std::memcmp(a, b, sizeof(double) * count) == 0; }

void expectSame(const std::vector<double>& x, int m, const std::string& what) {
    const zemba_reference::MemcofResult want = zemba_reference::memcofPlain(x, m);
    std::vector<double> d(static_cast<size_t>(m) + 1, -9.0);
    double xms = -1.0;
    memcof(x.data(), static_cast<long>(x.size()), m, xms, d.data());
    const size_t errs = x.size() - 1;
    EXPECT_TRUE(same(d.data(), want.d.data(), static_cast<size_t>(m))) << what;
    EXPECT_EQ(d[static_cast<size_t>(m)], -9.0) << what;
    EXPECT_TRUE(same(&xms, &want.xms, 1)) << what << ": " << xms << " vs " << want.xms;
    EXPECT_TRUE(same(wk1, want.f.data(), errs)) << what << " forward errors";
    EXPECT_TRUE(same(wk2, want.b.data(), errs)) << what << " backward errors";
    if (m > 1) {
        EXPECT_TRUE(same(wkm, want.prev.data(), static_cast<size_t>(m) - 1)) << what << " previous stage";
    }
}

std::vector<double> series(int n, uint64_t seed, int kind) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> z;
    std::vector<double> x(static_cast<size_t>(n));
    double walk = 0.0;
    for (int i = 0; i < n; ++i) {
        switch (kind) {
            case 0: x[i] = z(g); break;
            case 1: x[i] = walk += z(g); break;
            case 2: x[i] = std::round(20.0 * z(g)); break;
            case 3: x[i] = std::ldexp(z(g), static_cast<int>(g() % 80) - 40); break;  // wide dynamic range
            default: x[i] = std::sin(0.3 * i) + 0.5 * std::sin(1.7 * i) + 1e-3 * z(g); break;
        }
    }
    return x;
}

TEST(BurgFastPath, MatchesPlainStagesOnManySeries) {
    for (int kind = 0; kind < 5; ++kind)
        for (int n : {2, 3, 5, 8, 9, 17, 31, 64, 100, 257, 1000, 4097})
            for (int m : {1, 2, 3, 7, 16, 40}) {
                if (m >= n) continue;
                expectSame(series(n, 31 * n + kind, kind), m,
                           std::to_string(kind) + " n=" + std::to_string(n) + " m=" + std::to_string(m));
            }
}

TEST(BurgFastPath, FullLengthHighOrderAndNonFiniteSamples) {
    expectSame(series(ZEMBA_SERIES_CAP + 1, 5, 0), 16, "full length");
    expectSame(series(3000, 6, 1), ZEMBA_BURG_ORDER_CAP, "highest order");
    auto x = series(500, 7, 0);
    x[250] = std::numeric_limits<double>::quiet_NaN();
    expectSame(x, 8, "nan");
    x[250] = std::numeric_limits<double>::infinity();
    expectSame(x, 8, "inf");
    auto tiny = series(400, 8, 0);
    for (auto& v : tiny) v *= 1e-160;  // squares fall to subnormals and zero
    expectSame(tiny, 8, "tiny");
    auto huge = series(400, 9, 0);
    for (auto& v : huge) v *= 1e154;  // sums overflow
    expectSame(huge, 8, "huge");
}

}  // namespace
