// Calculate_Correlation_double against the plain lag-by-lag walk kept here:
// returned value (bit for bit) and printed line, on many lengths and kinds of
// data, with ties and non-finite samples.
#include "zemba.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/capture.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Peak {
    double value;
    std::string line;
};

Peak walk(const std::vector<double>& x, const std::vector<double>& y) {
    const int n = static_cast<int>(x.size());
    double sx = 0.0, sy = 0.0;
    for (int i = 0; i < n; ++i) sx += x[i], sy += y[i];
    const double mx = sx / n, my = sy / n;
    double qx = 0.0, qy = 0.0;
    for (int i = 0; i < n; ++i) qx += (x[i] - mx) * (x[i] - mx), qy += (y[i] - my) * (y[i] - my);
    const double d = std::sqrt(qx * qy);
    double best = 0.0;
    int lagAt = 0;
    for (int lag = -(n / 2); lag < n / 2; ++lag) {
        double c = 0.0;
        for (int k = 0; k < n; ++k)
            if (k + lag >= 0 && k + lag < n) c += (x[k] - mx) * (y[k + lag] - my);
        if (c / d > best) best = c / d, lagAt = lag;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "tr=%6.4f(%d)\n", best, lagAt);
    return {best, buf};
}

void expectSameAsWalk(const std::vector<double>& x, const std::vector<double>& y) {
    const Peak want = walk(x, y);
    double got = -1.0;
    const std::string line =
        zemba_test::captureStdout([&] { got = Calculate_Correlation_double(x.data(), y.data(), static_cast<int>(x.size())); });
    ASSERT_EQ(0, std::memcmp(&want.value, &got, sizeof got)) << "n=" << x.size() << " " << want.value << " " << got;
    ASSERT_EQ(want.line, line) << "n=" << x.size();
}

enum class Kind { white, walk, ints };

std::vector<double> series(std::mt19937& rng, int n, Kind kind) {
    std::normal_distribution<double> g(0.0, 1.0);
    std::uniform_int_distribution<int> u(-2, 2);
    std::vector<double> x(n);
    double s = 0.0;
    for (double& v : x) {
        if (kind == Kind::white) v = g(rng);
        if (kind == Kind::walk) v = s += g(rng);
        if (kind == Kind::ints) v = u(rng);
    }
    return x;
}

std::vector<int> lengths() {
    std::vector<int> ns;
    for (int n = 0; n <= 40; ++n) ns.push_back(n);
    for (int n : {63, 64, 65, 127, 128, 129, 130, 131, 255, 257, 300, 513, 1001}) ns.push_back(n);
    return ns;
}

}  // namespace

TEST(LaggedCorrelationFastPath, MatchesWalkOnWhiteNoise) {
    std::mt19937 rng(21);
    for (int n : lengths()) expectSameAsWalk(series(rng, n, Kind::white), series(rng, n, Kind::white));
}

TEST(LaggedCorrelationFastPath, MatchesWalkOnRandomWalks) {
    std::mt19937 rng(22);
    for (int n : lengths()) expectSameAsWalk(series(rng, n, Kind::walk), series(rng, n, Kind::walk));
}

TEST(LaggedCorrelationFastPath, MatchesWalkOnTiedIntegers) {
    std::mt19937 rng(23);
    for (int n : lengths()) expectSameAsWalk(series(rng, n, Kind::ints), series(rng, n, Kind::ints));
}

TEST(LaggedCorrelationFastPath, ShiftedCopyPeaksAtItsShift) {
    std::mt19937 rng(24);
    for (int n : {17, 100, 257}) {
        const std::vector<double> x = series(rng, n, Kind::walk);
        for (int shift : {-5, 0, 3}) {
            std::vector<double> y(n);
            for (int i = 0; i < n; ++i) y[i] = x[((i - shift) % n + n) % n];
            expectSameAsWalk(x, y);
        }
    }
}

TEST(LaggedCorrelationFastPath, PeriodicSeriesKeepTheFirstOfEqualLags) {
    // Exact integer sums: lags a period apart tie often; the first one stays.
    for (int n : {12, 13, 48, 99, 200}) {
        std::vector<double> x(n), y(n);
        for (int i = 0; i < n; ++i) x[i] = i % 4 == 0 ? 3 : -1, y[i] = i % 2 == 0 ? 1 : -1;
        expectSameAsWalk(x, y);
        expectSameAsWalk(y, y);
    }
}

TEST(LaggedCorrelationFastPath, NonFiniteAndHugeSamples) {
    std::mt19937 rng(25);
    for (double s : {kNaN, kInf, -kInf, 1e200, -1e300, 1e-320}) {
        for (int n : {2, 9, 40, 131}) {
            std::vector<double> x = series(rng, n, Kind::white), y = series(rng, n, Kind::white);
            x[n / 3] = s;
            expectSameAsWalk(x, y);
            expectSameAsWalk(y, x);
        }
    }
}

TEST(LaggedCorrelationFastPath, ConstantSeriesGiveZero) {
    expectSameAsWalk(std::vector<double>(10, 2.5), std::vector<double>(10, 2.5));
    std::mt19937 rng(26);
    expectSameAsWalk(std::vector<double>(33, -1.0), series(rng, 33, Kind::white));
}

TEST(LaggedCorrelationFastPath, LongestAndLongerSeries) {
    std::mt19937 rng(27);
    for (int n : {ZEMBA_SERIES_CAP, ZEMBA_SERIES_CAP + 3})
        expectSameAsWalk(series(rng, n, Kind::walk), series(rng, n, Kind::walk));
}
