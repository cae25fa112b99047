// Discretising by integer part, vectorised where the processor allows,
// against the C library's floor; and mutual information against a plain count.
#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "frame/arith.h"
#include "support/capture.h"

namespace {

std::vector<double> samples(int n, uint64_t seed, double scale) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> z;
    std::vector<double> x(static_cast<size_t>(n));
    for (auto& v : x) v = scale * z(g);
    return x;
}

TEST(NormaliseArrayFastPath, EqualsTruncatedFloorMinusTheLeast) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int n = 1; n <= 41; ++n)
        for (double scale : {0.7, 3.0, 1e6, 5e9}) {
            auto x = samples(n, 100 * n + static_cast<uint64_t>(scale), scale);
            if (n > 5 && scale == 3.0) x[static_cast<size_t>(n / 3)] = nan;  // INT32_MIN, then wrap-around
            if (n > 9 && scale == 0.7) x[7] = -2147483648.0;
            std::vector<int32_t> want(static_cast<size_t>(n)), got(static_cast<size_t>(n) + 1, 77);
            int32_t lo = INT32_MAX, hi = INT32_MIN;
            for (int i = 0; i < n; ++i) {
                want[i] = zemba::trunc32(std::floor(x[i]));
                lo = want[i] < lo ? want[i] : lo;
                hi = want[i] > hi ? want[i] : hi;
            }
            for (auto& v : want) v = zemba::wrapSub(v, lo);
            const int states = normaliseArray(x.data(), got.data(), n);
            EXPECT_EQ(states, zemba::wrapAdd(zemba::wrapSub(hi, lo), 1)) << n << " " << scale;
            EXPECT_EQ(0, std::memcmp(want.data(), got.data(), sizeof(int32_t) * n)) << n << " " << scale;
            EXPECT_EQ(got[static_cast<size_t>(n)], 77);
        }
}

// Mutual information from a map of integer-part pairs, summed in the order of
// the joint index (first state varying fastest).
double referenceMI(const std::vector<double>& a, const std::vector<double>& b) {
    const int n = static_cast<int>(a.size());
    std::map<std::pair<int, int>, int> joint;
    std::map<int, int> ca, cb;
    int loA = INT32_MAX, loB = INT32_MAX, hiA = INT32_MIN, hiB = INT32_MIN;
    for (int i = 0; i < n; ++i) {
        const int u = static_cast<int>(std::floor(a[i])), v = static_cast<int>(std::floor(b[i]));
        ++joint[{v, u}];
        ++ca[u];
        ++cb[v];
        loA = std::min(loA, u), hiA = std::max(hiA, u), loB = std::min(loB, v), hiB = std::max(hiB, v);
    }
    double mi = 0.0;
    for (int v = loB; v <= hiB; ++v)
        for (int u = loA; u <= hiA; ++u) {
            auto it = joint.find({v, u});
            if (it == joint.end()) continue;
            const double pj = it->second / static_cast<double>(n);
            const double pa = ca[u] / static_cast<double>(n), pb = cb[v] / static_cast<double>(n);
            mi += pj * std::log((pj / pa) / pb);
        }
    return mi;
}

TEST(MutualInformationFastPath, MatchesPlainCountAndPrintsStateCounts) {
    for (int n : {1, 3, 17, 256, 1001, 4096}) {
        const auto a = samples(n, 5 + n, 1.0), b = samples(n, 9 + n, 1.5);
        std::vector<double> mixed(b);
        for (size_t i = 0; i < mixed.size(); ++i) mixed[i] = 0.5 * b[i] + 0.5 * a[i];
        for (const std::vector<double>* y : {&b, static_cast<const std::vector<double>*>(&mixed)}) {
            std::vector<double> x1(a), y1(*y);
            int len = n;
            double mi = -1.0;
            const std::string printed =
                zemba_test::captureStdout([&] { calculateMutualInformation(x1.data(), y1.data(), &len, &mi); });
            const double want = referenceMI(a, *y);
            EXPECT_EQ(0, std::memcmp(&mi, &want, sizeof mi)) << n << ": " << mi << " vs " << want;
            int f = 0, s = 0;
            ASSERT_EQ(std::sscanf(printed.c_str(), "first=%d\nsecond=%d\n", &f, &s), 2) << printed;
            EXPECT_EQ(printed, "first=" + std::to_string(f) + "\nsecond=" + std::to_string(s) +
                                   "\njointNumStates=" + std::to_string(f * s) + "\n");
        }
    }
}

}  // namespace
