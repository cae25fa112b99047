// Inputs found by fuzzing the Burg routine, kept so they stay harmless.
#include "zemba.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

// A length of INT_MIN once overflowed while counting the prediction errors.
// Every stage then has an empty sum: 0 / 0 coefficients, as for m >= n, and
// nothing beyond the m coefficients is written.
TEST(BurgRegressions, MostNegativeLengthGivesEmptyStagesOnly) {
    const double x[1] = {1.0};
    double d[4] = {7.0, 7.0, 7.0, 7.0};
    double xms = 5.0;
    EXPECT_EQ(memcof(x, INT_MIN, 3, xms, d), 0);
    EXPECT_TRUE(std::isnan(d[0]));
    EXPECT_TRUE(std::isnan(d[1]));
    EXPECT_TRUE(std::isnan(d[2]));
    EXPECT_EQ(d[3], 7.0);
    EXPECT_TRUE(std::isnan(xms));
}

}  // namespace
