// zemba_burg against statsmodels' burg (golden.txt), a Burg recursion in
// extended precision where statsmodels strays, and hand-worked series;
// argument handling and the degenerate series.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/spectral/golden.h"
#include "reference/spectral.h"
#include "support/series.h"
#include "zemba/core.h"

namespace {

using zemba_reference::BurgWide;
using zemba_reference::burgWide;

struct Fit {
    int status = -1;
    std::vector<double> coefs, reflection;
    double variance = -1.0;
};

Fit fit(const std::vector<double>& x, size_t order, bool demean = true) {
    Fit f;
    f.coefs.assign(order, -7.0);
    f.reflection.assign(order, -7.0);
    f.status = zemba_burg(x.data(), x.size(), order, demean, f.coefs.data(), &f.variance, f.reflection.data());
    return f;
}

// Largest |a[i] - b[i]| relative to the largest |b[i]| (coefficients: to 1 at
// least, their natural scale).
template <class T>
double relativeError(const std::vector<double>& a, const std::vector<T>& b) {
    long double err = 0, size = 1;
    for (size_t i = 0; i < a.size(); ++i) {
        err = std::max(err, std::fabs(static_cast<long double>(a[i]) - static_cast<long double>(b[i])));
        size = std::max(size, std::fabs(static_cast<long double>(b[i])));
    }
    return static_cast<double>(err / size);
}

template <class T>
double relativeError(double a, T b) {
    const long double d = std::fabs(static_cast<long double>(a) - static_cast<long double>(b));
    return static_cast<double>(b == 0 ? d : d / std::fabs(static_cast<long double>(b)));
}

// The kernel against a reference in type T, to tol relative (the variance to
// varTol when given).
template <class T>
void expectNear(const std::vector<double>& x, size_t order, bool demean, double tol, const std::string& what,
                double varTol = 0) {
    const Fit f = fit(x, order, demean);
    ASSERT_EQ(f.status, ZEMBA_OK) << what;
    const BurgWide<T> r = burgWide<T>(x, order, demean);
    EXPECT_LE(relativeError(f.coefs, r.coefs), tol) << what;
    EXPECT_LE(relativeError(f.reflection, r.reflection), tol) << what;
    EXPECT_LE(relativeError(f.variance, r.variance), varTol > 0 ? varTol : tol) << what;
}

}  // namespace

TEST(CoreBurg, AgreesWithStatsmodels) {
    const auto cases = zemba_test::goldenCases();
    ASSERT_GE(cases.size(), 10u);
    for (const auto& c : cases) {
        if (c.model || c.stray) continue;
        const Fit f = fit(c.x, c.order, c.demean);
        ASSERT_EQ(f.status, ZEMBA_OK) << c.name;
        for (size_t k = 0; k < c.order; ++k) {
            EXPECT_NEAR(f.coefs[k], c.coefs[k], 1e-10 * std::fabs(c.coefs[k])) << c.name << " a" << k;
            EXPECT_NEAR(f.reflection[k], c.reflection[k], 1e-10 * std::fabs(c.reflection[k])) << c.name << " r" << k;
        }
        EXPECT_NEAR(f.variance, c.variance, 1e-10 * c.variance) << c.name;
    }
}

TEST(CoreBurg, WhereStatsmodelsStraysAgreesWithQuadPrecision) {
    for (const auto& c : zemba_test::goldenCases()) {
        if (!c.stray) continue;
        const Fit f = fit(c.x, c.order, c.demean);
        ASSERT_EQ(f.status, ZEMBA_OK) << c.name;
        const BurgWide<__float128> q = burgWide<__float128>(c.x, c.order, c.demean);
        const double ours = std::max(relativeError(f.coefs, q.coefs), relativeError(f.variance, q.variance));
        const double theirs = std::max(relativeError(c.coefs, q.coefs), relativeError(c.variance, q.variance));
        EXPECT_LE(ours, 1e-10) << c.name;
        EXPECT_GT(theirs, 10 * ours) << c.name << ": statsmodels no longer strays here";
    }
}

TEST(CoreBurg, HandWorkedSeries) {
    // Pairs (2,1), (3,2), (4,3): k = 2 * 20 / 43; the last stage's energy is
    // (1 - k^2) 43 over 2 * 3 pairs: 249 / 258.
    const Fit a = fit({1, 2, 3, 4}, 1, false);
    ASSERT_EQ(a.status, ZEMBA_OK);
    EXPECT_NEAR(a.coefs[0], 40.0 / 43.0, 1e-15);
    EXPECT_NEAR(a.variance, 249.0 / 258.0, 1e-15);
    // Two samples, demeaned to (-1, 1): k = -1 predicts them exactly.
    const Fit b = fit({1, 3}, 1);
    EXPECT_EQ(b.coefs[0], -1.0);
    EXPECT_EQ(b.variance, 0.0);
    // Order 0: the mean square of the (demeaned) series.
    const Fit c = fit({1, 2, 3, 6}, 0);
    EXPECT_EQ(c.status, ZEMBA_OK);
    EXPECT_NEAR(c.variance, 3.5, 1e-15);  // deviations -2, -1, 0, 3
    EXPECT_NEAR(fit({1, 2, 3, 6}, 0, false).variance, 12.5, 1e-15);
    EXPECT_EQ(fit({5.0}, 0).variance, 0.0);
    EXPECT_EQ(fit({-3.0}, 0, false).variance, 9.0);
}

TEST(CoreBurg, ConstantAndPerfectlyPredictedSeries) {
    for (double level : {0.0, 0.1, -7.25e5, 1e-300}) {
        const std::vector<double> x(50, level);
        const Fit f = fit(x, 4);
        ASSERT_EQ(f.status, ZEMBA_OK);
        for (size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(f.coefs[k], 0.0) << level;
            EXPECT_EQ(f.reflection[k], 0.0) << level;
        }
        EXPECT_EQ(f.variance, 0.0) << level;
        if (level == 0.0) continue;
        const Fit g = fit(x, 4, false);  // x[t] = x[t - 1]
        EXPECT_EQ(g.coefs[0], 1.0) << level;
        for (size_t k = 1; k < 4; ++k) EXPECT_EQ(g.coefs[k], 0.0) << level;
        EXPECT_EQ(g.variance, 0.0) << level;
    }
    // An alternating series is predicted by a[0] = -1 after the first stage.
    std::vector<double> alt(64);
    for (size_t i = 0; i < alt.size(); ++i) alt[i] = i % 2 ? -2.5 : 2.5;
    const Fit f = fit(alt, 3);
    EXPECT_EQ(f.coefs[0], -1.0);
    EXPECT_EQ(f.coefs[1], 0.0);
    EXPECT_EQ(f.coefs[2], 0.0);
    EXPECT_EQ(f.variance, 0.0);
}

TEST(CoreBurg, EveryOrderBelowLengthMatchesExtendedPrecision) {
    // Short series up to the highest order, and each vector tail length.
    for (size_t n : {2u, 3u, 5u, 16u, 17u, 18u, 33u, 47u, 100u})
        for (size_t order = 1; order < n; order += (order < 20 ? 1 : 7)) {
            const auto x = zemba_test::series(static_cast<int>(n), 90 + n, 0, 1.0);
            // The last stages of a high order sum few pairs: cond grows.
            expectNear<__float128>(x, order, true, order + 4 > n ? 1e-9 : 1e-12,
                                   "n=" + std::to_string(n) + " order=" + std::to_string(order));
        }
}

TEST(CoreBurg, IllConditionedSeriesMatchQuadPrecision) {
    std::vector<double> tones(3000), walk = zemba_test::series(5000, 4, 1, 1.0);
    const auto noise = zemba_test::series(3000, 5, 0, 1.0);
    for (size_t i = 0; i < tones.size(); ++i) tones[i] = std::sin(0.3 * i) + 0.5 * std::sin(1.1 * i) + 1e-7 * noise[i];
    for (size_t order : {2u, 8u, 16u}) {
        expectNear<__float128>(tones, order, true, 1e-10, "tones order " + std::to_string(order));
        expectNear<__float128>(walk, order, false, 1e-12, "walk order " + std::to_string(order));
    }
}

TEST(CoreBurg, LongSeriesAccuracyAgainstLongDouble) {
    // Blocked lane sums keep the variance within a few units of rounding at
    // any length (sums in index order stray to about 2e-14 at 10^6 samples).
    for (int n : {4095, 65537, 1000000}) {
        auto x = zemba_test::series(n, 7, 0, 1.0);
        for (double& v : x) v += 3.0;  // an offset for the mean to remove
        expectNear<long double>(x, 16, true, 1e-14, "n=" + std::to_string(n), 1e-15);
    }
}

TEST(CoreBurg, ScaleIsExactOverTheWholeRange) {
    const auto x = zemba_test::series(300, 8, 0, 1.0);
    const Fit base = fit(x, 6);
    for (int e : {-1000, -600, 600, 1000}) {
        std::vector<double> y(x);
        for (double& v : y) v = std::ldexp(v, e);
        const Fit f = fit(y, 6);
        ASSERT_EQ(f.status, ZEMBA_OK) << e;
        EXPECT_EQ(std::memcmp(f.coefs.data(), base.coefs.data(), 6 * sizeof(double)), 0) << e;
        if (e > -500) {
            EXPECT_EQ(f.variance, std::ldexp(base.variance, 2 * e)) << e;
        }
    }
    // Samples whose sums of squares overflow a double.
    std::vector<double> big(x);
    for (double& v : big) v *= 1e153;
    expectNear<long double>(big, 6, true, 1e-13, "1e153");
}

TEST(CoreBurg, Statuses) {
    const std::vector<double> x = zemba_test::series(10, 1, 0, 1.0);
    double c[10], v = 0;
    EXPECT_EQ(zemba_burg(x.data(), 0, 0, 1, c, &v, nullptr), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_burg(x.data(), 10, 10, 1, c, &v, nullptr), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_burg(x.data(), 10, SIZE_MAX, 1, c, &v, nullptr), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_burg(nullptr, 10, 2, 1, c, &v, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_burg(x.data(), 10, 2, 1, nullptr, &v, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_burg(x.data(), 10, 2, 1, c, nullptr, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_burg(x.data(), 10, 0, 1, nullptr, &v, nullptr), ZEMBA_OK);
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -HUGE_VAL})
        for (size_t at : {0u, 5u, 9u}) {
            std::vector<double> y(x);
            y[at] = bad;
            double cc[3] = {4, 4, 4}, vv = 4;
            EXPECT_EQ(zemba_burg(y.data(), 10, 3, 1, cc, &vv, nullptr), ZEMBA_E_NONFINITE);
            EXPECT_EQ(cc[0], 4.0);
            EXPECT_EQ(vv, 4.0);
        }
    size_t order = 99;
    const size_t lengths[][2] = {{0, 0}, {1, 1}, {2, 1}, {12, 3}, {42, 6}, {256, 16}, {11342, 106}, {11343, 107}};
    for (const auto& nm : lengths) {
        EXPECT_EQ(zemba_burg_default_order(nm[0], &order), ZEMBA_OK);
        EXPECT_EQ(order, nm[1]) << nm[0];
    }
    EXPECT_EQ(zemba_burg_default_order(5, nullptr), ZEMBA_E_NULL);
}

TEST(CoreBurg, ThreadsShareNothing) {
    const auto x = zemba_test::series(20000, 9, 1, 1.0), y = zemba_test::series(30000, 10, 0, 1.0);
    const Fit fx = fit(x, 16), fy = fit(y, 24);
    std::vector<std::thread> pool;
    std::vector<int> same(4, 1);
    for (int t = 0; t < 4; ++t)
        pool.emplace_back([&, t] {
            for (int r = 0; r < 20; ++r) {
                const Fit f = t % 2 ? fit(x, 16) : fit(y, 24);
                const Fit& want = t % 2 ? fx : fy;
                same[t] &= f.coefs == want.coefs && f.variance == want.variance;
            }
        });
    for (auto& th : pool) th.join();
    for (int t = 0; t < 4; ++t) EXPECT_TRUE(same[t]) << t;
}
