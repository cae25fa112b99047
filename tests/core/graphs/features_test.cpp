// Graph features of the core (degree histogram, degree and pattern entropies,
// irreversibility features) against tests/reference/visibility.h.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "reference/visibility.h"
#include "support/series.h"
#include "zemba/core.h"

namespace {

void expectClose(const std::vector<double>& got, const std::vector<double>& want, const std::string& what) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_NEAR(got[i], want[i], 1e-12 * (1 + std::fabs(want[i]))) << what << " feature " << i;
}

std::vector<double> integerSeries(size_t n, uint64_t seed, int levels) {
    std::mt19937_64 g(seed);
    std::vector<double> x(n);
    for (double& v : x) v = double(int(g() % levels) - levels / 2);
    return x;
}

}  // namespace

TEST(GraphFeatures, DegreeCountsAndEntropy) {
    const std::vector<size_t> d{3, 2, 3, 4, 2, 2};
    std::vector<size_t> counts(5, 9);
    size_t classes = 0;
    EXPECT_EQ(zemba_degree_counts(d.data(), d.size(), 4, counts.data(), &classes), ZEMBA_E_CAPACITY);
    EXPECT_EQ(classes, 5u);
    EXPECT_EQ(counts, std::vector<size_t>(5, 9));
    ASSERT_EQ(zemba_degree_counts(d.data(), d.size(), 5, counts.data(), &classes), ZEMBA_OK);
    EXPECT_EQ(counts, (std::vector<size_t>{0, 0, 3, 2, 1}));
    ASSERT_EQ(zemba_degree_counts(nullptr, 0, 0, nullptr, &classes), ZEMBA_OK);
    EXPECT_EQ(classes, 0u);

    double h = -1;
    ASSERT_EQ(zemba_degree_entropy(d.data(), d.size(), &h), ZEMBA_OK);
    EXPECT_DOUBLE_EQ(h, -(0.5 * std::log(0.5) + std::log(1 / 3.0) / 3 + std::log(1 / 6.0) / 6));
    EXPECT_EQ(zemba_degree_entropy(nullptr, 0, &h), ZEMBA_OK);
    EXPECT_EQ(h, 0.0);
    const std::vector<size_t> sparse{7, 1000000, 7, 0};  // degrees above n take the sorted path
    ASSERT_EQ(zemba_degree_entropy(sparse.data(), 4, &h), ZEMBA_OK);
    EXPECT_DOUBLE_EQ(h, zemba_ref::histogramEntropy(sparse));
}

TEST(GraphFeatures, PatternEntropyOfDegreeWindows) {
    // Degrees 3 2 3 4 2 2, windows of 3: (3,2,3) (2,3,4) (3,4,2) (4,2,2) give
    // four different orders: ln 4. Equal degrees keep the first smallest first.
    const std::vector<size_t> d{3, 2, 3, 4, 2, 2};
    double h = -1;
    ASSERT_EQ(zemba_degree_pattern_entropy(d.data(), d.size(), 3, 1, &h), ZEMBA_OK);
    EXPECT_NEAR(h, std::log(4.0), 1e-15);
    ASSERT_EQ(zemba_degree_pattern_entropy(d.data(), d.size(), 3, 2, &h), ZEMBA_OK);
    EXPECT_NEAR(h, std::log(2.0), 1e-15);
    EXPECT_EQ(zemba_degree_pattern_entropy(d.data(), d.size(), 7, 1, &h), ZEMBA_E_TOO_SHORT);
    EXPECT_EQ(zemba_degree_pattern_entropy(d.data(), d.size(), 1, 1, &h), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(zemba_degree_pattern_entropy(d.data(), d.size(), 2, 0, &h), ZEMBA_E_ARGUMENT);

    zemba_vg_options o;
    zemba_vg_options_init(&o, ZEMBA_VG_HORIZONTAL);
    for (size_t m : {2, 3, 5, 8, 21, 24})
        for (size_t tau : {1, 3}) {
            const auto x = integerSeries(3000, m + tau, 7);
            std::vector<size_t> deg(x.size());
            ASSERT_EQ(zemba_vg_degrees(&o, x.data(), nullptr, x.size(), deg.data()), ZEMBA_OK);
            ASSERT_EQ(zemba_degree_pattern_entropy(deg.data(), deg.size(), m, tau, &h), ZEMBA_OK);
            EXPECT_NEAR(h, zemba_ref::patternEntropy(deg, m, tau), 1e-12) << m << " " << tau;
        }
}

TEST(GraphFeatures, IrreversibilityMatchesDefinitions) {
    std::mt19937_64 g(4);
    for (int trial = 0; trial < 24; ++trial) {
        const int kind = trial % 2 ? ZEMBA_VG_NATURAL : ZEMBA_VG_HORIZONTAL;
        const int weight = (trial / 2) % 4 == 0   ? ZEMBA_VG_SEED_SPAN
                           : (trial / 2) % 4 == 1 ? ZEMBA_VG_UNWEIGHTED
                           : (trial / 2) % 4 == 2 ? ZEMBA_VG_SLOPE
                                                  : ZEMBA_VG_DISTANCE;
        const size_t n = 1 + 13 * trial;
        const auto y = trial % 3 ? zemba_test::series(int(n), trial, 0, 1.0) : integerSeries(n, trial, 5);
        std::vector<double> t;
        if (trial % 5 == 4) {
            double now = 0;
            for (size_t i = 0; i < n; ++i) t.push_back(now += 0.5 + double(g() % 4));
        }
        const std::vector<zemba_ref::Edge> edges =
            kind == ZEMBA_VG_HORIZONTAL ? zemba_ref::horizontalEdges(y) : zemba_ref::naturalEdges(y, t);
        auto w = [&](size_t a, size_t b) {
            const double dy = y[b] - y[a], dt = t.empty() ? double(b - a) : t[b] - t[a];
            switch (weight) {
                case ZEMBA_VG_SEED_SPAN: return std::fabs(std::trunc(dy * double(b - a))) + 1;
                case ZEMBA_VG_SLOPE: return dy / dt;
                case ZEMBA_VG_DISTANCE: return std::sqrt(dt * dt + dy * dy);
                default: return 1.0;
            }
        };
        zemba_vg_options o;
        zemba_vg_options_init(&o, kind);
        o.weight = weight;
        o.direction = ZEMBA_VG_TOP_TO_BOTTOM;  // not read: features are of the left-to-right graph
        std::vector<double> f(7, -1);
        ASSERT_EQ(zemba_vg_irreversibility(&o, y.data(), t.empty() ? nullptr : t.data(), n, f.data()), ZEMBA_OK);
        expectClose(f, zemba_ref::irreversibility(n, edges, w), "trial " + std::to_string(trial));
    }
    // The worked series of the original routine: its figures, except the
    // asymmetry, whose forward degrees here come from the same graph.
    const std::vector<double> x{5, 1, 3, 2, 4};
    zemba_vg_options o;
    zemba_vg_options_init(&o, ZEMBA_VG_HORIZONTAL);
    o.weight = ZEMBA_VG_SEED_SPAN;
    std::vector<double> f(7);
    ASSERT_EQ(zemba_vg_irreversibility(&o, x.data(), nullptr, 5, f.data()), ZEMBA_OK);
    const double e = -(2 * 0.4 * std::log(0.4) + 0.2 * std::log(0.2));
    expectClose(f, {0.0, e, 2.8, 5.2, std::sqrt(6.0 / 5.0), 3.4 / 5, 20.625 / 5}, "worked");
    EXPECT_EQ(zemba_vg_irreversibility(&o, x.data(), nullptr, 0, f.data()), ZEMBA_E_TOO_SHORT);
    std::vector<double> bad(x);
    bad[1] = NAN;
    EXPECT_EQ(zemba_vg_irreversibility(&o, bad.data(), nullptr, 5, f.data()), ZEMBA_E_NONFINITE);
}
