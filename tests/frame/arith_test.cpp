// The library's integer conversions against the C library's floor.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "frame/arith.h"

namespace {

int32_t viaLibrary(double v) { return zemba::trunc32(std::floor(v)); }

TEST(Floor32, EqualsTruncatedFloorAtTheEdges) {
    const double inf = std::numeric_limits<double>::infinity();
    const double edges[] = {0.0, -0.0, 0.5, -0.5, 1.0, -1.0, -1e-300, 1e-300, 2.5, -2.5,
                            2147483647.0, 2147483647.5, 2147483648.0, 2147483648.5, -2147483648.0,
                            -2147483647.5, -2147483648.5, -2147483649.0, 4503599627370495.5, -4503599627370495.5,
                            9.3e18, -9.3e18, 1e300, -1e300, inf, -inf, std::numeric_limits<double>::quiet_NaN(),
                            std::nextafter(-2147483648.0, 0.0), std::nextafter(2147483648.0, 0.0),
                            std::nextafter(-1.0, 0.0), std::nextafter(-1.0, -2.0)};
    for (double v : edges) EXPECT_EQ(zemba::floor32(v), viaLibrary(v)) << v;
}

TEST(Floor32, EqualsTruncatedFloorOnRandomValues) {
    std::mt19937_64 g(17);
    std::normal_distribution<double> z;
    for (int i = 0; i < 200000; ++i) {
        const double v = z(g) * std::ldexp(1.0, i % 40);
        ASSERT_EQ(zemba::floor32(v), viaLibrary(v)) << v;
    }
}

}  // namespace
