#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "reference/visibility.h"
#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

enum class Routine { Fast, Rev };

struct Call {
    std::vector<int> out;
    std::string printed;
    double ret = 0.0;
};

Call callGraph(Routine r, std::vector<double> v, int mode, int tau, size_t outSize) {
    Call c;
    c.out.assign(outSize, 0);
    int n = static_cast<int>(v.size());
    c.printed = captureStdout([&] {
        c.ret = r == Routine::Fast ? getVGFast(v.data(), &n, &mode, &tau, c.out.data())
                                   : getRevVGFast(v.data(), &n, &mode, &tau, c.out.data());
    });
    return c;
}

// Natural visibility on the lattice, tested sample by sample.
using Reference = zemba_ref::LatticeGraph;
Reference reference(const std::vector<double>& v, int tau, bool exactIntegers) {
    return zemba_ref::naturalLattice(v, tau, exactIntegers);
}

}  // namespace

TEST(NaturalVisibility, SequenceModeWritesDegreesWeightsAndPrintsDegreeSum) {
    Call c = callGraph(Routine::Fast, {0, 2.7, 1}, 0, 1, 6);
    EXPECT_EQ(c.out, (std::vector<int>{1, 2, 1, 3, 5, 2}));
    EXPECT_EQ(c.printed, "Degree=4\n");
    EXPECT_EQ(c.ret, 4.0);

    Call r = callGraph(Routine::Rev, {0, 2.7, 1}, 0, 1, 5);
    EXPECT_EQ(r.out, (std::vector<int>{1, 2, 1, 0, 0}));
    EXPECT_EQ(r.printed, "Degree=4\n");
    EXPECT_EQ(r.ret, 4.0);
}

TEST(NaturalVisibility, CollinearSamplesSeeOnlyTheNearerOne) {
    Call c = callGraph(Routine::Fast, {0, 1, 2, 3}, 2, 1, 8);
    EXPECT_EQ(c.out, (std::vector<int>{1, 2, 2, 1, 2, 4, 4, 2}));
}

TEST(NaturalVisibility, ConvexSeriesGivesCompleteGraphWithSummaryOnDiagonal) {
    Call c = callGraph(Routine::Fast, {0, 1, 4, 9}, 1, 1, 16);
    EXPECT_EQ(c.printed, "i=0:2\ni=0:3\ni=1:3\nratio=1.0000 maxData=     3\n");
    EXPECT_EQ(c.ret, 12.0);
    // Edge weights |j^2 - i^2| + 1 sum to 36; every node counts each twice.
    const std::vector<int> want = {12, 1, 1, 1, 1, 0, 1, 1, 1, 1, 72, 1, 1, 1, 1, 0};
    EXPECT_EQ(c.out, want);

    Call r = callGraph(Routine::Rev, {0, 1, 4, 9}, 1, 1, 16);
    EXPECT_EQ(r.printed, "");
    EXPECT_EQ(r.out, (std::vector<int>{12, 1, 1, 1, 1, 72, 1, 1, 1, 1, 0, 1, 1, 1, 1, 0}));
}

TEST(NaturalVisibility, AdjacencyModeStoresScaledDegreeEntropy) {
    Call c = callGraph(Routine::Fast, {0, 2.7, 1}, 1, 1, 9);
    EXPECT_EQ(c.printed, "ratio=1.0000 maxData=     2\n");
    // Degrees 1, 2, 1: entropy -(2/3 ln 2/3 + 1/3 ln 1/3) = 0.63651...
    EXPECT_EQ(c.out, (std::vector<int>{4, 1, 0, 1, 6365, 1, 0, 1, 10}));
}

TEST(NaturalVisibility, LagSplitsSeriesIntoSeparateLatticeGraphs) {
    std::vector<double> v = {3, -1, 0, 5, 2, 4};
    Call c = callGraph(Routine::Fast, v, 1, 2, 36);
    for (int a = 0; a < 6; ++a)
        for (int b = 0; b < 6; ++b)
            if (a != b && (a + b) % 2 == 1) {
                EXPECT_EQ(c.out[a * 6 + b], 0) << a << "," << b;
            }
    Reference ref = reference(v, 2, true);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(outSets[i].degree, ref.degree[i]);
}

TEST(NaturalVisibility, NonPositiveLagActsAsOne) {
    std::vector<double> v = {1, 3, 0, 2, 5, 1};
    Call one = callGraph(Routine::Fast, v, 0, 1, 12);
    for (int tau : {0, -4}) {
        EXPECT_EQ(callGraph(Routine::Fast, v, 0, tau, 12).out, one.out);
    }
}

TEST(NaturalVisibility, LagAtLeastLengthOrSingleSampleHasNoEdges) {
    Call c = callGraph(Routine::Fast, {1, 2, 3}, 0, 3, 6);
    EXPECT_EQ(c.out, (std::vector<int>(6, 0)));
    EXPECT_EQ(c.printed, "Degree=0\n");
    Call s = callGraph(Routine::Rev, {4.5}, 1, 1, 3);
    EXPECT_EQ(s.out, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(s.ret, 0.0);
}

TEST(NaturalVisibility, DegreesAndWeightsMatchChordTestOnRandomSeries) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> level(-4, 4);
    std::normal_distribution<double> gauss(0.0, 10.0);
    for (int trial = 0; trial < 24; ++trial) {
        const bool integers = trial % 2 == 0;
        const int n = 30 + 7 * trial;
        std::vector<double> v(n);
        for (double& x : v) x = integers ? level(rng) : gauss(rng);
        for (int tau : {1, 2, 3, 7}) {
            Reference ref = reference(v, tau, integers);
            for (Routine r : {Routine::Fast, Routine::Rev}) {
                Call c = callGraph(r, v, 0, tau, 2 * n + 1);
                long sum = 0;
                for (int i = 0; i < n; ++i) {
                    ASSERT_EQ(c.out[i], ref.degree[i]) << "node " << i << " tau " << tau;
                    if (r == Routine::Fast) {
                        ASSERT_EQ(c.out[n + i], ref.weight[i]);
                    }
                    sum += ref.degree[i];
                }
                EXPECT_EQ(c.ret, static_cast<double>(sum));
            }
        }
    }
}

TEST(NaturalVisibility, SlopeMatrixHoldsLatticeSlopesAndZerosElsewhere) {
    const int n = 7, tau = 2;
    for (int r = 0; r <= n; ++r)
        for (int c = 0; c <= n; ++c) SlopMatrix[r][c] = 99.0;
    std::vector<double> v = {1, 4, -2, 0.5, 3, 3, 8};
    callGraph(Routine::Rev, v, 0, tau, n + 1);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double want = (j > i && (j - i) % tau == 0) ? (v[j] - v[i]) / (j - i) : 0.0;
            EXPECT_EQ(SlopMatrix[i][j], want) << i << "," << j;
        }
    // Outside the first n rows and columns nothing is written.
    EXPECT_EQ(SlopMatrix[0][n], 99.0);
    EXPECT_EQ(SlopMatrix[n][0], 99.0);
}

TEST(NaturalVisibility, OversizedOrNegativeLengthReturnsZeroAndTouchesNothing) {
    double v[2] = {1, 2};
    int mode = 0, tau = 1;
    outSets[0].degree = 31;
    SlopMatrix[0][1] = -7.0;
    struct Case {
        Routine r;
        int n;
    };
    for (Case k : {Case{Routine::Fast, ZEMBA_SERIES_CAP + 1}, Case{Routine::Rev, ZEMBA_NODE_CAP + 1},
                   Case{Routine::Fast, -2}, Case{Routine::Rev, -2}}) {
        int out[4] = {5, 5, 5, 5};
        double ret = 1.0;
        std::string text = captureStdout([&] {
            ret = k.r == Routine::Fast ? getVGFast(v, &k.n, &mode, &tau, out) : getRevVGFast(v, &k.n, &mode, &tau, out);
        });
        EXPECT_EQ(ret, 0.0);
        EXPECT_EQ(text, "");
        for (int x : out) EXPECT_EQ(x, 5);
        EXPECT_EQ(outSets[0].degree, 31);
        EXPECT_EQ(SlopMatrix[0][1], -7.0);
    }
}

TEST(NaturalVisibility, NaNSlopeHidesFartherSamplesAndWeightsWrapLikeTheMachine) {
    // The NaN running maximum is never exceeded; trunc of NaN is INT32_MIN,
    // whose absolute value wraps to itself, so the edge weighs INT32_MIN + 1.
    Call c = callGraph(Routine::Fast, {0, std::nan(""), 1, 2}, 0, 1, 8);
    const int heavy = -2147483647;
    EXPECT_EQ(c.out, (std::vector<int>{1, 2, 2, 1, heavy, INT32_MIN, heavy + 2, 2}));
}
