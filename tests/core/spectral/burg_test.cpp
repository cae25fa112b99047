// zemba_burg against statsmodels' burg (golden.txt), a Burg recursion in
// extended precision where statsmodels strays, and hand-worked series.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/spectral/golden.h"
#include "reference/spectral.h"
#include "support/series.h"
#include "zemba/core.h"

namespace {

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

// Largest |a - b| over the largest |b| (at least 1, the coefficients' scale).
template <class T>
double error(const std::vector<double>& a, const std::vector<T>& b) {
    long double err = 0, size = 1;
    for (size_t i = 0; i < a.size(); ++i) {
        err = std::max(err, std::fabs(static_cast<long double>(a[i]) - static_cast<long double>(b[i])));
        size = std::max(size, std::fabs(static_cast<long double>(b[i])));
    }
    return static_cast<double>(err / size);
}

template <class T>
double error(double a, T b) {
    const long double d = std::fabs(static_cast<long double>(a) - static_cast<long double>(b));
    return static_cast<double>(b == 0 ? d : d / std::fabs(static_cast<long double>(b)));
}

// The kernel against the recursion in type T: coefficients and reflection
// coefficients to tol, the variance to varTol (tol when 0).
template <class T>
void expectNear(const std::vector<double>& x, size_t order, bool demean, double tol, const std::string& what,
                double varTol = 0) {
    const Fit f = fit(x, order, demean);
    ASSERT_EQ(f.status, ZEMBA_OK) << what;
    const auto r = zemba_reference::burgWide<T>(x, order, demean);
    EXPECT_LE(error(f.coefs, r.coefs), tol) << what;
    EXPECT_LE(error(f.reflection, r.reflection), tol) << what;
    EXPECT_LE(error(f.variance, r.variance), varTol > 0 ? varTol : tol) << what;
}

}  // namespace

TEST(CoreBurg, AgreesWithStatsmodels) {
    const auto cases = zemba_test::goldenCases();
    ASSERT_GE(cases.size(), 10u);
    for (const auto& c : cases) {
        if (c.model) continue;
        const Fit f = fit(c.x, c.order, c.demean);
        ASSERT_EQ(f.status, ZEMBA_OK) << c.name;
        if (c.stray) {
            // statsmodels' recursion of the error energies loses digits here:
            // the quad-precision recursion judges, and shows the difference.
            const auto q = zemba_reference::burgWide<__float128>(c.x, c.order, c.demean);
            const double ours = std::max(error(f.coefs, q.coefs), error(f.variance, q.variance));
            EXPECT_LE(ours, 1e-10) << c.name;
            EXPECT_GT(std::max(error(c.coefs, q.coefs), error(c.variance, q.variance)), 10 * ours) << c.name;
            continue;
        }
        for (size_t k = 0; k < c.order; ++k) {
            EXPECT_NEAR(f.coefs[k], c.coefs[k], 1e-10 * std::fabs(c.coefs[k])) << c.name << " a" << k;
            EXPECT_NEAR(f.reflection[k], c.reflection[k], 1e-10 * std::fabs(c.reflection[k])) << c.name << " r" << k;
        }
        EXPECT_NEAR(f.variance, c.variance, 1e-10 * c.variance) << c.name;
    }
}

TEST(CoreBurg, HandWorkedAndDegenerateSeries) {
    // Pairs (2,1), (3,2), (4,3): k = 2 * 20 / 43, and the last stage's error
    // energy (1 - k^2) 43 over 2 * 3 terms is 249 / 258.
    const Fit a = fit({1, 2, 3, 4}, 1, false);
    EXPECT_NEAR(a.coefs[0], 40.0 / 43.0, 1e-15);
    EXPECT_NEAR(a.variance, 249.0 / 258.0, 1e-15);
    const Fit b = fit({1, 3}, 1);  // demeaned to (-1, 1): k = -1 predicts them
    EXPECT_EQ(b.coefs[0], -1.0);
    EXPECT_EQ(b.variance, 0.0);
    // Order 0: the mean square of the (demeaned) series.
    EXPECT_NEAR(fit({1, 2, 3, 6}, 0).variance, 3.5, 1e-15);
    EXPECT_NEAR(fit({1, 2, 3, 6}, 0, false).variance, 12.5, 1e-15);
    EXPECT_EQ(fit({5.0}, 0).variance, 0.0);
    // Constant series: all zero with demean; x[t] = x[t - 1] without.
    for (double level : {0.0, 0.1, -7.25e5, 1e-300}) {
        const Fit f = fit(std::vector<double>(50, level), 4), g = fit(std::vector<double>(50, level), 4, false);
        EXPECT_EQ(f.coefs, std::vector<double>(4, 0.0)) << level;
        EXPECT_EQ(f.reflection, std::vector<double>(4, 0.0)) << level;
        EXPECT_EQ(f.variance, 0.0) << level;
        EXPECT_EQ(g.coefs, (std::vector<double>{level == 0.0 ? 0.0 : 1.0, 0, 0, 0})) << level;
        EXPECT_EQ(g.variance, 0.0) << level;
    }
    std::vector<double> alt(64);
    for (size_t i = 0; i < alt.size(); ++i) alt[i] = i % 2 ? -2.5 : 2.5;
    const Fit f = fit(alt, 3);
    EXPECT_EQ(f.coefs, (std::vector<double>{-1, 0, 0}));
    EXPECT_EQ(f.variance, 0.0);
}

TEST(CoreBurg, MatchesExtendedPrecisionAtEveryOrderLengthAndScale) {
    // Every order below short lengths (each vector tail); the last stages of
    // a high order sum few pairs, which costs digits.
    for (size_t n : {2u, 3u, 5u, 16u, 17u, 18u, 33u, 47u, 100u})
        for (size_t order = 1; order < n; order += (order < 20 ? 1 : 7))
            expectNear<__float128>(zemba_test::series(static_cast<int>(n), 90 + n, 0, 1.0), order, true,
                                   order + 4 > n ? 1e-9 : 1e-12, "n=" + std::to_string(n) + " p=" + std::to_string(order));
    // Ill-conditioned: two tones under faint noise, and a random walk.
    std::vector<double> tones = zemba_test::series(3000, 5, 0, 1.0);
    for (size_t i = 0; i < tones.size(); ++i) tones[i] = 1e-7 * tones[i] + std::sin(0.3 * i) + 0.5 * std::sin(1.1 * i);
    const std::vector<double> walk = zemba_test::series(5000, 4, 1, 1.0);
    for (size_t order : {2u, 8u, 16u}) {
        expectNear<__float128>(tones, order, true, 1e-10, "tones p=" + std::to_string(order));
        expectNear<__float128>(walk, order, false, 1e-12, "walk p=" + std::to_string(order));
    }
    // Long series: blocked lane sums keep the variance within a few units of
    // rounding (sums in index order stray to about 2e-14 at 10^6 samples).
    for (int n : {4095, 65537, 1000000}) {
        auto x = zemba_test::series(n, 7, 0, 1.0);
        for (double& v : x) v += 3.0;
        expectNear<long double>(x, 16, true, 1e-14, "n=" + std::to_string(n), 1e-15);
    }
    // Powers of two scale exactly, to the ends of the exponent range.
    const auto x = zemba_test::series(300, 8, 0, 1.0);
    const Fit base = fit(x, 6);
    for (int e : {-1000, -600, 600, 1000}) {
        std::vector<double> y(x);
        for (double& v : y) v = std::ldexp(v, e);
        const Fit f = fit(y, 6);
        EXPECT_EQ(f.coefs, base.coefs) << e;
        if (e > -500) {
            EXPECT_EQ(f.variance, std::ldexp(base.variance, 2 * e)) << e;
        }
    }
    std::vector<double> big(x);  // sums of squares beyond the double range
    for (double& v : big) v *= 1e153;
    expectNear<long double>(big, 6, true, 1e-13, "1e153");
}

TEST(CoreBurg, Statuses) {
    const std::vector<double> x = zemba_test::series(10, 1, 0, 1.0);
    double c[10], v = 0;
    EXPECT_EQ(zemba_burg(x.data(), 0, 0, 1, c, &v, nullptr), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_burg(x.data(), 10, 10, 1, c, &v, nullptr), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_burg(nullptr, 10, 2, 1, c, &v, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_burg(x.data(), 10, 2, 1, nullptr, &v, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_burg(x.data(), 10, 2, 1, c, nullptr, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_burg(x.data(), 10, 0, 1, nullptr, &v, nullptr), ZEMBA_OK);
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL})
        for (size_t at : {0u, 5u, 9u}) {
            std::vector<double> y(x);
            y[at] = bad;
            double cc[3] = {4, 4, 4}, vv = 4;
            EXPECT_EQ(zemba_burg(y.data(), 10, 3, 1, cc, &vv, cc), ZEMBA_E_NONFINITE);
            EXPECT_EQ(cc[0] + vv, 8.0);
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
    std::vector<int> same(4, 1);
    std::vector<std::thread> pool;
    for (int t = 0; t < 4; ++t)
        pool.emplace_back([&, t] {
            for (int r = 0; r < 20; ++r) {
                const Fit f = t % 2 ? fit(x, 16) : fit(y, 24);
                same[t] &= f.coefs == (t % 2 ? fx : fy).coefs && f.variance == (t % 2 ? fx : fy).variance;
            }
        });
    for (auto& th : pool) th.join();
    EXPECT_EQ(same, std::vector<int>(4, 1));
}
