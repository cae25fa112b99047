// Core mutual information: numpy's bins and scikit-learn's values from the
// golden file, the naive references, the original interface's floor states,
// and the argument rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "reference/information.h"
#include "support/capture.h"
#include "support/series.h"
#include "zemba.h"
#include "zemba/core.h"

namespace {

using Vec = std::vector<double>;
using Labels = std::vector<int64_t>;

double mi(const Vec& x, const Vec& y, size_t bx = 0, size_t by = 0) {
    double r = -1.0;
    EXPECT_EQ(zemba_mutual_information(x.data(), y.data(), x.size(), bx, by, &r), ZEMBA_OK);
    return r;
}

double miFloor(const Vec& x, const Vec& y) {
    double r = -1.0;
    EXPECT_EQ(zemba_mutual_information_floor(x.data(), y.data(), x.size(), &r), ZEMBA_OK);
    return r;
}

double miLabels(const Labels& a, const Labels& b) {
    double r = -1.0;
    EXPECT_EQ(zemba_mutual_information_labels(a.data(), b.data(), a.size(), &r), ZEMBA_OK);
    return r;
}

Labels labels(const Vec& x, size_t bins) {
    Labels l(x.size(), -1);
    EXPECT_EQ(zemba_histogram_labels(x.data(), x.size(), bins, l.data()), ZEMBA_OK);
    return l;
}

// Correlated pair: y = x + noise.
void pair(size_t n, uint64_t seed, int kind, Vec& x, Vec& y) {
    x = zemba_test::series(static_cast<int>(n), seed, kind, 3.0);
    const Vec e = zemba_test::series(static_cast<int>(n), seed + 1, kind, 3.0);
    y.resize(n);
    for (size_t i = 0; i < n; ++i) y[i] = x[i] + e[i];
}

struct GoldenCase {
    std::string name, mode;
    size_t n = 0, bx = 0, by = 0;
    Vec x, y;
    Labels lx, ly;
    double mi = 0.0;
};

std::vector<GoldenCase> readGolden() {
    std::ifstream in(ZEMBA_SOURCE_DIR "/tests/core/info/golden/mutual_information.txt");
    std::vector<GoldenCase> cases;
    std::string line;
    GoldenCase c;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string key;
        s >> key;
        if (key == "case") {
            c = GoldenCase{};
            s >> c.name >> c.mode >> c.n >> c.bx >> c.by;
        } else if (key == "x" || key == "y") {
            Vec& v = key == "x" ? c.x : c.y;
            std::string t;
            while (s >> t) v.push_back(std::strtod(t.c_str(), nullptr));
        } else if (key == "lx" || key == "ly") {
            Labels& v = key == "lx" ? c.lx : c.ly;
            long long t;
            while (s >> t) v.push_back(t);
        } else if (key == "mi") {
            std::string t;
            s >> t;
            c.mi = std::strtod(t.c_str(), nullptr);
        } else if (key == "end") {
            cases.push_back(c);
        }
    }
    return cases;
}

Labels asLabels(const Vec& v) { return Labels(v.begin(), v.end()); }

}  // namespace

TEST(MutualInformationGolden, BinsAreNumpysAndValuesScikitLearns) {
    const auto cases = readGolden();
    ASSERT_GE(cases.size(), 30u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.x.size(), c.n);
        ASSERT_EQ(c.y.size(), c.n);
        if (c.mode == "hist") {
            EXPECT_EQ(labels(c.x, c.bx), c.lx);
            EXPECT_EQ(labels(c.y, c.by), c.ly);
            EXPECT_NEAR(mi(c.x, c.y, c.bx, c.by), c.mi, 1e-12);
            EXPECT_NEAR(zemba_ref::mutualInformation(c.lx, c.ly), c.mi, 1e-12);
        } else if (c.mode == "floor") {
            EXPECT_NEAR(miFloor(c.x, c.y), c.mi, 1e-12);
        } else {
            EXPECT_NEAR(miLabels(asLabels(c.x), asLabels(c.y)), c.mi, 1e-12);
        }
    }
}

TEST(MutualInformation, AgreesWithNaiveBinsAndCountsOnSeededSeries) {
    const size_t binPairs[][2] = {{16, 16}, {1, 16}, {2, 2}, {5, 11}, {64, 3}, {300, 300}};
    int checked = 0;
    for (size_t n : {3, 17, 256, 1000, 4096})
        for (int kind : {0, 1, 2})
            for (const auto& b : binPairs) {
                Vec x, y;
                pair(n, 100 * n + kind, kind, x, y);
                if (!zemba_ref::edgesIncrease(x, b[0]) || !zemba_ref::edgesIncrease(y, b[1])) continue;
                const Labels lx = zemba_ref::histogramLabels(x, b[0]), ly = zemba_ref::histogramLabels(y, b[1]);
                ASSERT_EQ(labels(x, b[0]), lx) << n << " " << kind;
                EXPECT_NEAR(mi(x, y, b[0], b[1]), zemba_ref::mutualInformation(lx, ly), 1e-12) << n << " " << kind;
                ++checked;
            }
    EXPECT_GT(checked, 80);
    Vec x, y;  // bin count 0 is the default, 16
    pair(2000, 5, 0, x, y);
    EXPECT_EQ(mi(x, y), mi(x, y, 16, 16));
    EXPECT_EQ(mi(x, y, 0, 4), mi(x, y, 16, 4));
}

TEST(MutualInformation, ConstantSeriesAndOneBinGiveExactlyZero) {
    Vec x, y;
    pair(500, 9, 0, x, y);
    const Vec c(500, 42.5);
    EXPECT_EQ(mi(c, y), 0.0);
    EXPECT_EQ(mi(x, c), 0.0);
    EXPECT_EQ(mi(c, c), 0.0);
    EXPECT_EQ(mi(x, y, 1, 16), 0.0);
    EXPECT_EQ(mi(x, y, 16, 1), 0.0);
    EXPECT_EQ(miFloor(c, y), 0.0);
    EXPECT_EQ(miLabels(Labels(500, 7), asLabels(zemba_ref::floors(y))), 0.0);
}

TEST(MutualInformation, ScaleOfTheSamplesDoesNotChangeTheBins) {
    Vec x, y;
    pair(4096, 21, 0, x, y);
    const double ref = mi(x, y);
    for (double s : {0x1p-20, 0x1p+30, 0x1p-900}) {  // exact scalings: the very same bits
        Vec xs(x), ys(y);
        for (auto& v : xs) v *= s;
        for (auto& v : ys) v *= s;
        EXPECT_EQ(mi(xs, ys), ref) << s;
    }
    // Volts against microvolts: no sample of this series lies within rounding
    // of an edge, so the bins and the value are the same. The integer-part
    // states of the original interface keep only the signs of volts.
    Vec xv(x), yv(y), xu(x), yu(y);
    for (size_t i = 0; i < x.size(); ++i) xv[i] *= 4e-5, yv[i] *= 4e-5, xu[i] *= 40.0, yu[i] *= 40.0;
    EXPECT_EQ(labels(xv, 16), labels(xu, 16));
    EXPECT_EQ(mi(xv, yv), mi(xu, yu));
    EXPECT_LT(miFloor(xv, yv), 0.2);  // only the signs survive
    EXPECT_GT(miFloor(xu, yu), 1.0);
}

TEST(MutualInformation, LengthsZeroOneTwo) {
    double r = -1.0;
    EXPECT_EQ(zemba_mutual_information(nullptr, nullptr, 0, 0, 0, &r), ZEMBA_OK);
    EXPECT_EQ(r, 0.0);
    r = -1.0;
    EXPECT_EQ(zemba_mutual_information_floor(nullptr, nullptr, 0, &r), ZEMBA_OK);
    EXPECT_EQ(r, 0.0);
    r = -1.0;
    EXPECT_EQ(zemba_mutual_information_labels(nullptr, nullptr, 0, &r), ZEMBA_OK);
    EXPECT_EQ(r, 0.0);
    EXPECT_EQ(zemba_histogram_labels(nullptr, 0, 16, nullptr), ZEMBA_OK);
    EXPECT_EQ(mi({3.0}, {-1.0}), 0.0);
    EXPECT_EQ(labels({3.0}, 16), Labels{8});  // numpy widens to [2.5, 3.5]
    EXPECT_EQ(mi({0.0, 1.0}, {5.0, 2.0}), std::log(2.0));
    EXPECT_EQ(labels({0.0, 1.0}, 16), (Labels{0, 15}));
    EXPECT_EQ(miFloor({0.5, 1.5}, {5.0, 2.0}), std::log(2.0));
    EXPECT_EQ(miLabels({1, 1}, {4, 9}), 0.0);
}

TEST(MutualInformation, AMillionSamples) {
    Vec x, y;
    pair(1000000, 77, 0, x, y);
    const Labels lx = labels(x, 16), ly = labels(y, 16);
    EXPECT_EQ(lx, zemba_ref::histogramLabels(x, 16));
    EXPECT_NEAR(mi(x, y), zemba_ref::mutualInformation(lx, ly), 1e-12);
    Vec xs(x), ys(y);
    for (auto& v : xs) v *= 10.0;
    for (auto& v : ys) v *= 10.0;
    EXPECT_NEAR(miFloor(xs, ys), zemba_ref::mutualInformation(zemba_ref::floors(xs), zemba_ref::floors(ys)), 1e-12);
}

TEST(MutualInformation, DenseAndSortedCountsGiveTheSameBits) {
    // The same partition as small labels (a dense table) and spread over the
    // whole integer range (sorted pairs).
    Vec x, y;
    pair(3000, 13, 2, x, y);
    Labels a = asLabels(x), b = asLabels(y), as(a), bs(b);
    for (auto& v : as) v = v * 1000000000000000LL - 5;
    for (auto& v : bs) v = -v * 999999999999999LL;  // reversed order: the sum order changes
    const double dense = miLabels(a, b);
    EXPECT_EQ(miLabels(as, b), dense);
    EXPECT_NEAR(miLabels(as, bs), dense, 1e-13);
    EXPECT_NEAR(dense, zemba_ref::mutualInformation(a, b), 1e-13);
    // Histogram bins beyond the dense table, and floor states of far-apart values.
    EXPECT_NEAR(mi(x, y, 4000, 5000), zemba_ref::mutualInformation(labels(x, 4000), labels(y, 5000)), 1e-12);
    Vec xf(x), yf(y);
    for (auto& v : xf) v *= 1e12;
    EXPECT_EQ(miFloor(xf, y), miFloor(x, y));
}

TEST(MutualInformation, FloorStatesAreTheOriginalInterfacesBitForBit) {
    for (size_t n : {2, 31, 500, 4096})
        for (int kind : {0, 2}) {  // few enough joint states for the original interface
            Vec x, y;
            pair(n, 7 * n + kind, kind, x, y);
            for (auto& v : x) v *= kind == 0 ? 2.5 : 1.0;
            double seed = -1.0;
            Vec xc(x), yc(y);
            int len = static_cast<int>(n);
            zemba_test::captureStdout([&] { calculateMutualInformation(xc.data(), yc.data(), &len, &seed); });
            ASSERT_FALSE(std::isnan(seed)) << n;  // accepted by the original interface
            const double core = miFloor(x, y);
            EXPECT_EQ(std::memcmp(&core, &seed, sizeof core), 0) << n << " " << kind << ": " << core << " " << seed;
        }
}

TEST(MutualInformationRejects, NonFiniteSamplesBeforeWriting) {
    const double bad[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    Vec x, y;
    pair(37, 3, 0, x, y);
    for (double b : bad)
        for (size_t at : {size_t(0), size_t(8), size_t(36)})
            for (int which = 0; which < 2; ++which) {
                Vec xs(x), ys(y);
                (which ? ys : xs)[at] = b;
                double r = -1.0;
                EXPECT_EQ(zemba_mutual_information(xs.data(), ys.data(), 37, 16, 16, &r), ZEMBA_E_NONFINITE);
                EXPECT_EQ(zemba_mutual_information_floor(xs.data(), ys.data(), 37, &r), ZEMBA_E_NONFINITE);
                EXPECT_EQ(r, -1.0);
                Labels l(37, -9);
                EXPECT_EQ(zemba_histogram_labels(xs.data(), 37, 4, l.data()), which ? ZEMBA_OK : ZEMBA_E_NONFINITE);
                if (!which) {
                    EXPECT_EQ(l, Labels(37, -9));
                }
            }
}

TEST(MutualInformationRejects, NullPointersBinCountsAndRangesBeyondDoubles) {
    const Vec x = {1.0, 2.0, 3.0}, y = {3.0, 1.0, 2.0};
    double r = -1.0;
    int64_t l[3];
    EXPECT_EQ(zemba_mutual_information(x.data(), y.data(), 3, 16, 16, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_mutual_information(nullptr, y.data(), 3, 16, 16, &r), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_mutual_information_floor(x.data(), nullptr, 3, &r), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_mutual_information_labels(l, nullptr, 3, &r), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_histogram_labels(x.data(), 3, 16, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_mutual_information(x.data(), y.data(), 3, size_t(ZEMBA_MI_MAX_BINS) + 1, 16, &r),
              ZEMBA_E_ARGUMENT);
    EXPECT_EQ(r, -1.0);
    const Vec wide = {-1e308, 1e308, 0.0};
    EXPECT_EQ(zemba_mutual_information(wide.data(), y.data(), 3, 16, 16, &r), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(zemba_histogram_labels(wide.data(), 3, 16, l), ZEMBA_E_ARGUMENT);
    EXPECT_EQ(r, -1.0);
    EXPECT_EQ(zemba_mutual_information_floor(wide.data(), y.data(), 3, &r), ZEMBA_OK);  // floor states have no range
    EXPECT_NEAR(r, std::log(3.0), 1e-15);
}

TEST(MutualInformation, SubnormalRangesWhereNumpyFails) {
    // 0..10 units of 2^-1074 in 4 bins: numpy raises (4 / range overflows).
    // linspace's step, 2.5 units, rounds to 2, so the edges are 0, 2, 4, 6
    // and 10 units; the first guess k / 10 * 4 is corrected against them.
    Vec x;
    for (int k = 0; k <= 10; ++k) x.push_back(k * 4.9406564584124654e-324);
    EXPECT_EQ(labels(x, 4), (Labels{0, 0, 1, 1, 2, 2, 3, 3, 3, 3, 3}));
}

TEST(MutualInformation, ConcurrentCallsAgreeWithOneThread) {
    Vec x, y;
    pair(50000, 31, 1, x, y);
    const double want = mi(x, y, 16, 24), wantFloor = miFloor(x, y);
    std::vector<std::thread> ts;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([&, t] {
            int good = 1;
            for (int k = 0; k < 20; ++k) {
                double a = -1.0, b = -1.0;
                zemba_mutual_information(x.data(), y.data(), x.size(), 16, 24, &a);
                zemba_mutual_information_floor(x.data(), y.data(), x.size(), &b);
                good &= a == want && b == wantFloor;
            }
            ok[t] = good;
        });
    for (auto& t : ts) t.join();
    EXPECT_EQ(ok, std::vector<int>(4, 1));
}
