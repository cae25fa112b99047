// Visibility graph kernels of the core against the naive definitions of
// tests/reference/visibility.h: worked series, seeded random series with
// ties, plateaus and collinear runs, sample times, scaling, extreme
// magnitudes, argument checks and a million samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "reference/visibility.h"
#include "support/series.h"
#include "zemba/core.h"

namespace {

using zemba_ref::Edge;
const double kInf = HUGE_VAL;
const int kKinds[] = {ZEMBA_VG_HORIZONTAL, ZEMBA_VG_NATURAL};

zemba_vg_options options(int kind, int direction = 0, int weight = 0, double lo = -HUGE_VAL, double hi = HUGE_VAL) {
    zemba_vg_options o;
    EXPECT_EQ(zemba_vg_options_init(&o, kind), ZEMBA_OK);
    o.direction = direction, o.weight = weight, o.min_weight = lo, o.max_weight = hi;
    return o;
}

const double* timesOf(const std::vector<double>& t) { return t.empty() ? nullptr : t.data(); }

struct Listed {
    std::vector<Edge> edges;  // (from, to) as listed
    std::vector<double> weights;
};

Listed coreEdges(const zemba_vg_options& o, const std::vector<double>& y, const std::vector<double>& t = {}) {
    size_t count = 0;
    EXPECT_EQ(zemba_vg_edge_count(&o, y.data(), timesOf(t), y.size(), &count), ZEMBA_OK);
    std::vector<size_t> from(count + 1), to(count + 1);
    std::vector<double> w(count + 1);
    size_t again = 0;
    EXPECT_EQ(zemba_vg_edges(&o, y.data(), timesOf(t), y.size(), count + 1, from.data(), to.data(), w.data(), &again),
              ZEMBA_OK);
    EXPECT_EQ(again, count);
    Listed r;
    for (size_t e = 0; e < count; ++e) r.edges.emplace_back(from[e], to[e]), r.weights.push_back(w[e]);
    return r;
}

std::vector<size_t> coreDegrees(const zemba_vg_options& o, const std::vector<double>& y,
                                const std::vector<double>& t = {}) {
    std::vector<size_t> d(y.size(), 99);
    EXPECT_EQ(zemba_vg_degrees(&o, y.data(), timesOf(t), y.size(), d.data()), ZEMBA_OK);
    return d;
}

std::vector<Edge> referenceEdges(int kind, const std::vector<double>& y, const std::vector<double>& t = {}) {
    return kind == ZEMBA_VG_HORIZONTAL ? zemba_ref::horizontalEdges(y) : zemba_ref::naturalEdges(y, t);
}

// The weight of the edge from f to g, as the header defines each kind.
double referenceWeight(int weight, const std::vector<double>& y, const std::vector<double>& t, size_t f, size_t g) {
    const double dy = y[g] - y[f];
    const double dt = t.empty() ? double(g) - double(f) : t[g] - t[f];
    const size_t a = std::min(f, g), b = std::max(f, g);
    const double lag = double(b - a), diff = y[b] - y[a];
    switch (weight) {
        case ZEMBA_VG_SLOPE: return dy / dt;
        case ZEMBA_VG_ABS_SLOPE: return std::fabs(dy / dt);
        case ZEMBA_VG_ANGLE: return std::atan(dy / dt);
        case ZEMBA_VG_ABS_ANGLE: return std::fabs(std::atan(dy / dt));
        case ZEMBA_VG_DISTANCE: return std::sqrt(dt * dt + dy * dy);
        case ZEMBA_VG_SQ_DISTANCE: return dt * dt + dy * dy;
        case ZEMBA_VG_V_DISTANCE: return dy;
        case ZEMBA_VG_ABS_V_DISTANCE: return std::fabs(dy);
        case ZEMBA_VG_H_DISTANCE: return dt;
        case ZEMBA_VG_ABS_H_DISTANCE: return std::fabs(dt);
        case ZEMBA_VG_SEED_LAG_DIFF: return std::fabs(std::trunc(diff)) * lag + 1;
        case ZEMBA_VG_SEED_SPAN: return std::fabs(std::trunc(diff * lag)) + 1;
        case ZEMBA_VG_SEED_DIFF: return std::fabs(std::trunc(diff)) + 1;
        default: return 1.0;
    }
}

// The reference edges as listed under a direction, with their weights, and
// only those inside the bounds.
Listed referenceListed(int kind, int direction, int weight, double lo, double hi, const std::vector<double>& y,
                       const std::vector<double>& t = {}) {
    Listed r;
    for (Edge e : referenceEdges(kind, y, t)) {
        if (direction == ZEMBA_VG_TOP_TO_BOTTOM && y[e.second] > y[e.first]) std::swap(e.first, e.second);
        const double w = referenceWeight(weight, y, t, e.first, e.second);
        if (weight != ZEMBA_VG_UNWEIGHTED && !(lo < w && w < hi)) continue;
        r.edges.push_back(e);
        r.weights.push_back(w);
    }
    return r;
}

// Checks every graph output of one series against the reference.
void expectGraph(int kind, const std::vector<double>& y, const std::vector<double>& t, int weight, double lo,
                 double hi, const std::string& what) {
    for (int direction : {ZEMBA_VG_UNDIRECTED, ZEMBA_VG_LEFT_TO_RIGHT, ZEMBA_VG_TOP_TO_BOTTOM}) {
        const Listed want = referenceListed(kind, direction, weight, lo, hi, y, t);
        const zemba_vg_options o = options(kind, direction, weight, lo, hi);
        const Listed got = coreEdges(o, y, t);
        ASSERT_EQ(got.edges, want.edges) << what << " direction " << direction;
        for (size_t e = 0; e < want.weights.size(); ++e)
            ASSERT_TRUE(got.weights[e] == want.weights[e] ||
                        std::fabs(got.weights[e] - want.weights[e]) <= 1e-12 * std::fabs(want.weights[e]))
                << what << " edge " << e << " weight " << weight;
        std::vector<size_t> in(y.size()), out(y.size()), deg(y.size());
        for (const Edge& e : want.edges) out[e.first]++, in[e.second]++, deg[e.first]++, deg[e.second]++;
        std::vector<size_t> gotIn(y.size(), 7), gotOut(y.size(), 7);
        ASSERT_EQ(zemba_vg_directed_degrees(&o, y.data(), timesOf(t), y.size(), gotIn.data(), gotOut.data()),
                  ZEMBA_OK);
        ASSERT_EQ(gotIn, in) << what;
        ASSERT_EQ(gotOut, out) << what;
        ASSERT_EQ(coreDegrees(o, y, t), deg) << what;
    }
}

enum Shape { kNoise, kTies, kPlateaus, kCollinear, kTenths, kShapes };

std::vector<double> shaped(size_t n, uint64_t seed, int shape) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> z(0.0, 1.0);
    std::vector<double> x(n);
    double level = 0.0, step = 0.0;
    size_t left = 0;
    for (size_t k = 0; k < n; ++k) {
        switch (shape) {
            case kNoise: x[k] = z(g); break;
            case kTies: x[k] = double(g() % 4); break;
            case kPlateaus:  // runs of one value
                if (left-- == 0) level = double(g() % 5), left = g() % 4;
                x[k] = level;
                break;
            case kCollinear:  // straight integer runs of random slope
                if (left-- == 0) step = double(int(g() % 7) - 3), left = g() % 6;
                x[k] = level += step;
                break;
            default: x[k] = 0.1 * double(k % 9) + (g() % 3 == 0 ? 0.1 * double(g() % 4) : 0.0);
        }
    }
    return x;
}

// Strictly increasing times: integers with gaps (collinear points stay
// collinear), or uneven real steps.
std::vector<double> timesFor(size_t n, uint64_t seed, bool integers) {
    std::mt19937_64 g(seed);
    std::vector<double> t(n);
    double now = integers ? 0.0 : -3.7;
    for (double& v : t) v = now += integers ? double(1 + g() % 3) : 0.05 + std::uniform_real_distribution<double>(0, 2)(g);
    return t;
}

}  // namespace

TEST(VisibilityGraphs, WorkedFourPointSeries) {
    const std::vector<double> y{3, 1, 2, 4};
    const std::vector<Edge> horizontal{{0, 1}, {0, 2}, {1, 2}, {0, 3}, {2, 3}};
    std::vector<Edge> natural = horizontal;
    natural.insert(natural.begin() + 4, {1, 3});  // (1,1)-(3,4) passes over (2,2)
    EXPECT_EQ(coreEdges(options(ZEMBA_VG_HORIZONTAL), y).edges, horizontal);
    EXPECT_EQ(coreEdges(options(ZEMBA_VG_NATURAL), y).edges, natural);
    EXPECT_EQ(coreDegrees(options(ZEMBA_VG_HORIZONTAL), y), (std::vector<size_t>{3, 2, 3, 2}));
    EXPECT_EQ(coreDegrees(options(ZEMBA_VG_NATURAL), y), (std::vector<size_t>{3, 3, 3, 3}));

    // Top to bottom: higher end first; slopes are the same either way round,
    // vertical and horizontal distances change sign.
    const Listed slope = coreEdges(options(ZEMBA_VG_HORIZONTAL, ZEMBA_VG_TOP_TO_BOTTOM, ZEMBA_VG_SLOPE), y);
    EXPECT_EQ(slope.edges, (std::vector<Edge>{{0, 1}, {0, 2}, {2, 1}, {3, 0}, {3, 2}}));
    EXPECT_EQ(slope.weights, (std::vector<double>{-2, -0.5, 1, 1.0 / 3, 2}));
    EXPECT_EQ(coreEdges(options(ZEMBA_VG_HORIZONTAL, 0, ZEMBA_VG_V_DISTANCE), y).weights,
              (std::vector<double>{-2, -1, 1, 1, 2}));
    EXPECT_EQ(coreEdges(options(ZEMBA_VG_HORIZONTAL, ZEMBA_VG_TOP_TO_BOTTOM, ZEMBA_VG_H_DISTANCE), y).weights,
              (std::vector<double>{1, 2, -1, -3, -1}));
    std::vector<size_t> in(4), out(4);
    const zemba_vg_options down = options(ZEMBA_VG_HORIZONTAL, ZEMBA_VG_TOP_TO_BOTTOM);
    ASSERT_EQ(zemba_vg_directed_degrees(&down, y.data(), nullptr, 4, in.data(), out.data()), ZEMBA_OK);
    EXPECT_EQ(in, (std::vector<size_t>{1, 2, 2, 0}));
    EXPECT_EQ(out, (std::vector<size_t>{2, 0, 1, 2}));
    // Bounds are exclusive: slopes strictly between -0.5 and 2.
    EXPECT_EQ(coreEdges(options(ZEMBA_VG_HORIZONTAL, 0, ZEMBA_VG_SLOPE, -0.5, 2), y).edges,
              (std::vector<Edge>{{1, 2}, {0, 3}}));
}

TEST(VisibilityGraphs, WorkedTenPointSeriesWithTiesAndCollinearRun) {
    // 0, 1, 2, 3 lie on one line: each hides the next from 0 and 1.
    const std::vector<double> y{0, 1, 2, 3, 3, 1, 1, 4, 0, 2};
    EXPECT_EQ(coreEdges(options(ZEMBA_VG_HORIZONTAL), y).edges,
              (std::vector<Edge>{{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {4, 7}, {6, 7}, {7, 8}, {7, 9}, {8, 9}}));
    EXPECT_EQ(coreEdges(options(ZEMBA_VG_NATURAL), y).edges,
              (std::vector<Edge>{{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {4, 6}, {5, 6}, {3, 7}, {4, 7}, {5, 7},
                                 {6, 7}, {7, 8}, {7, 9}, {8, 9}}));
    // Equal ends (3, 4) and (5, 6): top to bottom runs from the earlier.
    const Listed down = coreEdges(options(ZEMBA_VG_NATURAL, ZEMBA_VG_TOP_TO_BOTTOM), y);
    EXPECT_EQ(down.edges[3], (Edge{3, 4}));
    EXPECT_EQ(down.edges[6], (Edge{5, 6}));
    EXPECT_EQ(down.edges[7], (Edge{7, 3}));
}

TEST(VisibilityGraphs, RandomSeriesMatchDefinitionsInEveryOutput) {
    int weight = 0;
    for (int kind : kKinds)
        for (int shape = 0; shape < kShapes; ++shape)
            for (size_t n : {0, 1, 2, 3, 5, 8, 13, 21, 34, 55}) {
                const auto y = shaped(n, 100 * n + shape, shape);
                const std::string what = "kind " + std::to_string(kind) + " shape " + std::to_string(shape) +
                                         " n " + std::to_string(n);
                ASSERT_NO_FATAL_FAILURE(expectGraph(kind, y, {}, weight, -kInf, kInf, what));
                weight = (weight + 1) % (ZEMBA_VG_SEED_DIFF + 1);
                // A band of weights kept, from the middle of the real ones.
                const Listed all = referenceListed(kind, 0, weight, -kInf, kInf, y);
                if (weight && all.weights.size() > 2) {
                    std::vector<double> w = all.weights;
                    std::sort(w.begin(), w.end());
                    ASSERT_NO_FATAL_FAILURE(
                        expectGraph(kind, y, {}, weight, w[w.size() / 4], w[3 * w.size() / 4], what + " bounded"));
                }
            }
}

TEST(VisibilityGraphs, LongerSeriesMatchDefinitions) {
    // Past 64 samples the horizontal degrees walk two halves and join them,
    // taking the keys in blocks of 256; the natural degrees skip stretches.
    for (int shape = 0; shape < kShapes; ++shape)
        for (size_t n : {64, 65, 100, 233, 515, 1030}) {
            const auto y = shaped(n, 31 * n + shape, shape);
            const std::string what = "shape " + std::to_string(shape) + " n " + std::to_string(n);
            ASSERT_NO_FATAL_FAILURE(expectGraph(ZEMBA_VG_HORIZONTAL, y, {}, ZEMBA_VG_SLOPE, -kInf, kInf, what));
            if (n <= 100) {
                ASSERT_EQ(coreDegrees(options(ZEMBA_VG_NATURAL), y),
                          zemba_ref::degrees(referenceEdges(ZEMBA_VG_NATURAL, y), n))
                    << what;
            }
        }
}

TEST(VisibilityGraphs, DeepHorizontalStacksMatchTheDefinition) {
    // Long descents leave every sample on the walk's stack (each counts an edge
    // to a later sample it never gets); a rise after them takes off runs deeper
    // than four at once, and the first half's stack meets the second half's
    // maxima. Stairs put a level sample at the bottom of each run.
    for (size_t n : {70, 301, 1030})
        for (int form = 0; form < 5; ++form) {
            std::vector<double> y(n);
            for (size_t k = 0; k < n; ++k) {
                const double down = double(n - k), up = double(k);
                switch (form) {
                    case 0: y[k] = down; break;
                    case 1: y[k] = up; break;
                    case 2: y[k] = std::min(down, up); break;                     // valley
                    case 3: y[k] = k + 1 == n ? 2.0 * double(n) : down; break;   // descent, then a peak
                    default: y[k] = double((k < n / 2 ? n - k : k) / 2); break;  // stairs down and up
                }
            }
            ASSERT_EQ(coreDegrees(options(ZEMBA_VG_HORIZONTAL), y), zemba_ref::degrees(zemba_ref::horizontalEdges(y), n))
                << "n " << n << " form " << form;
        }
}

TEST(VisibilityGraphs, SampleTimesDecideNaturalEdgesAndWeights) {
    int weight = 1;
    for (int shape = 0; shape < kShapes; ++shape)
        for (size_t n : {2, 7, 30, 45}) {
            const auto y = shaped(n, 7 * n + shape, shape);
            for (bool integers : {true, false}) {
                const auto t = timesFor(n, n + shape, integers);
                const std::string what = "shape " + std::to_string(shape) + " n " + std::to_string(n);
                for (int kind : kKinds) ASSERT_NO_FATAL_FAILURE(expectGraph(kind, y, t, weight, -kInf, kInf, what));
                weight = weight % ZEMBA_VG_ABS_H_DISTANCE + 1;
            }
        }
}

TEST(VisibilityGraphs, ScalingLeavesTheNaturalGraphAlone) {
    // Microvolts to volts: noise keeps its graph; power-of-two scaling keeps
    // even exactly collinear and tied samples exactly where they were.
    const zemba_vg_options o = options(ZEMBA_VG_NATURAL);
    for (int shape = 0; shape < kShapes; ++shape) {
        const auto y = shaped(300, 3 + shape, shape);
        std::vector<double> volts(y), tiny(y), huge(y);
        for (size_t i = 0; i < y.size(); ++i)
            volts[i] = 1e-6 * y[i], tiny[i] = std::ldexp(y[i], -1000), huge[i] = std::ldexp(y[i], 1000);
        const auto edges = coreEdges(o, y).edges;
        if (shape == kNoise) {
            EXPECT_EQ(coreEdges(o, volts).edges, edges);
        }
        EXPECT_EQ(coreEdges(o, tiny).edges, edges) << shape;
        EXPECT_EQ(coreEdges(o, huge).edges, edges) << shape;
        if (shape != kNoise) {
            EXPECT_EQ(edges, referenceEdges(ZEMBA_VG_NATURAL, y)) << shape;
        }
    }
}

TEST(VisibilityGraphs, ExtremeMagnitudesAreComparedExactly) {
    // Values and times across the whole double range, where differences and
    // products overflow or fall below the smallest double.
    const double pool[] = {0.0, 5e-324, -5e-324, 1e-300, -3e-300, 1e-160, 1.0, -2.5, 1e160, 1e300, -1e300,
                           1.7976931348623157e308, -1.7976931348623157e308, 2.2250738585072014e-308};
    std::mt19937_64 g(9);
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<double> y(4 + trial % 20);
        for (double& v : y) v = std::ldexp(pool[g() % 14], trial % 3 ? 0 : -int(g() % 5));
        std::vector<double> t;
        if (trial % 2) {
            t.resize(y.size());
            double now = trial % 4 == 1 ? -1e300 : 1e-300;
            for (double& v : t) v = now, now = now < 0 ? now / 1e10 : now * (2 + double(g() % 1000));
            ASSERT_TRUE(std::is_sorted(t.begin(), t.end()));
        }
        const auto want = referenceEdges(ZEMBA_VG_NATURAL, y, t);
        ASSERT_EQ(coreEdges(options(ZEMBA_VG_NATURAL), y, t).edges, want) << trial;
    }
}

TEST(VisibilityGraphs, HorizontalDegreesOrderEveryDoubleByValue) {
    // Signed zeros are one height; subnormals and the largest doubles order
    // as values. Lengths past 64 join two halves.
    const double pool[] = {0.0, -0.0, 5e-324, -5e-324, 1.0, -1.0, 1.7976931348623157e308, -1.7976931348623157e308};
    std::mt19937_64 g(17);
    for (size_t n : {2, 9, 64, 65, 130, 301})
        for (int trial = 0; trial < 6; ++trial) {
            std::vector<double> y(n);
            for (double& v : y) v = pool[g() % (trial < 3 ? 4 : 8)];  // zeros and subnormals first: many ties
            ASSERT_EQ(coreDegrees(options(ZEMBA_VG_HORIZONTAL), y),
                      zemba_ref::degrees(referenceEdges(ZEMBA_VG_HORIZONTAL, y), n))
                << n << " " << trial;
        }
}

TEST(VisibilityGraphs, RejectsBadInputBeforeWriting) {
    const std::vector<double> y{1, 2, 0, 3};
    std::vector<size_t> d(4, 42);
    for (int kind : kKinds) {
        zemba_vg_options o = options(kind);
        for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
            std::vector<double> x(y);
            x[2] = bad;
            EXPECT_EQ(zemba_vg_degrees(&o, x.data(), nullptr, 4, d.data()), ZEMBA_E_NONFINITE);
            std::vector<double> t{0, 1, bad, 3};
            EXPECT_EQ(zemba_vg_degrees(&o, y.data(), t.data(), 4, d.data()), ZEMBA_E_NONFINITE);
        }
        EXPECT_EQ(d, std::vector<size_t>(4, 42));
        // a bad value anywhere in a longer series (the vectors' lanes and the
        // tail); first of all, before a missing output and with weight bounds
        const std::vector<double> longer(300, 1.0);
        for (size_t at : {0u, 150u, 299u}) {
            std::vector<double> x(longer);
            x[at] = NAN;
            zemba_vg_options bounded = o;
            bounded.weight = ZEMBA_VG_SLOPE;
            bounded.max_weight = 10.0;
            std::vector<size_t> m(300, 7);
            EXPECT_EQ(zemba_vg_degrees(&o, x.data(), nullptr, 300, m.data()), ZEMBA_E_NONFINITE) << at;
            EXPECT_EQ(zemba_vg_degrees(&bounded, x.data(), nullptr, 300, m.data()), ZEMBA_E_NONFINITE) << at;
            EXPECT_EQ(zemba_vg_degrees(&o, x.data(), nullptr, 300, nullptr), ZEMBA_E_NONFINITE) << at;
            EXPECT_EQ(m, std::vector<size_t>(300, 7));
        }
        const std::vector<double> flat{0, 1, 1, 2};
        EXPECT_EQ(zemba_vg_degrees(&o, y.data(), flat.data(), 4, d.data()), ZEMBA_E_ARGUMENT);
        EXPECT_EQ(zemba_vg_degrees(nullptr, y.data(), nullptr, 4, d.data()), ZEMBA_E_NULL);
        EXPECT_EQ(zemba_vg_degrees(&o, nullptr, nullptr, 4, d.data()), ZEMBA_E_NULL);
        EXPECT_EQ(zemba_vg_degrees(&o, y.data(), nullptr, 4, nullptr), ZEMBA_E_NULL);
        for (auto broken : {&zemba_vg_options::direction, &zemba_vg_options::weight, &zemba_vg_options::kind}) {
            zemba_vg_options b = o;
            b.*broken = 14;
            EXPECT_EQ(zemba_vg_degrees(&b, y.data(), nullptr, 4, d.data()), ZEMBA_E_ARGUMENT);
        }
        o.min_weight = NAN;
        EXPECT_EQ(zemba_vg_degrees(&o, y.data(), nullptr, 4, d.data()), ZEMBA_E_ARGUMENT);
        EXPECT_EQ(d, std::vector<size_t>(4, 42));
        // Too little room: the count is reported.
        o = options(kind);
        size_t from[2], to[2], count = 0;
        EXPECT_EQ(zemba_vg_edges(&o, y.data(), nullptr, 4, 2, from, to, nullptr, &count), ZEMBA_E_CAPACITY);
        EXPECT_EQ(count, 4u);  // three neighbours and (1, 3) over the 0
        EXPECT_EQ(zemba_vg_edges(&o, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, &count), ZEMBA_OK);
        EXPECT_EQ(count, 0u);
    }
    zemba_vg_options o;
    EXPECT_EQ(zemba_vg_options_init(&o, 2), ZEMBA_E_ARGUMENT);
}

// ---- a million samples: degrees against per-vertex scans ------------------------

namespace {

// Degree of vertex i of the horizontal graph by looking both ways from it.
size_t horizontalDegreeAt(const std::vector<double>& y, size_t i) {
    size_t d = 0;
    for (int dir : {-1, 1}) {
        double between = -HUGE_VAL;
        for (size_t j = i + dir; j < y.size() && between < y[i]; j += dir) {
            d += between < y[j];
            between = std::max(between, y[j]);
        }
    }
    return d;
}

// Degree of vertex i of the natural graph: j is seen when its slope from i is
// steeper than every slope between (exact rationals where doubles are close).
size_t naturalDegreeAt(const std::vector<double>& y, size_t i) {
    size_t d = 0;
    for (int dir : {-1, 1}) {
        double best = -HUGE_VAL;
        size_t bestAt = i;
        for (size_t j = i + dir; j < y.size(); j += dir) {
            const double s = (y[j] - y[i]) / std::fabs(double(j) - double(i));
            bool steeper = s > best + 1e-9 * std::fabs(best) + 1e-300;
            if (bestAt != i && std::fabs(s - best) <= 1e-9 * std::fabs(best) + 1e-300) {
                const mpq_class a = (mpq_class(y[j]) - y[i]) / std::fabs(double(j) - double(i));
                const mpq_class b = (mpq_class(y[bestAt]) - y[i]) / std::fabs(double(bestAt) - double(i));
                steeper = a > b;
            }
            if (bestAt == i || steeper) ++d, best = s, bestAt = j;
        }
    }
    return d;
}

}  // namespace

TEST(VisibilityGraphs, MillionSamplesDegreesMatchScansAtSampledVertices) {
    const auto y = zemba_test::series(1000000, 12, 0, 1.0);
    for (int kind : kKinds) {
        const zemba_vg_options o = options(kind);
        const auto d = coreDegrees(o, y);
        size_t sum = 0, count = 0;
        for (size_t v : d) sum += v;
        ASSERT_EQ(zemba_vg_edge_count(&o, y.data(), nullptr, y.size(), &count), ZEMBA_OK);
        EXPECT_EQ(sum, 2 * count);
        std::mt19937_64 g(kind);
        const size_t probes = kind == ZEMBA_VG_HORIZONTAL ? 2000 : 6;
        for (size_t p = 0; p < probes; ++p) {
            const size_t i = p < 2 ? p * (y.size() - 1) : g() % y.size();
            ASSERT_EQ(d[i], kind == ZEMBA_VG_HORIZONTAL ? horizontalDegreeAt(y, i) : naturalDegreeAt(y, i)) << i;
        }
    }
}
