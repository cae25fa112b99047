#include "zemba.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

using Seq = std::vector<int>;

struct Outcome {
    double ret;
    double out[4];
    std::string printed;
};

Outcome backMatch(Seq a, Seq b) {
    int n = int(a.size());
    Outcome r{0.0, {-5, -5, -5, -5}, ""};
    r.printed = captureStdout([&] { r.ret = Z_HVG_Match_back(a.data(), b.data(), &n, nullptr, nullptr, r.out); });
    return r;
}

Outcome similaritySum(Seq a, Seq b, double q = 1.0, double rr = 1.0) {
    int n = int(a.size());
    Outcome r{0.0, {-5, -5, -5, -5}, ""};
    r.printed = captureStdout([&] { r.ret = Z_HVGS(a.data(), b.data(), &n, &q, &rr, r.out); });
    return r;
}

std::string fmt(const char* f, double x, double y) {
    char buf[128];
    std::snprintf(buf, sizeof buf, f, x, y);
    return buf;
}

// Back-matching rebuilt from the lists of value-2 positions, paired by rank.
struct BackReference {
    int diff, dmin, bestLag = 0;
    double best = 0.0;
    std::map<int, int> histogram;
    std::string printed;

    BackReference(const Seq& a, const Seq& b) {
        const int n = int(a.size());
        std::vector<int> ta, tb;
        for (int i = 0; i < n; ++i) {
            if (a[i] == 2) ta.push_back(i);
            if (b[i] == 2) tb.push_back(i);
        }
        for (size_t j = 0; j < std::min(ta.size(), tb.size()); ++j) ++histogram[ta[j] - tb[j]];
        dmin = histogram.empty() ? n : histogram.begin()->first;
        diff = n;
        int most = -1;
        for (const auto& kv : histogram)
            if (kv.second > most) most = kv.second, diff = kv.first;
        char buf[64];
        std::snprintf(buf, sizeof buf, "diff=%d:%d\n", diff, dmin);
        printed = buf;
        // aligned pairs a[i] with b[i - diff]
        double sa = 0, sb = 0;
        int len = 0;
        for (int i = 0; i < n; ++i)
            if (i - diff >= 0 && i - diff < n) sa += a[i], sb += b[i - diff], ++len;
        const double mA = sa / len, mB = sb / len;
        printed += fmt("mean=(%6.2f:%6.2f\n", mA, mB);
        double ssA = 0, ssB = 0;
        for (int i = 0; i < n; ++i)
            if (i - diff >= 0 && i - diff < n)
                ssA += (a[i] - mA) * (a[i] - mA), ssB += (b[i - diff] - mB) * (b[i - diff] - mB);
        const double sd = std::sqrt(ssA * ssB);
        printed += fmt("sd=(%6.2f)\n", sd, 0);
        int W = 2 * std::abs(diff) + 2;
        if (W > n / 2) W = n / 2 - 1;
        for (int lag = -W; lag < W; ++lag) {
            double c = 0;
            for (int i = std::max(diff, 0); i < n; ++i) {
                const int j = diff >= 0 ? i - lag : i + lag;
                if (j >= 0 && j < n) c += (a[i] - mA) * (b[j] - mB);
            }
            if (c / sd > best) best = c / sd, bestLag = lag;
        }
    }
};

// Pearson correlation of two equally long segments from raw power sums.
double segmentPearson(const int* x, const int* y, int len) {
    long double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (int t = 0; t < len; ++t)
        sx += x[t], sy += y[t], sxx += (long double)x[t] * x[t], syy += (long double)y[t] * y[t],
            sxy += (long double)x[t] * y[t];
    return double((len * sxy - sx * sy) / std::sqrt((len * sxx - sx * sx) * (len * syy - sy * sy)));
}

bool printsNaN(const std::string& s, const std::string& pattern) { return std::regex_search(s, std::regex(pattern)); }

int degreeLike(std::mt19937& rng) { return rng() % 3 == 0 ? 2 : 1 + int(rng() % 8); }

}  // namespace

TEST(BackMatching, WithoutTwosInFirstThereAreNoPairsAndShiftIsN) {
    Outcome r = backMatch({1, 3, 4, 1, 5, 6}, {2, 1, 2, 3, 2, 1});
    EXPECT_EQ(r.ret, 6.0);
    EXPECT_EQ(r.out[0], 0.0);
    EXPECT_EQ(r.out[1], 0.0);
    EXPECT_EQ(r.out[2], 6.0);
    EXPECT_TRUE(printsNaN(r.printed, "^diff=6:6\nmean=\\( *-?nan: *-?nan\nsd=\\(  0\\.00\\)\n$")) << r.printed;
}

TEST(BackMatching, IdenticalSequencesAlignAtZeroWithFullCorrelation) {
    const Seq a = {1, 2, 4, 2, 1, 3, 2, 5, 1, 2};
    Outcome r = backMatch(a, a);
    EXPECT_EQ(r.ret, 0.0);
    EXPECT_EQ(r.out[0], 1.0);
    EXPECT_EQ(r.out[1], 0.0);
    EXPECT_EQ(r.out[2], 0.0);
    EXPECT_EQ(r.printed.substr(0, 9), "diff=0:0\n");
    // pairs (1,1), (3,3), (6,6), (9,9) in records 1..4; one histogram bin
    for (int j = 1; j <= 4; ++j) EXPECT_EQ(outSets[j].degree, int(outSets[j].weight)) << j;
    EXPECT_EQ(outSets[4].degree, 9);
    EXPECT_EQ(inSets[0].degree, 4);
}

TEST(BackMatching, ShortSequencesTryNoLag) {
    for (const Seq& a : {Seq{2, 1}, Seq{1, 2, 3}}) {
        Outcome r = backMatch(a, a);
        EXPECT_EQ(r.out[0], 0.0);
        EXPECT_EQ(r.out[1], 0.0);
    }
}

TEST(BackMatching, MostFrequentDifferenceWinsLowestOnTies) {
    // differences 2, 2, -1, -1: tie between -1 and 2, the lower one is chosen
    const Seq a = {1, 1, 2, 1, 1, 2, 1, 2, 1, 2, 1, 1}, b = {2, 1, 1, 2, 1, 1, 1, 1, 2, 1, 2, 1};
    Outcome r = backMatch(a, b);
    EXPECT_EQ(r.ret, -1.0);
    EXPECT_EQ(r.out[2], -1.0);
    EXPECT_EQ(inSets[0].degree, 2);
    EXPECT_EQ(inSets[3].degree, 2);
    EXPECT_EQ(outSets[2].degree, 5);
    EXPECT_EQ(outSets[2].weight, 3.0);
}

TEST(BackMatching, AgreesWithRankPairingReference) {
    std::mt19937 rng(99);
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 2 + int(rng() % 70);
        Seq a(n), b(n);
        const int rot = int(rng() % 7);
        for (int i = 0; i < n; ++i) a[i] = degreeLike(rng);
        for (int i = 0; i < n; ++i) b[i] = trial % 2 ? a[(i + rot) % n] : degreeLike(rng);
        const BackReference ref(a, b);
        Outcome r = backMatch(a, b);
        EXPECT_EQ(r.ret, ref.diff) << trial;
        EXPECT_EQ(r.out[0], ref.best) << trial;
        EXPECT_EQ(r.out[1], ref.bestLag) << trial;
        EXPECT_EQ(r.out[2], ref.dmin) << trial;
        if (!ref.histogram.empty()) {
            EXPECT_EQ(r.printed, ref.printed) << trial;
        }
        for (const auto& kv : ref.histogram) EXPECT_EQ(inSets[kv.first - ref.dmin].degree, kv.second) << trial;
    }
}

TEST(BackMatchingGuards, TooLongOrTooShortComputesNothing) {
    Seq a(6098, 2);
    for (int n : {6098, 1, -3}) {
        outSets[0].degree = inSets[0].degree = 99;
        int len = n;
        double out[3] = {-5, -5, -5};
        std::string printed = captureStdout(
            [&] { EXPECT_EQ(Z_HVG_Match_back(a.data(), a.data(), &len, nullptr, nullptr, out), 0.0); });
        EXPECT_EQ(printed, "");
        EXPECT_EQ(out[0], -5.0);
        EXPECT_EQ(out[2], -5.0);
        EXPECT_EQ(outSets[0].degree, 99);
        EXPECT_EQ(inSets[0].degree, 99);
    }
    a.pop_back();  // 6097 samples, all paired with a difference of 0
    Outcome r = backMatch(a, a);
    EXPECT_EQ(r.ret, 0.0);
    EXPECT_EQ(inSets[0].degree, 6097);
    EXPECT_EQ(outSets[6097].degree, 6096);
}

TEST(SimilaritySum, UnequalTagsReturnZeroWithSpanLengths) {
    const Seq a = {1, 4, 4, 1, 4, 2}, b = {1, 2, 3, 1, 1, 9};
    Outcome r = similaritySum(a, b, 1.0, 2.0);
    EXPECT_EQ(r.ret, 0.0);
    EXPECT_EQ(r.out[0], 0.0);
    EXPECT_EQ(r.out[1], 3.0);  // maximum 4 from 1 to 4
    EXPECT_EQ(r.out[2], 5.0);  // unique maximum at the last position: span 0..5
    EXPECT_EQ(r.out[3], -5.0);
    EXPECT_EQ(r.printed, "");
    EXPECT_EQ(similaritySum(a, a, NAN, NAN).ret, 0.0);  // NaN never equals NaN
}

TEST(SimilaritySum, SpanCaseReturnsRootOfCorrelationOverSpan) {
    // maximum 9 at 1 and 5: span length 4 > 9/3; the segment correlates with itself
    const Seq a = {1, 9, 3, 4, 2, 9, 1, 1, 1};
    Outcome r = similaritySum(a, a);
    EXPECT_EQ(r.printed, "Sum=1.000000/4\n");
    EXPECT_EQ(r.ret, 0.25);
    EXPECT_EQ(r.out[0], 0.25);
    EXPECT_EQ(r.out[1], 4.0);
    EXPECT_EQ(r.out[3], -8.0);
}

TEST(SimilaritySum, ValueTwoCaseCorrelatesSegmentsBetweenTwos) {
    // a: 2 at 1, last 2 at 8; b: 2 at 2, last 2 at 7; L = 5.
    // a[1..5] = 2 3 1 4 2, b[2..6] = 2 1 5 2 4: rho = -5.6 / sqrt(5.2 * 10.8)
    const Seq a = {1, 2, 3, 1, 4, 2, 5, 1, 2, 1}, b = {3, 3, 2, 1, 5, 2, 4, 2, 1, 1};
    Outcome r = similaritySum(a, b);
    const double rho = -5.6 / std::sqrt(5.2 * 10.8);
    EXPECT_NEAR(r.ret, rho, 1e-14);
    EXPECT_EQ(r.out[1], 1.0);
    EXPECT_EQ(r.out[2], 1.0);
    EXPECT_EQ(r.out[3], -7.0);
    char sum[64];
    std::snprintf(sum, sizeof sum, "Sum=%1.6f/%d\n", rho, 5);
    EXPECT_EQ(r.printed, std::string("1:8\n2:7\n") + sum);
}

TEST(SimilaritySum, ClosingPositionFallsBackToTwoAfterFirst) {
    const Seq a = {2, 1, 3, 1, 4, 1, 5}, b = {3, 1, 1, 1, 1, 1, 1};
    Outcome r = similaritySum(a, b);
    EXPECT_EQ(r.printed.substr(0, 8), "0:2\n7:6\n");
    EXPECT_EQ(r.out[3], -2.0);
    EXPECT_TRUE(printsNaN(r.printed, "Sum=-?nan/0\n$")) << r.printed;
}

TEST(SimilaritySum, WithoutTwosCorrelationIsUndefined) {
    Outcome r = similaritySum({1, 3, 1, 4, 1, 3}, {4, 1, 3, 1, 5, 1});
    EXPECT_TRUE(std::isnan(r.ret));
    EXPECT_EQ(r.out[3], 1.0);
    EXPECT_TRUE(printsNaN(r.printed, "^6:5\n6:5\nSum=-?nan/0\n$")) << r.printed;
}

TEST(SimilaritySum, AgreesWithSegmentPearsonOnRandomSequences) {
    std::mt19937 rng(3);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 4 + int(rng() % 40);
        Seq a(n), b(n);
        for (int i = 0; i < n; ++i) a[i] = degreeLike(rng), b[i] = degreeLike(rng);
        auto closing = [n](const Seq& x, int& first) {
            first = int(std::find(x.begin(), x.end(), 2) - x.begin());
            if (n - 1 <= first + 2) return n - 1;
            for (int p = n - 1; p > first + 2; --p)
                if (x[p] == 2) return p;
            return first + 2;
        };
        int a0, b0;
        const int a1 = closing(a, a0), b1 = closing(b, b0);
        Outcome r = similaritySum(a, b);
        if (r.printed.rfind("Sum", 0) == 0) continue;  // span case
        EXPECT_EQ(r.out[3], a0 - a1) << trial;
        const int len = std::min(a1 - a0, b1 - b0);
        const double ref = (a1 > a0 && b1 > b0) ? segmentPearson(&a[a0], &b[b0], len) : NAN;
        if (std::isnan(ref)) {
            EXPECT_TRUE(std::isnan(r.ret)) << trial;
        } else {
            EXPECT_NEAR(r.ret, ref, 1e-12) << trial;
        }
    }
}

TEST(SimilaritySumGuards, OutOfRangeLengthsComputeNothing) {
    Seq a(12195, 1);
    for (int n : {12195, 1, -1}) {
        double q = 1, out[4] = {-5, -5, -5, -5};
        int len = n;
        std::string printed = captureStdout([&] { EXPECT_EQ(Z_HVGS(a.data(), a.data(), &len, &q, &q, out), 0.0); });
        EXPECT_EQ(printed, "");
        for (double v : out) EXPECT_EQ(v, -5.0);
    }
}
