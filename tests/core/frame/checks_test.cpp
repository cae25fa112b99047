// The magnitudes that bound the graphs' exact arithmetic, at the width the
// dispatcher picks (the suite runs once per instruction set).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/frame/checks.h"

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
