// Sample and approximate entropy kernels against numpy golden values
// (golden.py), the shared all-pairs reference, hand-worked series, series of
// known counts at a million samples, the original sampen2's standard error,
// and their argument checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "core/regularity/golden_values.h"
#include "reference/regularity.h"
#include "support/series.h"
#include "zemba.h"
#include "zemba/core.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Sampen {
    double e = -7, se = -7;
    uint64_t A = 0, B = 0;
};

Sampen sampen(const std::vector<double>& x, size_t m, double r, bool withSe = false) {
    Sampen s;
    EXPECT_EQ(zemba_sample_entropy_ex(x.data(), x.size(), m, r, &s.e, withSe ? &s.se : nullptr, &s.A, &s.B), ZEMBA_OK);
    return s;
}

double apen(const std::vector<double>& x, size_t m, double r) {
    double e = -7;
    EXPECT_EQ(zemba_approximate_entropy(x.data(), x.size(), m, r, &e), ZEMBA_OK);
    return e;
}

TEST(CoreRegularity, MatchesNumpyGoldenValues) {
    const std::vector<double>* series[] = {&golden_reg::white, &golden_reg::ties, &golden_reg::walk};
    for (int k = 0; k < 3; ++k) {
        double r = -1;
        ASSERT_EQ(zemba_default_tolerance(series[k]->data(), series[k]->size(), &r), ZEMBA_OK);
        EXPECT_NEAR(r, golden_reg::defaultTolerance[k], 1e-15 * r);
    }
    for (const auto& c : golden_reg::cases) {
        const Sampen s = sampen(*c.x, c.order, c.r);
        EXPECT_EQ(s.A, c.A) << c.name << " m=" << c.order << " r=" << c.r;
        EXPECT_EQ(s.B, c.B) << c.name << " m=" << c.order << " r=" << c.r;
        EXPECT_NEAR(s.e, c.sampen, 1e-13) << c.name;
        EXPECT_NEAR(apen(*c.x, c.order, c.r), c.apen, 1e-12) << c.name << " m=" << c.order << " r=" << c.r;
    }
}

// Counts, entropies and standard errors against the all-pairs reference on
// noise, its running sum and heavily tied integers, r = 0 included.
TEST(CoreRegularity, MatchesAllPairsReference) {
    for (int kind = 0; kind < 3; ++kind)
        for (size_t n : {1, 2, 3, 7, 40, 333}) {
            const auto x = zemba_test::series(static_cast<int>(n), 17 * n + kind, kind, 1.5);
            const double sd = zemba_ref::populationSd(x);
            for (size_t m = 0; m < 6 && m < n; ++m)
                for (double r : {0.0, 0.2 * sd, 0.6 * sd, 1.0}) {
                    const auto want = zemba_ref::sampleEntropyCounts(x, m, r);
                    const Sampen s = sampen(x, m, r, true);
                    EXPECT_EQ(s.A, want.A) << kind << " n=" << n << " m=" << m << " r=" << r;
                    EXPECT_EQ(s.B, want.B) << kind << " n=" << n << " m=" << m << " r=" << r;
                    const double e = zemba_ref::sampleEntropy(x, m, r);
                    if (std::isnan(e)) EXPECT_TRUE(std::isnan(s.e));
                    else EXPECT_EQ(s.e, e);
                    const double se = zemba_ref::sampleEntropyStandardError(x, m, r);
                    if (std::isnan(se)) EXPECT_TRUE(std::isnan(s.se));
                    else EXPECT_NEAR(s.se, se, 1e-12 * se) << kind << " n=" << n << " m=" << m;
                    EXPECT_NEAR(apen(x, m, r), zemba_ref::approximateEntropy(x, m, r), 1e-12);
                }
        }
}

TEST(CoreRegularity, HandWorkedSeries) {
    // m = 1, r = 0: first samples 0 1 0 1 match as (0,2), (1,3); of the pairs
    // (0,1)(1,0)(0,1)(1,1) only (0,2) matches: -ln(1/2).
    const std::vector<double> x = {0, 1, 0, 1, 1};
    Sampen s = sampen(x, 1, 0.0);
    EXPECT_EQ(s.B, 2u);
    EXPECT_EQ(s.A, 1u);
    EXPECT_EQ(s.e, std::log(2.0));
    // Pincus: C = 2 3 2 3 3 of 5 at length 1, 2 1 2 1 of 4 at length 2.
    const double phi1 = (2 * std::log(2.0 / 5) + 3 * std::log(3.0 / 5)) / 5;
    const double phi2 = (2 * std::log(2.0 / 4) + 2 * std::log(1.0 / 4)) / 4;
    EXPECT_NEAR(apen(x, 1, 0.0), phi1 - phi2, 1e-15);
    // A = 0: B = 1 from (0,2), but (1,2) and (1,3) differ: +infinity.
    s = sampen({1, 2, 1, 3}, 1, 0.0);
    EXPECT_EQ(s.B, 1u);
    EXPECT_EQ(s.A, 0u);
    EXPECT_EQ(s.e, HUGE_VAL);
    // B = 0: no two first samples within 0.5: NaN.
    s = sampen({1, 2, 3, 4}, 1, 0.5);
    EXPECT_EQ(s.B, 0u);
    EXPECT_TRUE(std::isnan(s.e));
    // A difference of exactly r matches, at every length of series.
    for (size_t n : {6, 60, 6000}) {
        std::vector<double> y(n);
        for (size_t i = 0; i < n; ++i) y[i] = i % 2 ? 1.5 : 0.25;
        s = sampen(y, 2, 1.25);
        EXPECT_EQ(s.B, (n - 2) * (n - 3) / 2);
        EXPECT_EQ(s.e, 0.0);
        EXPECT_EQ(apen(y, 2, 1.25), 0.0);
        EXPECT_EQ(sampen(y, 2, std::nextafter(1.25, 0.0)).B, (n - 2) * (n - 4) / 4);
    }
    // Constant series: the default tolerance is 0 and every pair matches.
    const std::vector<double> flat(500, 3.25);
    double r = -1;
    ASSERT_EQ(zemba_default_tolerance(flat.data(), flat.size(), &r), ZEMBA_OK);
    EXPECT_EQ(r, 0.0);
    EXPECT_EQ(sampen(flat, 2, r).e, 0.0);
    EXPECT_EQ(apen(flat, 2, r), 0.0);
    // One sample: no pair, and phi_0 = phi_1 = 0.
    EXPECT_TRUE(std::isnan(sampen({5}, 0, 1.0).e));
    EXPECT_EQ(apen({5}, 0, 1.0), 0.0);
}

// A period of P values 4r apart with noise below r/4: templates match exactly
// when they start P apart, so every count has a closed form.
TEST(CoreRegularity, MillionSamplesOfKnownCounts) {
    const size_t n = 1000000, P = 4999, m = 2;
    const double r = 1.0;
    std::vector<size_t> level(P);
    for (size_t k = 0; k < P; ++k) level[k] = k;
    std::shuffle(level.begin(), level.end(), std::mt19937_64(3));
    std::mt19937_64 g(4);
    std::uniform_real_distribution<double> noise(-0.24, 0.24);
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i) x[i] = 4.0 * static_cast<double>(level[i % P]) + noise(g);
    auto pairsAmong = [P](size_t count) {  // pairs of starts 0 .. count-1 that are P apart
        uint64_t total = 0;
        for (size_t res = 0; res < P; ++res) {
            const uint64_t k = count / P + (res < count % P ? 1 : 0);
            total += k * (k - 1) / 2;
        }
        return total;
    };
    const Sampen s = sampen(x, m, r);
    EXPECT_EQ(s.B, pairsAmong(n - m));
    EXPECT_EQ(s.A, pairsAmong(n - m));
    EXPECT_EQ(s.e, 0.0);
    auto phi = [P](size_t N) {  // mean of ln(C / N), C the starts below N in one's class
        double sum = 0;
        for (size_t res = 0; res < P; ++res) {
            const double k = static_cast<double>(N / P + (res < N % P ? 1 : 0));
            sum += k * std::log(k / N);
        }
        return sum / N;
    };
    EXPECT_NEAR(apen(x, m, r), phi(n - m + 1) - phi(n - m), 1e-12);
}

// Medium length on white noise: every pair counted directly.
TEST(CoreRegularity, TwentyThousandSamplesAgainstAllPairs) {
    const auto x = zemba_test::series(20000, 8, 0, 1.0);
    const double r = 0.2 * zemba_ref::populationSd(x);
    const auto want = zemba_ref::sampleEntropyCounts(x, 2, r);
    const Sampen s = sampen(x, 2, r);
    EXPECT_EQ(s.A, want.A);
    EXPECT_EQ(s.B, want.B);
}

// sampen2 z-scores its copy and matches strictly below r; on such a copy, with
// no difference exactly r and first and last samples that match nothing (the
// routine reads run lengths beyond the series there), the errors agree.
TEST(CoreRegularity, StandardErrorIsThatOfSampen2) {
    for (int kind : {0, 1}) {
        auto x = zemba_test::series(800, 21 + kind, kind, 1.0);
        const auto span = std::minmax_element(x.begin() + 1, x.end() - 1);
        const double lo = *span.first, hi = *span.second;
        x.front() = hi + (hi - lo);
        x.back() = lo - (hi - lo);
        const int M = 3;
        std::vector<double> out(2 * (M + 1)), z(x);
        int MM = M, n = static_cast<int>(x.size());
        const double r = 0.25 * zemba_ref::populationSd(std::vector<double>(x.begin() + 1, x.end() - 1)) /
                         zemba_ref::populationSd(x);
        sampen2(z.data(), &MM, &r, &n, out.data());  // leaves z-scores in z
        for (size_t m = 0; m <= M; ++m) {
            const Sampen s = sampen(z, m, r, true);
            EXPECT_NEAR(s.se, out[M + 1 + m], 1e-10 * out[M + 1 + m]) << kind << " m=" << m;
            EXPECT_EQ(s.e, out[m]) << kind << " m=" << m;
        }
    }
}

TEST(CoreRegularity, ArgumentsAreCheckedBeforeAnythingIsWritten) {
    std::vector<double> x = {1, 3, 2, 5, 4, 6};
    double e = 42, se = 42;
    uint64_t a = 42, b = 42;
    EXPECT_EQ(zemba_sample_entropy(nullptr, 6, 2, 0.5, &e), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_sample_entropy(x.data(), 6, 2, 0.5, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_approximate_entropy(x.data(), 6, 2, 0.5, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_approximate_entropy(nullptr, 6, 2, 0.5, &e), ZEMBA_E_NULL);
    for (double bad : {-0.1, kNaN, HUGE_VAL}) {
        EXPECT_EQ(zemba_sample_entropy_ex(x.data(), 6, 2, bad, &e, &se, &a, &b), ZEMBA_E_ARGUMENT);
        EXPECT_EQ(zemba_approximate_entropy(x.data(), 6, 2, bad, &e), ZEMBA_E_ARGUMENT);
    }
    for (size_t n : {0, 2}) {
        EXPECT_EQ(zemba_sample_entropy_ex(n ? x.data() : nullptr, n, 2, 0.5, &e, &se, &a, &b), ZEMBA_E_TOO_SHORT);
        EXPECT_EQ(zemba_approximate_entropy(x.data(), n, 2, 0.5, &e), ZEMBA_E_TOO_SHORT);
    }
    for (size_t at : {0, 5})
        for (double bad : {kNaN, -HUGE_VAL}) {
            std::vector<double> y(x);
            y[at] = bad;
            EXPECT_EQ(zemba_sample_entropy_ex(y.data(), 6, 2, 0.5, &e, &se, &a, &b), ZEMBA_E_NONFINITE);
            EXPECT_EQ(zemba_approximate_entropy(y.data(), 6, 2, 0.5, &e), ZEMBA_E_NONFINITE);
            EXPECT_EQ(zemba_default_tolerance(y.data(), 6, &e), ZEMBA_E_NONFINITE);
        }
    EXPECT_EQ(e, 42);
    EXPECT_EQ(se, 42);
    EXPECT_EQ(a, 42u);
    EXPECT_EQ(b, 42u);
    EXPECT_EQ(zemba_sample_entropy_ex(x.data(), 6, 2, 0.5, nullptr, nullptr, nullptr, &b), ZEMBA_OK);
    EXPECT_EQ(b, zemba_ref::sampleEntropyCounts(x, 2, 0.5).B);

    EXPECT_EQ(zemba_default_tolerance(nullptr, 3, &e), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_default_tolerance(x.data(), 3, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_default_tolerance(x.data(), 0, &e), ZEMBA_E_TOO_SHORT);
    // Samples near the largest double: the deviations are scaled, not overflowed.
    const std::vector<double> huge = {1.5e308, -1.5e308, 1.5e308, -1.5e308};
    ASSERT_EQ(zemba_default_tolerance(huge.data(), 4, &e), ZEMBA_OK);
    EXPECT_NEAR(e, 0.2 * 1.5e308, 1e-15 * e);
}

TEST(CoreRegularity, ConcurrentCallsGiveTheSameResults) {
    const auto x = zemba_test::series(30000, 6, 0, 1.0);
    const Sampen want = sampen(x, 2, 0.2, true);
    const double wantAp = apen(x, 2, 0.2);
    Sampen got[2];
    double gotAp[2];
    auto work = [&](int t) {
        for (int k = 0; k < 3; ++k) {
            zemba_sample_entropy_ex(x.data(), x.size(), 2, 0.2, &got[t].e, &got[t].se, &got[t].A, &got[t].B);
            zemba_approximate_entropy(x.data(), x.size(), 2, 0.2, &gotAp[t]);
        }
    };
    std::thread a(work, 0), b(work, 1);
    a.join();
    b.join();
    for (int t = 0; t < 2; ++t) {
        EXPECT_EQ(got[t].A, want.A);
        EXPECT_EQ(got[t].B, want.B);
        EXPECT_EQ(got[t].se, want.se);
        EXPECT_EQ(gotAp[t], wantAp);
    }
}

}  // namespace
