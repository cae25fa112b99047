// Naive references of the regularity statistics: every template compared with
// every template, written for clarity, not speed. Shared by the tests of the
// core kernels and of the original interface's routines.
#ifndef ZEMBA_TEST_REFERENCE_REGULARITY_H
#define ZEMBA_TEST_REFERENCE_REGULARITY_H

#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace zemba_ref {

// ---- moments ----------------------------------------------------------------

inline double meanOf(const std::vector<double>& x) {
    double mean = 0;
    for (double v : x) mean += v / x.size();
    return mean;
}

// Standard deviation about the mean, divided by n.
inline double populationSd(const std::vector<double>& x) {
    const double mean = meanOf(x);
    double var = 0;
    for (double v : x) var += (v - mean) * (v - mean) / x.size();
    return std::sqrt(var);
}

inline std::vector<double> zScores(std::vector<double> x) {
    const double mean = meanOf(x), sd = populationSd(x);
    for (double& v : x) v = (v - mean) / sd;
    return x;
}

// ---- textbook definitions (Chebyshev distance, match when <= r) ----------------

// Templates of length len starting at a and b match.
inline bool templatesMatch(const std::vector<double>& x, size_t a, size_t b, size_t len, double r) {
    for (size_t k = 0; k < len; ++k)
        if (!(std::fabs(x[a + k] - x[b + k]) <= r)) return false;
    return true;
}

struct SampleCounts {
    uint64_t A = 0, B = 0;
};

// Richman and Moorman: pairs i < j among the first n - m templates, B over m
// samples, A over m + 1.
inline SampleCounts sampleEntropyCounts(const std::vector<double>& x, size_t m, double r) {
    SampleCounts c;
    const size_t n = x.size();
    if (n <= m) return c;
    for (size_t i = 0; i < n - m; ++i)
        for (size_t j = i + 1; j < n - m; ++j) {
            if (!templatesMatch(x, i, j, m, r)) continue;
            ++c.B;
            if (templatesMatch(x, i, j, m + 1, r)) ++c.A;
        }
    return c;
}

// -ln(A / B), nats.
inline double sampleEntropy(const std::vector<double>& x, size_t m, double r) {
    const SampleCounts c = sampleEntropyCounts(x, m, r);
    if (c.B == 0) return std::numeric_limits<double>::quiet_NaN();
    return -std::log(static_cast<double>(c.A) / static_cast<double>(c.B));
}

// Pincus: phi_m - phi_{m+1}, self-matches included, nats.
inline double approximateEntropy(const std::vector<double>& x, size_t m, double r) {
    auto phi = [&](size_t len) {
        const size_t N = x.size() - len + 1;
        double s = 0;
        for (size_t i = 0; i < N; ++i) {
            double C = 0;
            for (size_t j = 0; j < N; ++j) C += templatesMatch(x, i, j, len, r);
            s += std::log(C / N);
        }
        return s / N;
    };
    return phi(m) - phi(m + 1);
}

// Standard error of p = A / B by the variance formula of sampen2, written out
// over the definitions: F(s) partners of template s among all templates of
// the length; K0 = sum F (F - 1); K(d + 1) = sum over s of 2 a(s) e(s - d - 1)
// with a(s) = F(s) less its matches with s - 1 .. s - 2d - 2 and e(t) = F(t)
// less its matches with t + 1 .. t + 2d + 1; N1, N2 = K0 + ... + Km at lengths
// m and m + 1 (N1 = n (n-1) (n-2) for m = 0).
inline double sampleEntropyStandardError(const std::vector<double>& x, size_t m, double r) {
    const size_t n = x.size();
    auto kSum = [&](size_t L) {
        const long long N = static_cast<long long>(n - L + 1);
        std::vector<double> F(static_cast<size_t>(N), 0);
        for (long long s = 0; s < N; ++s)
            for (long long t = 0; t < N; ++t)
                if (s != t && templatesMatch(x, s, t, L, r)) F[s] += 1;
        auto match = [&](long long s, long long t) {
            return s >= 0 && t >= 0 && s < N && t < N && templatesMatch(x, s, t, L, r);
        };
        double sum = 0;
        for (long long s = 0; s < N; ++s) sum += F[s] * (F[s] - 1);
        for (long long d = 0; d < static_cast<long long>(m); ++d)
            for (long long s = d + 1; s < N; ++s) {
                const long long t = s - d - 1;
                double a = F[s], e = F[t];
                for (long long g = 1; g <= 2 * d + 2; ++g) a -= match(s - g, s);
                for (long long g = 1; g <= 2 * d + 1; ++g) e -= match(t, t + g);
                sum += 2 * a * e;
            }
        return sum;
    };
    const SampleCounts c = sampleEntropyCounts(x, m, r);
    const double A = static_cast<double>(c.A), B = static_cast<double>(c.B), dn = static_cast<double>(n);
    const double p = A / B;
    const double n1 = m == 0 ? dn * (dn - 1) * (dn - 2) : kSum(m);
    const double n2 = kSum(m + 1);
    double v = (1 - p) * p / B;
    const double dv = (n2 - p * n1 * p) / (B * B);
    if (dv > 0) v += dv;
    return std::sqrt(v);
}

// ---- the original interface's truncated forms -------------------------------------

// |trunc(a - b)| as the x86 conversion gives it: NaN and differences outside
// 32 bits truncate to INT32_MIN, whose magnitude stays negative.
inline double truncatedDistance(double a, double b) {
    const int32_t t = _mm_cvttsd_si32(_mm_set_sd(a - b));
    const int64_t mag = t < 0 ? -static_cast<int64_t>(t) : t;
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(mag)));
}

// ApEn of the original interface: mean over the N - m templates that can
// extend of ln(B / A), B and A counted over every such template (itself
// included) on m and m + 1 truncated distances within tol.
inline double truncatedApEn(const std::vector<double>& x, int64_t N, int64_t m, double tol) {
    const int64_t T = N - m;
    double S = 0.0;
    for (int64_t i = 0; i < T; ++i) {
        double A = 0.0, B = 0.0;
        for (int64_t j = 0; j < T; ++j) {
            bool all = true;
            for (int64_t k = 0; k < m && all; ++k) all = truncatedDistance(x[i + k], x[j + k]) <= tol;
            if (!all) continue;
            B += 1.0;
            if (truncatedDistance(x[i + m], x[j + m]) <= tol) A += 1.0;
        }
        if (A > 0 && B > 0) S += std::log(B / A);
    }
    return S / static_cast<double>(T);
}

// SmEn of the original interface: tol = trunc(r) x population SD (sums in
// index order), pairs i < j < n - m on truncated distances, ln(B / A), 0
// without matches.
inline double truncatedSmEn(const std::vector<double>& x, int n, int m, double r) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += x[i];
    const double mean = sum / n;
    double sq = 0.0;
    for (int i = 0; i < n; ++i) sq += (x[i] - mean) * (x[i] - mean);
    const double tol = _mm_cvttsd_si32(_mm_set_sd(r)) * std::sqrt(sq / n);
    auto near = [&](int a, int b) { return truncatedDistance(x[a], x[b]) <= tol; };
    double A = 0.0, B = 0.0;
    for (int i = 0; m >= 0 && i < n - m; ++i)
        for (int j = i + 1; j < n - m; ++j) {
            bool all = true;
            for (int k = 0; k < m && all; ++k) all = near(i + k, j + k);
            if (!all) continue;
            B += 1.0;
            A += near(i + m, j + m) ? 1.0 : 0.0;
        }
    return A >= 1 && B >= 1 ? std::log(B / A) : 0.0;
}

// Template pairs s < t of length len that agree within r at every point
// (strictly: |difference| < r), the later template ending at or before lastEnd.
inline double strictMatchingTemplates(const std::vector<double>& z, int len, double r, int lastEnd) {
    double count = 0;
    for (int s = 0; s + len - 1 <= lastEnd; ++s)
        for (int t = s + 1; t + len - 1 <= lastEnd; ++t) {
            bool all = true;
            for (int k = 0; k < len && all; ++k) all = std::fabs(z[s + k] - z[t + k]) < r;
            count += all;
        }
    return count;
}

// Run length of the pair (a, b): points matching strictly, counted backwards.
inline int strictRunLength(const std::vector<double>& z, int a, int b, double r) {
    int len = 0;
    while (a - len >= 0 && std::fabs(z[a - len] - z[b - len]) < r) ++len;
    return len;
}

}  // namespace zemba_ref

#endif
