// Degrees of the natural visibility graph, which count the near neighbours a
// vector of samples at a time and scan on past them only where a sample's
// stretch reaches further, against the edge list (found by scans from every
// sample) and, for short series, the naive definition. Run at every vector
// width the machine offers (ZEMBA_ISA variants of this program).
#include <gtest/gtest.h>

#include <algorithm>
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
    // near windows, so every border and block boundary is crossed; then
    // lengths around one and two strips of 128, whose pairs seen across a
    // strip's end are carried to the next.
    std::vector<int> lengths;
    for (int n = 0; n <= 90; n += n < 40 ? 1 : 7) lengths.push_back(n);
    for (int n : {127, 129, 144, 257}) lengths.push_back(n);
    for (int shape = 0; shape < kShapes; ++shape)
        for (int n : lengths) {
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

// Peaks exactly on the line from a sample to a farther one, at every distance
// inside the windows, among noise small enough to fall inside the vector
// comparison's margin (every third trial lifts the peaks just off the line).
std::vector<double> closeCalls(int trial, std::mt19937_64& g) {
    std::vector<double> y(200);
    for (double& v : y) v = 1.0 + std::ldexp(double(g() % 7), -50);
    for (size_t i = 20; i + 40 < y.size(); i += 23) {
        const size_t a = 3 + g() % 14, b = a + 1 + g() % 14;  // tip at i + a, on the line to i + b
        y[i] = 0.0;
        y[i + b] = double(b);
        y[i + a] = double(a) + (trial % 3 == 0 ? std::ldexp(1.0, -45) : 0.0);
    }
    return y;
}

TEST(NaturalDegrees, CloseCallsInTheWindowsAreDecidedExactly) {
    std::mt19937_64 g(5);
    for (int trial = 0; trial < 40; ++trial) {
        const auto y = closeCalls(trial, g);
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

TEST(NaturalDegrees, SlopesRoundingWouldOrderWronglyAreDecidedExactlyAtAnyScale) {
    // From a sample j, a neighbour at d1 and a farther one at d2 whose slopes
    // differ by less than their rounding: the vector slopes order each pair
    // the wrong way (found by an exact search over random triples). Each sits
    // among low samples; the series is scaled by powers of two (exactly) and
    // reversed, so the windows' tolerance must follow the series' magnitude,
    // on either side of j. A DC offset makes the slopes small against that
    // magnitude, so more comparisons are decided exactly.
    struct Case {
        double yj;
        size_t d1;
        double y1;
        size_t d2;
        double y2;
    };
    const Case cases[] = {
        {-0.5240707458162173, 3, 1.3498464717802543, 9, 5.097680906973197},
        {0.8314615924499273, 1, 1.7509901511995172, 15, 14.624389973693775},
        {0.014053631891319585, 7, 1.9187074861990776, 11, 3.007081117232082},
        {-0.49775544363305957, 8, 0.8912523698666741, 13, 1.7593822533040075},
        {0.0367952405491756, 5, 1.0563266615494558, 13, 2.687576935149904},
        {0.3903382955476946, 2, 1.5276711137329453, 15, 8.920334431937075},
        {0.9068511095573786, 5, 2.4648510466665896, 16, 5.892450908306854},
        {-0.12316151131407915, 5, 1.168371276455442, 7, 1.6849843915632507},
    };
    std::mt19937_64 g(13);
    std::vector<double> base;
    for (const Case& c : cases) {
        std::vector<double> part(40);
        for (double& v : part) v = -100.0 - double(g() % 1000) / 1000.0;
        part[20] = c.yj;
        part[20 + c.d1] = c.y1;
        part[20 + c.d2] = c.y2;
        base.insert(base.end(), part.begin(), part.end());
    }
    for (int e : {0, 300, -300})
        for (bool reversed : {false, true}) {
            auto y = base;
            for (double& v : y) v = std::ldexp(v, e);
            if (reversed) std::reverse(y.begin(), y.end());
            ASSERT_EQ(degrees(y), zemba_ref::degrees(zemba_ref::naturalEdges(y, {}), y.size()))
                << "scale 2^" << e << (reversed ? " reversed" : "");
        }
    for (double offset : {1e3, 1e6, 1e9}) {
        auto y = shaped(150, 77, kQuantised);
        for (double& v : y) v += offset;
        ASSERT_EQ(degrees(y), zemba_ref::degrees(zemba_ref::naturalEdges(y, {}), y.size())) << offset;
    }
}

TEST(NaturalDegrees, SamplesAlikeInSinglePrecisionAreDecidedExactly) {
    // The windows compare slopes of a single-precision copy of the series,
    // centred and scaled by its range. Samples that differ only far below
    // that range's single-precision resolution all round alike there, so the
    // order between them and every slope comparison among them must come
    // from the exact decision: values 1 + k 2^-40 between samples at 0 and 2;
    // tiny noise between huge peaks and troughs; and the same with a DC offset
    // that dwarfs the noise but not the peaks.
    std::mt19937_64 g(17);
    for (int trial = 0; trial < 9; ++trial) {
        std::vector<double> y(260);
        for (size_t i = 0; i < y.size(); ++i) {
            const double k = double(g() % 8);
            switch (trial % 3) {
                case 0: y[i] = 1.0 + std::ldexp(k, -40); break;
                case 1: y[i] = (k - 3.5) * 1e-100; break;
                default: y[i] = 1e6 + std::ldexp(k, -20); break;
            }
        }
        const double peak = trial % 3 == 1 ? 1e100 : trial % 3 == 0 ? 1.0 : 1.0e3;
        for (size_t i = 5 + g() % 20; i < y.size(); i += 9 + g() % 30)
            y[i] = (trial % 3 == 0 ? 1.0 : trial % 3 == 1 ? 0.0 : 1e6) + (g() % 2 ? peak : -peak);
        ASSERT_EQ(degrees(y), zemba_ref::degrees(zemba_ref::naturalEdges(y, {}), y.size())) << trial;
    }
}
