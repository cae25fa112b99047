// The frame every core kernel shares: status texts, the version and the scan
// that names the first non-finite sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "zemba/core.h"

TEST(CoreStatus, EveryStatusHasItsOwnTextAndUnknownCodesSaySo) {
    std::vector<std::string> seen;
    for (int s = ZEMBA_OK; s <= ZEMBA_E_UNSUPPORTED; ++s) {
        std::string text = zemba_status_string(s);
        EXPECT_NE(text, "unknown status") << s;
        for (const std::string& t : seen) EXPECT_NE(t, text) << s;
        seen.push_back(text);
    }
    EXPECT_STREQ(zemba_status_string(-1), "unknown status");
    EXPECT_STREQ(zemba_status_string(ZEMBA_E_UNSUPPORTED + 1), "unknown status");
}

TEST(CoreStatus, VersionIsDottedTriple) {
    std::string v = zemba_version();
    EXPECT_EQ(std::count(v.begin(), v.end(), '.'), 2) << v;
}

TEST(CoreStatus, FirstNonfiniteNamesTheEarliestBadIndexAtEveryPosition) {
    const double bad[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    // lengths on both sides of the vector widths and of the 64-value chunks
    for (size_t n : {0u, 1u, 7u, 8u, 9u, 17u, 63u, 64u, 65u, 100u, 129u}) {
        std::vector<double> x(n, 1.5);
        size_t at = 99;
        EXPECT_EQ(zemba_first_nonfinite(x.data(), n, &at), ZEMBA_OK);
        EXPECT_EQ(at, n);
        for (size_t i = 0; i < n; ++i)
            for (double b : bad) {
                std::vector<double> y(x);
                y[i] = b;
                if (i + 1 < n) y[n - 1] = b;  // a later bad value does not hide the first
                EXPECT_EQ(zemba_first_nonfinite(y.data(), n, &at), ZEMBA_E_NONFINITE);
                EXPECT_EQ(at, i) << "n=" << n << " value=" << b;
            }
    }
    // The largest finite values and subnormals are finite.
    double edge[] = {std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                     std::numeric_limits<double>::denorm_min(), 0.0, -0.0};
    size_t at = 0;
    EXPECT_EQ(zemba_first_nonfinite(edge, 5, &at), ZEMBA_OK);
    EXPECT_EQ(zemba_first_nonfinite(nullptr, 3, &at), ZEMBA_E_NULL);
}
