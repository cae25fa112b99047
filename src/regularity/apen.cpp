// Approximate entropy: the mean over templates of ln(B / A), where B counts the
// templates (itself included) that match it over m samples and A those that
// also match on the next sample; distances are truncated differences.
#include "zemba.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "frame/arith.h"

namespace {

// Sum over templates 0 .. T - 1 of ln(B / A); every template has sample i + m.
double templateLogSum(const double* x, int64_t T, int64_t m, double tol) {
    auto near = [&](int64_t a, int64_t b) {
        return static_cast<double>(zemba::wrapAbs(zemba::trunc32(x[a] - x[b]))) <= tol;
    };
    double S = 0.0;
    for (int64_t i = 0; i < T; ++i) {
        double A = 0.0, B = 0.0;
        for (int64_t j = 0; j < T; ++j) {
            int64_t k = 0;
            while (k < m && near(i + k, j + k)) ++k;
            if (k < m) continue;
            B += 1.0;
            if (near(i + m, j + m)) A += 1.0;
        }
        if (A > 0 && B > 0) S += std::log(B / A);
    }
    return S;
}

}  // namespace

double ApEn(double const* x, unsigned int N, unsigned int m, double r, double sd) {
    // m > N leaves no template; its count would wrap around.
    if (m > N) return std::numeric_limits<double>::quiet_NaN();
    const unsigned int T = N - m;
    return templateLogSum(x, T, m, r * sd) / static_cast<double>(T);
}

void AppEn1(double* x, int* nPtr, int* mPtr, double* rPtr, double* out) {
    const int N = *nPtr, m = *mPtr;
    if (m < 0) {  // a negative length would start templates beyond the series
        *out = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    double sum = 0.0;
    for (int i = 0; i < N; ++i) sum += x[i];
    const double mean = sum / N;
    double sq = 0.0;
    for (int i = 0; i < N; ++i) {
        const double c = x[i] - mean;
        sq += c * c;
    }
    const double sd = std::sqrt(sq / N);
    const double tol = zemba::trunc32(*rPtr) * sd;
    const int64_t T = static_cast<int64_t>(N) - m;
    *out = templateLogSum(x, T, m, tol) / static_cast<double>(T);
}
