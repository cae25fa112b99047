#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "reference/visibility.h"
#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

// The seven features from their definitions: the graph of the series with the
// routine's weights, its forward degrees for the asymmetry taken from the
// graph of the truncated series, each term of G truncated.
std::vector<double> referenceFeatures(const std::vector<double>& x) {
    const size_t n = x.size();
    std::vector<long> t(n);
    for (size_t k = 0; k < n; ++k) t[k] = static_cast<long>(x[k]);
    std::vector<size_t> dfTrunc(n);
    for (const zemba_ref::Edge& e : zemba_ref::horizontalEdges(t)) dfTrunc[e.first]++;
    auto weight = [&](size_t a, size_t b) {
        const double diff = x[b] - x[a];
        return static_cast<double>(b == a + 1 ? std::labs(static_cast<long>(diff)) + 1
                                              : std::labs(static_cast<long>(diff * double(b - a))) + 1);
    };
    return zemba_ref::irreversibility(n, zemba_ref::horizontalEdges(x), weight, &dfTrunc, true);
}

std::vector<double> runKld(std::vector<double> x, std::string* printed = nullptr) {
    std::vector<double> out(7, -99.0);
    int n = static_cast<int>(x.size());
    double ret = 0.0;
    std::string text = captureStdout([&] { ret = Z_ZEMBA_KLD(x.data(), &n, out.data()); });
    EXPECT_EQ(ret, out[0]);
    if (printed) *printed = text;
    return out;
}

void expectFeatures(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_DOUBLE_EQ(got[i], want[i]) << "feature " << i;
}

}  // namespace

// ---- Z_ZEMBA_Entropy --------------------------------------------------------

TEST(VisibilityEntropy, ConstantSeriesPrintsPathDegreesAndReturnsLn2) {
    std::vector<double> x = {7, 7, 7, 7};
    double e = 0.0;
    std::string text = captureStdout([&] { e = Z_ZEMBA_Entropy(x.data(), 2, 4); });
    EXPECT_EQ(text, "d(0)=1d(1)=2d(2)=2d(3)=1ratio=1.0000 maxData=     2\n");
    EXPECT_DOUBLE_EQ(e, std::log(2.0));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(outSets[i].weight, i == 0 || i == 3 ? 1.0 : 2.0);
}

TEST(VisibilityEntropy, InvertedCriterionSeesUnderRidges) {
    std::vector<double> x = {5, 1, 3, 2, 4};
    std::string text = captureStdout([&] { Z_ZEMBA_Entropy(x.data(), 3, 5); });
    EXPECT_EQ(text, "d(0)=1d(1)=3d(2)=2d(3)=3d(4)=1ratio=1.0000 maxData=     3\n");
    const double weights[] = {5, 11, 5, 8, 3};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(outSets[i].weight, weights[i]);
}

TEST(VisibilityEntropy, PairWeightsTruncateDifferenceBeforeScalingByDistance) {
    // (0,2) weighs |trunc(1.5)| * 2 + 1 = 3, not |trunc(3.0)| + 1 = 4.
    std::vector<double> x = {2.5, 0, 1};
    captureStdout([&] { Z_ZEMBA_Entropy(x.data(), 2, 3); });
    EXPECT_EQ(outSets[0].weight, 3.0 + 3.0);
    EXPECT_EQ(outSets[1].weight, 3.0 + 2.0);
    EXPECT_EQ(outSets[2].weight, 2.0 + 3.0);
}

TEST(VisibilityEntropy, EqualSamplesBlockAndNaNDoesNot) {
    std::vector<double> x = {3, 1, 3, 1, 3};
    std::string text = captureStdout([&] { Z_ZEMBA_Entropy(x.data(), 2, 5); });
    EXPECT_EQ(text.substr(0, 25), "d(0)=2d(1)=2d(2)=4d(3)=2d");
    std::vector<double> y = {1, std::nan(""), 1};
    text = captureStdout([&] { Z_ZEMBA_Entropy(y.data(), 2, 3); });
    EXPECT_EQ(text.substr(0, 18), "d(0)=2d(1)=2d(2)=2");
}

TEST(VisibilityEntropy, DegreesMatchPairwiseDefinitionOnBothCriteria) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> small(0, 6);
    for (int trial = 0; trial < 20; ++trial) {
        const int n = 40 + trial;
        std::vector<double> x(n);
        for (double& v : x) v = small(rng) + (trial % 2 ? 0.25 : 0.0);
        for (int criterion : {2, 3}) {
            captureStdout([&] { Z_ZEMBA_Entropy(x.data(), criterion, n); });
            std::vector<int> deg(n, 0);
            for (int a = 0; a < n; ++a)
                for (int b = a + 1; b < n; ++b)
                    if (zemba_ref::horizontalSees(x, a, b, criterion > 2)) deg[a]++, deg[b]++;
            for (int i = 0; i < n; ++i) ASSERT_EQ(outSets[i].degree, deg[i]) << "node " << i << " criterion " << criterion;
        }
    }
}

TEST(VisibilityEntropy, OversizedOrNegativeLengthReturnsZeroAndTouchesNothing) {
    outSets[0].degree = 77;
    double x[2] = {1, 2};
    for (int n : {ZEMBA_NODE_CAP + 1, -1}) {
        double e = 1.0;
        std::string text = captureStdout([&] { e = Z_ZEMBA_Entropy(x, 2, n); });
        EXPECT_EQ(e, 0.0);
        EXPECT_EQ(text, "");
        EXPECT_EQ(outSets[0].degree, 77);
    }
}

// ---- Z_ZEMBA_KLD --------------------------------------------------------------

TEST(VisibilityDivergence, WorkedSeriesGivesAllSevenFeaturesAndPrintsEntropy) {
    std::string text;
    std::vector<double> out = runKld({5, 1, 3, 2, 4}, &text);
    EXPECT_EQ(text, "d(0)=3d(1)=2d(2)=4d(3)=2d(4)=3ratio=1.0000 maxData=     4\nEntropy=1.0549\n");
    const double e = -(2 * 0.4 * std::log(0.4) + 0.2 * std::log(0.2));
    EXPECT_EQ(out[0], 0.0);
    EXPECT_DOUBLE_EQ(out[1], e);
    EXPECT_DOUBLE_EQ(out[2], 2.8);
    EXPECT_DOUBLE_EQ(out[3], 5.2);
    EXPECT_DOUBLE_EQ(out[4], std::sqrt(6.0 / 5.0));
    // Weight-averaged forward degrees of later neighbours: 1, 2, 2/5, 0, 0.
    EXPECT_DOUBLE_EQ(out[5], 3.4 / 5);
    // 15 (no backward weight at node 0), 0, 9/8, 9/2, 0.
    EXPECT_DOUBLE_EQ(out[6], 20.625 / 5);
}

TEST(VisibilityDivergence, LeavesBackwardTablesAndBothWeightTrianglesInBuffers) {
    runKld({5, 1, 3, 2, 4});
    const int db[] = {0, 1, 2, 1, 3};
    const double wb[] = {0, 5, 8, 2, 11};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(outSets[k].degree, db[k]);
        EXPECT_EQ(outSets[k].weight, wb[k]);
    }
    // Reversed truncated series 4, 2, 3, 1, 5: counts of each later position.
    const int back[] = {0, 1, 2, 1, 3};
    const double backW[] = {0, 3, 5, 3, 15};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(inSets[k].degree, back[k]);
        EXPECT_EQ(inSets[k].weight, backW[k]);
    }
    const double cells[5][5] = {{0, 3, 3, 0, 5},
                                {5, 0, 2, 0, 0},
                                {5, 3, 0, 3, 5},
                                {0, 0, 2, 0, 5},
                                {5, 0, 3, 3, 0}};
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) EXPECT_EQ(SlopMatrix[r][c], cells[r][c]) << r << "," << c;
}

TEST(VisibilityDivergence, DivergenceSkipsDegreesMissingOnEitherSide) {
    std::vector<double> out = runKld({2, 0, 1, 3, 1, 4, 0});
    EXPECT_DOUBLE_EQ(out[0], 3.0 / 7 * std::log(2.25));
}

TEST(VisibilityDivergence, StrictlyIncreasingSeriesHasNoDivergence) {
    std::vector<double> x(50);
    for (int i = 0; i < 50; ++i) x[i] = 0.5 * i * i + i;
    std::vector<double> out = runKld(x);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(outSets[0].degree, 0);
    for (int k = 1; k < 50; ++k) EXPECT_EQ(outSets[k].degree, 1);
    EXPECT_DOUBLE_EQ(out[2], 2.0 * 49 / 50);
}

TEST(VisibilityDivergence, SingleSampleGivesZerosAroundEntropy) {
    std::vector<double> out = runKld({3.5});
    for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], 0.0) << i;
}

TEST(VisibilityDivergence, RandomSeriesMatchesFeaturesFromDefinitions) {
    std::mt19937 rng(5);
    std::normal_distribution<double> gauss(0.0, 20.0);
    std::uniform_int_distribution<int> level(-3, 3);
    for (int trial = 0; trial < 12; ++trial) {
        std::vector<double> x(30 + 17 * trial);
        for (double& v : x) v = trial % 3 == 0 ? level(rng) : gauss(rng);
        expectFeatures(runKld(x), referenceFeatures(x));
    }
}

TEST(VisibilityDivergence, ZeroOrOversizedLengthReturnsZeroAndTouchesNothing) {
    double x[2] = {1, 2};
    inSets[0].degree = 55;
    SlopMatrix[0][0] = 9.5;
    for (int n : {0, -3, ZEMBA_SERIES_CAP + 1}) {
        double out[7] = {-1, -1, -1, -1, -1, -1, -1};
        double r = 1.0;
        std::string text = captureStdout([&] { r = Z_ZEMBA_KLD(x, &n, out); });
        EXPECT_EQ(r, 0.0);
        EXPECT_EQ(text, "");
        for (double v : out) EXPECT_EQ(v, -1.0);
        EXPECT_EQ(inSets[0].degree, 55);
        EXPECT_EQ(SlopMatrix[0][0], 9.5);
    }
}

// Every channel of the real trial files, parsed here from their text.
TEST(VisibilityDivergence, RealTrialChannelsGiveFiniteFeaturesMatchingDefinitions) {
    const char* files[] = {"co2a0000364.rd.000", "co2a0000364.rd.007", "co2a0000364.rd.009", "co2a0000365.rd.103",
                           "co2a0000368.rd.000", "co2a0000368.rd.091", "co2c0000337.rd.000", "co2c0000337.rd.017",
                           "co2c0000337.rd.021", "co2c0000340.rd.108", "co2c0000341.rd.026", "co2c0000342.rd.004"};
    int checked = 0;
    for (const char* name : files) {
        std::ifstream in(std::string(ZEMBA_DATA_DIR) + "/" + name);
        ASSERT_TRUE(in.good()) << name;
        std::string line;
        for (int h = 0; h < 4; ++h) std::getline(in, line);
        std::vector<std::vector<double>> channels;
        while (std::getline(in, line)) {
            if (line.rfind("# ", 0) == 0) {
                channels.emplace_back();
                continue;
            }
            std::istringstream fields(line);
            int trial = 0, sample = 0;
            std::string chan;
            double value = 0.0;
            fields >> trial >> chan >> sample >> value;
            ASSERT_FALSE(channels.empty());
            channels.back().push_back(value);
        }
        ASSERT_EQ(channels.size(), 64u) << name;
        for (size_t c = 0; c < channels.size(); ++c) {
            ASSERT_EQ(channels[c].size(), 256u);
            std::vector<double> out = runKld(channels[c]);
            for (int i = 0; i < 7; ++i) ASSERT_TRUE(std::isfinite(out[i])) << name << " channel " << c;
            if (c % 8 == 0) expectFeatures(out, referenceFeatures(channels[c]));
            ++checked;
        }
    }
    EXPECT_EQ(checked, 12 * 64);
}

TEST(VisibilityDivergence, ExtremeAndMissingSamplesStillGiveFiniteFeatures) {
    // Truncations out of range and NaN differences take the machine's
    // INT32_MIN path; the features stay finite and the degrees consistent.
    std::vector<double> x = {1e300, std::nan(""), -1e300, 3, 2e10, -4, 0.5};
    std::vector<double> out = runKld(x);
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(std::isfinite(out[i])) << i;
    int backward = 0;
    for (int k = 0; k < 7; ++k) backward += outSets[k].degree;
    EXPECT_DOUBLE_EQ(out[2], 2.0 * backward / 7);
}
