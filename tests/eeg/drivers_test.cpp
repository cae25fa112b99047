#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

// Quantised pseudo-random samples with frequent ties, as in real trials.
double sampleValue(int t, int c, int s) {
    unsigned h = static_cast<unsigned>(s * 2654435761u) ^ static_cast<unsigned>((c + 1) * 40503u + t * 977u);
    h ^= h >> 13;
    return static_cast<double>(h % 29u) * 0.48828125 - 5.0;
}

std::string writeTrial(const std::string& name, int channels, int t, double (*value)(int, int, int)) {
    static std::string dir = [] {
        std::string tmpl = testing::TempDir() + "zemba_drivers_XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        return std::string(mkdtemp(buf.data()));
    }();
    std::ostringstream o;
    o << "# co2a0000001.rd\n# 120 trials, 64 chans, 416 samples 368 post_stim samples\n"
         "# 3.906000 msecs uV\n# S1 obj , trial 0\n";
    for (int c = 0; c < channels; ++c) {
        o << "# K" << c << " chan " << c << "\n";
        for (int s = 0; s < 256; ++s) {
            char line[64];
            std::snprintf(line, sizeof line, "%d K%d %d %.8f\n", t, c, s, value(t, c, s));
            o << line;
        }
    }
    std::string path = dir + "/" + name;
    std::ofstream(path) << o.str();
    return path;
}

void loadTrials(std::vector<std::string> paths) {
    std::vector<char*> ptrs;
    for (auto& p : paths) ptrs.push_back(&p[0]);
    int n = static_cast<int>(paths.size()), select = 1;
    std::string opt = "x";
    char* optPtr = &opt[0];
    double out[3];
    captureStdout([&] { LoadAlcoholFile(ptrs.data(), &n, &select, nullptr, &optPtr, nullptr, out); });
    ASSERT_NE(out[0], -1.0);
}

// Degrees of the horizontal visibility graph by the pairwise definition.
std::vector<int> pairwiseDegrees(const double* x, int n, bool inverted) {
    std::vector<int> deg(n, 0);
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            bool sees = true;
            for (int k = i + 1; k < j && sees; ++k)
                sees = inverted ? (x[k] > x[i] && x[k] > x[j]) : (x[k] < x[i] && x[k] < x[j]);
            if (sees) ++deg[i], ++deg[j];
        }
    }
    return deg;
}

struct Expected {
    std::vector<double> out;
    std::string printed;  // what the pair routines print
};

// Pair values from the matching or mutual information of independently built
// degree sequences of channels 0..nch-1, file 0.
Expected expectedFor(int nch, int len, bool mi) {
    std::vector<std::vector<int>> deg;
    for (int c = 0; c < nch; ++c) deg.push_back(pairwiseDegrees(myData.samples[c], len, mi));
    std::vector<double> acc(nch, 0.0);
    double sum = 0.0;
    Expected e;
    for (int a = 0; a < nch - 1; ++a) {
        for (int b = a + 1; b < nch; ++b) {
            double s = 0.0;
            e.printed += captureStdout([&] {
                if (mi) {
                    std::vector<double> da(deg[a].begin(), deg[a].end()), db(deg[b].begin(), deg[b].end());
                    int n = len;
                    calculateMutualInformation(da.data(), db.data(), &n, &s);
                } else {
                    s = Z_HVG_Match(static_cast<const int*>(deg[a].data()), deg[b].data(), len);
                }
            });
            sum += s;
            acc[a] += s;
            acc[b] += s;
        }
    }
    e.out.push_back(sum / static_cast<double>(nch * (nch - 1)));
    for (int c = 0; c < nch; ++c) e.out.push_back(acc[c] / nch);
    return e;
}

void expectSameDoubles(const std::vector<double>& got, const std::vector<double>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        if (std::isnan(want[i])) {
            EXPECT_TRUE(std::isnan(got[i])) << i;
        } else {
            EXPECT_EQ(got[i], want[i]) << i;
        }
    }
}

class Drivers : public ::testing::Test {
protected:
    void SetUp() override {
        static const std::string first = writeTrial("first", 64, 0, sampleValue);
        static const std::string second = writeTrial("second", 64, 1, sampleValue);
        loadTrials({first, second});  // the drivers read file 0 only
    }
};

std::string fmt(const char* f, double a, int n, double b) {
    char buf[128];
    std::snprintf(buf, sizeof buf, f, a, n, b);
    return buf;
}

}  // namespace

TEST_F(Drivers, MatchingOfEveryPairIsAveragedOverPairsAndPerChannel) {
    for (int nch : {2, 4, 9}) {
        const int len = 256;
        Expected e = expectedFor(nch, len, false);
        std::vector<double> out(nch + 3, 77.0);
        double* r = nullptr;
        std::string printed = captureStdout([&] { r = RunHVGS(nch, len, out.data()); });
        ASSERT_EQ(r, out.data());
        expectSameDoubles(std::vector<double>(out.begin(), out.begin() + nch + 1), e.out);
        EXPECT_EQ(out[nch + 1], 77.0);
        EXPECT_EQ(printed, e.printed + fmt("sum=%6.1f, r[%d]=%7.5f\n", e.out[0], nch, e.out[nch]));
        if (nch == 2) {
            EXPECT_EQ(out[1], out[2]);
        }
        for (int c = 0; c < nch; ++c) {
            std::vector<int> deg = pairwiseDegrees(myData.samples[c], len, false);
            for (int i = 0; i < len; ++i) ASSERT_EQ(DegreeMatrix[c][i], deg[i]);
        }
    }
}

TEST_F(Drivers, MutualInformationOfEveryPairIsAveragedOverPairsAndPerChannel) {
    for (int nch : {2, 4}) {
        for (int len : {256, 40}) {
            Expected e = expectedFor(nch, len, true);
            std::vector<double> out(nch + 3, 77.0);
            double* r = nullptr;
            std::string printed = captureStdout([&] { r = RunMI(nch, len, out.data()); });
            ASSERT_EQ(r, out.data());
            expectSameDoubles(std::vector<double>(out.begin(), out.begin() + nch + 1), e.out);
            EXPECT_EQ(out[nch + 1], 77.0);
            char line[64];
            std::snprintf(line, sizeof line, "sum=%6.1f\n", e.out[0]);
            EXPECT_EQ(printed, e.printed + line);
            std::vector<int> inv = pairwiseDegrees(myData.samples[nch - 1], len, true);
            for (int i = 0; i < len; ++i) ASSERT_EQ(SlopMatrix[nch - 1][i], inv[i]);
        }
    }
}

TEST_F(Drivers, SingleChannelHasNoPairs) {
    double out[3] = {5.0, 5.0, 5.0};
    std::string printed = captureStdout([&] { RunHVGS(1, 256, out); });
    EXPECT_TRUE(std::isnan(out[0]));
    EXPECT_EQ(out[1], 0.0);
    EXPECT_EQ(out[2], 5.0);
    EXPECT_TRUE(std::regex_match(printed, std::regex("sum= *-?nan, r\\[1\\]=0\\.00000\n"))) << printed;
    double mi[3] = {5.0, 5.0, 5.0};
    printed = captureStdout([&] { RunMI(1, 256, mi); });
    EXPECT_TRUE(std::isnan(mi[0]));
    EXPECT_EQ(mi[1], 0.0);
    EXPECT_TRUE(std::regex_match(printed, std::regex("sum= *-?nan\n"))) << printed;
}

// Rising channels: degrees 1, 2, ..., 2, 1 and no peak, so each pair matches 1.0.
TEST(DriversEqualPairs, FourChannelsOfEqualPairValues) {
    static const std::string rising =
        writeTrial("rising", 4, 0, [](int, int c, int s) { return s * 0.5 + c * 3.0; });
    loadTrials({rising});
    double out[6] = {0, 0, 0, 0, 0, -1.0};
    std::string printed = captureStdout([&] { RunHVGS(4, 256, out); });
    EXPECT_EQ(out[0], 0.5);
    for (int c = 1; c <= 4; ++c) EXPECT_EQ(out[c], 0.75);
    EXPECT_EQ(out[5], -1.0);
    EXPECT_EQ(printed, "sum=   0.5, r[4]=0.75000\n");
}

TEST(DriversGuards, OutOfRangeCountsReturnNullAndTouchNothing) {
    struct Case { int nch, len; bool mi; };
    const Case cases[] = {
        {0, 256, false}, {-3, 256, false}, {65, 256, false}, {4, 258, false}, {4, -1, false},
        {0, 256, true},  {-1, 256, true},  {66, 8, true},    {4, 517, true},  {4, -5, true},
    };
    for (const Case& k : cases) {
        std::vector<double> out(80, 9.0);
        int32_t degreeBefore = DegreeValue[0];
        double* r = out.data();
        std::string printed = captureStdout([&] {
            r = k.mi ? RunMI(k.nch, k.len, out.data()) : RunHVGS(k.nch, k.len, out.data());
        });
        EXPECT_EQ(r, nullptr) << k.nch << " " << k.len;
        EXPECT_EQ(printed, "");
        for (double v : out) ASSERT_EQ(v, 9.0);
        EXPECT_EQ(DegreeValue[0], degreeBefore);
    }
}

TEST(DriversGuards, LargestAcceptedSizesRun) {
    std::vector<double> out(70, 9.0);
    captureStdout([&] {
        EXPECT_EQ(RunHVGS(64, 257, out.data()), out.data());
        EXPECT_EQ(RunMI(65, 516, out.data()), out.data());
    });
    EXPECT_EQ(out[66], 9.0);
}
