// Degrees of the natural visibility graph, which count the near neighbours a
// vector of samples at a time and scan on past them only where a sample's
// stretch reaches further, against the edge list (found by scans from every
// sample) and, for short series, the naive definition. Run at every vector
// width the machine offers (ZEMBA_ISA variants of this program).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "reference/visibility.h"
#include "support/series.h"
#include "zemba/core.h"

namespace {

std::vector<size_t> degreesFromEdges(const std::vector<double>& y) {
    zemba_vg_options o;
    zemba_vg_options_init(&o, ZEMBA_VG_NATURAL);
    size_t count = 0, again = 0;
    EXPECT_EQ(zemba_vg_edge_count(&o, y.data(), nullptr, y.size(), &count), ZEMBA_OK);
    std::vector<size_t> from(count + 1), to(count + 1), d(y.size());
    EXPECT_EQ(zemba_vg_edges(&o, y.data(), nullptr, y.size(), count, from.data(), to.data(), nullptr, &again),
              ZEMBA_OK);
    for (size_t e = 0; e < again; ++e) ++d[from[e]], ++d[to[e]];
    return d;
}

std::vector<size_t> degrees(const std::vector<double>& y) {
    zemba_vg_options o;
    zemba_vg_options_init(&o, ZEMBA_VG_NATURAL);
    std::vector<size_t> d(y.size(), 77);
    EXPECT_EQ(zemba_vg_degrees(&o, y.data(), nullptr, y.size(), d.data()), ZEMBA_OK);
    return d;
}

// Shapes that stress different parts: noise (few far edges), a random walk
// (long stretches, many far edges), recordings quantised to 0.001 uV (ties and
// exactly collinear triples), the same in volts, integer plateaus, a slow
// sine under noise, and a straight ramp (every comparison a tie).
enum Shape { kNoise, kWalk, kQuantised, kVolts, kPlateaus, kSine, kRamp, kShapes };

std::vector<double> shaped(int n, uint64_t seed, int shape) {
    std::vector<double> y = zemba_test::series(n, seed, shape == kNoise || shape == kSine ? 0 : 1, 1.0);
    std::mt19937_64 g(seed);
    for (int i = 0; i < n; ++i) {
        double& v = y[static_cast<size_t>(i)];
        switch (shape) {
            case kQuantised: v = std::round(v * 1000.0) / 1000.0; break;
            case kVolts: v = std::round(v * 1000.0) / 1000.0 * 1e-6; break;
            case kPlateaus: v = std::floor(v / 3.0); break;
            case kSine: v = 0.2 * v + std::sin(i * 0.05); break;
            case kRamp: v = 0.5 * i; break;
            default: break;
        }
    }
    return y;
}

std::string name(int shape, int n) { return "shape " + std::to_string(shape) + " n " + std::to_string(n); }

}  // namespace

TEST(NaturalDegrees, EveryLengthAroundTheWindowsMatchesTheDefinition) {
    // Lengths from empty through several vector blocks on either side of the
    // near windows, so every border and block boundary is crossed.
    for (int shape = 0; shape < kShapes; ++shape)
        for (int n = 0; n <= 90; n += n < 40 ? 1 : 7) {
            const auto y = shaped(n, 1000 + 10 * n + shape, shape);
            ASSERT_EQ(degrees(y), zemba_ref::degrees(zemba_ref::naturalEdges(y, {}), y.size())) << name(shape, n);
        }
}

TEST(NaturalDegrees, LongSeriesOfEveryShapeMatchTheEdgeList) {
    for (int shape = 0; shape < kShapes; ++shape)
        for (int n : {200, 4097, 20000}) {
            const auto y = shaped(n, 7 * n + shape, shape);
            std::vector<size_t> want;
            if (shape == kRamp) {  // every triple collinear: only next neighbours see each other
                want.assign(y.size(), 2);
                want.front() = want.back() = 1;
            } else {
                want = n <= 200 ? zemba_ref::degrees(zemba_ref::naturalEdges(y, {}), y.size()) : degreesFromEdges(y);
            }
            ASSERT_EQ(degrees(y), want) << name(shape, n);
        }
}

TEST(NaturalDegrees, CloseCallsInTheWindowsAreDecidedExactly) {
    // Peaks exactly on the line from a sample to a farther one, at every
    // distance inside the windows, among noise small enough to fall inside the
    // vector comparison's margin: each such pair is decided again exactly.
    std::mt19937_64 g(5);
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<double> y(200);
        for (double& v : y) v = 1.0 + std::ldexp(double(g() % 7), -50);
        for (size_t i = 20; i + 40 < y.size(); i += 23) {
            const size_t a = 3 + g() % 14, b = a + 1 + g() % 14;  // tip at i + a, on the line to i + b
            y[i] = 0.0;
            y[i + b] = double(b);
            y[i + a] = double(a) + (trial % 3 == 0 ? std::ldexp(1.0, -45) : 0.0);
        }
        ASSERT_EQ(degrees(y), zemba_ref::degrees(zemba_ref::naturalEdges(y, {}), y.size())) << trial;
    }
}

TEST(NaturalDegrees, FarScansPastTheWindowsMatchTheEdgeList) {
    // Peaks over valleys longer than the near windows (some longer than the
    // vector sweeps past them), with samples exactly on lines falling away
    // from a peak on both sides and peaks of equal height: the far scans meet
    // exact ties, partial vectors and samples level with their peak.
    std::mt19937_64 g(11);
    for (int trial = 0; trial < 6; ++trial) {
        const size_t n = trial < 3 ? 400 : 6000;
        std::vector<double> y(n);
        for (double& v : y) v = double(g() % 1024) / 1024.0;
        for (size_t m = 5; m + 1 < n; m += 17 + g() % (trial < 3 ? 200 : 1500)) {
            const double h = 8.0 + double(g() % 3);
            y[m] = h;
            const size_t d = 17 + g() % 40;
            const double s = double(1 + g() % 8) / 512.0;
            for (size_t k = 1; k <= 3; ++k) {
                const double v = h - s * double(k * d);
                if (m + k * d < n) y[m + k * d] = v;
                if (m >= k * d) y[m - k * d] = v;
            }
        }
        const auto got = degrees(y);
        ASSERT_EQ(got, degreesFromEdges(y)) << trial;
        if (n <= 400) {
            ASSERT_EQ(got, zemba_ref::degrees(zemba_ref::naturalEdges(y, {}), y.size())) << trial;
        }
    }
}
