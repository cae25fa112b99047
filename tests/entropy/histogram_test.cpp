#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

double entropy(std::vector<int> v, int mode, std::string* printed = nullptr) {
    int n = int(v.size());
    if (v.empty()) v.push_back(0);
    double stored = 0, returned = 0;
    std::string out = captureStdout([&] { returned = calculateEntropy(v.data(), &n, &mode, &stored); });
    EXPECT_EQ(returned, stored);
    if (printed) *printed = out;
    return stored;
}

}  // namespace

TEST(HistogramEntropy, ShannonModeCountsEveryBucketUpToTheMaximum) {
    EXPECT_NEAR(entropy({0, 1}, 1), std::log(2.0), 1e-15);
    EXPECT_NEAR(entropy({3, 0, 3, 7}, 1), -(0.5 * std::log(0.5) + 0.5 * std::log(0.25)), 1e-15);
    EXPECT_EQ(entropy({4, 4, 4}, 1), 0.0);
    EXPECT_EQ(entropy({0}, 1), 0.0);
}

TEST(HistogramEntropy, OtherModeLeavesOutTheMaximumBucketAndIsNegative) {
    EXPECT_NEAR(entropy({0, 1}, 0), -0.5 * std::log(2.0), 1e-15);
    EXPECT_EQ(entropy({4, 4, 4}, 2), 0.0);
    EXPECT_EQ(entropy({0}, 0), 0.0);
}

TEST(HistogramEntropy, PrintsRatioOneAndRawMaximumOnEveryCall) {
    std::string printed;
    entropy({5, 5}, 1, &printed);
    EXPECT_EQ(printed, "ratio=1.0000 maxData=     5\n");
    entropy({20000, 10000}, 1, &printed);
    EXPECT_EQ(printed, "ratio=1.0000 maxData= 20000\n");
}

TEST(HistogramEntropy, EmptyInputReadsFirstValueAndGivesZero) {
    int v[] = {42}, n = 0, mode = 1;
    double r = 9;
    std::string printed = captureStdout([&] { calculateEntropy(v, &n, &mode, &r); });
    EXPECT_EQ(printed, "ratio=1.0000 maxData=    42\n");
    EXPECT_EQ(r, 0.0);
    mode = 0;
    captureStdout([&] { calculateEntropy(v, &n, &mode, &r); });
    EXPECT_EQ(r, 0.0);
}

TEST(HistogramEntropy, LargeValuesAreRescaledIntoTheLastBucket) {
    inSets[12193].degree = 5;
    EXPECT_NEAR(entropy({10000, 20000}, 1), std::log(2.0), 1e-15);
    EXPECT_EQ(inSets[6096].degree, 1);  // 10000 * 12193 / 20000 = 6096.5
    EXPECT_EQ(inSets[12193].degree, 1);
}

TEST(HistogramEntropy, MaximumAtLastBucketNeedsNoRescale) {
    entropy({12193, 12192, 0}, 1);
    EXPECT_EQ(inSets[12193].degree, 1);
    EXPECT_EQ(inSets[12192].degree, 1);
    EXPECT_EQ(inSets[0].degree, 1);
    EXPECT_EQ(inSets[1].degree, 0);
}

TEST(HistogramEntropy, LeavesHistogramAndClearsOnlyUpToOnePastMaximum) {
    inSets[2].weight = 3.5;
    inSets[4].degree = 8;
    inSets[5].degree = 9;
    entropy({0, 1, 3, 3}, 1);
    EXPECT_EQ(inSets[0].degree, 1);
    EXPECT_EQ(inSets[1].degree, 1);
    EXPECT_EQ(inSets[2].degree, 0);
    EXPECT_EQ(inSets[2].weight, 0.0);
    EXPECT_EQ(inSets[3].degree, 2);
    EXPECT_EQ(inSets[4].degree, 0);
    EXPECT_EQ(inSets[5].degree, 9);
}

TEST(HistogramEntropy, NegativeValuesAreLeftOutInsteadOfWrittenBeforeTheHistogram) {
    std::vector<unsigned char> before(sizeof SortList1);
    std::memcpy(before.data(), &SortList1, sizeof SortList1);
    // Counts 2 and 1 over n = 4: the negative value still counts in n.
    EXPECT_NEAR(entropy({-1, 0, 0, 1}, 1), -(0.5 * std::log(0.5) + 0.25 * std::log(0.25)), 1e-15);
    EXPECT_EQ(inSets[0].degree, 2);
    EXPECT_EQ(inSets[1].degree, 1);
    EXPECT_EQ(std::memcmp(before.data(), &SortList1, sizeof SortList1), 0);
    EXPECT_EQ(entropy({-5, -2}, 1), 0.0);
}
