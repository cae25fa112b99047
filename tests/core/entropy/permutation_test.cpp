// Permutation entropy kernels against numpy golden values (golden.py), the
// shared naive reference, hand-worked series and their argument checks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "core/entropy/golden_values.h"
#include "reference/entropy.h"
#include "support/series.h"
#include "zemba/core.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

double pe(const std::vector<double>& x, size_t order, size_t delay = 1, unsigned flags = 0) {
    double h = -7.0;
    EXPECT_EQ(zemba_perm_entropy(x.data(), x.size(), order, delay, flags, &h), ZEMBA_OK) << order << " " << delay;
    return h;
}

void expectSame(double got, double want, const char* what) {
    if (std::isnan(want)) EXPECT_TRUE(std::isnan(got)) << what;
    else EXPECT_NEAR(got, want, 1e-12 * std::fmax(1.0, std::fabs(want))) << what;
}

TEST(CorePermutationEntropy, MatchesNumpyGoldenValues) {
    for (const auto& c : golden_pe::cases) {
        const unsigned flags = (c.normalize ? ZEMBA_PE_NORMALIZE : 0) | (c.weighted ? ZEMBA_PE_WEIGHTED : 0);
        double h = -1;
        if (c.scale == 1) {
            ASSERT_EQ(zemba_perm_entropy(c.x->data(), c.x->size(), c.order, c.delay, flags, &h), ZEMBA_OK);
        } else {
            ASSERT_EQ(zemba_multiscale_perm_entropy(c.x->data(), c.x->size(), &c.scale, 1, c.order, c.delay, flags, &h),
                      ZEMBA_OK);
        }
        EXPECT_NEAR(h, c.bits, 1e-12) << c.name << " order " << c.order << " delay " << c.delay << " scale "
                                      << c.scale << " flags " << flags;
    }
}

// Every code path (table up to 8, 64-bit codes to 20, rank vectors beyond) on
// noise, its running sum and tied integers.
TEST(CorePermutationEntropy, MatchesNaiveReferenceOnEveryPathAndFlag) {
    for (int kind = 0; kind < 3; ++kind)
        for (size_t order : {2, 3, 4, 5, 6, 7, 8, 9, 12, 20, 21, 30})
            for (size_t delay : {1, 2, 5}) {
                const auto x = zemba_test::series(order > 8 ? 900 : 2500, 100 * kind + order + delay, kind, 1.5);
                for (unsigned flags = 0; flags < 4; ++flags)
                    expectSame(pe(x, order, delay, flags),
                               zemba_ref::permutationEntropy(x, order, delay, flags & 1, flags & 2), "reference");
            }
}

TEST(CorePermutationEntropy, HandWorkedSeriesTiesAndWeights) {
    // Windows 012, 012, 201, 102, 201.
    EXPECT_NEAR(pe({4, 7, 9, 10, 6, 11, 3}, 3), -(0.8 * std::log2(0.4) + 0.2 * std::log2(0.2)), 1e-15);
    // Equal values rank by time: (1,1,0) is 2,0,1 and (1,0,0) is 1,2,0, two
    // patterns; ranking the later one lower would make them one.
    EXPECT_EQ(pe({1, 1, 0, 0}, 3), 1.0);
    EXPECT_EQ(pe(std::vector<double>(50, 2.5), 4), 0.0);
    EXPECT_EQ(pe({1, 2, 3, 4, 5, 6}, 3, 1, ZEMBA_PE_NORMALIZE), 0.0);
    // Alternating series: two patterns of order 2, normalised by log2(2!) = 1.
    EXPECT_EQ(pe({0, 1, 0, 1, 0}, 2, 1, ZEMBA_PE_NORMALIZE), 1.0);
    // Weights: windows (0,1), (1,0), (0,3) weigh 0.25, 0.25, 2.25.
    const double p = 2.5 / 2.75, q = 0.25 / 2.75;
    EXPECT_NEAR(pe({0, 1, 0, 3}, 2, 1, ZEMBA_PE_WEIGHTED), -(p * std::log2(p) + q * std::log2(q)), 1e-15);
    EXPECT_TRUE(std::isnan(pe(std::vector<double>(9, 1.0), 3, 1, ZEMBA_PE_WEIGHTED)));
    // Exactly one window.
    EXPECT_EQ(pe({3, 1, 2}, 3), 0.0);
    EXPECT_EQ(pe({3, 1, 2, 0}, 2, 3), 0.0);
}

TEST(CorePermutationEntropy, MultiscaleIsTheEntropyOfBlockMeans) {
    const auto x = zemba_test::series(1001, 9, 1, 1.0);
    const size_t scales[] = {1, 2, 3, 7, 2};
    for (unsigned flags = 0; flags < 4; ++flags) {
        double out[5];
        ASSERT_EQ(zemba_multiscale_perm_entropy(x.data(), x.size(), scales, 5, 4, 2, flags, out), ZEMBA_OK);
        for (int k = 0; k < 5; ++k) {
            const auto y = zemba_ref::coarseGrained(x, scales[k]);
            expectSame(out[k], zemba_ref::permutationEntropy(y, 4, 2, flags & 1, flags & 2), "multiscale");
        }
    }
}

// A million samples against the reference, and exact invariants: scaling by
// a power of two keeps every comparison; negation reverses every pattern.
TEST(CorePermutationEntropy, MillionSamples) {
    for (int kind : {0, 2}) {
        const auto x = zemba_test::series(1000000, 77 + kind, kind, 3.0);
        expectSame(pe(x, 3), zemba_ref::permutationEntropy(x, 3, 1), "1e6");
        expectSame(pe(x, 4, 3, ZEMBA_PE_WEIGHTED), zemba_ref::permutationEntropy(x, 4, 3, false, true), "1e6 weighted");
        std::vector<double> y(x);
        for (double& v : y) v *= 0x1p-40;
        EXPECT_EQ(pe(y, 6), pe(x, 6));
        if (kind == 0) {
            for (double& v : y) v = -v;
            expectSame(pe(y, 5), pe(x, 5), "negated");
        }
    }
}

TEST(CorePermutationEntropy, ArgumentsAreCheckedBeforeAnythingIsWritten) {
    std::vector<double> x = {1, 3, 2, 5, 4, 6};
    double h = 42;
    EXPECT_EQ(zemba_perm_entropy(nullptr, 6, 3, 1, 0, &h), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_perm_entropy(x.data(), 6, 3, 1, 0, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_perm_entropy(x.data(), 6, 1, 1, 0, &h), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(zemba_perm_entropy(x.data(), 6, 3, 0, 0, &h), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(zemba_perm_entropy(x.data(), 6, 3, 1, 4, &h), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(zemba_perm_entropy(x.data(), 6, 3, SIZE_MAX / 2 + 1, 0, &h), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(zemba_perm_entropy(nullptr, 0, 3, 1, 0, &h), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_perm_entropy(x.data(), 4, 3, 2, 0, &h), ZEMBA_E_TOO_SHORT);  // needs 5
    EXPECT_EQ(zemba_perm_entropy(x.data(), 6, 3, SIZE_MAX / 4, 0, &h), ZEMBA_E_TOO_SHORT);
    for (size_t at : {0, 3, 5})
        for (double bad : {kNaN, HUGE_VAL, -HUGE_VAL}) {
            std::vector<double> y(x);
            y[at] = bad;
            EXPECT_EQ(zemba_perm_entropy(y.data(), 6, 3, 1, 0, &h), ZEMBA_E_NONFINITE);
        }
    EXPECT_EQ(h, 42);
    EXPECT_EQ(zemba_perm_entropy(x.data(), 5, 3, 2, 0, &h), ZEMBA_OK);

    double out[2] = {42, 42};
    const size_t good[] = {1, 2}, zero[] = {1, 0}, tooBig[] = {1, 3};
    EXPECT_EQ(zemba_multiscale_perm_entropy(x.data(), 6, nullptr, 2, 2, 1, 0, out), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_multiscale_perm_entropy(x.data(), 6, good, 2, 2, 1, 0, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_multiscale_perm_entropy(x.data(), 6, zero, 2, 2, 1, 0, out), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(zemba_multiscale_perm_entropy(x.data(), 6, tooBig, 2, 3, 1, 0, out), ZEMBA_E_TOO_SHORT);
    x[1] = kNaN;
    EXPECT_EQ(zemba_multiscale_perm_entropy(x.data(), 6, good, 2, 2, 1, 0, out), ZEMBA_E_NONFINITE);
    EXPECT_EQ(out[0], 42);
    EXPECT_EQ(out[1], 42);
    EXPECT_EQ(zemba_multiscale_perm_entropy(x.data(), 6, good, 0, 2, 1, 0, nullptr), ZEMBA_E_NONFINITE);
    EXPECT_EQ(zemba_multiscale_perm_entropy(nullptr, 0, nullptr, 0, 2, 1, 0, nullptr), ZEMBA_OK);
}

TEST(CorePermutationEntropy, ConcurrentCallsGiveTheSameResults) {
    const auto x = zemba_test::series(200000, 5, 0, 1.0);
    const double want3 = pe(x, 3), want7 = pe(x, 7, 2, ZEMBA_PE_WEIGHTED);
    double got[2][2];
    std::thread a([&] {
        for (int k = 0; k < 20; ++k) zemba_perm_entropy(x.data(), x.size(), 3, 1, 0, &got[0][0]);
        zemba_perm_entropy(x.data(), x.size(), 7, 2, ZEMBA_PE_WEIGHTED, &got[0][1]);
    });
    std::thread b([&] {
        zemba_perm_entropy(x.data(), x.size(), 7, 2, ZEMBA_PE_WEIGHTED, &got[1][1]);
        for (int k = 0; k < 20; ++k) zemba_perm_entropy(x.data(), x.size(), 3, 1, 0, &got[1][0]);
    });
    a.join();
    b.join();
    for (auto& g : got) {
        EXPECT_EQ(g[0], want3);
        EXPECT_EQ(g[1], want7);
    }
}

}  // namespace
