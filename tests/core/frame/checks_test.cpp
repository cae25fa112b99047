// The magnitudes that bound the graphs' exact arithmetic, the least and
// greatest values, and the order keys of whole series, at the width the dispatcher picks (the suite runs once per
// instruction set).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/frame/checks.h"
#include "core/frame/keys.h"

TEST(Magnitudes, LargestAndSmallestNonzeroAtEveryLengthAndPosition) {
    const double tiny = std::numeric_limits<double>::denorm_min(), big = std::numeric_limits<double>::max();
    for (size_t n : {0u, 1u, 3u, 8u, 9u, 16u, 17u, 31u}) {
        std::vector<double> x(n);
        for (size_t i = 0; i < n; ++i) x[i] = (i % 3 == 0 ? -0.0 : 0.0);  // zeros only
        double hi = -1, lo = -1;
        zemba::core::magnitudes(x.data(), n, hi, lo);
        EXPECT_EQ(hi, 0.0);
        EXPECT_EQ(lo, HUGE_VAL);
        for (size_t i = 0; i < n; ++i) x[i] = (i % 2 ? -1.0 : 1.5) * (1 + i % 5);
        // the extremes in every position, in the vectors' lanes and the tail
        for (size_t at = 0; at < n; ++at) {
            std::vector<double> y(x);
            y[at] = -big;
            if (n > 1) y[(at + 1) % n] = -tiny;
            zemba::core::magnitudes(y.data(), n, hi, lo);
            EXPECT_EQ(hi, big) << n << " " << at;
            EXPECT_EQ(lo, n > 1 ? tiny : big) << n << " " << at;
        }
    }
}

// valueRange(), and valueSpan() with the smallest nonzero magnitude too.
TEST(ValueRange, LeastAndGreatestAndNonfiniteAtEveryLengthAndPosition) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const double tiny = std::numeric_limits<double>::denorm_min();
    for (size_t n : {1u, 3u, 8u, 9u, 16u, 17u, 31u}) {
        std::vector<double> x(n);
        for (size_t i = 0; i < n; ++i) x[i] = (i % 2 ? -1.0 : 1.5) * (1 + i % 5);
        // the extremes, then a bad value, in every position: the vectors'
        // lanes and the tail
        for (size_t at = 0; at < n; ++at) {
            std::vector<double> y(x);
            y[at] = -1e300;
            if (n > 1) y[(at + 1) % n] = 1e300;
            if (n > 2) y[(at + 2) % n] = -tiny;
            if (n > 3) y[(at + 3) % n] = -0.0;
            double lo = 0, hi = 0, small = 0, lo2 = 0, hi2 = 0;
            EXPECT_TRUE(zemba::core::valueRange(y.data(), n, lo, hi));
            EXPECT_EQ(lo, -1e300) << n << " " << at;
            EXPECT_EQ(hi, n > 1 ? 1e300 : -1e300) << n << " " << at;
            EXPECT_TRUE(zemba::core::valueSpan(y.data(), n, lo2, hi2, small));
            EXPECT_EQ(lo2, lo);
            EXPECT_EQ(hi2, hi);
            EXPECT_EQ(small, n > 2 ? tiny : 1e300) << n << " " << at;
            for (double bad : {nan, inf, -inf}) {
                y[at] = bad;
                EXPECT_FALSE(zemba::core::valueRange(y.data(), n, lo, hi)) << n << " " << at << " " << bad;
                EXPECT_FALSE(zemba::core::valueSpan(y.data(), n, lo, hi, small)) << n << " " << at << " " << bad;
            }
        }
        std::vector<double> zeros(n, -0.0);
        double lo = 1, hi = 1, small = 0;
        EXPECT_TRUE(zemba::core::valueSpan(zeros.data(), n, lo, hi, small));
        EXPECT_EQ(small, HUGE_VAL) << n;
    }
}

TEST(OrderKeys, OrderAsTheValuesDoInEveryLaneAndTheTail) {
    const double tiny = std::numeric_limits<double>::denorm_min(), big = std::numeric_limits<double>::max();
    const std::vector<double> v{-big, -1.5, -1.0, -tiny, -0.0, 0.0, tiny, 1e-300, 1.0, 1.5, big, -2.0, 3.0, -0.0, 7.0,
                                -tiny, 0.0, 1e300, -1e300};
    for (size_t n : {1u, 2u, 7u, 8u, 9u, 16u, 17u, 19u}) {
        std::vector<uint64_t> k(n + 1, 12345);
        zemba::core::orderKeys(v.data(), n, k.data());
        EXPECT_EQ(k[n], 12345u) << "wrote past the end at n = " << n;
        for (size_t i = 0; i < n; ++i) {
            EXPECT_EQ(k[i], zemba::core::orderKey(v[i])) << n << " " << i;
            for (size_t j = 0; j < n; ++j) {
                EXPECT_EQ(k[i] < k[j], v[i] < v[j]) << v[i] << " " << v[j];
                EXPECT_EQ(k[i] == k[j], v[i] == v[j]) << v[i] << " " << v[j];
            }
        }
    }
}
