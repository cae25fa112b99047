#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "support/capture.h"

using zemba_test::captureStdout;

namespace {

using Seq = std::vector<int>;

struct Plain {
    double ret, out0, out1;
    std::string printed;
};
struct Mangled {
    double ret;
    std::string printed;
};

Plain runPlain(Seq a, Seq b) {
    int n = int(a.size());
    Plain p{};
    double out[2] = {-5.0, -5.0};
    p.printed = captureStdout([&] { p.ret = Z_HVG_Match(a.data(), b.data(), &n, nullptr, nullptr, out); });
    p.out0 = out[0], p.out1 = out[1];
    return p;
}

Mangled runMangled(const Seq& a, const Seq& b) {
    Mangled m{};
    m.printed = captureStdout([&] { m.ret = Z_HVG_Match(a.data(), b.data(), int(a.size())); });
    return m;
}

std::string line(const char* fmt, int p, int anchor, int d, double v) {
    char buf[96];
    std::snprintf(buf, sizeof buf, fmt, p, anchor, d, v);
    return buf;
}
std::string line(const char* fmt, int p, int anchor, int d, long v) {
    char buf[96];
    std::snprintf(buf, sizeof buf, fmt, p, anchor, d, int(v));
    return buf;
}

// Reference scorer: anchors from the list of running-maximum records of b,
// overlaps by pairing every i of a with j = i - d of b.
struct Reference {
    double best = 0.0, similarity = 0.0;
    int shift = 0;
    std::string plainOut, mangledOut;

    Reference(const Seq& a, const Seq& b) {
        const int n = int(a.size());
        std::vector<int> records{0}, peaks;
        long marks = 0;
        for (int i = 1; i + 1 < n; ++i) {
            if (b[i] > b[records.back()]) records.push_back(i);
            if (a[i] > a[i - 1] && a[i] > a[i + 1]) peaks.push_back(i);
            marks += (a[i] == 2) + (b[i] == 2);
        }
        const int maxD = records.back();
        const int second = records.size() > 1 ? records[records.size() - 2] : 0;
        const int w = n / 8;
        auto overlap = [&](int d, long& D, long& S) {
            D = S = 0;
            for (int i = 0; i < n; ++i) {
                const int j = i - d;
                if (j < 0 || j >= n) continue;
                D += std::labs(long(a[i]) - b[j]);
                S += long(a[i]) + b[j];
            }
        };
        // plain variant
        bool stop = false;
        for (auto it = peaks.rbegin(); it != peaks.rend() && !stop; ++it) {
            const int p = *it;
            for (int k = 0; k < 2; ++k) {
                if (k == 1 && second == maxD) break;
                const int anchor = k == 0 ? maxD : second;
                const int d = p - anchor;
                if (std::abs(d) > w) break;
                long D, S;
                overlap(d, D, S);
                const double cr = 1.0 - double(2 * D) / double(S);
                if (cr > best) best = cr, shift = d;
                if (D == 0 && k == 0) {
                    stop = true;
                    break;
                }
                plainOut += line("maxS=%d\t maxD=%d\tdiff=%d cr=%6.4f\n", p, anchor, d, cr);
                if (D == 0) stop = true;
            }
        }
        // mangled variant
        long c = 0, lastS = marks;
        stop = false;
        for (auto it = peaks.rbegin(); it != peaks.rend() && !stop; ++it) {
            const int p = *it;
            for (int k = 0; k < 2; ++k) {
                if (k == 1 && second == maxD) break;
                const int anchor = k == 0 ? maxD : second;
                const int d = p - anchor;
                if (std::abs(d) > w) break;
                long D;
                overlap(d, D, lastS);
                c = std::max(c, D);
                if (D == 0) {
                    stop = true;
                    break;
                }
                mangledOut += line("maxS=%d\t maxD=%d\tdiff=%d cr=%d\n", p, anchor, d, D);
            }
        }
        similarity = 1.0 - double(2 * c) / double(lastS);
    }
};

int degreeLike(std::mt19937& rng) { return rng() % 3 == 0 ? 2 : 1 + int(rng() % 8); }

}  // namespace

TEST(Matching, HandWorkedPeakOverLargestAndPreviousLargest) {
    // maxD = 3 (value 4), second = 2 (value 3); the peak of a at 3 is scored at
    // shift 0 (D = 3, S = 25) and shift 1 (D = 5, S = 23).
    const Seq a = {1, 1, 1, 5, 1, 1, 1, 1}, b = {1, 1, 3, 4, 1, 1, 1, 1};
    Plain p = runPlain(a, b);
    EXPECT_EQ(p.printed, "maxS=3\t maxD=3\tdiff=0 cr=0.7600\nmaxS=3\t maxD=2\tdiff=1 cr=0.5652\n");
    EXPECT_EQ(p.out0, 1.0 - 6.0 / 25.0);
    EXPECT_EQ(p.out1, 0.0);
    EXPECT_EQ(p.ret, 0.0);
    Mangled m = runMangled(a, b);
    EXPECT_EQ(m.printed, "maxS=3\t maxD=3\tdiff=0 cr=3\nmaxS=3\t maxD=2\tdiff=1 cr=5\n");
    EXPECT_EQ(m.ret, 1.0 - 10.0 / 23.0);  // largest D with the last S
}

TEST(Matching, PerfectOverlapStopsAtOnceWithoutPrinting) {
    const Seq a = {1, 2, 1, 3, 8, 2, 1, 1};
    Plain p = runPlain(a, a);
    EXPECT_EQ(p.printed, "");
    EXPECT_EQ(p.out0, 1.0);
    EXPECT_EQ(p.out1, 0.0);
    EXPECT_EQ(runMangled(a, a).ret, 1.0);
}

TEST(Matching, EqualScoresKeepThePeakTriedFirst) {
    // Peaks at 7 and 9 straddle maxD = 8 and score alike; 9 is popped first.
    Seq a(16, 1), b(16, 1);
    a[7] = a[9] = 5;
    b[8] = 5;
    Plain p = runPlain(a, b);
    EXPECT_EQ(p.out0, 1.0 - 8.0 / 42.0);
    EXPECT_EQ(p.out1, 1.0);
    EXPECT_EQ(p.ret, 1.0);
}

TEST(Matching, WithoutScoredPeaksOnlyTheSideMarksRemain) {
    Plain p = runPlain({1, 2, 3, 4}, {5, 5, 5, 5});
    EXPECT_EQ(p.out0, 0.0);
    EXPECT_EQ(p.out1, 0.0);
    EXPECT_EQ(p.printed, "");
    EXPECT_EQ(runMangled({1, 2, 3, 4}, {5, 5, 5, 5}).ret, 1.0);  // S = one mark
    EXPECT_TRUE(std::isnan(runMangled({1, 3, 4, 5}, {5, 5, 5, 5}).ret));
    Plain two = runPlain({3, 1}, {1, 3});
    EXPECT_EQ(two.out0, 0.0);
    EXPECT_EQ(two.ret, 0.0);
    EXPECT_TRUE(std::isnan(runMangled({3, 1}, {1, 3}).ret));
}

TEST(Matching, SideMarksRecordInteriorTwos) {
    const Seq a = {2, 2, 1, 2, 3, 2}, b = {2, 1, 2, 2, 1, 2};
    outSets[6].degree = inSets[6].degree = 77;
    runPlain(a, b);
    const int outMarks[] = {0, 1, 0, 1, 0, 0}, inMarks[] = {0, 0, 1, 1, 0, 0};
    const double inReversed[] = {0, 0, 1, 1, 0, 0};  // b[5 - i] == 2 for interior i
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(outSets[i].degree, outMarks[i]) << i;
        EXPECT_EQ(outSets[i].weight, 0.0) << i;
        EXPECT_EQ(inSets[i].degree, inMarks[i]) << i;
        EXPECT_EQ(inSets[i].weight, inReversed[i]) << i;
    }
    EXPECT_EQ(outSets[6].degree, 77);
    EXPECT_EQ(inSets[6].degree, 77);
    EXPECT_EQ(SortList1.top, -1);
}

TEST(Matching, AgreesWithReferenceScorerOnDegreeLikeSequences) {
    std::mt19937 rng(2024);
    for (int trial = 0; trial < 400; ++trial) {
        const int n = 2 + int(rng() % 90);
        Seq a(n), b(n);
        for (int i = 0; i < n; ++i) a[i] = degreeLike(rng);
        const int kind = trial % 3;
        const int rot = int(rng() % 5);
        for (int i = 0; i < n; ++i) b[i] = kind == 0 ? degreeLike(rng) : a[(i + (kind == 2 ? rot : 0)) % n];
        const Reference ref(a, b);
        Plain p = runPlain(a, b);
        EXPECT_EQ(p.out0, ref.best) << trial;
        EXPECT_EQ(p.out1, ref.shift) << trial;
        EXPECT_EQ(p.ret, ref.shift) << trial;
        EXPECT_EQ(p.printed, ref.plainOut) << trial;
        Mangled m = runMangled(a, b);
        if (std::isnan(ref.similarity)) {
            EXPECT_TRUE(std::isnan(m.ret)) << trial;
        } else {
            EXPECT_EQ(m.ret, ref.similarity) << trial;
        }
        EXPECT_EQ(m.printed, ref.mangledOut) << trial;
    }
}

TEST(MatchingGuards, OutOfRangeLengthsComputeNothing) {
    std::vector<int> a(12195, 2), b(12195, 2);
    for (int n : {12195, 1, 0, -4}) {
        outSets[0].degree = inSets[0].degree = 99;
        SortList1.top = 3;
        double out[2] = {-5.0, -5.0};
        int len = n;
        std::string printed = captureStdout([&] {
            EXPECT_EQ(Z_HVG_Match(a.data(), b.data(), &len, nullptr, nullptr, out), 0.0);
            EXPECT_EQ(Z_HVG_Match(static_cast<const int*>(a.data()), b.data(), n), 0.0);
        });
        EXPECT_EQ(printed, "");
        EXPECT_EQ(out[0], -5.0);
        EXPECT_EQ(out[1], -5.0);
        EXPECT_EQ(outSets[0].degree, 99);
        EXPECT_EQ(inSets[0].degree, 99);
        EXPECT_EQ(SortList1.top, 3);
    }
    SortList1.top = -1;
    a[5] = 9;  // one peak; the largest length is accepted
    int len = 12194;
    double out[2];
    captureStdout([&] { Z_HVG_Match(a.data(), b.data(), &len, nullptr, nullptr, out); });
    EXPECT_EQ(outSets[12193].degree, 0);
    EXPECT_EQ(outSets[12192].degree, 1);
}

TEST(MatchingGuards, ExtremeValuesWrapWithoutTrapping) {
    const Seq a = {0, 2147483647, 0, 0, 0, 0, 0, 0}, b = {0, -2147483647 - 1, 5, 0, 0, 0, 0, 0};
    // b's largest interior value sits at 2; a's peak at 1 is one step away (w = 1).
    Plain p = runPlain(a, b);
    EXPECT_EQ(p.printed.rfind("maxS=1\t maxD=2\tdiff=-1 cr=", 0), 0u);
    runMangled(a, b);
}
