// Core degree matching against the naive reference and against the original
// interface's Z_HVG_Match (both variants), at lengths beyond its capacity.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "reference/matching.h"
#include "support/capture.h"
#include "zemba.h"
#include "zemba/core.h"

namespace {

using Seq = std::vector<long long>;

struct Matched {
    zemba_match_result r{};
    std::vector<zemba_match_comparison> seen;
};

Matched matchOf(const Seq& a, const Seq& b) {
    static_assert(sizeof(long long) == sizeof(int64_t), "");
    Matched out;
    const auto keep = [](const zemba_match_comparison* c, void* u) {
        static_cast<std::vector<zemba_match_comparison>*>(u)->push_back(*c);
    };
    EXPECT_EQ(zemba_degree_match(reinterpret_cast<const int64_t*>(a.data()), reinterpret_cast<const int64_t*>(b.data()),
                                 a.size(), &out.r, keep, &out.seen),
              ZEMBA_OK);
    return out;
}

void expectReference(const Seq& a, const Seq& b, const char* what) {
    const zemba_ref::Match ref = zemba_ref::match(a, b);
    const Matched got = matchOf(a, b);
    SCOPED_TRACE(what);
    EXPECT_EQ(got.r.top, ref.top);
    EXPECT_EQ(got.r.previous, ref.previous);
    EXPECT_EQ(got.r.best_score, ref.best);
    EXPECT_EQ(got.r.best_shift, ref.bestShift);
    EXPECT_EQ(got.r.similarity, ref.similarity);
    ASSERT_EQ(got.r.comparisons, ref.steps.size());
    ASSERT_EQ(got.seen.size(), ref.steps.size());
    for (size_t k = 0; k < ref.steps.size(); ++k) {
        const auto& c = got.seen[k];
        const auto& s = ref.steps[k];
        EXPECT_EQ(c.peak, s.peak) << k;
        EXPECT_EQ(c.anchor, s.anchor) << k;
        EXPECT_EQ(c.shift, s.shift) << k;
        EXPECT_EQ(c.on_top, s.onTop ? 1 : 0) << k;
        EXPECT_EQ(c.diff, static_cast<double>(s.diff)) << k;
        EXPECT_EQ(c.sum, static_cast<double>(s.sum)) << k;
        EXPECT_EQ(c.score, s.score) << k;
    }
}

long long degreeLike(std::mt19937& g) { return g() % 3 == 0 ? 2 : 1 + static_cast<long long>(g() % 8); }

// Degree sequences of a horizontal visibility graph, counted pair by pair.
Seq hvgDegrees(const std::vector<double>& x) {
    const size_t n = x.size();
    Seq d(n, 0);
    for (size_t i = 0; i < n; ++i) {
        double wall = -1e300;
        for (size_t j = i + 1; j < n; ++j) {
            if (wall < x[i] && wall < x[j]) ++d[i], ++d[j];
            if (x[j] > wall) wall = x[j];
            if (wall >= x[i]) break;
        }
    }
    return d;
}

}  // namespace

TEST(DegreeMatch, AgreesWithNaiveMatchingOnDegreeLikeAndGraphSequences) {
    std::mt19937 g(99);
    for (int trial = 0; trial < 300; ++trial) {
        const size_t n = 2 + g() % 300;
        Seq a(n), b(n);
        for (auto& v : a) v = degreeLike(g);
        const int kind = trial % 3;  // independent, equal, rotated
        for (size_t i = 0; i < n; ++i) b[i] = kind == 0 ? degreeLike(g) : a[(i + (kind == 2 ? g() % 5 : 0)) % n];
        expectReference(a, b, "degree-like");
    }
    std::normal_distribution<double> z;
    for (size_t n : {40, 256, 3000}) {
        std::vector<double> x(n), y(n);
        for (size_t i = 0; i < n; ++i) x[i] = z(g), y[i] = 0.5 * x[i] + z(g);
        expectReference(hvgDegrees(x), hvgDegrees(y), "graph degrees");
    }
}

TEST(DegreeMatch, AgreesWithTheOriginalInterfaceWithinItsCapacity) {
    std::mt19937 g(4);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 2 + static_cast<int>(g() % (trial < 190 ? 200 : 12193));
        std::vector<int> a(n), b(n);
        for (int i = 0; i < n; ++i) a[i] = static_cast<int>(degreeLike(g));
        for (int i = 0; i < n; ++i) b[i] = trial % 2 ? static_cast<int>(degreeLike(g)) : a[(i + 3) % n];
        const Matched core = matchOf(Seq(a.begin(), a.end()), Seq(b.begin(), b.end()));
        double out[2] = {0, 0}, similarity = 0.0;
        int len = n;
        zemba_test::captureStdout([&] {
            Z_HVG_Match(a.data(), b.data(), &len, nullptr, nullptr, out);
            similarity = Z_HVG_Match(static_cast<const int*>(a.data()), b.data(), n);
        });
        EXPECT_EQ(core.r.best_score, out[0]) << trial;
        EXPECT_EQ(static_cast<double>(core.r.best_shift), out[1]) << trial;
        if (core.r.comparisons) {
            EXPECT_EQ(core.r.similarity, similarity) << trial;
        }
    }
}

TEST(DegreeMatch, LengthsWithoutInteriorPeaksAndAMillionSamples) {
    for (size_t n : {0, 1, 2}) {
        const Seq a(n, 3), b(n, 1);
        const Matched r = matchOf(a, b);
        EXPECT_EQ(r.r.comparisons, 0u);
        EXPECT_EQ(r.r.best_score, 0.0);
        EXPECT_EQ(r.r.best_shift, 0);
        EXPECT_EQ(r.r.similarity, 0.0);
        EXPECT_TRUE(r.seen.empty());
    }
    zemba_match_result r{};
    EXPECT_EQ(zemba_degree_match(nullptr, nullptr, 0, &r, nullptr, nullptr), ZEMBA_OK);
    // 10^6 degrees with two peaks in a and the maximum of b between them.
    const size_t n = 1000000;
    Seq a(n, 2), b(n, 2);
    a[500000] = a[500010] = 7;
    b[500004] = 9;
    b[499000] = 5;
    expectReference(a, b, "a million");
    const Matched big = matchOf(a, b);
    EXPECT_EQ(big.r.top, 500004u);
    EXPECT_EQ(big.r.previous, 499000u);
    ASSERT_EQ(big.r.comparisons, 4u);
    EXPECT_EQ(big.seen[0].shift, 6);  // the last peak first
    EXPECT_EQ(big.seen[1].shift, 1010);
}

TEST(DegreeMatch, RejectsNullsAndValuesThatAreNotDegrees) {
    const Seq a = {1, 3, 1, 2}, b = {2, 1, 4, 1};
    const auto* pa = reinterpret_cast<const int64_t*>(a.data());
    const auto* pb = reinterpret_cast<const int64_t*>(b.data());
    zemba_match_result r{};
    r.comparisons = 77;
    EXPECT_EQ(zemba_degree_match(pa, pb, 4, nullptr, nullptr, nullptr), ZEMBA_E_NULL);
    EXPECT_EQ(zemba_degree_match(pa, nullptr, 4, &r, nullptr, nullptr), ZEMBA_E_NULL);
    for (long long bad : {-1LL, 4294967296LL}) {
        Seq c(a);
        c[2] = bad;
        int visits = 0;
        const auto count = [](const zemba_match_comparison*, void* u) { ++*static_cast<int*>(u); };
        EXPECT_EQ(zemba_degree_match(reinterpret_cast<const int64_t*>(c.data()), pb, 4, &r, count, &visits),
                  ZEMBA_E_ARGUMENT);
        EXPECT_EQ(zemba_degree_match(pb, reinterpret_cast<const int64_t*>(c.data()), 4, &r, count, &visits),
                  ZEMBA_E_ARGUMENT);
        EXPECT_EQ(visits, 0);
        EXPECT_EQ(r.comparisons, 77u);
    }
    // The largest degree is accepted, and its sums are exact.
    Seq big(16, 4294967295LL), small(16, 0);
    big[5] = 1;
    big[7] = 4294967294LL;
    expectReference(big, small, "largest degrees");
}

TEST(DegreeMatch, OverlapsLongerThanANarrowBlockStayExact) {
    // Degrees up to 40000 leave 32-bit blocks of about 53000 pairs: the
    // overlaps here span several blocks.
    const size_t n = 300000;
    Seq a(n), b(n);
    std::mt19937 g(8);
    for (size_t i = 0; i < n; ++i) a[i] = 39990 + g() % 10, b[i] = 39000 + g() % 1000;
    for (size_t i = 1; i + 1 < n; ++i)  // only a handful of peaks
        if (i % 50000 != 7) a[i] = std::min(a[i], a[i - 1]);
    a[150007] = 40000;
    b[149990] = 40000;
    expectReference(a, b, "large degrees");
    EXPECT_EQ(matchOf(a, b).r.comparisons, 1u);  // the previous maximum lies out of reach
}
