// Natural visibility graphs with their slopes computed a vector at a time
// (at each instruction set the tests are run with), against straightforward
// constructions kept here: the slope matrix, the outputs and the printed text
// must agree bit for bit.
#include "zemba.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "frame/arith.h"
#include "support/capture.h"
#include "support/series.h"

namespace {

struct Reference {
    std::vector<double> slopes;  // n x n
    std::vector<int32_t> degree;
    std::vector<double> weight;
};

Reference referenceNatural(const std::vector<double>& v, int tau) {
    const int n = static_cast<int>(v.size());
    Reference r{std::vector<double>(static_cast<size_t>(n) * n, 0.0), std::vector<int32_t>(n, 0),
                std::vector<double>(n, 0.0)};
    for (int i = 0; i + tau < n; ++i) {
        double best = 0.0;
        for (int j = i + tau; j < n; j += tau) {
            const double slope = (v[i] - v[j]) / static_cast<double>(i - j);
            r.slopes[static_cast<size_t>(i) * n + j] = slope;
            if (j == i + tau || slope > best) {
                const int32_t w = zemba::wrapAdd(zemba::wrapAbs(zemba::trunc32(v[j] - v[i])), 1);
                r.degree[i]++, r.degree[j]++;
                r.weight[i] += w, r.weight[j] += w;
                best = slope;
            }
        }
    }
    return r;
}

std::vector<double> series(int n, uint64_t seed, int kind) { return zemba_test::series(n, seed, kind, 3.0); }

TEST(NaturalVisibilityFastPath, SlopesDegreesAndWeightsMatchOnePassConstruction) {
    for (int kind = 0; kind < 3; ++kind)
        for (int n : {2, 3, 17, 256, 1001})
            for (int tau : {1, 2, 5}) {
                auto v = series(n, 7 * n + tau + kind, kind);
                const Reference r = referenceNatural(v, tau);
                std::vector<int> out(2 * static_cast<size_t>(n) + 4, 0);
                int len = n, mode = 2, t = tau;
                double ret = 0.0;
                const std::string printed = zemba_test::captureStdout([&] { ret = getVGFast(v.data(), &len, &mode, &t, out.data()); });
                int32_t sum = 0;
                for (int i = 0; i < n; ++i) {
                    sum += r.degree[i];
                    ASSERT_EQ(out[i], r.degree[i]) << n << " " << tau << " " << i;
                    ASSERT_EQ(out[n + i], zemba::trunc32(r.weight[i]));
                    ASSERT_EQ(0, std::memcmp(SlopMatrix[i], &r.slopes[static_cast<size_t>(i) * n], sizeof(double) * n))
                        << "row " << i << " n " << n << " tau " << tau;
                }
                EXPECT_EQ(ret, sum);
                EXPECT_EQ(printed, "Degree=" + std::to_string(sum) + "\n");
            }
}

TEST(NaturalVisibilityFastPath, FarEdgesArePrintedInScanOrder) {
    auto v = series(120, 11, 1);
    const Reference r = referenceNatural(v, 1);
    std::string expect;
    for (int i = 0; i + 1 < 120; ++i) {
        double best = r.slopes[static_cast<size_t>(i) * 120 + i + 1];
        for (int j = i + 2; j < 120; ++j) {
            const double s = r.slopes[static_cast<size_t>(i) * 120 + j];
            if (s > best) {
                best = s;
                expect += "i=" + std::to_string(i) + ":" + std::to_string(j) + "\n";
            }
        }
    }
    std::vector<int> adj(120 * 120, 0);
    int len = 120, mode = 1, tau = 1;
    const std::string printed = zemba_test::captureStdout([&] { getVGFast(v.data(), &len, &mode, &tau, adj.data()); });
    EXPECT_EQ(printed.substr(0, expect.size()), expect);
    for (int i = 0; i < 120; ++i)
        ASSERT_EQ(0, std::memcmp(SlopMatrix[i], &r.slopes[static_cast<size_t>(i) * 120], sizeof(double) * 120));
}


// ---- the obvious construction: clear a row, fill its slopes, scan it ----

int32_t truncTo32(double x) {
    return x > -2147483649.0 && x < 2147483648.0 ? static_cast<int32_t>(x) : std::numeric_limits<int32_t>::min();
}

void slopeRow(const std::vector<double>& v, int tau, int i, std::vector<double>& row) {
    const int n = static_cast<int>(v.size());
    row.assign(static_cast<size_t>(n), 0.0);
    for (int j = i + tau; j < n; j += tau) row[j] = (v[i] - v[j]) / static_cast<double>(i - j);
}

struct Graph {
    std::vector<int32_t> degree;
    std::vector<double> weight;
    std::vector<std::pair<int, int>> edges;
    std::string farLines;
};

Graph plainGraph(const std::vector<double>& v, int tau) {
    const int n = static_cast<int>(v.size());
    Graph g{std::vector<int32_t>(n, 0), std::vector<double>(n, 0.0), {}, {}};
    std::vector<double> row;
    for (int i = 0; i < n; ++i) {
        slopeRow(v, tau, i, row);
        bool first = true;
        double best = 0.0;
        for (int j = i + tau; j < n; j += tau) {
            if (!first && !(row[j] > best)) continue;
            const int64_t t = truncTo32(v[j] - v[i]);
            const int32_t w = static_cast<int32_t>(static_cast<uint32_t>((t < 0 ? -t : t) + 1));
            g.degree[i]++, g.degree[j]++;
            g.weight[i] += w, g.weight[j] += w;
            g.edges.emplace_back(i, j);
            if (!first) g.farLines += "i=" + std::to_string(i) + ":" + std::to_string(j) + "\n";
            first = false;
            best = row[j];
        }
    }
    return g;
}

enum Kind { kNoise, kWalk, kTies, kCollinear, kSpecial, kKinds };

std::vector<double> sample(int n, uint64_t seed, int kind) {
    std::mt19937_64 r(seed);
    std::normal_distribution<double> z(0.0, 1.0);
    std::uniform_int_distribution<int> small(-3, 3);
    std::vector<double> x(static_cast<size_t>(n));
    double level = 0.0;
    int slope = 0, runLeft = 0;
    for (int k = 0; k < n; ++k) {
        switch (kind) {
            case kNoise: x[k] = z(r); break;
            case kWalk: x[k] = level += z(r); break;
            case kTies: x[k] = small(r); break;
            case kCollinear:  // straight integer runs of random length and slope
                if (runLeft-- <= 0) slope = small(r), runLeft = 1 + static_cast<int>(r() % 9);
                x[k] = level += slope;
                break;
            default: {
                const uint64_t u = r() % 10;
                x[k] = u == 0   ? std::numeric_limits<double>::quiet_NaN()
                       : u == 1 ? std::numeric_limits<double>::infinity()
                       : u == 2 ? -std::numeric_limits<double>::infinity()
                                : 1e9 * z(r);
            }
        }
    }
    return x;
}

const uint64_t kUntouched = 0x5A5A5A5A5A5A5A5Aull;
const int kUntouchedInt = 0x13572468;
const int kMargin = 8;

double untouchedDouble() {
    double d;
    std::memcpy(&d, &kUntouched, sizeof d);
    return d;
}

// One call of getVGFast (rev false) or getRevVGFast against plainGraph: return
// value, printed text, every int of out (and none beyond it), outSets, and the
// slope matrix with the cells just outside it left alone.
void expectPlain(const std::vector<double>& v, int tau, bool rev, int mode, const std::string& what) {
    const int n = static_cast<int>(v.size());
    const size_t un = static_cast<size_t>(n);
    const int t = tau < 1 ? 1 : tau;
    const Graph g = plainGraph(v, t);
    const int32_t degreeSum = std::accumulate(g.degree.begin(), g.degree.end(), 0);
    double weightSum = 0.0;
    for (double w : g.weight) weightSum += w;

    size_t size = mode == 1 ? std::max(un * un, rev ? un + 2 : 2 * un + 3) : rev ? un + 1 : 2 * un;
    std::vector<int> expect(size + kMargin, 0);
    std::string printed;
    if (mode == 1) {
        for (auto e : g.edges) expect[e.first * un + e.second] = expect[e.second * un + e.first] = 1;
        expect[0] = degreeSum;
        if (rev) {
            expect[un + 1] = truncTo32(weightSum);
        } else {
            printed = g.farLines;
            std::vector<int> deg(g.degree.begin(), g.degree.end());
            deg.push_back(0);
            int count = n, one = 1;
            double entropy = 0.0;
            printed += zemba_test::captureStdout([&] { calculateEntropy(deg.data(), &count, &one, &entropy); });
            expect[un + 1] = truncTo32(10000.0 * entropy);
            expect[2 * un + 2] = truncTo32(weightSum);
        }
    } else {
        for (int i = 0; i < n; ++i) {
            expect[i] = g.degree[i];
            if (!rev) expect[un + i] = truncTo32(g.weight[i]);
        }
        printed = "Degree=" + std::to_string(degreeSum) + "\n";
    }
    for (size_t k = size; k < expect.size(); ++k) expect[k] = kUntouchedInt;

    const int edge = std::min(n + kMargin, ZEMBA_NODE_CAP);
    for (int i = 0; i < edge; ++i)
        for (int j = 0; j < edge; ++j) std::memcpy(&SlopMatrix[i][j], &kUntouched, sizeof(double));
    std::vector<int> out(size + kMargin, 0);
    for (size_t k = size; k < out.size(); ++k) out[k] = kUntouchedInt;
    std::vector<double> in(v);
    int len = n, md = mode, lag = tau;
    double ret = -1.0;
    const std::string got = zemba_test::captureStdout(
        [&] { ret = (rev ? getRevVGFast : getVGFast)(in.data(), &len, &md, &lag, out.data()); });

    ASSERT_EQ(ret, static_cast<double>(degreeSum)) << what;
    ASSERT_EQ(got, printed) << what;
    ASSERT_TRUE(out == expect) << what;
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(outSets[i].degree, g.degree[i]) << what << " node " << i;
        ASSERT_EQ(outSets[i].weight, g.weight[i]) << what << " node " << i;
    }
    std::vector<double> row;
    const double untouched = untouchedDouble();
    for (int i = 0; i < edge; ++i) {
        if (i < n) {
            slopeRow(v, t, i, row);
            ASSERT_EQ(0, std::memcmp(SlopMatrix[i], row.data(), sizeof(double) * un)) << what << " row " << i;
        }
        for (int j = i < n ? n : 0; j < edge; ++j)
            ASSERT_EQ(0, std::memcmp(&SlopMatrix[i][j], &untouched, sizeof(double)))
                << what << " cell " << i << "," << j << " written";
    }
}

void expectPlainEverywhere(const std::vector<double>& v, int tau, const std::string& what) {
    for (bool rev : {false, true})
        for (int mode : {1, 2}) {
            expectPlain(v, tau, rev, mode, what + (rev ? " rev" : " fwd") + " mode " + std::to_string(mode));
            if (::testing::Test::HasFatalFailure()) return;
        }
}

TEST(NaturalVisibilityVectorPaths, EveryShortLengthMatchesPlainConstruction) {
    for (int n = 0; n <= 40; ++n)
        for (int kind = 0; kind < kKinds; ++kind)
            for (int tau : {1, 2, 3, 7}) {
                const auto v = sample(n, 1000 * n + 10 * kind + tau, kind);
                ASSERT_NO_FATAL_FAILURE(expectPlainEverywhere(
                    v, tau, "n " + std::to_string(n) + " kind " + std::to_string(kind) + " tau " + std::to_string(tau)));
            }
}

TEST(NaturalVisibilityVectorPaths, LongSeriesMatchPlainConstruction) {
    for (int n : {63, 64, 65, 127, 255, 256, 257, 1000})
        for (int kind = 0; kind < kKinds; ++kind)
            for (int tau : {1, 2, 3, 7}) {
                if (n == 1000 && tau != 1 && tau != 3) continue;
                const auto v = sample(n, 77 * n + 10 * kind + tau, kind);
                ASSERT_NO_FATAL_FAILURE(expectPlainEverywhere(
                    v, tau, "n " + std::to_string(n) + " kind " + std::to_string(kind) + " tau " + std::to_string(tau)));
            }
}

TEST(NaturalVisibilityVectorPaths, LagBelowOneIsLagOne) {
    const auto v = sample(37, 5, kWalk);
    for (int tau : {0, -1, std::numeric_limits<int>::min()}) ASSERT_NO_FATAL_FAILURE(expectPlainEverywhere(v, tau, "tau"));
}

TEST(NaturalVisibilityVectorPaths, StreamedLargeMatricesMatchPlainConstruction) {
    const auto walk = sample(2500, 3, kWalk);
    ASSERT_NO_FATAL_FAILURE(expectPlain(walk, 1, false, 1, "walk 2500 fwd mode 1"));
    const auto special = sample(1029, 4, kSpecial);
    ASSERT_NO_FATAL_FAILURE(expectPlain(special, 1, true, 2, "special 1029 rev mode 2"));
    // The whole matrix: the last row and column of SlopMatrix.
    const auto noise = sample(ZEMBA_NODE_CAP, 5, kNoise);
    ASSERT_NO_FATAL_FAILURE(expectPlain(noise, 1, true, 2, "noise 12194 rev mode 2"));
}

}  // namespace
