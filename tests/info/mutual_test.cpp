#include "zemba.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

double mutualInformation(std::vector<double> x, std::vector<double> y, std::string* printed = nullptr) {
    int n = static_cast<int>(x.size());
    double mi = -7.0;
    std::string out = captureStdout([&] { calculateMutualInformation(x.data(), y.data(), &n, &mi); });
    if (printed) *printed = out;
    return mi;
}

// MI from the occupied (state, state) pairs only, counted in ordered maps.
double countedMutualInformation(const std::vector<double>& x, const std::vector<double>& y) {
    std::map<std::pair<long, long>, int> joint;
    std::map<long, int> fx, fy;
    for (size_t i = 0; i < x.size(); ++i) {
        long a = static_cast<long>(std::floor(x[i])), b = static_cast<long>(std::floor(y[i]));
        ++joint[{a, b}];
        ++fx[a];
        ++fy[b];
    }
    const double n = static_cast<double>(x.size());
    double mi = 0.0;
    for (const auto& kv : joint)
        mi += kv.second / n * std::log(kv.second * n / (fx[kv.first.first] * double(fy[kv.first.second])));
    return mi;
}

void poisonTables() {
    firstNormalisedVector[0] = secondNormalisedVector[0] = 4242;
    firstStateCounts[0] = secondStateCounts[0] = jointStateCounts[0] = 4242;
    firstStateProbs[0] = secondStateProbs[0] = jointStateProbs[0] = 42.0;
}

void expectTablesUntouched() {
    EXPECT_EQ(firstNormalisedVector[0], 4242);
    EXPECT_EQ(secondNormalisedVector[0], 4242);
    EXPECT_EQ(firstStateCounts[0], 4242);
    EXPECT_EQ(jointStateCounts[0], 4242);
    EXPECT_EQ(jointStateProbs[0], 42.0);
    EXPECT_EQ(secondStateProbs[0], 42.0);
}

}  // namespace

TEST(Discretising, SamplesSharingAnIntegerPartShareAState) {
    double x[] = {-0.1, 0.2, 0.9};
    int out[3] = {9, 9, 9};
    EXPECT_EQ(normaliseArray(x, out, 3), 2);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(out[2], 1);
}

TEST(Discretising, EmptyRangeStatesStillCountAndEmptyInputWritesNothing) {
    const int x[] = {5, 0, 3};
    int out[3] = {9, 9, 9};
    EXPECT_EQ(normaliseArray(x, out, 3), 6);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 3);
    EXPECT_EQ(normaliseArray(x, out, 1), 1);
    out[0] = 9;
    EXPECT_EQ(normaliseArray(x, out, 0), 0);
    EXPECT_EQ(normaliseArray(x, out, -3), 0);
    EXPECT_EQ(out[0], 9);
}

TEST(Discretising, ExtremeValuesWrapInsteadOfTrapping) {
    const int x[] = {INT_MIN, INT_MAX};
    int out[2];
    EXPECT_EQ(normaliseArray(x, out, 2), 0);  // 2^32 states wrap to 0
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], -1);
    double y[] = {1e300, NAN, -1e300};
    int outY[3];
    EXPECT_EQ(normaliseArray(y, outY, 3), 1);  // all three fall on INT32_MIN
}

TEST(JointProbability, IntegerVersionPrintsEverySampleAndFillsTables) {
    const int x[] = {3, 5, 4}, y[] = {1, 1, 2};
    JointProbabilityResult r{};
    std::string out = captureStdout([&] { r = calculateJointProbability(x, y, 3); });
    EXPECT_EQ(out, "first=3\nsecond=2\njointNumStates=6\n0\t0\t0\n2\t0\t2\n1\t1\t4\n");
    EXPECT_EQ(r.firstNumStates, 3);
    EXPECT_EQ(r.secondNumStates, 2);
    EXPECT_EQ(r.jointNumStates, 6);
    EXPECT_EQ(r.jointProbabilities, jointStateProbs);
    EXPECT_EQ(r.firstProbabilities, firstStateProbs);
    EXPECT_EQ(r.secondProbabilities, secondStateProbs);
    const int joint[] = {1, 0, 1, 0, 1, 0};
    for (int j = 0; j < 6; ++j) {
        EXPECT_EQ(jointStateCounts[j], joint[j]) << j;
        EXPECT_EQ(jointStateProbs[j], joint[j] / 3.0) << j;
    }
    EXPECT_EQ(secondStateCounts[0], 2);
    EXPECT_EQ(secondStateProbs[1], 1.0 / 3.0);
    EXPECT_EQ(firstNormalisedVector[1], 2);
    EXPECT_EQ(secondNormalisedVector[2], 1);
}

TEST(JointProbability, DoubleVersionPrintsOnlyTheStateCounts) {
    double x[] = {0.0, 5.5}, y[] = {2.0, 2.9};
    std::string out = captureStdout([&] { calculateJointProbability(x, y, 2); });
    EXPECT_EQ(out, "first=6\nsecond=1\njointNumStates=6\n");
}

TEST(MutualInformation, SmallPairMatchesHandComputation) {
    // states a = 0,0,1,1 and b = 0,1,1,1: 0.25 ln 2 + 0.25 ln(2/3) + 0.5 ln(4/3)
    std::string printed;
    double mi = mutualInformation({0.3, 0.7, 1.2, 1.9}, {5.5, 6.1, 6.9, 6.0}, &printed);
    EXPECT_NEAR(mi, 1.5 * std::log(2.0) - 0.75 * std::log(3.0), 1e-15);
    EXPECT_EQ(printed, "first=2\nsecond=2\njointNumStates=4\n");
}

TEST(MutualInformation, IdenticalEvenlySpreadSeriesGiveLogOfStateCount) {
    std::vector<double> x;
    for (int rep = 0; rep < 3; ++rep)
        for (int k = 0; k < 5; ++k) x.push_back(k + 0.5);
    EXPECT_NEAR(mutualInformation(x, x), std::log(5.0), 1e-14);
}

TEST(MutualInformation, ConstantSeriesCarriesNoInformation) {
    EXPECT_EQ(mutualInformation({0.1, 3.2, 1.7, 2.2}, {4.0, 4.5, 4.9, 4.1}), 0.0);
    EXPECT_EQ(mutualInformation({}, {}), 0.0);
}

TEST(MutualInformation, AgreesWithPairCountOnRandomData) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-6.0, 9.0);
    for (int trial = 0; trial < 20; ++trial) {
        const int n = 1 + static_cast<int>(rng() % 400);
        std::vector<double> x(n), y(n);
        for (int i = 0; i < n; ++i) {
            x[i] = u(rng);
            y[i] = (trial % 2) ? x[i] * 0.5 + u(rng) * 0.3 : u(rng) * 2.0;
        }
        EXPECT_NEAR(mutualInformation(x, y), countedMutualInformation(x, y), 1e-12) << trial;
    }
}

TEST(MutualInformationGuards, TooManySamplesRejectedBeforeTablesAreTouched) {
    std::vector<double> x(4097, 1.0);
    poisonTables();
    std::string printed;
    EXPECT_TRUE(std::isnan(mutualInformation(x, x, &printed)));
    EXPECT_EQ(printed, "joint probability: n=4097 exceeds 4096 samples; nothing computed\n");
    expectTablesUntouched();
    std::vector<int> xi(5000, 1);
    JointProbabilityResult r{};
    printed = captureStdout([&] { r = calculateJointProbability(xi.data(), xi.data(), 5000); });
    EXPECT_EQ(printed, "joint probability: n=5000 exceeds 4096 samples; nothing computed\n");
    EXPECT_EQ(r.jointNumStates, 0);
    EXPECT_EQ(r.firstNumStates, 0);
    EXPECT_EQ(r.secondNumStates, 0);
    EXPECT_EQ(r.jointProbabilities, jointStateProbs);
    expectTablesUntouched();
}

TEST(MutualInformationGuards, JointStatesBeyondCapacityRejected) {
    poisonTables();
    std::string printed;
    EXPECT_TRUE(std::isnan(mutualInformation({0.0, 64.0}, {0.0, 63.0}, &printed)));
    EXPECT_EQ(printed, "joint probability: 65 x 64 joint states exceed 4096; nothing computed\n");
    expectTablesUntouched();
    const int x[] = {INT_MIN, INT_MAX};
    JointProbabilityResult r{};
    printed = captureStdout([&] { r = calculateJointProbability(x, x, 2); });
    EXPECT_EQ(printed, "joint probability: 4294967296 x 4294967296 joint states exceed 4096; nothing computed\n");
    EXPECT_EQ(r.jointNumStates, 0);
    expectTablesUntouched();
    // exactly at capacity is accepted
    EXPECT_NEAR(mutualInformation({0.0, 63.0}, {0.0, 63.0}, &printed), std::log(2.0), 1e-15);
    EXPECT_EQ(printed, "first=64\nsecond=64\njointNumStates=4096\n");
}

TEST(MutualInformationGuards, IntegerPartsOutside32BitsRejected) {
    for (double bad : {3e9, -3e9, double(NAN), double(INFINITY)}) {
        poisonTables();
        std::string printed;
        EXPECT_TRUE(std::isnan(mutualInformation({1.0, bad}, {1.0, 2.0}, &printed)));
        EXPECT_EQ(printed, "joint probability: a sample's integer part does not fit 32 bits; nothing computed\n");
        expectTablesUntouched();
    }
}
