// Inputs found by fuzzing approximate entropy, kept so they stay harmless.
#include "zemba.h"

#include <gtest/gtest.h>
#include <emmintrin.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

// Truncated distance as the machine computes it: NaN or out-of-range
// differences convert to INT32_MIN, whose magnitude stays negative.
double distance(double a, double b) {
    const int32_t t = _mm_cvttsd_si32(_mm_set_sd(a - b));
    const int64_t mag = t < 0 ? -static_cast<int64_t>(t) : t;
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(mag)));
}

double referenceApEn(const std::vector<double>& x, int m, double tol) {
    const int T = static_cast<int>(x.size()) - m;
    double S = 0.0;
    for (int i = 0; i < T; ++i) {
        double A = 0.0, B = 0.0;
        for (int j = 0; j < T; ++j) {
            bool match = true;
            for (int k = 0; k < m; ++k) match = match && distance(x[i + k], x[j + k]) <= tol;
            if (!match) continue;
            B += 1.0;
            if (distance(x[i + m], x[j + m]) <= tol) A += 1.0;
        }
        if (A > 0 && B > 0) S += std::log(B / A);
    }
    return S / T;
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
