// Inputs found by fuzzing approximate entropy, kept so they stay harmless.
#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "reference/regularity.h"

namespace {

// Truncated distances as the machine computes them: NaN or out-of-range
// differences convert to INT32_MIN, whose magnitude stays negative.
double referenceApEn(const std::vector<double>& x, int m, double tol) {
    return zemba_ref::truncatedApEn(x, static_cast<int64_t>(x.size()), m, tol);
}

// A NaN inside the series once slipped past the range check of the sorted
// counting path, broke the sort and ran the partner bound off its table.
TEST(ApEnRegressions, NaNInsideTheSeriesCountsAsMatchingEverything) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> x = {0, 1, nan, 1, 0, 1, 0, 1, 4, 0, 1, 1};
    for (unsigned m = 1; m <= 3; ++m) {
        const double got = ApEn(x.data(), static_cast<unsigned>(x.size()), m, 1.0, 1.0);
        EXPECT_DOUBLE_EQ(got, referenceApEn(x, static_cast<int>(m), 1.0)) << "m=" << m;
    }
}

}  // namespace
